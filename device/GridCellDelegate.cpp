#include "GridCellDelegate.h"

#include <QPainter>
#include <QPixmap>

void CGridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    const QVariant pictureData = index.data(Qt::UserRole);
    if (!pictureData.isValid())
    {
        return;
    }
    const QPixmap picture = pictureData.value<QPixmap>();
    if (picture.isNull())
    {
        return;
    }
    const short alignment = index.data(PictureAlignmentRole).value<short>();
    const QSize size = picture.size() / picture.devicePixelRatio();
    const QRect cell = option.rect;
    int x = cell.left() + (cell.width() - size.width()) / 2;
    if (alignment >= 0 && alignment <= 2)
    {
        x = cell.left() + 2;
    }
    else if (alignment >= 6 && alignment <= 8)
    {
        x = cell.right() - 1 - size.width();
    }
    const int y = cell.top() + (cell.height() - size.height()) / 2;
    painter->drawPixmap(QRect(QPoint(x, y), size), picture);
}
