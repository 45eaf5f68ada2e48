#include "ptyserver.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {
// Longest single wait of the loop, and the pause after a hang-up report of the master.
constexpr int kMaxPollMs = 500;
constexpr int kHangupPauseMs = 5;
// Least time between two refreshes of the --flash-out folder while an upload runs.
constexpr int kFlashOutIntervalMs = 100;
constexpr int kReadChunk = 4096;
// The de-icing setting lives in two persistent counters.
constexpr int kCounterDeiceSwitchOff = 39;
constexpr int kCounterDeiceExhaust = 40;

int g_SignalPipe[2] = {-1, -1};

void onSignal(int sig)
{
    const int saved = errno;
    const char c = char(sig);
    if (write(g_SignalPipe[1], &c, 1) < 0) {
        // Nothing to do: the pipe is full, a signal is pending anyway.
    }
    errno = saved;
}

bool installSignals()
{
    if (pipe2(g_SignalPipe, O_NONBLOCK | O_CLOEXEC) != 0)
        return false;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGUSR1})
        if (sigaction(sig, &sa, nullptr) != 0)
            return false;
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

bool writeAtomically(const QString& path, const QByteArray& content)
{
    const QString tmp = path + QStringLiteral(".tmp");
    QFile file(tmp);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool ok = file.write(content) == content.size();
    file.close();
    return ok && std::rename(QFile::encodeName(tmp).constData(),
                             QFile::encodeName(path).constData()) == 0;
}
} // namespace

CPtyServer::CPtyServer(const SDevSimOptions& options)
    : m_Options(options), m_Engine(options.identity, options.behaviour)
{
    m_Clock.start();
    CDevSimUnit& unit = m_Engine.unit();
    if (m_Options.primLogEntries >= 0)
        unit.fillPrimaryLog(m_Options.primLogEntries);
    for (const auto& r : m_Options.secRings)
        unit.fillSecRing(r.span, UINT16(r.size), UINT16(r.used), UINT16(r.oldest));
    for (const auto& c : m_Options.counters) {
        if (c.first < unit.counters().size())
            unit.counters()[c.first] = c.second;
        else
            log(QStringLiteral("--counter %1: the unit has only %2 counters; ignored")
                    .arg(c.first)
                    .arg(unit.counters().size()));
    }
    for (const auto& s : m_Options.secCheck)
        unit.setSecLogCheckResult(s.first, UINT8(s.second));
    if (m_Options.rssi >= -128 && m_Options.rssi <= 127)
        unit.rssi() = qint8(m_Options.rssi);
    if (m_Options.deicing >= 0 && unit.counters().size() > kCounterDeiceExhaust) {
        unit.counters()[kCounterDeiceSwitchOff] = m_Options.deicing ? 1 : 22;
        unit.counters()[kCounterDeiceExhaust] = m_Options.deicing ? 19 : 11;
    } else if (m_Options.deicing >= 0) {
        log(QStringLiteral("--deicing: the unit has no counters 39 and 40; ignored"));
    }
    m_Engine.setFaults(m_Options.faults, m_Options.seed);
    if (!m_Options.quiet)
        m_Engine.setLogger([this](const QString& line) { log(line); });
    if (!m_Options.flashOut.isEmpty())
        m_FlashOut = std::make_unique<CDevSimFlashOut>(m_Options.flashOut);
    m_PortFile = QDir(m_Options.portDir).filePath(m_Options.name + QStringLiteral(".port"));
}

CPtyServer::~CPtyServer()
{
    withdraw();
}

void CPtyServer::log(const QString& line) const
{
    std::fprintf(stderr, "ventaro-devsim[%s] %8lld ms: %s\n", qPrintable(m_Options.name),
                 static_cast<long long>(now()), qPrintable(line));
}

bool CPtyServer::announce()
{
    char path[256] = {};
    if (openpty(&m_Master, &m_Slave, path, nullptr, nullptr) != 0) {
        log(QStringLiteral("openpty failed: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    struct termios tio;
    if (tcgetattr(m_Master, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_Master, TCSANOW, &tio);
    }
    fcntl(m_Master, F_SETFL, fcntl(m_Master, F_GETFL) | O_NONBLOCK);
    fcntl(m_Master, F_SETFD, FD_CLOEXEC);
    fcntl(m_Slave, F_SETFD, FD_CLOEXEC);
    m_SlavePath = QString::fromLocal8Bit(path);
    m_HangupUntil = -1;
    m_Partial.clear();
    m_Due.clear();

    QDir().mkpath(m_Options.portDir);
    const QByteArray content =
        "port=" + QFile::encodeName(m_SlavePath) + "\nvid=0x0409\npid=0x01D9\n";
    if (!writeAtomically(m_PortFile, content)) {
        log(QStringLiteral("cannot write %1").arg(m_PortFile));
        return false;
    }
    log(QStringLiteral("announced %1 as %2").arg(m_SlavePath, m_PortFile));
    return true;
}

void CPtyServer::withdraw()
{
    if (m_Master < 0)
        return;
    QFile::remove(m_PortFile);
    ::close(m_Master);
    if (m_Slave >= 0)
        ::close(m_Slave);
    m_Master = -1;
    m_Slave = -1;
    m_Due.clear();
    m_Partial.clear();
    log(QStringLiteral("port %1 withdrawn").arg(m_SlavePath));
}

int CPtyServer::run()
{
    if (!installSignals()) {
        log(QStringLiteral("cannot install signal handlers"));
        return 1;
    }
    if (!announce())
        return 1;
    while (!m_Stop) {
        const qint64 t = now();
        pump(t);
        struct pollfd fds[2];
        int count = 0;
        fds[count++] = {g_SignalPipe[0], POLLIN, 0};
        const bool pollMaster = m_Master >= 0 && (m_HangupUntil < 0 || t >= m_HangupUntil);
        if (pollMaster)
            fds[count++] = {m_Master, POLLIN, 0};
        const int ready = poll(fds, nfds_t(count), pollTimeout(t));
        if (ready < 0 && errno != EINTR) {
            log(QStringLiteral("poll failed: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(errno))));
            break;
        }
        if (ready <= 0)
            continue;
        if (fds[0].revents & POLLIN)
            handleSignals(now());
        if (pollMaster && m_Master >= 0 && fds[1].revents) {
            if (fds[1].revents & POLLIN)
                readHost(now());
            else if (fds[1].revents & (POLLHUP | POLLERR))
                m_HangupUntil = now() + kHangupPauseMs; // nobody has the port open
        }
    }
    updateFlashOut(now(), true);
    withdraw();
    log(QStringLiteral("stopped"));
    return m_Failed ? 1 : 0;
}

void CPtyServer::pump(qint64 nowMs)
{
    m_Engine.advanceTo(nowMs);
    // Presence: a disappearance the loop did not see as such still means a new pty.
    if (m_Master >= 0 && (!m_Engine.present() || m_Engine.absences() != m_SeenAbsences))
        withdraw();
    m_SeenAbsences = m_Engine.absences();
    if (m_Master < 0 && m_Engine.present() && !announce()) {
        m_Failed = true;
        m_Stop = true;
    }

    for (auto& out : m_Engine.takeOutput()) {
        auto pos = std::upper_bound(m_Due.begin(), m_Due.end(), out.at,
                                    [](qint64 t, const SDevSimOutput& o) { return t < o.at; });
        m_Due.insert(pos, std::move(out));
    }
    writeDue(nowMs);
    updateFlashOut(nowMs, false);
}

void CPtyServer::writeDue(qint64 nowMs)
{
    if (m_Master < 0)
        return;
    while (!m_Partial.isEmpty() || (!m_Due.empty() && m_Due.front().at <= nowMs)) {
        if (m_Partial.isEmpty()) {
            m_Partial = m_Due.front().bytes;
            m_Due.pop_front();
        }
        const ssize_t n = ::write(m_Master, m_Partial.constData(), size_t(m_Partial.size()));
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR)
                return; // the pty is full; the rest goes out on a later turn
            log(QStringLiteral("write failed: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(errno))));
            m_Partial.clear();
            return;
        }
        m_Partial.remove(0, int(n));
    }
}

void CPtyServer::readHost(qint64 nowMs)
{
    char buf[kReadChunk];
    const ssize_t n = ::read(m_Master, buf, sizeof buf);
    if (n > 0) {
        m_Engine.hostBytes(reinterpret_cast<const UINT8*>(buf), int(n), nowMs);
        pump(nowMs);
    } else if (n < 0 && errno == EIO) {
        m_HangupUntil = nowMs + kHangupPauseMs; // nobody has the port open
    }
}

void CPtyServer::handleSignals(qint64 nowMs)
{
    char sigs[16];
    const ssize_t n = ::read(g_SignalPipe[0], sigs, sizeof sigs);
    for (ssize_t i = 0; i < n; ++i) {
        if (sigs[i] == SIGUSR1) {
            log(QStringLiteral("SIGUSR1: power cycle"));
            m_Engine.powerCycle(nowMs);
        } else {
            log(QStringLiteral("signal %1: stopping").arg(int(sigs[i])));
            m_Stop = true;
        }
    }
}

void CPtyServer::updateFlashOut(qint64 nowMs, bool force)
{
    if (!m_FlashOut)
        return;
    const int revision = m_Engine.unit().flash().revision();
    if (revision == m_FlashRevision && m_FlashWrittenAt >= 0)
        return;
    if (!force && m_FlashWrittenAt >= 0 && nowMs - m_FlashWrittenAt < kFlashOutIntervalMs)
        return;
    if (!m_FlashOut->write(m_Engine.unit().flash()))
        log(QStringLiteral("cannot write the flash record to %1").arg(m_Options.flashOut));
    m_FlashRevision = revision;
    m_FlashWrittenAt = nowMs;
}

int CPtyServer::pollTimeout(qint64 nowMs) const
{
    qint64 next = nowMs + kMaxPollMs;
    if (!m_Partial.isEmpty())
        next = nowMs + 1;
    if (!m_Due.empty())
        next = std::min(next, m_Due.front().at);
    const qint64 timer = m_Engine.nextTimerAt();
    if (timer >= 0)
        next = std::min(next, timer);
    if (m_FlashOut && m_Engine.unit().flash().revision() != m_FlashRevision)
        next = std::min(next, m_FlashWrittenAt + kFlashOutIntervalMs);
    if (m_HangupUntil >= 0 && m_Master >= 0)
        next = std::min(next, std::max(m_HangupUntil, nowMs + 1));
    return int(std::max<qint64>(0, next - nowMs));
}
