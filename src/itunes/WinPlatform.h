#pragma once

#include <QString>
#include <QVariant>

// The few Windows facilities the iTunes lookups need. Implementations never
// throw; a missing value is an invalid QVariant or an empty string.
class WinPlatform
{
public:
    enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine };

    virtual ~WinPlatform();

    // The value `name` of `key` ("Software\\Vendor\\Product", any case);
    // an empty name is the key's default value. String kinds come back as
    // QString (expandable ones already expanded), DWORD as quint32, QWORD as
    // quint64, multi-strings as QStringList, anything else as QByteArray.
    virtual QVariant registryValue(RegistryRoot root, const QString &key,
                                   const QString &name) const = 0;

    // Where a Windows path ("C:\\Program Files\\...", also one starting with
    // an environment variable) lives on this machine; empty when it cannot be
    // mapped.
    virtual QString localPath(const QString &windowsPath) const = 0;

    // The fixed file version of a local executable as "%d.%d.%d.%d";
    // empty when the file has none.
    virtual QString fileVersion(const QString &localFile) const = 0;

    // The user's roaming application-data folder as a local path, empty
    // when there is none.
    virtual QString appDataFolder() const = 0;

    // The system's default Windows language id (0x0409 for US English).
    virtual quint16 systemDefaultLanguageId() const = 0;

    virtual QString homeFolder() const = 0;
};
