#include "changemachinedialog.h"

#include "desk/frontdesk.h"
#include "ui/widgets/messages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

struct ChangeMachineDialog::Private
{
    explicit Private(FrontDesk &desk) : desk(desk) {}

    FrontDesk &desk;
    int source = 0;
    QListWidget *candidates = nullptr;
    QPushButton *confirm = nullptr;

    void fill()
    {
        candidates->clear();
        for (const Machine &m : desk.machines().changeCandidates()) {
            auto *item = new QListWidgetItem(m.name, candidates);
            item->setData(Qt::UserRole, m.position);
        }
        confirm->setEnabled(false);
    }
};

ChangeMachineDialog::ChangeMachineDialog(FrontDesk &desk, QWidget *parent)
    : QDialog(parent), d(std::make_unique<Private>(desk))
{
    d->source = desk.selected();
    setWindowTitle(QStringLiteral("换机管理"));

    auto *label = new QLabel(QStringLiteral("和下列计算机更换："), this);
    d->candidates = new QListWidget(this);
    d->candidates->setObjectName(QStringLiteral("candidateList"));
    d->candidates->setSelectionMode(QAbstractItemView::SingleSelection);
    label->setBuddy(d->candidates);
    d->confirm = new QPushButton(QStringLiteral("确认换机"), this);
    d->confirm->setObjectName(QStringLiteral("confirmButton"));
    d->confirm->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(d->confirm);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 12);
    layout->addWidget(label);
    layout->addWidget(d->candidates, 1);
    layout->addLayout(buttons);
    resize(280, 340);

    connect(d->candidates, &QListWidget::itemSelectionChanged, this,
            [this] { d->confirm->setEnabled(!d->candidates->selectedItems().isEmpty()); });
    connect(d->confirm, &QPushButton::clicked, this, [this] { confirm(); });

    d->fill();
    d->candidates->setFocus();
}

ChangeMachineDialog::~ChangeMachineDialog() = default;

void ChangeMachineDialog::confirm()
{
    const QList<QListWidgetItem *> chosen = d->candidates->selectedItems();
    if (chosen.isEmpty())
        return;
    const int target = chosen.first()->data(Qt::UserRole).toInt();
    if (const Result<> moved = d->desk.changeMachine(d->source, target); !moved) {
        Messages::tell(this, QStringLiteral("错误"), moved.error(), QMessageBox::Critical);
        // The machines' states may have changed while the dialog was open.
        d->fill();
        return;
    }
    accept();
}
