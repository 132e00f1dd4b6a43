#include "TulWidgetHelper.h"

#include "DiagLog.h"

#include <QLabel>
#include <QScreen>
#include <QWidget>

TulWidgetHelper::TulWidgetHelper(QWidget *frame)
    : frame(frame)
{
}

QWidget *TulWidgetHelper::widgetFrame() const
{
    return frame.data();
}

void TulWidgetHelper::setDefaultSize(const QSize &size)
{
    if (!frame || !size.isValid() || size.isEmpty()) {
        DIAG_LOG("invalid default size or no frame");
        return;
    }
    QSize bounded = size;
    if (const QScreen *screen = frame->screen())
        bounded = bounded.boundedTo(screen->availableSize());
    preferredSize = bounded;
    frame->resize(bounded);
}

QSize TulWidgetHelper::defaultSize() const
{
    return preferredSize;
}

void TulWidgetHelper::setAllWindowTitle(const QString &title)
{
    if (!frame) {
        DIAG_LOG("no frame");
        return;
    }
    frame->setWindowTitle(title);
    if (auto *label = frame->findChild<QLabel *>(QStringLiteral("tulTitleLabel")))
        label->setText(title);
}
