#include "reportprogress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

struct ReportProgress::Private
{
    QProgressBar *bar = nullptr;
};

ReportProgress::ReportProgress(QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      d(std::make_unique<Private>())
{
    d->bar = new QProgressBar(this);
    setObjectName(QStringLiteral("frmProgress"));
    d->bar->setObjectName(QStringLiteral("prgReport"));
    d->bar->setRange(0, 100);
    d->bar->setValue(0);
    d->bar->setTextVisible(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(d->bar);
    setFixedSize(360, 48);
}

ReportProgress::ReportProgress(const QString &text, QWidget *parent) : ReportProgress(parent)
{
    setObjectName(QStringLiteral("frmOutputProgress"));
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(text);
    d->bar->setTextVisible(true);
    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cancel, &QPushButton::clicked, this, [this, cancel] {
        cancel->setEnabled(false); // the output stops at its next step
        emit cancelRequested();
    });
    auto *row = new QHBoxLayout;
    row->addWidget(d->bar, 1);
    row->addWidget(cancel);
    auto *layout = static_cast<QVBoxLayout *>(this->layout());
    layout->removeWidget(d->bar);
    layout->insertWidget(0, new QLabel(text, this));
    layout->addLayout(row);
    setFixedSize(420, 96);
}

ReportProgress::~ReportProgress() = default;

void ReportProgress::setValue(int percent)
{
    d->bar->setValue(percent);
}

int ReportProgress::value() const
{
    return d->bar->value();
}
