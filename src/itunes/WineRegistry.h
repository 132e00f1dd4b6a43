#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

// One of Wine's registry text files (system.reg, user.reg: "WINE REGISTRY
// Version 2"). Loading only indexes the key headers; a key's values are
// parsed when asked for. Key and value names match case-insensitively.
//
// The file is untrusted: it is size-capped, every value is length-capped,
// and a damaged line is skipped. Lookups never throw.
class WineRegistry
{
public:
    static constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;
    static constexpr int kMaxValueBytes = 1024 * 1024;

    struct Value
    {
        // Windows registry type numbers (REG_SZ = 1, REG_EXPAND_SZ = 2, ...).
        enum Type : quint32 {
            None = 0, String = 1, ExpandString = 2, Binary = 3, Dword = 4,
            Link = 6, MultiString = 7, Qword = 11
        };
        quint32 type = None;
        QString text;        // String, ExpandString, Link
        QStringList list;    // MultiString
        quint64 number = 0;  // Dword, Qword
        QByteArray bytes;    // the raw data of hex(...) values
    };

    // Reads and indexes a file; false (and an empty registry) when the file
    // is missing, too big or not a Wine registry file.
    bool load(const QString &path);
    // Indexes text already in memory; same result rules as load().
    bool loadData(const QByteArray &data);

    bool isEmpty() const { return index_.isEmpty(); }
    bool hasKey(const QString &key) const;
    // `name` empty means the default value "@". Symbolic-link keys on the
    // way (Wine's CurrentControlSet) are followed within this file.
    std::optional<Value> value(const QString &key, const QString &name) const;

    // Decodes Wine's string escapes (\\, \", \n, \x1234, \012, ...).
    static QString unescape(const QByteArray &raw);

private:
    std::optional<Value> valueInKey(const QString &foldedKey, const QString &foldedName) const;
    QString resolveLinks(const QString &foldedKey) const;

    QByteArray data_;
    QString linkPrefix_;                 // "\registry\machine\" or "\registry\user\<sid>\"
    QHash<QString, qsizetype> index_;    // folded key -> offset of its first value line
};
