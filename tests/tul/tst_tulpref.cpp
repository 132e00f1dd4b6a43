#include "TulPref.h"
#include "TulSkin.h"
#include "TestData.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestTulPref : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        qputenv("XDG_CONFIG_HOME", dir->path().toLocal8Bit());
    }

    void cleanup()
    {
        TulPref::openInstance(TulPref::defaultFilePath());
        dir.reset();
    }

    void roundTripAcrossStores()
    {
        const QString odd = QStringLiteral("/home/ünï cödé/a=b;c,d \"q\"");
        {
            TulPref pref(storePath());
            QVERIFY(pref.setValue(QStringLiteral("EnableAutoUpdate"), false));
            QVERIFY(pref.setValue(QStringLiteral("AutoUpdateType"), 2));
            QVERIFY(pref.setValue(QStringLiteral("exporttolocal"), odd));
            QVERIFY(!pref.setValue(QString(), 1));
            // Unflushed values are visible at once in the same store.
            QCOMPARE(pref.value(QStringLiteral("AutoUpdateType"), 0).toInt(), 2);
            // A flushed one is seen by another reader while the store is open.
            pref.setValue(QStringLiteral("ipod_add_app_files_path"), QStringLiteral("/data/apps"), true);
            QSettings reader(storePath(), QSettings::IniFormat);
            QCOMPARE(reader.value(QStringLiteral("ipod_add_app_files_path")).toString(),
                     QStringLiteral("/data/apps"));
        }
        TulPref reopened(storePath());
        const QVariant enabled = reopened.value(QStringLiteral("EnableAutoUpdate"), true);
        QCOMPARE(enabled.metaType(), QMetaType::fromType<bool>());
        QCOMPARE(enabled.toBool(), false);
        const QVariant type = reopened.value(QStringLiteral("AutoUpdateType"), 0);
        QCOMPARE(type.metaType(), QMetaType::fromType<int>());
        QCOMPARE(type.toInt(), 2);
        QCOMPARE(reopened.value(QStringLiteral("exporttolocal"), QString()).toString(), odd);
        QCOMPARE(reopened.value(QStringLiteral("absent"), QStringLiteral("home")).toString(),
                 QStringLiteral("home"));
    }

    void textFromTheFileConvertsOnlyWhenSound()
    {
        QVERIFY(TestData::writeFile(storePath(), "[General]\nEnableAutoUpdate=maybe\nAutoUpdateType=weekly\nlast_skin=dark\n"
                                                 "exporttolocal=/home/a,b\n"));

        TulPref pref(storePath());
        // A hand-edited value that does not parse gives the default, not false/0.
        QCOMPARE(pref.value(QStringLiteral("EnableAutoUpdate"), true).toBool(), true);
        QCOMPARE(pref.value(QStringLiteral("AutoUpdateType"), 1).toInt(), 1);
        QCOMPARE(pref.value(QStringLiteral("last_skin")).toString(), QStringLiteral("dark"));
        QCOMPARE(pref.value(QStringLiteral("exporttolocal"), QString()).toString(),
                 QStringLiteral("/home/a,b"));
    }

    void skinFolderFromLastSkin_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("skin");
        QTest::newRow("unset") << QVariant() << QStringLiteral("default");
        QTest::newRow("named") << QVariant(QStringLiteral("dark")) << QStringLiteral("dark");
        QTest::newRow("climbs-out") << QVariant(QStringLiteral("../../etc")) << QStringLiteral("default");
    }

    void skinFolderFromLastSkin()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, skin);
        TulPref::openInstance(storePath());
        if (stored.isValid())
            TulPref::instance()->setValue(QStringLiteral("last_skin"), stored);
        QCOMPARE(TulSkin::currentSkin(), skin);
        QCOMPARE(TulSkin::appSkinUrl(),
                 QDir::fromNativeSeparators(TulPref::skinDir()) + QStringLiteral("/app_appvoy/") + skin);
    }

private:
    QString storePath() const { return dir->path() + QStringLiteral("/prefs/test.conf"); }
    std::unique_ptr<QTemporaryDir> dir;
};

QTEST_GUILESS_MAIN(TestTulPref)
#include "tst_tulpref.moc"
