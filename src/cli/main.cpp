#include "cli/clicommandline.h"
#include "cli/clirunner.h"
#include "cli/descriptoroutput.h"
#include "service/exitcodes.h"

#include <QApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {
bool g_Verbose = false;

// Diagnostic lines and the toolkit's warnings only with --verbose: stdout belongs to the
// results, stderr to the messages for the user.
void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if ((type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg) && !g_Verbose)
        return;
    const QByteArray line = qFormatLogMessage(type, context, message).toLocal8Bit();
    std::fprintf(stderr, "%s\n", line.constData());
}
} // namespace

int main(int argc, char* argv[])
{
    qSetMessagePattern(QStringLiteral("%{file}:%{line} %{function} [%{category}] %{message}"));
    qInstallMessageHandler(messageHandler);
    // Only a chart picture needs the GUI classes (no window is shown, so no display either);
    // every other command, the station and its workers run without them. The arguments are
    // parsed with the application object in place (its help texts name the program).
    bool drawsChart = false;
    bool worker = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        drawsChart = drawsChart || arg == "--plot" || arg.startsWith("--plot=");
        worker = worker || arg == "--worker";
    }
    if (worker) {
        // A station's worker or probe, from its first moment (its coordinator starts it with
        // these ignored already): the stop signals are the coordinator's to handle (a service
        // manager sends them to every process of the station), and a coordinator gone (its
        // pipe broken) must not leave a unit half-written.
        std::signal(SIGTERM, SIG_IGN);
        std::signal(SIGINT, SIG_IGN);
        std::signal(SIGHUP, SIG_IGN);
        std::signal(SIGPIPE, SIG_IGN);
    }
    std::unique_ptr<QCoreApplication> app;
    if (drawsChart) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("ventaro-cli"));
    SCliOptions options;
    QString error;
    const bool parsed = parseCliArguments(QCoreApplication::arguments(), options, error);

    CDescriptorOutput outDevice(STDOUT_FILENO), errDevice(STDERR_FILENO);
    outDevice.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    errDevice.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    QTextStream out(&outDevice);
    QTextStream err(&errDevice);
    if (!parsed) {
        err << "ventaro-cli: " << error << "\nTry 'ventaro-cli --help'.\n";
        return cliexit::kUsage;
    }
    if (options.help) {
        out << options.helpText;
        return cliexit::kOk;
    }
    g_Verbose = options.verbose;
    const int code = runCli(options, out, err);
    out.flush();
    err.flush();
    return code;
}
