// Shared documents on the virtual device: listing, adding with progress,
// replacing without loss, copying out, deleting, and failures mid-way.

#include "AppHandler.h"
#include "DeviceFixture.h"
#include "RecordingTask.h"
#include "TestData.h"
#include "VPackageBuilder.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(std::string)

namespace {

const char kApp[] = "com.test.files";

} // namespace

class TestAppDocuments : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeviceFixture> m_device;
    std::unique_ptr<AppHandler> m_handler;

    // A file-sharing app, installed through the service itself.
    void start(int profile = 0, const std::string &faultService = std::string(), const std::string &kind = std::string(),
               const std::string &arg = std::string())
    {
        m_device = std::make_unique<DeviceFixture>(std::vector<int>{profile}, false);
        QVERIFY2(m_device->ok(), qPrintable(m_device->error()));
        QVERIFY(m_device->startScanning());
        m_handler = std::make_unique<AppHandler>(QByteArray::fromStdString(m_device->id(0)));
        VPackageBuilder builder(QString::fromLatin1(kApp));
        builder.setInfo(QStringLiteral("UIFileSharingEnabled"), true)
            .setInfo(QStringLiteral("UIDeviceFamily"), QVariantList{1, 2})
            .setMetadata({{QStringLiteral("itemName"), QStringLiteral("Files")}});
        const QString pkg = m_device->root() + QStringLiteral("/files.ipa");
        QVERIFY(builder.write(pkg));
        RecordingTask install;
        QCOMPARE(m_handler->AppInstall(pkg.toUtf8(), &install), -1003);
        if (!faultService.empty())
            QVERIFY(m_device->fault(0, faultService, kind, arg));
    }
    QString local(const QString &name, const QByteArray &content)
    {
        const QString path = m_device->root() + QStringLiteral("/local/") + name;
        TestData::writeFile(path, content);
        return path;
    }
    QString onDevice(const QString &name) const
    {
        return m_device->appsDir(0) + QLatin1Char('/') + QString::fromLatin1(kApp) + QStringLiteral("/Documents/") + name;
    }
    QByteArray deviceFile(const QString &name) const
    {
        return QFile::exists(onDevice(name)) ? TestData::readFile(onDevice(name)) : QByteArray("<missing>");
    }
    QStringList deviceFolder() const
    {
        return QDir(QFileInfo(onDevice(QStringLiteral("x"))).path()).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot);
    }
    AppInfoItem app() const
    {
        AppInfoItem item;
        m_handler->item(QString::fromLatin1(kApp), &item);
        return item;
    }

private slots:
    void init() { qRegisterMetaType<std::string>("std::string"); }
    void cleanup()
    {
        m_handler.reset();
        m_device.reset();
    }

    void addReportsProgressAndSizes()
    {
        start();
        // An empty file and a missing one are refused before the device sees them.
        QSignalSpy added(m_handler.get(), &AppHandler::data_app_docAdded);
        QCOMPARE(m_handler->AppAddDoc(kApp, local(QStringLiteral("empty.txt"), QByteArray()).toUtf8(), nullptr), -2);
        QCOMPARE(m_handler->AppAddDoc(kApp, "/no/such/file.txt", nullptr), -1);
        QCOMPARE(added.count(), 0);
        QVERIFY(deviceFolder().isEmpty());

        // Nine blocks of a MiB and a bit.
        const QByteArray content = TestData::patterned(9 * 1024 * 1024 + 700000, 'a');
        const QString file = local(QStringLiteral("report.pdf"), content);
        QSignalSpy changedDoc(m_handler.get(), qOverload<AppInfoItem, DATACHANGED_REASON, DocItemInfo>(&AppHandler::data_itemchanged));
        QSignalSpy changedApp(m_handler.get(), qOverload<AppInfoItem, DATACHANGED_REASON>(&AppHandler::data_itemchanged));
        RecordingTask task(AppTask::AppAddDocTask);
        const quint64 before = app().documentSize;
        QCOMPARE(m_handler->AppAddDoc(kApp, file.toUtf8(), &task), 0);

        QCOMPARE(deviceFile(QStringLiteral("report.pdf")), content);
        QCOMPARE(deviceFolder(), QStringList{QStringLiteral("report.pdf")});   // no leftovers
        QCOMPARE(added.count(), 1);
        QCOMPARE(added.at(0).at(2).value<AppTask *>(), static_cast<AppTask *>(&task));
        QVERIFY(task.progressRises(0, 100));
        QVERIFY(task.sawStatus("DownLoadOK", 100));
        QVERIFY(task.progressValues.size() > 5);

        QList<int> reasons;
        qint64 lastSize = -1;
        for (const auto &args : changedDoc) {
            const auto reason = args.at(1).value<DATACHANGED_REASON>();
            reasons << int(reason);
            if (reason == DOC_SIZE_CHANGED) {
                const qint64 size = args.at(2).value<DocItemInfo>().size;
                QVERIFY(size > lastSize && size < content.size());
                lastSize = size;
            }
        }
        QCOMPARE(reasons.first(), int(DOC_ICON_CHANGED));
        QCOMPARE(reasons.last(), int(DOC_CREATED_CHANGED));
        QVERIFY(reasons.count(int(DOC_SIZE_CHANGED)) > 3);
        QCOMPARE(changedApp.last().at(1).value<DATACHANGED_REASON>(), DOCSIZE_CHANGED);
        QCOMPARE(app().documentSize, before + quint64(content.size()));
        QCOMPARE(app().documents.size(), 1);
        QCOMPARE(app().documents.first().size, qint64(content.size()));
        QCOMPARE(app().documents.first().path, QString::fromStdString(m_device->id(0)) + QStringLiteral("/Documents/report.pdf"));
    }

    void replacingAsksAndKeepsTheOldUntilDone()
    {
        start();
        const quint64 base = app().documentSize;   // the container's other data
        QCOMPARE(m_handler->AppAddDoc(kApp, local(QStringLiteral("a.txt"), "first").toUtf8(), nullptr), 0);
        const QString second = local(QStringLiteral("again/a.txt"), "second version");

        RecordingTask declined(AppTask::AppAddDocTask);
        QCOMPARE(m_handler->AppAddDoc(kApp, second.toUtf8(), &declined), -1006);
        QCOMPARE(declined.overwriteAsked, 1);
        QCOMPARE(deviceFile(QStringLiteral("a.txt")), QByteArray("first"));

        QSignalSpy changed(m_handler.get(), qOverload<AppInfoItem, DATACHANGED_REASON, DocItemInfo>(&AppHandler::data_itemchanged));
        RecordingTask accepted(AppTask::AppAddDocTask);
        accepted.overwriteAnswer = true;
        QCOMPARE(m_handler->AppAddDoc(kApp, second.toUtf8(), &accepted), 0);
        QCOMPARE(deviceFile(QStringLiteral("a.txt")), QByteArray("second version"));
        QCOMPARE(changed.first().at(1).value<DATACHANGED_REASON>(), DOC_REMOVED);   // the old record goes first
        QCOMPARE(app().documents.size(), 1);
        QCOMPARE(app().documentSize, base + quint64(QByteArray("second version").size()));
    }

    void droppedAddLeavesTheOldDocument()
    {
        start(0);
        QCOMPARE(m_handler->AppAddDoc(kApp, local(QStringLiteral("keep.bin"), "old content").toUtf8(), nullptr), 0);
        const QString big = local(QStringLiteral("new/keep.bin"), TestData::patterned(3 * 1024 * 1024, 'k'));
        // A local file cut short while it is sent is a read failure, and the
        // stream stays whole for what follows.
        RecordingTask shrinking(AppTask::AppAddDocTask);
        shrinking.overwriteAnswer = true;
        shrinking.onStatus = [&big] { QFile::resize(big, 1024 * 1024 + 100); };
        QCOMPARE(m_handler->AppAddDoc(kApp, big.toUtf8(), &shrinking), -3);
        QCOMPARE(deviceFile(QStringLiteral("keep.bin")), QByteArray("old content"));

        QVERIFY(m_device->fault(0, "com.apple.mobile.house_arrest", "drop", "300000"));
        QVERIFY(QFile::resize(big, 2 * 1024 * 1024));
        QSignalSpy added(m_handler.get(), &AppHandler::data_app_docAdded);
        RecordingTask task(AppTask::AppAddDocTask);
        task.overwriteAnswer = true;
        QVERIFY(m_handler->AppAddDoc(kApp, big.toUtf8(), &task) < 0);
        QCOMPARE(deviceFile(QStringLiteral("keep.bin")), QByteArray("old content"));
        QCOMPARE(deviceFolder(), QStringList{QStringLiteral("keep.bin")});
        QCOMPARE(app().documents.size(), 1);   // the old record is back, the placeholder gone
        QCOMPARE(app().documents.first().size, qint64(11));
        QCOMPARE(added.count(), 2);
        QCOMPARE(added.last().at(2).value<AppTask *>(), static_cast<AppTask *>(nullptr));
    }

    void copyToTheComputerAndDelete()
    {
        start();
        const QByteArray content = TestData::patterned(300000, 'c');
        QCOMPARE(m_handler->AppAddDoc(kApp, local(QStringLiteral("photo.jpg"), content).toUtf8(), nullptr), 0);
        const QString target = m_device->root() + QStringLiteral("/out/photo.jpg");
        QDir().mkpath(QFileInfo(target).path());
        RecordingTask task(AppTask::ExportDoctoPCTask);
        QCOMPARE(m_handler->AppExportDoc(kApp, "photo.jpg", target.toUtf8(), &task), 0);
        QCOMPARE(TestData::readFile(target), content);
        QVERIFY(task.sawStatus("DownLoadOK", 100));
        QVERIFY(task.progressRises(0, 100));

        QVERIFY(m_handler->AppExportDoc(kApp, "absent.jpg", (target + QStringLiteral("2")).toUtf8(), nullptr) < 0);
        QVERIFY(!QFile::exists(target + QStringLiteral("2")));
        QCOMPARE(m_handler->AppExportDoc(kApp, "photo.jpg", "/proc/forbidden/photo.jpg", nullptr), -2);
        QVERIFY(m_handler->AppExportDoc(kApp, "..", (target + QStringLiteral("3")).toUtf8(), nullptr) < 0);

        // Deleted: announced once, the size subtracted; only the file name counts.
        const quint64 size = app().documentSize;
        QSignalSpy changed(m_handler.get(), qOverload<AppInfoItem, DATACHANGED_REASON, DocItemInfo>(&AppHandler::data_itemchanged));
        QCOMPARE(m_handler->AppDeleteDoc(kApp, "someone/else/photo.jpg"), 0);
        QVERIFY(!QFile::exists(onDevice(QStringLiteral("photo.jpg"))));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(1).value<DATACHANGED_REASON>(), DOC_REMOVED);
        QCOMPARE(changed.at(0).at(0).value<AppInfoItem>().documentSize, size - quint64(content.size()));
        QCOMPARE(app().documents.size(), 0);
        QVERIFY(m_handler->AppDeleteDoc(kApp, "photo.jpg") < 0);
        QCOMPARE(changed.count(), 1);
    }

    void brokenCopyLeavesNoFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("arg");
        QTest::newRow("dropped") << QStringLiteral("drop") << QStringLiteral("500000");
        // A size that cannot be read must not pass for an empty document.
        QTest::newRow("failed-tell") << QStringLiteral("failop") << QString::number(0x12);
    }
    void brokenCopyLeavesNoFile()
    {
        QFETCH(QString, kind);
        QFETCH(QString, arg);
        start();
        QCOMPARE(m_handler->AppAddDoc(kApp, local(QStringLiteral("big.bin"), TestData::patterned(2000000, 'b')).toUtf8(), nullptr), 0);
        QVERIFY(m_device->fault(0, "com.apple.mobile.house_arrest", kind.toStdString(), arg.toStdString()));
        const QString target = m_device->root() + QStringLiteral("/out/big.bin");
        QDir().mkpath(QFileInfo(target).path());
        QVERIFY(m_handler->AppExportDoc(kApp, "big.bin", target.toUtf8(), nullptr) < 0);
        QVERIFY(QDir(QFileInfo(target).path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void namesAreNamesAndPartialsAreNotDocuments()
    {
        start();
        // A backslash is part of a device name, never a separator.
        const QString tricky = QStringLiteral("a\\b.txt");
        QCOMPARE(m_handler->AppAddDoc(kApp, local(tricky, "tricky").toUtf8(), nullptr), 0);
        QCOMPARE(m_handler->AppAddDoc(kApp, local(QStringLiteral("b.txt"), "plain").toUtf8(), nullptr), 0);
        QCOMPARE(deviceFile(tricky), QByteArray("tricky"));
        const QString target = m_device->root() + QStringLiteral("/out/copy.txt");
        QDir().mkpath(QFileInfo(target).path());
        QCOMPARE(m_handler->AppExportDoc(kApp, tricky.toUtf8(), target.toUtf8(), nullptr), 0);
        QCOMPARE(TestData::readFile(target), QByteArray("tricky"));
        QCOMPARE(m_handler->AppDeleteDoc(kApp, tricky.toUtf8()), 0);
        QCOMPARE(deviceFolder(), QStringList{QStringLiteral("b.txt")});

        // Names up to the file system's limit, whatever the hidden name adds.
        const QString longest = QString(251, QLatin1Char('n')) + QStringLiteral(".txt");
        QCOMPARE(m_handler->AppAddDoc(kApp, local(longest, "long").toUtf8(), nullptr), 0);
        QCOMPARE(deviceFile(longest), QByteArray("long"));

        // An empty document copies out as an empty file.
        TestData::writeFile(onDevice(QStringLiteral("empty.log")), QByteArray());
        QCOMPARE(m_handler->AppExportDoc(kApp, "empty.log", (target + QStringLiteral(".empty")).toUtf8(), nullptr), 0);
        QVERIFY(QFileInfo(target + QStringLiteral(".empty")).isFile());
        QCOMPARE(QFileInfo(target + QStringLiteral(".empty")).size(), 0);

        // What an add left behind when it never finished is no document, and the next add removes it.
        const QString leftover = QStringLiteral(".crashed.bin.appshuttle-part");
        TestData::writeFile(onDevice(leftover), "half");
        QCOMPARE(m_handler->Load(), 0);
        QTRY_VERIFY(app().documents.size() == 3);
        for (const DocItemInfo &doc : app().documents)
            QVERIFY2(!doc.name.endsWith(QStringLiteral(".appshuttle-part")), qPrintable(doc.name));
        QCOMPARE(m_handler->AppAddDoc(kApp, local(QStringLiteral("next.txt"), "next").toUtf8(), nullptr), 0);
        QVERIFY(!deviceFolder().contains(leftover));
    }

    void documentsOfStoreAppsOnCurrentDevices()
    {
        // iOS 17 vends only the Documents folder of App Store apps.
        start(1);
        QCOMPARE(m_handler->AppAddDoc(kApp, local(QStringLiteral("shared.txt"), "on a current iPad").toUtf8(), nullptr), 0);
        QCOMPARE(deviceFile(QStringLiteral("shared.txt")), QByteArray("on a current iPad"));
        QSignalSpy loaded(m_handler.get(), &AppHandler::data_loadcompleted);
        QCOMPARE(m_handler->Load(), 0);
        QCOMPARE(loaded.count(), 1);
        AppInfoItem item;
        QVERIFY(m_handler->item(QString::fromLatin1(kApp), &item));   // documents come after the list
        QCOMPARE(item.documents.size(), 1);
        QCOMPARE(item.documents.first().name, QStringLiteral("shared.txt"));
        QCOMPARE(m_handler->AppDeleteDoc(kApp, "shared.txt"), 0);
        QVERIFY(deviceFolder().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestAppDocuments)
#include "tst_appdocuments.moc"
