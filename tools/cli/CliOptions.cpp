#include "CliOptions.h"

namespace {

const QStringList kCommands{QStringLiteral("devices"), QStringLiteral("info"), QStringLiteral("list"),
                            QStringLiteral("install"), QStringLiteral("uninstall"), QStringLiteral("export"),
                            QStringLiteral("export-itunes"), QStringLiteral("docs")};
const QStringList kDocsActions{QStringLiteral("ls"), QStringLiteral("add"), QStringLiteral("get"), QStringLiteral("rm")};

// Which options each command (or docs action) accepts.
bool accepts(const CliOptions &o, const QString &option)
{
    const QString what = o.command == QLatin1String("docs") ? QStringLiteral("docs ") + o.docsAction : o.command;
    if (option == QLatin1String("--json"))
        return QStringList{QStringLiteral("devices"), QStringLiteral("info"), QStringLiteral("list"), QStringLiteral("docs ls")}.contains(what);
    if (option == QLatin1String("--replace"))
        return what == QLatin1String("install") || what == QLatin1String("docs add");
    if (option == QLatin1String("--to"))
        return what == QLatin1String("export") || what == QLatin1String("docs get");
    if (option == QLatin1String("--with-documents"))
        return what == QLatin1String("export");
    return false;
}

} // namespace

QString CliOptions::usage()
{
    return QStringLiteral(
        "usage: appshuttle-cli devices [--json]\n"
        "       appshuttle-cli [-d ID] info [--json]\n"
        "       appshuttle-cli [-d ID] list [--json]\n"
        "       appshuttle-cli [-d ID] install FILE... [--replace]\n"
        "       appshuttle-cli [-d ID] uninstall BUNDLE_ID...\n"
        "       appshuttle-cli [-d ID] export BUNDLE_ID... --to DIR [--with-documents]\n"
        "       appshuttle-cli [-d ID] export-itunes BUNDLE_ID...\n"
        "       appshuttle-cli [-d ID] docs BUNDLE_ID [ls [--json] | add FILE... [--replace]\n"
        "                                            | get NAME... --to DIR | rm NAME...]\n"
        "-d may be left out when exactly one device is connected.\n"
        "-- ends the options: every later argument is an operand (a file named -x).\n"
        "--wait SECONDS (any command): how long to wait for a locked device, or one that\n"
        "               does not trust this computer yet, to be unlocked and trusted (60).\n");
}

bool CliOptions::parse(const QStringList &arguments, CliOptions *out, QString *error)
{
    CliOptions o;
    QStringList words;
    QStringList options;
    bool optionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (optionsEnded) {
            words << arg;
        } else if (arg == QLatin1String("--")) {
            optionsEnded = true;   // a file or document may be called "-x"
        } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            o.help = true;
        } else if (arg == QLatin1String("-d") || arg == QLatin1String("--to")) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).isEmpty()) {
                *error = QStringLiteral("%1 needs a value").arg(arg);
                return false;
            }
            (arg == QLatin1String("-d") ? o.deviceId : o.toDir) = arguments.at(++i);
            if (arg == QLatin1String("--to"))
                options << arg;
        } else if (arg == QLatin1String("--wait")) {
            bool ok = false;
            const int seconds = i + 1 < arguments.size() ? arguments.at(i + 1).toInt(&ok) : -1;
            if (!ok || seconds < 0 || seconds > 3600) {
                *error = QStringLiteral("--wait needs a number of seconds from 0 to 3600");
                return false;
            }
            o.waitSeconds = seconds;
            ++i;
        } else if (arg == QLatin1String("--json") || arg == QLatin1String("--replace")
                   || arg == QLatin1String("--with-documents")) {
            options << arg;
            if (arg == QLatin1String("--json"))
                o.json = true;
            else if (arg == QLatin1String("--replace"))
                o.replace = true;
            else
                o.withDocuments = true;
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            *error = QStringLiteral("unknown option %1").arg(arg);
            return false;
        } else {
            words << arg;
        }
    }
    if (o.help) {
        *out = o;
        return true;
    }
    if (words.isEmpty()) {
        *error = QStringLiteral("no command given");
        return false;
    }
    o.command = words.takeFirst();
    if (!kCommands.contains(o.command)) {
        *error = QStringLiteral("unknown command %1").arg(o.command);
        return false;
    }
    if (o.command == QLatin1String("docs")) {
        if (words.isEmpty()) {
            *error = QStringLiteral("docs needs a bundle identifier");
            return false;
        }
        o.bundleId = words.takeFirst();
        o.docsAction = words.isEmpty() ? QStringLiteral("ls") : words.takeFirst();
        if (!kDocsActions.contains(o.docsAction)) {
            *error = QStringLiteral("unknown docs action %1").arg(o.docsAction);
            return false;
        }
    }
    o.operands = words;
    for (const QString &option : options) {
        if (!accepts(o, option)) {
            *error = QStringLiteral("%1 does not apply here").arg(option);
            return false;
        }
    }
    const QString what = o.command == QLatin1String("docs") ? QStringLiteral("docs ") + o.docsAction : o.command;
    const bool takesOperands = !QStringList{QStringLiteral("devices"), QStringLiteral("info"), QStringLiteral("list"),
                                            QStringLiteral("docs ls")}.contains(what);
    if (takesOperands && o.operands.isEmpty()) {
        *error = QStringLiteral("%1 needs at least one operand").arg(what);
        return false;
    }
    if (!takesOperands && !o.operands.isEmpty()) {
        *error = QStringLiteral("unexpected operand %1").arg(o.operands.first());
        return false;
    }
    if ((what == QLatin1String("export") || what == QLatin1String("docs get")) && o.toDir.isEmpty()) {
        *error = QStringLiteral("%1 needs --to DIR").arg(what);
        return false;
    }
    if (o.command == QLatin1String("devices") && !o.deviceId.isEmpty()) {
        *error = QStringLiteral("devices takes no -d");
        return false;
    }
    *out = o;
    return true;
}
