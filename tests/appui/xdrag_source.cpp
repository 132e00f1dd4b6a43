// The drag source of the X11 drag test: AppShuttle's icon view over the demo
// device, at the top left of the screen. Prints "READY <x> <y> <window>"
// with the global centre of the first tile and the X window id once the
// apps are shown, and quits when its standard input says "quit".

#include "AppListView.h"
#include "DemoPage.h"
#include "TulMessageBox.h"
#include "listViewItemDelegate.h"

#include <QApplication>
#include <QDir>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // Copy the app alone: the question is answered as a user would.
    TulMessageBox::setAnswerer([](const TulMessageBox::Request &) { return QMessageBox::No; });
    DemoPage page(0);
    if (!page.load()) {
        std::fprintf(stderr, "xdrag_source: %s\n", qPrintable(page.error()));
        return 1;
    }
    AppListView view;
    view.setViewMode(QListView::IconMode);
    view.setItemDelegate(new listViewItemDelegate(&view, QSize(110, 130)));
    view.setUniformItemSizes(true);
    view.setSpacing(10);
    view.setModel(page.proxy());
    view.setWindowTitle(QStringLiteral("AppShuttle drag source"));
    view.setGeometry(0, 0, 420, 320);
    view.show();

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&app] {
        char line[64] = {};
        if (::read(STDIN_FILENO, line, sizeof line - 1) <= 0 || qstrncmp(line, "quit", 4) == 0)
            app.quit();
    });
    QMetaObject::invokeMethod(&view, [&view] {
        const QPoint centre = view.viewport()->mapToGlobal(view.visualRect(view.model()->index(0, 0)).center());
        std::printf("READY %d %d %llu\n", centre.x(), centre.y(), static_cast<unsigned long long>(view.winId()));
        std::printf("TMP %s\n", qPrintable(QDir::tempPath()));
        std::fflush(stdout);
    }, Qt::QueuedConnection);
    return app.exec();
}
