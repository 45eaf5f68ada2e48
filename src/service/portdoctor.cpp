#include "portdoctor.h"

#include "service/identityview.h"
#include "service/udevmonitor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

constexpr const char* kDialout = "dialout";
constexpr const char* kModemManager = "ModemManager";
constexpr const char* kMmIgnore = "ID_MM_DEVICE_IGNORE";

// What the rule must say, compared without blanks and letter case.
const char* const kRuleNeeds[] = {
    R"(ATTRS{idVendor}=="0409")", R"(ATTRS{idProduct}=="01d9")",     R"(TAG+="uaccess")",
    R"(GROUP="dialout")",         R"(ENV{ID_MM_DEVICE_IGNORE}="1")",
};

const char* const kRuleFix =
    "Install the korvath-update package (or copy its 60-ventaro.rules to /etc/udev/rules.d/), "
    "then run: sudo udevadm control --reload-rules && sudo udevadm trigger";

// The rule lines of a rules file: comment lines say nothing to udev.
QString ruleLines(const QString& text)
{
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (!line.trimmed().startsWith(QLatin1Char('#')))
            lines << line;
    return lines.join(QLatin1Char('\n'));
}

QString squeezed(const QString& text)
{
    QString out;
    for (const QChar c : text)
        if (!c.isSpace())
            out += c.toLower();
    return out;
}

QString groupName(uint gid)
{
    const group* g = ::getgrgid(gid);
    return g ? QString::fromLocal8Bit(g->gr_name) : QString::number(gid);
}

QString userName(uint uid)
{
    const passwd* p = ::getpwuid(uid);
    return p ? QString::fromLocal8Bit(p->pw_name) : QString::number(uid);
}

bool inDialout(const SDoctorInput& in)
{
    const group* g = ::getgrnam(kDialout);
    return g && in.groups.contains(uint(g->gr_gid));
}

SDoctorCheck check(const QString& id, SDoctorCheck::EStatus status, const QString& text,
                   const QString& fix = {})
{
    return {id, status, text, fix};
}

SDoctorCheck ruleCheck(const SDoctorInput& in)
{
    const QString id = QStringLiteral("udev-rule");
    for (const QString& dir : in.rulesDirs) {
        const QString path = QDir(dir).filePath(QLatin1String(portdoctor::kRuleName));
        QFile file(path);
        if (!file.exists())
            continue;
        // The first folder that has the file decides: udev ignores the others.
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return check(id, SDoctorCheck::EProblem, QStringLiteral("%1 cannot be read").arg(path),
                         QString::fromLatin1(kRuleFix));
        const QString rule = squeezed(ruleLines(QString::fromUtf8(file.read(64 * 1024))));
        QStringList missing;
        for (const char* need : kRuleNeeds)
            if (!rule.contains(squeezed(QLatin1String(need))))
                missing << QLatin1String(need);
        if (!missing.isEmpty())
            return check(id, SDoctorCheck::EProblem,
                         QStringLiteral("%1 does not say %2").arg(path, missing.join(", ")),
                         QString::fromLatin1(kRuleFix));
        return check(id, SDoctorCheck::EOk,
                     QStringLiteral("%1 gives access to ventaro units and keeps ModemManager "
                                    "away from them")
                         .arg(path));
    }
    return check(id, SDoctorCheck::EProblem,
                 QStringLiteral("no %1 in %2")
                     .arg(QLatin1String(portdoctor::kRuleName), in.rulesDirs.join(", ")),
                 QString::fromLatin1(kRuleFix));
}

SDoctorCheck discoveryCheck(const SDoctorInput& in)
{
    const QString id = QStringLiteral("discovery");
    if (in.udevRuns)
        return check(id, SDoctorCheck::EOk,
                     QStringLiteral("udev runs: a unit is noticed as soon as it is plugged in"));
    return check(id, SDoctorCheck::ENote,
                 QStringLiteral("udev is not running: the tools look for new ports every "
                                "second instead (containers and chroots run without it)"),
                 QStringLiteral("Nothing is needed; on a desktop start systemd-udevd."));
}

SDoctorCheck accessCheck(const SDoctorInput& in, const QString& port)
{
    const QString id = QStringLiteral("access:") + port;
    const QString node = portdoctor::nodePath(port);
    struct stat st = {};
    if (::stat(QFile::encodeName(node).constData(), &st) != 0)
        return check(id, SDoctorCheck::EProblem,
                     QStringLiteral("%1: the device node %2 is missing").arg(port, node),
                     QStringLiteral("Unplug the unit and plug it in again."));
    bool allowed = false;
    if (in.uid == 0) {
        allowed = true;
    } else if (in.uid == ::getuid()) {
        // access() also honours the ACL that udev's uaccess tag gives the user at the seat.
        allowed = ::access(QFile::encodeName(node).constData(), R_OK | W_OK) == 0;
    } else if (st.st_uid == in.uid) {
        allowed = (st.st_mode & (S_IRUSR | S_IWUSR)) == (S_IRUSR | S_IWUSR);
    } else if (in.groups.contains(uint(st.st_gid))) {
        allowed = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    } else {
        allowed = (st.st_mode & (S_IROTH | S_IWOTH)) == (S_IROTH | S_IWOTH);
    }
    const QString described = QStringLiteral("%1 (owner %2, group %3, mode %4)")
                                  .arg(node, userName(st.st_uid), groupName(st.st_gid))
                                  .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
    if (allowed)
        return check(
            id, SDoctorCheck::EOk,
            QStringLiteral("%1: %2 can read and write %3").arg(port, userName(in.uid), described));
    const bool dialout = inDialout(in);
    const QString who =
        QStringLiteral("%1 is %2 the %3 group and %4")
            .arg(userName(in.uid), dialout ? QStringLiteral("in") : QStringLiteral("not in"))
            .arg(QLatin1String(kDialout))
            .arg(in.hasSeat ? QStringLiteral("logged in at a seat")
                            : QStringLiteral("has no local seat"));
    const QString fix =
        dialout ? QStringLiteral("The node is not set up as the udev rule says (group dialout, "
                                 "mode 0660): install the rule, then plug the unit in again.")
                : QStringLiteral("Install the udev rule and plug the unit in again, or add "
                                 "yourself to the dialout group: sudo adduser $USER dialout, "
                                 "then log in again.");
    return check(id, SDoctorCheck::EProblem,
                 QStringLiteral("%1: %2 cannot be opened for reading and writing: %3")
                     .arg(port, described, who),
                 fix);
}

SDoctorCheck heldCheck(const SDoctorInput& in, const QString& port)
{
    const QString id = QStringLiteral("in-use:") + port;
    int unseen = 0;
    const QStringList by = portdoctor::holders(in, portdoctor::nodePath(port), &unseen);
    if (by.isEmpty() && unseen > 0)
        return check(id, SDoctorCheck::ENote,
                     QStringLiteral("%1: no program it could look at has it open; the open "
                                    "files of %2 processes (other users') could not be read")
                         .arg(port)
                         .arg(unseen),
                     QStringLiteral("Run ventaro-cli doctor as root to look at every program."));
    if (by.isEmpty())
        return check(id, SDoctorCheck::EOk,
                     QStringLiteral("%1: no other program has it open").arg(port));
    return check(id, SDoctorCheck::EProblem,
                 QStringLiteral("%1 is open in %2").arg(port, by.join(", ")),
                 QStringLiteral("Close that program. ModemManager keeps away from ventaro units "
                                "once the udev rule is installed and the unit plugged in "
                                "again."));
}

SDoctorCheck modemManagerCheck(const SDoctorInput& in, const QString& port)
{
    const QString id = QStringLiteral("modemmanager:") + port;
    if (!portdoctor::processRuns(in, QLatin1String(kModemManager)))
        return check(id, SDoctorCheck::EOk,
                     QStringLiteral("%1: ModemManager is not running").arg(port));
    const QString ignore =
        in.udevProperty ? in.udevProperty(port, QLatin1String(kMmIgnore)) : QString();
    if (ignore == QLatin1String("1"))
        return check(id, SDoctorCheck::EOk,
                     QStringLiteral("%1: ModemManager runs and ignores it").arg(port));
    return check(id, SDoctorCheck::EProblem,
                 QStringLiteral("%1: ModemManager runs and may probe it with AT commands, which "
                                "breaks identification and updates")
                     .arg(port),
                 QStringLiteral("Install the udev rule and plug the unit in again (or stop "
                                "ModemManager while servicing: sudo systemctl stop "
                                "ModemManager)."));
}

QStringList processIds(const SDoctorInput& in)
{
    QStringList pids;
    const QStringList entries = QDir(in.procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (numeric && pid != in.ownPid)
            pids << entry;
    }
    return pids;
}

QString processName(const SDoctorInput& in, const QString& pid)
{
    QFile comm(QDir(in.procRoot).filePath(pid + QStringLiteral("/comm")));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.read(256)).trimmed();
}

QString linkTarget(const QString& path)
{
    std::vector<char> buffer(4096);
    const ssize_t n =
        ::readlink(QFile::encodeName(path).constData(), buffer.data(), buffer.size() - 1);
    return n > 0 ? QFile::decodeName(QByteArray(buffer.data(), int(n))) : QString();
}

} // namespace

SDoctorInput SDoctorInput::system()
{
    SDoctorInput in;
    in.rulesDirs =
        QStringList{QStringLiteral("/etc/udev/rules.d"), QStringLiteral("/run/udev/rules.d"),
                    QStringLiteral("/usr/local/lib/udev/rules.d"),
                    QStringLiteral("/usr/lib/udev/rules.d"), QStringLiteral("/lib/udev/rules.d")};
    in.procRoot = QStringLiteral("/proc");
    in.ownPid = QCoreApplication::applicationPid();
    in.uid = ::getuid();
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> gids(size_t(count > 0 ? count : 0));
    if (count > 0 && ::getgroups(count, gids.data()) == count)
        for (const gid_t gid : gids)
            in.groups << uint(gid);
    in.groups << uint(::getgid());
    in.hasSeat = !qEnvironmentVariableIsEmpty("XDG_SEAT");
    in.udevRuns = CUdevMonitor::udevAvailable();
    for (const SPortInfo& port : CPortEnumerator::systemPorts())
        if (isDevicePort(port, QString()))
            in.ports << port;
    in.udevProperty = [](const QString& port, const QString& key) {
        return CUdevMonitor::portProperty(port, key);
    };
    return in;
}

namespace portdoctor {

QString nodePath(const QString& portName)
{
    return CPortEnumerator::nodePath(portName);
}

QList<SDoctorCheck> portChecks(const SDoctorInput& in, const QString& portName)
{
    return {accessCheck(in, portName), heldCheck(in, portName), modemManagerCheck(in, portName)};
}

QList<SDoctorCheck> runAll(const SDoctorInput& in)
{
    QList<SDoctorCheck> checks{ruleCheck(in), discoveryCheck(in)};
    if (in.ports.isEmpty())
        checks << check(QStringLiteral("ports"), SDoctorCheck::ENote,
                        QStringLiteral("no ventaro unit is plugged in: its port could not be "
                                       "checked"),
                        QStringLiteral("Plug the unit in and switch it on; ventaro-cli list "
                                       "shows every port the system has."));
    for (const SPortInfo& port : in.ports)
        checks << portChecks(in, port.portName);
    return checks;
}

bool anyProblem(const QList<SDoctorCheck>& checks)
{
    for (const SDoctorCheck& c : checks)
        if (c.status == SDoctorCheck::EProblem)
            return true;
    return false;
}

QStringList holders(const SDoctorInput& in, const QString& node, int* unreadable)
{
    // A name udev links to the node (/dev/ventaro0) shows in /proc as the node itself. One
    // level of links is all udev makes, and realpath() is avoided: umockdev's wrapper of it,
    // which the tests run under, overruns its buffer for /dev paths.
    const QFileInfo info(node);
    const QString canonical = info.isSymLink() ? info.symLinkTarget() : node;
    QStringList found;
    for (const QString& pid : processIds(in)) {
        const QDir fds(QDir(in.procRoot).filePath(pid + QStringLiteral("/fd")));
        // Processes of other users are not readable without root: they are counted, so that
        // nobody reads "no other program" where they could not be looked at.
        DIR* listing = ::opendir(QFile::encodeName(fds.path()).constData());
        if (!listing) {
            if (unreadable && errno != ENOENT)
                ++*unreadable;
            continue;
        }
        ::closedir(listing);
        const QStringList entries =
            fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& fd : entries) {
            const QString target = linkTarget(fds.filePath(fd));
            if (!target.isEmpty() && (target == node || target == canonical)) {
                found << QStringLiteral("%1 (pid %2)").arg(processName(in, pid), pid);
                break;
            }
        }
    }
    return found;
}

bool processRuns(const SDoctorInput& in, const QString& name)
{
    for (const QString& pid : processIds(in))
        if (processName(in, pid) == name)
            return true;
    return false;
}

} // namespace portdoctor
