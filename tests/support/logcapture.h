#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Collects every Qt debug line written while it lives (nested captures are not supported).
// Set VENTARO_TEST_LOG=1 to see the lines on stderr as well.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const QStringList& lines() const { return m_Lines; }
    // Lines that contain `text`.
    int count(const QString& text) const;
    bool contains(const QString& text) const { return count(text) > 0; }
    // Lines that equal `text` exactly.
    int countExact(const QString& text) const;
    void clear() { m_Lines.clear(); }

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& msg);

    QStringList m_Lines;
    QtMessageHandler m_Previous = nullptr;
};
