#include "fontcolordialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

struct FontColorDialog::Private
{
    QFontDialog *fonts = nullptr;
    QString storedFamily; // the name the list's font was asked by ("宋体")
    QString shownFamily;  // the installed family that stands in for it
    QLabel *swatch = nullptr;
    QColor color;
};

FontColorDialog::FontColorDialog(const QFont &font, const QColor &color, QWidget *parent)
    : QDialog(parent), d(std::make_unique<Private>())
{
    setObjectName(QStringLiteral("dlgFont"));
    setWindowTitle(QStringLiteral("字体"));

    // Qt's font chooser, embedded: it has no colour of its own. It knows installed families
    // only, so it is opened on the one that shows the list's font ("宋体" is not installed).
    d->storedFamily = font.family();
    d->shownFamily = QFontInfo(font).family();
    QFont shown = font;
    shown.setFamilies({d->shownFamily});
    d->fonts = new QFontDialog(shown, this);
    d->fonts->setObjectName(QStringLiteral("fontChooser"));
    d->fonts->setWindowFlags(Qt::Widget);
    d->fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);

    auto *colorLabel = new QLabel(QStringLiteral("颜色(&C)："), this);
    d->swatch = new QLabel(this);
    d->swatch->setObjectName(QStringLiteral("colorSwatch"));
    d->swatch->setFixedSize(48, 20);
    d->swatch->setFrameShape(QFrame::Box);
    auto *choose = new QPushButton(QStringLiteral("选择颜色..."), this);
    choose->setObjectName(QStringLiteral("chooseColor"));
    colorLabel->setBuddy(choose);
    connect(choose, &QPushButton::clicked, this, [this] {
        const QColor c = QColorDialog::getColor(d->color, this, QStringLiteral("颜色"));
        if (c.isValid())
            setSelectedColor(c);
    });
    setSelectedColor(color);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *colorRow = new QHBoxLayout;
    colorRow->addWidget(colorLabel);
    colorRow->addWidget(d->swatch);
    colorRow->addWidget(choose);
    colorRow->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(d->fonts, 1);
    layout->addLayout(colorRow);
    layout->addWidget(buttons);
}

FontColorDialog::~FontColorDialog() = default;

QFont FontColorDialog::selectedFont() const
{
    // The family left as it was keeps its stored name, so the café's other PCs read it as before.
    QFont f = d->fonts->currentFont();
    if (f.family() == d->shownFamily)
        f.setFamilies({d->storedFamily});
    return f;
}

QColor FontColorDialog::selectedColor() const
{
    return d->color;
}

void FontColorDialog::setSelectedColor(const QColor &color)
{
    d->color = color;
    d->swatch->setStyleSheet(QStringLiteral("background-color: %1;").arg(color.name()));
}
