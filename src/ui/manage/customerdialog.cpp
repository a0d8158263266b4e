#include "customerdialog.h"

#include "common/numbers.h"
#include "ui/widgets/messages.h"
#include "ui/widgets/recordlayout.h"
#include "ui/widgets/windowfit.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

struct CustomerDialog::Private
{
    AccountService accounts;
    QList<Customer> customers;
    QLineEdit *fields[kFields] = {};
};

namespace {

QString visitText(const QDateTime &t)
{
    return t.isValid() ? t.toString(QStringLiteral("yyyy年M月d日hh:mm")) : QString();
}

QStringList texts(const Customer &c)
{
    return {c.number,
            c.name,
            c.idKind,
            c.idNumber,
            c.phone,
            c.pager,
            c.mobile,
            c.email,
            plainNumber(c.spent),
            QString::number(c.visits),
            visitText(c.lastVisit)};
}

} // namespace

CustomerDialog::CustomerDialog(AccountService accounts, QWidget *parent)
    : RecordDialog(parent), d(std::make_unique<Private>(std::move(accounts)))
{
    setObjectName(QStringLiteral("frmKeHuGL"));
    setWindowTitle(QStringLiteral("客户管理"));

    QTreeWidget *list =
        RecordLayout::list(this, QStringLiteral("lvwCustomer"),
                           {QStringLiteral("编号"), QStringLiteral("客户姓名"), QStringLiteral("证件"),
                            QStringLiteral("证件号码"), QStringLiteral("电话"), QStringLiteral("呼机"),
                            QStringLiteral("手机"), QStringLiteral("E-Mail"), QStringLiteral("消费额"),
                            QStringLiteral("消费次数"), QStringLiteral("最后一次时间")});

    auto *frame = new QGroupBox(QStringLiteral("修改客户资料："), this);
    frame->setObjectName(QStringLiteral("fraCustomer"));
    const QString labels[kFields] = {QStringLiteral("客户编号："),
                                     QStringLiteral("客户姓名："),
                                     QStringLiteral("证件名称："),
                                     QStringLiteral("证件编号："),
                                     QStringLiteral("电话："),
                                     QStringLiteral("呼机："),
                                     QStringLiteral("手机："),
                                     QStringLiteral("E-Mail"),
                                     QStringLiteral("总消费额："),
                                     QStringLiteral("消费次数："),
                                     QStringLiteral("最后一次上机时间：")};
    auto *form = new QFormLayout(frame);
    for (int i = 0; i < kFields; ++i) {
        d->fields[i] = RecordLayout::textField(frame, QStringLiteral("txtField%1").arg(i));
        // The number is given, the figures are the checkout's.
        d->fields[i]->setReadOnly(i == 0 || i >= 8);
        form->addRow(labels[i], d->fields[i]);
    }

    using RecordLayout::command;
    QPushButton *add = command(this, QStringLiteral("添加客户"), "cmdAdd");
    QPushButton *modify = command(this, QStringLiteral("修改客户"), "cmdModify");
    QPushButton *remove = command(this, QStringLiteral("删除用户"), "cmdDelete");
    QPushButton *save = command(this, QStringLiteral("保存设置"), "cmdSave");
    QPushButton *close = command(this, QStringLiteral("关闭窗口"), "cmdClose");
    RecordLayout::arrange(this, list, frame, {add, modify, remove, save, close}, false);
    resize(760, 420);
    WindowFit::fit(this);

    attach(list, frame, add, modify, remove, save, Abandon::EachButton, SaveFrom::FirstEdit);
    watch({std::begin(d->fields), std::end(d->fields)});
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    reload();
}

CustomerDialog::~CustomerDialog() = default;

QList<QStringList> CustomerDialog::loadRows()
{
    d->customers = valueOrSay(d->accounts.customers());
    QList<QStringList> rows;
    for (const Customer &c : std::as_const(d->customers))
        rows << texts(c);
    return rows;
}

void CustomerDialog::showRow(int row)
{
    const QStringList values = row >= 0 ? texts(d->customers.at(row)) : QStringList();
    for (int i = 0; i < kFields; ++i)
        d->fields[i]->setText(values.value(i));
}

bool CustomerDialog::prepareAdding()
{
    const Result<QString> number = d->accounts.nextCustomerNumber();
    if (!number) {
        fail(number.error());
        return false;
    }
    showRow(-1);
    d->fields[0]->setText(*number);
    return true;
}

QWidget *CustomerDialog::firstField() const
{
    return d->fields[1];
}

void CustomerDialog::saveRecord(bool adding, int row)
{
    Customer c;
    c.number = d->fields[0]->text();
    c.name = d->fields[1]->text();
    c.idKind = d->fields[2]->text();
    c.idNumber = d->fields[3]->text();
    c.phone = d->fields[4]->text();
    c.pager = d->fields[5]->text();
    c.mobile = d->fields[6]->text();
    c.email = d->fields[7]->text();
    Result<> saved;
    if (adding) {
        if (const Result<Customer> added = d->accounts.addCustomer(c); !added)
            saved = failure(added.error());
    } else {
        c.rowid = d->customers.at(row).rowid;
        saved = d->accounts.saveCustomer(c);
    }
    if (!saved) {
        fail(saved.error());
        return;
    }
    leaveEditing(0);
}

void CustomerDialog::removeRecord(int row)
{
    const Customer c = d->customers.at(row);
    if (const Result<> ok = d->accounts.checkCustomerDeletable(c.number); !ok) {
        fail(ok.error());
        return;
    }
    if (Messages::ask(this, QStringLiteral("问题"), QStringLiteral("确定要删除客户：") + c.number,
                      QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    if (const Result<> done = d->accounts.removeCustomer(c); !done)
        fail(done.error());
    reload();
}
