#include "goodsdialog.h"

#include "common/numbers.h"
#include "goods/catalogue.h"
#include "ui/widgets/messages.h"
#include "ui/widgets/numberedit.h"
#include "ui/widgets/recordlayout.h"
#include "selldialog.h"
#include "ui/widgets/windowfit.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>

struct GoodsDialog::Private
{
    GoodsService goods;
    QList<Article> articles;
    // The stock the frame showed when the edit began.
    double shownStock = 0;

    QLineEdit *number = nullptr;
    QLineEdit *name = nullptr;
    QLineEdit *cost = nullptr;
    QLineEdit *price = nullptr;
    QLineEdit *stock = nullptr;
    QPushButton *sell = nullptr;
};

GoodsDialog::GoodsDialog(GoodsService goods, QWidget *parent)
    : RecordDialog(parent), d(std::make_unique<Private>(std::move(goods)))
{
    setObjectName(QStringLiteral("frmGood"));
    setWindowTitle(QStringLiteral("商品管理"));

    QTreeWidget *list = RecordLayout::list(this, QStringLiteral("lstGoods"),
                                           {QStringLiteral("商品编号"), QStringLiteral("商品名称"),
                                            QStringLiteral("进货价格"), QStringLiteral("零售价格"),
                                            QStringLiteral("库存数量")});
    list->header()->setSectionResizeMode(QHeaderView::Stretch);

    auto *frame = new QGroupBox(QStringLiteral("修改商品资料："), this);
    frame->setObjectName(QStringLiteral("fraEdit"));
    d->number = new QLineEdit(frame);
    d->number->setObjectName(QStringLiteral("txtNumber"));
    d->number->setReadOnly(true);
    d->name = RecordLayout::textField(frame, QStringLiteral("txtName"));
    d->cost = numberEdit(frame, QStringLiteral("txtCost"), true);
    d->price = numberEdit(frame, QStringLiteral("txtPrice"), true);
    // Orders from the PCs may drive the stock below 0; such a stock must still be editable.
    d->stock = new QLineEdit(frame);
    d->stock->setObjectName(QStringLiteral("txtStock"));
    d->stock->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9.]*")), d->stock));
    auto *form = new QFormLayout(frame);
    form->addRow(QStringLiteral("商品编号："), d->number);
    form->addRow(QStringLiteral("商品名称："), d->name);
    form->addRow(QStringLiteral("进货价格："), d->cost);
    form->addRow(QStringLiteral("零售价格："), d->price);
    form->addRow(QStringLiteral("库存数量："), d->stock);

    using RecordLayout::command;
    QPushButton *modify = command(this, QStringLiteral("修改"), "cmdModify");
    QPushButton *add = command(this, QStringLiteral("添加"), "cmdAdd");
    QPushButton *remove = command(this, QStringLiteral("删除"), "cmdDelete");
    QPushButton *save = command(this, QStringLiteral("保存"), "cmdSave");
    d->sell = command(this, QStringLiteral("零售"), "cmdSell");
    QPushButton *close = command(this, QStringLiteral("关闭"), "cmdClose");
    RecordLayout::arrange(this, list, frame, {modify, add, remove, save, d->sell, close}, true);
    resize(620, 400);
    WindowFit::fit(this);

    setTabOrder(d->name, d->cost);
    setTabOrder(d->cost, d->price);
    setTabOrder(d->price, d->stock);
    setTabOrder(d->stock, save);

    attach(list, frame, add, modify, remove, save, Abandon::ModifyButton, SaveFrom::EditStart);
    setReadOnly(!d->goods.mayEdit());
    setRightAligned({2, 3, 4});
    connect(d->sell, &QPushButton::clicked, this, &GoodsDialog::sellCurrent);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    reload();
}

GoodsDialog::~GoodsDialog() = default;

QList<QStringList> GoodsDialog::loadRows()
{
    d->articles = d->goods.articles();
    QList<QStringList> rows;
    for (const Article &a : std::as_const(d->articles))
        rows << QStringList{a.number, a.name, plainNumber(a.cost), plainNumber(a.price),
                            plainNumber(a.stock)};
    return rows;
}

void GoodsDialog::showRow(int row)
{
    const Article a = row >= 0 ? d->articles.at(row) : Article();
    const auto figure = [row](double v) { return row >= 0 ? plainNumber(v) : QString(); };
    d->shownStock = numberValue(plainNumber(a.stock));
    d->number->setText(a.number);
    d->name->setText(a.name);
    d->cost->setText(figure(a.cost));
    d->price->setText(figure(a.price));
    d->stock->setText(figure(a.stock));
}

void GoodsDialog::modeChanged(Mode mode)
{
    // Not while editing: the stock being edited must not change by a sale here.
    d->sell->setEnabled(mode == Mode::Browsing && !d->articles.isEmpty());
}

bool GoodsDialog::prepareAdding()
{
    const Result<QString> number = d->goods.nextArticleNumber();
    if (!number) {
        fail(number.error());
        return false;
    }
    d->number->setText(*number);
    for (QLineEdit *e : {d->name, d->cost, d->price, d->stock})
        e->clear();
    return true;
}

QWidget *GoodsDialog::firstField() const
{
    return d->name;
}

void GoodsDialog::saveRecord(bool adding, int row)
{
    const Catalogue::ArticleInput typed{d->name->text(), d->cost->text(), d->price->text(), d->stock->text()};
    const Result<Article> saved =
        d->goods.saveArticle(adding ? 0 : d->articles.at(row).rowid, typed, d->shownStock);
    if (!saved) {
        fail(saved.error());
        return;
    }
    const double shownStock = d->shownStock;
    leaveEditing(0);
    emit catalogueChanged();
    if (!adding)
        if (const QString notice = Catalogue::stockMovedNotice(typed, shownStock, *saved); !notice.isEmpty())
            Messages::tell(this, QStringLiteral("提示"), notice);
}

void GoodsDialog::removeRecord(int row)
{
    const Article a = d->articles.at(row);
    if (Result<> ok = d->goods.checkRemovable(a); !ok) {
        fail(ok.error());
        return;
    }
    if (Messages::ask(this, QStringLiteral("问题"), Catalogue::removeQuestion(a),
                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    if (Result<> ok = d->goods.removeArticle(a); !ok)
        fail(ok.error());
    reload();
    emit catalogueChanged();
}

void GoodsDialog::sellCurrent()
{
    const int row = currentRow();
    if (row < 0)
        return;
    SellDialog sell(d->goods, d->articles.at(row), this);
    const bool sold = sell.exec() == QDialog::Accepted;
    reload();
    if (sold)
        emit catalogueChanged();
}
