#include "ui/termination.h"

#include <QSocketNotifier>

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_signal = 0;
// The self-pipe: the handler writes one byte, the event loop reads it.
int g_pipe[2] = {-1, -1};

constexpr int Signals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void noteSignal(int signal)
{
    if (g_signal == 0)
        g_signal = signal;
    if (g_pipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    }
}

} // namespace

namespace termination {

void Install()
{
    g_signal = 0;
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_NONBLOCK | O_CLOEXEC) != 0)
        g_pipe[0] = g_pipe[1] = -1;
    struct sigaction action
    {
    };
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int s : Signals)
        ::sigaction(s, &action, nullptr);
}

void Uninstall()
{
    for (const int s : Signals)
        std::signal(s, SIG_DFL);
}

int Signal()
{
    return int(g_signal);
}

QString SignalName(int signal)
{
    switch (signal) {
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QStringLiteral("signal %1").arg(signal);
    }
}

} // namespace termination

TTerminationNotifier::TTerminationNotifier(QObject *parent) : QObject(parent)
{
    if (g_pipe[0] < 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
        }
        if (termination::Signal() != 0)
            Q_EMIT requested(termination::Signal());
    });
}

TTerminationNotifier::~TTerminationNotifier() = default;
