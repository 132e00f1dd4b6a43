#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

class AppHandler;
class AppModel;
class AppProxyModel;
class AppTask;
class DocModel;
class ReplaceDlg;
class ZAppInfoItem;
class ZDocItemInfo;

// What the apps page does when the user acts: it asks (files, folders,
// confirmations, name conflicts), turns the answers into tasks through the
// models, ties them to their records and queues them on the task
// controller. It never talks to the device. GUI thread only; a child of its
// page, whose window is the parent of every box it shows.
class AppActions : public QObject
{
    Q_OBJECT
public:
    AppActions(AppHandler *handler, AppProxyModel *proxy, DocModel *docs, QWidget *page);

    // Test seams, like the framework's for message boxes and folders:
    // the multiple-file dialog (returns the chosen files, empty for Cancel)
    using FileChooser = std::function<QStringList(const QString &caption, const QString &startFolder,
                                                  const QString &filter)>;
    static void setFileChooser(FileChooser chooser);
    // and the name-conflict dialog: gets the dialog to answer (choose a
    // button, tick "Apply to All") and the file name; returns the dialog's
    // result. Without it the dialog is shown.
    using ConflictAnswerer = std::function<int(ReplaceDlg &dialog, const QString &fileName)>;
    static void setConflictAnswerer(ConflictAnswerer answerer);

    void addAppFiles();
    void addAppFolder();
    void installAppFiles(const QStringList &files);
    void deleteApps(const QList<ZAppInfoItem *> &apps);
    void exportAppsToPC(const QList<ZAppInfoItem *> &apps);
    void exportAppsToiTunes(const QList<ZAppInfoItem *> &apps);
    void addDocuments();
    void exportDocuments(const QList<ZDocItemInfo *> &docs);
    void deleteDocuments(const QList<ZDocItemInfo *> &docs);
    // Cancels the unfinished tasks of the apps and documents; the number cancelled.
    int cancelTasks(const QList<ZAppInfoItem *> &apps, const QList<ZDocItemInfo *> &docs);
    static bool hasUnfinishedTask(const QList<AppTask *> &tasks);

    // The failure message of a task, if its kind has one.
    void reportFailure(AppTask *task);
    // Asks whether the task (install or add-document) may replace what is on
    // the device; writes true only for Yes. Runs while the worker waits.
    void confirmReplace(AppTask *task, bool *overwrite);
    // True while a replace question is open; closeQuestions answers it No.
    bool questionOpen() const { return m_openQuestions > 0; }
    void closeQuestions();

    bool appInUse(const ZAppInfoItem *app) const;
    bool docInUse(const ZDocItemInfo *doc) const;

private:
    struct Pending
    {
        AppTask *task;
        QString fileName;   // the name checked in the folder
    };
    QWidget *messageParent() const;
    void info(const QString &text) const;
    bool ask(const QString &text) const;
    bool exportAllowed() const;
    QString lastFolder(const QString &key) const;
    void storeFolder(const QString &key, const QString &folder) const;
    QString chooseExportFolder() const;
    QStringList chooseFiles(const QString &startFolder, const QString &filter) const;
    // Hands the tasks to the controller, asking about files that exist in
    // folder; discard undoes a skipped task's attachment.
    void resolveConflicts(const QString &folder, const QList<Pending> &pending,
                          const std::function<void(AppTask *, const QString &)> &retarget,
                          const std::function<void(AppTask *)> &discard);
    int askConflict(const QString &fileName, bool *applyToAll);

    AppHandler *m_handler;
    AppProxyModel *m_proxy;
    AppModel *m_apps;
    DocModel *m_docs;
    QWidget *m_page;
    int m_openQuestions = 0;
};
