#include "app/commandline.h"
#include "locklefts.h"
#include "service/singleinstance.h"

#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSharedMemory>
#include <QUuid>
#include <QtTest>

#include <csignal>
#include <dlfcn.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A key file that lands on the inode of a removed one gets that file's key. ftok() is
// interposed so a test can make that happen for one key file.
QByteArray g_ReusedKeyFile;
key_t g_ReusedKey = -1;

// A process that takes the lock `key` and is killed holding it; true once it is.
bool killedHolderOf(const QString& key)
{
    const pid_t child = fork();
    if (child == 0) {
        auto* held = new QSharedMemory(key);
        if (!held->create(1))
            _exit(3);
        ::raise(SIGKILL);
        _exit(4);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFSIGNALED(status);
}

} // namespace

extern "C" key_t ftok(const char* path, int projectId)
{
    if (g_ReusedKey != -1 && g_ReusedKeyFile == path)
        return g_ReusedKey;
    using Ftok = key_t (*)(const char*, int);
    static const auto real = reinterpret_cast<Ftok>(::dlsym(RTLD_NEXT, "ftok"));
    return real(path, projectId);
}

class tst_AppEntry : public QObject
{
    Q_OBJECT

private slots:
    void options_data();
    void options();
    void liveInstanceIsRefused();
    void staleSegmentOfCrashedInstanceIsCleared();
    void segmentUnderReusedKey_data();
    void segmentUnderReusedKey();
    void segmentOfAnotherUsersEndedInstance();
};

void tst_AppEntry::options_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("flags"); // letters of the flags set: d m b a c o p
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("excluded");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("unrecognized");
    QTest::addColumn<bool>("excludedFound");

    QTest::addRow("none") << QStringList{} << ""
                          << ""
                          << ""
                          << ""
                          << "" << false;
    QTest::addRow("case and prefix") << QStringList{"-D", "/OWNER", "/m"} << "dmo"
                                     << ""
                                     << ""
                                     << ""
                                     << "" << false;
    QTest::addRow("all flags") << QStringList{"-d", "-m", "-fb", "-fa", "-fc", "-owner", "-ap"}
                               << "dmbacop"
                               << ""
                               << ""
                               << ""
                               << "" << false;
    QTest::addRow("double dash and name=value") << QStringList{"--d", "-d=1", "-m"} << "m"
                                                << ""
                                                << ""
                                                << ""
                                                << "--d -d=1 " << false;
    QTest::addRow("repeated flag") << QStringList{"-fb", "-fb"} << "b"
                                   << ""
                                   << ""
                                   << ""
                                   << "" << false;
    QTest::addRow("repeated value option") << QStringList{"-sn", "A", "-sn", "B"} << ""
                                           << ""
                                           << ""
                                           << "A"
                                           << "-sn B " << false;
    QTest::addRow("value as last argument") << QStringList{"-ap", "-ec"} << "p"
                                            << ""
                                            << ""
                                            << ""
                                            << "" << true;
    QTest::addRow("value taken as typed") << QStringList{"-EC", "Com7", "-l", "de_DE"} << ""
                                          << "de_DE"
                                          << "Com7"
                                          << ""
                                          << "" << true;
    QTest::addRow("value that looks like an option") << QStringList{"-l", "-d"} << "d"
                                                     << "-d"
                                                     << ""
                                                     << ""
                                                     << "" << false;
    QTest::addRow("no abbreviation") << QStringList{"-own", "-a", "x"} << ""
                                     << ""
                                     << ""
                                     << ""
                                     << "-own -a x " << false;
}

void tst_AppEntry::options()
{
    QFETCH(QStringList, args);
    QFETCH(QString, flags);
    QFETCH(QString, locale);
    QFETCH(QString, excluded);
    QFETCH(QString, serial);
    QFETCH(QString, unrecognized);
    QFETCH(bool, excludedFound);

    const SStartOptions o = SStartOptions::parse(QStringList{"/usr/bin/korvath-update"} + args);
    QString set;
    if (o.debug)
        set += 'd';
    if (o.manufacturing)
        set += 'm';
    if (o.forceBoot)
        set += 'b';
    if (o.forceAppl)
        set += 'a';
    if (o.fc)
        set += 'c';
    if (o.owner)
        set += 'o';
    if (o.automatic)
        set += 'p';
    QCOMPARE(set, flags);
    QCOMPARE(o.locale, locale);
    QCOMPARE(o.excludedPort, excluded);
    QCOMPARE(o.serialPreset, serial);
    QCOMPARE(o.unrecognized, unrecognized);
    QCOMPARE(o.excludedGiven, excludedFound);
}

void tst_AppEntry::liveInstanceIsRefused()
{
    const QString key = "ventaro-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    CSingleInstanceGuard first(key);
    QVERIFY(first.acquire());
    CSingleInstanceGuard second(key);
    QVERIFY(!second.acquire());
    // The sibling tool takes the lock with a plain create: refused as well.
    QSharedMemory sibling(key);
    QVERIFY(!sibling.create(1));
}

void tst_AppEntry::staleSegmentOfCrashedInstanceIsCleared()
{
    const QString key = "ventaro-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QVERIFY(killedHolderOf(key));
    // A plain create fails: the crashed holder left its segment behind.
    {
        QSharedMemory plain(key);
        QVERIFY(!plain.create(1));
    }
    {
        CSingleInstanceGuard guard(key);
        QVERIFY(guard.acquire());
    }
    locklefts::remove(key);
}

void tst_AppEntry::segmentUnderReusedKey_data()
{
    QTest::addColumn<QString>("holder");
    QTest::addColumn<bool>("taken");
    QTest::addRow("left behind by a process that ended") << "ended" << true;
    QTest::addRow("held by a live process") << "live" << false;
    // Stopped between making the segment and attaching to it, for longer than a creation
    // takes: it is still the lock's holder.
    QTest::addRow("made by a live process not attached yet") << "stopped" << false;
}

// A segment another process made under the key the next key file gives, with no key file of
// its own any more: abandoned it never refuses the lock, held it always does.
void tst_AppEntry::segmentUnderReusedKey()
{
    QFETCH(QString, holder);
    QFETCH(bool, taken);
    const QString key = "ventaro-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString keyFile = QSharedMemory(key).nativeKey();
    QVERIFY(!QFile::exists(keyFile));
    g_ReusedKeyFile = QFile::encodeName(keyFile);
    g_ReusedKey = key_t(0x5e000000 | QRandomGenerator::global()->bounded(0x1000000));
    auto makeSegment = [] {
        const int id = ::shmget(g_ReusedKey, 1, IPC_CREAT | IPC_EXCL | 0600);
        return id != -1 && ::shmat(id, nullptr, 0) != reinterpret_cast<void*>(-1) ? id : -1;
    };
    int heldId = -1;
    pid_t stopped = -1;
    const auto endStopped = qScopeGuard([&] {
        if (stopped > 0) {
            ::kill(stopped, SIGKILL);
            ::waitpid(stopped, nullptr, 0);
        }
    });
    if (holder == "live") {
        heldId = makeSegment();
        QVERIFY(heldId != -1);
    } else if (holder == "stopped") {
        stopped = fork();
        if (stopped == 0) {
            if (::shmget(g_ReusedKey, 1, IPC_CREAT | IPC_EXCL | 0600) == -1)
                _exit(3);
            ::raise(SIGSTOP);
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(stopped, &status, WUNTRACED), stopped);
        QVERIFY(WIFSTOPPED(status));
        QThread::msleep(5500); // longer than any creation takes
    } else {
        const pid_t child = fork();
        if (child == 0)
            _exit(makeSegment() != -1 ? 0 : 3); // exiting detaches
        int status = 0;
        waitpid(child, &status, 0);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    {
        CSingleInstanceGuard guard(key);
        QCOMPARE(guard.acquire(), taken);
    }
    if (stopped > 0) {
        ::kill(stopped, SIGKILL);
        ::waitpid(stopped, nullptr, 0);
        stopped = -1;
        heldId = ::shmget(g_ReusedKey, 0, 0);
    }
    if (heldId != -1)
        ::shmctl(heldId, IPC_RMID, nullptr); // removed once detached at exit
    g_ReusedKey = -1;
    locklefts::remove(key);
}

// A segment another user's instance left behind when it was killed: this user may neither read
// nor remove it, yet the lock is taken (through the lock file), and it still keeps a second
// instance out.
void tst_AppEntry::segmentOfAnotherUsersEndedInstance()
{
    if (::geteuid() != 0)
        QSKIP("needs root to be another user");
    const QString key = "ventaro-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QVERIFY(killedHolderOf(key));
    int status = 0;
    const pid_t other = fork();
    if (other == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            _exit(5);
        CSingleInstanceGuard first(key);
        CSingleInstanceGuard second(key);
        _exit(first.acquire() ? (second.acquire() ? 6 : 0) : 7);
    }
    waitpid(other, &status, 0);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    locklefts::remove(key);
}

QTEST_GUILESS_MAIN(tst_AppEntry)
#include "tst_appentry.moc"
