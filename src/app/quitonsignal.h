#pragma once

#include <QObject>

class CSignalPipe;

// Ends the event loop (exit code 0) on SIGINT or SIGTERM, so that Ctrl+C in the console or a
// supervisor's stop closes the window the ordinary way. The quit happens on the GUI thread.
class CQuitOnSignal : public QObject
{
    Q_OBJECT

public:
    explicit CQuitOnSignal(QObject* parent = nullptr);
    ~CQuitOnSignal() override;

    // False when the pipe or the handlers could not be set up (the signals then end the
    // process as before).
    bool isInstalled() const;

private:
    CSignalPipe* m_Pipe = nullptr;
};
