#include "logcapture.h"

#include <cstdio>

namespace {
LogCapture* g_Active = nullptr;
}

LogCapture::LogCapture()
{
    g_Active = this;
    m_Previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_Previous);
    g_Active = nullptr;
}

void LogCapture::handler(QtMsgType, const QMessageLogContext&, const QString& msg)
{
    if (g_Active)
        g_Active->m_Lines << msg;
    if (qEnvironmentVariableIsSet("VENTARO_TEST_LOG"))
        std::fprintf(stderr, "%s\n", qPrintable(msg));
}

int LogCapture::count(const QString& text) const
{
    int n = 0;
    for (const QString& line : m_Lines)
        n += line.contains(text) ? 1 : 0;
    return n;
}

int LogCapture::countExact(const QString& text) const
{
    return int(m_Lines.count(text));
}
