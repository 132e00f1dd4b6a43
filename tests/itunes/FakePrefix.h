#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A throw-away Wine prefix: registry files, a drive C: and files on it.
class FakePrefix
{
public:
    static constexpr const char *kExe = "C:\\Program Files\\iTunes\\iTunes.exe";

    FakePrefix();

    QString path() const { return dir_.path(); }
    // Local path of "C:\..." inside drive_c (no case folding).
    QString local(const QString &windowsPath) const;

    // The body goes below Wine's header; the keys are relative to the root.
    void setSystemReg(const QString &body);
    void setUserReg(const QString &body);
    void writeFile(const QString &windowsPath, const QByteArray &bytes);

    // iTunes.exe of `version` ("9.1.1.11") registered through the automation
    // server key (and always through DefaultIcon).
    void installItunes(const QString &version, bool withClassId = true);
    // Preference file naming a library file whose music folder is `musicUrl`.
    void writeLibrary(const QString &prefsName, const QString &musicUrl);
    static QByteArray utf16(const QString &text, bool bigEndian = false);

private:
    QTemporaryDir dir_;
    QString system_;
    QString user_;
};
