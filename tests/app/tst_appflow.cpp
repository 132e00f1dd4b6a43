// The models and the task engine against the virtual device: load,
// install, documents added and removed; afterwards the models show
// what a fresh load of the device shows, and every task is gone.

#include "AppHandler.h"
#include "AppModel.h"
#include "AppProxyModel.h"
#include "AppTaskCtrl.h"
#include "AppTaskManager.h"
#include "DeviceFixture.h"
#include "DocModel.h"
#include "TestData.h"
#include "InstallAppTask.h"
#include "AppAddDocTask.h"
#include "VDemo.h"
#include "ZAppInfoItem.h"
#include "ZDocItemInfo.h"

#include <QAbstractItemModelTester>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// One apps page's worth of objects for a device.
struct Page
{
    std::unique_ptr<AppHandler> handler;
    std::unique_ptr<AppModel> apps;
    std::unique_ptr<AppProxyModel> proxy;
    std::unique_ptr<DocModel> docs;
    std::vector<std::unique_ptr<QAbstractItemModelTester>> testers;

    explicit Page(const std::string &id)
        : handler(new AppHandler(QByteArray::fromStdString(id))), apps(new AppModel(handler.get())),
          proxy(new AppProxyModel), docs(new DocModel(apps.get()))
    {
        proxy->setSourceModel(apps.get());
        using Mode = QAbstractItemModelTester::FailureReportingMode;
        testers.emplace_back(new QAbstractItemModelTester(apps.get(), Mode::QtTest));
        testers.emplace_back(new QAbstractItemModelTester(proxy.get(), Mode::QtTest));
        testers.emplace_back(new QAbstractItemModelTester(docs.get(), Mode::QtTest));
    }
    QString key() const { return QString::fromUtf8(handler->deviceId()); }
    ~Page()
    {
        AppTaskManager::instance()->removeDevice(key());
        AppTaskCtrl::instance()->removeDevice(key());
        testers.clear();
        docs.reset();
        proxy.reset();
        apps.reset();
    }
    bool load()
    {
        QSignalSpy done(apps.get(), &AppModel::loadTaskCompleted);
        AppTaskCtrl::instance()->addTask(proxy->createTask(handler.get(), AppTask::LoadAppDataTask, {}));
        return done.wait(30000);
    }
    // (appId, name, version, document names) per row.
    QStringList summary() const
    {
        QStringList rows;
        for (int row = 0; row < apps->rowCount(); ++row) {
            const AppInfoItem &r = apps->itemAt(row)->record;
            QStringList docNames;
            for (const DocItemInfo &d : r.documents)
                docNames << d.name;
            docNames.sort();
            rows << QStringList{r.appId, r.name, r.version, docNames.join(QLatin1Char(','))}.join(QLatin1Char('|'));
        }
        return rows;
    }
};

} // namespace

class TestAppFlow : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeviceFixture> m_device;
    QList<QPointer<AppTask>> m_tasks;

    // Queues the task and waits until it is finished and deleted.
    bool runToEnd(AppTask *task)
    {
        QPointer<AppTask> guard(task);
        m_tasks << guard;
        AppTaskCtrl::instance()->addTask(task);
        QDeadlineTimer deadline(30000);
        while (!guard.isNull() && !deadline.hasExpired())
            QTest::qWait(10);
        return guard.isNull();
    }
    static int rowNamed(const DocModel &docs, const QString &name)
    {
        for (int row = 0; row < docs.rowCount(); ++row) {
            if (docs.itemAt(row)->record.name == name)
                return row;
        }
        return -1;
    }

private slots:
    void init()
    {
        m_device.reset(new DeviceFixture({0}, true));
        QVERIFY2(m_device->ok(), qPrintable(m_device->error()));
        QVERIFY(m_device->startScanning());
    }
    void cleanup()
    {
        m_device.reset();
        m_tasks.clear();
    }

    void loadInstallDocuments_data()
    {
        QTest::addColumn<bool>("tlsServices");
        QTest::newRow("tls-session") << false;
        QTest::newRow("tls-services") << true;   // every service connection starts in TLS too
    }
    void loadInstallDocuments()
    {
        QFETCH(bool, tlsServices);
        if (tlsServices)
            QVERIFY(m_device->fault(0, "*", "ssl"));
        Page page(m_device->id(0));
        QSignalSpy changed(page.apps.get(), &QAbstractItemModel::dataChanged);
        QVERIFY(page.load());
        const int loaded = page.apps->rowCount();
        QVERIFY(loaded > 3);
        QCOMPARE(page.apps->rowCount(), page.handler->items().size());
        // Icons came after the list, one change each, to the right rows.
        int iconChanges = 0;
        for (const QList<QVariant> &args : changed)
            iconChanges += args.at(1).toModelIndex().column() == AppModel::ColCheck ? 1 : 0;
        QCOMPARE(iconChanges, loaded);
        const AppInfoItemMap table = page.handler->items();
        for (int row = 0; row < loaded; ++row) {
            const AppInfoItem &r = page.apps->itemAt(row)->record;
            QVERIFY(!r.iconPng.isEmpty());
            QCOMPARE(r.iconPng, table.value(r.appId).iconPng);
            QCOMPARE(r.name, table.value(r.appId).name);
            QCOMPARE(r.documents.size(), table.value(r.appId).documents.size());
            QVERIFY(page.apps->index(row, 0).data(Qt::DecorationRole).isValid());
        }

        // Install: a placeholder, then a row where the identifier sorts.
        QString error;
        const QString packages = m_device->root() + QStringLiteral("/packages");
        QDir().mkpath(packages);
        QVERIFY(!VDemo::writeSamplePackages(packages, &error).isEmpty());
        auto *install = qobject_cast<InstallAppTask *>(page.proxy->createTask(
            page.handler.get(), AppTask::InstallAppTask, {packages + QStringLiteral("/Sample Documents App.ipa")}));
        QVERIFY(install);
        QSignalSpy inserted(page.apps.get(), &QAbstractItemModel::rowsInserted);
        QVERIFY(runToEnd(install));
        QCOMPARE(inserted.count(), 1);
        ZAppInfoItem *sample = page.apps->item(QStringLiteral("com.appshuttle.sample.documents"));
        QVERIFY(sample);
        QCOMPARE(inserted.at(0).at(1).toInt(), page.apps->rowOf(sample));
        QVERIFY(sample->associatedTasks().isEmpty());

        // Documents: add two, remove one.
        QVERIFY(sample->record.fileSharingEnabled);
        page.docs->setCurrentApp(sample);
        const int docsBefore = page.docs->rowCount();
        for (const QString &name : {QStringLiteral("b.txt"), QStringLiteral("a.txt")}) {
            const QString local = m_device->root() + QLatin1Char('/') + name;
            QVERIFY(TestData::writeFile(local, QByteArray(100000, name.at(0).toLatin1())));
            QVERIFY(runToEnd(page.docs->createTask(page.handler.get(), AppTask::AppAddDocTask, {sample->record.appId, local})));
        }
        QCOMPARE(page.docs->rowCount(), docsBefore + 2);
        const int aRow = rowNamed(*page.docs, QStringLiteral("a.txt"));
        QVERIFY(aRow >= 0);
        QCOMPARE(page.docs->index(aRow, DocModel::ColSize).data().toString(), QStringLiteral("97.66 KB"));
        QCOMPARE(page.docs->index(aRow, 0).data(DocModel::TaskStateRole).toInt(), 0);

        AppTask *remove = page.docs->createTask(page.handler.get(), AppTask::AppDeleteDocTask, {sample->record.appId, QStringLiteral("b.txt")});
        page.docs->itemAt(rowNamed(*page.docs, QStringLiteral("b.txt")))->addAssociateTask(remove);
        QVERIFY(runToEnd(remove));
        QCOMPARE(page.docs->rowCount(), docsBefore + 1);

        // A fresh page over the same device sees what this one shows.
        Page fresh(m_device->id(0));
        QVERIFY(fresh.load());
        QCOMPARE(page.summary(), fresh.summary());
        const QStringList onDisk = QDir(m_device->appsDir(0) + QStringLiteral("/com.appshuttle.sample.documents/Documents"))
                                       .entryList(QDir::Files, QDir::Name);
        QStringList shown;
        for (int row = 0; row < page.docs->rowCount(); ++row)
            shown << page.docs->itemAt(row)->record.name;
        shown.sort();
        QCOMPARE(shown, onDisk);

        // Nothing is left of the tasks.
        for (const QPointer<AppTask> &t : m_tasks)
            QVERIFY(t.isNull());
        QVERIFY(AppTaskManager::instance()->registry(page.key()).isEmpty());
        QVERIFY(AppTaskCtrl::instance()->tasks(page.key()).isEmpty());
    }
};

QTEST_MAIN(TestAppFlow)
#include "tst_appflow.moc"
