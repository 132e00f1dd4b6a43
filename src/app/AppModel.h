#pragma once

#include "AppInfoItem.h"
#include "AppTask.h"

#include <QAbstractItemModel>
#include <QList>
#include <QModelIndexList>
#include <QSet>

#include <string>
#include <vector>

class AppHandler;
class ZAppInfoItem;

// The apps of one device, one row per app in bundle-identifier order (code
// unit by code unit). Fed only by its AppHandler's signals (queued from the
// worker thread); creates the tasks the apps page asks for and turns their
// ends into row updates, taskFailed and loadTaskCompleted. Owns its records,
// including the placeholders of installs whose app is not there yet.
// Decorations come from ModelDecorations, so the model itself needs only
// Qt Core and also serves the command-line front end.
class AppModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Column {
        ColCheck, ColName, ColPurchaseAccount, ColPurchaseDate, ColGenre,
        ColAppSize, ColDocumentSize, ColVersion, ColReleaseDate, ColumnCount
    };
    enum Role { NameRole = 45, GenreRole = 46 };

    explicit AppModel(AppHandler *handler, QObject *parent = nullptr);
    ~AppModel() override;

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    QVariant displayRoleData(const QModelIndex &index) const;
    // "%.2f GB" above 2^30 bytes, "%.2f MB" above 2^20, else "%.2f KB".
    static QString sizeText(quint64 bytes);
    // Local date "yyyy-MM-dd" of seconds since 1970; empty for 0.
    static QString dateText(qint64 seconds);
    // The header check-box image for a check state, empty for other states.
    static QString headerIconPath(int state);

    // The task (from the task manager) for the handler, kind and parameters;
    // an install gets a placeholder record. Null when the kind is unknown.
    AppTask *createTask(AppHandler *handler, int kind, const QVariantList &params);

    // Ticked rows are kept by bundle identifier: they survive installs,
    // removals of other apps and reloads that still find the app.
    void setCheckedIndexes(const QModelIndexList &indexes);
    QModelIndexList checkedIndexes() const;
    void setHeaderCheckState(int state) { m_headerCheckState = state; }
    int headerCheckState() const { return m_headerCheckState; }

    ZAppInfoItem *itemAt(int row) const;
    ZAppInfoItem *item(const QString &appId) const;
    int rowOf(const ZAppInfoItem *item) const;
    // The row record that has the task (by identifier) among its tasks.
    ZAppInfoItem *itemByTask(const AppTask *task) const;
    // True when a row record or a placeholder still lists the task.
    bool refersTo(const AppTask *task) const;
    AppHandler *handler() const { return m_handler; }

signals:
    void data_itemadded(AppInfoItem item);
    void data_sharedDocAdded(AppInfoItem *pAppItem, DocItemInfo docItem, AppTask *pTask);
    void data_sharedDocChanged(AppInfoItem *pAppItem, DATACHANGED_REASON reason, DocItemInfo docItem);
    void data_sharedDocRemoved(AppInfoItem *pAppItem, DocItemInfo docItem);
    void taskFailed(AppTask *pTask);
    void loadTaskCompleted();

public slots:
    void slot_data_loadcompleted(AppInfoItemMap itemMap);
    void slot_data_itemadded(AppInfoItem item, AppTask *pTask);
    void slot_data_itemremoved(std::string appId);
    void slot_data_itemchanged(AppInfoItem item, DATACHANGED_REASON reason);
    void slot_data_itemchanged(AppInfoItem item, DATACHANGED_REASON reason, DocItemInfo docItem);
    void slot_app_docAdded(AppInfoItem item, DocItemInfo docItem, AppTask *pTask);
    void slot_taskDataChanged(AppTask *pTask, AppTask::DATA_CHANGED changed);

private:
    // Position of the first row whose appId is not less than appId.
    int lowerBound(const QString &appId) const;
    ZAppInfoItem *takePending(const AppTask *task);
    void refreshRow(int row, int firstColumn = 0, int lastColumn = ColumnCount - 1);

    AppHandler *m_handler;
    std::vector<ZAppInfoItem *> m_items;   // sorted by appId: row r is m_items[r]
    QSet<QString> m_checked;   // bundle identifiers of the ticked rows
    int m_headerCheckState = 0;
    QList<ZAppInfoItem *> m_pending;
};
