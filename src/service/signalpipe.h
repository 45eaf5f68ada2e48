#pragma once

#include <QList>
#include <QObject>

#include <memory>

class QSocketNotifier;

// Turns process signals into a Qt signal on the thread that made it: the handler only writes
// the signal's number to a pipe (async-signal-safe), the event loop reads it. Every signal is
// told once, never merged with the next. One per process; the handlers go back to the default
// when it is destroyed.
class CSignalPipe : public QObject
{
    Q_OBJECT

public:
    explicit CSignalPipe(const QList<int>& numbers, QObject* parent = nullptr);
    ~CSignalPipe() override;
    CSignalPipe(const CSignalPipe&) = delete;
    CSignalPipe& operator=(const CSignalPipe&) = delete;

    // False when the pipe could not be set up (the signals then act as before) or another
    // pipe of this kind exists.
    bool isInstalled() const { return m_Notifier != nullptr; }

Q_SIGNALS:
    void signalReceived(int number);

private:
    static void handler(int number);

    QList<int> m_Numbers;
    std::unique_ptr<QSocketNotifier> m_Notifier;
};
