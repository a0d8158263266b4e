#pragma once

#include <QWidget>

class QProgressBar;

// The window without text that holds the progress bar while a report is produced.
class ReportProgress final : public QWidget
{
    Q_OBJECT

public:
    explicit ReportProgress(QWidget *parent = nullptr);
    void setValue(int percent);
    int value() const;

private:
    QProgressBar *m_bar;
};
