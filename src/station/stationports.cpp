#include "stationports.h"

#include "service/exitcodes.h"
#include "service/identityview.h"
#include "service/portenumerator.h"
#include "station/stationprotocol.h"
#include "station/stationworker.h"

#include <QJsonDocument>
#include <QPair>
#include <QTextStream>
#include <QVector>

using stationrouting::SSighting;

CStationPorts::CStationPorts(std::unique_ptr<CPortEnumerator> enumerator, QString program,
                             bool verbose, QTextStream& err, SHooks hooks)
    : m_Enumerator(std::move(enumerator)), m_Program(std::move(program)), m_Verbose(verbose),
      m_Err(err), m_Hooks(std::move(hooks))
{
    connect(m_Enumerator.get(), &CPortEnumerator::deviceDiscovered, this, &CStationPorts::look);
    connect(m_Enumerator.get(), &CPortEnumerator::deviceRemoved, this,
            [this](const SPortInfo& info) {
                // Also a port made anew under the same name (a unit unplugged and back between
                // two looks): it is asked again who is there.
                m_Present.remove(info.portName);
                look();
            });
}

CStationPorts::~CStationPorts()
{
    for (auto it = m_Pending.begin(); it != m_Pending.end(); ++it)
        delete it->probe;
}

void CStationPorts::start()
{
    m_Enumerator->setUpNotifications();
    look();
}

void CStationPorts::look()
{
    QHash<QString, quint64> now;
    for (const SPortInfo& info : m_Enumerator->getPorts())
        if (isDevicePort(info, QString()))
            now.insert(info.portName, info.generation);
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        // New, back, or made anew under the same name (another unit, perhaps): who is it?
        const auto known = m_Present.constFind(it.key());
        if (known != m_Present.constEnd() && known.value() == it.value())
            continue;
        SProbe& probe = m_Pending[it.key()];
        if (probe.generation != it.value()) {
            if (probe.probe)
                probe.probe->discard(); // it asked the port that was there before
            probe = SProbe();
            probe.generation = it.value();
        }
    }
    QVector<QPair<QString, quint64>> vanished;
    for (auto it = m_Pending.begin(); it != m_Pending.end();) {
        if (now.contains(it.key())) {
            ++it;
            continue;
        }
        if (it->probe)
            it->probe->discard();
        vanished.append({it.key(), it->generation});
        it = m_Pending.erase(it);
    }
    m_Hooks.looked(now);
    m_Present = now;
    for (const auto& [port, generation] : vanished)
        sight(SSighting::EVanished, port, generation);
}

void CStationPorts::probe()
{
    for (auto it = m_Pending.begin(); it != m_Pending.end(); ++it) {
        // The port came back while its worker still works on it: asked again once that worker
        // waits for its unit or has ended.
        if (!it->probe && !m_Hooks.busy(it.key()))
            startProbe(it.key(), it.value());
    }
}

void CStationPorts::startProbe(const QString& port, SProbe& probe)
{
    auto* worker = new CStationWorker(this);
    probe.probe = worker;
    auto ident = std::make_shared<SHLP_IdentData>();
    auto answered = std::make_shared<bool>(false);
    connect(worker, &CStationWorker::lineReceived, this, [ident, answered](const QByteArray& l) {
        if (stationprotocol::parseIdent(QJsonDocument::fromJson(l).object(), *ident))
            *answered = true;
    });
    connect(worker, &CStationWorker::ended, this,
            [this, port, worker, ident, answered](int exitCode, const QString&) {
                probeEnded(port, worker, exitCode, *answered ? ident.get() : nullptr);
            });
    worker->start(m_Program, stationprotocol::probeArguments(port, m_Verbose), kProbeLimitMs);
}

void CStationPorts::probeEnded(const QString& port, CStationWorker* probe, int exitCode,
                               const SHLP_IdentData* ident)
{
    probe->deleteLater();
    auto it = m_Pending.find(port);
    if (it == m_Pending.end() || it->probe != probe)
        return; // the port went away meanwhile
    it->probe = nullptr;
    if (exitCode == cliexit::kOk && ident) {
        SSighting seen;
        seen.port = port;
        seen.generation = it->generation;
        m_Pending.erase(it);
        seen.identity = SUnitIdentity::of(*ident);
        seen.boot = bootloaderText(*ident);
        seen.appl = applVersionText(*ident);
        seen.wifi = wifiVersionText(*ident);
        m_Hooks.sighted(seen, ident);
        return;
    }
    if (++it->tries < kIdentifyTries)
        return; // asked again at the next tick
    const quint64 generation = it->generation;
    m_Pending.erase(it);
    m_Err << "ventaro-cli: the unit on " << port << " does not answer; left alone\n";
    m_Err.flush();
    sight(SSighting::EUnanswered, port, generation);
}

void CStationPorts::sight(SSighting::EKind kind, const QString& port, quint64 generation)
{
    SSighting seen;
    seen.kind = kind;
    seen.port = port;
    seen.generation = generation;
    m_Hooks.sighted(seen, nullptr);
}
