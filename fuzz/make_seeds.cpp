// Writes the seed corpora of the fuzz targets, one folder per target, from
// what the tests feed the same readers: packages of the virtual device's
// builder, PE images of the tests' builder, registry and strings texts,
// framed property lists and AFC packets.
//
//   fuzz_make_seeds FOLDER

#include "FakePrefix.h"
#include "PeImageBuilder.h"
#include "PlistFrame.h"
#include "VPackageBuilder.h"
#include "afc/AfcCodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QString g_root;

bool put(const char *target, const QString &name, const QByteArray &bytes)
{
    const QString folder = g_root + QLatin1Char('/') + QLatin1String(target);
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray framed(const char *xml, bool binary)
{
    PlistPtr node = makePlistPtr();
    plist_t raw = nullptr;
    plist_from_xml(xml, uint32_t(qstrlen(xml)), &raw);
    node.reset(raw);
    std::string packet;
    if (!node || !PlistFrame::frame(node.get(), !binary, &packet))
        return QByteArray();
    return QByteArray::fromStdString(packet);
}

QByteArray dict(const char *body)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>")
        + body + "</dict></plist>";
}

bool channelSeeds()
{
    const QByteArray status = dict("<key>Status</key><string>CopyingApplication</string>"
                                   "<key>PercentComplete</key><integer>40</integer>");
    const QByteArray complete = dict("<key>Status</key><string>Complete</string>");
    const QByteArray refusal = dict("<key>Error</key><string>APIInternalError</string>"
                                    "<key>ErrorDescription</key><string>Not enough space</string>"
                                    "<key>ErrorDetail</key><integer>12</integer>");
    const QByteArray browse = dict("<key>Status</key><string>BrowsingApplications</string>"
                                   "<key>CurrentList</key><array><dict><key>CFBundleIdentifier</key>"
                                   "<string>com.example.notes</string><key>CFBundleDisplayName</key>"
                                   "<string>Notes</string></dict></array>");
    bool ok = true;
    ok &= put("fuzz_channel", QStringLiteral("status-xml"), framed(status, false) + framed(complete, false));
    ok &= put("fuzz_channel", QStringLiteral("status-binary"), framed(status, true) + framed(complete, true));
    ok &= put("fuzz_channel", QStringLiteral("refusal"), framed(refusal, true));
    ok &= put("fuzz_channel", QStringLiteral("browse"), framed(browse, true) + framed(complete, true));
    ok &= put("fuzz_channel", QStringLiteral("body-xml"), browse);
    ok &= put("fuzz_channel", QStringLiteral("body-binary"), framed(browse, true).mid(4));
    return ok;
}

bool afcSeeds()
{
    bool ok = true;
    ok &= put("fuzz_afc", QStringLiteral("open"), QByteArray::fromStdString(
        Afc::packet(Afc::OpFileOpen, 1, Afc::numberPathData(Afc::ReadOnly, "/Documents/a.txt"))));
    ok &= put("fuzz_afc", QStringLiteral("rename"), QByteArray::fromStdString(
        Afc::packet(Afc::OpRenamePath, 2, Afc::twoPathData("/Documents/a", "/Documents/b"))));
    ok &= put("fuzz_afc", QStringLiteral("write"), QByteArray::fromStdString(
        Afc::packet(Afc::OpFileWrite, 3, std::string(8, '\1'), "payload bytes")));
    ok &= put("fuzz_afc", QStringLiteral("readdir"), QByteArray::fromStdString(
        Afc::packet(Afc::OpData, 4, std::string(), Afc::encodeNames({".", "..", "Documents", "a.txt"}))));
    ok &= put("fuzz_afc", QStringLiteral("fileinfo"), QByteArray::fromStdString(
        Afc::packet(Afc::OpData, 5, std::string(),
                    Afc::encodeKeyValues({{"st_size", "12"}, {"st_ifmt", "S_IFREG"}, {"st_mtime", "1402012800000000000"}}))));
    ok &= put("fuzz_afc", QStringLiteral("status"), QByteArray::fromStdString(
        Afc::valuePacket(Afc::OpStatus, 6, Afc::ObjectNotFound)));
    return ok;
}

bool packageSeeds()
{
    QTemporaryDir dir;
    const auto build = [&](const char *name, VPackageBuilder builder) {
        builder.setExecutableSize(16).setIcon(QByteArray());
        const QString path = dir.filePath(QLatin1String(name));
        return builder.write(path) && put("fuzz_package", QLatin1String(name), readAll(path));
    };
    bool ok = true;
    ok &= build("plain", VPackageBuilder(QStringLiteral("com.example.plain")));
    ok &= build("binary-info", VPackageBuilder(QStringLiteral("com.example.binary")).setBinaryInfoPlist(true)
                                   .setInfo(QStringLiteral("UIDeviceFamily"), QVariantList{1, 2}));
    ok &= build("metadata-sinf", VPackageBuilder(QStringLiteral("com.example.store"))
                                     .setMetadata({{QStringLiteral("itemName"), QStringLiteral("Store")}})
                                     .setSinf(QByteArray(32, 's')));
    ok &= build("container", VPackageBuilder(QStringLiteral("com.example.docs"))
                                 .addContainerFile(QStringLiteral("Documents/a.txt"), "hello")
                                 .addContainerFile(QStringLiteral("Library/Preferences/p.plist"), "<plist/>")
                                 .addRawEntry(QStringLiteral("5d2b6578e8dfddbe15d8955db907d477eb7425df"), "tag"));
    return ok;
}

bool itunesSeeds()
{
    bool ok = true;
    ok &= put("fuzz_pe", QStringLiteral("pe32"), PeImageBuilder::build(12, 13, 2, 3));
    ok &= put("fuzz_pe", QStringLiteral("pe32plus"), PeImageBuilder::build(12, 13, 2, 3, true));
    ok &= put("fuzz_wineregistry", QStringLiteral("system"), QByteArrayLiteral(
        "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n"
        "[Software\\\\Apple Computer, Inc.\\\\iTunes] 1600000000\n"
        "\"LangID\"=dword:00000409\n\"InstallDir\"=\"C:\\\\Program Files\\\\iTunes\\\\\"\n"
        "[Software\\\\Classes\\\\iTunes\\\\DefaultIcon] 1600000000\n"
        "@=\"C:\\\\Program Files\\\\iTunes\\\\iTunes.exe,0\"\n\"Lang\"=dword:00000809\n"
        "\"Exp\"=hex(2):25,00,41,00,25,00,\\\n  00,00\n\"Esc\"=str(2):\"\\x00e9\\101\\\\\\\"\"\n"
        "[System\\\\CurrentControlSet] 1\n\"SymbolicLinkValue\"=hex(6):5c,00,52,00\n"
        "[Software\\\\Wine\\\\Drives] 1\n\"c:\"=\"hd\"\n\"Multi\"=hex(7):61,00,00,00,00,00\n"
        "\"Big\"=hex(b):01,02,03,04,05,06,07,08\n"));
    ok &= put("fuzz_wineregistry", QStringLiteral("user"), QByteArrayLiteral(
        "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
        "[Software\\\\Apple Computer, Inc.\\\\iTunes] 1600000000\n\"LangID\"=hex(2):30,00,34,00,00,00\n"));
    const QString strings = QStringLiteral("/* folder */\n\"127.001\" = \"Other\";\n"
                                           "\"128.007\" = \"Automatically Add to iTunes\";\n");
    ok &= put("fuzz_strings", QStringLiteral("little"), "\xff\xfe" + FakePrefix::utf16(strings));
    ok &= put("fuzz_strings", QStringLiteral("big"), "\xfe\xff" + FakePrefix::utf16(strings, true));
    return ok;
}

bool nameSeeds()
{
    bool ok = true;
    ok &= put("fuzz_names", QStringLiteral("plain"), "Pocket Notes\n1.5.2\nVoice Memos Plus\n");
    ok &= put("fuzz_names", QStringLiteral("hostile"), "../../etc/passwd\n\x1b[31mred\x07\t\n.hidden\n..\n/\n");
    ok &= put("fuzz_names", QStringLiteral("unicode"),
              QStringLiteral("Caf\u00e9 \U0001F600 \u202Egnp.exe\nPocket Notes\npocket notes\n").toUtf8());
    ok &= put("fuzz_names", QStringLiteral("long"), QByteArray(300, 'A') + '\n' + QByteArray(200, '9'));
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    g_root = QString::fromLocal8Bit(argv[1]);
    const bool ok = channelSeeds() && afcSeeds() && packageSeeds() && itunesSeeds() && nameSeeds();
    if (!ok)
        std::fprintf(stderr, "fuzz_make_seeds: could not write every seed under %s\n", argv[1]);
    return ok ? 0 : 1;
}
