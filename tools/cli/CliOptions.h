#pragma once

#include <QString>
#include <QStringList>

// The parsed command line of appshuttle-cli.
struct CliOptions
{
    QString deviceId;        // -d ID; empty: the only connected device
    QString command;         // devices, info, list, install, uninstall, export, export-itunes, docs
    QString docsAction;      // docs: ls, add, get, rm
    QString bundleId;        // docs: the app
    QStringList operands;    // files, bundle identifiers or document names
    QString toDir;           // --to DIR
    bool json = false;
    bool replace = false;
    bool withDocuments = false;
    bool help = false;
    // --wait SECONDS: how long a locked or not yet trusted device is given
    // to be unlocked and to trust this computer.
    int waitSeconds = 60;

    // False with a reason for a command line that does not fit.
    static bool parse(const QStringList &arguments, CliOptions *out, QString *error);
    static QString usage();
};
