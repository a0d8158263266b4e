#include "printwindow.h"

#include "reportoutput.h"
#include "reportpages.h"
#include "ui/widgets/windowfit.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

PrintWindow::PrintWindow(const StyledText &text, const ReportSheet &sheet, const QString &fileStem,
                         const QString &anchor, QWidget *parent)
    : QWidget(parent, Qt::Window), m_text(new QTextEdit(this)), m_styled(text), m_sheet(sheet),
      m_fileStem(fileStem), m_anchor(anchor)
{
    setObjectName(QStringLiteral("frmPrint"));
    setWindowTitle(QStringLiteral("打印报表"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_text->setObjectName(QStringLiteral("rtbReport"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QTextEdit::FixedPixelWidth);
    const int wrap = int(ReportOutput::reportWrapWidth());
    m_text->setLineWrapColumnOrWidth(wrap);
    ReportOutput::writeStyledText(*m_text->document(), text);

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
    m_outputButtons = {print, pdf, csv, xlsx};

    // What is printed is what the area shows, wrapped where the area wraps it.
    auto pages = [this] {
        return std::make_unique<TextPages>(m_styled, m_text->lineWrapColumnOrWidth(), m_anchor);
    };
    connect(print, &QPushButton::clicked, this, [this, pages] {
        runOutput(
            ReportOutput::print(this, pages(), QPageLayout::Portrait, m_fileStem + QStringLiteral(".pdf")));
    });
    connect(pdf, &QPushButton::clicked, this, [this, pages] {
        runOutput(
            ReportOutput::savePdf(this, pages(), m_fileStem + QStringLiteral(".pdf"), QPageLayout::Portrait));
    });
    connect(csv, &QPushButton::clicked, this, [this] {
        runOutput(
            ReportOutput::saveSheet(this, m_sheet, m_fileStem + QStringLiteral(".csv"), SheetFormat::Csv));
    });
    connect(xlsx, &QPushButton::clicked, this, [this] {
        runOutput(
            ReportOutput::saveSheet(this, m_sheet, m_fileStem + QStringLiteral(".xlsx"), SheetFormat::Xlsx));
    });
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : {print, pdf, csv, xlsx, close})
        buttons->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    resize(wrap + 60, 560);
    WindowFit::fit(this);
    print->setFocus();
}

void PrintWindow::runOutput(OutputJob *job)
{
    // The list stays usable meanwhile.
    holdButtonsWhile(job, this, m_outputButtons, [this] { emit outputFinished(); });
}
