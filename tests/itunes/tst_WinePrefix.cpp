#include "FakePrefix.h"
#include "WinePrefix.h"
#include "WindowsLanguage.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using Root = WinPlatform::RegistryRoot;

class tst_WinePrefix : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        prefix.reset(new FakePrefix);
        prefix->setSystemReg(QStringLiteral(
            "[Software\\\\Classes\\\\Shared] 1\n@=\"machine\"\n\"OnlyMachine\"=\"m\"\n\n"
            "[Software\\\\Classes\\\\Wow6432Node\\\\CLSID\\\\{X}] 1\n@=\"wow\"\n\n"
            "[Software\\\\Wow6432Node\\\\Apple Computer, Inc.\\\\iTunes] 1\n\"InstalledLangID\"=dword:00000804\n\n"
            "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1\n\"ProgramFilesDir\"=\"C:\\\\Programme\"\n\n"
            "[Software\\\\Paths] 1\n\"Exe\"=str(2):\"%ProgramFiles%\\\\iTunes\\\\%Nope%\"\n"
            "\"Loop\"=str(2):\"%Loop%\"\n"));
        prefix->setUserReg(QStringLiteral(
            "[Software\\\\Classes\\\\Shared] 1\n@=\"user\"\n\n"
            "[Environment] 1\n\"Loop\"=str(2):\"%Loop%x\"\n"));
    }

    void registryViews()
    {
        const WinePrefix wine(prefix->path());
        const auto value = [&](Root root, const char *key, const char *name) {
            return wine.registryValue(root, QLatin1String(key), QLatin1String(name));
        };
        QCOMPARE(value(Root::ClassesRoot, "Shared", "").toString(), QStringLiteral("user"));
        QCOMPARE(value(Root::ClassesRoot, "Shared", "OnlyMachine").toString(), QStringLiteral("m"));
        QCOMPARE(value(Root::ClassesRoot, "CLSID\\{X}", "").toString(), QStringLiteral("wow"));
        QCOMPARE(value(Root::LocalMachine, "Software\\Apple Computer, Inc.\\iTunes", "InstalledLangID"),
                 QVariant(quint32(0x804)));
        QVERIFY(!value(Root::CurrentUser, "Software\\Classes\\Nothing", "").isValid());
        QCOMPARE(value(Root::LocalMachine, "Software\\Paths", "Exe").toString(),
                 QStringLiteral("C:\\Programme\\iTunes\\%Nope%"));
        QVERIFY(value(Root::LocalMachine, "Software\\Paths", "Loop").toString().startsWith(
            QStringLiteral("%Loop%")));
        QVERIFY(!WinePrefix(prefix->path() + QStringLiteral("/missing"))
                     .registryValue(Root::ClassesRoot, QStringLiteral("Shared"), QString()).isValid());
    }

    void mapsWindowsPaths_data()
    {
        QTest::addColumn<QString>("windowsPath");
        QTest::addColumn<QString>("local");   // relative to the prefix; "" for none
        QTest::newRow("case-folded") << "c:/USERS\\Tester\\appdata\\roaming\\New Dir"
                                     << "drive_c/users/tester/AppData/Roaming/New Dir";
        QTest::newRow("dots-stay-on-drive") << "C:\\..\\..\\users\\.\\tester\\..\\..\\..\\x"
                                            << "drive_c/x";
        QTest::newRow("environment") << "%ProgramFiles%\\iTunes" << "drive_c/Programme/iTunes";
        QTest::newRow("long-path-prefix") << "\\\\?\\C:\\users" << "drive_c/users";
        QTest::newRow("other-drive") << "D:\\music" << "elsewhere/music";
        QTest::newRow("unknown-drive") << "Q:\\x" << "";
        QTest::newRow("unc") << "\\\\server\\share\\x" << "";
        QTest::newRow("relative") << "users\\tester" << "";
        QTest::newRow("stream") << "C:\\users\\a:b" << "";
    }
    void mapsWindowsPaths()
    {
        QFETCH(QString, windowsPath);
        QFETCH(QString, local);
        QDir(prefix->path()).mkpath(QStringLiteral("elsewhere"));
        QDir(prefix->path()).mkpath(QStringLiteral("dosdevices"));
        QFile::link(prefix->path() + QStringLiteral("/elsewhere"),
                    prefix->path() + QStringLiteral("/dosdevices/d:"));
        const QString expected = local.isEmpty() ? QString() : prefix->path() + QLatin1Char('/') + local;
        QCOMPARE(WinePrefix(prefix->path()).localPath(windowsPath), expected);
    }

    void appDataFolder_data()
    {
        QTest::addColumn<QString>("shellFolder");   // "" leaves the registry without it
        QTest::addColumn<QString>("layout");
        QTest::newRow("registry") << "C:\\\\users\\\\tester\\\\Odd Place" << "Odd Place";
        QTest::newRow("roaming") << "" << "AppData/Roaming";
        QTest::newRow("older-wine") << "" << "Application Data";
    }
    void appDataFolder()
    {
        QFETCH(QString, shellFolder);
        QFETCH(QString, layout);
        const QString profile = prefix->path() + QStringLiteral("/drive_c/users/tester");
        QDir(profile).removeRecursively();
        QDir(profile).mkpath(layout);
        if (!shellFolder.isEmpty())
            prefix->setUserReg(QStringLiteral(
                "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n"
                "\"AppData\"=\"%1\"\n").arg(shellFolder));
        QCOMPARE(WinePrefix(prefix->path()).appDataFolder(), profile + QLatin1Char('/') + layout);
        QDir(profile).removeRecursively();
        QCOMPARE(WinePrefix(prefix->path()).appDataFolder(), QString());
    }

    void languages_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("code");
        QTest::newRow("british") << "en_GB.UTF-8" << 2057 << "en";
        QTest::newRow("simplified-chinese") << "zh_CN.GB18030" << 2052 << "zh";
        QTest::newRow("traditional-chinese") << "zh_TW" << 1028 << "zh";
        QTest::newRow("bokmal") << "nb_NO.UTF-8@euro" << 1044 << "nb";
        QTest::newRow("nynorsk") << "nn_NO" << 2068 << "nn";
        QTest::newRow("german-default-territory") << "de_LU" << 1031 << "de";
        QTest::newRow("unknown") << "tlh_QO" << 1033 << "en";
    }
    void languages()
    {
        QFETCH(QString, locale);
        QFETCH(int, id);
        QFETCH(QString, code);
        qputenv("LC_ALL", locale.toUtf8());
        QCOMPARE(int(WinePrefix(prefix->path()).systemDefaultLanguageId()), id);
        QCOMPARE(WindowsLanguage::isoCode(quint16(id)), code);
        qunsetenv("LC_ALL");
    }

private:
    std::unique_ptr<FakePrefix> prefix;
};

QTEST_GUILESS_MAIN(tst_WinePrefix)
#include "tst_WinePrefix.moc"
