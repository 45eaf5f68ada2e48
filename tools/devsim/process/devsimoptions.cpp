#include "devsimoptions.h"

#include <QCommandLineParser>
#include <QProcessEnvironment>

#include <cstdio>

namespace {

const char* const kDescription = R"(A simulated ventaro ventilation unit on a pseudo-terminal.

It opens a pty, announces the slave path as NAME.port in the port folder (lines port=PATH,
vid=0x0409, pid=0x01D9; written under a temporary name and renamed) and answers the service
tool's requests as a real unit would: acknowledgements, replies with their ids and sizes,
packet trains, flashing through the bootloader, bootloader swap. It serves until SIGINT or
SIGTERM and then removes its port file. Every request is logged on stderr (code, length).

Power cycle (the user switches the unit off and on): the port file disappears, the pty
closes, and after --reboot-pause ms a new pty is announced, answered by the software a
restart runs (--restart). Triggers: SIGUSR1 at any time, --reboot-after-swap MS and
--reboot-after-upload MS.

Fault RATE: a probability per eligible packet written with a decimal point (0.25, 1.0), or
a whole number N meaning "the first N eligible packets" (0 = off). Runs are reproducible
with --seed.)";

struct SOpt
{
    const char* name;
    const char* value; // null: a flag
    const char* help;
};

const SOpt kOptions[] = {
    {"name", "NAME", "Port file name (NAME.port). Default: devsim."},
    {"port-dir", "DIR", "Folder for the port file. Default: $VENTARO_PORT_DIR."},
    {"model", "100|plus", "Device model: 100 series or plus (70 series). Default: 100."},
    {"serial", "N", "Serial number; 0 = none stored. Default: 50123."},
    {"board", "N", "Board version. Default: 3."},
    {"partner", "N",
     "Answering software: 1 or 2 bootloader copy, 3 application (4 and up: a "
     "corrupted sender address). Default: 1."},
    {"x-marker", nullptr, "Set the X marker of the identity (cleared by an application upload)."},
    {"running-copy", "1|2", "Bootloader copy that runs (when --partner is 3). Default: 1."},
    {"boot-version", "M.S", "Bootloader version of both copies. Default: 2.20."},
    {"appl-version", "M.S", "Application version. Default: 2.20."},
    {"wifi-version", "M.S", "WiFi module version (main 0-31, sub 0-127). Default: 3.05."},
    {"counters", "N", "Number of persistent counters reported (0-255). Default: 74."},
    {"counter", "ID=VALUE", "Set persistent counter ID (repeatable)."},
    {"deicing", "on|off", "De-icing setting in counters 39/40 (1/19 or 22/11). Default: off."},
    {"prim-log", "N", "Entries in the primary log. Default: 9."},
    {"sec-log", "SPAN:SIZE:USED:OLDEST",
     "Secondary-log ring of span 0 (quarter hour), 1 (day) or 2 (month), filled with "
     "generated entries (repeatable). Defaults: 0:96:96:37, 1:62:40:0, 2:24:5:0."},
    {"sec-check", "SPAN:RESULT", "Result of the secondary-log check for a span (repeatable)."},
    {"rssi", "DBM", "WiFi signal strength reported. Default: -58."},
    {"restart", "boot|app",
     "Software that answers after a power cycle: the running "
     "bootloader copy or the application. Default: boot."},
    {"reboot-after-swap", "MS", "Power cycle MS ms after a swap reply was acknowledged."},
    {"reboot-after-upload", "MS", "Power cycle MS ms after an application upload ended."},
    {"reboot-pause", "MS", "How long the port stays away in a power cycle. Default: 1500."},
    {"replug-after", "MS",
     "After --unplug-after, announce the port again after MS ms "
     "(same software). Default: never."},
    {"no-crc-check", nullptr, "Accept flashed blocks whatever their CRC16."},
    {"swap-not-taken", nullptr,
     "Fault: a swap is answered as done, but the old bootloader copy keeps running (also "
     "after a power cycle)."},
    {"keep-image", "TYPE",
     "Fault: images of partition type TYPE (1-4) are acknowledged block by block, but the "
     "unit keeps its old one."},
    {"crc-ko", "TYPE", "Fault: the partition table reports CRC16KO for partition type TYPE."},
    {"reply-latency", "MS", "Time from a request to its reply. Default: 1."},
    {"flash-out", "DIR",
     "Write what was flashed (flashed.txt, imageN_blockK.bin) and every "
     "violation (violations.txt) into DIR; refreshed at most every 100 ms and at exit."},
    {"seed", "N", "Seed of the fault dice. Default: 1."},
    {"stray-bytes", "RATE", "Fault: 1-3 noise bytes before a packet the unit sends."},
    {"corrupt-crc", "RATE", "Fault: a reply with a corrupted CRC."},
    {"lost-ack", "RATE", "Fault: the acknowledgement of a request is lost."},
    {"slow-reply", "RATE", "Fault: a reply comes --slow-delay ms late."},
    {"slow-delay", "MS", "Delay of a slow reply. Default: 1500."},
    {"debug-messages", "RATE", "Fault: a debug text and a debug number before a reply."},
    {"wrong-id", "RATE", "Fault: a reply with the next reply code instead of its own."},
    {"wrong-length", "RATE", "Fault: a reply one byte short."},
    {"unplug-after", "N",
     "Fault: answer N requests, then the cable is pulled (port file "
     "removed, pty closed)."},
    {"quiet", nullptr, "Do not log every request on stderr."},
};

bool fail(const QString& text, int& exit)
{
    std::fprintf(stderr, "ventaro-devsim: %s\nTry --help.\n", qPrintable(text));
    exit = 2;
    return false;
}

bool toInt(const QString& text, int lo, int hi, int& out)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok, 0);
    if (!ok || v < lo || v > hi)
        return false;
    out = int(v);
    return true;
}

bool toVersion(const QString& text, int mainMax, int subMax, UINT8& mainVer, UINT8& subVer)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    int m = 0;
    int s = 0;
    if (parts.size() != 2 || !toInt(parts[0], 0, mainMax, m) || !toInt(parts[1], 0, subMax, s))
        return false;
    mainVer = UINT8(m);
    subVer = UINT8(s);
    return true;
}

} // namespace

bool parseDevSimOptions(const QStringList& arguments, SDevSimOptions& o, int& exit)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kDescription));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    parser.addOption(help);
    for (const SOpt& opt : kOptions) {
        if (opt.value)
            parser.addOption(QCommandLineOption(QString::fromLatin1(opt.name),
                                                QString::fromUtf8(opt.help),
                                                QString::fromLatin1(opt.value)));
        else
            parser.addOption(
                QCommandLineOption(QString::fromLatin1(opt.name), QString::fromUtf8(opt.help)));
    }
    if (!parser.parse(arguments))
        return fail(parser.errorText(), exit);
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        exit = 0;
        return false;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(
            QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()),
            exit);

    auto value = [&](const char* name) { return parser.value(QString::fromLatin1(name)); };
    auto isSet = [&](const char* name) { return parser.isSet(QString::fromLatin1(name)); };
    auto intOpt = [&](const char* name, int lo, int hi, int& out) {
        if (!isSet(name))
            return true;
        if (toInt(value(name), lo, hi, out))
            return true;
        return fail(QStringLiteral("--%1 wants a number from %2 to %3, not \"%4\"")
                        .arg(QLatin1String(name))
                        .arg(lo)
                        .arg(hi)
                        .arg(value(name)),
                    exit);
    };
    auto faultOpt = [&](const char* name, SDevSimFault& fault) {
        if (!isSet(name) || SDevSimFault::parse(value(name), fault))
            return true;
        return fail(QStringLiteral("--%1 wants a probability (0.0-1.0) or a count, not \"%2\"")
                        .arg(QLatin1String(name), value(name)),
                    exit);
    };

    SDevSimIdentity& id = o.identity;
    SDevSimBehaviour& b = o.behaviour;
    if (isSet("name")) {
        o.name = value("name");
        if (o.name.isEmpty() || o.name.contains(QLatin1Char('/')))
            return fail(QStringLiteral("--name must be a plain file name"), exit);
    }
    o.portDir =
        isSet("port-dir")
            ? value("port-dir")
            : QProcessEnvironment::systemEnvironment().value(QStringLiteral("VENTARO_PORT_DIR"));
    if (o.portDir.isEmpty())
        return fail(QStringLiteral("no port folder: give --port-dir or set VENTARO_PORT_DIR"),
                    exit);
    o.flashOut = value("flash-out");
    o.quiet = isSet("quiet");

    if (isSet("model")) {
        const QString m = value("model").toLower();
        if (m == QLatin1String("100"))
            id.model = SDevSimIdentity::EModel100;
        else if (m == QLatin1String("plus") || m == QLatin1String("70"))
            id.model = SDevSimIdentity::EModelPlus;
        else
            return fail(QStringLiteral("--model is 100 or plus"), exit);
    }
    int n = 0;
    if (isSet("serial")) {
        bool ok = false;
        const qulonglong serial = value("serial").toULongLong(&ok, 0);
        if (!ok || serial > 0xFFFFFFFFull)
            return fail(QStringLiteral("--serial wants a 32-bit number"), exit);
        id.serial = UINT32(serial);
    }
    n = id.board;
    if (!intOpt("board", 0, 255, n))
        return false;
    id.board = UINT8(n);
    n = id.partner;
    if (!intOpt("partner", 0, 255, n))
        return false;
    id.partner = UINT8(n);
    id.partnerX = isSet("x-marker") ? 1 : 0;
    n = id.runningCopy;
    if (!intOpt("running-copy", 1, 2, n))
        return false;
    id.runningCopy = UINT8(n);
    if (isSet("boot-version") &&
        !toVersion(value("boot-version"), 255, 255, id.bootMain, id.bootSub))
        return fail(QStringLiteral("--boot-version wants MAIN.SUB"), exit);
    if (isSet("appl-version") &&
        !toVersion(value("appl-version"), 255, 255, id.applMain, id.applSub))
        return fail(QStringLiteral("--appl-version wants MAIN.SUB"), exit);
    if (isSet("wifi-version") &&
        !toVersion(value("wifi-version"), 31, 127, id.wifiMain, id.wifiSub))
        return fail(QStringLiteral("--wifi-version wants MAIN.SUB (0-31.0-127)"), exit);
    if (!intOpt("counters", 0, 255, id.counterCount))
        return false;

    for (const QString& c : parser.values(QStringLiteral("counter"))) {
        const QStringList kv = c.split(QLatin1Char('='));
        int cid = 0;
        bool ok = false;
        const qulonglong v = kv.size() == 2 ? kv[1].toULongLong(&ok, 0) : 0;
        if (kv.size() != 2 || !toInt(kv[0], 0, 254, cid) || !ok || v > 0xFFFFFFFFull)
            return fail(QStringLiteral("--counter wants ID=VALUE, not \"%1\"").arg(c), exit);
        o.counters << qMakePair(cid, quint32(v));
    }
    if (isSet("deicing")) {
        const QString d = value("deicing").toLower();
        if (d != QLatin1String("on") && d != QLatin1String("off"))
            return fail(QStringLiteral("--deicing is on or off"), exit);
        o.deicing = d == QLatin1String("on") ? 1 : 0;
    }
    if (!intOpt("prim-log", 0, 2000, o.primLogEntries))
        return false;
    for (const QString& s : parser.values(QStringLiteral("sec-log"))) {
        const QStringList f = s.split(QLatin1Char(':'));
        SDevSimOptions::SSecRing r;
        if (f.size() != 4 || !toInt(f[0], 0, 2, r.span) || !toInt(f[1], 0, 1000, r.size) ||
            !toInt(f[2], 0, r.size, r.used) || !toInt(f[3], 0, qMax(0, r.size - 1), r.oldest))
            return fail(QStringLiteral("--sec-log wants SPAN:SIZE:USED:OLDEST with USED <= SIZE "
                                       "and OLDEST < SIZE, not \"%1\"")
                            .arg(s),
                        exit);
        o.secRings << r;
    }
    for (const QString& s : parser.values(QStringLiteral("sec-check"))) {
        const QStringList f = s.split(QLatin1Char(':'));
        int span = 0;
        int result = 0;
        if (f.size() != 2 || !toInt(f[0], 0, 2, span) || !toInt(f[1], 0, 255, result))
            return fail(QStringLiteral("--sec-check wants SPAN:RESULT, not \"%1\"").arg(s), exit);
        o.secCheck << qMakePair(span, result);
    }
    if (isSet("rssi") && !intOpt("rssi", -128, 127, o.rssi))
        return false;

    if (isSet("restart")) {
        const QString r = value("restart").toLower();
        if (r == QLatin1String("boot"))
            b.restart = EDevSimRestart::Bootloader;
        else if (r == QLatin1String("app"))
            b.restart = EDevSimRestart::Application;
        else
            return fail(QStringLiteral("--restart is boot or app"), exit);
    }
    constexpr int kMaxMs = 24 * 3600 * 1000;
    if (!intOpt("reboot-after-swap", 0, kMaxMs, b.rebootAfterSwapMs) ||
        !intOpt("reboot-after-upload", 0, kMaxMs, b.rebootAfterUploadMs) ||
        !intOpt("reboot-pause", 0, kMaxMs, b.rebootPauseMs) ||
        !intOpt("replug-after", 0, kMaxMs, b.replugAfterMs) ||
        !intOpt("reply-latency", 0, 60000, b.replyLatencyMs))
        return false;
    b.checkBlockCrc = !isSet("no-crc-check");
    b.swapNotTaken = isSet("swap-not-taken");
    if (!intOpt("keep-image", 1, 4, b.keepImageType) || !intOpt("crc-ko", 1, 4, b.crcKoType))
        return false;

    if (isSet("seed")) {
        bool ok = false;
        const qulonglong seed = value("seed").toULongLong(&ok, 0);
        if (!ok || seed > 0xFFFFFFFFull)
            return fail(QStringLiteral("--seed wants a 32-bit number"), exit);
        o.seed = quint32(seed);
    }
    SDevSimFaults& f = o.faults;
    if (!faultOpt("stray-bytes", f.strayBytes) || !faultOpt("corrupt-crc", f.corruptCrc) ||
        !faultOpt("lost-ack", f.lostAck) || !faultOpt("slow-reply", f.slowReply) ||
        !faultOpt("debug-messages", f.debugMessage) || !faultOpt("wrong-id", f.wrongId) ||
        !faultOpt("wrong-length", f.wrongLength) ||
        !intOpt("slow-delay", 0, kMaxMs, f.slowDelayMs) ||
        !intOpt("unplug-after", 0, 1000000, f.unplugAfterPackets))
        return false;
    return true;
}
