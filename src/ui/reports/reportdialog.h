#pragma once

#include "desk/reportservice.h"
#include "reports/reportrequest.h"

#include <QDialog>
#include <memory>

// "生成报表": the type, period and machine of a report, filled in by the menu entry that
// opened it. Not modal. Generating hides it, shows the progress window and the busy
// pointer while the report is produced, opens the report's window and closes the dialog.
class ReportDialog final : public QDialog
{
    Q_OBJECT

public:
    ReportDialog(ReportService reports, ReportKind kind, ReportPreset preset, QWidget *parent = nullptr);
    ~ReportDialog() override;

    // The request as the fields now say.
    ReportRequest request() const;
    bool isGenerating() const;

    // Generates the report ("生成报表"). A period that ends before it starts is refused.
    void generate();

signals:
    // The window the report was shown in ("报表" or "打印报表").
    void reportShown(QWidget *window);

private:
    void showReport();
    void endBusy();

    struct Private;
    std::unique_ptr<Private> d;
};

// What each of the six 统计 menu entries runs: opens the dialog (it deletes itself when it
// closes) above `parent`, the main window. Report windows are children of `parent`.
ReportDialog *openReportDialog(ReportService reports, ReportKind kind, ReportPreset preset, QWidget *parent);
