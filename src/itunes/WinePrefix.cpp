#include "WinePrefix.h"

#include "DiagLog.h"
#include "PeVersionReader.h"
#include "WindowsLanguage.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

constexpr int kMaxExpandDepth = 4;
const QLatin1String kSoftware("software\\");
const QLatin1String kWow64("Wow6432Node\\");
const QLatin1String kClasses("Software\\Classes\\");
const QLatin1String kCurrentVersion("Software\\Microsoft\\Windows\\CurrentVersion");
const QLatin1String kShellFolders(
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
const QLatin1String kUserShellFolders(
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders");
const QLatin1String kSystemEnvironment(
    "System\\CurrentControlSet\\Control\\Session Manager\\Environment");

bool isDir(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

} // namespace

QString WinePrefix::defaultPrefixDir()
{
    const QString fromEnv = qEnvironmentVariable("WINEPREFIX");
    return fromEnv.isEmpty() ? QDir::homePath() + QStringLiteral("/.wine") : fromEnv;
}

WinePrefix::WinePrefix(const QString &prefixDir)
    : prefix_(prefixDir), paths_(prefixDir)
{
}

const WineRegistry &WinePrefix::machine() const
{
    if (!machine_) {
        machine_.emplace();
        machine_->load(prefix_ + QStringLiteral("/system.reg"));
    }
    return *machine_;
}

const WineRegistry &WinePrefix::user() const
{
    if (!user_) {
        user_.emplace();
        user_->load(prefix_ + QStringLiteral("/user.reg"));
    }
    return *user_;
}

std::optional<WineRegistry::Value> WinePrefix::rawValue(RegistryRoot root, const QString &key,
                                                        const QString &name) const
{
    // A 32-bit iTunes on a 64-bit prefix keeps its machine keys and classes
    // in the Wow6432Node views; try them after the native ones.
    switch (root) {
    case RegistryRoot::CurrentUser:
        return user().value(key, name);
    case RegistryRoot::LocalMachine: {
        auto v = machine().value(key, name);
        if (!v && key.startsWith(kSoftware, Qt::CaseInsensitive))
            v = machine().value(key.left(kSoftware.size()) + kWow64 + key.mid(kSoftware.size()),
                                name);
        return v;
    }
    case RegistryRoot::ClassesRoot: {
        auto v = user().value(kClasses + key, name);
        if (!v)
            v = machine().value(kClasses + key, name);
        if (!v)
            v = machine().value(kClasses + kWow64 + key, name);
        return v;
    }
    }
    return std::nullopt;
}

QVariant WinePrefix::registryValue(RegistryRoot root, const QString &key,
                                   const QString &name) const
{
    const auto v = rawValue(root, key, name);
    return v ? toVariant(*v, 0) : QVariant();
}

QVariant WinePrefix::toVariant(const WineRegistry::Value &value, int depth) const
{
    using V = WineRegistry::Value;
    switch (value.type) {
    case V::String:
    case V::Link:
        return value.text;
    case V::ExpandString:
        return expand(value.text, depth);
    case V::MultiString:
        return value.list;
    case V::Dword:
        return quint32(value.number);
    case V::Qword:
        return quint64(value.number);
    default:
        return value.bytes;
    }
}

QString WinePrefix::expand(const QString &text, int depth) const
{
    // Unknown variables stay as written, as ExpandEnvironmentStrings leaves them.
    QString out;
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype open = text.indexOf(QLatin1Char('%'), pos);
        const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char('%'), open + 1);
        if (close < 0) {
            out += text.mid(pos);
            break;
        }
        out += text.mid(pos, open - pos);
        const QString value = environmentVariable(text.mid(open + 1, close - open - 1), depth);
        if (value.isEmpty()) {
            out += text.mid(open, close - open);
            pos = close;
        } else {
            out += value;
            pos = close + 1;
        }
        if (out.size() > WinePathMapper::kMaxPathLength)
            return out.left(WinePathMapper::kMaxPathLength);
    }
    return out;
}

QString WinePrefix::environmentVariable(const QString &name, int depth) const
{
    if (name.isEmpty() || depth >= kMaxExpandDepth)
        return QString();
    for (const auto &[root, key] : {std::pair(RegistryRoot::CurrentUser, QString(QStringLiteral("Environment"))),
                                    std::pair(RegistryRoot::LocalMachine, QString(kSystemEnvironment))}) {
        const auto v = rawValue(root, key, name);
        if (v && (v->type == WineRegistry::Value::String
                  || v->type == WineRegistry::Value::ExpandString))
            return toVariant(*v, depth + 1).toString();
    }

    // What Wine derives at process start rather than storing as variables.
    const QString folded = name.toCaseFolded();
    auto machineText = [&](const char *value, const char *fallback) {
        const auto v = rawValue(RegistryRoot::LocalMachine, kCurrentVersion, QLatin1String(value));
        return v && !v->text.isEmpty() ? v->text : QString::fromLatin1(fallback);
    };
    if (folded == QLatin1String("programfiles"))
        return machineText("ProgramFilesDir", "C:\\Program Files");
    if (folded == QLatin1String("programfiles(x86)"))
        return machineText("ProgramFilesDir (x86)", "C:\\Program Files (x86)");
    if (folded == QLatin1String("commonprogramfiles"))
        return machineText("CommonFilesDir", "C:\\Program Files\\Common Files");
    if (folded == QLatin1String("systemroot") || folded == QLatin1String("windir"))
        return QStringLiteral("C:\\windows");
    if (folded == QLatin1String("systemdrive"))
        return QStringLiteral("C:");
    if (folded == QLatin1String("programdata") || folded == QLatin1String("allusersprofile"))
        return QStringLiteral("C:\\ProgramData");
    if (folded == QLatin1String("userprofile"))
        return QStringLiteral("C:\\users\\") + userName();
    if (folded == QLatin1String("appdata")) {
        const auto v = rawValue(RegistryRoot::CurrentUser, kShellFolders, QStringLiteral("AppData"));
        return v ? v->text : QString();
    }
    return QString();
}

QString WinePrefix::userName() const
{
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QDir::home().dirName() : user;
}

QString WinePrefix::localPath(const QString &windowsPath) const
{
    // Installers also store "%ProgramFiles%\..." in plain string values.
    return paths_.localPath(windowsPath.startsWith(QLatin1Char('%')) ? expand(windowsPath, 0)
                                                                     : windowsPath);
}

QString WinePrefix::fileVersion(const QString &localFile) const
{
    return PeVersionReader::fileVersion(localFile);
}

QString WinePrefix::appDataFolder() const
{
    // The shell-folder values Wine keeps for SHGetFolderPath, then the
    // profile folders themselves in the current and the older layout.
    for (const QString &key : {QString(kShellFolders), QString(kUserShellFolders)}) {
        const QString windowsPath =
            registryValue(RegistryRoot::CurrentUser, key, QStringLiteral("AppData")).toString();
        if (!windowsPath.isEmpty() && isDir(localPath(windowsPath)))
            return localPath(windowsPath);
    }
    QStringList users{userName()};
    const QString usersDir = localPath(QStringLiteral("C:\\users"));
    if (isDir(usersDir)) {
        for (const QString &entry : QDir(usersDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot,
                                                             QDir::Name)) {
            if (entry.compare(QLatin1String("Public"), Qt::CaseInsensitive) != 0)
                users.append(entry);
        }
    }
    for (const QString &name : users) {
        for (const char *layout : {"AppData\\Roaming", "Application Data"}) {
            const QString local =
                localPath(QStringLiteral("C:\\users\\%1\\%2").arg(name, QLatin1String(layout)));
            if (isDir(local))
                return local;
        }
    }
    DIAG_LOG(QStringLiteral("no application data folder in %1").arg(prefix_)
                 .toLocal8Bit().constData());
    return QString();
}

quint16 WinePrefix::systemDefaultLanguageId() const
{
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString locale = qEnvironmentVariable(variable);
        if (!locale.isEmpty())
            return WindowsLanguage::idForLocale(locale);
    }
    return WindowsLanguage::kUsEnglish;
}

QString WinePrefix::homeFolder() const
{
    return QDir::homePath();
}
