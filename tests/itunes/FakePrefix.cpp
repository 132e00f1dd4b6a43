#include "FakePrefix.h"

#include "PeImageBuilder.h"
#include "TestData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QtEndian>

FakePrefix::FakePrefix()
{
    QDir(path()).mkpath(QStringLiteral("drive_c/users/tester/AppData/Roaming"));
}

QString FakePrefix::local(const QString &windowsPath) const
{
    QString rest = windowsPath.mid(2);
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path() + QStringLiteral("/drive_c") + rest;
}

void FakePrefix::setSystemReg(const QString &body)
{
    TestData::writeFile(path() + QStringLiteral("/system.reg"),
               "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n"
                   + body.toUtf8());
}

void FakePrefix::setUserReg(const QString &body)
{
    TestData::writeFile(path() + QStringLiteral("/user.reg"),
               "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
                   + body.toUtf8());
}

void FakePrefix::writeFile(const QString &windowsPath, const QByteArray &bytes)
{
    TestData::writeFile(local(windowsPath), bytes);
}

void FakePrefix::installItunes(const QString &version, bool withClassId)
{
    const QStringList parts = version.split(QLatin1Char('.'));
    writeFile(QLatin1String(kExe),
              PeImageBuilder::build(parts.value(0).toUShort(), parts.value(1).toUShort(),
                                    parts.value(2).toUShort(), parts.value(3).toUShort()));
    QString body = QStringLiteral(
        "[Software\\\\Classes\\\\iTunes\\\\DefaultIcon] 1600000000\n"
        "@=\"C:\\\\Program Files\\\\iTunes\\\\iTunes.exe,0\"\n\n");
    if (withClassId)
        body += QStringLiteral(
            "[Software\\\\Classes\\\\CLSID\\\\{DC0C2640-1415-4644-875C-6F4D769839BA}\\\\LocalServer32] 1600000000\n"
            "@=\"\\\"C:\\\\Program Files\\\\iTunes\\\\iTunes.exe\\\"\"\n\n");
    setSystemReg(body);
}

void FakePrefix::writeLibrary(const QString &prefsName, const QString &musicUrl)
{
    const QString library = QStringLiteral("C:\\users\\tester\\Music\\iTunes\\iTunes Music Library.xml");
    QByteArray base64 = utf16(library).toBase64();
    base64.insert(20, "\n\t\t");   // iTunes wraps its data lines
    writeFile(QStringLiteral("C:\\users\\tester\\AppData\\Roaming\\Apple Computer\\iTunes\\") + prefsName,
              "<plist><dict>\n<key>iTunes Library XML Location:1</key>\n<data>\n\t\t" + base64
                  + "\n</data>\n</dict></plist>\n");
    writeFile(library, "<plist version=\"1.0\"><dict>\n\t<key>Major Version</key><integer>1</integer>\n"
                       "\t<key>Music Folder</key><string>" + musicUrl.toUtf8()
                       + "</string>\n\t<key>Tracks</key>\n</dict></plist>\n");
}

QByteArray FakePrefix::utf16(const QString &text, bool bigEndian)
{
    QByteArray out(text.size() * 2, '\0');
    for (int i = 0; i < text.size(); ++i) {
        if (bigEndian)
            qToBigEndian(text.at(i).unicode(), out.data() + 2 * i);
        else
            qToLittleEndian(text.at(i).unicode(), out.data() + 2 * i);
    }
    return out;
}
