#pragma once

#include <QByteArray>
#include <QString>

// Reads the two iTunes property-list texts that lead to the music folder:
// the preference file (iTunesPrefs.xml, or iTunes.pref before 7.0) naming
// the library description file, and that file naming the music folder.
// Both are untrusted; failures give an empty result and a log entry.
class ItunesPrefFiles
{
public:
    static constexpr qint64 kMaxPrefsSize = 16 * 1024 * 1024;
    // The music folder sits in the library file's header; a large library
    // is only searched this far.
    static constexpr qint64 kLibraryHeadSize = 8 * 1024 * 1024;
    static constexpr int kMaxPathLength = 32767;

    // The Windows path stored Base64-encoded as UTF-16 LE under
    // "iTunes Library XML Location:1".
    static QString libraryLocation(const QByteArray &prefsText);

    // The "Music Folder" string, XML entities and percent-escapes decoded and
    // a leading "file://localhost/" removed: a Windows path.
    static QString musicFolder(const QByteArray &libraryText);

    // Reads at most `limit` bytes of a file; empty (with a log entry) when
    // it cannot be read.
    static QByteArray readHead(const QString &path, qint64 limit);

private:
    static QByteArray elementAfterKey(const QByteArray &text, const QByteArray &key,
                                      const QByteArray &element);
    static QByteArray decodeEntities(const QByteArray &text);
};
