#include "stateLabel.h"

#include <QEvent>

stateLabel::stateLabel(QWidget *owner) : QLabel(owner), m_owner(owner)
{
    setObjectName(QStringLiteral("stateLabel"));
    setTextFormat(Qt::PlainText);
}

void stateLabel::setCounts(const QString &total, const QString &selected)
{
    m_total = total;
    m_selected = selected;
    updateText();
}

void stateLabel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange && !m_total.isNull())
        updateText();
    QLabel::changeEvent(event);
}

void stateLabel::updateText()
{
    setText(tr("Total: %1 App(s); Selected: %2 App(s)").arg(m_total, m_selected));
}
