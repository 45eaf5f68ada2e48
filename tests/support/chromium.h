#pragma once

// A real headless Chromium, driven over its DevTools protocol: pages opened in it, script
// evaluated in them. For the tests and benchmarks of the station's web page.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWebSocket>

class CChromium
{
public:
    CChromium() = default;
    ~CChromium()
    {
        m_Socket.abort();
        if (m_Process.state() != QProcess::NotRunning) {
            m_Process.terminate();
            if (!m_Process.waitForFinished(5000)) {
                m_Process.kill();
                m_Process.waitForFinished(3000);
            }
        }
        // Its helper processes may still write into the profile for a moment.
        for (int i = 0; i < 20 && !QDir(m_Profile.path()).removeRecursively(); ++i)
            QThread::msleep(100);
    }
    CChromium(const CChromium&) = delete;
    CChromium& operator=(const CChromium&) = delete;

    static QString program()
    {
        for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
            const QString found = QStandardPaths::findExecutable(QLatin1String(name));
            if (!found.isEmpty())
                return found;
        }
        return {};
    }

    // Starts the browser with a profile of its own and connects to it; false with the reason.
    // `niceness` > 0 runs it at a lower priority (as if it ran on another machine).
    bool start(QString& error, const QStringList& extra = {}, int niceness = 0)
    {
        QString browser = program();
        if (browser.isEmpty()) {
            error = QStringLiteral("chromium not found (apt-get install chromium)");
            return false;
        }
        m_Process.setProcessChannelMode(QProcess::MergedChannels);
        m_Process.setStandardOutputFile(m_Profile.filePath(QStringLiteral("browser.log")));
        QStringList arguments;
        if (niceness > 0) {
            arguments = QStringList{QStringLiteral("-n"), QString::number(niceness), browser};
            browser = QStringLiteral("nice");
        }
        m_Process.start(browser,
                        arguments +
                            QStringList{"--headless", "--no-sandbox", "--disable-gpu",
                                        "--no-first-run", "--disable-background-networking",
                                        "--disable-component-update", "--disable-sync",
                                        "--disable-extensions", "--mute-audio",
                                        "--remote-debugging-port=0",
                                        "--user-data-dir=" + m_Profile.path(), "about:blank"} +
                            extra);
        if (!m_Process.waitForStarted(10000)) {
            error = QStringLiteral("chromium did not start: ") + m_Process.errorString();
            return false;
        }
        // The browser writes its port and its own address into the profile once it listens.
        QFile active(m_Profile.filePath(QStringLiteral("DevToolsActivePort")));
        QElapsedTimer clock;
        clock.start();
        QList<QByteArray> lines;
        while (clock.elapsed() < 30000) {
            if (active.open(QIODevice::ReadOnly)) {
                lines = active.readAll().split('\n');
                active.close();
                if (lines.size() >= 2 && !lines[1].isEmpty())
                    break;
            }
            QThread::msleep(50);
        }
        if (lines.size() < 2) {
            error = QStringLiteral("chromium did not open its DevTools port: ") + log();
            return false;
        }
        QObject::connect(&m_Socket, &QWebSocket::textMessageReceived, [this](const QString& t) {
            const QJsonObject message = QJsonDocument::fromJson(t.toUtf8()).object();
            if (message.contains(QStringLiteral("id")))
                m_Replies.insert(message.value(QStringLiteral("id")).toInt(), message);
        });
        m_Socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1%2")
                               .arg(QString::fromLatin1(lines[0].trimmed()),
                                    QString::fromLatin1(lines[1].trimmed()))));
        if (!waitUntil([this] { return m_Socket.state() == QAbstractSocket::ConnectedState; },
                       10000)) {
            error = QStringLiteral("no DevTools connection: ") + m_Socket.errorString();
            return false;
        }
        return true;
    }

    // A new page on `url`, in a window of its own (as a page on a screen is, not a tab behind
    // others); its session for evaluate(), empty on failure.
    QString open(const QString& url)
    {
        const QJsonObject target =
            call(QStringLiteral("Target.createTarget"),
                 {{QStringLiteral("url"), url}, {QStringLiteral("newWindow"), true}});
        const QString id = target.value(QStringLiteral("targetId")).toString();
        if (id.isEmpty())
            return {};
        const QJsonObject attached =
            call(QStringLiteral("Target.attachToTarget"),
                 {{QStringLiteral("targetId"), id}, {QStringLiteral("flatten"), true}});
        const QString session = attached.value(QStringLiteral("sessionId")).toString();
        m_Targets.insert(session, id);
        return session;
    }

    // Closes the page of `session`.
    void close(const QString& session)
    {
        call(QStringLiteral("Target.closeTarget"),
             {{QStringLiteral("targetId"), m_Targets.take(session)}});
    }

    // The value of `expression` in the page (JSON-able), undefined on an error.
    QJsonValue evaluate(const QString& session, const QString& expression, int timeoutMs = 10000)
    {
        const QJsonObject result = call(
            QStringLiteral("Runtime.evaluate"),
            {{QStringLiteral("expression"), expression}, {QStringLiteral("returnByValue"), true}},
            session, timeoutMs);
        if (result.contains(QStringLiteral("exceptionDetails")))
            return QJsonValue(QJsonValue::Undefined);
        return result.value(QStringLiteral("result")).toObject().value(QStringLiteral("value"));
    }

    // Until `expression` is true in the page.
    bool waitFor(const QString& session, const QString& expression, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            if (evaluate(session, expression).toBool())
                return true;
            pause(100);
        }
        return false;
    }

    QJsonObject call(const QString& method, const QJsonObject& params,
                     const QString& session = QString(), int timeoutMs = 10000)
    {
        const int id = ++m_NextId;
        QJsonObject message = {{QStringLiteral("id"), id},
                               {QStringLiteral("method"), method},
                               {QStringLiteral("params"), params}};
        if (!session.isEmpty())
            message.insert(QStringLiteral("sessionId"), session);
        m_Socket.sendTextMessage(
            QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
        if (!waitUntil([&] { return m_Replies.contains(id); }, timeoutMs))
            return {};
        return m_Replies.take(id).value(QStringLiteral("result")).toObject();
    }

    QString log() const
    {
        QFile file(m_Profile.filePath(QStringLiteral("browser.log")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll().right(2000))
                                              : QString();
    }

    // Handles events (the DevTools replies among them) for `ms`.
    static void pause(int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

private:
    template <typename F>
    static bool waitUntil(F done, int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > ms)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents,
                                            20);
        }
        return true;
    }

    QTemporaryDir m_Profile;
    QProcess m_Process;
    QWebSocket m_Socket;
    QHash<int, QJsonObject> m_Replies;
    QHash<QString, QString> m_Targets; // session -> target
    int m_NextId = 0;
};
