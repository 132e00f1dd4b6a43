#include "AppTask.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace {

class FakeTask : public AppTask
{
public:
    explicit FakeTask(std::function<int(AppTask *)> op = {}) : AppTask(nullptr, AppTask::UninstallAppTask), m_op(std::move(op)) {}
    void setParams(const QVariantList &params) override { m_params = params; }
    int execute() override
    {
        return runFrame([this] { return m_op ? m_op(this) : 0; });
    }
    QVariantList m_params;

private:
    std::function<int(AppTask *)> m_op;
};

} // namespace

class TestAppTask : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { AppTask::registerMetaTypes(); }

    void setterSignalRules()
    {
        QStringList order;
        FakeTask task;
        QSignalSpy data(&task, &AppTask::dataChanged);
        QSignalSpy status(&task, &AppTask::statusChanged);
        QCOMPARE(task.status(), AppTask::STATUS_CREATED);

        task.setStatus(AppTask::STATUS_CREATED);
        task.setError(0);
        QCOMPARE(data.count(), 0);
        QCOMPARE(status.count(), 0);

        task.setProgress(0);
        task.setProgress(0);
        QCOMPARE(data.count(), 2);
        QCOMPARE(data.at(1).at(1).value<AppTask::DATA_CHANGED>(), AppTask::CHANGED_PROGRESS);

        // statusChanged goes out before the dataChanged that names the status.
        connect(&task, &AppTask::statusChanged, this, [&] { order << QStringLiteral("status"); });
        connect(&task, &AppTask::dataChanged, this, [&] { order << QStringLiteral("data"); });
        task.setStatus(AppTask::STATUS_WAITING);
        QCOMPARE(order, (QStringList{QStringLiteral("status"), QStringLiteral("data")}));
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.at(0).at(1).value<AppTask::TASK_STATUS>(), AppTask::STATUS_CREATED);
        QCOMPARE(status.at(0).at(2).value<AppTask::TASK_STATUS>(), AppTask::STATUS_WAITING);
        QCOMPARE(data.last().at(1).value<AppTask::DATA_CHANGED>(), AppTask::CHANGED_STATUS);

        task.setError(-1005);
        task.setError(-1005);
        QCOMPARE(data.count(), 4);
        QCOMPARE(data.last().at(1).value<AppTask::DATA_CHANGED>(), AppTask::CHANGED_ERROR);

        TaskStatusInfo info{"DownLoad", "", 42};
        task.setStatusInfo(info);
        QCOMPARE(data.count(), 4);   // no signal of its own
        QCOMPARE(task.statusInfo().status, std::string("DownLoad"));
        QCOMPARE(task.statusInfo().percent, 42);
    }

    void executeFrame_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("progress");
        QTest::newRow("success") << 0 << 100;
        QTest::newRow("device-error") << -1008 << 0;
    }
    void executeFrame()
    {
        QFETCH(int, result);
        QFETCH(int, progress);
        AppTask::TASK_STATUS statusDuringOp = AppTask::STATUS_CREATED;
        FakeTask task([&](AppTask *t) {
            statusDuringOp = t->status();
            t->setProgress(37);
            return result;
        });
        task.setStatus(AppTask::STATUS_WAITING);
        QSignalSpy data(&task, &AppTask::dataChanged);
        QCOMPARE(task.execute(), result);
        QCOMPARE(statusDuringOp, AppTask::STATUS_RUNNING);
        QCOMPARE(task.status(), AppTask::STATUS_FINISHED);
        QCOMPARE(task.progress(), progress);
        QCOMPARE(task.error(), result);

        QList<int> kinds;
        for (const auto &args : data)
            kinds << int(args.at(1).value<AppTask::DATA_CHANGED>());
        QList<int> expected{AppTask::CHANGED_PROGRESS, AppTask::CHANGED_STATUS, AppTask::CHANGED_PROGRESS,
                            AppTask::CHANGED_PROGRESS};
        if (result != 0)
            expected << AppTask::CHANGED_ERROR;
        expected << AppTask::CHANGED_STATUS;
        QCOMPARE(kinds, expected);
    }

    void identifiersAreUniqueAndIncreasing()
    {
        const QRegularExpression shape(QStringLiteral(
            "^(\\d+)_(\\d{5})_\\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\}$"));
        int lastCounter = 0;
        QSet<QString> seen;
        for (int i = 0; i < 200; ++i) {
            FakeTask task;
            const auto m = shape.match(task.id());
            QVERIFY2(m.hasMatch(), qPrintable(task.id()));
            const int counter = m.captured(2).toInt();
            QVERIFY(counter > lastCounter);
            lastCounter = counter;
            QVERIFY(!seen.contains(task.id()));
            seen.insert(task.id());
            QVERIFY(qAbs(m.captured(1).toLongLong() - QDateTime::currentSecsSinceEpoch()) <= 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestAppTask)
#include "tst_apptask.moc"
