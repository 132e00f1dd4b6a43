#pragma once

#include <QPointer>
#include <QSize>
#include <QString>

class QWidget;

// The frame side of a framework window: the outer widget that dialogs and
// message boxes take as parent. Mixed into TulMainWindow and TulDialog, whose
// frame is the window itself. Does not own the frame.
class TulWidgetHelper
{
public:
    explicit TulWidgetHelper(QWidget *frame);
    virtual ~TulWidgetHelper() = default;

    QWidget *widgetFrame() const;

    // The size the frame opens with when no remembered geometry applies;
    // bounded by the available screen.
    void setDefaultSize(const QSize &size);
    QSize defaultSize() const;

    // Sets the title of the frame and of its title label (a QLabel child named
    // "tulTitleLabel", which skins without a native title bar show).
    void setAllWindowTitle(const QString &title);

private:
    QPointer<QWidget> frame;
    QSize preferredSize;
};
