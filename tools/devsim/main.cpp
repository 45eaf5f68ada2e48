// ventaro-devsim: a simulated ventaro unit on a pseudo-terminal. See --help.

#include "process/devsimoptions.h"
#include "process/ptyserver.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ventaro-devsim"));
    SDevSimOptions options;
    int exitCode = 0;
    if (!parseDevSimOptions(QCoreApplication::arguments(), options, exitCode))
        return exitCode;
    CPtyServer server(options);
    return server.run();
}
