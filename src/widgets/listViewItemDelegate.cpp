#include "listViewItemDelegate.h"

#include "AppModel.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QWidget>

namespace {

constexpr int kNamePixelSize = 12;
constexpr int kGenrePixelSize = 10;
constexpr int kLineHeight = 20;
constexpr int kSideMargin = 5;

void drawLine(QPainter *painter, const QRect &rect, const QString &text, int pixelSize)
{
    QFont font = painter->font();
    font.setPixelSize(pixelSize);
    painter->setFont(font);
    const QString shown = painter->fontMetrics().elidedText(text, Qt::ElideRight, rect.width());
    painter->drawText(rect, Qt::AlignCenter, shown);
}

} // namespace

listViewItemDelegate::listViewItemDelegate(QObject *parent, const QSize &tileSize)
    : QItemDelegate(parent)
    , m_tileWidth(tileSize.width())
    , m_tileHeight(tileSize.height())
    , m_textOffset(tileSize.height() - 50)
    // QIcon picks the @2x files on high-density screens.
    , m_itemSelection(QStringLiteral(":/images/itemSelection.png"))
    , m_itemMouseMove(QStringLiteral(":/images/itemMouseMove.png"))
    , m_genresItemSelection(QStringLiteral(":/images/genresItemSelection.png"))
    , m_genresItemMouseMove(QStringLiteral(":/images/genresItemMouseMove.png"))
{
}

void listViewItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const
{
    const QRect cell = option.rect;
    const bool standardTile = m_tileWidth == 110 && m_tileHeight == 130;
    const bool selected = option.state & QStyle::State_Selected;
    const bool hovered = option.state & QStyle::State_MouseOver;
    const QIcon *background = nullptr;
    if (selected)
        background = standardTile ? &m_itemSelection : &m_genresItemSelection;
    else if (hovered && drawsHoverImage())
        background = standardTile ? &m_itemMouseMove : &m_genresItemMouseMove;

    QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    const qreal ratio = painter->device()->devicePixelRatioF();
    if (background)
        style->drawItemPixmap(painter, cell, Qt::AlignCenter,
                              background->pixmap(QSize(m_tileWidth, m_tileHeight), ratio));

    painter->save();
    // The icon area is square above the text lines; icons come 80 x 80.
    const QRect iconArea(cell.x() + 15, cell.y() + 5, m_tileWidth - 30, m_textOffset);
    const QVariant decoration = index.data(Qt::DecorationRole);
    QPixmap icon = decoration.canConvert<QPixmap>() ? decoration.value<QPixmap>() : QPixmap();
    if (!icon.isNull())
        style->drawItemPixmap(painter, iconArea, Qt::AlignCenter, icon);

    painter->setPen(option.palette.color(QPalette::Text));
    const int textWidth = m_tileWidth - 2 * kSideMargin;
    drawLine(painter, QRect(cell.x() + kSideMargin, cell.y() + m_textOffset + 5, textWidth, kLineHeight),
             index.data(AppModel::NameRole).toString(), kNamePixelSize);
    drawLine(painter, QRect(cell.x() + kSideMargin, cell.y() + m_textOffset + 25, textWidth, kLineHeight),
             index.data(AppModel::GenreRole).toString(), kGenrePixelSize);
    painter->restore();
}

QSize listViewItemDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return QSize(m_tileWidth, m_tileHeight);
}
