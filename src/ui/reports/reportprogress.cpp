#include "reportprogress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
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

ReportProgress::ReportProgress(const QString &text, QWidget *parent) : ReportProgress(parent)
{
    setObjectName(QStringLiteral("frmOutputProgress"));
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(text);
    m_bar->setTextVisible(true);
    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cancel, &QPushButton::clicked, this, [this, cancel] {
        cancel->setEnabled(false); // the output stops at its next step
        emit cancelRequested();
    });
    auto *row = new QHBoxLayout;
    row->addWidget(m_bar, 1);
    row->addWidget(cancel);
    auto *layout = static_cast<QVBoxLayout *>(this->layout());
    layout->removeWidget(m_bar);
    layout->insertWidget(0, new QLabel(text, this));
    layout->addLayout(row);
    setFixedSize(420, 96);
}

void ReportProgress::setValue(int percent)
{
    m_bar->setValue(percent);
}

int ReportProgress::value() const
{
    return m_bar->value();
}
