#include "DocModel.h"

#include "AppMessages.h"
#include "AppModel.h"
#include "AppTaskCtrl.h"
#include "AppTaskManager.h"
#include "DiagLog.h"
#include "ExportDoctoPCTask.h"
#include "ModelDecorations.h"
#include "ZAppInfoItem.h"
#include "ZDocItemInfo.h"

#include <algorithm>

namespace {

DocModel::IconProvider &provider()
{
    static DocModel::IconProvider provider;
    return provider;
}

} // namespace

void DocModel::setIconProvider(IconProvider provider)
{
    ::provider() = std::move(provider);
}

const DocModel::IconProvider &DocModel::iconProvider()
{
    return provider();
}

DocModel::DocModel(AppModel *appModel, QObject *parent) : QAbstractItemModel(parent), m_appModel(appModel)
{
    registerAppRecordMetaTypes();
    AppTask::registerMetaTypes();
    if (!appModel)
        return;
    connect(appModel, &QAbstractItemModel::rowsAboutToBeRemoved, this, &DocModel::slot_appRemoved);
    connect(appModel, &QAbstractItemModel::modelAboutToBeReset, this, &DocModel::slot_appModelAboutToBeReset);
    connect(appModel, &AppModel::data_sharedDocAdded, this, &DocModel::slot_docAdded);
    connect(appModel, &AppModel::data_sharedDocChanged, this, &DocModel::slot_docChanged);
    connect(appModel, &AppModel::data_sharedDocRemoved, this, &DocModel::slot_docRemoved);
}

DocModel::~DocModel()
{
    for (const DocList &list : std::as_const(m_docs))
        qDeleteAll(list);
    qDeleteAll(m_orphans);
}

QModelIndex DocModel::index(int row, int column, const QModelIndex &parent) const
{
    ZDocItemInfo *item = parent.isValid() ? nullptr : itemAt(row);
    if (!item || column < 0 || column >= ColumnCount)
        return QModelIndex();
    return createIndex(row, column, item);
}

QModelIndex DocModel::parent(const QModelIndex &) const
{
    return QModelIndex();
}

int DocModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_current)
        return 0;
    return int(m_docs.value(m_current->record.appId).size());
}

int DocModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DocModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.model() != this)
        return QVariant();
    auto *item = static_cast<ZDocItemInfo *>(index.internalPointer());
    const DocItemInfo &r = item->record;
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        if (column == ColName)
            return r.name;
        if (column == ColModified)
            return AppMessages::timeText(r.modifiedTime);
        if (column == ColSize && r.isFile)
            return AppModel::sizeText(quint64(qMax<qint64>(r.size, 0)));
        return QVariant();
    case Qt::DecorationRole: {
        const ModelDecorations *decorations = ModelDecorations::installed();
        if (column != ColIcon || !decorations)
            return QVariant();
        return decorations->documentIcon(*item);
    }
    case Qt::ToolTipRole:
        return column == ColName ? QVariant(r.name) : QVariant();
    case Qt::TextAlignmentRole:
        return column == ColModified ? QVariant(int(Qt::AlignCenter)) : QVariant();
    case TaskStateRole: {
        if (item->associatedTasks().isEmpty())
            return 0;
        const int kind = item->associatedTasks().first()->kind();
        if (kind == AppTask::AppAddDocTask)
            return 1;
        if (kind == AppTask::ExportDoctoPCTask)
            return 2;
        return QVariant();
    }
    case TaskProgressRole:
        if (item->associatedTasks().isEmpty())
            return QVariant();
        return item->associatedTasks().first()->progress();
    case ItemRole:
        return qint64(reinterpret_cast<quintptr>(item));
    default:
        return QVariant();
    }
}

void DocModel::setCurrentApp(ZAppInfoItem *app)
{
    beginResetModel();
    m_current = app;
    if (app && !m_docs.contains(app->record.appId)) {
        DocList list;
        for (const DocItemInfo &doc : app->record.documents) {
            auto *item = new ZDocItemInfo;
            item->record = doc;
            list.append(item);
        }
        m_docs.insert(app->record.appId, list);
    }
    endResetModel();
}

QModelIndexList DocModel::allIndexes() const
{
    QModelIndexList indexes;
    for (int row = 0; row < rowCount(); ++row)
        indexes.append(index(row, 0));
    return indexes;
}

AppTask *DocModel::createTask(AppHandler *handler, int kind, const QVariantList &params)
{
    AppTask *task = AppTaskManager::instance()->create(handler, kind, params);
    if (!task)
        return nullptr;
    if (task->kind() == AppTask::AppAddDocTask) {
        auto *orphan = new ZDocItemInfo;
        orphan->addAssociateTask(task);
        m_orphans.append(orphan);
    }
    connect(task, &AppTask::dataChanged, this, &DocModel::slot_taskDataChanged, Qt::AutoConnection);
    return task;
}

ZDocItemInfo *DocModel::itemAt(int row) const
{
    if (!m_current)
        return nullptr;
    const DocList list = m_docs.value(m_current->record.appId);
    return row >= 0 && row < list.size() ? list.at(row) : nullptr;
}

int DocModel::rowOf(const ZDocItemInfo *item) const
{
    if (!m_current)
        return -1;
    return int(m_docs.value(m_current->record.appId).indexOf(const_cast<ZDocItemInfo *>(item)));
}

int DocModel::rowOf(const DocItemInfo &doc) const
{
    return m_current ? indexByPath(m_docs.value(m_current->record.appId), doc.path) : -1;
}

ZDocItemInfo *DocModel::dataItemByTask(const AppTask *task) const
{
    if (!task)
        return nullptr;
    const QString id = task->id();
    for (const DocList &list : m_docs) {
        for (ZDocItemInfo *item : list) {
            for (const AppTask *t : item->associatedTasks()) {
                if (t->id() == id)
                    return item;
            }
        }
    }
    return nullptr;
}

ZDocItemInfo *DocModel::adoptOrphanDataItem(const AppTask *task)
{
    if (task) {
        const QString id = task->id();
        for (int i = 0; i < m_orphans.size(); ++i) {
            for (const AppTask *t : m_orphans.at(i)->associatedTasks()) {
                if (t->id() == id)
                    return m_orphans.takeAt(i);
            }
        }
    }
    DIAG_LOG("no waiting document for the task");
    return nullptr;
}

bool DocModel::hasBusyDocument(const QString &appId) const
{
    const DocList list = m_docs.value(appId);
    return std::any_of(list.begin(), list.end(),
                       [](const ZDocItemInfo *item) { return !item->associatedTasks().isEmpty(); });
}

bool DocModel::refersTo(const AppTask *task) const
{
    auto *t = const_cast<AppTask *>(task);
    for (const ZDocItemInfo *item : m_orphans) {
        if (item->associatedTasks().contains(t))
            return true;
    }
    for (const DocList &list : m_docs) {
        for (const ZDocItemInfo *item : list) {
            if (item->associatedTasks().contains(t))
                return true;
        }
    }
    return false;
}

bool DocModel::isCurrent(const QString &appId) const
{
    return m_current && m_current->record.appId == appId;
}

bool DocModel::lessThan(const ZDocItemInfo *a, const ZDocItemInfo *b)
{
    const bool aFolder = !a->record.isFile;
    const bool bFolder = !b->record.isFile;
    if (aFolder != bFolder)
        return aFolder;
    return a->record.name < b->record.name;
}

int DocModel::indexByPath(const DocList &list, const QString &path)
{
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i)->record.path == path)
            return i;
    }
    return -1;
}

void DocModel::refreshRow(int row, int lastColumn)
{
    if (row >= 0)
        emit dataChanged(index(row, 0), index(row, lastColumn));
}
