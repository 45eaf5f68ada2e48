#pragma once

// A throw-away PostgreSQL server for a test: its own cluster in a temporary folder, on a free
// port of 127.0.0.1 (password login, scram) and a socket in that folder (no password, for the
// test's own set-up). As root the server's programs run as the postgres user, which the server
// insists on.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

namespace pgtest {

constexpr int kServerTimeoutMs = 60000;
const char* const kUser = "ventaro";
const char* const kPassword = "s3cret-test";
const char* const kDatabase = "factory";

inline QString binDir()
{
    for (const QString& version :
         QDir(QStringLiteral("/usr/lib/postgresql"))
             .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed)) {
        const QString dir = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(version);
        if (QFile::exists(dir + QStringLiteral("/initdb")))
            return dir;
    }
    return {};
}

class Cluster
{
public:
    Cluster()
    {
        m_Dir.setAutoRemove(true);
        if (::geteuid() == 0) {
            if (const passwd* pw = ::getpwnam("postgres")) {
                m_Uid = pw->pw_uid;
                m_Gid = pw->pw_gid;
            }
        }
    }
    ~Cluster()
    {
        if (m_Started)
            (void)pgCtl(
                {QStringLiteral("stop"), QStringLiteral("-m"), QStringLiteral("immediate")});
    }
    Cluster(const Cluster&) = delete;
    Cluster& operator=(const Cluster&) = delete;

    int port() const { return m_Port; }
    QString socketDir() const { return m_Dir.path(); }
    const QString& error() const { return m_Error; }
    QString log() const
    {
        QFile f(m_Dir.filePath(QStringLiteral("server.log")));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    // The URI the tool is given (the password comes from PGPASSWORD).
    QString uri(const QString& user = QLatin1String(kUser)) const
    {
        return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3")
            .arg(user)
            .arg(m_Port)
            .arg(QLatin1String(kDatabase));
    }

    // initdb, start, and a login role and database for the tool.
    bool create()
    {
        const QString bin = binDir();
        if (bin.isEmpty())
            return fail(QStringLiteral("no PostgreSQL server installed (scripts/deps.sh)"));
        if (!m_Dir.isValid())
            return fail(QStringLiteral("no temporary folder"));
        if (m_Uid != uid_t(-1) &&
            ::chown(QFile::encodeName(m_Dir.path()).constData(), m_Uid, m_Gid) != 0)
            return fail(QStringLiteral("cannot hand the folder to postgres"));
        m_Port = freePort();
        if (m_Port == 0)
            return fail(QStringLiteral("no free port"));
        if (!run(bin + QStringLiteral("/initdb"),
                 {QStringLiteral("-D"), dataDir(), QStringLiteral("-U"), QStringLiteral("postgres"),
                  QStringLiteral("--auth-local=trust"), QStringLiteral("--auth-host=scram-sha-256"),
                  QStringLiteral("--no-sync"), QStringLiteral("-E"), QStringLiteral("UTF8")}))
            return false;
        if (!start())
            return false;
        return psql(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2'")
                        .arg(QLatin1String(kUser), QLatin1String(kPassword)),
                    QStringLiteral("postgres")) &&
               psql(QStringLiteral("CREATE DATABASE %1 OWNER %2")
                        .arg(QLatin1String(kDatabase), QLatin1String(kUser)),
                    QStringLiteral("postgres"));
    }

    // Tests trade the server's own durability for speed; a benchmark keeps it.
    void setDurable(bool durable) { m_Durable = durable; }

    bool start()
    {
        m_Started = pgCtl({QStringLiteral("start"), QStringLiteral("-w"), QStringLiteral("-l"),
                           m_Dir.filePath(QStringLiteral("server.log")), QStringLiteral("-o"),
                           QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 %3")
                               .arg(m_Port)
                               .arg(m_Dir.path())
                               .arg(m_Durable ? QString()
                                              : QStringLiteral("-c fsync=off -c "
                                                               "synchronous_commit=off -c "
                                                               "full_page_writes=off"))});
        return m_Started;
    }
    bool stop()
    {
        const bool ok = pgCtl({QStringLiteral("stop"), QStringLiteral("-w"), QStringLiteral("-m"),
                               QStringLiteral("fast")});
        m_Started = !ok;
        return ok;
    }

    // Runs `sql` as the superuser over the socket; `output` gets psql's unaligned rows.
    bool psql(const QString& sql, const QString& database = QLatin1String(kDatabase),
              QString* output = nullptr)
    {
        QProcess p;
        p.start(QStringLiteral("psql"),
                {QStringLiteral("-X"), QStringLiteral("-A"), QStringLiteral("-t"),
                 QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"),
                 m_Dir.path(), QStringLiteral("-p"), QString::number(m_Port), QStringLiteral("-U"),
                 QStringLiteral("postgres"), QStringLiteral("-d"), database, QStringLiteral("-c"),
                 sql});
        if (!p.waitForFinished(kServerTimeoutMs) || p.exitCode() != 0)
            return fail(QStringLiteral("psql %1: %2")
                            .arg(sql, QString::fromUtf8(p.readAllStandardError())));
        if (output)
            *output = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        return true;
    }
    QString value(const QString& sql, const QString& database = QLatin1String(kDatabase))
    {
        QString out;
        return psql(sql, database, &out) ? out : QStringLiteral("<%1>").arg(m_Error);
    }

private:
    static int freePort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        int port = 0;
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port = ntohs(address.sin_port);
        if (fd >= 0)
            ::close(fd);
        return port;
    }
    QString dataDir() const { return m_Dir.filePath(QStringLiteral("data")); }

    bool fail(const QString& text)
    {
        m_Error = text;
        return false;
    }
    bool pgCtl(const QStringList& args)
    {
        return run(binDir() + QStringLiteral("/pg_ctl"),
                   QStringList{QStringLiteral("-D"), dataDir()} + args);
    }
    // As the postgres user when we are root.
    bool run(const QString& program, const QStringList& args)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        if (m_Uid != uid_t(-1))
            p.start(QStringLiteral("runuser"),
                    QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                QStringLiteral("--"), program} +
                        args);
        else
            p.start(program, args);
        if (!p.waitForFinished(kServerTimeoutMs) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0)
            return fail(QStringLiteral("%1 %2: %3\n%4")
                            .arg(program, args.join(QLatin1Char(' ')),
                                 QString::fromUtf8(p.readAll()), log()));
        return true;
    }

    QTemporaryDir m_Dir;
    uid_t m_Uid = uid_t(-1);
    gid_t m_Gid = gid_t(-1);
    int m_Port = 0;
    bool m_Started = false;
    bool m_Durable = false;
    QString m_Error;
};

} // namespace pgtest
