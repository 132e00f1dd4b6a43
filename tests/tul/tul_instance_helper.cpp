// A second program for the single-instance and command-line tests.
//   tul_instance_helper instance <id> [message]
//                                       prints "secondary" and ends with 0 when
//                                       <id> is taken (after sending the message,
//                                       if any); otherwise prints "primary", then
//                                       "message:<text>" for each message, until
//                                       killed, told "quit" (exit 0) or 60 s
//                                       pass (exit 2)
//   tul_instance_helper cmdline [args]  ends with 0 when the command line was
//                                       handled, 3 when not
#include "TulApplication.h"

#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char **argv)
{
    TulApplication app(QString(), argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "cmdline") == 0) {
        std::vector<char *> args{argv[0]};
        for (int i = 2; i < argc; ++i)
            args.push_back(argv[i]);
        return app.processCmdLine(int(args.size()), args.data()) ? 0 : 3;
    }
    if ((argc != 3 && argc != 4) || std::strcmp(argv[1], "instance") != 0)
        return 4;

    if (app.isRunning(QString::fromLocal8Bit(argv[2]))) {
        std::printf("secondary\n");
        if (argc == 4 && !app.sendMessage(QString::fromLocal8Bit(argv[3])))
            return 5;
        return 0;
    }
    QWidget window;
    app.setActivationWindow(&window, true);
    QObject::connect(&app, &TulApplication::messageReceived, [](const QString &message) {
        std::printf("message:%s\n", qPrintable(message));
        std::fflush(stdout);
        if (message == QLatin1String("quit"))
            QCoreApplication::exit(0);
    });
    QTimer::singleShot(60000, &app, [] { QCoreApplication::exit(2); });
    std::printf("primary\n");
    std::fflush(stdout);
    return app.exec();
}
