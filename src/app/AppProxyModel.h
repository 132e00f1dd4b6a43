#pragma once

#include <QSortFilterProxyModel>

class AppHandler;
class AppModel;
class AppTask;
class ZAppInfoItem;

// Sorts and filters the app model for the icon view (view type 0: by name,
// no check boxes) and the detail view (view type 1: by any column, sizes as
// numbers, no icons). The setters only store: the caller invalidates.
class AppProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    enum ViewType { IconView = 0, DetailView = 1 };

    AppProxyModel() = default;

    void setViewType(int type) { m_viewType = type; }
    int viewType() const { return m_viewType; }
    void setListKey(int key) { m_listKey = key; }
    int listKey() const { return m_listKey; }
    void setFilterWord(const QString &word) { m_filterWord = word; }
    QString filterWord() const { return m_filterWord; }

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Forwarded to the source AppModel; null (logged) for another source.
    AppTask *createTask(AppHandler *handler, int kind, const QVariantList &params);
    ZAppInfoItem *dataItemFromIndex(const QModelIndex &proxyIndex) const;
    void setCheckedIndexes(const QModelIndexList &proxyIndexes);
    void setHeaderCheckState(int state);
    int headerCheckState() const;

signals:
    void modelRowChange();

public slots:
    void slot_modelRowChange();

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    AppModel *appModel() const;
    bool listViewWordFilterAccepted(int sourceRow, const QModelIndex &sourceParent) const;

    int m_viewType = IconView;
    int m_listKey = 0;
    QString m_filterWord;
};
