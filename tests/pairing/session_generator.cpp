#include "session_generator.h"

#include "entries/datensatz.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace {

constexpr double kDay = 86400.0;
// 2024-05-01 as a day number; the factory date 2010-01-01.
constexpr double kSessionDay = 45413.0;
constexpr double kFactoryDay = 40179.0;

struct Change
{
    int scene;    // first scene shot with the changed clock
    bool right;   // which camera
    double delta; // seconds added to that camera's clock
};

class Generator
{
public:
    explicit Generator(unsigned seed) : m_random(seed) {}

    double uniform(double a, double b)
    {
        return std::uniform_real_distribution<double>(a, b)(m_random);
    }
    int integer(int a, int b) { return std::uniform_int_distribution<int>(a, b)(m_random); }
    bool chance(double p) { return uniform(0, 1) < p; }

    // True scene times: ordinary intervals, a few long pauses, and bursts.
    std::vector<double> sceneTimes(int count, double burstShare)
    {
        std::vector<double> t;
        double now = kSessionDay * kDay + uniform(7, 11) * 3600;
        while (static_cast<int>(t.size()) < count) {
            if (chance(burstShare / 3.5)) {
                const int shots = integer(3, 6);
                for (int k = 0; k < shots && static_cast<int>(t.size()) < count; ++k) {
                    t.push_back(now);
                    now += uniform(1.0, 2.0);
                }
                now += 3;
            } else {
                t.push_back(now);
            }
            now += chance(0.04) ? uniform(300, 3600)
                                : 3 + std::exponential_distribution<double>(1 / 25.0)(m_random);
        }
        return t;
    }

    std::mt19937 &random() { return m_random; }

private:
    std::mt19937 m_random;
};

double Record(double clock, bool subSeconds)
{
    return subSeconds ? std::floor(clock * 100) / 100 : std::floor(clock);
}

} // namespace

std::string SessionKindName(SessionKind kind)
{
    switch (kind) {
    case SessionKind::SingleOffset:
        return "SingleOffset";
    case SessionKind::HoursOffset:
        return "HoursOffset";
    case SessionKind::NegativeOffset:
        return "NegativeOffset";
    case SessionKind::Bursts:
        return "Bursts";
    case SessionKind::Drift:
        return "Drift";
    case SessionKind::JumpForward:
        return "JumpForward";
    case SessionKind::JumpBack:
        return "JumpBack";
    case SessionKind::TwoJumps:
        return "TwoJumps";
    case SessionKind::FactoryReset:
        return "FactoryReset";
    case SessionKind::DaylightSaving:
        return "DaylightSaving";
    case SessionKind::ShortChange:
        return "ShortChange";
    case SessionKind::Unrelated:
        return "Unrelated";
    case SessionKind::AllBursts:
        return "AllBursts";
    }
    return "?";
}

Session GenerateSession(SessionKind kind, unsigned seed, bool subSeconds)
{
    Generator g(seed * 2654435761u + static_cast<unsigned>(kind));
    Session s;
    const int scenes = g.integer(60, 320);
    const double burstShare = kind == SessionKind::Bursts ? g.uniform(0.2, 0.45) : 0.05;
    std::vector<double> t = g.sceneTimes(scenes, burstShare);
    if (kind == SessionKind::AllBursts) {
        t.clear();
        double now = kSessionDay * kDay + 36000;
        for (int k = 0; k < scenes; ++k, now += 1.0 + g.uniform(-0.05, 0.05))
            t.push_back(now);
    }

    double offset = g.uniform(-90, 90);
    double drift = 0;
    switch (kind) {
    case SessionKind::HoursOffset:
        offset = (g.chance(0.5) ? 1 : -1) * (g.uniform(1, 24) * 3600);
        break;
    case SessionKind::NegativeOffset:
        offset = -g.uniform(5, 4 * 3600);
        break;
    case SessionKind::Drift:
        drift = (g.chance(0.5) ? 1 : -1) * g.uniform(0.0002, 0.001);
        offset = g.uniform(-3600, 3600);
        break;
    default:
        break;
    }

    std::vector<Change> changes;
    auto scenePoint = [&] { return g.integer(scenes / 10, scenes - scenes / 10); };
    const bool rightCamera = g.chance(0.5);
    switch (kind) {
    case SessionKind::JumpForward:
        changes.push_back({scenePoint(), rightCamera, g.integer(1, 9) * 3600.0});
        break;
    case SessionKind::JumpBack:
        changes.push_back({scenePoint(), rightCamera, -g.integer(1, 9) * 3600.0});
        break;
    case SessionKind::TwoJumps: {
        int a = scenePoint(), b = scenePoint();
        while (b == a)
            b = scenePoint();
        for (int at : {std::min(a, b), std::max(a, b)})
            changes.push_back(
                {at, g.chance(0.5), (g.chance(0.5) ? 1 : -1) * g.integer(1, 9) * 3600.0});
        break;
    }
    case SessionKind::FactoryReset: {
        const int at = scenePoint();
        const double clock = t[at] + (rightCamera ? offset : 0);
        changes.push_back({at, rightCamera, kFactoryDay * kDay - clock});
        break;
    }
    case SessionKind::DaylightSaving:
        changes.push_back({scenePoint(), rightCamera, (g.chance(0.5) ? 1 : -1) * 3600.0});
        break;
    case SessionKind::ShortChange: {
        const int at = scenePoint(), length = g.integer(5, 14);
        const double delta = (g.chance(0.5) ? 1 : -1) * g.integer(1, 9) * 3600.0;
        changes.push_back({at, rightCamera, delta});
        changes.push_back({std::min(at + length, scenes), rightCamera, -delta});
        break;
    }
    default:
        break;
    }

    s.stretchScenes.assign(changes.size() + 1, 0);
    for (int k = 0; k < scenes; ++k) {
        double left = t[k] + g.uniform(0, 0.3);
        double right = t[k] + offset + drift * (t[k] - t[0]) + g.uniform(0, 0.3);
        int stretch = 0;
        for (const Change &c : changes)
            if (k >= c.scene) {
                ++stretch;
                (c.right ? right : left) += c.delta;
            }
        s.stretchOfScene.push_back(stretch);
        ++s.stretchScenes[stretch];
        // Missed shots and single shots on either side.
        const double r = g.uniform(0, 1);
        const bool hasLeft = r >= 0.05, hasRight = r < 0.05 || r >= 0.10;
        if (hasLeft) {
            s.input.left.push_back({Record(left, subSeconds), true, subSeconds});
            s.sceneOfLeft.push_back(k);
        }
        if (hasRight && kind != SessionKind::Unrelated) {
            s.input.right.push_back({Record(right, subSeconds), true, subSeconds});
            s.sceneOfRight.push_back(k);
        }
        if (hasLeft && hasRight && kind != SessionKind::Unrelated)
            ++s.truePairs;
    }
    if (kind == SessionKind::Unrelated) {
        const std::vector<double> other = g.sceneTimes(g.integer(60, 320), 0.05);
        for (double x : other) {
            s.input.right.push_back({Record(x + 1234.5, subSeconds), true, subSeconds});
            s.sceneOfRight.push_back(-1);
        }
    }

    // The pass hands each list over sorted by capture time, then by file name; a camera
    // numbers its files in shooting order, so pictures of one second keep their order and
    // nothing else does.
    auto listOrder = [&](std::vector<RhythmPicture> &pictures, std::vector<int> &scenesOf) {
        std::vector<int> order(pictures.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = static_cast<int>(i);
        std::shuffle(order.begin(), order.end(), g.random());
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            if (pictures[a].seconds != pictures[b].seconds)
                return pictures[a].seconds < pictures[b].seconds;
            return a < b;
        });
        std::vector<RhythmPicture> p2;
        std::vector<int> s2;
        for (int i : order) {
            p2.push_back(pictures[i]);
            s2.push_back(scenesOf[i]);
        }
        pictures = std::move(p2);
        scenesOf = std::move(s2);
    };
    listOrder(s.input.left, s.sceneOfLeft);
    listOrder(s.input.right, s.sceneOfRight);

    std::vector<int> pairsPerStretch(s.stretchScenes.size(), 0);
    std::vector<bool> onRight(scenes, false);
    for (int scene : s.sceneOfRight)
        if (scene >= 0)
            onRight[scene] = true;
    for (int scene : s.sceneOfLeft)
        if (onRight[scene])
            ++pairsPerStretch[s.stretchOfScene[scene]];
    s.largestStretch = static_cast<int>(
        std::max_element(pairsPerStretch.begin(), pairsPerStretch.end()) - pairsPerStretch.begin());
    return s;
}

bool PairIsRight(const Session &session, const RhythmPair &pair)
{
    return session.sceneOfLeft[pair.left] == session.sceneOfRight[pair.right];
}

SessionScore ScoreSession(const Session &session, const RhythmResult &result)
{
    SessionScore score;
    score.truePairs = session.truePairs;
    std::vector<bool> onRight(session.stretchOfScene.size(), false);
    for (int scene : session.sceneOfRight)
        if (scene >= 0)
            onRight[scene] = true;
    score.stretchTrue.assign(session.stretchScenes.size(), 0);
    score.stretchCorrect.assign(session.stretchScenes.size(), 0);
    for (int scene : session.sceneOfLeft)
        if (onRight[scene]) {
            ++score.stretchTrue[session.stretchOfScene[scene]];
            score.outsideTrue += session.stretchOfScene[scene] != session.largestStretch;
        }
    for (const RhythmPair &p : result.pairs) {
        const bool right = PairIsRight(session, p);
        const int scene = session.sceneOfLeft[p.left];
        const bool outside = session.stretchOfScene[scene] != session.largestStretch;
        ++score.pairs;
        score.correct += right;
        score.stretchCorrect[session.stretchOfScene[scene]] += right;
        score.outsidePairs += outside;
        score.outsideCorrect += outside && right;
        if (p.confidence < kDoubtfulPairBelow) {
            ++score.doubtful;
            score.wrongDoubtful += !right;
        }
    }
    return score;
}
