#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>

class QFontDialog;
class QLabel;

// "字体": the font dialog with the text colour beside it.
class FontColorDialog final : public QDialog
{
    Q_OBJECT

public:
    FontColorDialog(const QFont &font, const QColor &color, QWidget *parent = nullptr);

    QFont selectedFont() const;
    QColor selectedColor() const { return m_color; }
    void setSelectedColor(const QColor &color);

private:
    QFontDialog *m_fonts;
    QString m_storedFamily; // the name the list's font was asked by ("宋体")
    QString m_shownFamily;  // the installed family that stands in for it
    QLabel *m_swatch;
    QColor m_color;
};
