#include "common/numbers.h"
#include "desk/shiftservice.h"
#include "store/shifttable.h"
#include "support/testcommands.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/reports/shiftwindows.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QDateTime kNow(QDate(2026, 12, 7), QTime(22, 0));
}

class ShiftWindowsTest final : public UiTest
{
    Q_OBJECT

public:
    ShiftWindowsTest() : UiTest(kNow) {}

private slots:
    // The cashier types what the drawer holds: the difference shows at once, red unless it is
    // none, and Enter hands over.
    void differenceShowsAndEnterHandsOver_data()
    {
        QTest::addColumn<QString>("counted");
        QTest::addColumn<QString>("difference");
        QTest::addColumn<bool>("red");
        QTest::newRow("short") << u"150"_s << u"-6元"_s << true;
        QTest::newRow("even") << u"156"_s << u"0元"_s << false;
        QTest::newRow("over") << u"156.5"_s << u"0.5元"_s << true;
    }
    void differenceShowsAndEnterHandsOver()
    {
        QFETCH(QString, counted);
        QFETCH(QString, difference);
        QFETCH(bool, red);
        TestStore store;
        TestCommands commands(store.db());
        ShiftTable(store.db()).begin({}, u"小王"_s, kNow.addSecs(-3600));
        QVERIFY(ShiftTable(store.db()).add({}, u"小王"_s, kNow, {40, 12, 100, 16}));
        ShiftService shifts(store.db(), commands.runner, {}, u"小王"_s);
        ShiftDialog dialog(shifts, *shifts.current());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(child<QLabel>(dialog, "lblExpected")->text(), u"156元"_s);
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(dialog, "txtCounted"));
        QTest::keyClicks(QApplication::focusWidget(), counted);
        QLabel *shown = child<QLabel>(dialog, "lblDifference");
        QCOMPARE(shown->text(), difference);
        QCOMPARE(shown->styleSheet().contains(u"red"_s), red);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.handedOver().counted, numberValue(counted));
        QVERIFY(!shifts.current());
    }
};

QTEST_MAIN(ShiftWindowsTest)
#include "shiftwindows_test.moc"
