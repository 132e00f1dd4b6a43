#include "AppDragOut.h"

#include "AppHandler.h"
#include "AppMessages.h"
#include "AppModel.h"
#include "AppProxyModel.h"
#include "DiagLog.h"
#include "DragFileNames.h"
#include "ExportApptoPCTask.h"
#include "IDelayDataSource.h"
#include "MyMimeData.h"
#include "ProgressDlg.h"
#include "Tul.h"
#include "TulMessageBox.h"
#include "TulPref.h"
#include "ZAppInfoItem.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>

AppDragOut::AppDragOut(QAbstractItemView *view, IDelayDataSource *source)
    : QObject(view), m_view(view), m_source(source)
{
}

AppDragOut::~AppDragOut() = default;   // the temporary folder goes with its files

QString AppDragOut::folder() const
{
    return m_folder ? m_folder->path() : QString();
}

AppProxyModel *AppDragOut::proxy() const
{
    return qobject_cast<AppProxyModel *>(m_view->model());
}

AppHandler *AppDragOut::handler() const
{
    AppProxyModel *model = proxy();
    auto *apps = model ? qobject_cast<AppModel *>(model->sourceModel()) : nullptr;
    return apps ? apps->handler() : nullptr;
}

bool AppDragOut::exportAllowed() const
{
    AppHandler *h = handler();
    if (!h || h->canExportApps())
        return true;
    TulMessageBox::info(AppMessages::exportNotAllowed(QString::fromUtf8(h->deviceInfo().firmwareVersion())),
                        QString(), m_view->window());
    return false;
}

bool AppDragOut::ensureFolder()
{
    if (m_folder && m_folder->isValid())
        return true;
    // QTemporaryDir creates the folder with mode 0700 inside our private
    // temporary folder, so no other user can see or plant the files.
    m_folder = std::make_unique<QTemporaryDir>(Tul::tempPath() + QStringLiteral("/drag-XXXXXX"));
    if (!m_folder->isValid()) {
        DIAG_LOG(qPrintable(QStringLiteral("no drag folder: ") + m_folder->errorString()));
        m_folder.reset();
        return false;
    }
    return true;
}

void AppDragOut::removeDragFiles()
{
    if (m_exported) {
        for (const QString &path : std::as_const(m_paths))
            QFile::remove(path);
    }
    m_paths.clear();
}

MyMimeData *AppDragOut::prepare()
{
    QItemSelectionModel *selection = m_view->selectionModel();
    QAbstractItemModel *model = m_view->model();
    if (!selection || !model)
        return nullptr;
    QList<int> rows;
    for (const QModelIndex &index : selection->selectedIndexes()) {
        if (!rows.contains(index.row()))
            rows << index.row();
    }
    if (rows.isEmpty())
        return nullptr;
    std::sort(rows.begin(), rows.end());

    // The previous drag's target has had its files long ago.
    removeDragFiles();
    m_rows.clear();
    if (!exportAllowed() || !ensureFolder())
        return nullptr;

    QStringList names;
    for (int row : rows) {
        const QModelIndex index = model->index(row, AppModel::ColName);
        m_rows << QPersistentModelIndex(index);
        names << index.data(Qt::DisplayRole).toString().trimmed();
    }
    QList<QUrl> urls;
    const QDir dir(m_folder->path());
    for (const QString &name : DragFileNames::packageNames(names)) {
        m_paths << dir.filePath(name);
        urls << QUrl::fromLocalFile(m_paths.last());
    }

    auto *data = new MyMimeData;
    data->setDataSource(m_source);
    data->setUrls(urls);
    m_mimeData = data;
    m_rendered = false;
    m_exported = false;
    return data;
}

Qt::DropAction AppDragOut::start()
{
    MyMimeData *data = prepare();
    if (!data)
        return Qt::IgnoreAction;
    auto *drag = new QDrag(m_view);
    drag->setMimeData(data);
    const QModelIndex first = m_rows.first();
    const QVariant icon = first.sibling(first.row(), AppModel::ColCheck).data(Qt::DecorationRole);
    if (icon.canConvert<QPixmap>())
        drag->setPixmap(icon.value<QPixmap>().scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    const Qt::DropAction result = drag->exec(Qt::CopyAction, Qt::CopyAction);
    // On X11 the target reads the data only after exec() returned: the data
    // object stays alive with the platform's drop transaction.
    if (m_mimeData)
        m_mimeData->setDragResult(result);
    return result;
}

void AppDragOut::showDialog()
{
    if (!m_dialog) {
        m_dialog = new ProgressDlg(m_view);
        m_dialog->setWindowTitle(TulPref::product_name());
        m_dialog->firstLabel()->setText(tr("Exporting"));
        m_dialog->secondLabel()->clear();
        m_dialog->cancelButton()->hide();
        const QPoint topLeft = m_view->mapToGlobal(QPoint(0, 0));
        m_dialog->move(topLeft + QPoint((m_view->width() - m_dialog->width()) / 2,
                                        (m_view->height() - m_dialog->height()) / 2));
    }
    m_dialog->show();
    m_dialog->reset();
}

bool AppDragOut::render()
{
    if (m_rows.isEmpty() || m_rendered) {
        m_rendered = true;
        return true;
    }
    m_rendered = true;   // a nested request while the export runs finds it done
    const bool appOnly = TulMessageBox::question(
        tr("Would you like to copy all data in the selected app(s) (e.g., documents, marks, game records)?"),
        QString(), QMessageBox::Yes | QMessageBox::No, m_view->window(), QMessageBox::No)
        != QMessageBox::Yes;
    showDialog();

    AppHandler *h = handler();
    AppProxyModel *model = proxy();
    for (int i = 0; i < m_rows.size() && i < m_paths.size(); ++i) {
        const QPersistentModelIndex &row = m_rows.at(i);
        m_dialog->setElidedSecondLine(row.data(Qt::DisplayRole).toString().trimmed());
        ExportApptoPCTask carrier(h);   // carries progress only; never queued
        connect(&carrier, &AppTask::dataChanged, this, &AppDragOut::progressChanged);
        ZAppInfoItem *item = (h && model && row.isValid()) ? model->dataItemFromIndex(row) : nullptr;
        if (!item) {
            DIAG_LOG("app of a dragged row is gone");
        } else if (h->AppArchive(item->record.appId.toUtf8(), appOnly, m_paths.at(i).toUtf8(), &carrier) != 0) {
            DIAG_ERROR();
        }
        m_dialog->setProgress(100);
    }
    m_dialog->hide();
    m_exported = true;
    if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    return true;
}

void AppDragOut::progress(AppTask *task, AppTask::DATA_CHANGED changed)
{
    if (changed != AppTask::CHANGED_PROGRESS || !m_dialog || !task)
        return;
    m_dialog->setProgress(task->progress());
    QCoreApplication::processEvents();
}
