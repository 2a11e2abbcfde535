#pragma once
// The pair check on the session's entries: both pictures as the viewer shows them (the
// entry's rotation and mirror), decoded at the check's working size. Used by the background
// check of the window (paircheckqueue.h), by the alignment's ordering passes to decide
// doubtful pairs (the judge) and by duomira-cli check.
#include "entries/datensatz.h"
#include "paircheck/paircheck.h"
#include "paircheck/workingpicture.h"
#include "pairing/contentreview.h"

#include <QHashFunctions>
#include <QString>

#include <optional>

// What a check result belongs to: both files (and the view of a stereo file each shows)
// and how each is shown. A new partner, a turn or a mirror makes another key, so a result
// never outlives the pair it was made for.
struct TPairKey
{
    QString LeftPath, RightPath;
    TViewLook LeftLook, RightLook;
    TPicturePart LeftPart, RightPart;

    friend bool operator==(const TPairKey &a, const TPairKey &b)
    {
        return a.LeftPath == b.LeftPath && a.RightPath == b.RightPath && a.LeftPart == b.LeftPart &&
               a.RightPart == b.RightPart && a.LeftLook.Rotation == b.LeftLook.Rotation &&
               a.LeftLook.Mirror == b.LeftLook.Mirror &&
               a.RightLook.Rotation == b.RightLook.Rotation &&
               a.RightLook.Mirror == b.RightLook.Mirror;
    }
};
size_t qHash(const TPairKey &key, size_t seed = 0);

// How the viewer shows e's picture.
TViewLook ViewLookOf(const TDatensatz &e);
// The part of its file e shows: the whole file, or a stereo file's view.
TPicturePart PictureOf(const TDatensatz &e);
// The key of the pair of left and right, when both are pictures with a file; none for a
// gap or an entry without a picture.
std::optional<TPairKey> PairKeyOf(const TDatensatz &left, const TDatensatz &right);
// The key of the stereo pair whose left entry is left (attribute "stereo pair" with a
// partner); none for anything else.
std::optional<TPairKey> StereoPairKeyOf(const TDatensatz *left);

// Decodes both files (formats other than JPEG through gfl, when given) and checks them. A
// file that cannot be decoded gives no verdict (with the reason). Thread-safe: runs on the
// pool.
TPairCheck CheckPairFiles(const TPairKey &key, const TGflLibrary *gfl = nullptr);
// What the rows show for a result.
TPairMark PairMarkOf(const TPairCheck &check);
// The reasons of a result in one line, for a tooltip.
QString PairMarkReasonOf(const TPairCheck &check);

// The check as the ordering pass's judge: two entries match when their pictures show one
// scene the right way round; the score is the number of consistent matches. Keeps the last
// few decoded pictures, since a picture is compared with each of its candidates.
TContentJudge MakeContentJudge(const TGflLibrary *gfl = nullptr);
