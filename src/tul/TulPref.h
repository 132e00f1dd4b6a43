#pragma once

#include <QString>
#include <QVariant>
#include <memory>

class QSettings;

// The program's preference store: one INI file under the XDG config folder
// ($XDG_CONFIG_HOME/AppShuttle/<name>.conf), plus the fixed product table.
//
// instance() is the application's object; it opens the default file on first
// use, so values can be read before TulApplication::initCfg() ran. GUI thread
// only (QSettings itself is not shared across threads here).
class TulPref
{
public:
    static TulPref *instance();

    // Opens the store at filePath; nothing is written until setValue().
    explicit TulPref(const QString &filePath);
    ~TulPref();
    TulPref(const TulPref &) = delete;
    TulPref &operator=(const TulPref &) = delete;

    // Replaces the application's store with the one at filePath (flushing the old).
    static void openInstance(const QString &filePath);
    // <config home>/AppShuttle/<baseName>.conf; an empty baseName gives "appshuttle".
    static QString defaultFilePath(const QString &baseName = QString());

    QString filePath() const;

    // The stored value, converted to the type of defaultValue when one is given
    // (INI files keep everything as text); defaultValue when the key is absent
    // or the stored text does not convert.
    QVariant value(const QString &key, const QVariant &defaultValue = QVariant()) const;
    // Stores a value; flush writes the file at once, otherwise it is written at
    // the next sync(), at destruction, or when Qt decides. Empty keys are refused.
    bool setValue(const QString &key, const QVariant &value, bool flush = false);
    bool contains(const QString &key) const;
    void remove(const QString &key);
    // Writes pending values (nothing when there are none); false when the
    // file could not be written.
    bool sync();

    // Product table: fixed facts of this build ("SINGLETON_APP_ID",
    // "support_mac_app_store", "product_name", ...). Unknown keys give "".
    static QString productInfo(const QString &key);
    static QString product_name();
    static QString company_root_key();
    // The folder of the executable (the current folder when no application runs).
    static QString appDir();
    // Root of the skins: <appDir>/skins when present, else the built-in ":/skins".
    static QString skinDir();

    void setTanslucentWhenSkin(bool translucent);
    bool tanslucentWhenSkin() const;

private:
    std::unique_ptr<QSettings> settings;
    bool translucentWhenSkin = true;
    bool dirty = false;
};
