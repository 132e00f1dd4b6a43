#include "AppModel.h"

#include "AppHandler.h"
#include "AppMessages.h"
#include "AppTaskCtrl.h"
#include "AppTaskManager.h"
#include "DiagLog.h"
#include "ModelDecorations.h"
#include "ZAppInfoItem.h"

#include <QDateTime>

#include <algorithm>

AppModel::AppModel(AppHandler *handler, QObject *parent) : QAbstractItemModel(parent), m_handler(handler)
{
    registerAppRecordMetaTypes();
    AppTask::registerMetaTypes();
    if (!handler)
        return;
    connect(handler, &AppHandler::data_loadcompleted, this, &AppModel::slot_data_loadcompleted);
    connect(handler, &AppHandler::data_itemadded, this, &AppModel::slot_data_itemadded);
    connect(handler, &AppHandler::data_itemremoved, this, &AppModel::slot_data_itemremoved);
    connect(handler, qOverload<AppInfoItem, DATACHANGED_REASON>(&AppHandler::data_itemchanged), this,
            qOverload<AppInfoItem, DATACHANGED_REASON>(&AppModel::slot_data_itemchanged));
    connect(handler, qOverload<AppInfoItem, DATACHANGED_REASON, DocItemInfo>(&AppHandler::data_itemchanged),
            this, qOverload<AppInfoItem, DATACHANGED_REASON, DocItemInfo>(&AppModel::slot_data_itemchanged));
    connect(handler, &AppHandler::data_app_docAdded, this, &AppModel::slot_app_docAdded);
}

AppModel::~AppModel()
{
    qDeleteAll(m_items);
    qDeleteAll(m_pending);
}

QModelIndex AppModel::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || row >= int(m_items.size()) || column < 0 || column >= ColumnCount)
        return QModelIndex();
    return createIndex(row, column, m_items[size_t(row)]);
}

QModelIndex AppModel::parent(const QModelIndex &) const
{
    return QModelIndex();
}

int AppModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

int AppModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AppModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.model() != this)
        return QVariant();
    const auto *item = static_cast<const ZAppInfoItem *>(index.internalPointer());
    switch (role) {
    case Qt::DisplayRole:
        return displayRoleData(index);
    case Qt::DecorationRole: {
        const ModelDecorations *decorations = ModelDecorations::installed();
        if (index.column() != ColCheck || !decorations)
            return QVariant();
        return decorations->appIcon(*item);
    }
    case Qt::CheckStateRole:
        if (index.column() != ColCheck)
            return QVariant();
        return m_checked.contains(item->record.appId) ? int(Qt::Checked) : int(Qt::Unchecked);
    case NameRole:
        return item->record.name;
    case GenreRole:
        return item->record.genre;
    default:
        return QVariant();
    }
}

QVariant AppModel::displayRoleData(const QModelIndex &index) const
{
    if (!index.isValid())
        return QVariant();
    const AppInfoItem &r = static_cast<const ZAppInfoItem *>(index.internalPointer())->record;
    switch (index.column()) {
    case ColCheck: return QVariant();
    case ColName: return r.name;
    case ColPurchaseAccount: return r.purchaseAccount;
    case ColPurchaseDate: return dateText(r.purchaseDate);
    case ColGenre: return r.genre;
    case ColAppSize: return sizeText(r.appSize);
    case ColDocumentSize: return sizeText(r.documentSize);
    case ColVersion: return r.version;
    case ColReleaseDate: return dateText(r.releaseDate);
    default:
        DIAG_ERROR();
        return QVariant();
    }
}

QString AppModel::sizeText(quint64 bytes)
{
    return AppMessages::sizeText(bytes);
}

QString AppModel::dateText(qint64 seconds)
{
    return AppMessages::dateText(seconds);
}

QString AppModel::headerIconPath(int state)
{
    switch (state) {
    case 0: return QStringLiteral(":/images/checkbox.png");
    case 1: return QStringLiteral(":/images/checkbox_.png");
    case 2: return QStringLiteral(":/images/checkedbox.png");
    default: return QString();
    }
}

QVariant AppModel::headerData(int section, Qt::Orientation, int role) const
{
    if (section < 0 || section >= ColumnCount) {
        DIAG_ERROR();
        return QVariant();
    }
    if (role == Qt::DisplayRole) {
        switch (section) {
        case ColName: return tr("Name");
        case ColPurchaseAccount: return tr("Purchase Account");
        case ColPurchaseDate: return tr("Purchase Date");
        case ColGenre: return tr("Genre");
        case ColAppSize: return tr("App Size");
        case ColDocumentSize: return tr("Document Size");
        case ColVersion: return tr("Version");
        case ColReleaseDate: return tr("Release Date");
        default: return QVariant();
        }
    }
    if (role == Qt::DecorationRole && section == ColCheck) {
        const QString path = headerIconPath(m_headerCheckState);
        const ModelDecorations *decorations = ModelDecorations::installed();
        if (path.isEmpty() || !decorations)
            return QVariant();
        return decorations->headerIcon(path);
    }
    return QVariant();
}

Qt::ItemFlags AppModel::flags(const QModelIndex &index) const
{
    const Qt::ItemFlags base = QAbstractItemModel::flags(index);
    if (!index.isValid())
        return base | Qt::ItemIsDropEnabled;
    if (index.column() == ColCheck)
        return base | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
    return base | Qt::ItemIsDragEnabled;
}

AppTask *AppModel::createTask(AppHandler *handler, int kind, const QVariantList &params)
{
    AppTask *task = AppTaskManager::instance()->create(handler, kind, params);
    if (!task)
        return nullptr;
    if (task->kind() == AppTask::InstallAppTask) {
        auto *placeholder = new ZAppInfoItem;
        placeholder->addAssociateTask(task);
        m_pending.append(placeholder);
    }
    connect(task, &AppTask::dataChanged, this, &AppModel::slot_taskDataChanged, Qt::AutoConnection);
    return task;
}

ZAppInfoItem *AppModel::itemAt(int row) const
{
    return row >= 0 && row < int(m_items.size()) ? m_items[size_t(row)] : nullptr;
}

ZAppInfoItem *AppModel::item(const QString &appId) const
{
    const int row = lowerBound(appId);
    ZAppInfoItem *found = itemAt(row);
    return found && found->record.appId == appId ? found : nullptr;
}

int AppModel::rowOf(const ZAppInfoItem *item) const
{
    if (!item)
        return -1;
    const int row = lowerBound(item->record.appId);
    return itemAt(row) == item ? row : -1;
}

void AppModel::setCheckedIndexes(const QModelIndexList &indexes)
{
    m_checked.clear();
    for (const QModelIndex &index : indexes) {
        if (const ZAppInfoItem *item = itemAt(index.isValid() && index.model() == this ? index.row() : -1))
            m_checked.insert(item->record.appId);
    }
}

QModelIndexList AppModel::checkedIndexes() const
{
    QModelIndexList indexes;
    for (size_t row = 0; row < m_items.size(); ++row) {
        if (m_checked.contains(m_items[row]->record.appId))
            indexes.append(index(int(row), 0));
    }
    return indexes;
}

ZAppInfoItem *AppModel::itemByTask(const AppTask *task) const
{
    if (!task)
        return nullptr;
    const QString id = task->id();
    for (ZAppInfoItem *item : m_items) {
        for (const AppTask *t : item->associatedTasks()) {
            if (t->id() == id)
                return item;
        }
    }
    return nullptr;
}

bool AppModel::refersTo(const AppTask *task) const
{
    for (const ZAppInfoItem *item : m_pending) {
        if (item->associatedTasks().contains(const_cast<AppTask *>(task)))
            return true;
    }
    return std::any_of(m_items.begin(), m_items.end(), [task](const ZAppInfoItem *item) {
        return item->associatedTasks().contains(const_cast<AppTask *>(task));
    });
}

int AppModel::lowerBound(const QString &appId) const
{
    const auto it = std::lower_bound(m_items.begin(), m_items.end(), appId,
                                     [](const ZAppInfoItem *item, const QString &key) {
                                         return item->record.appId < key;
                                     });
    return int(it - m_items.begin());
}

ZAppInfoItem *AppModel::takePending(const AppTask *task)
{
    if (!task)
        return nullptr;
    const QString id = task->id();
    for (int i = 0; i < m_pending.size(); ++i) {
        for (const AppTask *t : m_pending.at(i)->associatedTasks()) {
            if (t->id() == id)
                return m_pending.takeAt(i);
        }
    }
    return nullptr;
}

void AppModel::refreshRow(int row, int firstColumn, int lastColumn)
{
    if (row >= 0)
        emit dataChanged(index(row, firstColumn), index(row, lastColumn));
}
