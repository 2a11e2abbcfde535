#pragma once
// How the run engine shows its progress. The wizard's run page and duomira-cli implement
// this; the engine never touches widgets.
#include <QString>

class TRunProgress
{
public:
    virtual ~TRunProgress() = default;

    // A new phase: the bar goes to 0 of `maximum`, then ShowStatus(text).
    virtual void BeginPhase(const QString &text, int maximum, int phase) = 0;
    // One step further (the bar stops at its maximum), then ShowStatus(text).
    virtual void StepProgress(const QString &text) = 0;
    // Shows the status line and lets pending user interface events through (a click on
    // Cancel reaches the run this way).
    virtual void ShowStatus(const QString &text) = 0;
};
