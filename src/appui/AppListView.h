#pragma once

#include "AppTask.h"
#include "IDelayDataSource.h"

#include <QListView>

class AppDragOut;

// The icon view of the apps page. Files dropped on it (.ipa packages, or
// folders holding them) are announced by signalDropInApp; apps dragged out
// become package files when the target takes the drop (AppDragOut).
class AppListView : public QListView, public IDelayDataSource
{
    Q_OBJECT
public:
    explicit AppListView(QWidget *parent = nullptr);

    bool OnRenderData() override;
    AppDragOut *dragOut() const { return m_dragOut; }

signals:
    void signalDropInApp(QStringList appList);

public slots:
    void slotProgress(AppTask *pTask, AppTask::DATA_CHANGED datachanged);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    AppDragOut *m_dragOut;
};
