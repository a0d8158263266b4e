#pragma once

#include "accounts/displaysettings.h"

#include <QColor>
#include <QStyledItemDelegate>

class QAbstractItemView;
class QPalette;

// The operator's display settings on the machine list's views.
namespace listdisplay {

// A stored colour number as a colour: R + 256·G + 65536·B, or a system colour by its index.
QColor color(qint64 number, const QPalette &palette);
qint64 number(const QColor &color);

// Font, text colour, background colour and picture. The selection keeps the palette's
// highlight colours, so the selected entry stays readable on any background. False when the
// background picture named does not load (the list then has none).
bool apply(QAbstractItemView *view, const DisplaySettings &settings);

// The file filter of "背景图片".
QString pictureFilter();

} // namespace listdisplay

// Draws the grid lines of "显示网格" around every cell, over the normal painting, so the
// selected row keeps its colours and its text.
class GridDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setGrid(bool on) { m_grid = on; }
    bool grid() const { return m_grid; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

private:
    bool m_grid = false;
};

// Paints each machine of the icon views inside its cell of the view's grid: a name longer
// than the cell ends in "…" (the tooltip has it whole) instead of running under the next one.
class IconCellDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The cell `index` is painted in: its rectangle cut to the grid of `option`'s view.
    static QRect cell(const QStyleOptionViewItem &option);
};
