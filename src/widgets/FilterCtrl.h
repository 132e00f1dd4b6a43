#pragma once

#include <QList>
#include <QWidget>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

// The search box of the apps page: a line edit with a clear button, an
// optional column chooser and a centre label. It filters nothing itself; it
// emits the trimmed search text for the owner to hand to its proxy model.
class FilterCtrl : public QWidget
{
    Q_OBJECT
public:
    explicit FilterCtrl(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~FilterCtrl() override;

    // Placeholder of the line edit, also used as its tool tip.
    void setPlaceholderText(const QString &text);
    // A tickable column action whose data is column; the control owns it.
    QAction *addColumnAction(const QString &text, int column);
    QList<QAction *> columnActions() const { return m_columnActions; }
    QLineEdit *lineEdit() const { return lineFilter; }

signals:
    void filterTextChanged(QString text);
    void changeFilterColumn(int column);

public slots:
    void filterClear(bool Checked = false);
    void checkAction(int column);
    void setCenterLabelText(QString text);
    void innerEditFilterTextChanged(QString editFilterText);
    void innerChangeFilterColumn(QAction *action);
    void innerEditFilterEditFinished();

private:
    QLineEdit *lineFilter;
    QPushButton *btnColumFilter;
    QList<QAction *> m_columnActions;
    QToolButton *btnEditclose;
    QToolButton *btnEditcloseNormal;
    QLabel *columLabelStatus;
};
