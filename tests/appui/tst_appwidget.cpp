// The apps page driven as a user drives it, against the virtual device:
// loading, filter, views, selection, details pane, and the action flows
// with their questions, conflicts, messages and cancels. Message boxes,
// file and folder dialogs and the conflict dialog answer through the
// framework's seams.

#include "AppActions.h"
#include "AppHandler.h"
#include "AppMessages.h"
#include "AppModel.h"
#include "AppProxyModel.h"
#include "AppTaskCtrl.h"
#include "AppWidget.h"
#include "DeviceFixture.h"
#include "DocModel.h"
#include "FakePrefix.h"
#include "FilterCtrl.h"
#include "ReplaceDlg.h"
#include "Tul.h"
#include "TulMessageBox.h"
#include "TestData.h"
#include "TulPref.h"
#include "VDemo.h"
#include "ZAppInfoItem.h"
#include "ZDocItemInfo.h"
#include "stateLabel.h"
#include "AppWidgetForm.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <memory>

class TestAppWidget : public QObject
{
    Q_OBJECT

    std::unique_ptr<DeviceFixture> m_device;
    std::unique_ptr<AppWidget> m_page;
    QTemporaryDir m_home;
    QStringList m_infos;
    QStringList m_questions;
    QMessageBox::StandardButton m_answer = QMessageBox::No;
    int m_conflicts = 0;

    void open(int profile = 0, const std::function<void()> &beforeLoad = {})
    {
        m_device = std::make_unique<DeviceFixture>(std::vector<int>{profile}, true);
        QVERIFY2(m_device->ok(), qPrintable(m_device->error()));
        if (beforeLoad)
            beforeLoad();
        QVERIFY(m_device->startScanning());
        m_page = std::make_unique<AppWidget>(QString::fromStdString(m_device->id(0)));
        QSignalSpy loaded(m_page.get(), &AppWidget::signalLoadTaskCompleted);
        m_page->resize(985, 723);
        m_page->show();
        QVERIFY(loaded.wait(30000));
    }
    AppProxyModel *proxy() const { return m_page->proxyModel(); }
    Ui::appWidgetClass *ui() const { return m_page->form(); }
    int row(const QString &name) const
    {
        for (int r = 0; r < proxy()->rowCount(); ++r) {
            if (proxy()->index(r, AppModel::ColName).data().toString() == name)
                return r;
        }
        return -1;
    }
    void select(const QStringList &names)
    {
        QItemSelectionModel *selection = m_page->getCurrentView()->selectionModel();
        selection->clearSelection();
        for (const QString &name : names) {
            const int r = row(name);
            QVERIFY2(r >= 0, qPrintable(name));
            selection->select(proxy()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    ZAppInfoItem *app(const QString &name) const { return proxy()->dataItemFromIndex(proxy()->index(row(name), 0)); }
    // True once no task works on the app any more (its tasks ended).
    bool idle(const QString &name) const
    {
        ZAppInfoItem *item = app(name);
        return item && item->associatedTasks().isEmpty() && !m_page->docModel()->hasBusyDocument(item->record.appId);
    }
    bool tasksDone() const
    {
        return AppTaskCtrl::instance()->tasks(AppTaskCtrl::deviceKey(m_page->handler())).isEmpty();
    }
    // The folder exports and saves go to; the folder question answers with it.
    QString outFolder()
    {
        const QString out = m_device->root() + QStringLiteral("/out");
        QDir().mkpath(out);
        Tul::setFolderChooser([out](const QString &, const QString &) { return out; });
        return out;
    }
    int docRow(const QString &name) const
    {
        for (int r = 0; r < m_page->docModel()->rowCount(); ++r) {
            if (m_page->docModel()->itemAt(r)->record.name == name)
                return r;
        }
        return -1;
    }
    void selectDocument(int row)
    {
        ui()->docDetailsView->selectionModel()->select(m_page->docModel()->index(row, 0),
                                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

private slots:
    void initTestCase()
    {
        TulPref::openInstance(m_home.path() + QStringLiteral("/prefs.conf"));
    }

    void init()
    {
        m_infos.clear();
        m_questions.clear();
        m_answer = QMessageBox::No;
        m_conflicts = 0;
        TulMessageBox::setAnswerer([this](const TulMessageBox::Request &request) {
            (request.kind == TulMessageBox::Info ? m_infos : m_questions) << request.text;
            return request.kind == TulMessageBox::Info ? QMessageBox::Ok : m_answer;
        });
    }

    void cleanup()
    {
        m_page.reset();
        m_device.reset();
        TulMessageBox::setAnswerer({});
        Tul::setFolderChooser({});
        AppActions::setFileChooser({});
        AppActions::setConflictAnswerer({});
    }

    // First: the pane opens by itself only once per run.
    void detailsPaneAndDocuments()
    {
        open();
        QVERIFY(ui()->details_frame->isHidden());
        select({QStringLiteral("Trail Maps")});
        QVERIFY(ui()->details_frame->isHidden());
        QVERIFY(!ui()->pushButton_add->isEnabled());
        QVERIFY(ui()->delcheckedbt->isEnabled());

        // The first file-sharing app of the run opens the pane, once.
        select({QStringLiteral("Pocket Notes"), QStringLiteral("Trail Maps")});
        QVERIFY(!ui()->details_frame->isHidden());
        QVERIFY(ui()->droprise_pushButton->isChecked());
        QCOMPARE(ui()->label_appName->text(), QStringLiteral("Pocket Notes"));
        QTRY_VERIFY(!ui()->label_appPic->pixmap().isNull());
        QVERIFY(ui()->pushButton_add->isEnabled());
        DocModel *docs = m_page->docModel();
        QTRY_COMPARE(docs->rowCount(), 3);
        for (int r = 0; r < docs->rowCount(); ++r)
            QVERIFY(!docs->index(r, DocModel::ColIcon).data(Qt::DecorationRole).isNull());
        QTest::mouseClick(ui()->droprise_pushButton, Qt::LeftButton);
        QVERIFY(ui()->details_frame->isHidden());
        select({QStringLiteral("Budget Book")});
        QVERIFY(ui()->details_frame->isHidden());

        // A selected document keeps the apps from being deleted.
        selectDocument(0);
        QVERIFY(!ui()->delcheckedbt->isEnabled());
        QVERIFY(ui()->pushButton_save->isEnabled() && ui()->pushButton_delete->isEnabled());
        ui()->docDetailsView->selectionModel()->clearSelection();
        QVERIFY(ui()->delcheckedbt->isEnabled());

        // Documents the device would not list are not an empty list: the
        // pane says so in the list's place and nothing can be saved or
        // deleted; a reload keeps the app shown, and once the device answers
        // again, Try Again brings the list back.
        QVERIFY(m_device->fault(0, "com.apple.mobile.house_arrest", "error", "InstallationLookupFailed"));
        select({QStringLiteral("Pocket Notes")});
        m_page->reloadApps();
        const QString unreadable = AppMessages::documentsUnreadable(QStringLiteral("Pocket Notes"));
        QTRY_COMPARE(m_page->documentStateText(), unreadable);
        QCOMPARE(ui()->label_appName->text(), QStringLiteral("Pocket Notes"));
        QTRY_VERIFY(!ui()->label_appPic->pixmap().isNull());   // the icon comes after the list
        QVERIFY(ui()->docDetailsView->isHidden());
        QCOMPARE(docs->rowCount(), 0);
        QVERIFY(!ui()->pushButton_save->isEnabled() && !ui()->pushButton_delete->isEnabled());
        QVERIFY(ui()->pushButton_add->isEnabled());
        auto *tryAgain = m_page->findChild<QPushButton *>(QStringLiteral("docReloadButton"));
        QVERIFY(tryAgain);
        QTRY_VERIFY(tryAgain->isEnabled());
        QVERIFY(m_device->deviceCtl(0, "clear-faults"));
        tryAgain->click();
        QTRY_COMPARE(docs->rowCount(), 3);
        QVERIFY(m_page->documentStateText().isEmpty());
        QVERIFY(!ui()->docDetailsView->isHidden());
        QCOMPARE(ui()->label_appName->text(), QStringLiteral("Pocket Notes"));
        selectDocument(0);
        QVERIFY(ui()->pushButton_save->isEnabled() && ui()->pushButton_delete->isEnabled());
    }

    void loadFilterViewsAndSelection()
    {
        open();
        const int total = proxy()->rowCount();
        QVERIFY(total > 10);
        QCOMPARE(ui()->displayViewName->text(), QStringLiteral("Apps"));
        QCOMPARE(ui()->listView->model()->rowCount(), total);
        QCOMPARE(m_page->statusLine()->totalText(), QString::number(total));
        QCOMPARE(m_page->statusLine()->selectedText(), QStringLiteral("0"));
        QVERIFY(!m_page->appMenu()->actions().isEmpty());

        // The filter hides rows; the counts follow the visible rows.
        m_page->filterCtrl()->lineEdit()->setText(QStringLiteral("note"));
        QTRY_COMPARE(m_page->statusLine()->totalText(), QString::number(proxy()->rowCount()));
        QVERIFY(proxy()->rowCount() >= 1 && proxy()->rowCount() < total);
        m_page->filterCtrl()->lineEdit()->setText(QStringLiteral("no app has this name"));
        QTRY_COMPARE(m_page->statusLine()->totalText(), QStringLiteral("0"));
        m_page->updateRBtnMenu();
        QVERIFY(!m_page->appMenu()->actions().at(8)->isEnabled());   // "Se&lect All" with nothing shown
        m_page->filterCtrl()->lineEdit()->clear();
        QTRY_COMPARE(proxy()->rowCount(), total);

        // Switching views keeps the selection and its count.
        select({QStringLiteral("Trail Maps"), QStringLiteral("StarChart")});
        QCOMPARE(m_page->statusLine()->selectedText(), QStringLiteral("2"));
        QTest::mouseClick(ui()->treeView_pushButton, Qt::LeftButton);
        QCOMPARE(m_page->getCurrentView(), static_cast<QAbstractItemView *>(ui()->treeView));
        QVERIFY(!ui()->treeView_pushButton->isEnabled() && ui()->listView_pushButton->isEnabled());
        QCOMPARE(m_page->selectedAppItems().size(), 2);
        QCOMPARE(m_page->statusLine()->selectedText(), QStringLiteral("2"));
        QCOMPARE(proxy()->headerCheckState(), 1);

        // Column 0 of the header: some selected -> all, all -> none.
        emit ui()->treeView->header()->sectionClicked(AppModel::ColCheck);
        QCOMPARE(m_page->selectedAppItems().size(), total);
        QCOMPARE(proxy()->headerCheckState(), 2);
        emit ui()->treeView->header()->sectionClicked(AppModel::ColCheck);
        QVERIFY(m_page->selectedAppItems().isEmpty());
        QCOMPARE(proxy()->headerCheckState(), 0);

        // Ctrl+A selects all apps, Ctrl+F puts the cursor into the search box.
        ui()->treeView->setFocus();
        QTest::keyClick(ui()->treeView, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(m_page->selectedAppItems().size(), total);
        QTest::keyClick(m_page.get(), Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(m_page->filterCtrl()->lineEdit()->hasFocus());
        QVERIFY(!ui()->listView->accessibleDescription().isEmpty());

        // A language change reaches the search box, the menu, the form and the buttons' names.
        QTranslator german;
        QVERIFY(german.load(QStringLiteral(":/translations/appshuttle_de.qm")));
        QCoreApplication::installTranslator(&german);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        QCOMPARE(m_page->filterCtrl()->lineEdit()->placeholderText(), QStringLiteral("Apps suchen"));
        QCOMPARE(m_page->appMenu()->actions().at(6)->text(), QStringLiteral("&Löschen"));
        QCOMPARE(ui()->contents_label->text(), QStringLiteral("Dokumentverwaltung"));
        QCOMPARE(ui()->delcheckedbt->accessibleName(), QStringLiteral("Löschen"));
        QCoreApplication::removeTranslator(&german);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        QCOMPARE(m_page->appMenu()->actions().at(6)->text(), QStringLiteral("&Delete"));
        QCOMPARE(ui()->delcheckedbt->accessibleName(), QStringLiteral("Delete"));
    }

    void deleteAsksByNameOrCount()
    {
        open();
        select({QStringLiteral("StarChart")});
        QTest::keyClick(ui()->listView, Qt::Key_Delete);
        select({QStringLiteral("StarChart"), QStringLiteral("Weather Now")});
        QTest::mouseClick(ui()->delcheckedbt, Qt::LeftButton);
        QCOMPARE(m_questions, (QStringList{QStringLiteral("Are you sure you want to delete \"StarChart\"?"),
                                           QStringLiteral("Are you sure you want to delete 2 file(s)?")}));
        const int total = proxy()->rowCount();
        m_answer = QMessageBox::Yes;
        m_page->slot_deleteApp();
        QTRY_COMPARE_WITH_TIMEOUT(proxy()->rowCount(), total - 2, 30000);
        m_page->getCurrentView()->selectionModel()->clearSelection();
        m_page->slot_deleteApp();
        QCOMPARE(m_infos, QStringList{QStringLiteral("Please select file(s) from the list first.")});
    }

    void exportConflicts_data()
    {
        QTest::addColumn<int>("choice");
        QTest::newRow("rename-all") << int(ReplaceDlg::Rename);
        QTest::newRow("skip-all") << int(ReplaceDlg::Skip);
    }

    void exportConflicts()
    {
        QFETCH(int, choice);
        open();
        const QStringList names{QStringLiteral("StarChart"), QStringLiteral("Trail Maps"), QStringLiteral("Weather Now")};
        const QString out = outFolder();
        // Rename: all three exist; Skip: only the first does.
        QStringList existing;
        for (const QString &name : names) {
            const QString file = m_page->handler()->exportFileName(app(name)->record.appId.toUtf8(), true);
            if (choice == ReplaceDlg::Rename || existing.isEmpty()) {
                QVERIFY(TestData::writeFile(out + QLatin1Char('/') + file, "old"));
                existing << file;
            }
        }
        AppActions::setConflictAnswerer([&](ReplaceDlg &dialog, const QString &) {
            ++m_conflicts;
            dialog.setApplyToAll(true);
            choice == ReplaceDlg::Rename ? dialog.OnBtnRename() : dialog.OnBtnSkip();
            return dialog.result();
        });
        select(names);
        m_page->slot_app_exporttopc();
        QCOMPARE(m_questions.size(), 1);   // with the documents? No
        QCOMPARE(m_conflicts, 1);
        for (const QString &name : names)
            QTRY_VERIFY_WITH_TIMEOUT(idle(name), 60000);
        QVERIFY2(m_infos.isEmpty(), qPrintable(m_infos.join(QLatin1Char('\n'))));
        const QStringList files = QDir(out).entryList(QDir::Files, QDir::Name);
        for (const QString &file : existing)
            QCOMPARE(TestData::readFile(out + QLatin1Char('/') + file), QByteArray("old"));
        if (choice == ReplaceDlg::Rename) {
            QCOMPARE(files.size(), 6);
            for (const QString &file : existing)
                QVERIFY2(files.contains(QString(file).replace(QStringLiteral(".ipa"), QStringLiteral(" (2).ipa"))),
                         qPrintable(files.join(QLatin1Char(','))));
        } else {
            QCOMPARE(files.size(), 3);   // the old one and the two new exports
        }
    }

    void documentSavedUnderASafeName()
    {
        // A name no local file should get: hidden, with a control character.
        const QString hostile = QStringLiteral(".\u0007secret.txt");
        open(0, [&] {
            QVERIFY(TestData::writeFile(m_device->appsDir(0) + QStringLiteral("/com.northwind.pocketnotes/Documents/") + hostile, "new"));
        });
        select({QStringLiteral("Pocket Notes")});
        QTRY_VERIFY(m_page->docModel()->rowCount() > 0);
        const int hostileRow = docRow(hostile);
        QVERIFY(hostileRow >= 0);
        const QString out = outFolder();
        const QString safe = AppMessages::safeFileName(hostile);
        QCOMPARE(safe, QStringLiteral("_.secret.txt"));
        QVERIFY(TestData::writeFile(out + QLatin1Char('/') + safe, "old"));
        QString asked;
        AppActions::setConflictAnswerer([&](ReplaceDlg &dialog, const QString &name) {
            asked = name;
            dialog.OnBtnReplace();
            return dialog.result();
        });
        selectDocument(hostileRow);
        m_page->slot_doc_exporttopc();
        QCOMPARE(asked, safe);
        QTRY_VERIFY_WITH_TIMEOUT(tasksDone(), 30000);
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{safe});
        QCOMPARE(TestData::readFile(out + QLatin1Char('/') + safe), QByteArray("new"));
    }

    // Each failed file says why, in the texts the command line shares;
    // the chosen files' and folder's places are remembered.
    void failuresAreReportedPerFile()
    {
        FakePrefix prefix;
        prefix.installItunes(QStringLiteral("9.1.1.11"));
        prefix.writeLibrary(QStringLiteral("iTunesPrefs.xml"),
                            QStringLiteral("file://localhost/C:/users/tester/Music/iTunes/iTunes%20Media/"));
        qputenv("WINEPREFIX", prefix.path().toLocal8Bit());
        open();
        QString error;
        const QString packages = m_device->root() + QStringLiteral("/packages");
        QVERIFY(!VDemo::writeSamplePackages(packages, &error).isEmpty());
        AppActions::setFileChooser([&](const QString &caption, const QString &, const QString &filter) {
            m_questions << caption + QLatin1Char('|') + filter;
            return QStringList{packages + QStringLiteral("/Sample iPad App.ipa")};
        });
        m_page->slot_addApptoDev();
        QTRY_COMPARE_WITH_TIMEOUT(m_infos.size(), 1, 30000);
        QCOMPARE(m_infos.takeFirst(), AppMessages::taskFailure(AppTask::InstallAppTask, -1001, QStringLiteral("Sample iPad App.ipa")));
        QCOMPARE(m_questions.first(), QStringLiteral("Select one or more files|Apps (*.ipa *.pxl)"));
        QCOMPARE(TulPref::instance()->value(QStringLiteral("ipod_add_app_files_path")).toString(), packages);

        // A folder: every name with a package suffix in any case, in sub-folders too,
        // and as files that are no packages, each fails on its own.
        const QString folder = m_device->root() + QStringLiteral("/folder");
        for (const QString &name : {QStringLiteral("Game.IPA"), QStringLiteral("notes.pxl.txt"),
                                    QStringLiteral("sub/deep.ipa"), QStringLiteral("readme.txt")})
            QVERIFY(TestData::writeFile(folder + QLatin1Char('/') + name, "not a package"));
        Tul::setFolderChooser([&](const QString &, const QString &) { return folder; });
        m_page->slot_addFolderApptoDev();
        QTRY_COMPARE_WITH_TIMEOUT(m_infos.size(), 3, 30000);
        QStringList expected;
        for (const QString &name : {QStringLiteral("Game.IPA"), QStringLiteral("notes.pxl.txt"), QStringLiteral("deep.ipa")})
            expected << AppMessages::taskFailure(AppTask::InstallAppTask, -1, name);
        m_infos.sort();
        expected.sort();
        QCOMPARE(m_infos, expected);
        QCOMPARE(TulPref::instance()->value(QStringLiteral("ipod_add_app_folder_path")).toString(), folder);

        // A device error while exporting to iTunes speaks of the computer.
        m_infos.clear();
        QVERIFY(m_device->fault(0, "com.apple.mobile.installation_proxy", "error", "APIInternalError"));
        select({QStringLiteral("StarChart")});
        m_page->slot_app_exporttoiTunes();
        QTRY_COMPARE_WITH_TIMEOUT(m_infos.size(), 1, 30000);
        qunsetenv("WINEPREFIX");
        QCOMPARE(m_infos.first(), AppMessages::taskFailure(AppTask::ExportApptoiTunesTask, -1008, QStringLiteral("StarChart")));
    }

    void appWithDocumentUploadIsInUse()
    {
        open();
        QVERIFY(m_device->fault(0, "com.apple.mobile.house_arrest", "delay", "30"));
        const QString big = m_device->root() + QStringLiteral("/upload.bin");
        QVERIFY(TestData::writeFile(big, QByteArray(4 << 20, 'x')));
        select({QStringLiteral("Pocket Notes")});
        AppActions::setFileChooser([&](const QString &, const QString &, const QString &) { return QStringList{big}; });
        m_page->slot_docAdd();
        QTRY_VERIFY(m_page->docModel()->hasBusyDocument(app(QStringLiteral("Pocket Notes"))->record.appId));
        m_answer = QMessageBox::Yes;
        m_page->slot_deleteApp();
        const QString out = outFolder();
        m_page->slot_app_exporttopc();
        QCOMPARE(m_infos, (QStringList{QStringLiteral("The file is in use."), QStringLiteral("The file is in use.")}));
        QVERIFY(QDir(out).entryList(QDir::Files).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(idle(QStringLiteral("Pocket Notes")), 60000);
    }

    void exportRefusedOnCurrentIos()
    {
        open(1);
        int asked = 0;
        Tul::setFolderChooser([&](const QString &, const QString &) { ++asked; return m_device->root(); });
        select({proxy()->index(0, AppModel::ColName).data().toString()});
        m_page->slot_app_exporttopc();
        m_page->slot_app_exporttoiTunes();
        const QString refusal = AppMessages::exportNotAllowed(QString::fromUtf8(m_page->handler()->deviceInfo().firmwareVersion()));
        QCOMPARE(m_infos, (QStringList{refusal, refusal}));
        QCOMPARE(asked, 0);
        QVERIFY(AppTaskCtrl::instance()->tasks(AppTaskCtrl::deviceKey(m_page->handler())).isEmpty());
    }

    void cancelStopsARunningExport()
    {
        // A document big enough that its copy takes a while on a slow device.
        QByteArray bytes(6 << 20, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        open(0, [&] {
            QVERIFY(TestData::writeFile(m_device->appsDir(0) + QStringLiteral("/com.brightside.pixelpaint/Documents/big.bin"), bytes));
        });
        select({QStringLiteral("Pixel Paint")});
        QTRY_VERIFY(m_page->docModel()->rowCount() > 0);
        const int bigRow = docRow(QStringLiteral("big.bin"));
        QVERIFY(bigRow >= 0);
        QVERIFY(m_device->fault(0, "com.apple.mobile.house_arrest", "delay", "20"));
        selectDocument(bigRow);
        const QString out = outFolder();
        m_page->slot_doc_exporttopc();
        ZDocItemInfo *doc = m_page->docModel()->itemAt(bigRow);
        QCOMPARE(doc->associatedTasks().size(), 1);
        AppTask *task = doc->associatedTasks().first();
        int result = 0;
        connect(task, &AppTask::statusChanged, this, [&](AppTask *t, AppTask::TASK_STATUS, AppTask::TASK_STATUS now) {
            if (now == AppTask::STATUS_FINISHED)
                result = t->error();
        });
        QTRY_VERIFY_WITH_TIMEOUT(task->progress() >= 5 && task->progress() < 90, 30000);
        m_page->slot_cancelTasks();
        QTRY_VERIFY_WITH_TIMEOUT(tasksDone(), 30000);
        QCOMPARE(result, AppTask::kCancelled);
        QVERIFY(m_infos.isEmpty());
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void detachWithAnOpenReplaceQuestionEnds()
    {
        open();
        QString error;
        const QString packages = m_device->root() + QStringLiteral("/packages");
        QVERIFY(!VDemo::writeSamplePackages(packages, &error).isEmpty());
        const QString package = packages + QStringLiteral("/Sample iPhone App.ipa");
        const int total = proxy()->rowCount();
        m_page->slot_dragAddApptoDev({package});
        QTRY_COMPARE_WITH_TIMEOUT(proxy()->rowCount(), total + 1, 30000);
        QTRY_VERIFY(AppTaskCtrl::instance()->tasks(AppTaskCtrl::deviceKey(m_page->handler())).isEmpty());

        // The real question box this time: the device leaves while it is open.
        TulMessageBox::setAnswerer({});
        QPointer<AppHandler> handler(m_page->handler());
        bool questionSeen = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || questionSeen)
                return;
            questionSeen = box->text().startsWith(QStringLiteral("The file \"Sample iPhone App.ipa\" has existed"));
            m_device->deviceCtl(0, "detach");
            m_page.reset();   // what the main window does when the device leaves
        });
        poll.start(50);
        AppWidget *page = m_page.get();
        page->slot_dragAddApptoDev({package});
        QTRY_VERIFY_WITH_TIMEOUT(questionSeen, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(handler.isNull(), 30000);   // the worker ended and let go
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(TestAppWidget)
#include "tst_appwidget.moc"
