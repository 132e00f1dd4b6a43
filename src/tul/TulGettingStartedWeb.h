#pragma once

#include <QTextBrowser>

// The getting-started page: a local HTML file shown in a text browser.
// The page is <page folder>/<page name>; a relative folder is looked up in
// the application folder, then in the built-in resources (":/<folder>").
// A page of the locale's language, <page folder>/<language>/<page name>
// ("de" for German), is preferred.
// Links to other sites open in the desktop's browser; nothing is fetched
// from the network here. A page that cannot be found gives a short built-in
// text instead.
class TulGettingStartedWeb : public QTextBrowser
{
    Q_OBJECT
public:
    explicit TulGettingStartedWeb(QWidget *parent = nullptr);

    // A view showing html until a page is chosen (nothing when it is empty).
    static TulGettingStartedWeb *createWebView(QWidget *parent, const QString &html);

    void setPageDir(const QString &folder);
    // A bare file name; names with a path separator or ".." are refused.
    void setPageName(const QString &fileName);
    QString pageDir() const;
    QString pageName() const;
    // The page file now shown; empty when the built-in text is shown.
    QString pagePath() const;

private:
    QString resolveFolder() const;
    void loadPage();
    void showFallback();

    QString folder;
    QString name;
    QString shownPath;
};
