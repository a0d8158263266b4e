#include "listdisplay.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QListView>
#include <QLoggingCategory>
#include <QPainter>
#include <QPixmap>

Q_LOGGING_CATEGORY(lcDisplay, "corvana.ui.display")

namespace listdisplay {

QColor color(qint64 number, const QPalette &palette)
{
    if (const std::optional<display::Rgb> c = display::rgb(number))
        return QColor(c->red, c->green, c->blue);
    // The system colours by their index, as the café's stored rows name them.
    switch (number & 0xff) {
    case 8: // window text
        return palette.color(QPalette::Text);
    case 13: // highlight
        return palette.color(QPalette::Highlight);
    case 14: // highlighted text
        return palette.color(QPalette::HighlightedText);
    case 15: // button face
        return palette.color(QPalette::Button);
    case 18: // button text
        return palette.color(QPalette::ButtonText);
    default: // 5, the window background, and any other
        return palette.color(QPalette::Base);
    }
}

qint64 number(const QColor &c)
{
    return display::colorNumber(c.red(), c.green(), c.blue());
}

bool apply(QAbstractItemView *view, const DisplaySettings &s)
{
    QFont font(s.fontName);
    font.setPointSizeF(s.fontSize > 0 ? s.fontSize : 9);
    font.setBold(s.bold);
    font.setItalic(s.italic);
    view->setFont(font);

    // Start from the application's palette so a system colour means the system's colour now.
    const QPalette system = QApplication::palette(view);
    QPalette p = system;
    const QColor text = color(s.textColor, system);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::WindowText, text);
    bool loaded = true;
    QBrush base(color(s.backgroundColor, system));
    if (!s.background.isEmpty()) {
        const QPixmap picture(s.background);
        if (picture.isNull()) {
            qCWarning(lcDisplay) << "background picture does not load:" << s.background;
            loaded = false;
        } else {
            base.setTexture(picture);
        }
    }
    p.setBrush(QPalette::Base, base);
    view->setPalette(p);
    view->viewport()->update();
    return loaded;
}

QString pictureFilter()
{
    return QStringLiteral("所有图型文件 (*.dib *.bmp *.wmf *.emf *.gif *.jpg);;"
                          "位图文件(*.bmp,*.dib) (*.bmp *.dib);;"
                          "GIF图像(*.gif) (*.gif);;"
                          "JPEG图像(*.jpg) (*.jpg);;"
                          "元文件(*.wmf,*.emf) (*.wmf *.emf);;"
                          "图标文件(*.ico,*.cur) (*.ico *.cur)");
}

} // namespace listdisplay

void GridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                         const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    if (!m_grid)
        return;
    painter->save();
    painter->setPen(QColor(0xc0, 0xc0, 0xc0));
    const QRect r = option.rect;
    painter->drawLine(r.topRight(), r.bottomRight());
    painter->drawLine(r.bottomLeft(), r.bottomRight());
    painter->restore();
}

QRect IconCellDelegate::cell(const QStyleOptionViewItem &option)
{
    const auto *view = qobject_cast<const QListView *>(option.widget);
    if (!view || !view->gridSize().isValid())
        return option.rect;
    // A small gap on the right keeps the end of a name off the next icon.
    const QSize grid = view->gridSize() - QSize(4, 0);
    return option.rect.intersected(QRect(option.rect.topLeft(), grid));
}

void IconCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const
{
    QStyleOptionViewItem cut = option;
    cut.rect = cell(option);
    cut.textElideMode = Qt::ElideRight;
    painter->save();
    painter->setClipRect(cut.rect, Qt::IntersectClip);
    QStyledItemDelegate::paint(painter, cut, index);
    painter->restore();
}

QSize IconCellDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QSize wanted = QStyledItemDelegate::sizeHint(option, index);
    const auto *view = qobject_cast<const QListView *>(option.widget);
    if (!view || !view->gridSize().isValid())
        return wanted;
    return wanted.boundedTo(view->gridSize());
}
