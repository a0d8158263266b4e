#include "fontcolordialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

FontColorDialog::FontColorDialog(const QFont &font, const QColor &color, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgFont"));
    setWindowTitle(QStringLiteral("字体"));

    // Qt's font chooser, embedded: it has no colour of its own. It knows installed families
    // only, so it is opened on the one that shows the list's font ("宋体" is not installed).
    m_storedFamily = font.family();
    m_shownFamily = QFontInfo(font).family();
    QFont shown = font;
    shown.setFamilies({m_shownFamily});
    m_fonts = new QFontDialog(shown, this);
    m_fonts->setObjectName(QStringLiteral("fontChooser"));
    m_fonts->setWindowFlags(Qt::Widget);
    m_fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);

    auto *colorLabel = new QLabel(QStringLiteral("颜色(&C)："), this);
    m_swatch = new QLabel(this);
    m_swatch->setObjectName(QStringLiteral("colorSwatch"));
    m_swatch->setFixedSize(48, 20);
    m_swatch->setFrameShape(QFrame::Box);
    auto *choose = new QPushButton(QStringLiteral("选择颜色..."), this);
    choose->setObjectName(QStringLiteral("chooseColor"));
    colorLabel->setBuddy(choose);
    connect(choose, &QPushButton::clicked, this, [this] {
        const QColor c = QColorDialog::getColor(m_color, this, QStringLiteral("颜色"));
        if (c.isValid())
            setSelectedColor(c);
    });
    setSelectedColor(color);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *colorRow = new QHBoxLayout;
    colorRow->addWidget(colorLabel);
    colorRow->addWidget(m_swatch);
    colorRow->addWidget(choose);
    colorRow->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_fonts, 1);
    layout->addLayout(colorRow);
    layout->addWidget(buttons);
}

QFont FontColorDialog::selectedFont() const
{
    // The family left as it was keeps its stored name, so the café's other PCs read it as before.
    QFont f = m_fonts->currentFont();
    if (f.family() == m_shownFamily)
        f.setFamilies({m_storedFamily});
    return f;
}

void FontColorDialog::setSelectedColor(const QColor &color)
{
    m_color = color;
    m_swatch->setStyleSheet(QStringLiteral("background-color: %1;").arg(color.name()));
}
