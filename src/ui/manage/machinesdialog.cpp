#include "machinesdialog.h"

#include "common/numbers.h"
#include "ui/widgets/messages.h"
#include "ui/widgets/numberedit.h"
#include "ui/widgets/recordlayout.h"
#include "ui/widgets/windowfit.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

using namespace MachineManagement;

struct MachinesDialog::Private
{
    MachineService service;
    QList<Machine> machines;

    QLineEdit *number = nullptr;
    QLineEdit *name = nullptr;
    QLineEdit *ip = nullptr;
    QLineEdit *rate = nullptr;
    QPushButton *rates = nullptr;
};

MachinesDialog::MachinesDialog(MachineService machines, QWidget *parent)
    : RecordDialog(parent), d(std::make_unique<Private>(std::move(machines)))
{
    setObjectName(QStringLiteral("frmComputer"));
    setWindowTitle(QStringLiteral("计算机设置"));

    QTreeWidget *list = RecordLayout::list(this, QStringLiteral("lstMachines"),
                                           {QStringLiteral("机号"), QStringLiteral("名称"),
                                            QStringLiteral("IP地址"), QStringLiteral("上机费用")});
    list->header()->setSectionResizeMode(QHeaderView::Stretch);

    auto *panel = new QGroupBox(QStringLiteral("设置计计算机"), this);
    panel->setObjectName(QStringLiteral("fraEdit"));
    d->number = new QLineEdit(panel);
    d->number->setObjectName(QStringLiteral("txtNumber"));
    d->number->setReadOnly(true); // machine numbers are positions: only add and delete set them
    d->number->setFocusPolicy(Qt::ClickFocus);
    d->name = RecordLayout::textField(panel, QStringLiteral("txtName"));
    d->ip = RecordLayout::textField(panel, QStringLiteral("txtIP"));
    d->rate = numberEdit(panel, QStringLiteral("txtRate"), true);
    auto *form = new QFormLayout(panel);
    form->addRow(QStringLiteral("机号："), d->number);
    form->addRow(QStringLiteral("名称："), d->name);
    form->addRow(QStringLiteral("IP地址："), d->ip);
    form->addRow(QStringLiteral("收费标准："), d->rate);

    using RecordLayout::command;
    QPushButton *modify = command(this, QStringLiteral("修改"), "cmdModify");
    QPushButton *add = command(this, QStringLiteral("添加"), "cmdAdd");
    QPushButton *remove = command(this, QStringLiteral("删除"), "cmdDelete");
    QPushButton *save = command(this, QStringLiteral("保存"), "cmdSave");
    d->rates = command(this, QStringLiteral("记费标准"), "cmdRate");
    QPushButton *close = command(this, QStringLiteral("关闭"), "cmdClose");
    RecordLayout::arrange(this, list, panel, {modify, add, remove, save, d->rates, close}, true);
    resize(560, 380);
    WindowFit::fit(this);

    setTabOrder(d->name, d->ip);
    setTabOrder(d->ip, d->rate);
    setTabOrder(d->rate, save);

    attach(list, panel, add, modify, remove, save, Abandon::ModifyButton, SaveFrom::EditStart);
    setRightAligned({3});
    connect(d->rates, &QPushButton::clicked, this, &MachinesDialog::setAllRates);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    reload();
}

MachinesDialog::~MachinesDialog() = default;

QList<QStringList> MachinesDialog::loadRows()
{
    d->machines = valueOrSay(d->service.machines());
    QList<QStringList> rows;
    for (const Machine &m : std::as_const(d->machines))
        rows << QStringList{QString::number(m.number), m.name, m.ip, plainNumber(m.rate)};
    return rows;
}

void MachinesDialog::showRow(int row)
{
    const Machine m = row >= 0 ? d->machines.at(row) : Machine();
    d->number->setText(row >= 0 ? QString::number(m.number) : QString());
    d->name->setText(m.name);
    d->ip->setText(m.ip);
    d->rate->setText(row >= 0 ? plainNumber(m.rate) : QString());
}

void MachinesDialog::modeChanged(Mode mode)
{
    d->rates->setEnabled(mode == Mode::Browsing && !d->machines.isEmpty());
}

bool MachinesDialog::prepareAdding()
{
    const Result<Proposal> proposed = d->service.proposeNew();
    if (!proposed) {
        fail(proposed.error());
        return false;
    }
    d->number->setText(QString::number(proposed->number));
    d->name->setText(proposed->name);
    d->name->selectAll();
    d->ip->clear();
    d->rate->clear();
    return true;
}

QWidget *MachinesDialog::firstField() const
{
    return d->name;
}

void MachinesDialog::saveRecord(bool adding, int row)
{
    const MachineInput input{d->name->text(), d->ip->text(), d->rate->text()};
    const Result<Machine> saved = d->service.saveMachine(adding ? 0 : d->machines.at(row).rowid, input);
    if (!saved) {
        fail(saved.error());
        return;
    }
    leaveEditing(saved->position - 1);
    emit machinesChanged();
}

void MachinesDialog::removeRecord(int row)
{
    const Machine m = d->machines.at(row);
    if (Result<> ok = d->service.checkRemovable(m); !ok) {
        Messages::tell(this, QStringLiteral("提示"), ok.error(), QMessageBox::Critical);
        return;
    }
    if (Messages::ask(this, QStringLiteral("提示"), removeQuestion(m), QMessageBox::Yes | QMessageBox::No,
                      QMessageBox::No) != QMessageBox::Yes)
        return;
    const Result<Removal> removed = d->service.removeMachine(m);
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
        fail(set.error());
        return;
    }
    reload(currentRow());
    emit machinesChanged();
}
