#pragma once
// The wizard's codes: a step code (1..56) is a state of the wizard, a decision code
// (57..78) is an answer. The history of a job is a list of these codes; the run's settings
// and the checks' arguments are read from it.
#include <QString>
#include <QtGlobal>

using TAssistentCode = quint8;

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
};

inline bool IsStepCode(int code)
{
    return code < 57 || code > 78;
}

// The text of a code in the history panel; empty for codes without one.
QString AssistentCodeText(int code);
