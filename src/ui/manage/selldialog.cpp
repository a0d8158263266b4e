#include "selldialog.h"

#include "common/numbers.h"
#include "goods/countersale.h"
#include "store/goodsrows.h"
#include "ui/widgets/messages.h"
#include "ui/widgets/numberedit.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

struct SellDialog::Private
{
    GoodsService goods;
    Article article;
    QLineEdit *quantity = nullptr;
    QPushButton *ok = nullptr;
};

SellDialog::SellDialog(GoodsService goods, const Article &article, QWidget *parent)
    : QDialog(parent), d(std::make_unique<Private>(std::move(goods), article))
{
    setObjectName(QStringLiteral("frmSell"));
    setWindowTitle(QStringLiteral("零售商品"));

    auto *name = new QLineEdit(article.name, this);
    name->setObjectName(QStringLiteral("txtName"));
    name->setReadOnly(true);
    auto *price = new QLineEdit(plainNumber(article.price), this);
    price->setObjectName(QStringLiteral("txtPrice"));
    price->setReadOnly(true);
    d->quantity = numberEdit(this, QStringLiteral("txtQuantity"), false, 9);

    d->ok = new QPushButton(QStringLiteral("确定"), this);
    d->ok->setObjectName(QStringLiteral("cmdOK"));
    d->ok->setDefault(true);
    d->ok->setEnabled(false);
    auto *cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    cancel->setAutoDefault(false);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("商品名称："), name);
    form->addRow(QStringLiteral("商品单价："), price);
    form->addRow(QStringLiteral("商品数量："), d->quantity);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(d->ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    setFixedWidth(300);

    name->setFocusPolicy(Qt::ClickFocus);
    price->setFocusPolicy(Qt::ClickFocus);
    setTabOrder(d->quantity, d->ok);
    setTabOrder(d->ok, cancel);
    d->quantity->setFocus();

    // Only a whole quantity above 0 sells anything.
    connect(d->quantity, &QLineEdit::textChanged, this,
            [this](const QString &text) { d->ok->setEnabled(CounterSale::quantityOf(text).has_value()); });
    connect(d->ok, &QPushButton::clicked, this, [this] { sell(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

SellDialog::~SellDialog() = default;

void SellDialog::sell()
{
    const std::optional<int> quantity = CounterSale::quantityOf(d->quantity->text());
    if (!quantity)
        return;
    const Result<GoodsSale> sold = d->goods.sell(d->article, *quantity);
    if (!sold) {
        Messages::tell(this, QStringLiteral("错误"), sold.error(), QMessageBox::Critical);
        return;
    }
    accept();
}
