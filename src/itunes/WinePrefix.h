#pragma once

#include "WinePathMapper.h"
#include "WinPlatform.h"
#include "WineRegistry.h"

#include <optional>

// WinPlatform on a Wine prefix: the registry from its system.reg (HKLM) and
// user.reg (HKCU), HKEY_CLASSES_ROOT as HKCU\Software\Classes over
// HKLM\Software\Classes, Windows paths inside its drives, the application
// data folder of its user profile, and the language of the POSIX locale.
//
// The registry files are read on first use and kept for the object's
// lifetime; use one object from one thread at a time.
class WinePrefix : public WinPlatform
{
public:
    // $WINEPREFIX, else "~/.wine".
    static QString defaultPrefixDir();

    explicit WinePrefix(const QString &prefixDir = defaultPrefixDir());

    QVariant registryValue(RegistryRoot root, const QString &key,
                           const QString &name) const override;
    QString localPath(const QString &windowsPath) const override;
    QString fileVersion(const QString &localFile) const override;
    QString appDataFolder() const override;
    // From LC_ALL, LC_MESSAGES or LANG, the first one set.
    quint16 systemDefaultLanguageId() const override;
    QString homeFolder() const override;

    QString prefixDir() const { return prefix_; }

private:
    const WineRegistry &machine() const;
    const WineRegistry &user() const;
    std::optional<WineRegistry::Value> rawValue(RegistryRoot root, const QString &key,
                                                const QString &name) const;
    QVariant toVariant(const WineRegistry::Value &value, int depth) const;
    QString expand(const QString &text, int depth) const;
    QString environmentVariable(const QString &name, int depth) const;
    QString userName() const;

    QString prefix_;
    WinePathMapper paths_;
    mutable std::optional<WineRegistry> machine_;
    mutable std::optional<WineRegistry> user_;
};
