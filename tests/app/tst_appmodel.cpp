// The app model and its proxy, fed by the app service's signals as the
// worker thread would send them, and the end of tasks' lives.

#include "AppHandler.h"
#include "AppIconCache.h"
#include "AppModel.h"
#include "AppProxyModel.h"
#include "AppTaskCtrl.h"
#include "AppTaskManager.h"
#include "AppTaskParams.h"
#include "DocModel.h"
#include "ZAppInfoItem.h"
#include "ZDocItemInfo.h"

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// A plain icon as the device sends it: PNG bytes.
QByteArray iconPng(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

AppInfoItem app(const QString &appId, const QString &name, quint64 appSize = 0, const QString &genre = QString())
{
    AppInfoItem item;
    item.appId = appId;
    item.name = name;
    item.appSize = appSize;
    item.genre = genre;
    item.version = QStringLiteral("1.0");
    return item;
}

AppInfoItemMap mapOf(const QList<AppInfoItem> &items)
{
    AppInfoItemMap map;
    for (const AppInfoItem &item : items)
        map.insert(item.appId, item);
    return map;
}

QStringList column(const QAbstractItemModel &model, int col)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, col).data().toString();
    return texts;
}

} // namespace

class TestAppModel : public QObject
{
    Q_OBJECT

    std::unique_ptr<AppHandler> m_handler;
    std::unique_ptr<AppModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    const QString m_key = QStringLiteral("devM");

    void load(const QList<AppInfoItem> &items) { emit m_handler->data_loadcompleted(mapOf(items)); }

private slots:
    void init()
    {
        m_handler.reset(new AppHandler(m_key.toUtf8()));
        m_model.reset(new AppModel(m_handler.get()));
        m_tester.reset(new QAbstractItemModelTester(m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest));
    }
    void cleanup()
    {
        m_tester.reset();
        m_model.reset();
        m_handler.reset();
        AppTaskManager::instance()->removeDevice(m_key);
    }

    void loadFillsRowsInIdentifierOrder()
    {
        QSignalSpy inserted(m_model.get(), &QAbstractItemModel::rowsInserted);
        load({});
        QCOMPARE(inserted.count(), 0);
        load({app(QStringLiteral("com.z.last"), QStringLiteral("Zed")), app(QStringLiteral("com.a.first"), QStringLiteral("Ant")),
              app(QStringLiteral("com.Q.upper"), QStringLiteral("Queue"))});
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(m_model->rowCount(), 3);
        QCOMPARE(m_model->columnCount(), 9);
        QCOMPARE(m_model->columnCount(m_model->index(0, 0)), 0);
        // Code unit order: upper case before lower case.
        QCOMPARE(column(*m_model, AppModel::ColName), (QStringList{QStringLiteral("Queue"), QStringLiteral("Ant"), QStringLiteral("Zed")}));
        QCOMPARE(m_model->index(1, 3).data(AppModel::NameRole).toString(), QStringLiteral("Ant"));
        QCOMPARE(m_model->item(QStringLiteral("com.z.last")), m_model->itemAt(2));
        QCOMPARE(m_model->rowOf(m_model->itemAt(1)), 1);
        QVERIFY(!m_model->item(QStringLiteral("com.none")));
    }

    void displayTexts_data()
    {
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << quint64(0) << QStringLiteral("0.00 KB");
        QTest::newRow("one-mib") << (quint64(1) << 20) << QStringLiteral("1024.00 KB");
        QTest::newRow("one-mib-plus-one") << (quint64(1) << 20) + 1 << QStringLiteral("1.00 MB");
        QTest::newRow("one-gib") << (quint64(1) << 30) << QStringLiteral("1024.00 MB");
        QTest::newRow("three-gib") << (quint64(3) << 30) << QStringLiteral("3.00 GB");
    }
    void displayTexts()
    {
        QFETCH(quint64, bytes);
        QFETCH(QString, text);
        AppInfoItem item = app(QStringLiteral("com.a"), QStringLiteral("A"), bytes);
        item.documentSize = bytes;
        load({item});
        QCOMPARE(m_model->index(0, AppModel::ColAppSize).data().toString(), text);
        QCOMPARE(m_model->index(0, AppModel::ColDocumentSize).data().toString(), text);
    }

    // The texts, roles, flags and ticks of a row; dates that do not read are empty.
    void rowTextsRolesFlagsAndChecks()
    {
        AppInfoItem item = app(QStringLiteral("com.a"), QStringLiteral("A"), 0, QStringLiteral("Games"));
        item.purchaseAccount = QStringLiteral("buyer@example.com");
        item.releaseDate = QDateTime(QDate(2014, 3, 9), QTime(12, 0)).toSecsSinceEpoch();
        item.purchaseDate = 0;
        load({item, app(QStringLiteral("com.b"), QStringLiteral("B"))});
        QStringList texts;
        for (int col = 0; col < m_model->columnCount(); ++col)
            texts << m_model->index(0, col).data().toString();
        QCOMPARE(texts, (QStringList{QString(), QStringLiteral("A"), item.purchaseAccount, QString(), QStringLiteral("Games"),
                                     QStringLiteral("0.00 KB"), QStringLiteral("0.00 KB"), QStringLiteral("1.0"),
                                     QStringLiteral("2014-03-09")}));
        QCOMPARE(m_model->index(0, 5).data(AppModel::GenreRole).toString(), QStringLiteral("Games"));

        QVERIFY(!m_model->headerData(0, Qt::Horizontal).isValid());
        m_model->setHeaderCheckState(1);
        QCOMPARE(m_model->headerData(0, Qt::Horizontal, Qt::DecorationRole).userType(), int(QMetaType::QIcon));
        QVERIFY(!m_model->headerData(1, Qt::Horizontal, Qt::DecorationRole).isValid());
        m_model->setHeaderCheckState(3);
        QVERIFY(!m_model->headerData(0, Qt::Horizontal, Qt::DecorationRole).isValid());

        QVERIFY(m_model->flags(QModelIndex()) & Qt::ItemIsDropEnabled);
        QCOMPARE(m_model->flags(m_model->index(0, 0)),
                 Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemIsUserCheckable);
        QCOMPARE(m_model->flags(m_model->index(0, 4)), Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled);

        m_model->setCheckedIndexes({m_model->index(1, 0)});
        QCOMPARE(m_model->index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(m_model->index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(!m_model->index(1, 1).data(Qt::CheckStateRole).isValid());
    }

    void installedAppsTakeTheirRow()
    {
        load({app(QStringLiteral("com.m"), QStringLiteral("M"))});
        m_model->setCheckedIndexes({m_model->index(0, 0)});
        AppTask *first = m_model->createTask(m_handler.get(), AppTask::InstallAppTask, {QStringLiteral("/p/a.ipa")});
        AppTask *last = m_model->createTask(m_handler.get(), AppTask::InstallAppTask, {QStringLiteral("/p/z.ipa")});
        QVERIFY(first && last);
        QVERIFY(m_model->refersTo(first));
        QCOMPARE(m_model->rowCount(), 1);   // placeholders are no rows

        QSignalSpy inserted(m_model.get(), &QAbstractItemModel::rowsInserted);
        QSignalSpy added(m_model.get(), &AppModel::data_itemadded);
        emit m_handler->data_itemadded(app(QStringLiteral("com.z"), QStringLiteral("Z")), last);
        QCOMPARE(inserted.last().at(1).toInt(), 1);   // row == old row count
        emit m_handler->data_itemadded(app(QStringLiteral("com.a"), QStringLiteral("A")), first);
        QCOMPARE(inserted.last().at(1).toInt(), 0);
        QCOMPARE(column(*m_model, 1), (QStringList{QStringLiteral("A"), QStringLiteral("M"), QStringLiteral("Z")}));
        QCOMPARE(m_model->checkedIndexes(), QModelIndexList{m_model->index(1, 0)});   // the tick moved with M
        QCOMPARE(added.count(), 2);
        QVERIFY(!m_model->refersTo(first));

        // A replaced app keeps its single row; an unknown task adds nothing.
        AppTask *again = m_model->createTask(m_handler.get(), AppTask::InstallAppTask, {QStringLiteral("/p/m.ipa")});
        AppInfoItem newer = app(QStringLiteral("com.m"), QStringLiteral("M"));
        newer.version = QStringLiteral("2.0");
        emit m_handler->data_itemadded(newer, again);
        QCOMPARE(m_model->rowCount(), 3);
        QCOMPARE(m_model->index(1, AppModel::ColVersion).data().toString(), QStringLiteral("2.0"));
        emit m_handler->data_itemadded(app(QStringLiteral("com.q"), QStringLiteral("Q")), again);
        QCOMPARE(m_model->rowCount(), 3);
        for (AppTask *t : {first, last, again})
            delete t;
    }

    void removalsAndSizeChanges()
    {
        load({app(QStringLiteral("com.a"), QStringLiteral("A"), 10), app(QStringLiteral("com.b"), QStringLiteral("B"), 20)});
        emit m_handler->data_itemremoved(std::string("com.none"));
        QCOMPARE(m_model->rowCount(), 2);
        QSignalSpy removed(m_model.get(), &QAbstractItemModel::rowsRemoved);
        emit m_handler->data_itemremoved(std::string("com.a"));
        QCOMPARE(removed.count(), 1);
        QCOMPARE(column(*m_model, 1), QStringList{QStringLiteral("B")});

        QSignalSpy changed(m_model.get(), &QAbstractItemModel::dataChanged);
        AppInfoItem b = app(QStringLiteral("com.b"), QStringLiteral("ignored"), 4096);
        b.documentSize = 2048;
        emit m_handler->data_itemchanged(b, DOCSIZE_CHANGED);
        QCOMPARE(m_model->itemAt(0)->record.documentSize, quint64(2048));
        QCOMPARE(m_model->itemAt(0)->record.appSize, quint64(20));
        QCOMPARE(changed.last().at(0).toModelIndex().column(), 6);
        emit m_handler->data_itemchanged(b, SIZE_CHANGED);
        QCOMPARE(m_model->itemAt(0)->record.appSize, quint64(4096));
        QCOMPARE(changed.last().at(0).toModelIndex().column(), 5);
        QCOMPARE(changed.last().at(1).toModelIndex().column(), 6);
        const int before = changed.count();
        emit m_handler->data_itemchanged(b, DOC_ALL_CHANGED);   // not an app reason
        QCOMPARE(changed.count(), before);
        QCOMPARE(m_model->itemAt(0)->record.name, QStringLiteral("B"));
    }

    void arrivalsAfterTheListAndEmptyReload()
    {
        load({app(QStringLiteral("com.a"), QStringLiteral("A")), app(QStringLiteral("com.b"), QStringLiteral("B")),
              app(QStringLiteral("com.c"), QStringLiteral("C"))});
        QSignalSpy changed(m_model.get(), &QAbstractItemModel::dataChanged);
        AppInfoItem b = app(QStringLiteral("com.b"), QStringLiteral("Home B"));
        b.iconPng = iconPng(120, 60);
        QVERIFY(!m_model->index(1, 0).data(Qt::DecorationRole).isValid());
        emit m_handler->data_itemchanged(b, ICON_CHANGED);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.last().at(0).toModelIndex(), m_model->index(1, 0));
        QCOMPARE(m_model->itemAt(1)->record.name, QStringLiteral("B"));   // an icon changes only the icon
        const QImage shown = m_model->index(1, 0).data(Qt::DecorationRole).value<QPixmap>().toImage();
        QCOMPARE(shown.size(), QSize(AppIconCache::kSide, AppIconCache::kSide));
        QCOMPARE(shown.pixelColor(40, 40), QColor(Qt::red));
        QVERIFY(!m_model->index(0, 0).data(Qt::DecorationRole).isValid());
        QVERIFY(!m_model->index(1, 1).data(Qt::DecorationRole).isValid());

        emit m_handler->data_itemchanged(b, INFO_CHANGED);
        QCOMPARE(changed.last().at(0).toModelIndex().row(), 1);
        QCOMPARE(column(*m_model, 1), (QStringList{QStringLiteral("A"), QStringLiteral("Home B"), QStringLiteral("C")}));

        // Ticks survive a reload that still finds their app, not a removal.
        m_model->setCheckedIndexes({m_model->index(1, 0), m_model->index(2, 0)});
        load({app(QStringLiteral("com.b"), QStringLiteral("B")), app(QStringLiteral("com.c"), QStringLiteral("C"))});
        QCOMPARE(m_model->checkedIndexes(), (QModelIndexList{m_model->index(0, 0), m_model->index(1, 0)}));
        emit m_handler->data_itemremoved(std::string("com.b"));
        QCOMPARE(m_model->checkedIndexes(), QModelIndexList{m_model->index(0, 0)});
        // A reload that finds nothing leaves nothing behind.
        load({});
        QCOMPARE(m_model->rowCount(), 0);
        QVERIFY(!m_model->item(QStringLiteral("com.b")));
    }

    void finishedTasks_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("failures");
        QTest::newRow("install-fails") << int(AppTask::InstallAppTask) << -1001 << 1;
        QTest::newRow("install-declined") << int(AppTask::InstallAppTask) << -1005 << 0;
        QTest::newRow("install-untagged") << int(AppTask::InstallAppTask) << -1003 << 1;
        QTest::newRow("export-ok") << int(AppTask::ExportApptoPCTask) << 0 << 0;
        QTest::newRow("export-fails") << int(AppTask::ExportApptoPCTask) << -1009 << 1;
        QTest::newRow("load") << int(AppTask::LoadAppDataTask) << -1 << 0;
    }
    void finishedTasks()
    {
        QFETCH(int, kind);
        QFETCH(int, error);
        QFETCH(int, failures);
        load({app(QStringLiteral("com.a"), QStringLiteral("A"))});
        ZAppInfoItem *item = m_model->itemAt(0);
        AppTask *task = m_model->createTask(m_handler.get(), kind, {AppTaskParams::appHandle(item), true, QStringLiteral("/t")});
        if (kind != AppTask::InstallAppTask && kind != AppTask::LoadAppDataTask)
            item->addAssociateTask(task);
        QCOMPARE(AppTaskManager::instance()->registry(m_key).size(), 1);
        QSignalSpy failed(m_model.get(), &AppModel::taskFailed);
        QSignalSpy loaded(m_model.get(), &AppModel::loadTaskCompleted);
        QSignalSpy changed(m_model.get(), &QAbstractItemModel::dataChanged);

        task->setStatus(AppTask::STATUS_RUNNING);
        task->setProgress(30);
        QCOMPARE(failed.count(), 0);
        task->setError(error);
        task->setStatus(AppTask::STATUS_FINISHED);
        QCOMPARE(failed.count(), failures);
        if (failures)
            QCOMPARE(failed.at(0).at(0).value<AppTask *>(), task);
        QCOMPARE(loaded.count(), kind == AppTask::LoadAppDataTask ? 1 : 0);
        QVERIFY(!m_model->refersTo(task));   // placeholder gone, record free
        QVERIFY(item->associatedTasks().isEmpty());
        if (kind == AppTask::ExportApptoPCTask) {
            QVERIFY(!changed.isEmpty());
            QCOMPARE(changed.last().at(1).toModelIndex().column(), 8);
        }
        QVERIFY(AppTaskManager::instance()->registry(m_key).isEmpty());
        QCOMPARE(m_model->rowCount(), 1);
        delete task;
    }

    void proxySortsAndFilters()
    {
        AppInfoItem small = app(QStringLiteral("com.b.small"), QStringLiteral("beta"), 900 * 1024, QStringLiteral("Music"));
        AppInfoItem big = app(QStringLiteral("com.a.big"), QStringLiteral("Alpha"), 2 << 20, QStringLiteral("Games"));
        AppInfoItem mid = app(QStringLiteral("com.c.mid"), QStringLiteral("gamma"), 1 << 20, QStringLiteral("Music"));
        big.iconPng = iconPng(10, 10);
        load({small, big, mid});
        AppProxyModel proxy;
        QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        proxy.setSourceModel(m_model.get());

        proxy.setViewType(AppProxyModel::DetailView);
        proxy.sort(AppModel::ColAppSize, Qt::AscendingOrder);
        // 900.00 KB < 1024.00 KB < 2.00 MB although "900" > "2" as text.
        QCOMPARE(column(proxy, 1), (QStringList{QStringLiteral("beta"), QStringLiteral("gamma"), QStringLiteral("Alpha")}));
        proxy.sort(AppModel::ColGenre, Qt::AscendingOrder);
        QCOMPARE(column(proxy, 4).first(), QStringLiteral("Games"));
        proxy.sort(AppModel::ColCheck, Qt::AscendingOrder);
        QCOMPARE(column(proxy, 1), column(*m_model, 1));
        QVERIFY(!proxy.index(0, 0).data(Qt::DecorationRole).isValid());
        QVERIFY(proxy.index(0, 0).data(Qt::CheckStateRole).isValid());

        proxy.setFilterWord(QStringLiteral("MUSIC"));   // a genre word
        proxy.slot_modelRowChange();
        QCOMPARE(proxy.rowCount(), 2);
        proxy.setViewType(AppProxyModel::IconView);
        proxy.slot_modelRowChange();
        QCOMPARE(proxy.rowCount(), 0);
        proxy.setFilterWord(QStringLiteral("ALP"));   // the name in another case
        proxy.slot_modelRowChange();
        QCOMPARE(proxy.rowCount(), 1);
        QVERIFY(proxy.index(0, 0).data(Qt::DecorationRole).isValid());
        QVERIFY(!proxy.index(0, 0).data(Qt::CheckStateRole).isValid());
        QCOMPARE(proxy.dataItemFromIndex(proxy.index(0, 0)), m_model->item(QStringLiteral("com.a.big")));

        proxy.setFilterWord(QString());
        proxy.sort(0, Qt::AscendingOrder);
        proxy.slot_modelRowChange();
        QCOMPARE(column(proxy, 1), (QStringList{QStringLiteral("Alpha"), QStringLiteral("beta"), QStringLiteral("gamma")}));
        proxy.setListKey(1);   // compares nothing: source order
        proxy.slot_modelRowChange();
        QCOMPARE(proxy.rowCount(), 3);

        proxy.setCheckedIndexes({proxy.index(2, 0)});
        QCOMPARE(m_model->checkedIndexes(), (QModelIndexList{proxy.mapToSource(proxy.index(2, 0))}));
        proxy.setHeaderCheckState(2);
        QCOMPARE(m_model->headerCheckState(), 2);
        AppTask *task = proxy.createTask(m_handler.get(), AppTask::LoadAppDataTask, {});
        QVERIFY(task);
        delete task;

        AppProxyModel orphanProxy;
        QVERIFY(!orphanProxy.createTask(m_handler.get(), AppTask::LoadAppDataTask, {}));
        QVERIFY(!orphanProxy.dataItemFromIndex(QModelIndex()));
    }

    // Tasks run through the controller are deleted once the worker, the
    // controller and the models are done with them, and nothing reads them
    // afterwards (this test also runs in the address-sanitizer build).
    void tasksAreDeletedOnceEveryoneIsDone()
    {
        load({app(QStringLiteral("com.a"), QStringLiteral("A")), app(QStringLiteral("com.b"), QStringLiteral("B"))});
        DocModel docs(m_model.get());
        QAbstractItemModelTester docTester(&docs, QAbstractItemModelTester::FailureReportingMode::QtTest);
        ZAppInfoItem *a = m_model->itemAt(0);
        DocItemInfo doc;
        doc.name = QStringLiteral("n.txt");
        doc.path = QStringLiteral("devM/Documents/n.txt");
        doc.isFile = 1;
        a->record.documents << doc;
        docs.setCurrentApp(a);

        // The device "devM" does not exist: every operation fails quickly.
        QList<QPointer<AppTask>> tasks;
        auto add = [&](AppTask *task) {
            tasks << task;
            AppTaskCtrl::instance()->addTask(task);
        };
        AppTask *uninstall = m_model->createTask(m_handler.get(), AppTask::UninstallAppTask, {AppTaskParams::appHandle(a)});
        a->addAssociateTask(uninstall);
        AppTask *exportPc = m_model->createTask(m_handler.get(), AppTask::ExportApptoPCTask,
                                                {AppTaskParams::appHandle(m_model->itemAt(1)), true, QStringLiteral("/nonexistent/x.ipa")});
        m_model->itemAt(1)->addAssociateTask(exportPc);
        AppTask *deleteDoc = docs.createTask(m_handler.get(), AppTask::AppDeleteDocTask, {QStringLiteral("com.a"), doc.name});
        docs.itemAt(0)->addAssociateTask(deleteDoc);
        QSignalSpy failed(m_model.get(), &AppModel::taskFailed);
        QList<int> errorsSeen;
        connect(m_model.get(), &AppModel::taskFailed, this, [&](AppTask *t) { errorsSeen << t->error(); });
        add(m_model->createTask(m_handler.get(), AppTask::LoadAppDataTask, {}));
        add(m_model->createTask(m_handler.get(), AppTask::InstallAppTask, {QStringLiteral("/nonexistent.ipa")}));
        add(uninstall);
        add(exportPc);
        add(docs.createTask(m_handler.get(), AppTask::AppAddDocTask, {QStringLiteral("com.a"), QStringLiteral("/nonexistent.txt")}));
        add(deleteDoc);
        for (const QPointer<AppTask> &t : tasks)
            QVERIFY(t);

        QTRY_VERIFY_WITH_TIMEOUT(std::none_of(tasks.begin(), tasks.end(), [](const QPointer<AppTask> &t) { return bool(t); }),
                                 20000);
        QCOMPARE(failed.count(), 3);   // install, uninstall, export
        for (int error : errorsSeen)
            QVERIFY(error < 0);
        QVERIFY(AppTaskManager::instance()->registry(m_key).isEmpty());
        QVERIFY(AppTaskCtrl::instance()->tasks(m_key).isEmpty());
        QVERIFY(!AppTaskCtrl::instance()->isBusy(m_key));
        // Every role of every row, with the records' task lists, after the deletions.
        for (QAbstractItemModel *model : {static_cast<QAbstractItemModel *>(m_model.get()), static_cast<QAbstractItemModel *>(&docs)}) {
            for (int row = 0; row < model->rowCount(); ++row) {
                for (int col = 0; col < model->columnCount(); ++col) {
                    for (int role : {0, 1, 3, 7, 10, 33, 34, 35, 45, 46})
                        model->index(row, col).data(role);
                }
            }
        }
        QCOMPARE(docs.index(0, 0).data(DocModel::TaskStateRole).toInt(), 0);
        QVERIFY(a->associatedTasks().isEmpty());
        QVERIFY(docs.itemAt(0)->associatedTasks().isEmpty());
        AppTaskCtrl::instance()->removeDevice(m_key);
    }
};

QTEST_MAIN(TestAppModel)
#include "tst_appmodel.moc"
