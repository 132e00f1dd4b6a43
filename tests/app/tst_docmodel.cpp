// The document model, driven by the app model's document signals as the
// app service sends them.

#include "AppHandler.h"
#include "AppModel.h"
#include "AppTaskManager.h"
#include "DocModel.h"
#include "ExportDoctoPCTask.h"
#include "ZAppInfoItem.h"
#include "ZDocItemInfo.h"

#include <QAbstractItemModelTester>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

DocItemInfo doc(const QString &name, qint64 size = 100, int isFile = 1)
{
    DocItemInfo d;
    d.name = name;
    d.path = QStringLiteral("devD/Documents/") + name;
    d.size = size;
    d.isFile = isFile;
    d.modifiedTime = QDateTime(QDate(2020, 1, 2), QTime(3, 4));
    return d;
}

AppInfoItem app(const QString &appId, const QList<DocItemInfo> &docs = {})
{
    AppInfoItem item;
    item.appId = appId;
    item.name = appId;
    item.fileSharingEnabled = true;
    item.documents = docs;
    return item;
}

} // namespace

class TestDocModel : public QObject
{
    Q_OBJECT

    std::unique_ptr<AppHandler> m_handler;
    std::unique_ptr<AppModel> m_apps;
    std::unique_ptr<DocModel> m_docs;
    std::unique_ptr<QAbstractItemModelTester> m_appTester;
    std::unique_ptr<QAbstractItemModelTester> m_docTester;
    const QString m_key = QStringLiteral("devD");

    QStringList names() const
    {
        QStringList list;
        for (int row = 0; row < m_docs->rowCount(); ++row)
            list << m_docs->index(row, DocModel::ColName).data().toString();
        return list;
    }
    // What the app service sends for an added document: the record with the
    // document in it, then the document and the task.
    void announceAdded(const QString &appId, const DocItemInfo &d, AppTask *task)
    {
        AppInfoItem item = m_apps->item(appId)->record;
        item.documents << d;
        emit m_handler->data_app_docAdded(item, d, task);
    }

private slots:
    void init()
    {
        m_handler.reset(new AppHandler(m_key.toUtf8()));
        m_apps.reset(new AppModel(m_handler.get()));
        m_docs.reset(new DocModel(m_apps.get()));
        using Mode = QAbstractItemModelTester::FailureReportingMode;
        m_appTester.reset(new QAbstractItemModelTester(m_apps.get(), Mode::QtTest));
        m_docTester.reset(new QAbstractItemModelTester(m_docs.get(), Mode::QtTest));
        AppInfoItemMap map;
        map.insert(QStringLiteral("com.a"), app(QStringLiteral("com.a"), {doc(QStringLiteral("x.txt")), doc(QStringLiteral("m.txt"))}));
        map.insert(QStringLiteral("com.b"), app(QStringLiteral("com.b")));
        emit m_handler->data_loadcompleted(map);
    }
    void cleanup()
    {
        m_docTester.reset();
        m_appTester.reset();
        m_docs.reset();
        m_apps.reset();
        m_handler.reset();
        AppTaskManager::instance()->removeDevice(m_key);
    }

    void listsAreBuiltOnceAndKept()
    {
        QCOMPARE(m_docs->rowCount(), 0);
        QCOMPARE(m_docs->columnCount(), 4);
        ZAppInfoItem *a = m_apps->item(QStringLiteral("com.a"));
        m_docs->setCurrentApp(a);
        QCOMPARE(names(), (QStringList{QStringLiteral("x.txt"), QStringLiteral("m.txt")}));   // the record's order
        QCOMPARE(m_docs->allIndexes().size(), 2);
        QCOMPARE(m_docs->columnCount(m_docs->index(0, 0)), 0);

        // A document added while another app is shown appears when the app
        // is shown again, once.
        m_docs->setCurrentApp(m_apps->item(QStringLiteral("com.b")));
        AppTask *add = m_docs->createTask(m_handler.get(), AppTask::AppAddDocTask, {QStringLiteral("com.a"), QStringLiteral("/l/b.txt")});
        announceAdded(QStringLiteral("com.a"), doc(QStringLiteral("b.txt")), add);
        QCOMPARE(m_docs->rowCount(), 0);
        m_docs->setCurrentApp(a);
        m_docs->setCurrentApp(a);
        QCOMPARE(names(), (QStringList{QStringLiteral("b.txt"), QStringLiteral("x.txt"), QStringLiteral("m.txt")}));
        m_docs->setCurrentApp(nullptr);
        QCOMPARE(m_docs->rowCount(), 0);
        delete add;

        // Documents that arrive after the app list fill a list already shown.
        ZAppInfoItem *b = m_apps->item(QStringLiteral("com.b"));
        m_docs->setCurrentApp(b);
        QCOMPARE(m_docs->rowCount(), 0);
        emit m_handler->data_itemchanged(app(QStringLiteral("com.b"), {doc(QStringLiteral("late.txt"))}), DOC_ALL_CHANGED,
                                         DocItemInfo());
        QCOMPARE(names(), QStringList{QStringLiteral("late.txt")});
        QCOMPARE(b->record.documents.size(), 1);
    }

    void foldersFirstThenNames()
    {
        m_docs->setCurrentApp(m_apps->item(QStringLiteral("com.b")));
        QSignalSpy inserted(m_docs.get(), &QAbstractItemModel::rowsInserted);
        QList<AppTask *> tasks;
        const QList<DocItemInfo> incoming{doc(QStringLiteral("a"), 5), doc(QStringLiteral("b"), 0, 0),
                                          doc(QStringLiteral("C"), 7), doc(QStringLiteral("a2"), 9)};
        for (const DocItemInfo &d : incoming) {
            AppTask *task = m_docs->createTask(m_handler.get(), AppTask::AppAddDocTask, {QStringLiteral("com.b"), d.name});
            tasks << task;
            announceAdded(QStringLiteral("com.b"), d, task);
        }
        QCOMPARE(inserted.count(), 4);
        QCOMPARE(inserted.at(1).at(1).toInt(), 0);   // the folder goes first
        QCOMPARE(names(), (QStringList{QStringLiteral("b"), QStringLiteral("C"), QStringLiteral("a"), QStringLiteral("a2")}));
        QCOMPARE(m_docs->index(0, DocModel::ColSize).data().toString(), QString());   // a folder has no size
        QCOMPARE(m_docs->index(1, DocModel::ColSize).data().toString(), QStringLiteral("0.01 KB"));
        QCOMPARE(m_docs->index(1, DocModel::ColModified).data().toString(), QStringLiteral("2020-01-02 03:04"));
        QCOMPARE(m_docs->index(1, DocModel::ColModified).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
        QCOMPARE(m_docs->index(1, DocModel::ColName).data(Qt::ToolTipRole).toString(), QStringLiteral("C"));
        QVERIFY(!m_docs->index(1, DocModel::ColSize).data(Qt::ToolTipRole).isValid());
        QVERIFY(!m_docs->index(1, 0).data(Qt::DecorationRole).isValid());   // no icon provider set

        // Roles of the task state while the adds are still attached.
        QCOMPARE(m_docs->index(1, 2).data(DocModel::TaskStateRole).toInt(), 1);
        tasks[2]->setProgress(42);
        QCOMPARE(m_docs->index(1, 2).data(DocModel::TaskProgressRole).toInt(), 42);
        const auto *item = reinterpret_cast<ZDocItemInfo *>(quintptr(m_docs->index(1, 3).data(DocModel::ItemRole).toLongLong()));
        QCOMPARE(item, m_docs->itemAt(1));
        QCOMPARE(m_docs->rowOf(item), 1);
        QCOMPARE(m_docs->rowOf(incoming[3]), 3);
        QCOMPARE(m_docs->dataItemByTask(tasks[0]), m_docs->itemAt(2));
        QVERIFY(m_docs->hasBusyDocument(QStringLiteral("com.b")));

        for (AppTask *task : tasks) {
            task->setStatus(AppTask::STATUS_FINISHED);
            QVERIFY(!m_docs->refersTo(task));
        }
        QCOMPARE(m_docs->index(1, 2).data(DocModel::TaskStateRole).toInt(), 0);
        QVERIFY(!m_docs->index(1, 2).data(DocModel::TaskProgressRole).isValid());
        QVERIFY(!m_docs->hasBusyDocument(QStringLiteral("com.b")));
        QVERIFY(AppTaskManager::instance()->registry(m_key).isEmpty());
        qDeleteAll(tasks);
    }

    void failedAddLeavesNoRow()
    {
        m_docs->setCurrentApp(m_apps->item(QStringLiteral("com.a")));
        AppTask *declined = m_docs->createTask(m_handler.get(), AppTask::AppAddDocTask, {QStringLiteral("com.a"), QStringLiteral("/l/x.txt")});
        QVERIFY(m_docs->refersTo(declined));
        declined->setError(-1006);
        declined->setStatus(AppTask::STATUS_FINISHED);
        QVERIFY(!m_docs->refersTo(declined));
        QCOMPARE(m_docs->rowCount(), 2);

        // An empty file: announced, removed again, then the failure.
        AppTask *empty = m_docs->createTask(m_handler.get(), AppTask::AppAddDocTask, {QStringLiteral("com.a"), QStringLiteral("/l/e.txt")});
        const DocItemInfo e = doc(QStringLiteral("e.txt"), 0);
        announceAdded(QStringLiteral("com.a"), e, empty);
        QCOMPARE(m_docs->rowCount(), 3);
        emit m_handler->data_itemchanged(m_apps->item(QStringLiteral("com.a"))->record, DOC_REMOVED, e);
        QCOMPARE(m_docs->rowCount(), 2);
        empty->setError(-2);
        empty->setStatus(AppTask::STATUS_FINISHED);
        QCOMPARE(names(), (QStringList{QStringLiteral("x.txt"), QStringLiteral("m.txt")}));
        QVERIFY(!m_docs->refersTo(empty));
        delete declined;
        delete empty;
    }

    void changesAndRemovals()
    {
        m_docs->setCurrentApp(m_apps->item(QStringLiteral("com.a")));
        const AppInfoItem record = m_apps->item(QStringLiteral("com.a"))->record;
        QSignalSpy changed(m_docs.get(), &QAbstractItemModel::dataChanged);
        DocItemInfo m = doc(QStringLiteral("m.txt"), 3 << 20);
        emit m_handler->data_itemchanged(record, DOC_SIZE_CHANGED, m);
        QCOMPARE(m_docs->index(1, DocModel::ColSize).data().toString(), QStringLiteral("3.00 MB"));
        QCOMPARE(changed.last().at(0).toModelIndex().column(), 3);
        m.modifiedTime = QDateTime(QDate(2021, 5, 6), QTime(7, 8));
        emit m_handler->data_itemchanged(record, DOC_MODIFIED_CHANGED, m);
        QCOMPARE(m_docs->index(1, DocModel::ColModified).data().toString(), QStringLiteral("2021-05-06 07:08"));
        QCOMPARE(changed.last().at(0).toModelIndex().column(), 2);
        // The final file information of an added document brings its size.
        m.size = 5 << 20;
        emit m_handler->data_itemchanged(record, DOC_CREATED_CHANGED, m);
        QCOMPARE(m_docs->index(1, DocModel::ColSize).data().toString(), QStringLiteral("5.00 MB"));
        QCOMPARE(changed.last().at(1).toModelIndex().column(), 3);
        m.name = QStringLiteral("renamed.txt");
        emit m_handler->data_itemchanged(record, DOC_ALL_CHANGED, m);
        QCOMPARE(m_docs->index(1, DocModel::ColName).data().toString(), QStringLiteral("renamed.txt"));
        QCOMPARE(changed.last().at(1).toModelIndex().column(), 3);
        const int count = changed.count();
        emit m_handler->data_itemchanged(record, DOC_SIZE_CHANGED, doc(QStringLiteral("unknown")));
        QCOMPARE(changed.count(), count);

        // Changes to an app that is not shown change its list silently.
        emit m_handler->data_itemchanged(record, DOC_REMOVED, doc(QStringLiteral("nothere")));
        QCOMPARE(m_docs->rowCount(), 2);
        QSignalSpy removed(m_docs.get(), &QAbstractItemModel::rowsRemoved);
        emit m_handler->data_itemchanged(record, DOC_REMOVED, doc(QStringLiteral("x.txt")));
        QCOMPARE(removed.count(), 1);
        QCOMPARE(names(), QStringList{QStringLiteral("renamed.txt")});

        // The shown app itself removed: the list empties.
        QSignalSpy reset(m_docs.get(), &QAbstractItemModel::modelReset);
        emit m_handler->data_itemremoved(std::string("com.a"));
        QCOMPARE(reset.count(), 1);
        QVERIFY(!m_docs->currentApp());
        QCOMPARE(m_docs->rowCount(), 0);
        QVERIFY(!m_docs->adoptOrphanDataItem(nullptr));
    }

    void exportProgressAndFinish()
    {
        m_docs->setCurrentApp(m_apps->item(QStringLiteral("com.a")));
        auto *task = static_cast<ExportDoctoPCTask *>(m_docs->createTask(
            m_handler.get(), AppTask::ExportDoctoPCTask, {QStringLiteral("com.a"), QStringLiteral("/out/m.txt"), QStringLiteral("m.txt")}));
        m_docs->itemAt(1)->addAssociateTask(task);
        QCOMPARE(m_docs->index(1, 0).data(DocModel::TaskStateRole).toInt(), 2);
        QSignalSpy changed(m_docs.get(), &QAbstractItemModel::dataChanged);
        task->setProgress(60);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.last().at(0).toModelIndex().row(), 1);
        QCOMPARE(m_docs->index(1, 0).data(DocModel::TaskProgressRole).toInt(), 60);
        task->setStatus(AppTask::STATUS_FINISHED);
        QVERIFY(m_docs->itemAt(1)->associatedTasks().isEmpty());
        QVERIFY(!m_docs->dataItemByTask(task));
        QVERIFY(AppTaskManager::instance()->registry(m_key).isEmpty());
        delete task;
    }

    void iconsComeFromTheProvider()
    {
        DocModel::setIconProvider([](const QString &name) {
            QImage image(32, 32, QImage::Format_ARGB32);
            image.fill(name.endsWith(QLatin1String(".txt")) ? Qt::blue : Qt::green);
            return image;
        });
        m_docs->setCurrentApp(m_apps->item(QStringLiteral("com.a")));
        const QVariant icon = m_docs->index(0, 0).data(Qt::DecorationRole);
        DocModel::setIconProvider(nullptr);
        QCOMPARE(icon.userType(), int(QMetaType::QPixmap));
        QCOMPARE(icon.value<QPixmap>().size(), QSize(16, 16));
        QVERIFY(!m_docs->index(0, 1).data(Qt::DecorationRole).isValid());
    }
};

QTEST_MAIN(TestDocModel)
#include "tst_docmodel.moc"
