// Paint time of the icon view while it scrolls through many apps, per frame,
// offscreen. The first pass decodes and scales every icon once (cached with its
// record); the second pass shows the steady state.
//
//   bench_iconview [--apps N] [--step PIXELS]

#include "AppListView.h"
#include "AppModel.h"
#include "AppProxyModel.h"
#include "VAppIcon.h"
#include "VDemoCatalog.h"
#include "listViewItemDelegate.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

void usage()
{
    std::printf("usage: bench_iconview [--apps N] [--step PIXELS]\n"
                "  Scrolls the icon view (110 x 130 tiles, 800 x 600 window, offscreen)\n"
                "  through N demo apps (default 1000), STEP pixels per frame (default 40),\n"
                "  twice, and prints the paint time per frame: median and worst.\n");
}

struct Pass
{
    int frames = 0;
    double median = 0;
    double worst = 0;
};

Pass scroll(AppListView &view, int step)
{
    std::vector<double> ms;
    QScrollBar *bar = view.verticalScrollBar();
    for (int y = 0;; y += step) {
        bar->setValue(std::min(y, bar->maximum()));
        QElapsedTimer timer;
        timer.start();
        view.viewport()->repaint();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (y >= bar->maximum())
            break;
    }
    std::sort(ms.begin(), ms.end());
    return {int(ms.size()), ms[ms.size() / 2], ms.back()};
}

} // namespace

int main(int argc, char **argv)
{
    int apps = 1000;
    int step = 40;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            usage();
            return 0;
        }
        if (!std::strcmp(argv[i], "--apps") && i + 1 < argc)
            apps = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--step") && i + 1 < argc)
            step = std::max(1, std::atoi(argv[++i]));
        else {
            usage();
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // The demo apps as a load delivers them: records with PNG icons, which
    // the model decodes the first time a view draws them.
    AppInfoItemMap map;
    for (const VDemoApp &demo : VDemoCatalog::generatedApps(apps)) {
        AppInfoItem item;
        item.appId = demo.identifier;
        item.name = demo.name;
        item.genre = demo.genre;
        item.version = demo.shortVersion;
        item.iconPng = VAppIcon::render(quint32(qHash(demo.identifier)), VAppIcon::kSize);
        map.insert(item.appId, item);
    }
    AppModel model(nullptr);
    model.slot_data_loadcompleted(map);
    AppProxyModel proxy;
    proxy.setSourceModel(&model);
    proxy.sort(0);

    AppListView view;
    view.setViewMode(QListView::IconMode);
    view.setResizeMode(QListView::Adjust);
    view.setUniformItemSizes(true);
    view.setSpacing(10);
    view.setItemDelegate(new listViewItemDelegate(&view, QSize(110, 130)));
    view.setModel(&proxy);
    view.resize(800, 600);
    view.show();
    QApplication::processEvents();

    std::printf("icon view, %d apps, %d px per frame, offscreen\n", model.rowCount(), step);
    const Pass first = scroll(view, step);
    std::printf("first pass (icons decoded once) %4d frames  median %7.3f ms  worst %7.3f ms\n", first.frames,
                first.median, first.worst);
    const Pass second = scroll(view, step);
    std::printf("second pass (cached icons)      %4d frames  median %7.3f ms  worst %7.3f ms\n", second.frames,
                second.median, second.worst);
    return 0;
}
