#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class WinPlatform;

// Finds the installed iTunes, its version, its music folder and the name of
// its automatic-import folder. Holds no state between calls: construct one
// where needed. Every lookup failure writes a diagnostic log entry and gives
// an empty result; nothing throws. Paths returned are local paths.
class ItunesInteract
{
public:
    static const QLatin1String kClassId;            // the iTunes automation server
    static const QLatin1String kDefaultAutoFolder;  // "Automatically Add to iTunes"

    // Works on the Wine prefix of the environment.
    ItunesInteract();
    // Works on `platform`, which must outlive this object.
    explicit ItunesInteract(const WinPlatform &platform);
    ~ItunesInteract();
    ItunesInteract(const ItunesInteract &) = delete;
    ItunesInteract &operator=(const ItunesInteract &) = delete;

    // "%d.%d.%d.%d" of the installed iTunes executable; empty when none.
    QString GetITunesVersionFromFile() const;
    bool IsITunesInstalled() const;
    // -1, 0 or 1: dotted parts compared as unsigned numbers from the left
    // (a part that is no number counts as 0); with equal common parts the
    // text with fewer parts is the smaller.
    static int CompareVersion(const QString &left, const QString &right);

    // The music folder named by iTunes' library file; empty on failure.
    QString GetMusicFolderPathEx() const;
    // The localized name of the folder iTunes imports from, read from
    // iTunes' own strings; kDefaultAutoFolder when it cannot be read.
    // Never empty, never a name that could leave the music folder.
    QString GetAutoDirectoryName() const;
    // The iTunes executable; empty when none is registered.
    QString GetITunesCmdPath() const;

    // The ".lproj" resource folder name for a Windows language id.
    static QString LanguageFolderName(quint16 languageId, bool forceEnglish);
    // The executable in a registry command or icon value:
    // "\"C:\\x\\iTunes.exe\" /a" and "C:\\x\\iTunes.exe,0" give "C:\\x\\iTunes.exe".
    static QString ExecutableFromCommand(const QString &command);

private:
    // Local paths of the existing executables the registry names: the
    // automation server's (when asked for) and the DefaultIcon one.
    QStringList executables(bool withClassId) const;
    quint16 itunesLanguage() const;
    QString stringsFilePath(const QString &executable, const QString &folderName) const;

    std::unique_ptr<WinPlatform> owned_;
    const WinPlatform &platform_;
};
