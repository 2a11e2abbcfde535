#pragma once
// The rename mask language: computes the new base name of an image file from a text
// pattern with embedded tokens ("<FileName_L>", "<Creation Date_R[Y-m-d]>", "###", ...).
//
// The evaluation is pure text processing over read-only inputs. It works on a small view of
// an image entry (MaskEntry) and takes its clock and locale from a MaskContext, so that
// every value it reads can be pinned by the caller. It raises no errors: a token whose value
// is missing yields an empty text, and text that is not a known token stays in the name,
// only made safe as a file name.
#include "imaging/jpegdata.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringView>

#include <array>
#include <functional>

// The side value that a list carries: the left list 2, the right list 3.
inline constexpr int MaskListLeft = 2;
inline constexpr int MaskListRight = 3;

// Attribute values from this one on are gaps (entries without an image file).
inline constexpr int MaskFirstGapAttribute = 4;

// The working text of an evaluation never grows beyond this many characters; what would
// exceed it is cut off. Masks whose tokens expand into each other (a file name holding
// tokens, date formats feeding date tokens) could otherwise grow without bound, and no
// file name comes anywhere near this length.
inline constexpr qsizetype MaxRenameTextLength = 65536;

// What the evaluation reads from one image entry.
struct MaskEntry
{
    QString SourcePath;                 // full path of the image file as it is now; empty for a gap
    qint64 CounterValue = 0;            // row index in its list plus the program's start number
    int ListSide = 0;                   // MaskListLeft or MaskListRight; anything else: in no list
    int Attribute = 0;                  // below MaskFirstGapAttribute an image, otherwise a gap
    TJPEGData Metadata;                 // the holder's record for an image, the gap's own for a gap
    const MaskEntry *Partner = nullptr; // the entry in the other list of the same row
};

// Mode of a text field: the item index of its mode list.
enum TRenameTextMode : int
{
    rtmDontModify = 0, // "Don't modify": the entry keeps its text
    rtmDelete = 1,     // "Delete": the text leaves the name; the entry takes the typed text
    rtmReplace = 2,    // "Replace": the typed text goes into the name and the entry
};

// One of the three free text fields of the mask ("<Textfield 1>" to "<Textfield 3>").
struct TRenameTextField
{
    int Mode = rtmDontModify; // TRenameTextMode
    QString Current;          // the text the entry carries now; may be changed by evaluation
    QString New;              // the text the user typed into the field's edit box
};
using TRenameTextFields = std::array<TRenameTextField, 3>;

// Where an evaluation takes the current time and the locale texts from (month and weekday
// names, date and time formats, the decimal separator).
struct MaskContext
{
    std::function<QDateTime()> Now = &QDateTime::currentDateTime;
    QLocale Locale = QLocale::system();
};

// The new base name for entry: without folder, side suffix and extension. The text field
// records may have their Current changed (modes "Delete" and "Replace"); the caller decides
// whether to keep the change.
QString EvaluateRenameMask(const QString &mask, const MaskEntry &entry,
                           TRenameTextFields &textFields, const MaskContext &context);
QString EvaluateRenameMask(const QString &mask, const MaskEntry &entry,
                           TRenameTextFields &textFields);

// Removes leading and trailing blanks and control characters, then replaces each of the
// characters ? * < / | \ > : " and each control character by "_". An empty result becomes
// "noname" unless allowEmpty.
QString CleanFileName(const QString &text, bool allowEmpty);

// Replaces every run of n "#" by number, zero-padded to at least n digits ("A###B#" with 5
// gives "A005B5"; a number longer than the run is never cut).
QString ExpandCounters(const QString &text, qint64 number);

// A run of decimal digits from the file name of the entry's source path (leading zeros
// kept). The parameter holds the run number (first digits, default 1) and "R" or "r" to
// count the runs backwards from the end of the name without extension. Empty when there is
// no such run.
QString ExtractFileNumber(const MaskEntry &entry, QStringView parameter);
QString ExtractFileNumberFromPath(QStringView sourcePath, QStringView parameter);

// Result of FindMaskToken.
struct MaskTokenMatch
{
    bool Found = false; // a token with a parameter in square brackets was found
    QString Token;      // the token text found, up to and including its ">"; may be empty
    QString Parameter;  // the text between the token's first "[" and first "]"
};

// Finds the first occurrence of the complete token (as "<Creation Date_L>") cut before its
// ">", comparing with exact case, and returns the token text found with its parameter.
MaskTokenMatch FindMaskToken(QStringView text, QStringView completeToken);
