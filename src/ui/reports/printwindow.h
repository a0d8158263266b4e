#pragma once

#include "reports/reporttext.h"
#include "reports/sheet.h"

#include <QWidget>
#include <memory>

class QTextEdit;

// "打印报表": a text report ready to print, save as PDF and, where it has a sheet, export.
class PrintWindow final : public QWidget
{
    Q_OBJECT

public:
    // `sheet` is what "导出CSV" and "导出Excel" write; without headings the buttons are not
    // shown. `anchor` is printed under the report.
    PrintWindow(const StyledText &text, const ReportSheet &sheet, const QString &fileStem,
                const QString &anchor = {}, QWidget *parent = nullptr);
    ~PrintWindow() override;

    QTextEdit *textArea() const;

signals:
    // A print, PDF or export has ended, whole, failed or cancelled.
    void outputFinished();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
