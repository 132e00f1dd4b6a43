#include "AppProxyModel.h"

#include "AppModel.h"
#include "DiagLog.h"
#include "ZAppInfoItem.h"

AppModel *AppProxyModel::appModel() const
{
    return qobject_cast<AppModel *>(sourceModel());
}

QVariant AppProxyModel::data(const QModelIndex &index, int role) const
{
    const QModelIndex source = mapToSource(index);
    if (!source.isValid())
        return QVariant();
    if ((m_viewType == DetailView && role == Qt::DecorationRole)
        || (m_viewType == IconView && role == Qt::CheckStateRole))
        return QVariant();
    return sourceModel()->data(source, role);
}

AppTask *AppProxyModel::createTask(AppHandler *handler, int kind, const QVariantList &params)
{
    AppModel *model = appModel();
    if (!model) {
        DIAG_ERROR();
        return nullptr;
    }
    return model->createTask(handler, kind, params);
}

ZAppInfoItem *AppProxyModel::dataItemFromIndex(const QModelIndex &proxyIndex) const
{
    AppModel *model = appModel();
    if (!model) {
        DIAG_ERROR();
        return nullptr;
    }
    const QModelIndex source = mapToSource(proxyIndex);
    return source.isValid() ? model->itemAt(source.row()) : nullptr;
}

void AppProxyModel::setCheckedIndexes(const QModelIndexList &proxyIndexes)
{
    AppModel *model = appModel();
    if (!model)
        return;
    QModelIndexList mapped;
    for (const QModelIndex &index : proxyIndexes)
        mapped.append(mapToSource(index));
    model->setCheckedIndexes(mapped);
}

void AppProxyModel::setHeaderCheckState(int state)
{
    if (AppModel *model = appModel())
        model->setHeaderCheckState(state);
}

int AppProxyModel::headerCheckState() const
{
    AppModel *model = appModel();
    return model ? model->headerCheckState() : 0;
}

void AppProxyModel::slot_modelRowChange()
{
    invalidate();
    emit modelRowChange();
}

bool AppProxyModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    if (m_viewType == IconView) {
        if (m_listKey == 0) {
            const QString a = left.data(AppModel::NameRole).toString();
            const QString b = right.data(AppModel::NameRole).toString();
            return QString::localeAwareCompare(a, b) < 0;
        }
        if (m_listKey != 1 && m_listKey != 2)
            DIAG_ERROR();
        return false;
    }
    if (left.column() == AppModel::ColCheck)
        return false;
    AppModel *model = appModel();
    if (model && (left.column() == AppModel::ColAppSize || left.column() == AppModel::ColDocumentSize)) {
        const ZAppInfoItem *a = model->itemAt(left.row());
        const ZAppInfoItem *b = model->itemAt(right.row());
        if (a && b) {
            if (left.column() == AppModel::ColAppSize)
                return a->record.appSize < b->record.appSize;
            return a->record.documentSize < b->record.documentSize;
        }
    }
    return QString::localeAwareCompare(left.data(Qt::DisplayRole).toString(),
                                       right.data(Qt::DisplayRole).toString()) < 0;
}

bool AppProxyModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (m_listKey < 0 || m_listKey > 2)
        DIAG_LOG("unknown list key");
    if (m_viewType == IconView)
        return listViewWordFilterAccepted(sourceRow, sourceParent);
    if (m_viewType != DetailView) {
        DIAG_LOG("unknown view type");
        return false;
    }
    if (m_filterWord.isEmpty())
        return true;
    const QAbstractItemModel *source = sourceModel();
    const int columns = source ? source->columnCount(sourceParent) : 0;
    if (columns < 2)
        return false;
    for (int column = 1; column < columns; ++column) {
        const QString text = source->index(sourceRow, column, sourceParent).data(Qt::DisplayRole).toString();
        if (text.contains(m_filterWord, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool AppProxyModel::listViewWordFilterAccepted(int sourceRow, const QModelIndex &sourceParent) const
{
    if (m_filterWord.isEmpty())
        return true;
    if (m_listKey != 0) {
        DIAG_ERROR();
        return false;
    }
    const QString name =
        sourceModel()->index(sourceRow, AppModel::ColName, sourceParent).data(Qt::DisplayRole).toString();
    return name.contains(m_filterWord, Qt::CaseInsensitive);
}
