#pragma once

// Paints a grid cell: its text, and its picture placed by the cell's picture
// alignment (centred for the check boxes and radio buttons).

#include <QStyledItemDelegate>

class CGridCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Data role of the picture alignment (a short).
    static constexpr int PictureAlignmentRole = Qt::UserRole + 1;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
