#pragma once

#include "TulDialog.h"

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace Ui { class ProgressDialog; }

// A modeless progress window with two lines of text. Closing it by any
// means (Cancel, the close box, Escape) sets aborted(); reset() clears it.
class ProgressDlg : public TulDialog
{
    Q_OBJECT
public:
    explicit ProgressDlg(QWidget *parent = nullptr);
    ~ProgressDlg() override;

    // Progress to 0, aborted cleared.
    void reset();
    bool aborted() const { return m_aborted; }

    void setProgress(int percent);
    int progress() const;
    QLabel *firstLabel() const;
    QLabel *secondLabel() const;
    QPushButton *cancelButton() const;
    // Shows text in the second line, elided at the right to the label's width.
    void setElidedSecondLine(const QString &text);
    void retranslate() override;

signals:
    void abort();

public slots:
    void OnCancel();
    void Stop();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    std::unique_ptr<Ui::ProgressDialog> ui;
    bool m_aborted = false;
};
