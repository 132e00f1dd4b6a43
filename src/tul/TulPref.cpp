#include "TulPref.h"

#include "DiagLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

std::unique_ptr<TulPref> &appPref()
{
    static std::unique_ptr<TulPref> pref;
    return pref;
}

struct ProductEntry
{
    const char *key;
    const char *value;
};

// Fixed at build time; the program never writes it.
constexpr ProductEntry kProductTable[] = {
    {"SINGLETON_APP_ID", "appshuttle"},
    {"support_mac_app_store", "false"},
    {"product_name", "AppShuttle"},
    {"company_root_key", "appshuttle.org"},
    {"config_folder", "AppShuttle"},
    {"default_skin", "default"},
};

} // namespace

TulPref *TulPref::instance()
{
    std::unique_ptr<TulPref> &pref = appPref();
    if (!pref)
        pref = std::make_unique<TulPref>(defaultFilePath());
    return pref.get();
}

void TulPref::openInstance(const QString &filePath)
{
    std::unique_ptr<TulPref> &pref = appPref();
    const bool translucent = pref ? pref->translucentWhenSkin : true;
    pref = std::make_unique<TulPref>(filePath);  // the old store flushes in its destructor
    pref->translucentWhenSkin = translucent;
}

QString TulPref::defaultFilePath(const QString &baseName)
{
    // GenericConfigLocation follows $XDG_CONFIG_HOME, else ~/.config.
    QString home = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (home.isEmpty())
        home = QDir::homePath() + QStringLiteral("/.config");
    const QString name = baseName.isEmpty() ? QStringLiteral("appshuttle") : baseName;
    return home + QLatin1Char('/') + productInfo(QStringLiteral("config_folder"))
        + QLatin1Char('/') + name + QStringLiteral(".conf");
}

TulPref::TulPref(const QString &filePath)
    : settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
}

TulPref::~TulPref()
{
    sync();
}

QString TulPref::filePath() const
{
    return settings->fileName();
}

QVariant TulPref::value(const QString &key, const QVariant &defaultValue) const
{
    if (key.isEmpty() || !settings->contains(key))
        return defaultValue;
    QVariant stored = settings->value(key);
    if (!defaultValue.isValid() || stored.metaType() == defaultValue.metaType())
        return stored;
    // Text such as "yes" for a bool would convert to false silently; only
    // accept the conversions that round-trip what setValue wrote.
    const QString text = stored.toString();
    switch (defaultValue.metaType().id()) {
    case QMetaType::Bool:
        if (text == QLatin1String("true") || text == QLatin1String("false"))
            return QVariant(text == QLatin1String("true"));
        return defaultValue;
    case QMetaType::Int: {
        bool ok = false;
        const int n = text.toInt(&ok);
        return ok ? QVariant(n) : defaultValue;
    }
    case QMetaType::LongLong: {
        bool ok = false;
        const qlonglong n = text.toLongLong(&ok);
        return ok ? QVariant(n) : defaultValue;
    }
    case QMetaType::QString:
        // An unquoted "a,b" written by hand reads back as a list.
        if (stored.metaType() == QMetaType::fromType<QStringList>())
            return QVariant(stored.toStringList().join(QLatin1Char(',')));
        return QVariant(text);
    default:
        if (stored.convert(defaultValue.metaType()))
            return stored;
        return defaultValue;
    }
}

bool TulPref::setValue(const QString &key, const QVariant &value, bool flush)
{
    if (key.isEmpty()) {
        DIAG_LOG("empty preference key");
        return false;
    }
    settings->setValue(key, value);
    dirty = true;
    return flush ? sync() : true;
}

bool TulPref::contains(const QString &key) const
{
    return !key.isEmpty() && settings->contains(key);
}

void TulPref::remove(const QString &key)
{
    if (key.isEmpty())
        return;
    settings->remove(key);
    dirty = true;
}

bool TulPref::sync()
{
    // A store only read from must not create folders (its home may be gone).
    if (!dirty)
        return true;
    // QSettings creates missing folders itself, but reports nothing useful
    // when that fails; make the folder first so the error is ours to log.
    const QString folder = QFileInfo(settings->fileName()).absolutePath();
    if (!QDir().mkpath(folder)) {
        DIAG_LOG(qPrintable(QStringLiteral("cannot create ") + folder));
        return false;
    }
    settings->sync();
    if (settings->status() != QSettings::NoError) {
        DIAG_LOG(qPrintable(QStringLiteral("cannot write ") + settings->fileName()));
        return false;
    }
    dirty = false;
    return true;
}

QString TulPref::productInfo(const QString &key)
{
    for (const ProductEntry &entry : kProductTable) {
        if (key == QLatin1String(entry.key))
            return QString::fromLatin1(entry.value);
    }
    return QString();
}

QString TulPref::product_name()
{
    return productInfo(QStringLiteral("product_name"));
}

QString TulPref::company_root_key()
{
    return productInfo(QStringLiteral("company_root_key"));
}

QString TulPref::appDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

QString TulPref::skinDir()
{
    const QString onDisk = appDir() + QStringLiteral("/skins");
    if (QFileInfo(onDisk).isDir())
        return onDisk;
    return QStringLiteral(":/skins");
}

void TulPref::setTanslucentWhenSkin(bool translucent)
{
    translucentWhenSkin = translucent;
}

bool TulPref::tanslucentWhenSkin() const
{
    return translucentWhenSkin;
}
