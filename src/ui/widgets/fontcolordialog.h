#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>
#include <memory>

// "字体": the font dialog with the text colour beside it.
class FontColorDialog final : public QDialog
{
    Q_OBJECT

public:
    FontColorDialog(const QFont &font, const QColor &color, QWidget *parent = nullptr);
    ~FontColorDialog() override;

    QFont selectedFont() const;
    QColor selectedColor() const;
    void setSelectedColor(const QColor &color);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
