#include "programlistdialog.h"

#include "link/clientcontrol.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

struct ProgramListDialog::Private
{
    ClientControl &control;
    QListWidget *list = nullptr;
};

ProgramListDialog::ProgramListDialog(ClientControl &control, bool request, QWidget *parent)
    : QDialog(parent), d(std::make_unique<Private>(control))
{
    d->list = new QListWidget(this);
    setObjectName(QStringLiteral("programListDialog"));
    setWindowTitle(QStringLiteral("计算机状态"));
    d->list->setObjectName(QStringLiteral("programList"));
    d->list->setMinimumSize(340, 220);
    d->list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    auto *end = new QPushButton(QStringLiteral("结束程序"), this);
    end->setObjectName(QStringLiteral("endProgram"));
    auto *refresh = new QPushButton(QStringLiteral("刷新列表"), this);
    refresh->setObjectName(QStringLiteral("refreshList"));
    auto *close = new QPushButton(QStringLiteral("关 闭"), this);
    close->setObjectName(QStringLiteral("closeList"));
    connect(end, &QPushButton::clicked, this, &ProgramListDialog::endProgram);
    connect(refresh, &QPushButton::clicked, this, [this] { d->control.requestPrograms(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(&d->control, &ClientControl::programsChanged, this, &ProgramListDialog::FlashList1);

    auto *label = new QLabel(QStringLiteral("当前应用程序"), this);
    label->setBuddy(d->list);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(end);
    buttons->addWidget(refresh);
    buttons->addStretch();
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(d->list);
    layout->addLayout(buttons);

    FlashList1();
    if (request)
        d->control.requestPrograms();
}

ProgramListDialog::~ProgramListDialog() = default;

void ProgramListDialog::FlashList1()
{
    d->list->clear();
    for (const control::Program &p : d->control.programs())
        d->list->addItem(p.title);
}

void ProgramListDialog::endProgram()
{
    const QListWidgetItem *item = d->list->currentItem();
    d->control.endProgram(item && item->isSelected() ? d->list->row(item) : -1);
}
