#include "customerdialog.h"

#include "accounts/customers.h"
#include "common/numbers.h"
#include "messages.h"
#include "store/accounttables.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString visitText(const QDateTime &t)
{
    return t.isValid() ? t.toString(QStringLiteral("yyyy年M月d日hh:mm")) : QString();
}

QStringList texts(const Customer &c)
{
    return {c.number, c.name,   c.idKind, c.idNumber,          c.phone,                    c.pager,
            c.mobile, c.email,  plainNumber(c.spent), QString::number(c.visits), visitText(c.lastVisit)};
}

} // namespace

CustomerDialog::CustomerDialog(Database &db, QWidget *parent) : QDialog(parent), m_db(db)
{
    setObjectName(QStringLiteral("frmKeHuGL"));
    setWindowTitle(QStringLiteral("客户管理"));

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("lvwCustomer"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({QStringLiteral("编号"), QStringLiteral("客户姓名"), QStringLiteral("证件"),
                             QStringLiteral("证件号码"), QStringLiteral("电话"), QStringLiteral("呼机"),
                             QStringLiteral("手机"), QStringLiteral("E-Mail"), QStringLiteral("消费额"),
                             QStringLiteral("消费次数"), QStringLiteral("最后一次时间")});

    m_frame = new QGroupBox(QStringLiteral("修改客户资料："), this);
    m_frame->setObjectName(QStringLiteral("fraCustomer"));
    const QString labels[kFields] = {
        QStringLiteral("客户编号："), QStringLiteral("客户姓名："), QStringLiteral("证件名称："),
        QStringLiteral("证件编号："), QStringLiteral("电话："),     QStringLiteral("呼机："),
        QStringLiteral("手机："),     QStringLiteral("E-Mail"),     QStringLiteral("总消费额："),
        QStringLiteral("消费次数："), QStringLiteral("最后一次上机时间：")};
    auto *form = new QFormLayout(m_frame);
    for (int i = 0; i < kFields; ++i) {
        m_fields[i] = new QLineEdit(m_frame);
        m_fields[i]->setObjectName(QStringLiteral("txtField%1").arg(i));
        // The number is given, the figures are the checkout's.
        m_fields[i]->setReadOnly(i == 0 || i >= 8);
        form->addRow(labels[i], m_fields[i]);
    }

    auto button = [this](const QString &text, const char *name) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    m_add = button(QStringLiteral("添加客户"), "cmdAdd");
    m_modify = button(QStringLiteral("修改客户"), "cmdModify");
    m_delete = button(QStringLiteral("删除用户"), "cmdDelete");
    m_save = button(QStringLiteral("保存设置"), "cmdSave");
    QPushButton *close = button(QStringLiteral("关闭窗口"), "cmdClose");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : {m_add, m_modify, m_delete, m_save, close})
        buttons->addWidget(b);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_frame, 1);
    layout->addLayout(buttons);
    resize(760, 420);

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
    m_customers = CustomerTable(m_db).all();
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
    const bool browsing = mode == Mode::Browse;
    m_list->setVisible(browsing);
    m_frame->setVisible(!browsing);
    m_add->setText(mode == Mode::Adding ? QStringLiteral("放弃添加") : QStringLiteral("添加客户"));
    m_modify->setText(mode == Mode::Modifying ? QStringLiteral("放弃修改") : QStringLiteral("修改客户"));
    m_add->setEnabled(mode != Mode::Modifying);
    m_modify->setEnabled(mode != Mode::Adding);
    m_delete->setEnabled(browsing);
    m_save->setEnabled(false);
}

void CustomerDialog::toggleAdd()
{
    if (m_mode == Mode::Adding) {
        setMode(Mode::Browse);
        select(m_selected);
        return;
    }
    for (QLineEdit *e : m_fields)
        e->clear();
    m_fields[0]->setText(customers::nextNumber(m_db));
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
        const Result<Customer> added = customers::add(m_db, c);
        if (!added)
            saved = failure(added.error());
    } else if (m_mode == Mode::Modifying && m_selected >= 0) {
        c.rowid = m_customers[m_selected].rowid;
        saved = customers::saveDetails(m_db, c);
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
    if (const Result<> ok = customers::checkDeletable(m_db, c.number); !ok) {
        Messages::tell(this, QStringLiteral("错误"), ok.error(), QMessageBox::Critical);
        return;
    }
    if (Messages::ask(this, QStringLiteral("问题"), QStringLiteral("确定要删除客户：") + c.number,
                      QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    if (const Result<> done = customers::remove(m_db, c.rowid); !done)
        Messages::tell(this, QStringLiteral("错误"), done.error(), QMessageBox::Critical);
    rebuild();
}
