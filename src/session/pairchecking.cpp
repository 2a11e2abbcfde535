#include "session/pairchecking.h"

#include <QHash>

#include <deque>
#include <memory>
#include <utility>

size_t qHash(const TPairKey &key, size_t seed)
{
    return qHashMulti(seed, key.LeftPath, key.RightPath, key.LeftPart.view, key.RightPart.view,
                      key.LeftLook.Rotation, key.LeftLook.Mirror, key.RightLook.Rotation,
                      key.RightLook.Mirror);
}

TViewLook ViewLookOf(const TDatensatz &e)
{
    return {int(e.Rotation() & 3), e.Mirror()};
}

TPicturePart PictureOf(const TDatensatz &e)
{
    return e.OrgBild() ? e.OrgBild()->Part : TPicturePart{};
}

std::optional<TPairKey> PairKeyOf(const TDatensatz &left, const TDatensatz &right)
{
    for (const TDatensatz *e : {&left, &right})
        if (IsGapAttribute(e->Attribute()) || !e->OrgBild() || e->SourcePath().isEmpty())
            return std::nullopt;
    return TPairKey{left.SourcePath(), right.SourcePath(), ViewLookOf(left),
                    ViewLookOf(right), PictureOf(left),    PictureOf(right)};
}

std::optional<TPairKey> StereoPairKeyOf(const TDatensatz *left)
{
    if (!left || left->Attribute() != daStereoPair || !left->Partner())
        return std::nullopt;
    return PairKeyOf(*left, *left->Partner());
}

TPairCheck CheckPairFiles(const TPairKey &key, const TGflLibrary *gfl)
{
    const QImage left = DecodeWorkingPicture(key.LeftPath, key.LeftLook, key.LeftPart, gfl);
    const QImage right =
        left.isNull() ? QImage()
                      : DecodeWorkingPicture(key.RightPath, key.RightLook, key.RightPart, gfl);
    if (left.isNull() || right.isNull()) {
        TPairCheck none;
        none.Problem = QStringLiteral("%1 cannot be read")
                           .arg(left.isNull() ? QStringLiteral("the left picture")
                                              : QStringLiteral("the right picture"));
        return none;
    }
    return CheckPair(left, right);
}

TPairMark PairMarkOf(const TPairCheck &check)
{
    switch (check.Verdict) {
    case TPairVerdict::Check:
        return TPairMark::Check;
    case TPairVerdict::Bad:
        return TPairMark::Bad;
    case TPairVerdict::Good:
    case TPairVerdict::None:
        break;
    }
    return TPairMark::None;
}

QString PairMarkReasonOf(const TPairCheck &check)
{
    return PairCheckReasons(check).join(QStringLiteral("; "));
}

TContentJudge MakeContentJudge(const TGflLibrary *gfl)
{
    LimitPairCheckThreads();
    // The last few working pictures: a doubtful pair's picture meets each of its candidates.
    struct Picture
    {
        QString Path;
        TPicturePart Part;
        TViewLook Look;
        QImage Image;
    };
    auto recent = std::make_shared<std::deque<Picture>>();
    const auto working = [recent, gfl](const TDatensatz &e) {
        const QString path = e.SourcePath();
        const TPicturePart part = PictureOf(e);
        const TViewLook look = ViewLookOf(e);
        for (const Picture &p : *recent)
            if (p.Path == path && p.Part == part && p.Look.Rotation == look.Rotation &&
                p.Look.Mirror == look.Mirror)
                return p.Image;
        recent->push_front({path, part, look, DecodeWorkingPicture(path, look, part, gfl)});
        if (recent->size() > 8)
            recent->pop_back();
        return recent->front().Image;
    };
    return [working](const TDatensatz &left, const TDatensatz &right) {
        TContentMatch match;
        if (!PairKeyOf(left, right))
            return match;
        const TPairCheck check = CheckPair(working(left), working(right));
        match.Known = check.Compared;
        match.Matches = check.SameScene && check.Sides != TSidesFinding::Swapped;
        match.Score = check.Consistent;
        return match;
    };
}
