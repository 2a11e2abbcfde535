#pragma once
// How an ordering pass reports its progress: five steps, each with the status text
// "Order data" + " %d/5", and per-row progress in its long loops. The main window connects
// TStatusProgress to its status label and progress bar; tests and the command line pass no
// progress at all or their own.
#include <QObject>
#include <QString>

class TOrderingProgress
{
public:
    virtual ~TOrderingProgress() = default;
    // A step begins: show text, reset the bar to 0 of maximum and let pending events through.
    virtual void StepStarted(const QString &text, int maximum) = 0;
    // The long loop of the step has reached position (one call per row).
    virtual void RowDone(int position) = 0;
};

// "Order data" + " %d/5" for step 1..5.
QString OrderingStepText(int step);

// Turns the progress into signals for the status label and the progress bar and lets the
// application process pending events at every step. Row progress is passed on only when the
// bar would move visibly (a 500th of the maximum), so a pass over tens of thousands of rows
// does not flood the window with repaints.
class TStatusProgress : public QObject, public TOrderingProgress
{
    Q_OBJECT
public:
    explicit TStatusProgress(QObject *parent = nullptr);

    void StepStarted(const QString &text, int maximum) override;
    void RowDone(int position) override;

Q_SIGNALS:
    void statusTextChanged(const QString &text);
    void progressRangeChanged(int maximum);
    void progressValueChanged(int value);

private:
    int m_maximum = 0;
    int m_stride = 1;
    int m_nextShown = 0;
};
