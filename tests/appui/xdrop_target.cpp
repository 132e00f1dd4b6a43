// The drop target of the X11 drag test, standing for a file manager: accepts
// "text/uri-list" and copies the files it receives into the folder given as
// its argument. With --read-on-hover it also reads the data while the drag
// only hovers, as some targets do. Prints "READY <x> <y>" (its centre),
// "DROPPED <n>" and "COPIED <name> <bytes>" per file; quits on "quit".

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QSocketNotifier>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

namespace {

class Target : public QWidget
{
public:
    Target(const QString &out, bool readOnHover) : m_out(out), m_readOnHover(readOnHover)
    {
        setAcceptDrops(true);
    }

protected:
    void dragEnterEvent(QDragEnterEvent *event) override
    {
        if (event->mimeData()->hasFormat(QStringLiteral("text/uri-list")))
            event->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent *event) override
    {
        if (m_readOnHover && !m_readOnce) {
            m_readOnce = true;
            std::printf("HOVER-READ %lld\n", static_cast<long long>(event->mimeData()->urls().size()));
            std::fflush(stdout);
        }
        event->acceptProposedAction();
    }
    void dropEvent(QDropEvent *event) override
    {
        const QList<QUrl> urls = event->mimeData()->urls();
        std::printf("DROPPED %lld\n", static_cast<long long>(urls.size()));
        for (const QUrl &url : urls) {
            const QFileInfo source(url.toLocalFile());
            const QString target = QDir(m_out).filePath(source.fileName());
            const bool ok = QFile::copy(source.filePath(), target);
            std::printf("COPIED %s %lld\n", qPrintable(source.fileName()), ok ? QFileInfo(target).size() : -1LL);
        }
        std::fflush(stdout);
        event->acceptProposedAction();
    }

private:
    QString m_out;
    bool m_readOnHover;
    bool m_readOnce = false;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2)
        return 2;
    Target target(args.at(1), args.contains(QStringLiteral("--read-on-hover")));
    target.setWindowTitle(QStringLiteral("drop target"));
    target.setGeometry(500, 0, 300, 300);
    target.show();
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&app] {
        char line[64] = {};
        if (::read(STDIN_FILENO, line, sizeof line - 1) <= 0 || qstrncmp(line, "quit", 4) == 0)
            app.quit();
    });
    QMetaObject::invokeMethod(&target, [&target] {
        const QPoint centre = target.mapToGlobal(target.rect().center());
        std::printf("READY %d %d\n", centre.x(), centre.y());
        std::fflush(stdout);
    }, Qt::QueuedConnection);
    return app.exec();
}
