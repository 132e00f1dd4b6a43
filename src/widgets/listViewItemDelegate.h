#pragma once

#include <QIcon>
#include <QItemDelegate>
#include <QSize>

// Draws an app of the icon view as a tile: background image for the
// selected state, the app's icon (model role 1), its name (role 45) and
// genre (role 46) on two elided lines. Paints only what the model already
// holds: icons are scaled once by the model, never here.
class listViewItemDelegate : public QItemDelegate
{
    Q_OBJECT
public:
    listViewItemDelegate(QObject *parent, const QSize &tileSize);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // Whether this platform draws the hover image (only a Windows release did).
    static bool drawsHoverImage() { return false; }

private:
    int m_tileWidth;
    int m_tileHeight;
    int m_textOffset;
    QIcon m_itemSelection;
    QIcon m_itemMouseMove;
    QIcon m_genresItemSelection;
    QIcon m_genresItemMouseMove;
};
