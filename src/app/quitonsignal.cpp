#include "quitonsignal.h"

#include "service/signalpipe.h"

#include <QCoreApplication>
#include <QDebug>

#include <csignal>

CQuitOnSignal::CQuitOnSignal(QObject* parent) : QObject(parent)
{
    m_Pipe = new CSignalPipe({SIGINT, SIGTERM}, this);
    if (!m_Pipe->isInstalled()) {
        qDebug() << "CQuitOnSignal: no pipe; signals end the process directly";
        return;
    }
    connect(m_Pipe, &CSignalPipe::signalReceived, this, [] {
        qDebug() << "Stop signal received: closing";
        QCoreApplication::quit();
    });
}

CQuitOnSignal::~CQuitOnSignal() = default;

bool CQuitOnSignal::isInstalled() const
{
    return m_Pipe->isInstalled();
}
