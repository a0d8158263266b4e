#include "reportprogress.h"

#include <QProgressBar>
#include <QVBoxLayout>

ReportProgress::ReportProgress(QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_bar(new QProgressBar(this))
{
    setObjectName(QStringLiteral("frmProgress"));
    m_bar->setObjectName(QStringLiteral("prgReport"));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(m_bar);
    setFixedSize(360, 48);
}

void ReportProgress::setValue(int percent)
{
    m_bar->setValue(percent);
}

int ReportProgress::value() const
{
    return m_bar->value();
}
