#pragma once

#include "devsimoptions.h"

#include "engine/devsimengine.h"
#include "engine/devsimflashout.h"

#include <QElapsedTimer>

#include <deque>
#include <memory>

// Serves one simulated unit on a pseudo-terminal until SIGINT or SIGTERM.
//
// The master side is put in raw mode (the tool's serial port restores the slave's settings
// when it closes, so the unit must not rely on them). The server keeps the slave open itself,
// so the master never reports a hang-up while no tool has the port open; should it still see
// EIO or POLLHUP, that means "nobody connected", not the end. When the unit goes away (power
// cycle, unplug fault) the port file is removed and the pty closed; when it comes back a new
// pty is opened and announced.
class CPtyServer
{
public:
    explicit CPtyServer(const SDevSimOptions& options);
    ~CPtyServer();

    // Runs the unit; returns the process exit code.
    int run();

private:
    bool announce();
    void withdraw();
    void pump(qint64 nowMs);
    void writeDue(qint64 nowMs);
    void readHost(qint64 nowMs);
    void handleSignals(qint64 nowMs);
    void updateFlashOut(qint64 nowMs, bool force);
    int pollTimeout(qint64 nowMs) const;
    void log(const QString& line) const;
    qint64 now() const { return m_Clock.elapsed(); }

    SDevSimOptions m_Options;
    CDevSimEngine m_Engine;
    std::unique_ptr<CDevSimFlashOut> m_FlashOut;
    QElapsedTimer m_Clock;
    std::deque<SDevSimOutput> m_Due;
    QByteArray m_Partial; // rest of an output the pty did not take at once
    int m_Master = -1;
    int m_Slave = -1;
    QString m_SlavePath;
    QString m_PortFile;
    int m_SeenAbsences = 0;
    qint64 m_HangupUntil = -1; // master reported a hang-up: do not poll it until then
    int m_FlashRevision = 0;
    qint64 m_FlashWrittenAt = -1;
    bool m_Stop = false;
    bool m_Failed = false; // a new pty could not be announced
};
