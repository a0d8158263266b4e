#pragma once

#include <QWidget>
#include <memory>

// The window that holds the progress bar while a report is produced (without text), or while
// it is printed or saved (with what is being done and a "取消" button).
class ReportProgress final : public QWidget
{
    Q_OBJECT

public:
    explicit ReportProgress(QWidget *parent = nullptr);
    ReportProgress(const QString &text, QWidget *parent);
    ~ReportProgress() override;
    void setValue(int percent);
    int value() const;

signals:
    void cancelRequested();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
