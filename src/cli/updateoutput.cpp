#include "updateoutput.h"

#include "cli/cliunit.h"
#include "service/identityview.h"
#include "service/unitidentity.h"
#include "service/updateverify.h"
#include "service/updateworkflow.h"
#include "station/stationoutput.h"
#include "station/stationprotocol.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QTextStream>

namespace {

namespace proto = stationprotocol;

constexpr int kBarWidth = 30; // characters of the terminal progress bar

class CTextOutput final : public CUpdateOutput
{
public:
    CTextOutput(QTextStream& out, bool terminal) : m_Out(out), m_Terminal(terminal) {}

    void state(int) override {}
    void status(const QString& text) override { line(text.simplified()); }
    void message(const SUpdateMessage& message) override
    {
        line(QStringLiteral("%1: %2").arg(message.title, message.text.simplified()));
    }
    void step(const QString& step, const QString& image) override
    {
        line(QStringLiteral("step: %1%2")
                 .arg(step, image.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(image)));
    }
    void progress(const QString& step, int block, int percent) override
    {
        if (!m_Terminal)
            return;
        m_Out << '\r'
              << QStringLiteral("  %1 block %2 %3 %4%")
                     .arg(step)
                     .arg(block)
                     .arg(CStationOutput::bar(percent, kBarWidth))
                     .arg(percent, 3);
        m_Out.flush();
        m_BarShown = true;
    }
    void identified(const QString& port, const SHLP_IdentData& id) override
    {
        line(QStringLiteral("unit on %1: bootloader %2, application %3")
                 .arg(port, bootloaderText(id), applVersionText(id)));
    }
    void waiting(int, int timeoutS, const SUnitIdentity&) override
    {
        line(QStringLiteral("waiting up to %1 s for the unit to come back").arg(timeoutS));
    }
    void verified(const SVerifyOutcome& outcome) override
    {
        if (!outcome.passed())
            line(QStringLiteral("verification: %1").arg(outcome.detail()));
    }
    void stopping(const QString& text) override { line(text); }
    void result(const SResult& r) override
    {
        line(QStringLiteral("%1: %2").arg(r.outcome, r.text));
    }
    void recordWaiting(int waiting, const QString& why) override
    {
        line(QStringLiteral("record: %1 lines wait in the spool for the database (%2)")
                 .arg(waiting)
                 .arg(why));
    }

private:
    void line(const QString& text)
    {
        if (m_BarShown) {
            m_Out << '\n';
            m_BarShown = false;
        }
        m_Out << text << '\n';
        m_Out.flush();
    }

    QTextStream& m_Out;
    bool m_Terminal = false;
    bool m_BarShown = false; // a terminal bar line is open
};

class CJsonOutput final : public CUpdateOutput
{
public:
    CJsonOutput(QTextStream& out, const QElapsedTimer& clock, const CCliUnit& unit)
        : m_Out(out), m_Clock(clock), m_Unit(unit)
    {}

    void state(int state) override
    {
        event(proto::kStateEvent, {{QStringLiteral("state"), state}});
    }
    void status(const QString& text) override
    {
        event(proto::kStatusEvent, {{QStringLiteral("text"), text.simplified()}});
    }
    void message(const SUpdateMessage& message) override
    {
        event(proto::kMessageEvent,
              {{QStringLiteral("kind"), message.kind == SUpdateMessage::ECritical
                                            ? QStringLiteral("critical")
                                            : QStringLiteral("information")},
               {QStringLiteral("title"), message.title},
               {QStringLiteral("text"), message.text.simplified()}});
    }
    void step(const QString& step, const QString& image) override
    {
        event(proto::kStepEvent,
              {{QLatin1String(proto::kStep), step}, {QStringLiteral("image"), image}});
    }
    void progress(const QString& step, int block, int percent) override
    {
        event(proto::kProgressEvent, {{QLatin1String(proto::kStep), step},
                                      {QStringLiteral("block"), block},
                                      {QLatin1String(proto::kPercent), percent}});
    }
    void identified(const QString& port, const SHLP_IdentData& id) override
    {
        event(proto::kIdentifiedEvent, {{QStringLiteral("port"), port},
                                        {QStringLiteral("bootloader"), bootloaderText(id)},
                                        {QStringLiteral("application"), applVersionText(id)}});
    }
    void waiting(int wait, int timeoutS, const SUnitIdentity& unit) override
    {
        event(proto::kWaitingEvent, {{QLatin1String(proto::kWait), wait},
                                     {QStringLiteral("timeoutS"), timeoutS},
                                     {QLatin1String(proto::kModel), unit.modelName(unit.plus)},
                                     {QLatin1String(proto::kUnitSerial), qint64(unit.serial)},
                                     {QLatin1String(proto::kBoard), unit.board}});
    }
    void verified(const SVerifyOutcome& outcome) override
    {
        event(proto::kVerifiedEvent, {{QStringLiteral("passed"), outcome.passed()},
                                      {QStringLiteral("detail"), outcome.detail()}});
    }
    void stopping(const QString& text) override
    {
        event(proto::kStoppingEvent, {{QLatin1String(proto::kText), text}});
    }
    void result(const SResult& r) override
    {
        QJsonObject fields{{QStringLiteral("exitCode"), r.exitCode},
                           {QLatin1String(proto::kOutcome), r.outcome},
                           {QLatin1String(proto::kText), r.text},
                           {QStringLiteral("durationMs"), r.durationMs}};
        // What the unit reported when it was identified after its update (a station uses it to
        // recognise the unit when it is plugged in again).
        if (!r.applAfter.isEmpty()) {
            fields.insert(QLatin1String(proto::kBootAfter), r.bootAfter);
            fields.insert(QLatin1String(proto::kApplAfter), r.applAfter);
            fields.insert(QLatin1String(proto::kWifiAfter), r.wifiAfter);
        }
        event(proto::kResultEvent, fields);
    }
    void recordWaiting(int waiting, const QString& why) override
    {
        event(proto::kRecordEvent,
              {{QStringLiteral("waiting"), waiting}, {QLatin1String(proto::kText), why}});
    }

private:
    void event(const char* name, const QJsonObject& fields)
    {
        QJsonObject object{{QLatin1String(proto::kEvent), QLatin1String(name)},
                           {QLatin1String(proto::kMs), m_Clock.elapsed()},
                           {QStringLiteral("port"), m_Unit.portName()}};
        if (const quint32 serial = m_Unit.ident().m_SerialNo)
            object.insert(QStringLiteral("serial"), qint64(serial));
        for (auto it = fields.begin(); it != fields.end(); ++it)
            object.insert(it.key(), it.value());
        m_Out << proto::jsonLine(object);
        m_Out.flush();
    }

    QTextStream& m_Out;
    const QElapsedTimer& m_Clock;
    const CCliUnit& m_Unit;
};

} // namespace

std::unique_ptr<CUpdateOutput> CUpdateOutput::make(EKind kind, QTextStream& out,
                                                   const QElapsedTimer& clock, const CCliUnit& unit)
{
    if (kind == EJson)
        return std::make_unique<CJsonOutput>(out, clock, unit);
    return std::make_unique<CTextOutput>(out, kind == ETerminal);
}
