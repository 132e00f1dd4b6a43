#pragma once

// Builds app packages (.ipa zip archives) for tests, benchmarks and the demo:
//
//   Payload/<Name>.app/Info.plist        XML or binary
//   Payload/<Name>.app/<executable>      of a chosen size
//   Payload/<Name>.app/Icon.png, Icon@2x.png
//   Payload/<Name>.app/SC_Info/<executable>.sinf   when a signature is set
//   iTunesMetadata.plist                 when metadata is set
//   Container/...                        saved app data, when added
//
// Raw entries and links can be added for tests of hostile packages.
// The package is written through a temporary file: a failed write leaves
// nothing at the target path.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantMap>

class VPackageBuilder
{
public:
    // Defaults: name from the identifier's last part, version 1.0, iPhone
    // (UIDeviceFamily [1]), MinimumOSVersion 6.0, a generated icon, a 4 KiB
    // executable.
    explicit VPackageBuilder(const QString &bundleIdentifier);

    VPackageBuilder &setName(const QString &name);               // bundle and display name
    VPackageBuilder &setVersion(const QString &shortVersion, const QString &bundleVersion = QString());
    VPackageBuilder &setInfo(const QString &key, const QVariant &value);   // invalid: remove
    VPackageBuilder &setBinaryInfoPlist(bool binary);
    VPackageBuilder &setRawInfoPlist(const QByteArray &bytes);   // replaces the generated one
    // Executable bytes; incompressible makes the package about as large.
    VPackageBuilder &setExecutableSize(qint64 bytes, bool incompressible = false);
    VPackageBuilder &setIcon(const QByteArray &png);             // empty: no icon
    VPackageBuilder &setMetadata(const QVariantMap &metadata);
    VPackageBuilder &setSinf(const QByteArray &sinf);
    VPackageBuilder &addBundleFile(const QString &relativePath, const QByteArray &bytes);
    VPackageBuilder &addContainerFile(const QString &relativePath, const QByteArray &bytes);
    VPackageBuilder &addRawEntry(const QString &name, const QByteArray &bytes);
    VPackageBuilder &addSymlink(const QString &name, const QString &target);

    QString bundleFolder() const { return m_name + QStringLiteral(".app"); }
    QString executable() const;
    QVariantMap info() const { return m_info; }

    bool write(const QString &packagePath, QString *error = nullptr) const;

private:
    struct Raw
    {
        QString name;
        QByteArray bytes;
        bool link = false;
    };

    QString m_identifier;
    QString m_name;
    QVariantMap m_info;
    bool m_binaryInfo = false;
    QByteArray m_rawInfo;
    qint64 m_executableSize = 4096;
    bool m_incompressible = false;
    QByteArray m_icon;
    QVariantMap m_metadata;
    QByteArray m_sinf;
    QList<Raw> m_entries;   // in the order added, after the generated ones
};
