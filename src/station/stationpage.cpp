#include "stationpage.h"

#include "service/exitcodes.h"
#include "station/stationhistory.h"
#include "web/pageserver.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

// The finished units the snapshot shows are among the rows the station keeps.
static_assert(CStationHistory::kKeptDone >= CStationPage::kShownDone);

namespace {

QByteArray pageHtml()
{
    QFile file(QStringLiteral(":/web/station.html"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("page missing\n");
}

QString stateName(const SStationUnit& unit)
{
    using stationrouting::SUnitRow;
    if (unit.superseded)
        return QStringLiteral("superseded");
    switch (unit.state) {
    case SUnitRow::EQueued:
        return QStringLiteral("queued");
    case SUnitRow::ERunning:
        return QStringLiteral("running");
    case SUnitRow::EWaiting:
        return QStringLiteral("waiting");
    case SUnitRow::EDone:
        return QStringLiteral("done");
    case SUnitRow::ENoAnswer:
        return QStringLiteral("no-answer");
    }
    return {};
}

QJsonObject withoutTime(QJsonObject row)
{
    row.remove(QStringLiteral("elapsedMs"));
    return row;
}

} // namespace

static void initPageResources()
{
    Q_INIT_RESOURCE(page);
}

CStationPage::CStationPage(const SUnits& units, std::function<SStationSummary()> tally,
                           const QElapsedTimer& clock, const QString& stationName,
                           const CPageNames& names)
    : m_Units(units), m_Tally(std::move(tally)), m_Clock(clock), m_StationName(stationName)
{
    initPageResources();
    CPageServer::SContent content;
    content.page = [] { return pageHtml(); };
    content.state = [this] { return QJsonDocument(state()).toJson(QJsonDocument::Compact); };
    content.hello = [this] {
        QJsonObject hello = state();
        hello.insert(QStringLiteral("event"), QStringLiteral("snapshot"));
        return QJsonDocument(hello).toJson(QJsonDocument::Compact);
    };
    m_Server = std::make_unique<CPageServer>(content, CPageServer::SLimits(), names);
}

CStationPage::~CStationPage() = default;

bool CStationPage::listen(const QString& address, quint16 port, QString& error)
{
    QHostAddress host;
    if (!host.setAddress(address)) {
        error = QStringLiteral("%1 is not an address").arg(address);
        return false;
    }
    return m_Server->listen(host, port, error);
}

quint16 CStationPage::port() const
{
    return m_Server->port();
}

void CStationPage::close(int waitMs)
{
    m_Server->close(waitMs);
}

void CStationPage::event(const SStationUnit* unit, const QJsonObject& event)
{
    push(unit, event);
}

void CStationPage::refresh(const SUnits& units)
{
    // A change no event tells of (a unit plugged in again while it waits for its turn, a port
    // that answered after all): its row alone.
    for (const auto& unit : units) {
        if (unit->done() && !unit->superseded && m_Shown.contains(unit->number))
            continue;
        if (withoutTime(row(*unit)) != m_Shown.value(unit->number))
            push(unit.get(), {{QStringLiteral("event"), QStringLiteral("row")}});
    }
}

void CStationPage::summary(const SStationSummary& summary)
{
    m_Ended = true;
    m_Final = summary;
    push(nullptr, summaryEvent(summary));
}

void CStationPage::recordBacklog(int waiting, const QString&, const QString&)
{
    push(nullptr, {{QStringLiteral("event"), QStringLiteral("record")},
                   {QStringLiteral("waiting"), waiting}});
}

void CStationPage::forget(const SStationUnit& unit)
{
    m_Shown.remove(unit.number);
}

void CStationPage::push(const SStationUnit* unit, const QJsonObject& event)
{
    ++m_Seq;
    const QJsonObject shown = unit ? row(*unit) : QJsonObject();
    if (unit)
        m_Shown.insert(unit->number, withoutTime(shown));
    // Hundreds of events a second: with no page open, none is built (one that opens takes the
    // snapshot).
    if (m_Server->webSockets() == 0)
        return;
    QJsonObject frame = eventLine(unit, event, m_Clock.elapsed());
    frame.insert(QStringLiteral("seq"), m_Seq);
    frame.insert(QStringLiteral("at"), QDateTime::currentMSecsSinceEpoch());
    if (unit)
        frame.insert(QStringLiteral("row"), shown);
    frame.insert(QStringLiteral("summary"), figures(m_Ended ? m_Final : m_Tally()));
    frame.insert(QStringLiteral("ended"), m_Ended);
    m_Server->broadcast(QJsonDocument(frame).toJson(QJsonDocument::Compact));
}

QJsonObject CStationPage::state() const
{
    QJsonArray rows;
    int doneLeft = kShownDone;
    // The latest first, so the cut drops the oldest finished units; given oldest first.
    QVector<QJsonObject> picked;
    for (auto it = m_Units.crbegin(); it != m_Units.crend(); ++it) {
        const SStationUnit& unit = **it;
        if (unit.superseded || (unit.done() && doneLeft-- <= 0))
            continue;
        picked.prepend(row(unit));
    }
    for (const QJsonObject& r : picked)
        rows.append(r);
    return {{QStringLiteral("seq"), m_Seq},
            {QStringLiteral("at"), QDateTime::currentMSecsSinceEpoch()},
            {QStringLiteral("ms"), m_Clock.elapsed()},
            {QStringLiteral("station"), m_StationName},
            {QStringLiteral("release"), m_BundleRelease},
            {QStringLiteral("ended"), m_Ended},
            {QStringLiteral("units"), rows},
            {QStringLiteral("summary"), figures(m_Ended ? m_Final : m_Tally())}};
}

QJsonObject CStationPage::row(const SStationUnit& unit)
{
    const bool known = unit.state != stationrouting::SUnitRow::ENoAnswer;
    QJsonObject r = {
        {QStringLiteral("unit"), unit.number},
        {QStringLiteral("port"), unit.port},
        {QStringLiteral("serial"), known && unit.identity.serial != 0
                                       ? QJsonValue(qint64(unit.identity.serial))
                                       : QJsonValue()},
        {QStringLiteral("model"),
         known ? QJsonValue(SUnitIdentity::modelName(unit.identity.plus)) : QJsonValue()},
        {QStringLiteral("state"), stateName(unit)},
        {QStringLiteral("step"), unit.step},
        {QStringLiteral("percent"), unit.percent},
        {QStringLiteral("elapsedMs"), unit.elapsedMs()},
        {QStringLiteral("text"), QString()}};
    const bool ended = unit.done() || !known;
    if (!ended)
        return r;
    r.insert(QStringLiteral("outcome"), unit.outcome);
    r.insert(QStringLiteral("exitCode"), unit.exitCode);
    const bool good = unit.exitCode == cliexit::kOk || unit.exitCode == cliexit::kUpToDate;
    r.insert(QStringLiteral("text"), good ? unit.doneText() : unit.text);
    if (!good)
        r.insert(QStringLiteral("remedy"), stationRemedy(unit.exitCode, unit.outcome));
    return r;
}

QJsonObject CStationPage::figures(const SStationSummary& s)
{
    const QJsonValue yield = s.firstTried > 0
                                 ? QJsonValue(qRound(1000.0 * s.firstPassed / s.firstTried) / 10.0)
                                 : QJsonValue();
    return {{QStringLiteral("seen"), s.seen},
            {QStringLiteral("updated"), s.updated},
            {QStringLiteral("upToDate"), s.upToDate},
            {QStringLiteral("failed"), s.failures},
            {QStringLiteral("working"), s.working},
            {QStringLiteral("firstPassYield"), yield},
            {QStringLiteral("firstTried"), s.firstTried},
            {QStringLiteral("firstPassed"), s.firstPassed},
            {QStringLiteral("medianMs"), s.medianMs},
            {QStringLiteral("recordWaiting"), s.recordWaiting},
            {QStringLiteral("recordText"), s.recordWaiting > 0 ? s.recordText : QString()}};
}
