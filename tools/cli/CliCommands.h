#pragma once

#include "CliOptions.h"

#include <QList>
#include <QString>
#include <QStringList>

class AppTask;
class CliSession;
class ZAppInfoItem;
class ZDocItemInfo;

// Runs one command line: finds the device, then lists or queues tasks
// through the same models and task controller as the apps page.
// Exit codes: 0 done, 1 a task or the input failed, 2 usage, 3 no such
// device (or several and no -d).
class CliCommands
{
public:
    enum Exit { Ok = 0, Failed = 1, Usage = 2, NoDevice = 3 };

    explicit CliCommands(const CliOptions &options) : m_o(options) {}
    int run();

private:
    int devices(const QStringList &ids);
    int info(CliSession &session);
    int list(CliSession &session);
    int install(CliSession &session);
    int uninstall(CliSession &session);
    int exportApps(CliSession &session, bool toItunes);
    int docs(CliSession &session);
    int docsList(CliSession &session, ZAppInfoItem *app);

    // The apps named by the operands, or an empty list after a message.
    QList<ZAppInfoItem *> appsNamed(CliSession &session, const QStringList &ids);
    QList<ZDocItemInfo *> docsNamed(CliSession &session, const QStringList &names);
    // Readable local files, and room for them on the device.
    bool checkFiles(const QString &deviceId, const QStringList &files);
    bool makeFolder(const QString &dir);

    CliOptions m_o;
};
