#include "store/database.h"
#include "store/goodstables.h"
#include "support/testcommands.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/manage/selldialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {
const QDateTime kNow(QDate(2026, 3, 7), QTime(9, 5));
}

class SellDialogTest final : public UiTest
{
    Q_OBJECT

public:
    SellDialogTest() : UiTest(kNow) {}

private slots:
    void sellsOnlyAWholeQuantityAboveZero_data();
    void sellsOnlyAWholeQuantityAboveZero();
};

void SellDialogTest::sellsOnlyAWholeQuantityAboveZero_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("sells");
    QTest::newRow("two") << u"2"_qs << u"2"_qs << true;
    QTest::newRow("letters ignored") << u"a2b"_qs << u"2"_qs << true;
    QTest::newRow("no point") << u"1.5"_qs << u"15"_qs << true;
    QTest::newRow("zero") << u"0"_qs << u"0"_qs << false;
    QTest::newRow("nothing") << u""_qs << u""_qs << false;
}

void SellDialogTest::sellsOnlyAWholeQuantityAboveZero()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(bool, sells);
    TestStore store;
    store.addArticle(u"00000001"_qs, u"可乐"_qs, 3.5, 20);
    TestCommands commands(store.db());
    SellDialog dialog(GoodsService(store.db(), commands.runner,
                                   ServiceOperator::fixed(QStringLiteral("clerk"), QStringLiteral("A"))),
                      *ArticleTable(store.db()).byNumber(u"00000001"_qs));
    dialog.show();
    QCOMPARE(dialog.objectName(), u"frmSell"_qs);
    QCOMPARE(dialog.windowTitle(), u"零售商品"_qs);
    QCOMPARE(child<QLineEdit>(dialog, "txtName")->text(), u"可乐"_qs);
    QCOMPARE(child<QLineEdit>(dialog, "txtPrice")->text(), u"3.5"_qs);
    auto *ok = child<QPushButton>(dialog, "cmdOK");
    QVERIFY(!ok->isEnabled());

    QTest::keyClicks(child<QLineEdit>(dialog, "txtQuantity"), typed);
    QCOMPARE(child<QLineEdit>(dialog, "txtQuantity")->text(), shown);
    QCOMPARE(ok->isEnabled(), sells);
    QTest::keyClick(child<QLineEdit>(dialog, "txtQuantity"), Qt::Key_Return);
    QCOMPARE(dialog.result() == QDialog::Accepted, sells);
    Statement s = store.db().prepare(u"SELECT count(*), sum(\"数量\") FROM khspb WHERE \"机号\" = -1"_qs);
    QVERIFY(s.next());
    QCOMPARE(s.integer(0), sells ? 1 : 0);
    QCOMPARE(ArticleTable(store.db()).all().at(0).stock, 20 - (sells ? shown.toDouble() : 0));
}

QTEST_MAIN(SellDialogTest)
#include "selldialog_test.moc"
