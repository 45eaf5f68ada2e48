#pragma once

#include "station/stationoutput.h"
#include "station/stationunit.h"

#include <QHash>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class CPageNames;
class CPageServer;
class QElapsedTimer;

// The station as a live web page for the line's screen: `/` the page, `/api/state` a snapshot
// of the units and the figures, `/api/events` a WebSocket with every event as --json prints it,
// numbered, with the unit's row and the figures after it. A WebSocket begins with the snapshot
// (its "seq" is that of the last event in it), so a page that connects again misses nothing.
// It reads the coordinator's own units; nothing here can change an update.
class CStationPage final : public CStationOutput
{
public:
    using SUnits = std::vector<std::unique_ptr<SStationUnit>>;
    // Finished units in a snapshot, the latest; the figures count them all.
    static constexpr int kShownDone = 100;

    CStationPage(const SUnits& units, std::function<SStationSummary()> tally,
                 const QElapsedTimer& clock, const QString& stationName, const CPageNames& names);
    ~CStationPage() override;

    // Serves on `address` ("127.0.0.1", "0.0.0.0", "::" ...) and `port` (0: a free one).
    bool listen(const QString& address, quint16 port, QString& error);
    quint16 port() const;
    // The run has ended: the last frames go out (for at most `waitMs`) and the page is closed.
    void close(int waitMs);

    void event(const SStationUnit* unit, const QJsonObject& event) override;
    void refresh(const SUnits& units) override;
    void summary(const SStationSummary& summary) override;
    void recordBacklog(int waiting, const QString& text, const QString& withReason) override;
    void forget(const SStationUnit& unit) override;

    // The firmware bundle's release being flashed (empty: the built-in images), in the state.
    void setBundleRelease(const QString& release) { m_BundleRelease = release; }

    QJsonObject state() const;
    // A unit as the page shows it.
    static QJsonObject row(const SStationUnit& unit);
    static QJsonObject figures(const SStationSummary& summary);

private:
    void push(const SStationUnit* unit, const QJsonObject& event);

    const SUnits& m_Units;
    std::function<SStationSummary()> m_Tally;
    const QElapsedTimer& m_Clock;
    QString m_StationName;
    QString m_BundleRelease;
    std::unique_ptr<CPageServer> m_Server;
    qint64 m_Seq = 0;
    bool m_Ended = false;
    SStationSummary m_Final;         // once ended
    QHash<int, QJsonObject> m_Shown; // each unit's row as last pushed (without its time)
};
