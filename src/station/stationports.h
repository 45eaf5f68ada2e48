#pragma once

#include "device/hlprecords.h"
#include "station/stationrouting.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>

class CPortEnumerator;
class CStationWorker;
class QTextStream;

// The ports a station watches, and the probes that ask each new one who is there: a probe is a
// process of its own (`identify --worker`), so a silent port never holds up the station. A port
// is asked up to kIdentifyTries times; what it said (or that it said nothing, or went away) is
// told to the coordinator as a sighting.
class CStationPorts : public QObject
{
    Q_OBJECT

public:
    // A new port is asked for its unit this often before it is left alone; each try is one
    // probe (an identification, which repeats its request for up to 10 s).
    static constexpr int kIdentifyTries = 3;
    // A probe that runs longer than this is stopped; its try failed.
    static constexpr int kProbeLimitMs = 20000;

    struct SHooks
    {
        // A worker works on the port: it is not probed meanwhile.
        std::function<bool(const QString& port)> busy;
        // The ventaro ports there now with their generations, told before the ports gone
        // meanwhile are sighted.
        std::function<void(const QHash<QString, quint64>& now)> looked;
        // What a port told (`ident` null unless it was identified).
        std::function<void(const stationrouting::SSighting& seen, const SHLP_IdentData* ident)>
            sighted;
    };

    CStationPorts(std::unique_ptr<CPortEnumerator> enumerator, QString program, bool verbose,
                  QTextStream& err, SHooks hooks);
    ~CStationPorts() override;

    // Notifications on, and a first look.
    void start();
    // Which ventaro ports are there now: new ones are to be probed, gone ones sighted as such.
    void look();
    // Starts a probe on every new port that has none and no worker on it.
    void probe();

    // The ventaro ports there now, with their generations.
    const QHash<QString, quint64>& present() const { return m_Present; }
    // There now and identified (no probe asks it).
    bool settled(const QString& port) const
    {
        return m_Present.contains(port) && !m_Pending.contains(port);
    }
    // Asked again who is on the port, at the next look.
    void forget(const QString& port) { m_Present.remove(port); }
    // A probe is to ask, or asks, who is on the port.
    bool pending(const QString& port) const { return m_Pending.contains(port); }

private:
    struct SProbe
    {
        quint64 generation = 0; // of the port to be asked
        int tries = 0;
        CStationWorker* probe = nullptr;
    };

    void startProbe(const QString& port, SProbe& probe);
    void probeEnded(const QString& port, CStationWorker* probe, int exitCode,
                    const SHLP_IdentData* ident);
    void sight(stationrouting::SSighting::EKind kind, const QString& port, quint64 generation);

    std::unique_ptr<CPortEnumerator> m_Enumerator;
    QString m_Program;
    bool m_Verbose = false;
    QTextStream& m_Err;
    SHooks m_Hooks;
    QHash<QString, quint64> m_Present; // ventaro ports at the last look, by generation
    QHash<QString, SProbe> m_Pending;  // new ports not identified yet
};
