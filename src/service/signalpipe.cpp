#include "signalpipe.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int g_Pipe[2] = {-1, -1};
}

CSignalPipe::CSignalPipe(const QList<int>& numbers, QObject* parent) : QObject(parent)
{
    if (g_Pipe[0] >= 0 || ::pipe2(g_Pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_Numbers = numbers;
    m_Notifier = std::make_unique<QSocketNotifier>(g_Pipe[0], QSocketNotifier::Read);
    connect(m_Notifier.get(), &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        ssize_t got = 0;
        while ((got = ::read(g_Pipe[0], bytes, sizeof bytes)) > 0)
            for (ssize_t i = 0; i < got; ++i)
                Q_EMIT signalReceived(bytes[i]);
    });
    struct sigaction action = {};
    action.sa_handler = &CSignalPipe::handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : numbers)
        ::sigaction(number, &action, nullptr);
}

CSignalPipe::~CSignalPipe()
{
    if (!m_Notifier)
        return;
    for (const int number : qAsConst(m_Numbers))
        ::signal(number, SIG_DFL);
    m_Notifier.reset();
    ::close(g_Pipe[0]);
    ::close(g_Pipe[1]);
    g_Pipe[0] = g_Pipe[1] = -1;
}

void CSignalPipe::handler(int number)
{
    const char byte = char(number);
    // A full pipe (64 KiB of signals not yet read) drops the byte.
    [[maybe_unused]] const ssize_t written = ::write(g_Pipe[1], &byte, 1);
}
