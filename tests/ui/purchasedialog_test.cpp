#include "store/goodstables.h"
#include "support/testdesk.h"
#include "support/uitest.h"
#include "ui/widgets/messages.h"
#include "ui/billing/purchasedialog.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QTreeWidget>

namespace {

const QDateTime kNow(QDate(2002, 3, 14), QTime(20, 0));

struct Fixture : TestDesk
{
    Fixture()
    {
        store.addMachine(1);
        store.addMachine(2);
        store.startSession(2, kNow.addSecs(-600));
        store.addArticle(QStringLiteral("00000001"), QStringLiteral("可乐"), 2.5, 20);
        store.addArticle(QStringLiteral("00000002"), QStringLiteral("面包"), 4, 10);
        open();
        desk.select(2);
    }
};

QStringList texts(const QTreeWidgetItem *item)
{
    QStringList result;
    for (int c = 0; c < item->columnCount(); ++c)
        result << item->text(c);
    return result;
}

} // namespace

class PurchaseDialogTest final : public UiTest
{
    Q_OBJECT

public:
    PurchaseDialogTest() : UiTest(kNow) {}

private slots:
    void buildsTheShoppingList()
    {
        Fixture f;
        PurchaseDialog dialog(f.desk);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("选择商品"));
        auto *goods = dialog.findChild<QTreeWidget *>(QStringLiteral("goodsList"));
        auto *list = dialog.findChild<QTreeWidget *>(QStringLiteral("shoppingList"));
        QVERIFY(goods && list);
        QCOMPARE(goods->topLevelItemCount(), 2);
        QCOMPARE(texts(goods->topLevelItem(1)),
                 (QStringList{QStringLiteral("00000002"), QStringLiteral("面包"), QStringLiteral("4.00元")}));

        QTreeWidgetItem *cola = goods->topLevelItem(0);
        QTest::mouseClick(goods->viewport(), Qt::LeftButton, {}, goods->visualItemRect(cola).center());
        QTest::mouseDClick(goods->viewport(), Qt::LeftButton, {}, goods->visualItemRect(cola).center());
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("1"));
        click(dialog, "addButton");
        click(dialog, "addButton");
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(texts(list->topLevelItem(0)),
                 (QStringList{QStringLiteral("00000001"), QStringLiteral("可乐"), QStringLiteral("2.50元"),
                              QStringLiteral("3"), QStringLiteral("7.5")}));
        QCOMPARE(texts(list->topLevelItem(1)), (QStringList{QString(), QString(), QStringLiteral("累计金额"),
                                                            QString(), QStringLiteral("7.5")}));

        list->setCurrentItem(list->topLevelItem(0));
        click(dialog, "removeButton");
        QCOMPARE(list->topLevelItemCount(), 0);

        click(dialog, "confirmButton");
        QCOMPARE(Messages::takeShownTexts(), QStringList{QStringLiteral("请先选中商品！")});
        QVERIFY(dialog.isVisible());
    }

    void cancelRecordsNothing()
    {
        Fixture f;
        PurchaseDialog dialog(f.desk);
        dialog.show();
        click(dialog, "addButton"); // the first article is current
        Messages::setNextAnswers({QMessageBox::Cancel});
        click(dialog, "confirmButton");
        QCOMPARE(Messages::takeShownTexts(),
                 QStringList{
                     QStringLiteral("你确实要选购选中的商品吗？总价格为：2.5\r\n如果一经确认则不能退货！")});
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(OrderTable(f.db()).linesOf(2).isEmpty());
        QCOMPARE(ArticleTable(f.db()).byNumber(QStringLiteral("00000001"))->stock, 20.0);
    }

    void confirmBooksToTheSelectedMachine()
    {
        Fixture f;
        PurchaseDialog dialog(f.desk);
        dialog.show();
        auto *goods = dialog.findChild<QTreeWidget *>(QStringLiteral("goodsList"));
        click(dialog, "addButton");
        click(dialog, "addButton");
        goods->setCurrentItem(goods->topLevelItem(1));
        click(dialog, "addButton");
        Messages::setNextAnswers({QMessageBox::Ok});
        click(dialog, "confirmButton");

        const QStringList shown = Messages::takeShownTexts();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.at(1), QStringLiteral("已经记帐完毕，请点收商品！"));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(OrderTable(f.db()).goodsTotal(2), 9.0);
        QCOMPARE(f.desk.machineList().at(2)->columns.at(6), QStringLiteral("9.00元"));
    }

    void goodsGoToTheEntryPositionNotTheRowNumber()
    {
        Fixture f;
        Machine second = f.machine(2);
        second.number = 9;
        f.save(second);
        PurchaseDialog dialog(f.desk);
        dialog.show();
        click(dialog, "addButton");
        Messages::setNextAnswers({QMessageBox::Ok});
        click(dialog, "confirmButton");
        QCOMPARE(OrderTable(f.db()).linesOf(2).size(), 1);
        QVERIFY(OrderTable(f.db()).linesOf(9).isEmpty());
    }

    void barStaysBetweenOneAndThreeFifths()
    {
        Fixture f;
        PurchaseDialog dialog(f.desk);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto *splitter = dialog.findChild<QSplitter *>(QStringLiteral("splitter"));
        QVERIFY(splitter);
        QSplitterHandle *handle = splitter->handle(1);
        const auto barTop = [&] { return handle->mapTo(&dialog, QPoint(0, 0)).y(); };
        const auto send = [&](QEvent::Type type, int y, Qt::MouseButtons buttons) {
            const QPoint global = dialog.mapToGlobal(QPoint(dialog.width() / 2, y));
            QMouseEvent e(type, handle->mapFromGlobal(global), global, Qt::LeftButton, buttons,
                          Qt::NoModifier);
            QApplication::sendEvent(handle, &e);
        };
        const int h = dialog.height();
        QVERIFY(barTop() >= h / 5 && barTop() <= h * 3 / 5);

        send(QEvent::MouseButtonPress, barTop() + handle->height() / 2, Qt::LeftButton);
        send(QEvent::MouseMove, 5, Qt::LeftButton);
        QCOMPARE(barTop(), h / 5);
        send(QEvent::MouseMove, h - 5, Qt::LeftButton);
        QCOMPARE(barTop(), h * 3 / 5);
        send(QEvent::MouseMove, h / 2, Qt::LeftButton);
        QVERIFY(qAbs(barTop() - (h / 2 - handle->height() / 2)) <= 1);
        send(QEvent::MouseButtonRelease, h / 2, Qt::NoButton);

        dialog.resize(dialog.width(), h * 2);
        QVERIFY(barTop() >= dialog.height() / 5 && barTop() <= dialog.height() * 3 / 5);
    }
};

QTEST_MAIN(PurchaseDialogTest)
#include "purchasedialog_test.moc"
