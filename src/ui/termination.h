#pragma once
// Ending in order when the desktop session, a terminal or a service manager asks the
// program to end (SIGTERM, SIGHUP, SIGINT). The handlers only note the signal: a running
// job stops between two files and completes its journal, the window writes its settings.
// The handler of a signal is the default again once it has arrived, so a second Ctrl+C
// ends the program at once.
#include <QObject>

#include <memory>

class QSocketNotifier;

namespace termination {

// Installs the handlers (again after Uninstall); the noted signal starts at 0.
void Install();
// Gives the three signals their default action back.
void Uninstall();
// The first of the three signals that arrived since Install, or 0.
int Signal();
// "SIGTERM", "SIGINT", "SIGHUP".
QString SignalName(int signal);

} // namespace termination

// Announces an arrived signal in the event loop (for a program that has one). Install the
// handlers first.
class TTerminationNotifier : public QObject
{
    Q_OBJECT
public:
    explicit TTerminationNotifier(QObject *parent = nullptr);
    ~TTerminationNotifier() override;

Q_SIGNALS:
    void requested(int signal);

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};
