#include "accounts/guessthrottle.h"
#include "audit/trail.h"
#include "store/accounttables.h"
#include "store/goodstables.h"
#include "support/testcommands.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/manage/carddialog.h"
#include "ui/manage/goodsdialog.h"
#include "ui/manage/machinesdialog.h"
#include "ui/widgets/messages.h"
#include "ui/manage/operatordialog.h"
#include "ui/manage/selldialog.h"
#include "ui/manage/settingsdialog.h"

#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

// A store with its trail attached and 小王 at the desk.
struct Fixture
{
    Fixture()
    {
        if (!audit::attach(store.db(), QDir(store.dir()).filePath(u"audit.db"_s)))
            qFatal("no trail");
        commands.trail.setOn(true);
        commands.trail.setOperator(u"小王"_s);
    }
    // "kind@machine: details" of every entry, oldest first; all by 小王.
    QStringList entries()
    {
        QStringList all;
        for (const audit::Entry &e : audit::entries(store.db(), {}, {}, {}, 0, {})) {
            if (e.operatorName != u"小王")
                qFatal("entry by %s", qPrintable(e.operatorName));
            all << u"%1@%2: %3"_s.arg(e.kind).arg(e.machine).arg(e.details);
        }
        return all;
    }

    TestStore store;
    TestCommands commands{store.db()};
};

void pick(QWidget &w, const char *list, int row)
{
    auto *tree = child<QTreeWidget>(w, list);
    tree->setCurrentItem(tree->topLevelItem(row));
}

} // namespace

// Edits in the management dialogs go into the trail with their figures before and after, in
// the same transaction as the edit.
class TrailEntriesTest final : public UiTest
{
    Q_OBJECT

public:
    TrailEntriesTest() : UiTest(QDateTime(QDate(2026, 3, 7), QTime(9, 5))) {}

private slots:
    void goodsAndCounterSale()
    {
        Fixture f;
        GoodsDialog goods(GoodsService(f.store.db(), f.commands.runner,
                                       ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))));
        goods.show();
        click(goods, "cmdAdd");
        retype(goods, "txtName", u"可乐"_s);
        retype(goods, "txtCost", u"1.5"_s);
        retype(goods, "txtPrice", u"3"_s);
        retype(goods, "txtStock", u"20"_s);
        click(goods, "cmdSave");
        pick(goods, "lstGoods", 0);
        click(goods, "cmdModify");
        retype(goods, "txtPrice", u"3.5"_s);
        click(goods, "cmdSave");
        // A modification the store refuses is not recorded.
        pick(goods, "lstGoods", 0);
        click(goods, "cmdModify");
        retype(goods, "txtPrice", u"9"_s);
        f.store.db().failWritesAfter(0);
        click(goods, "cmdSave");
        f.store.db().failWritesAfter(-1);
        QCOMPARE(Messages::takeShownTexts().size(), 1);

        SellDialog sell(GoodsService(f.store.db(), f.commands.runner,
                                     ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))),
                        *ArticleTable(f.store.db()).byNumber(u"00000001"_s));
        sell.show();
        QTest::keyClicks(child<QLineEdit>(sell, "txtQuantity"), u"2"_s);
        click(sell, "cmdOK");

        QCOMPARE(f.entries(), (QStringList{
                                  u"添加商品@0: 编号 00000001 名称 可乐 进价 1.5 售价 3 库存 20"_s,
                                  u"修改商品@0: 00000001 可乐：售价 3→3.5"_s,
                                  u"零售@0: 00000001 可乐×2 共7"_s,
                              }));
    }

    void machinesCardsOperatorsAndSettings()
    {
        Fixture f;
        f.store.addMachine(1, 3);
        f.store.addMachine(2, 4);
        CardTable(f.store.db()).add({0, u"000123"_s, 100, 50, u"pw"_s, {}, 35, 4, 30});
        f.store.addOperator(u"boss"_s, u"b"_s, u"D"_s);

        MachinesDialog machines(
            MachineService(f.store.db(), f.commands.runner,
                           ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))));
        machines.show();
        pick(machines, "lstMachines", 0);
        click(machines, "cmdModify");
        retype(machines, "txtRate", u"5"_s);
        click(machines, "cmdSave");
        Messages::setNextInputs({u"6"_s});
        Messages::setNextAnswers({QMessageBox::Yes});
        click(machines, "cmdRate");

        GuessThrottle cardThrottle;
        CardDialog cards(AccountService(f.store.db(), f.commands.runner, cardThrottle,
                                        ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))));
        cards.show();
        pick(cards, "lvwCard", 0);
        click(cards, "cmdModify");
        retype(cards, "txtField1", u"150"_s);
        click(cards, "cmdSave");

        GuessThrottle throttle;
        OperatorDialog operators(
            AccountService(f.store.db(), f.commands.runner, throttle,
                           ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))),
            u"boss"_s);
        operators.show();
        click(operators, "cmdAdd");
        retype(operators, "txtUserName", u"anna"_s);
        retype(operators, "txtNewPassword", u"secret"_s);
        retype(operators, "txtConfirmPassword", u"secret"_s);
        click(operators, "cmdSave");

        SettingsDialog settings(
            SettingsService(f.store.db(), f.commands.runner,
                            ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))));
        settings.show();
        retype(settings, "txtOvernightPrice", u"12"_s);
        click(settings, "cmdApply");

        const QStringList all = f.entries();
        QCOMPARE(all.mid(0, 4), (QStringList{
                                     u"修改计算机@1: 1 1号机：费率 3→5"_s,
                                     u"统一费率@0: 2台计算机的费率 5,4→6"_s,
                                     u"修改储金卡@0: 000123：总金额 100→150 金额 30→80"_s,
                                     u"添加管理员@0: 用户名称 anna 权限 A"_s,
                                 }));
        QCOMPARE(all.size(), 5);
        QVERIFY2(all.at(4).startsWith(u"系统设置@0: 通宵金额 "_s) && all.at(4).endsWith(u"→12"_s),
                 qPrintable(all.at(4)));
        QVERIFY(!all.join(u'\n').contains(u"secret"_s));
    }
};

QTEST_MAIN(TrailEntriesTest)
#include "trailentries_test.moc"
