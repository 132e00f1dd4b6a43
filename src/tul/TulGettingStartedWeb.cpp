#include "TulGettingStartedWeb.h"

#include "DiagLog.h"
#include "TulPref.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QUrl>

TulGettingStartedWeb::TulGettingStartedWeb(QWidget *parent)
    : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("tulGettingStartedWeb"));
    setOpenExternalLinks(true);
    setOpenLinks(true);
    setFrameShape(QFrame::NoFrame);
}

TulGettingStartedWeb *TulGettingStartedWeb::createWebView(QWidget *parent, const QString &html)
{
    auto *view = new TulGettingStartedWeb(parent);
    if (!html.isEmpty())
        view->setHtml(html);
    return view;
}

void TulGettingStartedWeb::setPageDir(const QString &dir)
{
    folder = dir;
    loadPage();
}

void TulGettingStartedWeb::setPageName(const QString &fileName)
{
    if (fileName.contains(QLatin1Char('/')) || fileName.contains(QLatin1Char('\\'))
        || fileName.contains(QLatin1String(".."))) {
        DIAG_LOG(qPrintable(QStringLiteral("page name refused: ") + fileName));
        name.clear();
        showFallback();
        return;
    }
    name = fileName;
    loadPage();
}

QString TulGettingStartedWeb::pageDir() const
{
    return folder;
}

QString TulGettingStartedWeb::pageName() const
{
    return name;
}

QString TulGettingStartedWeb::pagePath() const
{
    return shownPath;
}

QString TulGettingStartedWeb::resolveFolder() const
{
    if (QDir::isAbsolutePath(folder))
        return folder;
    const QString onDisk = TulPref::appDir() + QLatin1Char('/') + folder;
    if (QFileInfo(onDisk).isDir())
        return onDisk;
    return QStringLiteral(":/") + folder;
}

void TulGettingStartedWeb::loadPage()
{
    // Folder and name arrive one at a time; wait until both are known.
    if (folder.isEmpty() || name.isEmpty())
        return;
    // A page in the language of the locale ("<folder>/de/<name>") comes first.
    const QString base = resolveFolder();
    const QString language = QLocale().name().section(QLatin1Char('_'), 0, 0);
    QString path = base + QLatin1Char('/') + language + QLatin1Char('/') + name;
    if (language.isEmpty() || !QFileInfo(path).isFile())
        path = base + QLatin1Char('/') + name;
    if (!QFileInfo(path).isFile()) {
        DIAG_LOG(qPrintable(QStringLiteral("page not found: ") + path));
        showFallback();
        return;
    }
    // A qrc path needs the qrc scheme so that relative images resolve inside it.
    const QUrl url = path.startsWith(QLatin1Char(':'))
        ? QUrl(QStringLiteral("qrc") + path)
        : QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    setSource(url, QTextDocument::HtmlResource);
    shownPath = path;
}

void TulGettingStartedWeb::showFallback()
{
    shownPath.clear();
    setHtml(QStringLiteral("<h2>%1</h2><p>%2</p>")
                .arg(TulPref::product_name().toHtmlEscaped(),
                     tr("Connect your iPhone, iPad or iPod touch with its USB cable.")
                         .toHtmlEscaped()));
}
