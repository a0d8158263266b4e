#include "customerdialog.h"

#include "common/numbers.h"
#include "messages.h"
#include "recordlayout.h"
#include "windowfit.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

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
    : QDialog(parent), m_accounts(std::move(accounts))
{
    setObjectName(QStringLiteral("frmKeHuGL"));
    setWindowTitle(QStringLiteral("客户管理"));

    m_list = RecordLayout::list(this, QStringLiteral("lvwCustomer"),
                                {QStringLiteral("编号"), QStringLiteral("客户姓名"), QStringLiteral("证件"),
                                 QStringLiteral("证件号码"), QStringLiteral("电话"), QStringLiteral("呼机"),
                                 QStringLiteral("手机"), QStringLiteral("E-Mail"), QStringLiteral("消费额"),
                                 QStringLiteral("消费次数"), QStringLiteral("最后一次时间")});

    m_frame = new QGroupBox(QStringLiteral("修改客户资料："), this);
    m_frame->setObjectName(QStringLiteral("fraCustomer"));
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
    auto *form = new QFormLayout(m_frame);
    for (int i = 0; i < kFields; ++i) {
        m_fields[i] = RecordLayout::textField(m_frame, QStringLiteral("txtField%1").arg(i));
        // The number is given, the figures are the checkout's.
        m_fields[i]->setReadOnly(i == 0 || i >= 8);
        form->addRow(labels[i], m_fields[i]);
    }

    using RecordLayout::command;
    m_add = command(this, QStringLiteral("添加客户"), "cmdAdd");
    m_modify = command(this, QStringLiteral("修改客户"), "cmdModify");
    m_delete = command(this, QStringLiteral("删除用户"), "cmdDelete");
    m_save = command(this, QStringLiteral("保存设置"), "cmdSave");
    QPushButton *close = command(this, QStringLiteral("关闭窗口"), "cmdClose");
    RecordLayout::arrange(this, m_list, m_frame, {m_add, m_modify, m_delete, m_save, close}, false);
    resize(760, 420);
    WindowFit::fit(this);

    connect(m_list, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *item) { select(m_list->indexOfTopLevelItem(item)); });
    connect(m_add, &QPushButton::clicked, this, &CustomerDialog::toggleAdd);
    connect(m_modify, &QPushButton::clicked, this, &CustomerDialog::toggleModify);
    connect(m_save, &QPushButton::clicked, this, &CustomerDialog::save);
    connect(m_delete, &QPushButton::clicked, this, &CustomerDialog::remove);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    for (QLineEdit *e : m_fields)
        connect(e, &QLineEdit::textEdited, m_save, [this] { m_save->setEnabled(true); });

    rebuild();
    setMode(Mode::Browse);
}

void CustomerDialog::rebuild()
{
    const Result<QList<Customer>> customers = m_accounts.customers();
    if (!customers)
        Messages::tell(this, QStringLiteral("错误"), customers.error(), QMessageBox::Critical);
    m_customers = customers.value_or(QList<Customer>());
    m_list->clear();
    for (const Customer &c : m_customers)
        new QTreeWidgetItem(m_list, texts(c));
    select(m_customers.isEmpty() ? -1 : 0);
}

void CustomerDialog::select(int row)
{
    m_selected = row >= 0 && row < m_customers.size() ? row : -1;
    if (m_selected >= 0)
        m_list->setCurrentItem(m_list->topLevelItem(m_selected));
    const QStringList values = m_selected >= 0 ? texts(m_customers[m_selected]) : QStringList();
    for (int i = 0; i < kFields; ++i)
        m_fields[i]->setText(values.value(i));
}

void CustomerDialog::setMode(Mode mode)
{
    m_mode = mode;
    RecordLayout::showEditing(mode == Mode::Adding, mode == Mode::Modifying, m_list, m_frame, m_add,
                              QStringLiteral("添加客户"), m_modify, QStringLiteral("修改客户"), m_delete);
    m_save->setEnabled(false);
}

void CustomerDialog::toggleAdd()
{
    if (m_mode == Mode::Adding) {
        setMode(Mode::Browse);
        select(m_selected);
        return;
    }
    const Result<QString> number = m_accounts.nextCustomerNumber();
    if (!number) {
        Messages::tell(this, QStringLiteral("错误"), number.error(), QMessageBox::Critical);
        return;
    }
    for (QLineEdit *e : m_fields)
        e->clear();
    m_fields[0]->setText(*number);
    setMode(Mode::Adding);
    m_fields[1]->setFocus();
}

void CustomerDialog::toggleModify()
{
    if (m_mode == Mode::Modifying) {
        setMode(Mode::Browse);
        select(m_selected);
        return;
    }
    if (m_selected < 0)
        return;
    select(m_selected);
    setMode(Mode::Modifying);
    m_fields[1]->setFocus();
}

Customer CustomerDialog::fromFields() const
{
    Customer c;
    c.number = m_fields[0]->text();
    c.name = m_fields[1]->text();
    c.idKind = m_fields[2]->text();
    c.idNumber = m_fields[3]->text();
    c.phone = m_fields[4]->text();
    c.pager = m_fields[5]->text();
    c.mobile = m_fields[6]->text();
    c.email = m_fields[7]->text();
    return c;
}

void CustomerDialog::save()
{
    Customer c = fromFields();
    Result<> saved;
    if (m_mode == Mode::Adding) {
        if (const Result<Customer> added = m_accounts.addCustomer(c); !added)
            saved = failure(added.error());
    } else if (m_mode == Mode::Modifying && m_selected >= 0) {
        c.rowid = m_customers[m_selected].rowid;
        saved = m_accounts.saveCustomer(c);
    }
    if (!saved) {
        Messages::tell(this, QStringLiteral("错误"), saved.error(), QMessageBox::Critical);
        return;
    }
    setMode(Mode::Browse);
    rebuild();
}

void CustomerDialog::remove()
{
    if (m_selected < 0)
        return;
    const Customer c = m_customers[m_selected];
    if (const Result<> ok = m_accounts.checkCustomerDeletable(c.number); !ok) {
        Messages::tell(this, QStringLiteral("错误"), ok.error(), QMessageBox::Critical);
        return;
    }
    if (Messages::ask(this, QStringLiteral("问题"), QStringLiteral("确定要删除客户：") + c.number,
                      QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    if (const Result<> done = m_accounts.removeCustomer(c); !done)
        Messages::tell(this, QStringLiteral("错误"), done.error(), QMessageBox::Critical);
    rebuild();
}
