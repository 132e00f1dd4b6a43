#pragma once

#include "AppTask.h"
#include "MyMimeData.h"

#include <QList>
#include <QObject>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QStringList>

#include <memory>

class AppHandler;
class AppProxyModel;
class IDelayDataSource;
class ProgressDlg;
class QAbstractItemView;
class QTemporaryDir;

// The drag out of an app view, shared by the icon and the detail view.
// start() runs the drag with file URLs of packages that are written only
// when the target asks for them after the drop (render()). The files live in
// a private folder of the program's temporary folder (mode 0700); a drag's
// files are removed when the next drag starts (the target has long had them
// by then) and the folder with everything in it when this object goes.
// GUI thread only; render() runs the export on the GUI thread, keeping the
// window alive through the progress dialog.
class AppDragOut : public QObject
{
    Q_OBJECT
public:
    AppDragOut(QAbstractItemView *view, IDelayDataSource *source);
    ~AppDragOut() override;

    // Starts and runs a drag of the selected apps; returns what QDrag::exec gave.
    Qt::DropAction start();
    // The data of a new drag of the selected apps (owned by the caller until
    // a QDrag takes it), or null when nothing is selected or the device does
    // not let apps be copied out (the user was told). start() runs it.
    MyMimeData *prepare();
    // Writes the packages of the current drag (IDelayDataSource::OnRenderData).
    bool render();
    void progress(AppTask *task, AppTask::DATA_CHANGED changed);

    // The folder of the drag files, empty before the first drag.
    QString folder() const;
    QStringList currentPaths() const { return m_paths; }
    bool rendered() const { return m_rendered; }
    bool exported() const { return m_exported; }
    ProgressDlg *progressDialog() const { return m_dialog; }
    // The data of the current drag while it lives (X11 keeps it after exec()).
    MyMimeData *mimeData() const { return m_mimeData; }

signals:
    void progressChanged(AppTask *task, AppTask::DATA_CHANGED changed);

private:
    AppProxyModel *proxy() const;
    AppHandler *handler() const;
    // True when the device lets apps be copied out; else tells the user.
    bool exportAllowed() const;
    bool ensureFolder();
    void removeDragFiles();
    void showDialog();

    QAbstractItemView *m_view;
    IDelayDataSource *m_source;
    QList<QPersistentModelIndex> m_rows;
    QStringList m_paths;
    bool m_rendered = false;
    bool m_exported = false;
    ProgressDlg *m_dialog = nullptr;
    std::unique_ptr<QTemporaryDir> m_folder;
    QPointer<MyMimeData> m_mimeData;
};
