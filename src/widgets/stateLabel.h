#pragma once

#include <QLabel>

// The status line of the apps page: "Total: %1 App(s); Selected: %2 App(s)".
class stateLabel : public QLabel
{
    Q_OBJECT
public:
    explicit stateLabel(QWidget *owner);

    void setCounts(const QString &total, const QString &selected);
    QString totalText() const { return m_total; }
    QString selectedText() const { return m_selected; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateText();

    QWidget *m_owner;
    QString m_total;
    QString m_selected;
};
