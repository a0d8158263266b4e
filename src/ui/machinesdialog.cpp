#include "ui/machinesdialog.h"

#include "common/numbers.h"
#include "ui/messages.h"
#include "ui/numberedit.h"
#include "ui/recordlayout.h"
#include "windowfit.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>

using namespace MachineManagement;

struct MachinesDialog::Private
{
    explicit Private(MachineService service) : service(std::move(service)) {}

    MachineService service;
    Mode mode = Mode::Browsing;
    QList<Machine> machines;
    qint64 editRowid = 0;

    QTreeWidget *list = nullptr;
    QGroupBox *panel = nullptr;
    QLineEdit *number = nullptr;
    QLineEdit *name = nullptr;
    QLineEdit *ip = nullptr;
    QLineEdit *rate = nullptr;
    QPushButton *modify = nullptr;
    QPushButton *add = nullptr;
    QPushButton *remove = nullptr;
    QPushButton *saveButton = nullptr;
    QPushButton *rates = nullptr;

    int currentRow() const { return list->indexOfTopLevelItem(list->currentItem()); }
    std::optional<Machine> current() const
    {
        const int row = currentRow();
        if (row < 0 || row >= int(machines.size()))
            return std::nullopt;
        return machines.at(row);
    }
    MachineInput input() const { return {name->text(), ip->text(), rate->text()}; }
};

MachinesDialog::MachinesDialog(MachineService machines, QWidget *parent)
    : QDialog(parent), d(new Private(std::move(machines)))
{
    setObjectName(QStringLiteral("frmComputer"));
    setWindowTitle(QStringLiteral("计算机设置"));

    d->list = RecordLayout::list(this, QStringLiteral("lstMachines"),
                                 {QStringLiteral("机号"), QStringLiteral("名称"), QStringLiteral("IP地址"),
                                  QStringLiteral("上机费用")});
    d->list->header()->setSectionResizeMode(QHeaderView::Stretch);

    d->panel = new QGroupBox(QStringLiteral("设置计计算机"), this);
    d->panel->setObjectName(QStringLiteral("fraEdit"));
    d->number = new QLineEdit(d->panel);
    d->number->setObjectName(QStringLiteral("txtNumber"));
    d->number->setReadOnly(true); // machine numbers are positions: only add and delete set them
    d->number->setFocusPolicy(Qt::ClickFocus);
    d->name = RecordLayout::textField(d->panel, QStringLiteral("txtName"));
    d->ip = RecordLayout::textField(d->panel, QStringLiteral("txtIP"));
    d->rate = numberEdit(d->panel, QStringLiteral("txtRate"), true);
    auto *form = new QFormLayout(d->panel);
    form->addRow(QStringLiteral("机号："), d->number);
    form->addRow(QStringLiteral("名称："), d->name);
    form->addRow(QStringLiteral("IP地址："), d->ip);
    form->addRow(QStringLiteral("收费标准："), d->rate);

    using RecordLayout::command;
    d->modify = command(this, QStringLiteral("修改"), "cmdModify");
    d->add = command(this, QStringLiteral("添加"), "cmdAdd");
    d->remove = command(this, QStringLiteral("删除"), "cmdDelete");
    d->saveButton = command(this, QStringLiteral("保存"), "cmdSave");
    d->rates = command(this, QStringLiteral("记费标准"), "cmdRate");
    QPushButton *close = command(this, QStringLiteral("关闭"), "cmdClose");
    RecordLayout::arrange(this, d->list, d->panel,
                          {d->modify, d->add, d->remove, d->saveButton, d->rates, close}, true);
    resize(560, 380);
    WindowFit::fit(this);

    setTabOrder(d->name, d->ip);
    setTabOrder(d->ip, d->rate);
    setTabOrder(d->rate, d->saveButton);

    connect(d->modify, &QPushButton::clicked, this, [this] { modifyOrAbandon(); });
    connect(d->add, &QPushButton::clicked, this, [this] { startAdding(); });
    connect(d->remove, &QPushButton::clicked, this, [this] { removeCurrent(); });
    connect(d->saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(d->rates, &QPushButton::clicked, this, [this] { setAllRates(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    reload(0);
    setMode(Mode::Browsing);
}

MachinesDialog::~MachinesDialog()
{
    delete d;
}

void MachinesDialog::reload(int selectRow)
{
    const Result<QList<Machine>> machines = d->service.machines();
    if (!machines)
        Messages::tell(this, QStringLiteral("错误"), machines.error(), QMessageBox::Critical);
    d->machines = machines.value_or(QList<Machine>());
    d->list->clear();
    for (const Machine &m : std::as_const(d->machines)) {
        auto *item =
            new QTreeWidgetItem(d->list, {QString::number(m.number), m.name, m.ip, plainNumber(m.rate)});
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    }
    const int count = d->list->topLevelItemCount();
    if (count > 0)
        d->list->setCurrentItem(d->list->topLevelItem(std::clamp(selectRow, 0, count - 1)));
    setMode(d->mode);
}

void MachinesDialog::setMode(Mode mode)
{
    d->mode = mode;
    const bool editing = mode != Mode::Browsing;
    const bool any = !d->machines.isEmpty();
    if (editing)
        RecordLayout::showInstead(d->panel, d->list);
    else
        RecordLayout::showInstead(d->list, d->panel);
    d->modify->setText(editing ? QStringLiteral("放弃") : QStringLiteral("修改"));
    d->modify->setEnabled(editing || any);
    d->add->setEnabled(!editing);
    d->remove->setEnabled(!editing && any);
    d->saveButton->setEnabled(editing);
    d->rates->setEnabled(!editing && any);
}

void MachinesDialog::modifyOrAbandon()
{
    if (d->mode != Mode::Browsing) {
        setMode(Mode::Browsing);
        return;
    }
    const std::optional<Machine> m = d->current();
    if (!m)
        return;
    d->editRowid = m->rowid;
    d->number->setText(QString::number(m->number));
    d->name->setText(m->name);
    d->ip->setText(m->ip);
    d->rate->setText(plainNumber(m->rate));
    setMode(Mode::Modifying);
    d->name->setFocus();
}

void MachinesDialog::startAdding()
{
    const Result<Proposal> proposed = d->service.proposeNew();
    if (!proposed) {
        Messages::tell(this, QStringLiteral("错误"), proposed.error(), QMessageBox::Critical);
        return;
    }
    const Proposal &p = *proposed;
    d->number->setText(QString::number(p.number));
    d->name->setText(p.name);
    d->ip->clear();
    d->rate->clear();
    setMode(Mode::Adding);
    d->name->setFocus();
    d->name->selectAll();
}

void MachinesDialog::save()
{
    const bool adding = d->mode == Mode::Adding;
    const Result<Machine> saved = d->service.saveMachine(adding ? 0 : d->editRowid, d->input());
    if (!saved) {
        Messages::tell(this, QStringLiteral("错误"), saved.error(), QMessageBox::Critical);
        return;
    }
    d->mode = Mode::Browsing;
    reload(saved->position - 1);
    emit machinesChanged();
}

void MachinesDialog::removeCurrent()
{
    const int row = d->currentRow();
    const std::optional<Machine> m = d->current();
    if (!m)
        return;
    if (Result<> ok = d->service.checkRemovable(*m); !ok) {
        Messages::tell(this, QStringLiteral("提示"), ok.error(), QMessageBox::Critical);
        return;
    }
    if (Messages::ask(this, QStringLiteral("提示"), removeQuestion(*m), QMessageBox::Yes | QMessageBox::No,
                      QMessageBox::No) != QMessageBox::Yes)
        return;
    const Result<Removal> removed = d->service.removeMachine(*m);
    if (!removed) {
        Messages::tell(this, QStringLiteral("提示"), removed.error(), QMessageBox::Critical);
        return;
    }
    reload(row);
    emit machineRemoved(*removed);
}

void MachinesDialog::setAllRates()
{
    bool ok = false;
    const QString answer =
        Messages::input(this, QStringLiteral("提示"), QStringLiteral("请输入新的记费标准："), false, &ok);
    const double rate = ok ? numberValue(answer) : 0;
    if (!(rate > 0))
        return;
    if (Messages::ask(this, QStringLiteral("提示"), allRatesQuestion(rate),
                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    if (const Result<int> set = d->service.setAllRates(rate); !set) {
        Messages::tell(this, QStringLiteral("错误"), set.error(), QMessageBox::Critical);
        return;
    }
    reload(d->currentRow());
    emit machinesChanged();
}
