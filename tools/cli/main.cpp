// appshuttle-cli: the apps on iOS devices from the command line, over the
// same app service, tasks and models as the program.

#include "CliCommands.h"
#include "CliConsole.h"
#include "CliOptions.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Standard output is the command's result alone (JSON for --json).
    CliConsole::takeStdout();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("appshuttle-cli"));
    CliOptions options;
    QString error;
    if (!CliOptions::parse(app.arguments().mid(1), &options, &error)) {
        std::fprintf(stderr, "appshuttle-cli: %s\n%s", error.toLocal8Bit().constData(),
                     CliOptions::usage().toLocal8Bit().constData());
        return CliCommands::Usage;
    }
    if (options.help) {
        CliConsole::outRaw(CliOptions::usage().toLocal8Bit());
        return 0;
    }
    return CliCommands(options).run();
}
