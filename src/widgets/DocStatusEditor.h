#pragma once

#include <QVariantList>
#include <QWidget>

#include <memory>

namespace Ui { class DocStatusEditor; }

// The persistent editor of a document row's status cell: a status text
// (mode 0) or a progress bar with its own text (mode 1). The skin styles the
// label through the two style properties (normal and selected row).
class DocStatusEditor : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString statusLabelStyle READ statusLabelStyle WRITE setStatusLabelStyle)
    Q_PROPERTY(QString statusLabelSelectedStyle READ statusLabelSelectedStyle WRITE setStatusLabelSelectedStyle)
public:
    enum Mode { TextMode = 0, ProgressMode = 1 };

    explicit DocStatusEditor(QWidget *parent = nullptr);
    ~DocStatusEditor() override;   // emits editorDeleted

    // Mode 0: [text]. Mode 1: [percent, bar text]. Applied by updateEditor().
    void setData(int mode, const QVariantList &data);
    int mode() const { return m_mode; }
    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }

    QString statusLabelStyle() const { return m_statusLabelStyle; }
    void setStatusLabelStyle(const QString &style);
    QString statusLabelSelectedStyle() const { return m_statusLabelSelectedStyle; }
    void setStatusLabelSelectedStyle(const QString &style);

    QString labelText() const;
    bool labelShown() const;
    bool progressShown() const;
    int progressValue() const;
    QString progressText() const;
    QString labelStyleSheet() const;

signals:
    void editorDeleted(DocStatusEditor *editor);

public slots:
    void updateEditor();
    void repaintLabel();

private:
    QString currentStyle() const { return m_selected ? m_statusLabelSelectedStyle : m_statusLabelStyle; }

    std::unique_ptr<Ui::DocStatusEditor> ui;
    QVariantList m_data;
    int m_mode = TextMode;
    QString m_statusLabelStyle;
    QString m_statusLabelSelectedStyle;
    bool m_selected = false;
};
