#include "purchasedialog.h"

#include "common/formats.h"
#include "desk/frontdesk.h"
#include "goods/purchase.h"
#include "ui/widgets/messages.h"
#include "ui/widgets/windowfit.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

struct PurchaseDialog::Private
{
    explicit Private(FrontDesk &desk) : desk(desk) {}

    FrontDesk &desk;
    int machine = 0;
    QList<Article> catalogue;
    ShoppingList shopping;
    QTreeWidget *goods = nullptr;
    QTreeWidget *list = nullptr;
    QSplitter *splitter = nullptr;
    bool placed = false;

    void showShopping(int selectRow = -1)
    {
        list->clear();
        for (int r = 0; r < shopping.rowCount(); ++r) {
            auto *item = new QTreeWidgetItem(list, shopping.row(r));
            for (int c = 2; c < 5; ++c)
                item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
            if (shopping.isTotalRow(r)) {
                QFont bold = item->font(0);
                bold.setBold(true);
                for (int c = 0; c < 5; ++c)
                    item->setFont(c, bold);
            }
        }
        if (selectRow >= 0 && selectRow < list->topLevelItemCount())
            list->setCurrentItem(list->topLevelItem(selectRow));
    }
};

namespace {

QTreeWidget *table(QWidget *parent, const QString &objectName, const QStringList &headers)
{
    auto *t = new QTreeWidget(parent);
    t->setObjectName(objectName);
    t->setColumnCount(int(headers.size()));
    t->setHeaderLabels(headers);
    t->setRootIsDecorated(false);
    t->setUniformRowHeights(true);
    t->setAlternatingRowColors(true);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setAllColumnsShowFocus(true);
    t->header()->setStretchLastSection(false);
    t->header()->setSectionResizeMode(QHeaderView::Stretch);
    t->header()->setSectionsMovable(false);
    return t;
}

} // namespace

PurchaseDialog::PurchaseDialog(FrontDesk &desk, QWidget *parent)
    : QDialog(parent), d(std::make_unique<Private>(desk))
{
    // The goods are booked to the machine list entry selected when the dialog opened.
    d->machine = desk.selected();
    setWindowTitle(QStringLiteral("选择商品"));

    d->goods = table(this, QStringLiteral("goodsList"),
                     {QStringLiteral("商品编号"), QStringLiteral("商品名称"), QStringLiteral("零售价格")});
    d->list = table(this, QStringLiteral("shoppingList"),
                    {QStringLiteral("商品编号"), QStringLiteral("商品名称"), QStringLiteral("商品单价"),
                     QStringLiteral("商品数量"), QStringLiteral("总价格")});
    d->splitter = new QSplitter(Qt::Vertical, this);
    d->splitter->setObjectName(QStringLiteral("splitter"));
    d->splitter->setChildrenCollapsible(false);
    d->splitter->setHandleWidth(7);
    d->splitter->addWidget(d->goods);
    d->splitter->addWidget(d->list);

    d->catalogue = desk.goods().articles();
    for (const Article &a : std::as_const(d->catalogue)) {
        auto *item = new QTreeWidgetItem(d->goods, {a.number, a.name, formatMoney(a.price)});
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (d->goods->topLevelItemCount() > 0)
        d->goods->setCurrentItem(d->goods->topLevelItem(0));

    auto *add = new QPushButton(QStringLiteral("添加到购物单"), this);
    add->setObjectName(QStringLiteral("addButton"));
    auto *remove = new QPushButton(QStringLiteral("从购物单中删除"), this);
    remove->setObjectName(QStringLiteral("removeButton"));
    auto *confirm = new QPushButton(QStringLiteral("确认购买"), this);
    confirm->setObjectName(QStringLiteral("confirmButton"));
    auto *cancel = new QPushButton(QStringLiteral("取消购买"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    for (QPushButton *b : {add, remove, confirm, cancel})
        b->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    buttons->addWidget(confirm);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(d->splitter, 1);
    layout->addLayout(buttons);
    resize(640, 520);
    WindowFit::fit(this);

    setTabOrder(d->goods, add);
    setTabOrder(add, d->list);
    setTabOrder(d->list, remove);
    setTabOrder(remove, confirm);
    setTabOrder(confirm, cancel);

    connect(add, &QPushButton::clicked, this, [this] { addSelected(); });
    connect(d->goods, &QTreeWidget::itemDoubleClicked, this, [this] { addSelected(); });
    connect(remove, &QPushButton::clicked, this, [this] { removeSelected(); });
    connect(confirm, &QPushButton::clicked, this, [this] { confirmPurchase(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(d->splitter, &QSplitter::splitterMoved, this, [this] { keepBarInRange(); });
    d->goods->setFocus();
}

PurchaseDialog::~PurchaseDialog() = default;

void PurchaseDialog::addSelected()
{
    const int row = d->goods->indexOfTopLevelItem(d->goods->currentItem());
    if (row < 0 || row >= int(d->catalogue.size()))
        return;
    const QString number = d->catalogue.at(row).number;
    d->shopping.add(d->catalogue.at(row));
    int shown = 0;
    while (shown < int(d->shopping.lines().size()) && d->shopping.lines().at(shown).article != number)
        ++shown;
    d->showShopping(shown);
}

void PurchaseDialog::removeSelected()
{
    const int row = d->list->indexOfTopLevelItem(d->list->currentItem());
    if (!d->shopping.remove(row))
        return;
    d->showShopping(std::min(row, int(d->shopping.lines().size()) - 1));
}

void PurchaseDialog::confirmPurchase()
{
    if (d->shopping.isEmpty()) {
        Messages::tell(this, QString(), QStringLiteral("请先选中商品！"));
        return;
    }
    const auto answer = Messages::ask(this, QString(), Purchase::confirmationText(d->shopping),
                                      QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer != QMessageBox::Ok) {
        reject();
        return;
    }
    if (const Result<> booked = d->desk.purchase(d->machine, d->shopping); !booked) {
        Messages::tell(this, QStringLiteral("错误"), booked.error(), QMessageBox::Critical);
        return;
    }
    Messages::tell(this, QStringLiteral("提示"), QStringLiteral("已经记帐完毕，请点收商品！"),
                   QMessageBox::Warning);
    accept();
}

void PurchaseDialog::keepBarInRange()
{
    const QList<int> sizes = d->splitter->sizes();
    if (sizes.size() != 2)
        return;
    const int offset = d->splitter->mapTo(this, QPoint(0, 0)).y();
    const int low = height() / 5 - offset;
    const int high = height() * 3 / 5 - offset;
    const int top = std::clamp(sizes.at(0), std::max(low, 0), std::max(high, 0));
    if (top != sizes.at(0))
        d->splitter->setSizes({top, sizes.at(0) + sizes.at(1) - top});
}

void PurchaseDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!d->placed) {
        d->placed = true;
        // Start with the bar at two fifths of the height: the catalogue gets the larger share.
        const QList<int> sizes = d->splitter->sizes();
        const int offset = d->splitter->mapTo(this, QPoint(0, 0)).y();
        const int top = height() * 2 / 5 - offset;
        if (sizes.size() == 2 && top > 0)
            d->splitter->setSizes({top, sizes.at(0) + sizes.at(1) - top});
    }
    keepBarInRange();
}

void PurchaseDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    keepBarInRange();
}
