#include "ui/goodsdialog.h"

#include "common/numbers.h"
#include "goods/catalogue.h"
#include "ui/messages.h"
#include "ui/numberedit.h"
#include "ui/recordlayout.h"
#include "ui/selldialog.h"
#include "windowfit.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>

struct GoodsDialog::Private
{
    explicit Private(GoodsService goods) : goods(std::move(goods)) {}

    GoodsService goods;
    bool restricted = false;
    Mode mode = Mode::Browsing;
    QList<Article> articles;
    // The article being modified and the stock the frame showed when the edit began.
    qint64 editRowid = 0;
    double shownStock = 0;

    QTreeWidget *list = nullptr;
    QGroupBox *frame = nullptr;
    QLineEdit *number = nullptr;
    QLineEdit *name = nullptr;
    QLineEdit *cost = nullptr;
    QLineEdit *price = nullptr;
    QLineEdit *stock = nullptr;
    QPushButton *modify = nullptr;
    QPushButton *add = nullptr;
    QPushButton *remove = nullptr;
    QPushButton *saveButton = nullptr;
    QPushButton *sell = nullptr;

    std::optional<Article> current() const
    {
        const int row = list->indexOfTopLevelItem(list->currentItem());
        if (row < 0 || row >= int(articles.size()))
            return std::nullopt;
        return articles.at(row);
    }

    Catalogue::ArticleInput input() const
    {
        return {name->text(), cost->text(), price->text(), stock->text()};
    }
};

GoodsDialog::GoodsDialog(GoodsService goods, QWidget *parent)
    : QDialog(parent), d(new Private(std::move(goods)))
{
    setObjectName(QStringLiteral("frmGood"));
    setWindowTitle(QStringLiteral("商品管理"));
    d->restricted = !d->goods.mayEdit();

    d->list = RecordLayout::list(this, QStringLiteral("lstGoods"),
                                 {QStringLiteral("商品编号"), QStringLiteral("商品名称"),
                                  QStringLiteral("进货价格"), QStringLiteral("零售价格"),
                                  QStringLiteral("库存数量")});
    d->list->header()->setSectionResizeMode(QHeaderView::Stretch);

    d->frame = new QGroupBox(QStringLiteral("修改商品资料："), this);
    d->frame->setObjectName(QStringLiteral("fraEdit"));
    d->number = new QLineEdit(d->frame);
    d->number->setObjectName(QStringLiteral("txtNumber"));
    d->number->setReadOnly(true);
    d->name = RecordLayout::textField(d->frame, QStringLiteral("txtName"));
    d->cost = numberEdit(d->frame, QStringLiteral("txtCost"), true);
    d->price = numberEdit(d->frame, QStringLiteral("txtPrice"), true);
    // Orders from the PCs may drive the stock below 0; such a stock must still be editable.
    d->stock = new QLineEdit(d->frame);
    d->stock->setObjectName(QStringLiteral("txtStock"));
    d->stock->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9.]*")), d->stock));
    auto *form = new QFormLayout(d->frame);
    form->addRow(QStringLiteral("商品编号："), d->number);
    form->addRow(QStringLiteral("商品名称："), d->name);
    form->addRow(QStringLiteral("进货价格："), d->cost);
    form->addRow(QStringLiteral("零售价格："), d->price);
    form->addRow(QStringLiteral("库存数量："), d->stock);

    using RecordLayout::command;
    d->modify = command(this, QStringLiteral("修改"), "cmdModify");
    d->add = command(this, QStringLiteral("添加"), "cmdAdd");
    d->remove = command(this, QStringLiteral("删除"), "cmdDelete");
    d->saveButton = command(this, QStringLiteral("保存"), "cmdSave");
    d->sell = command(this, QStringLiteral("零售"), "cmdSell");
    QPushButton *close = command(this, QStringLiteral("关闭"), "cmdClose");
    RecordLayout::arrange(this, d->list, d->frame,
                          {d->modify, d->add, d->remove, d->saveButton, d->sell, close}, true);
    resize(620, 400);
    WindowFit::fit(this);

    setTabOrder(d->name, d->cost);
    setTabOrder(d->cost, d->price);
    setTabOrder(d->price, d->stock);
    setTabOrder(d->stock, d->saveButton);

    connect(d->modify, &QPushButton::clicked, this, [this] { modifyOrAbandon(); });
    connect(d->add, &QPushButton::clicked, this, [this] { startAdding(); });
    connect(d->remove, &QPushButton::clicked, this, [this] { removeCurrent(); });
    connect(d->saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(d->sell, &QPushButton::clicked, this, [this] { sellCurrent(); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    reload();
    setMode(Mode::Browsing);
}

GoodsDialog::~GoodsDialog()
{
    delete d;
}

void GoodsDialog::reload()
{
    d->articles = d->goods.articles();
    d->list->clear();
    for (const Article &a : std::as_const(d->articles)) {
        auto *item = new QTreeWidgetItem(
            d->list, {a.number, a.name, plainNumber(a.cost), plainNumber(a.price), plainNumber(a.stock)});
        for (int c = 2; c < 5; ++c)
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (d->list->topLevelItemCount() > 0)
        d->list->setCurrentItem(d->list->topLevelItem(0));
    setMode(d->mode);
}

void GoodsDialog::setMode(Mode mode)
{
    d->mode = mode;
    const bool editing = mode != Mode::Browsing;
    const bool any = !d->articles.isEmpty();
    if (editing)
        RecordLayout::showInstead(d->frame, d->list);
    else
        RecordLayout::showInstead(d->list, d->frame);
    d->modify->setText(editing ? QStringLiteral("放弃") : QStringLiteral("修改"));
    d->modify->setEnabled(!d->restricted && (editing || any));
    d->add->setEnabled(!d->restricted && !editing);
    // The row being edited must not vanish under the save, nor its stock change by a sale here.
    d->remove->setEnabled(!d->restricted && !editing && any);
    d->saveButton->setEnabled(!d->restricted && editing);
    d->sell->setEnabled(!editing && any);
}

void GoodsDialog::modifyOrAbandon()
{
    if (d->mode != Mode::Browsing) {
        setMode(Mode::Browsing);
        return;
    }
    const std::optional<Article> a = d->current();
    if (!a)
        return;
    d->editRowid = a->rowid;
    d->shownStock = numberValue(plainNumber(a->stock));
    d->number->setText(a->number);
    d->name->setText(a->name);
    d->cost->setText(plainNumber(a->cost));
    d->price->setText(plainNumber(a->price));
    d->stock->setText(plainNumber(a->stock));
    setMode(Mode::Modifying);
    d->name->setFocus();
}

void GoodsDialog::startAdding()
{
    const Result<QString> number = d->goods.nextArticleNumber();
    if (!number) {
        Messages::tell(this, QStringLiteral("错误"), number.error(), QMessageBox::Critical);
        return;
    }
    d->number->setText(*number);
    for (QLineEdit *e : {d->name, d->cost, d->price, d->stock})
        e->clear();
    setMode(Mode::Adding);
    d->name->setFocus();
}

void GoodsDialog::save()
{
    const bool adding = d->mode == Mode::Adding;
    const Catalogue::ArticleInput typed = d->input();
    const Result<Article> saved = d->goods.saveArticle(adding ? 0 : d->editRowid, typed, d->shownStock);
    if (!saved) {
        Messages::tell(this, QStringLiteral("错误"), saved.error(), QMessageBox::Critical);
        return;
    }
    d->mode = Mode::Browsing;
    reload();
    emit catalogueChanged();
    if (!adding)
        if (const QString notice = Catalogue::stockMovedNotice(typed, d->shownStock, *saved);
            !notice.isEmpty())
            Messages::tell(this, QStringLiteral("提示"), notice);
}

void GoodsDialog::removeCurrent()
{
    const std::optional<Article> a = d->current();
    if (!a)
        return;
    if (Result<> ok = d->goods.checkRemovable(*a); !ok) {
        Messages::tell(this, QStringLiteral("错误"), ok.error(), QMessageBox::Critical);
        return;
    }
    if (Messages::ask(this, QStringLiteral("问题"), Catalogue::removeQuestion(*a),
                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    if (Result<> ok = d->goods.removeArticle(*a); !ok)
        Messages::tell(this, QStringLiteral("错误"), ok.error(), QMessageBox::Critical);
    reload();
    emit catalogueChanged();
}

void GoodsDialog::sellCurrent()
{
    const std::optional<Article> a = d->current();
    if (!a)
        return;
    SellDialog sell(d->goods, *a, this);
    const bool sold = sell.exec() == QDialog::Accepted;
    reload();
    if (sold)
        emit catalogueChanged();
}
