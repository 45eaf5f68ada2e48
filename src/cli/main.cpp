#include "cli/clicommandline.h"
#include "cli/cliexitcodes.h"
#include "cli/clirunner.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>

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
    // The uploads drive a progress bar widget; no window is ever shown, so no display is needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ventaro-cli"));

    QTextStream out(stdout);
    QTextStream err(stderr);
    SCliOptions options;
    QString error;
    if (!parseCliArguments(QCoreApplication::arguments(), options, error)) {
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
