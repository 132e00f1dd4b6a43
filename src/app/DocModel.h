#pragma once

#include "AppInfoItem.h"
#include "AppTask.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QList>
#include <QModelIndexList>

#include <functional>

class AppHandler;
class AppModel;
class QImage;
class ZAppInfoItem;
class ZDocItemInfo;

// The shared documents of the app shown on the apps page. Keeps one list per
// app made current (built from its record the first time, then kept up to
// date by the app model's document signals): folders first, then by name
// code unit by code unit. Owns its records, including the placeholders of
// add-document tasks whose document does not exist yet.
class DocModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Column { ColIcon, ColName, ColModified, ColSize, ColumnCount };
    enum Role { TaskStateRole = 33, TaskProgressRole = 34, ItemRole = 35 };

    // File-type icons need the widget layer; the GUI sets this once and its
    // decorations (ModelDecorations) call it. Without it documents show no icon.
    using IconProvider = std::function<QImage(const QString &fileName)>;
    static void setIconProvider(IconProvider provider);
    static const IconProvider &iconProvider();

    DocModel(AppModel *appModel, QObject *parent = nullptr);
    ~DocModel() override;

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    void setCurrentApp(ZAppInfoItem *app);
    ZAppInfoItem *currentApp() const { return m_current; }
    QModelIndexList allIndexes() const;

    AppTask *createTask(AppHandler *handler, int kind, const QVariantList &params);

    int rowOf(const ZDocItemInfo *item) const;
    int rowOf(const DocItemInfo &doc) const;
    ZDocItemInfo *itemAt(int row) const;
    ZDocItemInfo *dataItemByTask(const AppTask *task) const;
    ZDocItemInfo *adoptOrphanDataItem(const AppTask *task);
    // True when any document of the app has a task attached.
    bool hasBusyDocument(const QString &appId) const;
    bool refersTo(const AppTask *task) const;

public slots:
    void slot_appRemoved(const QModelIndex &parent, int start, int end);
    void slot_docAdded(AppInfoItem *pAppItem, DocItemInfo docItem, AppTask *pTask);
    void slot_docChanged(AppInfoItem *pAppItem, DATACHANGED_REASON reason, DocItemInfo docItem);
    void slot_docRemoved(AppInfoItem *pAppItem, DocItemInfo docItem);
    void slot_taskDataChanged(AppTask *pTask, AppTask::DATA_CHANGED changed);

private slots:
    void slot_appModelAboutToBeReset();

private:
    using DocList = QList<ZDocItemInfo *>;

    bool isCurrent(const QString &appId) const;
    static bool lessThan(const ZDocItemInfo *a, const ZDocItemInfo *b);
    static int indexByPath(const DocList &list, const QString &path);
    void refreshRow(int row, int lastColumn = ColumnCount - 1);
    // Replaces the list with the app's documents (unless a task works on one).
    void rebuild(DocList &list, const AppInfoItem &app);

    AppModel *m_appModel;
    ZAppInfoItem *m_current = nullptr;
    QHash<QString, DocList> m_docs;
    DocList m_orphans;
};
