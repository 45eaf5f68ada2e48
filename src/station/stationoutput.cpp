#include "stationoutput.h"

#include "station/stationprotocol.h"
#include "station/stationunit.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QSet>
#include <QTextStream>

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr int kBarWidth = 20; // characters of a live line's bar, at the most
constexpr int kMinBarWidth = 5;
constexpr int kDefaultColumns = 80; // when the terminal does not say its width

// "ttyACM0" for /dev/ttyACM0, "pts/3" for /dev/pts/3: short, and still telling ports apart.
QString shortPortName(const QString& port)
{
    const QString dev = QStringLiteral("/dev/");
    return port.startsWith(dev) ? port.mid(dev.size()) : port;
}

QString eventName(const QJsonObject& event)
{
    return event.value(QStringLiteral("event")).toString();
}

QStringList summaryLines(const SStationSummary& s)
{
    QStringList lines = {QStringLiteral("units seen %1, updated %2, up to date %3, failed %4; "
                                        "median time per updated unit %5")
                             .arg(s.seen)
                             .arg(s.updated)
                             .arg(s.upToDate)
                             .arg(s.failures)
                             .arg(CStationOutput::clockText(s.medianMs))};
    for (auto it = s.failed.cbegin(); it != s.failed.cend(); ++it)
        for (const QString& unit : it.value())
            lines << QStringLiteral("  failed, %1: %2").arg(it.key(), unit);
    if (s.recordWaiting > 0)
        lines << s.recordText + QStringLiteral("; 'ventaro-cli record sync' sends them");
    return lines;
}

class CJsonOutput final : public CStationOutput
{
public:
    CJsonOutput(QTextStream& out, const QElapsedTimer& clock) : m_Out(out), m_Clock(clock) {}

    void event(const SStationUnit* unit, const QJsonObject& event) override
    {
        m_Out << stationprotocol::jsonLine(eventLine(unit, event, m_Clock.elapsed()));
        m_Out.flush();
    }

    void summary(const SStationSummary& s) override { event(nullptr, summaryEvent(s)); }

    void recordBacklog(int waiting, const QString&, const QString&) override
    {
        event(nullptr, {{QStringLiteral("event"), QStringLiteral("record")},
                        {QStringLiteral("waiting"), waiting}});
    }

private:
    QTextStream& m_Out;
    const QElapsedTimer& m_Clock;
};

// One line per step a worker reports and per finished unit, for logs and pipes.
class CPlainOutput final : public CStationOutput
{
public:
    CPlainOutput(QTextStream& out, const QElapsedTimer& clock) : m_Out(out), m_Clock(clock) {}

    void event(const SStationUnit* unit, const QJsonObject& event) override
    {
        if (!unit)
            return;
        if (eventName(event) == QLatin1String("done")) {
            line(*unit, unit->doneText());
        } else if (event.contains(QStringLiteral("workerMs")) &&
                   m_Steps.value(unit->number) != unit->step) {
            m_Steps.insert(unit->number, unit->step);
            line(*unit, unit->step);
        }
    }
    void forget(const SStationUnit& unit) override { m_Steps.remove(unit.number); }

    void summary(const SStationSummary& s) override
    {
        for (const QString& l : summaryLines(s))
            m_Out << l << '\n';
        m_Out.flush();
    }

    void recordBacklog(int waiting, const QString&, const QString& withReason) override
    {
        m_Out << clockText(m_Clock.elapsed()) << ' '
              << (waiting > 0 ? withReason
                              : QStringLiteral("record: every line is in the database"))
              << '\n';
        m_Out.flush();
    }

private:
    void line(const SStationUnit& unit, const QString& text)
    {
        m_Out << QStringLiteral("%1 %2 %3: %4")
                     .arg(clockText(m_Clock.elapsed()), unit.port)
                     .arg(unit.identity.serial)
                     .arg(text)
              << '\n';
        m_Out.flush();
    }

    QTextStream& m_Out;
    const QElapsedTimer& m_Clock;
    QHash<int, QString> m_Steps; // the step last written of each unit
};

// One line per unit at work, redrawn in place and cut to the terminal's width (a live line
// that wrapped would shift every line redrawn below it). A unit that is done gets its line
// once, where the live lines began, broken into lines that fit, and it scrolls away like a log;
// a long session never redraws more than the units at work.
class CTerminalOutput final : public CStationOutput
{
public:
    explicit CTerminalOutput(QTextStream& out) : m_Out(out) {}

    void event(const SStationUnit*, const QJsonObject&) override {}
    // Shown below the live lines until none waits (the reason is too long for them).
    void recordBacklog(int, const QString& text, const QString&) override { m_Record = text; }
    void forget(const SStationUnit& unit) override { m_Written.remove(unit.number); }

    void refresh(const std::vector<std::unique_ptr<SStationUnit>>& units) override
    {
        const int width = columns() - 1;
        if (m_DrawnLines > 0)
            m_Out << QStringLiteral("\x1b[%1A").arg(m_DrawnLines);
        for (const auto& unit : units) {
            if (unit->done() && !m_Written.contains(unit->number)) {
                for (const QString& l : wrapped(unitLine(*unit, width), width))
                    m_Out << '\r' << l << "\x1b[K\n";
                m_Written.insert(unit->number);
            }
        }
        m_DrawnLines = 0;
        for (const auto& unit : units) {
            if (!unit->done() && unit->state != stationrouting::SUnitRow::ENoAnswer) {
                m_Out << '\r' << fitted(unitLine(*unit, width), width) << "\x1b[K\n";
                ++m_DrawnLines;
            }
        }
        if (!m_Record.isEmpty()) {
            m_Out << '\r' << fitted(m_Record, width) << "\x1b[K\n";
            ++m_DrawnLines;
        }
        m_Out << "\x1b[J"; // what is left of a longer block of live lines
        m_Out.flush();
    }

    void summary(const SStationSummary& s) override
    {
        for (const QString& line : summaryLines(s))
            for (const QString& part : wrapped(line, columns() - 1))
                m_Out << part << '\n';
        m_Out.flush();
    }

private:
    static int columns()
    {
        winsize size = {};
        if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
            return size.ws_col;
        bool ok = false;
        const int fromEnv = qEnvironmentVariableIntValue("COLUMNS", &ok);
        return ok && fromEnv > 0 ? fromEnv : kDefaultColumns;
    }

    // `text` broken at blanks into lines of at most `width` characters; the lines after the
    // first are indented by two more than it.
    static QStringList wrapped(const QString& text, int width)
    {
        if (text.size() <= width)
            return {text};
        int lead = 0;
        while (lead < text.size() && text.at(lead) == QLatin1Char(' '))
            ++lead;
        QStringList lines;
        QString line(lead, QLatin1Char(' '));
        bool empty = true;
        for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (!empty && line.size() + 1 + word.size() > width) {
                lines << fitted(line, width);
                line = QString(lead + 2, QLatin1Char(' '));
                empty = true;
            }
            line += (empty ? QString() : QStringLiteral(" ")) + word;
            empty = false;
        }
        lines << fitted(line, width);
        return lines;
    }

    static QString unitLine(const SStationUnit& unit, int width)
    {
        const QString head = QStringLiteral("%1 %2 %3 ")
                                 .arg(shortPortName(unit.port), -12)
                                 .arg(unit.identity.serial, 10)
                                 .arg(clockText(unit.elapsedMs()));
        if (unit.done())
            return head + unit.doneText();
        if (!unit.started())
            return head + QStringLiteral("queued");
        // The bar takes what the width leaves.
        const QString step = QStringLiteral("%1 ").arg(unit.step, -20);
        const QString percent = QStringLiteral(" %1%").arg(unit.percent, 3);
        const int room = width - head.size() - step.size() - percent.size() - 2;
        if (room < kMinBarWidth)
            return head + step.trimmed() + percent;
        return head + step + bar(unit.percent, qMin(kBarWidth, room)) + percent;
    }

    QTextStream& m_Out;
    int m_DrawnLines = 0;
    QSet<int> m_Written; // units whose final line is out
    QString m_Record;    // record lines waiting, when any
};

// Every call to each of two outputs, in turn.
class CBothOutputs final : public CStationOutput
{
public:
    CBothOutputs(std::unique_ptr<CStationOutput> first, std::unique_ptr<CStationOutput> second)
        : m_First(std::move(first)), m_Second(std::move(second))
    {}

    void event(const SStationUnit* unit, const QJsonObject& event) override
    {
        m_First->event(unit, event);
        m_Second->event(unit, event);
    }
    void refresh(const std::vector<std::unique_ptr<SStationUnit>>& units) override
    {
        m_First->refresh(units);
        m_Second->refresh(units);
    }
    void summary(const SStationSummary& summary) override
    {
        m_First->summary(summary);
        m_Second->summary(summary);
    }
    void forget(const SStationUnit& unit) override
    {
        m_First->forget(unit);
        m_Second->forget(unit);
    }
    void recordBacklog(int waiting, const QString& text, const QString& withReason) override
    {
        m_First->recordBacklog(waiting, text, withReason);
        m_Second->recordBacklog(waiting, text, withReason);
    }

private:
    std::unique_ptr<CStationOutput> m_First, m_Second;
};

} // namespace

std::unique_ptr<CStationOutput> CStationOutput::both(std::unique_ptr<CStationOutput> first,
                                                     std::unique_ptr<CStationOutput> second)
{
    return std::make_unique<CBothOutputs>(std::move(first), std::move(second));
}

std::unique_ptr<CStationOutput> CStationOutput::make(EKind kind, QTextStream& out,
                                                     const QElapsedTimer& clock)
{
    switch (kind) {
    case EJson:
        return std::make_unique<CJsonOutput>(out, clock);
    case ETerminal:
        return std::make_unique<CTerminalOutput>(out);
    case EPlain:
        break;
    }
    return std::make_unique<CPlainOutput>(out, clock);
}

QJsonObject CStationOutput::eventLine(const SStationUnit* unit, const QJsonObject& event, qint64 ms)
{
    QJsonObject line = event;
    line.insert(QStringLiteral("ms"), ms);
    if (unit) {
        line.insert(QStringLiteral("unit"), unit->number);
        line.insert(QStringLiteral("port"), unit->port);
        if (unit->identity.serial != 0)
            line.insert(QStringLiteral("serial"), qint64(unit->identity.serial));
        line.insert(QStringLiteral("model"), SUnitIdentity::modelName(unit->identity.plus));
    }
    return line;
}

QJsonObject CStationOutput::summaryEvent(const SStationSummary& s)
{
    QJsonObject byReason;
    for (auto it = s.failed.cbegin(); it != s.failed.cend(); ++it)
        byReason.insert(it.key(), QJsonArray::fromStringList(it.value()));
    return {{QStringLiteral("event"), QStringLiteral("summary")},
            {QStringLiteral("seen"), s.seen},
            {QStringLiteral("updated"), s.updated},
            {QStringLiteral("upToDate"), s.upToDate},
            {QStringLiteral("failed"), s.failures},
            {QStringLiteral("failedByReason"), byReason},
            {QStringLiteral("medianMs"), s.medianMs},
            {QStringLiteral("recordWaiting"), s.recordWaiting}};
}

QString CStationOutput::clockText(qint64 ms)
{
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString CStationOutput::fitted(const QString& text, int width)
{
    if (width <= 0 || text.size() <= width)
        return text;
    return text.left(width - 1) + QLatin1Char('~');
}

QString CStationOutput::bar(int percent, int width)
{
    const int filled = qBound(0, percent, 100) * width / 100;
    return QLatin1Char('[') + QString(filled, QLatin1Char('#')) +
           QString(width - filled, QLatin1Char(' ')) + QLatin1Char(']');
}
