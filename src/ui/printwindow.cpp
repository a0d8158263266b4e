#include "printwindow.h"

#include "reportoutput.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

PrintWindow::PrintWindow(const StyledText &text, const QList<QStringList> &table, const QString &fileStem,
                         const QString &anchor, QWidget *parent)
    : QWidget(parent, Qt::Window), m_text(new QTextEdit(this)), m_table(table), m_fileStem(fileStem),
      m_anchor(anchor)
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
    csv->setVisible(!table.isEmpty());
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("cmdClose"));

    connect(print, &QPushButton::clicked, this, [this] {
        ReportOutput::print(this, *m_text->document(), QPageLayout::Portrait, m_text->lineWrapColumnOrWidth(),
                            m_anchor);
    });
    connect(pdf, &QPushButton::clicked, this,
            [this] { ReportOutput::savePdf(this, *m_text->document(), m_fileStem + QStringLiteral(".pdf"),
                                                QPageLayout::Portrait, m_text->lineWrapColumnOrWidth(), m_anchor); });
    connect(csv, &QPushButton::clicked, this,
            [this] { ReportOutput::saveCsv(this, m_table, m_fileStem + QStringLiteral(".csv")); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : {print, pdf, csv, close})
        buttons->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    resize(wrap + 60, 560);
    print->setFocus();
}
