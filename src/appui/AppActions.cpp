#include "AppActions.h"

#include "AppAddDocTask.h"
#include "AppHandler.h"
#include "AppMessages.h"
#include "AppModel.h"
#include "AppProxyModel.h"
#include "AppTaskCtrl.h"
#include "AppTaskManager.h"
#include "AppTaskParams.h"
#include "DiagLog.h"
#include "DocModel.h"
#include "ExportApptoPCTask.h"
#include "ExportApptoiTunesTask.h"
#include "ExportDoctoPCTask.h"
#include "InstallAppTask.h"
#include "LocalFiles.h"
#include "ReplaceDlg.h"
#include "Tul.h"
#include "TulMessageBox.h"
#include "TulPref.h"
#include "UninstallAppTask.h"
#include "ZAppInfoItem.h"
#include "ZDocItemInfo.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>

namespace {

const QString kAppFilesKey = QStringLiteral("ipod_add_app_files_path");
const QString kAppFolderKey = QStringLiteral("ipod_add_app_folder_path");
const QString kDocFilesKey = QStringLiteral("ipod_add_appdoc_files_path");
const QString kExportKey = QStringLiteral("exporttolocal");

const char *const kSelectFolder = QT_TRANSLATE_NOOP("AppWidget", "Please select folder");
const char *const kInUse = QT_TRANSLATE_NOOP("AppWidget", "The file is in use.");
const char *const kNoSpace = QT_TRANSLATE_NOOP("AppWidget", "Cannot add files. Insufficient space on your device.");

AppActions::FileChooser &fileChooser()
{
    static AppActions::FileChooser chooser;
    return chooser;
}

AppActions::ConflictAnswerer &conflictAnswerer()
{
    static AppActions::ConflictAnswerer answerer;
    return answerer;
}

QString pageText(const char *text)
{
    return QCoreApplication::translate("AppWidget", text);
}

QString noSelection()
{
    return QCoreApplication::translate("AppWidget", "Please select file(s) from the list first");
}

QString deleteQuestion(int count, const QString &name)
{
    if (count == 1)
        return QCoreApplication::translate("AppWidget", "Are you sure you want to delete \"%1\"?").arg(name);
    return QCoreApplication::translate("AppWidget", "Are you sure you want to delete %1 file(s)?").arg(count);
}

} // namespace

AppActions::AppActions(AppHandler *handler, AppProxyModel *proxy, DocModel *docs, QWidget *page)
    : QObject(page), m_handler(handler), m_proxy(proxy),
      m_apps(proxy ? qobject_cast<AppModel *>(proxy->sourceModel()) : nullptr), m_docs(docs), m_page(page)
{
}

void AppActions::setFileChooser(FileChooser chooser)
{
    fileChooser() = std::move(chooser);
}

void AppActions::setConflictAnswerer(ConflictAnswerer answerer)
{
    conflictAnswerer() = std::move(answerer);
}

QWidget *AppActions::messageParent() const
{
    // The main window's frame; a page shown on its own (tests) parents
    // nothing, so that a box never goes with a page destroyed under it.
    QWidget *top = m_page->window();
    return top == m_page ? nullptr : top;
}

void AppActions::info(const QString &text) const
{
    TulMessageBox::info(text, QString(), messageParent());
}

bool AppActions::ask(const QString &text) const
{
    return TulMessageBox::question(text, QString(), QMessageBox::Yes | QMessageBox::No, messageParent(),
                                   QMessageBox::No)
        == QMessageBox::Yes;
}

QString AppActions::lastFolder(const QString &key) const
{
    return TulPref::instance()->value(key, QDir::homePath()).toString();
}

void AppActions::storeFolder(const QString &key, const QString &folder) const
{
    TulPref::instance()->setValue(key, folder);
}

QStringList AppActions::chooseFiles(const QString &startFolder, const QString &filter) const
{
    const QString caption = pageText(QT_TRANSLATE_NOOP("AppWidget", "Select one or more files"));
    if (fileChooser())
        return fileChooser()(caption, startFolder, filter);
    return QFileDialog::getOpenFileNames(messageParent(), caption, startFolder, filter);
}

QString AppActions::chooseExportFolder() const
{
    QString folder;
    if (!Tul::getFolderPath(nullptr, messageParent(), pageText(kSelectFolder), lastFolder(kExportKey), folder))
        return QString();
    storeFolder(kExportKey, folder);
    return folder;
}

bool AppActions::exportAllowed() const
{
    if (m_handler->canExportApps())
        return true;
    info(AppMessages::exportNotAllowed(QString::fromUtf8(m_handler->deviceInfo().firmwareVersion())));
    return false;
}

bool AppActions::hasUnfinishedTask(const QList<AppTask *> &tasks)
{
    for (const AppTask *task : tasks) {
        if (task->status() == AppTask::STATUS_WAITING || task->status() == AppTask::STATUS_RUNNING)
            return true;
    }
    return false;
}

bool AppActions::appInUse(const ZAppInfoItem *app) const
{
    return !app->associatedTasks().isEmpty() || (m_docs && m_docs->hasBusyDocument(app->record.appId));
}

bool AppActions::docInUse(const ZDocItemInfo *doc) const
{
    const ZAppInfoItem *app = m_docs ? m_docs->currentApp() : nullptr;
    return (app && !app->associatedTasks().isEmpty()) || !doc->associatedTasks().isEmpty();
}

void AppActions::addAppFiles()
{
    const QStringList files = chooseFiles(lastFolder(kAppFilesKey), QStringLiteral("Apps (*.ipa *.pxl)"));
    if (files.isEmpty())
        return;
    storeFolder(kAppFilesKey, QFileInfo(files.first()).absolutePath());
    installAppFiles(files);
}

void AppActions::addAppFolder()
{
    QString folder;
    if (!Tul::getFolderPath(nullptr, messageParent(), pageText(kSelectFolder), lastFolder(kAppFolderKey), folder)) {
        DIAG_LOG("error");
        return;
    }
    storeFolder(kAppFolderKey, folder);
    const QStringList files = LocalFiles::collectFiles(folder, {QStringLiteral(".pxl"), QStringLiteral(".ipa")}, true);
    if (!files.isEmpty())
        installAppFiles(files);
}

void AppActions::installAppFiles(const QStringList &files)
{
    if (!hasEnoughSpace(m_handler->deviceId(), double(LocalFiles::totalSize(files)))) {
        info(pageText(kNoSpace));
        return;
    }
    for (const QString &file : files) {
        auto *task = qobject_cast<InstallAppTask *>(
            m_proxy->createTask(m_handler, AppTask::InstallAppTask, QVariantList() << file));
        if (!task) {
            DIAG_LOG("error");
            continue;
        }
        connect(task, &InstallAppTask::sig_overwriteConfirm, this,
                [this, task](bool *overwrite) { confirmReplace(task, overwrite); }, Qt::BlockingQueuedConnection);
        AppTaskCtrl::instance()->addTask(task);
    }
}

void AppActions::deleteApps(const QList<ZAppInfoItem *> &apps)
{
    if (apps.isEmpty()) {
        info(pageText(QT_TRANSLATE_NOOP("AppWidget", "Please select file(s) from the list first.")));
        return;
    }
    if (!ask(deleteQuestion(apps.size(), apps.first()->record.name)))
        return;
    QList<AppTask *> created;
    for (ZAppInfoItem *app : apps) {
        if (appInUse(app)) {
            info(pageText(kInUse));
            continue;
        }
        AppTask *task = m_proxy->createTask(m_handler, AppTask::UninstallAppTask,
                                            QVariantList() << AppTaskParams::appHandle(app));
        if (!task)
            continue;
        app->addAssociateTask(task);
        created << task;
    }
    for (AppTask *task : created)
        AppTaskCtrl::instance()->addTask(task);
}

void AppActions::exportAppsToPC(const QList<ZAppInfoItem *> &apps)
{
    if (apps.isEmpty()) {
        info(noSelection());
        return;
    }
    if (!exportAllowed())
        return;
    const QString folder = chooseExportFolder();
    if (folder.isEmpty())
        return;
    const bool appOnly = !ask(pageText(QT_TRANSLATE_NOOP(
        "AppWidget", "Would you like to copy all data in the selected app(s) (e.g., documents, marks, game records)?")));
    QList<Pending> pending;
    for (ZAppInfoItem *app : apps) {
        if (appInUse(app)) {
            info(pageText(kInUse));
            continue;
        }
        const QString name = m_handler->exportFileName(app->record.appId.toUtf8(), appOnly);
        const QString target = QDir::fromNativeSeparators(folder + QDir::separator() + name);
        AppTask *task = m_proxy->createTask(m_handler, AppTask::ExportApptoPCTask,
                                            {AppTaskParams::appHandle(app), appOnly, target});
        if (!task)
            continue;
        app->addAssociateTask(task);
        pending << Pending{task, name};
    }
    resolveConflicts(
        folder, pending,
        [](AppTask *task, const QString &path) { static_cast<ExportApptoPCTask *>(task)->setTargetPath(path); },
        [this](AppTask *task) {
            if (ZAppInfoItem *owner = m_apps ? m_apps->itemByTask(task) : nullptr)
                owner->removeAssociateTask(task);
        });
}

void AppActions::exportAppsToiTunes(const QList<ZAppInfoItem *> &apps)
{
    if (apps.isEmpty()) {
        info(noSelection());
        return;
    }
    if (!exportAllowed())
        return;
    QList<AppTask *> created;
    for (ZAppInfoItem *app : apps) {
        if (appInUse(app)) {
            info(pageText(kInUse));
            continue;
        }
        AppTask *task = m_proxy->createTask(m_handler, AppTask::ExportApptoiTunesTask,
                                            {AppTaskParams::appHandle(app), true});
        if (!task)
            continue;
        app->addAssociateTask(task);
        created << task;
    }
    for (AppTask *task : created)
        AppTaskCtrl::instance()->addTask(task);
}

void AppActions::addDocuments()
{
    ZAppInfoItem *app = m_docs->currentApp();
    if (!app) {
        DIAG_LOG("error");
        return;
    }
    const QStringList files = chooseFiles(lastFolder(kDocFilesKey), QString());
    if (files.isEmpty())
        return;
    if (!hasEnoughSpace(m_handler->deviceId(), double(LocalFiles::totalSize(files)))) {
        info(pageText(kNoSpace));
        return;
    }
    storeFolder(kDocFilesKey, QFileInfo(files.first()).absolutePath());
    for (const QString &file : files) {
        auto *task = qobject_cast<AppAddDocTask *>(
            m_docs->createTask(m_handler, AppTask::AppAddDocTask, {app->record.appId, file}));
        if (!task) {
            DIAG_LOG("error");
            continue;
        }
        connect(task, &AppAddDocTask::sig_overwriteConfirm, this,
                [this, task](bool *overwrite) { confirmReplace(task, overwrite); }, Qt::BlockingQueuedConnection);
        AppTaskCtrl::instance()->addTask(task);
    }
}

void AppActions::exportDocuments(const QList<ZDocItemInfo *> &docs)
{
    const QString folder = chooseExportFolder();
    ZAppInfoItem *app = m_docs->currentApp();
    if (folder.isEmpty() || !app)
        return;
    QList<Pending> pending;
    for (ZDocItemInfo *doc : docs) {
        if (docInUse(doc)) {
            info(pageText(kInUse));
            continue;
        }
        // The device names the file: only a safe name may reach the folder,
        // and the conflict check below looks at that very name.
        const QString name = AppMessages::safeFileName(doc->record.name);
        const QString target = QDir::fromNativeSeparators(folder + QDir::separator() + name);
        AppTask *task = m_docs->createTask(m_handler, AppTask::ExportDoctoPCTask,
                                           {app->record.appId, target, doc->record.name});
        if (!task)
            continue;
        doc->addAssociateTask(task);
        pending << Pending{task, name};
    }
    resolveConflicts(
        folder, pending,
        [](AppTask *task, const QString &path) { static_cast<ExportDoctoPCTask *>(task)->setTargetPath(path); },
        [this](AppTask *task) {
            if (ZDocItemInfo *owner = m_docs->dataItemByTask(task))
                owner->removeAssociateTask(task);
        });
}

void AppActions::deleteDocuments(const QList<ZDocItemInfo *> &docs)
{
    ZAppInfoItem *app = m_docs->currentApp();
    if (docs.isEmpty() || !app)
        return;
    if (!ask(deleteQuestion(docs.size(), docs.first()->record.name)))
        return;
    for (ZDocItemInfo *doc : docs) {
        if (docInUse(doc)) {
            info(pageText(kInUse));
            continue;
        }
        AppTask *task = m_docs->createTask(m_handler, AppTask::AppDeleteDocTask, {app->record.appId, doc->record.name});
        if (!task)
            continue;
        doc->addAssociateTask(task);
        AppTaskCtrl::instance()->addTask(task);
    }
}

int AppActions::cancelTasks(const QList<ZAppInfoItem *> &apps, const QList<ZDocItemInfo *> &docs)
{
    QList<AppTask *> tasks;
    for (const ZAppInfoItem *app : apps)
        tasks << app->associatedTasks();
    for (const ZDocItemInfo *doc : docs)
        tasks << doc->associatedTasks();
    int cancelled = 0;
    for (AppTask *task : tasks) {
        if (AppTaskCtrl::instance()->cancelTask(task))
            ++cancelled;
    }
    return cancelled;
}

void AppActions::resolveConflicts(const QString &folder, const QList<Pending> &pending,
                                  const std::function<void(AppTask *, const QString &)> &retarget,
                                  const std::function<void(AppTask *)> &discard)
{
    const QDir dir(folder);
    bool applyToAll = false;
    int allChoice = ReplaceDlg::Skip;
    for (const Pending &item : pending) {
        const QString path = dir.filePath(item.fileName);
        if (!QFileInfo::exists(path)) {
            AppTaskCtrl::instance()->addTask(item.task);
            continue;
        }
        int choice = allChoice;
        if (!applyToAll) {
            choice = askConflict(item.fileName, &applyToAll);
            if (applyToAll)
                allChoice = choice;
        }
        if (choice != ReplaceDlg::Replace && choice != ReplaceDlg::Rename) {
            discard(item.task);
            // Never queued, so the task control will not let go of it.
            AppTaskManager::instance()->remove(AppTaskCtrl::deviceKey(item.task->handler()), item.task->id());
            item.task->deleteLater();
            continue;
        }
        QString target = path;
        if (choice == ReplaceDlg::Rename)
            target = dir.filePath(LocalFiles::uniqueFileName(folder, item.fileName));
        retarget(item.task, QDir::toNativeSeparators(target));
        AppTaskCtrl::instance()->addTask(item.task);
    }
}

int AppActions::askConflict(const QString &fileName, bool *applyToAll)
{
    ReplaceDlg dialog(messageParent());
    dialog.setApplyToAll(false);
    dialog.setFileName(fileName);
    const int result = conflictAnswerer() ? conflictAnswerer()(dialog, fileName) : dialog.exec();
    // Closed without a choice: this one file is skipped, later ones ask again.
    if (result != QDialog::Accepted)
        return ReplaceDlg::Skip;
    *applyToAll = dialog.applyToAll();
    return dialog.choice();
}

void AppActions::reportFailure(AppTask *task)
{
    if (!task)
        return;
    QString subject;
    switch (task->kind()) {
    case AppTask::LoadAppDataTask:
        return;
    case AppTask::InstallAppTask:
        subject = QFileInfo(static_cast<InstallAppTask *>(task)->packagePath()).fileName();
        break;
    case AppTask::UninstallAppTask:
        subject = static_cast<UninstallAppTask *>(task)->name();
        break;
    case AppTask::ExportApptoPCTask:
        subject = static_cast<ExportApptoPCTask *>(task)->name();
        break;
    case AppTask::ExportApptoiTunesTask:
        subject = static_cast<ExportApptoiTunesTask *>(task)->name();
        break;
    default:
        DIAG_LOG("error");
        return;
    }
    const QString text = AppMessages::taskFailure(task->kind(), task->error(), subject,
                                                  QString::fromUtf8(m_handler->deviceInfo().firmwareVersion()));
    if (!text.isEmpty())
        info(text);
}

void AppActions::confirmReplace(AppTask *task, bool *overwrite)
{
    if (!overwrite || !task)
        return;
    QString source;
    if (auto *install = qobject_cast<InstallAppTask *>(task))
        source = install->packagePath();
    else if (auto *add = qobject_cast<AppAddDocTask *>(task))
        source = add->localPath();
    const QString text = pageText(QT_TRANSLATE_NOOP(
                                      "AppWidget", "The file \"%1\" has existed on your device. Do you want to replace it?"))
                             .arg(QFileInfo(source).fileName());
    // The page may go while the question is open (its device left): then
    // nothing of it may be touched once the box returns.
    QPointer<AppActions> self(this);
    ++m_openQuestions;
    const bool yes = ask(text);
    if (!self)
        return;
    --m_openQuestions;
    *overwrite = yes;
}

void AppActions::closeQuestions()
{
    if (m_openQuestions == 0)
        return;
    // The open question is the modal box on top; closing it answers No.
    if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
        box->done(QMessageBox::No);
}
