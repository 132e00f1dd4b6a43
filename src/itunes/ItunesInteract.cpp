#include "ItunesInteract.h"

#include "DiagLog.h"
#include "ItunesPrefFiles.h"
#include "ItunesStringsFile.h"
#include "WinePrefix.h"
#include "WindowsLanguage.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>

namespace {

using Root = WinPlatform::RegistryRoot;

const QLatin1String kItunesKey("SOFTWARE\\Apple Computer, Inc.\\iTunes");
const QLatin1String kAutoFolderKey("128.007");

// The name becomes a folder inside the music folder: nothing that could
// point elsewhere or that Windows would refuse.
bool isSafeFolderName(const QString &name)
{
    if (name.trimmed().isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 32 || QStringLiteral("<>:\"/\\|?*").contains(c))
            return false;
    }
    return true;
}

quint16 languageFrom(const QVariant &value)
{
    // The value is documented as 16 bits; a binary value is read as Windows
    // would read it into a WORD.
    if (value.typeId() == QMetaType::UInt || value.typeId() == QMetaType::ULongLong)
        return quint16(value.toULongLong() & 0xffff);
    if (value.typeId() == QMetaType::QByteArray && value.toByteArray().size() >= 2)
        return qFromLittleEndian<quint16>(value.toByteArray().constData());
    return 0;
}

} // namespace

const QLatin1String ItunesInteract::kClassId("{DC0C2640-1415-4644-875C-6F4D769839BA}");
const QLatin1String ItunesInteract::kDefaultAutoFolder("Automatically Add to iTunes");

ItunesInteract::ItunesInteract()
    : owned_(std::make_unique<WinePrefix>()), platform_(*owned_)
{
}

ItunesInteract::ItunesInteract(const WinPlatform &platform)
    : platform_(platform)
{
}

ItunesInteract::~ItunesInteract() = default;

QString ItunesInteract::ExecutableFromCommand(const QString &command)
{
    QString path = command.trimmed();
    if (path.startsWith(QLatin1Char('"'))) {
        const qsizetype close = path.indexOf(QLatin1Char('"'), 1);
        return path.mid(1, close < 0 ? -1 : close - 1).trimmed();
    }
    static const QRegularExpression iconIndex(QStringLiteral(",\\s*-?\\d+$"));
    path.remove(iconIndex);
    static const QRegularExpression arguments(QStringLiteral("\\.exe\\s.*$"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = arguments.match(path);
    if (m.hasMatch())
        path.truncate(m.capturedStart() + 4);
    return path.trimmed();
}

QStringList ItunesInteract::executables(bool withClassId) const
{
    QStringList keys;
    if (withClassId)
        keys << QStringLiteral("CLSID\\%1\\LocalServer32").arg(kClassId);
    keys << QStringLiteral("iTunes\\DefaultIcon");
    QStringList found;
    for (const QString &key : keys) {
        const QString command = platform_.registryValue(Root::ClassesRoot, key, QString()).toString();
        const QString windowsPath = ExecutableFromCommand(command);
        if (windowsPath.isEmpty())
            continue;
        const QString local = platform_.localPath(windowsPath);
        if (!local.isEmpty() && QFileInfo(local).isFile())
            found << local;
    }
    return found;
}

QString ItunesInteract::GetITunesVersionFromFile() const
{
    for (const QString &executable : executables(true)) {
        const QString version = platform_.fileVersion(executable);
        if (!version.isEmpty())
            return version;
    }
    DIAG_LOG("error!");
    return QString();
}

bool ItunesInteract::IsITunesInstalled() const
{
    return !GetITunesVersionFromFile().isEmpty();
}

int ItunesInteract::CompareVersion(const QString &left, const QString &right)
{
    const QStringList a = left.split(QLatin1Char('.'));
    const QStringList b = right.split(QLatin1Char('.'));
    for (qsizetype i = 0; i < qMin(a.size(), b.size()); ++i) {
        const qulonglong x = a.at(i).toULongLong();
        const qulonglong y = b.at(i).toULongLong();
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

QString ItunesInteract::GetMusicFolderPathEx() const
{
    const QString version = GetITunesVersionFromFile();
    const QString appData = version.isEmpty() ? QString() : platform_.appDataFolder();
    if (appData.isEmpty()) {
        DIAG_LOG("error!");
        return QString();
    }
    const QString prefsName = CompareVersion(version, QStringLiteral("7.0.0.0")) < 0
                                  ? QStringLiteral("iTunes.pref")
                                  : QStringLiteral("iTunesPrefs.xml");
    const QString prefsPath = appData + QStringLiteral("/Apple Computer/iTunes/") + prefsName;
    if (!QFileInfo(prefsPath).isFile()) {
        DIAG_LOG("error!");
        return QString();
    }
    const QString libraryWindowsPath = ItunesPrefFiles::libraryLocation(
        ItunesPrefFiles::readHead(prefsPath, ItunesPrefFiles::kMaxPrefsSize));
    const QString libraryPath =
        libraryWindowsPath.isEmpty() ? QString() : platform_.localPath(libraryWindowsPath);
    if (libraryPath.isEmpty()) {
        DIAG_LOG("error!");
        return QString();
    }
    const QString folderWindowsPath = ItunesPrefFiles::musicFolder(
        ItunesPrefFiles::readHead(libraryPath, ItunesPrefFiles::kLibraryHeadSize));
    const QString folder =
        folderWindowsPath.isEmpty() ? QString() : platform_.localPath(folderWindowsPath);
    if (folder.isEmpty()) {
        DIAG_LOG("error!");
        return QString();
    }
    return folder;
}

quint16 ItunesInteract::itunesLanguage() const
{
    quint16 language = languageFrom(
        platform_.registryValue(Root::CurrentUser, kItunesKey, QStringLiteral("LangID")));
    if (language == 0)
        language = languageFrom(platform_.registryValue(Root::LocalMachine, kItunesKey,
                                                        QStringLiteral("InstalledLangID")));
    if (language == 0)
        language = platform_.systemDefaultLanguageId();
    return language;
}

QString ItunesInteract::LanguageFolderName(quint16 languageId, bool forceEnglish)
{
    const QString code = forceEnglish ? QString() : WindowsLanguage::isoCode(languageId);
    if (code.isEmpty() || code == QLatin1String("en"))
        return !forceEnglish && languageId == 2057 ? QStringLiteral("en_GB") : QStringLiteral("en");
    if (code == QLatin1String("zh"))
        return languageId == 2052 ? QStringLiteral("zh_CN") : QStringLiteral("zh_TW");
    if (code == QLatin1String("nn") || code == QLatin1String("no"))
        return QStringLiteral("nb");
    if (code == QLatin1String("pt"))
        return languageId == 2070 ? QStringLiteral("pt_PT") : QStringLiteral("pt");
    return code;
}

QString ItunesInteract::stringsFilePath(const QString &executable, const QString &folderName) const
{
    const QString path = QFileInfo(executable).path() + QStringLiteral("/iTunes.Resources/")
                         + folderName + QStringLiteral(".lproj/Localizable.strings");
    return QFileInfo(path).isFile() ? path : QString();
}

QString ItunesInteract::GetAutoDirectoryName() const
{
    // The strings file is read where it lies; nothing is copied out of it.
    QString name;
    const QStringList found = executables(false);
    if (!found.isEmpty()) {
        const quint16 language = itunesLanguage();
        QString strings = stringsFilePath(found.first(), LanguageFolderName(language, false));
        if (strings.isEmpty())
            strings = stringsFilePath(found.first(), LanguageFolderName(language, true));
        if (!strings.isEmpty())
            name = ItunesStringsFile::value(
                ItunesPrefFiles::readHead(strings, ItunesStringsFile::kMaxFileSize + 1),
                kAutoFolderKey);
    }
    if (!isSafeFolderName(name)) {
        DIAG_LOG("error!");
        return kDefaultAutoFolder;
    }
    return name;
}

QString ItunesInteract::GetITunesCmdPath() const
{
    const QStringList found = executables(true);
    if (found.isEmpty()) {
        DIAG_LOG("error!");
        return QString();
    }
    return found.first();
}
