#include "reference_ordering.h"

#include <algorithm>
#include <cmath>

namespace ref {

namespace {

long long secondsBetween(double a, double b, bool wholeSeconds = true)
{
    const double s = std::fabs(a - b) * 86400.0 + (wholeSeconds ? 0.0005 : 0.0);
    if (!(s < 9.2e18))
        return 9223372036854775807LL;
    return static_cast<long long>(s);
}

double addSeconds(double t, long long s)
{
    const float day = 86400.0f;
    return (t * day + static_cast<double>(s)) / day;
}

int compareTimes(double a, double b)
{
    if (std::fabs(a - b) < 1.0 / 86400000.0)
        return 0;
    return a < b ? -1 : 1;
}

QString fileName(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

QString upperAscii(QString s)
{
    for (QChar &c : s)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    return s;
}

int compareEntries(const Entry *x, const Entry *y)
{
    if ((x->attribute == 4 || x->attribute == 6) && x->partner)
        x = x->partner;
    if ((y->attribute == 4 || y->attribute == 6) && y->partner)
        y = y->partner;
    const int t = compareTimes(x->captureTime(), y->captureTime());
    if (t != 0)
        return t;
    const QString a = upperAscii(fileName(x->path)), b = upperAscii(fileName(y->path));
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Straight insertion: stable, and every element moves only past strictly greater ones.
template <typename T, typename Cmp> void insertionSort(std::vector<T> &v, Cmp cmp)
{
    for (size_t i = 1; i < v.size(); ++i) {
        T x = v[i];
        size_t j = i;
        while (j > 0 && cmp(x, v[j - 1]) < 0) {
            v[j] = v[j - 1];
            --j;
        }
        v[j] = x;
    }
}

bool inSet(int mode, int attribute)
{
    if (mode == 2 || mode == 5)
        return attribute == 0 || attribute == 4;
    return attribute == 0 || attribute == 2 || attribute == 3 || attribute == 4;
}

bool dissolves(int mode)
{
    return mode == 1 || mode == 2 || mode == 4 || mode == 5;
}

void link(Entry *a, Entry *b)
{
    a->partner = b;
    b->partner = a;
}

void makePair(Entry *l, Entry *r)
{
    l->attribute = 2;
    r->attribute = 2;
    l->side = 2;
    r->side = 3;
    link(l, r);
}

std::vector<long long> gapsOf(const std::vector<Entry *> &work, bool wholeSeconds)
{
    std::vector<long long> gaps;
    for (size_t i = 0; i + 1 < work.size(); ++i)
        gaps.push_back(
            secondsBetween(work[i + 1]->captureTime(), work[i]->captureTime(), wholeSeconds));
    return gaps;
}

void finishOrdering(Model &m, std::vector<Entry *> &lw, std::vector<Entry *> &rw)
{
    // 1. obsolete rows, left from last to first, then right
    for (int i = static_cast<int>(m.left.size()) - 1; i >= 0; --i)
        if (m.left[i]->attribute == 5)
            m.deleteRow(m.left, i);
    for (int i = static_cast<int>(m.right.size()) - 1; i >= 0; --i)
        if (m.right[i]->attribute == 5)
            m.deleteRow(m.right, i);
    // 2. write back: rows holding a work entry take the work list in order
    auto writeBack = [](std::vector<Entry *> &rows, const std::vector<Entry *> &work) {
        size_t next = 0;
        for (size_t r = 0; r < rows.size(); ++r) {
            if (std::find(work.begin(), work.end(), rows[r]) != work.end()) {
                rows[r] = work[next++];
                rows[r]->number = static_cast<int>(r);
            }
        }
    };
    writeBack(m.left, lw);
    writeBack(m.right, rw);
    // 3.
    for (Entry *e : lw)
        if (e->attribute == 4)
            e->attribute = 6;
    for (Entry *e : rw)
        if (e->attribute == 4)
            e->attribute = 6;
    // 4.
    for (Entry *e : m.registry) {
        if (e->attribute == 1)
            e->attribute = 0;
        if (e->attribute < 4) {
            e->number = m.rowOf(e);
            if (e->partner && e->partner->attribute > 3)
                e->partner->number = e->number;
        }
    }
    // 5. by number; with equal numbers the image before the gap
    auto byNumber = [](const Entry *a, const Entry *b) {
        if (a->number != b->number)
            return a->number < b->number ? -1 : 1;
        return int(a->isGap()) - int(b->isGap());
    };
    insertionSort(m.left, byNumber);
    insertionSort(m.right, byNumber);
    // 6.
    for (size_t i = 0; i < m.left.size(); ++i) {
        m.left[i]->number = static_cast<int>(i);
        if (m.left[i]->partner)
            m.left[i]->partner->number = static_cast<int>(i);
    }
    // 7.
    insertionSort(m.right, byNumber);
}

} // namespace

Entry *Model::create(std::vector<Entry *> &list)
{
    storage.push_back(std::make_unique<Entry>());
    Entry *e = storage.back().get();
    list.push_back(e);
    registry.push_back(e);
    return e;
}

Entry *Model::createGap(std::vector<Entry *> &list)
{
    Entry *g = create(list);
    g->id = -1;
    g->side = 1;
    g->number = -1;
    g->attribute = 4;
    return g;
}

void Model::deleteRow(std::vector<Entry *> &list, int row)
{
    Entry *e = list[row];
    list.erase(list.begin() + row);
    registry.erase(std::find(registry.begin(), registry.end(), e));
    if (e->partner && e->partner->partner == e)
        e->partner->partner = nullptr;
    e->alive = false;
    if (&list == &left) {
        if (selectedLeft == row)
            selectedLeft = -1;
        else if (selectedLeft > row)
            --selectedLeft;
    } else {
        if (selectedRight == row)
            selectedRight = -1;
        else if (selectedRight > row)
            --selectedRight;
    }
}

int Model::rowOf(const Entry *e) const
{
    for (size_t i = 0; i < left.size(); ++i)
        if (left[i] == e)
            return static_cast<int>(i);
    for (size_t i = 0; i < right.size(); ++i)
        if (right[i] == e)
            return static_cast<int>(i);
    return -1;
}

bool Model::inLeft(const Entry *e) const
{
    return std::find(left.begin(), left.end(), e) != left.end();
}

std::optional<Run> FindRun(const std::vector<long long> &left, const std::vector<long long> &right,
                           int l0)
{
    const int nl = static_cast<int>(left.size()), nr = static_cast<int>(right.size());
    auto agree = [](long long a, long long b) { return (a > b ? a - b : b - a) <= 2; };
    int j = 0;
    while (j < nr) {
        int jp = j;
        while (jp < nr && !agree(left[l0], right[jp]))
            ++jp;
        if (jp >= nr)
            return std::nullopt;
        const int jStart = jp;
        j = jp;
        int i = l0;
        bool found = false;
        Run run{};
        for (;;) {
            ++i;
            ++j;
            if (i >= nl || j >= nr || !agree(left[i], right[j]))
                break;
            found = true;
            run = Run{l0, i, jStart, j};
        }
        if (found)
            return run;
        j = j + 1;
    }
    return std::nullopt;
}

std::vector<int> PairByTime(const std::vector<double> &leftTimes, std::vector<bool> leftFree,
                            const std::vector<double> &rightTimes, std::vector<bool> rightFree)
{
    std::vector<int> result(leftTimes.size(), -1);
    for (size_t k = 0; k < leftTimes.size(); ++k) {
        for (size_t j = 0; j < rightTimes.size(); ++j) {
            if (leftFree[k] && rightFree[j] && secondsBetween(leftTimes[k], rightTimes[j]) <= 2) {
                result[k] = static_cast<int>(j);
                leftFree[k] = false;
                rightFree[j] = false;
                break;
            }
        }
    }
    return result;
}

Outcome ArrangeLists(Model &m, int mode, const Departures &departures)
{
    const bool whole = departures.wholeSecondsSurviveRounding;
    std::vector<Entry *> lw, rw;
    // 1. collect (a gap that a dissolving pass would take becomes obsolete instead, or
    // stays with an image that the pass leaves alone; obsolete gaps lose their links)
    auto collect = [&](std::vector<Entry *> &rows, std::vector<Entry *> &work) {
        for (Entry *e : rows) {
            if (!inSet(mode, e->attribute))
                continue;
            if (dissolves(mode) && e->isGap() && departures.gapsNeverBecomeImages) {
                if (!e->partner || inSet(mode, e->partner->attribute)) {
                    e->attribute = 5;
                    e->partner = nullptr;
                } else {
                    e->attribute = 6;
                }
                continue;
            }
            work.push_back(e);
            if (dissolves(mode)) {
                e->attribute = 0;
                if (e->partner && e->partner->attribute > 3) {
                    e->partner->attribute = 5;
                    if (e->partner->partner == e && departures.obsoleteGapsDropTheirLinks)
                        e->partner->partner = nullptr;
                }
                e->partner = nullptr;
            }
            e->sortTime = e->captureTime();
        }
    };
    collect(m.left, lw);
    collect(m.right, rw);
    // 2. sort
    insertionSort(lw, compareEntries);
    insertionSort(rw, compareEntries);
    const std::vector<long long> lg = gapsOf(lw, whole), rg = gapsOf(rw, whole);
    // 3. offset from the selected pair
    if ((mode == 4 || mode == 5) && m.selectedLeft >= 0 && m.selectedRight >= 0) {
        const Entry *a = m.left[m.selectedLeft];
        const Entry *b = m.right[m.selectedRight];
        const long long s = secondsBetween(a->captureTime(), b->captureTime(), whole);
        auto &moved = compareTimes(a->captureTime(), b->captureTime()) > 0 ? rw : lw;
        for (Entry *e : moved)
            e->sortTime = addSeconds(e->captureTime(), s);
    }
    if (dissolves(mode)) {
        // 4. run search
        std::optional<Run> run;
        for (int l0 = 0; l0 < static_cast<int>(lg.size()) && !rg.empty(); ++l0) {
            run = FindRun(lg, rg, l0);
            if (run)
                break;
        }
        if (run) {
            for (int l = run->leftStart, k = run->rightStart;
                 l <= run->leftEnd && k <= run->rightEnd; ++l, ++k)
                makePair(lw[l], rw[k]);
            const Entry *a = lw[run->leftStart];
            const Entry *b = rw[run->rightStart];
            const long long s = secondsBetween(a->captureTime(), b->captureTime(), whole);
            const bool leftLater = compareTimes(a->captureTime(), b->captureTime()) > 0;
            if (departures.runOffsetReplacesSelectedOffset)
                for (Entry *e : leftLater ? lw : rw)
                    e->sortTime = e->captureTime();
            for (Entry *e : leftLater ? rw : lw)
                e->sortTime = addSeconds(e->captureTime(), s);
        } else if (mode == 1 || mode == 2) {
            // 5. no run
            m.posted.push_back({!lw.empty() && !rw.empty() ? 3 : 7, mode});
            return !lw.empty() && !rw.empty() ? Outcome::NoRun : Outcome::ListEmpty;
        }
        // 6. pairing by time
        for (Entry *l : lw) {
            for (Entry *r : rw) {
                if (l->attribute == 0 && r->attribute == 0 &&
                    secondsBetween(l->sortTime, r->sortTime, whole) <= 2) {
                    makePair(l, r);
                    break;
                }
            }
        }
    }
    // 7. fill gaps
    if (mode >= 1 && mode <= 5) {
        size_t k = 0;
        while (k < std::max(lw.size(), rw.size())) {
            if (k < lw.size() && !lw[k]->partner) {
                Entry *g = m.createGap(m.right);
                g->gapTime = lw[k]->captureTime();
                g->sortTime = lw[k]->sortTime;
                rw.insert(rw.begin() + std::min(k, rw.size()), g);
                lw[k]->attribute = mode == 3 ? 1 : 3;
                lw[k]->side = 0;
                link(lw[k], g);
            } else if (k < rw.size() && !rw[k]->partner) {
                Entry *g = m.createGap(m.left);
                g->gapTime = rw[k]->captureTime();
                g->sortTime = rw[k]->sortTime;
                lw.insert(lw.begin() + std::min(k, lw.size()), g);
                rw[k]->attribute = mode == 3 ? 1 : 3;
                rw[k]->side = 0;
                link(rw[k], g);
            } else {
                ++k;
            }
        }
    }
    // 8. final phase
    finishOrdering(m, lw, rw);
    return Outcome::Completed;
}

} // namespace ref
