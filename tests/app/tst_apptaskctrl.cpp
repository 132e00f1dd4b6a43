// The task engine: worker threads per device, strict order, busy test,
// progress average, cancel, removal of a device, the blocking overwrite question,
// the task kinds' parameters and the task manager's registry.

#include "AppHandler.h"
#include "AppTaskCtrl.h"
#include "AppTaskManager.h"
#include "AppTaskParams.h"
#include "ExportApptoPCTask.h"
#include "InstallAppTask.h"
#include "UninstallAppTask.h"
#include "ZAppInfoItem.h"

#include <QMutex>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

namespace {

// What the worker threads did, in the order they did it.
struct Journal
{
    QMutex mutex;
    QStringList events;
    void add(const QString &event)
    {
        QMutexLocker lock(&mutex);
        events << event;
    }
    QStringList take()
    {
        QMutexLocker lock(&mutex);
        return events;
    }
};

// A task whose operation waits on a gate (when given one) and records its
// start and end.
class GateTask : public AppTask
{
public:
    GateTask(AppHandler *handler, int kind, const QString &name, Journal *journal, QSemaphore *gate = nullptr)
        : AppTask(handler, kind), m_name(name), m_journal(journal), m_gate(gate)
    {
    }
    void setParams(const QVariantList &) override {}
    int execute() override
    {
        return runFrame([this] {
            m_thread = QThread::currentThread()->objectName();
            m_journal->add(m_name + QStringLiteral(" start"));
            started = true;
            if (m_gate)
                m_gate->acquire();
            m_journal->add(m_name + QStringLiteral(" end"));
            returned = true;
            return 0;
        });
    }
    void cancel() override
    {
        cancelled = true;
        if (onCancel)
            onCancel();
    }
    QString threadName() const { return m_thread; }

    std::atomic<bool> started{false};
    std::atomic<bool> returned{false};
    bool cancelled = false;
    std::function<void()> onCancel;

private:
    QString m_name;
    Journal *m_journal;
    QSemaphore *m_gate;
    QString m_thread;
};

// An install whose operation only asks the overwrite question.
class AskingInstallTask : public InstallAppTask
{
public:
    using InstallAppTask::InstallAppTask;
    std::atomic<bool> answered{false};
    int execute() override
    {
        return runFrame([this] {
            bool overwrite = false;
            requestOverwriteConfirm(&overwrite);
            answered = true;
            return overwrite ? 0 : -1005;
        });
    }
};

} // namespace

class TestAppTaskCtrl : public QObject
{
    Q_OBJECT

    std::unique_ptr<AppHandler> m_a;
    std::unique_ptr<AppHandler> m_b;
    QList<AppTask *> m_owned;

    GateTask *gateTask(AppHandler *handler, int kind, const QString &name, Journal *journal,
                       QSemaphore *gate = nullptr)
    {
        auto *task = new GateTask(handler, kind, name, journal, gate);
        m_owned << task;
        return task;
    }
    static bool finished(AppTask *task) { return task->status() == AppTask::STATUS_FINISHED; }

private slots:
    void init()
    {
        // Identifiers that do not start with a digit: the handler reads no device.
        m_a.reset(new AppHandler("devA"));
        m_b.reset(new AppHandler("devB"));
    }
    void cleanup()
    {
        AppTaskCtrl::instance()->removeDevice(QStringLiteral("devA"));
        AppTaskCtrl::instance()->removeDevice(QStringLiteral("devB"));
        AppTaskManager::instance()->removeDevice(QStringLiteral("devA"));
        // The threads are gone; deliver what they sent before the tasks go.
        // Tasks made here are retired by no model, so none is deleted behind our back.
        QCoreApplication::sendPostedEvents();
        qDeleteAll(m_owned);
        m_owned.clear();
    }

    void oneDeviceInOrderTwoDevicesOverlap()
    {
        Journal journal;
        QSemaphore gateA;
        QList<GateTask *> a;
        for (int i = 1; i <= 3; ++i)
            a << gateTask(m_a.get(), AppTask::UninstallAppTask, QStringLiteral("a%1").arg(i), &journal, &gateA);
        GateTask *b = gateTask(m_b.get(), AppTask::UninstallAppTask, QStringLiteral("b1"), &journal);
        for (GateTask *t : a)
            AppTaskCtrl::instance()->addTask(t);
        QCOMPARE(a[1]->status(), AppTask::STATUS_WAITING);
        QTRY_VERIFY(a[0]->started);
        AppTaskCtrl::instance()->addTask(b);

        // b1 runs to its end while a1 still holds device A's thread.
        QTRY_VERIFY(finished(b));
        QVERIFY(!a[0]->returned);
        QVERIFY(!a[1]->started);
        QCOMPARE(a[0]->threadName(), QStringLiteral("device-devA"));
        QCOMPARE(b->threadName(), QStringLiteral("device-devB"));

        gateA.release(3);
        QTRY_VERIFY(finished(a[2]));
        QStringList deviceA;
        for (const QString &e : journal.take()) {
            if (e.startsWith(QLatin1Char('a')))
                deviceA << e;
        }
        QCOMPARE(deviceA, (QStringList{QStringLiteral("a1 start"), QStringLiteral("a1 end"),
                                       QStringLiteral("a2 start"), QStringLiteral("a2 end"),
                                       QStringLiteral("a3 start"), QStringLiteral("a3 end")}));
        QTRY_VERIFY(AppTaskCtrl::instance()->tasks(QStringLiteral("devA")).isEmpty());

        // The thread now sleeps on an empty queue; a new task wakes it.
        QVERIFY(AppTaskCtrl::instance()->hasThread(QStringLiteral("devA")));
        GateTask *later = gateTask(m_a.get(), AppTask::UninstallAppTask, QStringLiteral("a4"), &journal);
        AppTaskCtrl::instance()->addTask(later);
        QTRY_VERIFY(finished(later));
    }

    void busyTestAndProgressAverage()
    {
        Journal journal;
        QSemaphore gate;
        const QString key = QStringLiteral("devA");
        auto *ctrl = AppTaskCtrl::instance();
        GateTask *load = gateTask(m_a.get(), AppTask::LoadAppDataTask, QStringLiteral("load"), &journal, &gate);
        ctrl->addTask(load);
        QVERIFY(!ctrl->isBusy(key));
        QCOMPARE(ctrl->progress(key).first, 0);

        GateTask *addDoc = gateTask(m_a.get(), AppTask::AppAddDocTask, QStringLiteral("doc"), &journal, &gate);
        ctrl->addTask(addDoc);
        QVERIFY(ctrl->isBusy(key));
        addDoc->setProgress(90);
        QCOMPARE(ctrl->progress(key).first, 0);   // document tasks do not count

        GateTask *install = gateTask(m_a.get(), AppTask::InstallAppTask, QStringLiteral("in"), &journal, &gate);
        GateTask *exportPc = gateTask(m_a.get(), AppTask::ExportApptoPCTask, QStringLiteral("ex"), &journal, &gate);
        ctrl->addTask(install);
        ctrl->addTask(exportPc);
        install->setProgress(40);
        exportPc->setProgress(61);
        QCOMPARE(ctrl->progress(key), qMakePair(50, 0));   // 101 / 2, truncated
        QCOMPARE(ctrl->progress(QStringLiteral("unknown")), qMakePair(0, 0));
        QVERIFY(!ctrl->isBusy(QStringLiteral("unknown")));

        gate.release(4);
        QTRY_VERIFY(ctrl->tasks(key).isEmpty());
        QVERIFY(!ctrl->isBusy(key));
    }

    // A cancelled queued task leaves the queue at once; removing the device
    // drops the rest of the queue and waits for the running task.
    void cancelDropsAQueuedTask()
    {
        Journal journal;
        QSemaphore gate;
        auto *ctrl = AppTaskCtrl::instance();
        GateTask *running = gateTask(m_a.get(), AppTask::UninstallAppTask, QStringLiteral("run"), &journal, &gate);
        ctrl->addTask(running);
        QList<GateTask *> queued;
        for (int i = 0; i < 4; ++i) {
            queued << gateTask(m_a.get(), AppTask::UninstallAppTask, QStringLiteral("q%1").arg(i), &journal, &gate);
            ctrl->addTask(queued.last());
        }
        QTRY_VERIFY(running->started);
        GateTask *dropped = queued.takeFirst();
        QVERIFY(ctrl->cancelTask(dropped));
        // Out of the queue and finished at once, as cancelled; it never runs.
        QVERIFY(dropped->cancelled);
        QCOMPARE(dropped->status(), AppTask::STATUS_FINISHED);
        QCOMPARE(dropped->error(), AppTask::kCancelled);
        QCOMPARE(ctrl->tasks(QStringLiteral("devA")), (QList<AppTask *>{running, queued[0], queued[1], queued[2]}));
        QVERIFY(!ctrl->cancelTask(dropped));
        gate.release();
        QTRY_VERIFY(finished(running));
        QCOMPARE(running->error(), 0);
        QTRY_VERIFY(queued[0]->started);

        // The running task may end only once the queue has been dropped:
        // the last cancel hook opens its gate.
        queued.last()->onCancel = [&gate] { gate.release(); };
        ctrl->removeDevice(QStringLiteral("devA"));
        QVERIFY(queued[0]->returned);
        QVERIFY(!ctrl->hasThread(QStringLiteral("devA")));
        QVERIFY(ctrl->tasks(QStringLiteral("devA")).isEmpty());
        for (GateTask *t : {queued[1], queued[2]}) {
            QVERIFY(t->cancelled);
            QVERIFY(!t->started);
            QCOMPARE(t->status(), AppTask::STATUS_WAITING);
        }
        QCoreApplication::processEvents();
        QCOMPARE(journal.take(), (QStringList{QStringLiteral("run start"), QStringLiteral("run end"),
                                              QStringLiteral("q1 start"), QStringLiteral("q1 end")}));
    }

    void overwriteQuestionBlocksWorker_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("progress");
        QTest::newRow("replace") << true << 0 << 100;
        QTest::newRow("decline") << false << -1005 << 0;
    }
    void overwriteQuestionBlocksWorker()
    {
        QFETCH(bool, answer);
        QFETCH(int, error);
        QFETCH(int, progress);
        auto *task = new AskingInstallTask(m_a.get());
        m_owned << task;
        bool workerWaited = false;
        QThread *askedOn = nullptr;
        connect(task, &InstallAppTask::sig_overwriteConfirm, this, [&](bool *overwrite) {
            askedOn = QThread::currentThread();
            // The worker cannot go on while this slot runs.
            QTest::qWait(50);
            workerWaited = !task->answered;
            *overwrite = answer;
        }, Qt::BlockingQueuedConnection);
        AppTaskCtrl::instance()->addTask(task);
        QTRY_VERIFY(finished(task));
        QCOMPARE(askedOn, QThread::currentThread());
        QVERIFY(workerWaited);
        QCOMPARE(task->error(), error);
        QCOMPARE(task->progress(), progress);
    }

    void kindsCopyTheirParameters()
    {
        auto *manager = AppTaskManager::instance();
        auto *app = new ZAppInfoItem;
        app->record.appId = QStringLiteral("com.example.notes");
        app->record.name = QStringLiteral("Notes");
        const QVariant handle = AppTaskParams::appHandle(app);

        auto *uninstall = static_cast<UninstallAppTask *>(
            manager->create(m_a.get(), AppTask::UninstallAppTask, {handle}));
        auto *exportPc = static_cast<ExportApptoPCTask *>(
            manager->create(m_a.get(), AppTask::ExportApptoPCTask, {handle, true, QStringLiteral("/x/Notes 1.0.ipa")}));
        delete app;   // the tasks no longer need the record
        QCOMPARE(uninstall->appId(), QStringLiteral("com.example.notes"));
        QCOMPARE(uninstall->name(), QStringLiteral("Notes"));
        QCOMPARE(exportPc->name(), QStringLiteral("Notes"));
        QVERIFY(exportPc->appOnly());
        QCOMPARE(exportPc->targetPath(), QStringLiteral("/x/Notes 1.0.ipa"));
        QCOMPARE(exportPc->savePath(), exportPc->targetPath());
        m_owned << uninstall << exportPc;
    }

    void managerRegistry()
    {
        auto *manager = AppTaskManager::instance();
        const QString key = QStringLiteral("devA");
        QVERIFY(!manager->create(m_a.get(), 8, {}));
        QVERIFY(!manager->create(m_a.get(), -1, {}));
        QVERIFY(manager->registry(key).isEmpty());
        QCOMPARE(manager->remove(key, QStringLiteral("x")), -1);

        QList<AppTask *> made;
        for (int kind : {2, 5, 2, 0})
            made << manager->create(m_a.get(), kind, {});
        m_owned << made;
        QCOMPARE(manager->registry(key), made);
        QCOMPARE(manager->task(m_a.get(), 2), (QList<AppTask *>{made[0], made[2]}));
        QVERIFY(manager->task(m_b.get(), 2).isEmpty());   // unregistered device

        QCOMPARE(manager->remove(key, QStringLiteral("not-a-task")), 0);
        QCOMPARE(manager->registry(key).size(), 4);
        QCOMPARE(manager->remove(key, made[2]->id()), 0);
        QCOMPARE(manager->registry(key), (QList<AppTask *>{made[0], made[1], made[3]}));
        manager->removeDevice(key);
        QVERIFY(manager->registry(key).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestAppTaskCtrl)
#include "tst_apptaskctrl.moc"
