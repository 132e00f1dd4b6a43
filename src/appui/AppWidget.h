#pragma once

#include "AppInfoItem.h"

#include <QList>
#include <QModelIndex>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

namespace Ui { class appWidgetClass; }

class AppActions;
class AppHandler;
class AppModel;
class AppProxyModel;
class AppTask;
class DocModel;
class DocStatusDelegate;
class FilterCtrl;
class QAbstractItemView;
class QAction;
class QItemSelectionModel;
class QLabel;
class QMenu;
class QPushButton;
class ZAppInfoItem;
class ZDocItemInfo;
class stateLabel;

// The apps page of one connected device: the icon and detail views over one
// shared selection, the details pane with the shown app's documents, the
// search box, the status line and the tool buttons. It lays out and wires;
// what an action does lives in AppActions. Owns the device's AppHandler and
// the models; its destructor lets go of the device's tasks before the
// handler goes. GUI thread only.
class AppWidget : public QWidget
{
    Q_OBJECT
public:
    explicit AppWidget(const QString &deviceId, QWidget *parent = nullptr);
    ~AppWidget() override;

    // Null only when the app service client could not be made.
    AppHandler *handler() const { return m_handler; }
    AppModel *appModel() const { return m_appModel; }
    AppProxyModel *proxyModel() const { return m_proxyModel; }
    DocModel *docModel() const { return m_docModel; }
    AppActions *actions() const { return m_actions; }
    FilterCtrl *filterCtrl() const { return m_filter; }
    stateLabel *statusLine() const { return m_state; }
    QMenu *appMenu() const { return m_menu; }
    QAction *cancelAction() const { return m_actCancel; }
    int viewMode() const { return m_viewMode; }
    Ui::appWidgetClass *form() const { return ui.get(); }

    QAbstractItemView *getCurrentView() const;
    QList<ZAppInfoItem *> selectedAppItems() const;
    QList<ZDocItemInfo *> selectedDocItems() const;
    void setCurrentDisplayView(int view);
    void updateRBtnMenu();
    // Reads the app list again (F5, and the documents pane's "Try Again"
    // where the device would not list an app's documents); the selection
    // stays on the apps the new list still has. Nothing while a load runs.
    void reloadApps();
    // The documents pane's text in the list's place; empty while the list shows.
    QString documentStateText() const;

signals:
    void signalLoadTaskCompleted();

public slots:
    void slot_changeViewType();
    void slot_showAppMenu(QPoint pos);
    void slot_showAppDetails(bool bShow);
    void slot_app_exporttopc();
    void slot_app_exporttoiTunes();
    void slot_addApptoDev();
    void slot_addFolderApptoDev();
    void slot_deleteApp();
    void slot_selectAll();
    void slot_appSelectChanged();
    void slot_treeViewHeaderClicked(int section);
    void slot_filterRegExpChanged(QString text);
    void slot_setStateText();
    void slot_docSelectChanged();
    void slot_docAdd();
    void slot_doc_exporttopc();
    void slot_docRemove();
    void slot_docAdded(QModelIndex parent, int start, int end);
    void slot_resetDocView();
    void slot_taskFailed(AppTask *pTask);
    void slot_loadTaskCompleted();
    void slot_appInstallOverwriteConfirm(bool *bOverwrite);
    void slot_addDocOverwriteConfirm(bool *bOverwrite);
    void slot_dragAddApptoDev(QStringList applist);
    // Stops the queued or running tasks of the selected apps or documents.
    void slot_cancelTasks();

protected:
    bool event(QEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    void setupAppSide();
    void setupDocSide();
    void setupButtons();
    void setButtonIcons();
    void setupAccessibility();
    void retranslateActions();
    void showAppDetails(ZAppInfoItem *item);
    void fillDetails();
    void showAppSummary(const ZAppInfoItem *item);
    void showDocumentState();
    bool documentsUnknown() const;
    void restoreSelection();
    void setupDetailColumns();
    void setToggleImage(bool open);
    int selectedRowCount() const;
    void updateHeaderCheckState();

    std::unique_ptr<Ui::appWidgetClass> ui;
    AppHandler *m_handler = nullptr;
    AppProxyModel *m_proxyModel = nullptr;
    AppModel *m_appModel = nullptr;
    QItemSelectionModel *m_selection = nullptr;
    DocModel *m_docModel = nullptr;
    int m_viewMode = 0;
    QMenu *m_menu = nullptr;
    QAction *m_actExportToPC = nullptr;
    QAction *m_actExportToiTunes = nullptr;
    QAction *m_actAddFiles = nullptr;
    QAction *m_actAddFolder = nullptr;
    QAction *m_actDelete = nullptr;
    QAction *m_actSelectAll = nullptr;
    QAction *m_actCancel = nullptr;
    FilterCtrl *m_filter = nullptr;
    stateLabel *m_state = nullptr;
    QString m_iconViewFilter;
    QString m_detailViewFilter;
    QAction *m_btnAddFiles = nullptr;
    QAction *m_btnAddFolder = nullptr;
    bool m_appSelected = false;
    bool m_noDocSelected = true;
    QMenu *m_docMenu = nullptr;
    DocStatusDelegate *m_statusDelegate = nullptr;
    QWidget *m_docState = nullptr;
    QLabel *m_docStateLabel = nullptr;
    QPushButton *m_docReload = nullptr;
    QPointer<AppTask> m_loadTask;
    QStringList m_selectedIds;   // bundle identifiers of the selected apps
    AppActions *m_actions = nullptr;

    static bool s_detailsNotShownYet;
};
