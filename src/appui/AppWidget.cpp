#include "AppWidget.h"

#include "ui_appWidget.h"

#include "AppActions.h"
#include "AppHandler.h"
#include "AppMessages.h"
#include "AppModel.h"
#include "AppProxyModel.h"
#include "AppTaskCtrl.h"
#include "AppTaskManager.h"
#include "DiagLog.h"
#include "DocIconProvider.h"
#include "DocModel.h"
#include "DocStatusDelegate.h"
#include "FilterCtrl.h"
#include "ModelDecorations.h"
#include "TulSkin.h"
#include "ZAppInfoItem.h"
#include "ZDocItemInfo.h"
#include "listViewItemDelegate.h"
#include "stateLabel.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

bool AppWidget::s_detailsNotShownYet = true;

namespace {

QString actionText(const char *text)
{
    return QCoreApplication::translate("tr_action_text", text);
}

} // namespace

AppWidget::AppWidget(const QString &deviceId, QWidget *parent)
    : QWidget(parent), ui(new Ui::appWidgetClass)
{
    ui->setupUi(this);
    m_handler = new AppHandler(deviceId.toUtf8(), this);
    ui->displayViewName->setText(tr("Loading..."));
    setupAppSide();
    setupDocSide();

    connect(ui->treeView_pushButton, &QPushButton::clicked, this, &AppWidget::slot_changeViewType);
    connect(ui->listView_pushButton, &QPushButton::clicked, this, &AppWidget::slot_changeViewType);
    connect(ui->listView, &AppListView::signalDropInApp, this, &AppWidget::slot_dragAddApptoDev);
    connect(ui->treeView, &AppTreeView::signalDropInApp, this, &AppWidget::slot_dragAddApptoDev);
    ui->droprise_pushButton->setChecked(false);
    connect(ui->droprise_pushButton, &QPushButton::clicked, this, &AppWidget::slot_showAppDetails);

    ui->listView_pushButton->setEnabled(false);
    ui->treeView_pushButton->setEnabled(true);
    m_viewMode = 0;
    ui->stackedWidget->setCurrentIndex(0);

    m_filter = new FilterCtrl(ui->searchWidget);
    auto *searchLayout = new QVBoxLayout(ui->searchWidget);
    searchLayout->setContentsMargins(0, 0, 0, 0);
    searchLayout->addWidget(m_filter);
    connect(m_filter, &FilterCtrl::filterTextChanged, this, &AppWidget::slot_filterRegExpChanged);
    m_filter->setPlaceholderText(tr("Search Apps"));

    auto *stateLayout = new QVBoxLayout(ui->state_frame);
    stateLayout->setContentsMargins(0, 0, 0, 0);
    m_state = new stateLabel(ui->state_frame);
    stateLayout->addWidget(m_state);
    m_state->setCounts(QString::number(m_proxyModel->rowCount()), QString::number(0));

    // Ctrl+F and Ctrl+A act anywhere on the page; Delete is handled on release.
    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        m_filter->lineEdit()->setFocus(Qt::ShortcutFocusReason);
        m_filter->lineEdit()->selectAll();
    });
    auto *selectAll = new QShortcut(QKeySequence::SelectAll, this);
    selectAll->setContext(Qt::WidgetWithChildrenShortcut);
    connect(selectAll, &QShortcut::activated, this, [this] {
        if (focusWidget() == m_filter->lineEdit())
            m_filter->lineEdit()->selectAll();
        else
            slot_selectAll();
    });
    auto *reload = new QShortcut(QKeySequence::Refresh, this);
    reload->setContext(Qt::WidgetWithChildrenShortcut);
    connect(reload, &QShortcut::activated, this, &AppWidget::reloadApps);
    setupAccessibility();
}

AppWidget::~AppWidget()
{
    // A replace question may be open while the worker waits for its answer:
    // answer it No first, and never wait for that worker here.
    const bool questionOpen = m_actions && m_actions->questionOpen();
    if (questionOpen)
        m_actions->closeQuestions();
    const QString key = AppTaskCtrl::deviceKey(m_handler);
    AppTaskManager::instance()->removeDevice(key);
    if (questionOpen) {
        // The worker still uses the handler until it has its answer.
        m_handler->setParent(nullptr);
        AppTaskCtrl::instance()->releaseDevice(key, m_handler);
    } else {
        // Without the receiver of the questions a worker that is about to
        // ask goes on with "No" instead of waiting for this thread.
        delete m_actions;
        m_actions = nullptr;
        AppTaskCtrl::instance()->removeDevice(key);
        delete m_handler;
    }
    m_handler = nullptr;
}

void AppWidget::setupAppSide()
{
    m_appModel = new AppModel(m_handler, this);
    m_proxyModel = new AppProxyModel;
    m_proxyModel->setParent(this);
    m_proxyModel->setSourceModel(m_appModel);
    ui->listView->setModel(m_proxyModel);
    ui->treeView->setModel(m_proxyModel);
    ui->treeView->header()->setSortIndicator(AppModel::ColName, Qt::AscendingOrder);
    ui->listView->setItemDelegate(new listViewItemDelegate(ui->listView, QSize(110, 130)));

    ui->listView->setContextMenuPolicy(Qt::CustomContextMenu);
    ui->listView->setFrameShape(QFrame::NoFrame);
    ui->listView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ui->listView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->listView->setFlow(QListView::LeftToRight);
    ui->listView->setResizeMode(QListView::Adjust);
    ui->listView->setLayoutMode(QListView::Batched);
    ui->listView->setSpacing(10);
    ui->listView->setViewMode(QListView::IconMode);
    ui->listView->setModelColumn(0);
    ui->listView->setUniformItemSizes(true);

    ui->treeView->setContextMenuPolicy(Qt::CustomContextMenu);
    ui->treeView->setFrameShape(QFrame::NoFrame);
    ui->treeView->setDragEnabled(true);
    ui->treeView->setDragDropMode(QAbstractItemView::DragDrop);
    ui->treeView->setDefaultDropAction(Qt::CopyAction);
    ui->treeView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ui->treeView->setRootIsDecorated(false);
    ui->treeView->setItemsExpandable(false);
    ui->treeView->setSortingEnabled(true);
    ui->treeView->setAllColumnsShowFocus(true);

    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_appModel, signal, m_proxyModel, &AppProxyModel::slot_modelRowChange);
    connect(m_appModel, &QAbstractItemModel::modelReset, m_proxyModel, &AppProxyModel::slot_modelRowChange);
    connect(m_appModel, &QAbstractItemModel::dataChanged, m_proxyModel, &AppProxyModel::slot_modelRowChange);
    // A reload replaces the rows and, with them, the selection.
    connect(m_appModel, &QAbstractItemModel::modelReset, this, &AppWidget::restoreSelection);
    // Icon, name and genre of the shown app may come after the list.
    connect(m_appModel, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &first, const QModelIndex &last) {
        const ZAppInfoItem *shown = m_docModel ? m_docModel->currentApp() : nullptr;
        const int row = shown ? m_appModel->rowOf(shown) : -1;
        if (row >= first.row() && row <= last.row())
            showAppSummary(shown);
    });

    m_selection = new QItemSelectionModel(m_proxyModel, this);
    ui->listView->setSelectionModel(m_selection);
    ui->treeView->setSelectionModel(m_selection);
    connect(m_selection, &QItemSelectionModel::selectionChanged, this, &AppWidget::slot_appSelectChanged);

    connect(ui->treeView->header(), &QHeaderView::sectionClicked, this, &AppWidget::slot_treeViewHeaderClicked);
    connect(m_proxyModel, &AppProxyModel::modelRowChange, this, &AppWidget::slot_setStateText);
    AppTask::registerMetaTypes();
    connect(m_appModel, &AppModel::taskFailed, this, &AppWidget::slot_taskFailed);
    connect(m_appModel, &AppModel::loadTaskCompleted, this, &AppWidget::slot_loadTaskCompleted);
    connect(m_appModel, &AppModel::loadTaskCompleted, this, &AppWidget::signalLoadTaskCompleted);

    setupDetailColumns();

    m_menu = new QMenu(this);
    m_actExportToPC = m_menu->addAction(QString(), this, &AppWidget::slot_app_exporttopc);
    m_actExportToiTunes = m_menu->addAction(QString(), this, &AppWidget::slot_app_exporttoiTunes);
    m_menu->addSeparator();
    m_actAddFiles = m_menu->addAction(QString(), this, &AppWidget::slot_addApptoDev);
    m_actAddFolder = m_menu->addAction(QString(), this, &AppWidget::slot_addFolderApptoDev);
    m_menu->addSeparator();
    m_actDelete = m_menu->addAction(QString(), this, &AppWidget::slot_deleteApp);
    m_menu->addSeparator();
    m_actSelectAll = m_menu->addAction(QString(), this, &AppWidget::slot_selectAll);
    m_actCancel = m_menu->addAction(QString(), this, &AppWidget::slot_cancelTasks);
    connect(ui->listView, &QWidget::customContextMenuRequested, this, &AppWidget::slot_showAppMenu);
    connect(ui->treeView, &QWidget::customContextMenuRequested, this, &AppWidget::slot_showAppMenu);

    setupButtons();
    retranslateActions();

    reloadApps();
}

void AppWidget::setupDetailColumns()
{
    QHeaderView *header = ui->treeView->header();
    header->setSectionResizeMode(AppModel::ColCheck, QHeaderView::Fixed);
    header->resizeSection(AppModel::ColCheck, 30);
    // What tells the apps apart comes first, and whole at the window's
    // default size: name, version and the two sizes. Purchase details, genre
    // and release date follow in the model's order and scroll in.
    const int first[] = {AppModel::ColName, AppModel::ColVersion, AppModel::ColAppSize, AppModel::ColDocumentSize};
    for (int i = 0; i < 4; ++i)
        header->moveSection(header->visualIndex(first[i]), i + 1);
    // Wide enough for typical values, and for the title (German, large
    // fonts) with its sort indicator.
    const QFontMetrics metrics = ui->treeView->fontMetrics();
    const int character = metrics.averageCharWidth();
    auto fits = [&](const char *sample) { return metrics.horizontalAdvance(QLatin1String(sample)) + 3 * character; };
    for (int column = AppModel::ColName; column < AppModel::ColumnCount; ++column) {
        int width = 90;
        switch (column) {
        case AppModel::ColName: width = qMax(160, 22 * character); break;
        case AppModel::ColPurchaseAccount: width = qMax(160, 27 * character); break;
        case AppModel::ColPurchaseDate:
        case AppModel::ColReleaseDate: width = fits("0000-00-00"); break;
        case AppModel::ColGenre: width = 20 * character; break;
        case AppModel::ColAppSize:
        case AppModel::ColDocumentSize: width = fits("000.00 MB"); break;
        case AppModel::ColVersion: width = fits("00.00.00"); break;
        default: break;
        }
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        header->resizeSection(column, qMax(width, header->sectionSizeHint(column)));
    }
    header->setStretchLastSection(false);
}

void AppWidget::reloadApps()
{
    if (m_loadTask && m_loadTask->status() != AppTask::STATUS_FINISHED)
        return;
    AppTask *load = m_proxyModel->createTask(m_handler, AppTask::LoadAppDataTask, {});
    if (!load) {
        DIAG_LOG("error");
        return;
    }
    m_loadTask = load;
    if (m_docReload)
        m_docReload->setEnabled(false);
    AppTaskCtrl::instance()->addTask(load);
}

void AppWidget::restoreSelection()
{
    QItemSelection rows;
    for (int row = 0; row < m_proxyModel->rowCount(); ++row) {
        const QModelIndex index = m_proxyModel->index(row, 0);
        const ZAppInfoItem *item = m_proxyModel->dataItemFromIndex(index);
        if (item && m_selectedIds.contains(item->record.appId))
            rows.select(index, index);
    }
    // The reset cleared the selection without a word: the pane follows
    // the selection made again, or is cleared when there is none.
    if (rows.isEmpty()) {
        slot_appSelectChanged();
        return;
    }
    m_selection->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (QAbstractItemView *view = getCurrentView())
        view->scrollTo(rows.indexes().first());
}

void AppWidget::setupButtons()
{
    ui->delcheckedbt->setEnabled(false);
    connect(ui->exportcheckedtolocalbt, &QToolButton::clicked, this, &AppWidget::slot_app_exporttopc);
    connect(ui->addcheckedtoitunesbt, &QToolButton::clicked, this, &AppWidget::slot_app_exporttoiTunes);
    connect(ui->delcheckedbt, &QToolButton::clicked, this, &AppWidget::slot_deleteApp);
    auto *addMenu = new QMenu(ui->addtoipodbt);
    m_btnAddFiles = addMenu->addAction(QString(), this, &AppWidget::slot_addApptoDev);
    m_btnAddFolder = addMenu->addAction(QString(), this, &AppWidget::slot_addFolderApptoDev);
    ui->addtoipodbt->setMenu(addMenu);
    ui->addtoipodbt->setPopupMode(QToolButton::MenuButtonPopup);
    connect(ui->addtoipodbt, &QToolButton::clicked, this, &AppWidget::slot_addApptoDev);

    setButtonIcons();
    for (QToolButton *button : {ui->exportcheckedtolocalbt, ui->addcheckedtoitunesbt, ui->addtoipodbt, ui->delcheckedbt}) {
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setIconSize(QSize(22, 22));
        button->setAutoRaise(true);
    }
}

void AppWidget::setButtonIcons()
{
    // Icons from the desktop's theme, our own in the palette's button text
    // colour where it has none; the names are in the tool tips and the
    // accessible names.
    const struct { QAbstractButton *button; const char *themeName; const char *ownImage; } icons[] = {
        {ui->exportcheckedtolocalbt, "document-save", ":/images/tool-save.png"},
        {ui->addcheckedtoitunesbt, "multimedia-player", ":/images/tool-itunes.png"},
        {ui->addtoipodbt, "list-add", ":/images/tool-add.png"},
        {ui->delcheckedbt, "edit-delete", ":/images/tool-delete.png"},
        {ui->treeView_pushButton, "view-list-details", ":/images/view-details.png"},
        {ui->listView_pushButton, "view-list-icons", ":/images/view-icons.png"},
    };
    for (const auto &icon : icons) {
        const QIcon own = TulSkin::tintedIcon(QLatin1String(icon.ownImage), palette().color(QPalette::ButtonText));
        icon.button->setIcon(QIcon::fromTheme(QLatin1String(icon.themeName), own));
    }
}

void AppWidget::setupDocSide()
{
    ui->details_frame->hide();
    connect(ui->pushButton_add, &QPushButton::clicked, this, &AppWidget::slot_docAdd);
    connect(ui->pushButton_save, &QPushButton::clicked, this, &AppWidget::slot_doc_exporttopc);
    connect(ui->pushButton_delete, &QPushButton::clicked, this, &AppWidget::slot_docRemove);
    DocIconProvider::install();
    m_docModel = new DocModel(m_appModel, this);
    ui->docDetailsView->setModel(m_docModel);
    m_statusDelegate = new DocStatusDelegate(ui->docDetailsView);
    ui->docDetailsView->setItemDelegateForColumn(DocModel::ColSize, m_statusDelegate);
    connect(ui->docDetailsView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &AppWidget::slot_docSelectChanged);
    connect(m_docModel, &QAbstractItemModel::rowsInserted, this, &AppWidget::slot_docAdded);
    connect(m_docModel, &QAbstractItemModel::modelAboutToBeReset, this, &AppWidget::slot_resetDocView);
    // A new list of the shown app (made current, or read again) fills the pane again.
    connect(m_docModel, &QAbstractItemModel::modelReset, this, &AppWidget::fillDetails);

    // In the list's place when the device would not list the documents:
    // what happened, and a way to ask again.
    m_docState = new QFrame(ui->DMFrame);
    m_docState->setObjectName(QStringLiteral("docStateFrame"));
    m_docState->setBackgroundRole(QPalette::Base);
    m_docState->setAutoFillBackground(true);
    auto *stateColumn = new QVBoxLayout(m_docState);
    m_docStateLabel = new QLabel(m_docState);
    m_docStateLabel->setObjectName(QStringLiteral("docStateLabel"));
    m_docStateLabel->setTextFormat(Qt::PlainText);
    m_docStateLabel->setWordWrap(true);
    m_docStateLabel->setAlignment(Qt::AlignCenter);
    m_docStateLabel->setForegroundRole(QPalette::Text);
    m_docReload = new QPushButton(m_docState);
    m_docReload->setObjectName(QStringLiteral("docReloadButton"));
    m_docReload->setText(tr("Try Again"));
    connect(m_docReload, &QPushButton::clicked, this, &AppWidget::reloadApps);
    stateColumn->addStretch();
    stateColumn->addWidget(m_docStateLabel);
    stateColumn->addWidget(m_docReload, 0, Qt::AlignHCenter);
    stateColumn->addStretch();
    ui->verticalLayout_8->insertWidget(ui->verticalLayout_8->indexOf(ui->docDetailsView) + 1, m_docState, 1);
    m_docState->setMinimumHeight(ui->docDetailsView->minimumHeight());
    m_docState->hide();
    setToggleImage(false);
    ui->label_appName->setAlignment(Qt::AlignCenter);
    ui->label_appCategory->setAlignment(Qt::AlignCenter);

    QHeaderView *header = ui->docDetailsView->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Fixed);
    header->resizeSection(0, 30);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    // Time and size speak for themselves: no titles, and the time is never cut.
    ui->docDetailsView->setHeaderHidden(true);
    header->setSectionResizeMode(2, QHeaderView::Fixed);
    const int timeWidth = ui->docDetailsView->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00")) + 16;
    header->resizeSection(2, qMax(110, timeWidth));
    header->setSectionResizeMode(3, QHeaderView::Fixed);
    header->resizeSection(3, 100);
    ui->pushButton_add->setEnabled(false);
    ui->pushButton_save->setEnabled(false);
    ui->pushButton_delete->setEnabled(false);
    slot_showAppDetails(false);

    m_actions = new AppActions(m_handler, m_proxyModel, m_docModel, this);

    m_docMenu = new QMenu(this);
    m_docMenu->addAction(m_actCancel);
    ui->docDetailsView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->docDetailsView, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        const QList<ZDocItemInfo *> docs = selectedDocItems();
        bool busy = false;
        for (const ZDocItemInfo *doc : docs)
            busy = busy || AppActions::hasUnfinishedTask(doc->associatedTasks());
        if (busy)
            m_docMenu->popup(ui->docDetailsView->viewport()->mapToGlobal(pos));
    });
}

void AppWidget::setupAccessibility()
{
    const struct { QWidget *widget; const char *name; const char *description; } parts[] = {
        {ui->listView, QT_TR_NOOP("Apps"), QT_TR_NOOP("The apps on the device as icons")},
        {ui->treeView, QT_TR_NOOP("Apps"), QT_TR_NOOP("The apps on the device with their details")},
        {ui->docDetailsView, QT_TR_NOOP("Documents"), QT_TR_NOOP("The documents the selected app shares")},
        {ui->details_frame, QT_TR_NOOP("Details"), QT_TR_NOOP("The selected app and its documents")},
        {ui->treeView_pushButton, QT_TR_NOOP("Detail View"), QT_TR_NOOP("Show the apps as a list with details")},
        {ui->listView_pushButton, QT_TR_NOOP("Icon View"), QT_TR_NOOP("Show the apps as icons")},
        {ui->droprise_pushButton, QT_TR_NOOP("Details"), QT_TR_NOOP("Show or hide the details of the selected app")},
        {ui->exportcheckedtolocalbt, QT_TR_NOOP("Copy to Computer"), QT_TR_NOOP("Copy the selected apps to the computer")},
        {ui->addcheckedtoitunesbt, QT_TR_NOOP("Copy to iTunes"), QT_TR_NOOP("Copy the selected apps to iTunes")},
        {ui->addtoipodbt, QT_TR_NOOP("Add to Device"), QT_TR_NOOP("Install app files on the device")},
        {ui->delcheckedbt, QT_TR_NOOP("Delete"), QT_TR_NOOP("Delete the selected apps from the device")},
        {ui->pushButton_add, QT_TR_NOOP("Add Documents"), QT_TR_NOOP("Copy files into the app's documents")},
        {ui->pushButton_save, QT_TR_NOOP("Save Documents"), QT_TR_NOOP("Copy the selected documents to the computer")},
        {ui->pushButton_delete, QT_TR_NOOP("Delete Documents"), QT_TR_NOOP("Delete the selected documents")},
        {m_filter, QT_TR_NOOP("Search Apps"), QT_TR_NOOP("Shows only the apps whose name contains the text (Ctrl+F)")},
        {m_state, QT_TR_NOOP("Status"), QT_TR_NOOP("How many apps are shown and selected")},
    };
    for (const auto &part : parts) {
        part.widget->setAccessibleName(tr(part.name));
        part.widget->setAccessibleDescription(tr(part.description));
    }
    m_filter->lineEdit()->setAccessibleName(tr("Search Apps"));
    m_filter->lineEdit()->setAccessibleDescription(tr("Shows only the apps whose name contains the text (Ctrl+F)"));
    // Along the layout: views, details, search, tool buttons.
    QWidget *order[] = {ui->treeView_pushButton, ui->listView_pushButton, ui->listView, ui->treeView,
                        ui->droprise_pushButton, ui->pushButton_add, ui->pushButton_save, ui->pushButton_delete,
                        ui->docDetailsView, m_filter->lineEdit(), ui->exportcheckedtolocalbt,
                        ui->addcheckedtoitunesbt, ui->addtoipodbt, ui->delcheckedbt};
    for (size_t i = 1; i < sizeof order / sizeof *order; ++i)
        setTabOrder(order[i - 1], order[i]);
    for (QToolButton *button : {ui->exportcheckedtolocalbt, ui->addcheckedtoitunesbt, ui->addtoipodbt, ui->delcheckedbt})
        button->setFocusPolicy(Qt::StrongFocus);
}

void AppWidget::retranslateActions()
{
    m_actExportToPC->setText(actionText(QT_TRANSLATE_NOOP("tr_action_text", "Copy &to Computer...")));
    m_actExportToiTunes->setText(actionText(QT_TRANSLATE_NOOP("tr_action_text", "Copy to iT&unes")));
    m_actAddFiles->setText(actionText(QT_TRANSLATE_NOOP("tr_action_text", "&Add File(s) to Device...")));
    m_actAddFolder->setText(actionText(QT_TRANSLATE_NOOP("tr_action_text", "Add F&older to Device...")));
    m_actDelete->setText(actionText(QT_TRANSLATE_NOOP("tr_action_text", "&Delete")));
    m_actSelectAll->setText(actionText(QT_TRANSLATE_NOOP("tr_action_text", "Se&lect All")));
    m_actCancel->setText(actionText(QT_TRANSLATE_NOOP("tr_action_text", "&Cancel")));
    m_btnAddFiles->setText(actionText(QT_TRANSLATE_NOOP("tr_action_text", "&Add File(s) to Device...")));
    m_btnAddFolder->setText(actionText(QT_TRANSLATE_NOOP("tr_action_text", "Add F&older to Device...")));
    if (m_docReload)
        m_docReload->setText(tr("Try Again"));
}

QAbstractItemView *AppWidget::getCurrentView() const
{
    switch (ui->stackedWidget->currentIndex()) {
    case 0: return ui->listView;
    case 1: return ui->treeView;
    default:
        DIAG_LOG("error");
        return nullptr;
    }
}

QList<ZAppInfoItem *> AppWidget::selectedAppItems() const
{
    QList<ZAppInfoItem *> items;
    if (!getCurrentView())
        return items;
    for (const QModelIndex &index : m_selection->selectedRows(0)) {
        ZAppInfoItem *item = m_proxyModel->dataItemFromIndex(index);
        if (item)
            items << item;
        else
            DIAG_LOG("error");
    }
    return items;
}

QList<ZDocItemInfo *> AppWidget::selectedDocItems() const
{
    QList<ZDocItemInfo *> docs;
    for (const QModelIndex &index : ui->docDetailsView->selectionModel()->selectedRows(0)) {
        if (ZDocItemInfo *doc = m_docModel->itemAt(index.row()))
            docs << doc;
        else
            DIAG_LOG("error");
    }
    return docs;
}

int AppWidget::selectedRowCount() const
{
    return m_selection->selectedRows(0).size();
}

void AppWidget::setCurrentDisplayView(int view)
{
    if (view == 0 || view == 1) {
        ui->stackedWidget->setCurrentIndex(view);
        m_proxyModel->setListKey(0);
        m_proxyModel->setViewType(view);
        m_proxyModel->invalidate();
        m_viewMode = view;
    } else {
        DIAG_LOG("error");
    }
    slot_setStateText();
}

void AppWidget::slot_changeViewType()
{
    const bool toDetails = sender() == ui->treeView_pushButton;
    ui->listView_pushButton->setEnabled(toDetails);
    ui->treeView_pushButton->setEnabled(!toDetails);
    const int from = toDetails ? 0 : 1;
    if (ui->stackedWidget->currentIndex() != from) {
        DIAG_LOG("error");
        return;
    }
    setCurrentDisplayView(1 - from);
    // The shared selection moves with the view; bring the current row into sight.
    if (QAbstractItemView *view = getCurrentView()) {
        const QModelIndexList rows = m_selection->selectedRows(0);
        if (!rows.isEmpty())
            view->scrollTo(rows.first());
    }
}

void AppWidget::updateRBtnMenu()
{
    QAbstractItemView *view = getCurrentView();
    if (!view)
        return;
    const bool selected = selectedRowCount() > 0;
    m_actExportToPC->setEnabled(selected);
    m_actExportToiTunes->setEnabled(selected);
    m_actDelete->setEnabled(selected);
    m_actSelectAll->setEnabled(m_proxyModel->rowCount() > 0);
    m_actAddFiles->setEnabled(true);
    m_actAddFolder->setEnabled(true);
    bool busy = false;
    for (const ZAppInfoItem *app : selectedAppItems())
        busy = busy || AppActions::hasUnfinishedTask(app->associatedTasks());
    m_actCancel->setVisible(busy);
}

void AppWidget::slot_showAppMenu(QPoint pos)
{
    updateRBtnMenu();
    auto *view = qobject_cast<QAbstractItemView *>(sender());
    const QPoint global = view ? view->viewport()->mapToGlobal(pos) : mapToGlobal(pos);
    m_menu->popup(global);
}

void AppWidget::setToggleImage(bool open)
{
    const QString path = TulSkin::appSkinUrl() + (open ? QStringLiteral("/app_drop.png") : QStringLiteral("/app_rise.png"));
    ui->droprise_pushButton->setStyleSheet(QStringLiteral("border-image: url(") + path + QLatin1Char(')'));
}

void AppWidget::slot_showAppDetails(bool bShow)
{
    ui->details_frame->setVisible(bShow);
    setToggleImage(bShow);
}

void AppWidget::slot_app_exporttopc()
{
    m_actions->exportAppsToPC(selectedAppItems());
}

void AppWidget::slot_app_exporttoiTunes()
{
    m_actions->exportAppsToiTunes(selectedAppItems());
}

void AppWidget::slot_addApptoDev()
{
    m_actions->addAppFiles();
}

void AppWidget::slot_addFolderApptoDev()
{
    m_actions->addAppFolder();
}

void AppWidget::slot_deleteApp()
{
    m_actions->deleteApps(selectedAppItems());
}

void AppWidget::slot_selectAll()
{
    if (QAbstractItemView *view = getCurrentView())
        view->selectAll();
}

void AppWidget::updateHeaderCheckState()
{
    const int selected = selectedRowCount();
    m_proxyModel->setHeaderCheckState(selected == 0 ? 0 : selected == m_proxyModel->rowCount() ? 2 : 1);
    ui->treeView->header()->viewport()->update();
}

void AppWidget::slot_appSelectChanged()
{
    m_proxyModel->setCheckedIndexes(m_selection->selectedRows(0));
    updateHeaderCheckState();
    slot_setStateText();
    const QList<ZAppInfoItem *> items = selectedAppItems();
    m_selectedIds.clear();
    for (const ZAppInfoItem *item : items)
        m_selectedIds << item->record.appId;
    if (items.isEmpty()) {
        slot_resetDocView();
        m_docModel->setCurrentApp(nullptr);
        m_appSelected = false;
    } else {
        showAppDetails(items.first());
        m_appSelected = true;
    }
    ui->delcheckedbt->setEnabled(m_appSelected && m_noDocSelected);
}

void AppWidget::showAppDetails(ZAppInfoItem *item)
{
    // The document model's reset fills the pane (fillDetails).
    m_docModel->setCurrentApp(item);
    if (item->record.fileSharingEnabled && s_detailsNotShownYet) {
        ui->details_frame->show();
        s_detailsNotShownYet = false;
        ui->droprise_pushButton->setChecked(true);
        slot_showAppDetails(true);
    }
}

void AppWidget::fillDetails()
{
    ZAppInfoItem *item = m_docModel->currentApp();
    if (item) {
        showAppSummary(item);
        ui->pushButton_add->setEnabled(item->record.fileSharingEnabled);
        for (int row = 0; row < m_docModel->rowCount(); ++row)
            ui->docDetailsView->openPersistentEditor(m_docModel->index(row, DocModel::ColSize));
    }
    // The reset took the document selection along.
    ui->delcheckedbt->setEnabled(m_appSelected && m_noDocSelected);
    showDocumentState();
}

void AppWidget::showAppSummary(const ZAppInfoItem *item)
{
    // The views' own 80 × 80 icon, made for the screen's density; none
    // until the device's icon is in.
    const ModelDecorations *decorations = ModelDecorations::installed();
    ui->label_appPic->setPixmap(decorations ? decorations->appIcon(*item).value<QPixmap>() : QPixmap());
    ui->label_appName->setText(item->record.name);
    ui->label_appCategory->setText(item->record.genre.toHtmlEscaped());
}

bool AppWidget::documentsUnknown() const
{
    const ZAppInfoItem *app = m_docModel->currentApp();
    return app && app->record.fileSharingEnabled && app->record.documentsUnknown;
}

QString AppWidget::documentStateText() const
{
    return m_docState->isHidden() ? QString() : m_docStateLabel->text();
}

void AppWidget::showDocumentState()
{
    const bool unknown = documentsUnknown();
    if (unknown) {
        m_docStateLabel->setText(AppMessages::documentsUnreadable(m_docModel->currentApp()->record.name));
        m_docReload->setEnabled(!m_loadTask || m_loadTask->status() == AppTask::STATUS_FINISHED);
        ui->pushButton_save->setEnabled(false);
        ui->pushButton_delete->setEnabled(false);
    }
    ui->docDetailsView->setVisible(!unknown);
    m_docState->setVisible(unknown);
}

void AppWidget::slot_treeViewHeaderClicked(int section)
{
    if (section == AppModel::ColCheck) {
        ui->treeView->setSortingEnabled(false);
        switch (m_proxyModel->headerCheckState()) {
        case 0:
        case 1:
            ui->treeView->selectAll();
            break;
        case 2:
            m_selection->clearSelection();
            break;
        default:
            DIAG_LOG("error");
            break;
        }
    } else {
        ui->treeView->setSortingEnabled(true);
    }
    ui->treeView->header()->setSectionsClickable(true);
}

void AppWidget::slot_filterRegExpChanged(QString text)
{
    if (ui->stackedWidget->currentIndex() == 0)
        m_iconViewFilter = text;
    else
        m_detailViewFilter = text;
    m_proxyModel->setFilterWord(text);
    m_proxyModel->invalidate();
    updateHeaderCheckState();
    slot_appSelectChanged();
}

void AppWidget::slot_setStateText()
{
    if (!getCurrentView()) {
        m_state->setCounts(QString(), QString());
        return;
    }
    m_state->setCounts(QString::number(m_proxyModel->rowCount()), QString::number(selectedRowCount()));
}

void AppWidget::slot_docSelectChanged()
{
    const int n = ui->docDetailsView->selectionModel()->selectedRows(0).size();
    // Saving and deleting name documents from the listing.
    ui->pushButton_save->setEnabled(n >= 1 && !documentsUnknown());
    ui->pushButton_delete->setEnabled(n >= 1 && !documentsUnknown());
    m_noDocSelected = n == 0;
    ui->delcheckedbt->setEnabled(m_appSelected && m_noDocSelected);
}

void AppWidget::slot_docAdd()
{
    m_actions->addDocuments();
}

void AppWidget::slot_doc_exporttopc()
{
    m_actions->exportDocuments(selectedDocItems());
}

void AppWidget::slot_docRemove()
{
    m_actions->deleteDocuments(selectedDocItems());
}

void AppWidget::slot_docAdded(QModelIndex parent, int start, int end)
{
    Q_UNUSED(parent);
    for (int row = start; row <= end; ++row)
        ui->docDetailsView->openPersistentEditor(m_docModel->index(row, DocModel::ColSize));
}

void AppWidget::slot_resetDocView()
{
    ui->label_appPic->setPixmap(QPixmap());
    ui->label_appName->clear();
    ui->label_appCategory->clear();
    ui->pushButton_add->setEnabled(false);
    ui->pushButton_save->setEnabled(false);
    ui->pushButton_delete->setEnabled(false);
    m_noDocSelected = true;
}

void AppWidget::slot_taskFailed(AppTask *pTask)
{
    m_actions->reportFailure(pTask);
}

void AppWidget::slot_loadTaskCompleted()
{
    ui->displayViewName->setText(tr("Apps"));
    m_docReload->setEnabled(true);
}

void AppWidget::slot_appInstallOverwriteConfirm(bool *bOverwrite)
{
    m_actions->confirmReplace(qobject_cast<AppTask *>(sender()), bOverwrite);
}

void AppWidget::slot_addDocOverwriteConfirm(bool *bOverwrite)
{
    m_actions->confirmReplace(qobject_cast<AppTask *>(sender()), bOverwrite);
}

void AppWidget::slot_dragAddApptoDev(QStringList applist)
{
    m_actions->installAppFiles(applist);
}

void AppWidget::slot_cancelTasks()
{
    m_actions->cancelTasks(selectedAppItems(), selectedDocItems());
}

bool AppWidget::event(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange && ui)
        setButtonIcons();
    if (event->type() == QEvent::LanguageChange && ui) {
        ui->retranslateUi(this);
        if (getCurrentView()) {
            ui->displayViewName->setText(tr("Apps"));
            m_filter->setPlaceholderText(tr("Search Apps"));
        }
        if (ZAppInfoItem *app = m_docModel->currentApp())
            showAppSummary(app);
        showDocumentState();
        retranslateActions();
        setupAccessibility();
        slot_setStateText();
        m_proxyModel->invalidate();
    }
    return QWidget::event(event);
}

void AppWidget::keyReleaseEvent(QKeyEvent *event)
{
    // In the search box Delete edits the text.
    if (event->key() == Qt::Key_Delete && focusWidget() != m_filter->lineEdit())
        slot_deleteApp();
    QWidget::keyReleaseEvent(event);
}
