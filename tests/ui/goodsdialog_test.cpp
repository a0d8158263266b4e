#include "common/clock.h"
#include "goods/orders.h"
#include "store/goodstables.h"
#include "support/testcommands.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/manage/goodsdialog.h"
#include "ui/widgets/messages.h"
#include "ui/manage/selldialog.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

const QDateTime kNow(QDate(2026, 3, 7), QTime(9, 5));

struct Fixture
{
    Fixture(const QString &right = u"B"_qs)
    {
        store.addArticle(u"00000001"_qs, u"可乐"_qs, 3, 10);
        store.addArticle(u"00000002"_qs, u"雪碧"_qs, 2.5, 20);
        dialog = std::make_unique<GoodsDialog>(GoodsService(
            store.db(), commands.runner, ServiceOperator::fixed(QStringLiteral("clerk"), right)));
        dialog->show();
    }
    QPushButton *button(const char *name) { return child<QPushButton>(*dialog, name); }
    QLineEdit *field(const char *name) { return child<QLineEdit>(*dialog, name); }
    QTreeWidget *list() { return child<QTreeWidget>(*dialog, "lstGoods"); }
    void click(const char *name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    // Which of 修改 添加 删除 保存 零售 are enabled, as a string of 0 and 1.
    QString enabled()
    {
        QString s;
        for (const char *n : {"cmdModify", "cmdAdd", "cmdDelete", "cmdSave", "cmdSell"})
            s += button(n)->isEnabled() ? u'1' : u'0';
        return s;
    }

    TestStore store;
    TestCommands commands{store.db()};
    std::unique_ptr<GoodsDialog> dialog;
};

} // namespace

class GoodsDialogTest final : public UiTest
{
    Q_OBJECT

public:
    GoodsDialogTest() : UiTest(kNow) {}

private slots:
    void cashierMayOnlyLookAndSell();
    void addSavesUnderTheNextNumber();
    void deleteAsksFirstAndRefusesSoldArticles();
    void counterSaleReloadsTheStock();
    void stockTypedWhileAnOrderMovedItIsSavedRelativeAndSaid_data();
    void stockTypedWhileAnOrderMovedItIsSavedRelativeAndSaid();
};

void GoodsDialogTest::cashierMayOnlyLookAndSell()
{
    Fixture f(u"A"_qs);
    QCOMPARE(f.dialog->objectName(), u"frmGood"_qs);
    QCOMPARE(f.dialog->windowTitle(), u"商品管理"_qs);
    QCOMPARE(f.dialog->isModal(), false);
    QCOMPARE(f.list()->topLevelItemCount(), 2);
    QCOMPARE(f.enabled(), u"00001"_qs);
    // A right letter the program does not know counts as the lowest.
    Fixture unknown(u"b"_qs);
    QCOMPARE(unknown.enabled(), u"00001"_qs);
    Fixture manager(u"C"_qs);
    QCOMPARE(manager.enabled(), u"11101"_qs);
}

void GoodsDialogTest::addSavesUnderTheNextNumber()
{
    Fixture f;
    QSignalSpy changed(f.dialog.get(), &GoodsDialog::catalogueChanged);
    f.click("cmdAdd");
    QVERIFY(f.list()->isHidden());
    QVERIFY(child<QGroupBox>(*f.dialog, "fraEdit")->isVisible());
    QCOMPARE(f.button("cmdModify")->text(), u"放弃"_qs);
    QCOMPARE(f.enabled(), u"10010"_qs);
    QCOMPARE(f.field("txtNumber")->text(), u"00000003"_qs);
    QVERIFY(f.field("txtNumber")->isReadOnly());
    QCOMPARE(f.dialog->focusWidget(), f.field("txtName"));

    f.field("txtName")->setText(u"红茶"_qs);
    QTest::keyClicks(f.field("txtPrice"), u"3a.5"_qs); // letters are ignored
    QTest::keyClicks(f.field("txtStock"), u"12"_qs);
    f.click("cmdSave");
    QCOMPARE(changed.count(), 1);
    QVERIFY(f.list()->isVisible());
    QCOMPARE(f.button("cmdModify")->text(), u"修改"_qs);
    QCOMPARE(f.enabled(), u"11101"_qs);
    QCOMPARE(f.list()->topLevelItemCount(), 3);
    const QTreeWidgetItem *added = f.list()->topLevelItem(2);
    QCOMPARE(added->text(0) + u'|' + added->text(1) + u'|' + added->text(3) + u'|' + added->text(4),
             u"00000003|红茶|3.5|12"_qs);
    QCOMPARE(f.list()->currentItem(), f.list()->topLevelItem(0));

    // Modifying without a click edits the first article; abandoning writes nothing.
    f.click("cmdModify");
    QCOMPARE(f.field("txtName")->text(), u"可乐"_qs);
    f.field("txtName")->setText(u"x"_qs);
    f.click("cmdModify");
    QCOMPARE(ArticleTable(f.store.db()).all().at(0).name, u"可乐"_qs);
    QCOMPARE(changed.count(), 1);
}

void GoodsDialogTest::deleteAsksFirstAndRefusesSoldArticles()
{
    Fixture f;
    QVERIFY(SalesTable(f.store.db()).add({1, 1, u"00000001"_qs, 1, Clock::now()}));
    f.click("cmdDelete");
    QCOMPARE(Messages::takeShownTexts(), QStringList{u"由于当前商品有销售记录，所以不能删除！"_qs});

    f.list()->setCurrentItem(f.list()->topLevelItem(1));
    Messages::setNextAnswers({QMessageBox::No});
    f.click("cmdDelete");
    QCOMPARE(Messages::takeShownTexts(), QStringList{u"确实要删除当前商品：\n雪碧 吗？"_qs});
    QCOMPARE(f.list()->topLevelItemCount(), 2);

    Messages::setNextAnswers({QMessageBox::Yes});
    f.list()->setCurrentItem(f.list()->topLevelItem(1));
    f.click("cmdDelete");
    QCOMPARE(f.list()->topLevelItemCount(), 1);
    QCOMPARE(ArticleTable(f.store.db()).all().size(), 1);
}

void GoodsDialogTest::stockTypedWhileAnOrderMovedItIsSavedRelativeAndSaid_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("orderedMeanwhile");
    QTest::addColumn<double>("stored");
    QTest::addColumn<QStringList>("told");
    // Article 00000001 shows a stock of 10 when the edit begins.
    QTest::newRow("raised, order meanwhile")
        << u"50"_qs << 2.0 << 48.0 << QStringList{u"库存数量已被其他操作改动，已按改动后的数量保存：48"_qs};
    QTest::newRow("raised, no order") << u"50"_qs << 0.0 << 50.0 << QStringList();
    // The stock left as shown is no figure of the operator's: the order simply stays taken.
    QTest::newRow("untouched, order meanwhile") << u"10"_qs << 3.0 << 7.0 << QStringList();
}

void GoodsDialogTest::stockTypedWhileAnOrderMovedItIsSavedRelativeAndSaid()
{
    QFETCH(QString, typed);
    QFETCH(double, orderedMeanwhile);
    QFETCH(double, stored);
    QFETCH(QStringList, told);
    Fixture f;
    f.click("cmdModify");
    if (orderedMeanwhile > 0)
        QVERIFY(recordOrders(f.store.db(), 1, {{u"00000001"_qs, orderedMeanwhile}}, Clock::now()));
    retype(*f.dialog, "txtStock", typed);
    f.click("cmdSave");
    QCOMPARE(Messages::takeShownTexts(), told);
    QCOMPARE(ArticleTable(f.store.db()).byNumber(u"00000001"_qs)->stock, stored);
}

void GoodsDialogTest::counterSaleReloadsTheStock()
{
    Fixture f;
    QSignalSpy changed(f.dialog.get(), &GoodsDialog::catalogueChanged);
    f.list()->setCurrentItem(f.list()->topLevelItem(1));
    bool seen = false;
    QTimer::singleShot(0, this, [&] {
        auto *sell = qobject_cast<SellDialog *>(QApplication::activeModalWidget());
        QVERIFY(sell);
        seen = true;
        QCOMPARE(child<QLineEdit>(*sell, "txtName")->text(), u"雪碧"_qs);
        QTest::keyClicks(child<QLineEdit>(*sell, "txtQuantity"), u"3"_qs);
        QTest::mouseClick(child<QPushButton>(*sell, "cmdOK"), Qt::LeftButton);
    });
    f.click("cmdSell");
    QVERIFY(seen);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(f.list()->topLevelItem(1)->text(4), u"17"_qs);
}

QTEST_MAIN(GoodsDialogTest)
#include "goodsdialog_test.moc"
