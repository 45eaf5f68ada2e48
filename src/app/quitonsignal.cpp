#include "quitonsignal.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int g_Pipe[2] = {-1, -1};
}

CQuitOnSignal::CQuitOnSignal(QObject* parent) : QObject(parent)
{
    if (g_Pipe[0] >= 0)
        return; // one per process
    if (::pipe2(g_Pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qDebug() << "CQuitOnSignal: no pipe; signals end the process directly";
        g_Pipe[0] = g_Pipe[1] = -1;
        return;
    }
    m_Notifier = new QSocketNotifier(g_Pipe[0], QSocketNotifier::Read, this);
    connect(m_Notifier, &QSocketNotifier::activated, this, [] {
        char byte = 0;
        while (::read(g_Pipe[0], &byte, 1) == 1) {
        }
        qDebug() << "Stop signal received: closing";
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = &CQuitOnSignal::handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

CQuitOnSignal::~CQuitOnSignal()
{
    if (!m_Notifier)
        return;
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    delete m_Notifier;
    m_Notifier = nullptr;
    ::close(g_Pipe[0]);
    ::close(g_Pipe[1]);
    g_Pipe[0] = g_Pipe[1] = -1;
}

void CQuitOnSignal::handler(int)
{
    const char byte = 1;
    // Async-signal-safe; a full pipe already holds a pending quit.
    [[maybe_unused]] const ssize_t written = ::write(g_Pipe[1], &byte, 1);
}
