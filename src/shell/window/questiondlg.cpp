#include "questiondlg.h"

#include "ui_questiondlg.h"

#include "DiagLog.h"
#include "TulPref.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QStyle>
#include <QUrl>

questiondlg::questiondlg(int mode, const QString &text, const QString &folder, QWidget *parent)
    : TulDialog(parent)
    , ui(std::make_unique<Ui::questionDlgClass>())
    , m_mode(mode)
{
    ui->setupUi(this);
    if (m_mode == ModeRetry) {
        connect(ui->accept_pushButton, &QPushButton::clicked, this, &questiondlg::accept);
    } else {
        connect(ui->accept_pushButton, &QPushButton::clicked, this, &questiondlg::slot_openFolder);
        m_folder = folder;
    }
    connect(ui->close_pushButton, &QPushButton::clicked, this, &questiondlg::close);
    setButtonTexts();

    // The desktop's own information icon where the theme has one.
    const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    const QIcon icon = QIcon::fromTheme(QStringLiteral("dialog-information"),
                                        QIcon(QStringLiteral(":/images/msg_info.png")));
    ui->icon_label->setPixmap(icon.pixmap(QSize(side, side), devicePixelRatioF()));
    ui->content_label->setText(text);
    // Wide enough that a long message wraps into a few lines, not a column.
    ui->content_label->setMinimumWidth(ui->content_label->fontMetrics().averageCharWidth() * 48);
    setAllWindowTitle(TulPref::product_name());
}

void questiondlg::retranslate()
{
    ui->retranslateUi(this);
    setButtonTexts();
    setAllWindowTitle(TulPref::product_name());
}

void questiondlg::setButtonTexts()
{
    if (m_mode != ModeRetry)
        return;
    ui->accept_pushButton->setText(tr("Retry"));
    ui->close_pushButton->setText(tr("Cancel"));
}

void questiondlg::slot_openFolder()
{
    const QString folder = m_folder.trimmed();
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    else
        DIAG_LOG("");
    close();
}

questiondlg::~questiondlg() = default;
