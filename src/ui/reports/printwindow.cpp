#include "printwindow.h"

#include "reportoutput.h"
#include "reportpages.h"
#include "ui/widgets/windowfit.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

struct PrintWindow::Private
{
    QTextEdit *text = nullptr;
    StyledText styled;
    ReportSheet sheet;
    QString fileStem;
    QString anchor;
};

PrintWindow::PrintWindow(const StyledText &text, const ReportSheet &sheet, const QString &fileStem,
                         const QString &anchor, QWidget *parent)
    : QWidget(parent, Qt::Window), d(std::make_unique<Private>(nullptr, text, sheet, fileStem, anchor))
{
    d->text = new QTextEdit(this);
    setObjectName(QStringLiteral("frmPrint"));
    setWindowTitle(QStringLiteral("打印报表"));
    setAttribute(Qt::WA_DeleteOnClose);

    d->text->setObjectName(QStringLiteral("rtbReport"));
    d->text->setReadOnly(true);
    d->text->setLineWrapMode(QTextEdit::FixedPixelWidth);
    const int wrap = int(ReportOutput::reportWrapWidth());
    d->text->setLineWrapColumnOrWidth(wrap);
    ReportOutput::writeStyledText(*d->text->document(), text);

    auto *print = new QPushButton(QStringLiteral("打印"), this);
    print->setObjectName(QStringLiteral("cmdPrint"));
    auto *pdf = new QPushButton(QStringLiteral("另存为PDF"), this);
    pdf->setObjectName(QStringLiteral("cmdPdf"));
    auto *csv = new QPushButton(QStringLiteral("导出CSV"), this);
    csv->setObjectName(QStringLiteral("cmdCsv"));
    auto *xlsx = new QPushButton(QStringLiteral("导出Excel"), this);
    xlsx->setObjectName(QStringLiteral("cmdXlsx"));
    csv->setVisible(!sheet.headers.isEmpty());
    xlsx->setVisible(!sheet.headers.isEmpty());
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    // What is printed is what the area shows, wrapped where the area wraps it.
    ReportOutput::connectButtons(
        this, {print, pdf, csv, xlsx}, d->fileStem, QPageLayout::Portrait,
        [this] { return std::make_unique<TextPages>(d->styled, d->text->lineWrapColumnOrWidth(), d->anchor); },
        [this] { return d->sheet; }, [this] { emit outputFinished(); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : {print, pdf, csv, xlsx, close})
        buttons->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(d->text);
    layout->addLayout(buttons);
    resize(wrap + 60, 560);
    WindowFit::fit(this);
    print->setFocus();
}

PrintWindow::~PrintWindow() = default;

QTextEdit *PrintWindow::textArea() const
{
    return d->text;
}
