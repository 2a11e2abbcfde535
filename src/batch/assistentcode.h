#pragma once
// The wizard's codes: a step code (1..56 and 79 on, TAssistentStep) is a state of the
// wizard, a decision code (57..78) is an answer. The history of a job is a list of these codes; the
// run's settings and the checks' arguments are read from it.
#include <QString>
#include <QtGlobal>

using TAssistentCode = quint8;

// The wizard's steps. A step shows a page, records an answer, runs a check or the job, and
// goes on to the next step. The history records steps and answers in one list, so they
// share one range of numbers (steps 1..56, answers 57..78, later steps from 79) and keep
// them.
enum class TAssistentStep : TAssistentCode
{
    None = 0,  // an option a page does not have
    Start = 1, // the page "Destination folder": remain, move or copy
    Remain = 2,
    Move = 3,
    Copy = 4,
    AskRenameSourceRemain = 5,
    AskRenameSourceCopy = 6,
    AskRenameDestMove = 7,
    AskRenameDestCopy = 8,
    AskRotateSourceRemain = 9,
    SharedFilesRemain = 10, // files used by several pairs, when the pictures remain
    SharedFilesCopy = 11,
    DontRenameSourceRemain = 12,
    RenameSourceRemain = 13,
    RecheckFoldersMove = 14,
    CheckFoldersMove = 15,
    DontCreateFoldersMove = 16,
    CreateFoldersMove = 17,
    RecheckFoldersCopy = 18,
    CheckFoldersCopy = 19,
    DontCreateFoldersCopy = 20,
    CreateFoldersCopy = 21,
    RecheckSpaceMove = 22,
    CheckSpaceMove = 23,
    RecheckSpaceCopy = 24,
    CheckSpaceCopy = 25,
    AskRotateSourceCopy = 26,
    DontRotateSourceCopy = 27,
    RotateSourceCopy = 28,
    RecheckNames = 29,
    CheckNames = 30,
    AskRotateDestMove = 31,
    DontRenameSourceCopy = 32,
    RenameSourceCopy = 33,
    AskRotateSourceAfterShared = 34,
    DontRenameDestMove = 35,
    RenameDestMove = 36,
    DontRenameDestCopy = 37,
    RenameDestCopy = 38,
    AskRotateDestCopy = 39,
    DontRotateSourceRemain = 40,
    DontRotateDest = 41,
    RotateSourceRemain = 42,
    RotateDest = 43,
    CompletePartnersCopy = 44,
    KeepIncompleteCopy = 45,
    CompletePartnersRemain = 46,
    KeepIncompleteRemain = 47,
    AskSpmList = 49,
    WriteSpmList = 50,
    NoSpmList = 51,
    Confirm = 52,
    Run = 53,
    Succeeded = 54,
    Failed = 55,
    Close = 56,
    // The page of the stereo files the job writes (MPO, side by side...), after the SPM list.
    AskStereoOutputs = 79,
    StereoOutputsChosen = 80,
    // The space check once more when stereo files were chosen: they need room of their own.
    CheckSpaceStereo = 81,
    RecheckSpaceStereo = 82,
};

// Decision codes the job settings are derived from.
enum TAssistentAnswer : TAssistentCode
{
    acDontRenameSource = 57,
    acRenameSource = 58,
    acDontRenameDest = 59,
    acRenameDest = 60,
    acDontRotateSource = 61,
    acDontRotateDest = 62,
    acRotateSource = 63,
    acRotateDest = 64,
    acDontCreateFolders = 65,
    acCreateFolders = 66,
    acCreateMissingFolders = 67,
    acKeepIncomplete = 68,
    acCompletePartners = 69,
    acCopyMoveNothing = 70,
    acCopy = 71,
    acMove = 72,
    acWriteSpmList = 73,
    acNoSpmList = 74,
    acScheduled = 75,
    acSuccessful = 76,
    acIncomplete = 77,
    acWriteStereoFiles = 78,
};

inline bool IsStepCode(int code)
{
    return code < 57 || code > 78;
}

// The text of a code in the history panel; empty for codes without one.
QString AssistentCodeText(int code);
