// Renders the icon view and the detail view of the demo device into PNG
// files, in a light and a dark palette, for people to look at:
//
//   appui_screenshots FOLDER        (QT_SCALE_FACTOR=2 for 200 %)
//
// Files: icon-<scale>-<theme>.png and detail-<scale>-<theme>.png; the whole
// apps page: page-icon-<scale>.png, page-detail-<scale>.png,
// page-documents-<scale>.png (details pane open on a file-sharing app),
// page-documents-unread-<scale>.png (the device would not list them), and
// the name-conflict dialog: conflict-<scale>.png.

#include "DarkPalette.h"
#include "AppListView.h"
#include "AppTreeView.h"
#include "AppWidget.h"
#include "DocModel.h"
#include "ReplaceDlg.h"
#include "DemoPage.h"
#include "TulSkin.h"
#include "listViewItemDelegate.h"
#include "AppWidgetForm.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPalette>
#include <QSignalSpy>
#include <QTest>
#include <QStyleFactory>

#include <cstdio>

namespace {

bool save(QWidget *widget, const QString &path)
{
    widget->ensurePolished();
    QCoreApplication::processEvents();
    const bool ok = widget->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// The apps page over the same device: both views, the details pane on a
// file-sharing app, and the conflict dialog of a copy to the computer.
bool shootPage(DemoPage &page, const QString &folder, const QString &scale)
{
    AppWidget widget(QString::fromStdString(page.device().id(0)));
    QSignalSpy loaded(&widget, &AppWidget::signalLoadTaskCompleted);
    widget.resize(985, 723);
    widget.show();
    if (!loaded.wait(30000)) {
        std::fprintf(stderr, "appui_screenshots: the page did not load\n");
        return false;
    }
    bool ok = save(&widget, QStringLiteral("%1/page-icon-%2.png").arg(folder, scale));
    widget.form()->treeView_pushButton->click();
    ok = save(&widget, QStringLiteral("%1/page-detail-%2.png").arg(folder, scale)) && ok;
    widget.form()->listView_pushButton->click();
    AppProxyModel *proxy = widget.proxyModel();
    for (int row = 0; row < proxy->rowCount(); ++row) {
        if (proxy->index(row, AppModel::ColName).data().toString() == QLatin1String("Pocket Notes"))
            widget.getCurrentView()->selectionModel()->select(proxy->index(row, 0),
                                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    for (int i = 0; i < 50 && widget.docModel()->rowCount() == 0; ++i)
        QTest::qWait(100);
    ok = save(&widget, QStringLiteral("%1/page-documents-%2.png").arg(folder, scale)) && ok;
    page.device().fault(0, "com.apple.mobile.house_arrest", "error", "InstallationLookupFailed");
    widget.reloadApps();
    for (int i = 0; i < 100 && widget.documentStateText().isEmpty(); ++i)
        QTest::qWait(100);
    ok = save(&widget, QStringLiteral("%1/page-documents-unread-%2.png").arg(folder, scale)) && ok;
    page.device().deviceCtl(0, "clear-faults");

    ReplaceDlg conflict;
    conflict.setFileName(QStringLiteral("Pocket Notes 4.2.1.ipa"));
    conflict.show();
    ok = save(&conflict, QStringLiteral("%1/conflict-%2.png").arg(folder, scale)) && ok;
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: appui_screenshots FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    const QString scale = QString::number(qRound(app.devicePixelRatio() * 100));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    app.setStyleSheet(TulSkin::styleSheet());

    DemoPage page(0);
    if (!page.load()) {
        std::fprintf(stderr, "appui_screenshots: %s\n", qPrintable(page.error()));
        return 1;
    }
    AppProxyModel details;
    details.setViewType(AppProxyModel::DetailView);
    details.setSourceModel(page.apps());
    details.sort(AppModel::ColName);

    // Fresh views per palette: a widget polished under a style sheet keeps
    // the palette it had then.
    const auto shoot = [&](const QString &theme, const QPalette &palette) {
        QApplication::setPalette(palette);
        AppListView icons;
        icons.setViewMode(QListView::IconMode);
        icons.setFlow(QListView::LeftToRight);
        icons.setResizeMode(QListView::Adjust);
        icons.setUniformItemSizes(true);
        icons.setSpacing(10);
        icons.setFrameShape(QFrame::NoFrame);
        icons.setItemDelegate(new listViewItemDelegate(&icons, QSize(110, 130)));
        icons.setModel(page.proxy());
        icons.selectionModel()->select(page.proxy()->index(1, 0), QItemSelectionModel::Select);
        icons.resize(640, 460);

        AppTreeView tree;
        tree.setModel(&details);
        tree.setRootIsDecorated(false);
        tree.setItemsExpandable(false);
        tree.setSortingEnabled(true);
        tree.setAllColumnsShowFocus(true);
        tree.setFrameShape(QFrame::NoFrame);
        tree.setSelectionMode(QAbstractItemView::ExtendedSelection);
        tree.sortByColumn(AppModel::ColName, Qt::AscendingOrder);
        tree.header()->resizeSection(AppModel::ColCheck, 28);
        for (int column = AppModel::ColName; column < AppModel::ColumnCount; ++column)
            tree.resizeColumnToContents(column);
        const QModelIndexList checked{details.index(1, 0), details.index(2, 0)};
        details.setCheckedIndexes(checked);
        details.setHeaderCheckState(1);
        for (const QModelIndex &index : checked)
            tree.selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        tree.resize(1000, 420);

        const bool a = save(&icons, QStringLiteral("%1/icon-%2-%3.png").arg(folder, scale, theme));
        const bool b = save(&tree, QStringLiteral("%1/detail-%2-%3.png").arg(folder, scale, theme));
        return a && b;
    };
    const bool light = shoot(QStringLiteral("light"), QApplication::style()->standardPalette());
    const bool dark = shoot(QStringLiteral("dark"), TestData::darkPalette());
    QApplication::setPalette(QApplication::style()->standardPalette());
    const bool pages = shootPage(page, folder, scale);
    const bool ok = light && dark && pages;
    return ok ? 0 : 1;
}
