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

// The status line's markup pattern of a phase: "<FB><c8>%s<FN><FB><c8>  1/2 (%d/%d)".
QString RunStatusPattern(int phase);

// What BeginPhase, StepProgress and ShowStatus keep, for every implementation of
// TRunProgress: the pattern of the phase, the bar's position and maximum.
class TRunStatusState
{
public:
    // The pattern of phase, position 0, the given maximum.
    void Begin(int maximum, int phase);
    // One step further; the position stops at the maximum.
    void Step();
    // The status line for text: the pattern filled with text, position and maximum.
    QString StatusText(const QString &text) const;

    int Position() const { return m_position; }
    int Maximum() const { return m_maximum; }

private:
    QString m_pattern = RunStatusPattern(1);
    int m_position = 0;
    int m_maximum = 0;
};
