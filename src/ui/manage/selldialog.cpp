#include "selldialog.h"

#include "common/numbers.h"
#include "goods/countersale.h"
#include "ui/widgets/messages.h"
#include "ui/widgets/numberedit.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

SellDialog::SellDialog(GoodsService goods, const Article &article, QWidget *parent)
    : QDialog(parent), m_goods(std::move(goods)), m_article(article)
{
    setObjectName(QStringLiteral("frmSell"));
    setWindowTitle(QStringLiteral("零售商品"));

    auto *name = new QLineEdit(article.name, this);
    name->setObjectName(QStringLiteral("txtName"));
    name->setReadOnly(true);
    auto *price = new QLineEdit(plainNumber(article.price), this);
    price->setObjectName(QStringLiteral("txtPrice"));
    price->setReadOnly(true);
    m_quantity = numberEdit(this, QStringLiteral("txtQuantity"), false, 9);

    m_ok = new QPushButton(QStringLiteral("确定"), this);
    m_ok->setObjectName(QStringLiteral("cmdOK"));
    m_ok->setDefault(true);
    m_ok->setEnabled(false);
    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    cancel->setAutoDefault(false);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("商品名称："), name);
    form->addRow(QStringLiteral("商品单价："), price);
    form->addRow(QStringLiteral("商品数量："), m_quantity);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    setFixedWidth(300);

    name->setFocusPolicy(Qt::ClickFocus);
    price->setFocusPolicy(Qt::ClickFocus);
    setTabOrder(m_quantity, m_ok);
    setTabOrder(m_ok, cancel);
    m_quantity->setFocus();

    // Only a whole quantity above 0 sells anything.
    connect(m_quantity, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_ok->setEnabled(CounterSale::quantityOf(text).has_value()); });
    connect(m_ok, &QPushButton::clicked, this, [this] { sell(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void SellDialog::sell()
{
    const std::optional<int> quantity = CounterSale::quantityOf(m_quantity->text());
    if (!quantity)
        return;
    const Result<GoodsSale> sold = m_goods.sell(m_article, *quantity);
    if (!sold) {
        Messages::tell(this, QStringLiteral("错误"), sold.error(), QMessageBox::Critical);
        return;
    }
    accept();
}
