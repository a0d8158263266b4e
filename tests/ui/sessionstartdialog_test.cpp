#include "common/clock.h"
#include "store/accounttables.h"
#include "store/machinetable.h"
#include "support/testdesk.h"
#include "support/uitest.h"
#include "ui/widgets/messages.h"
#include "ui/billing/sessionstartdialog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

const QDateTime kNow(QDate(2002, 3, 14), QTime(21, 30));

// Machine 1 at 2.5 yuan per hour stands by; machine 2 at 2 yuan per hour bills with 5 paid.
struct Fixture : TestDesk
{
    Fixture()
    {
        store.addMachine(1, 2.5, MachineStatus::Standby);
        store.addMachine(2, 2);
        Machine m = store.startSession(2, kNow.addSecs(-600));
        m.prepaid = 5;
        m.customer = QStringLiteral("甲");
        MachineTable(store.db()).save(m);
        store.addCustomer(QStringLiteral("00000001"), QStringLiteral("甲"), QStringLiteral("学生证"),
                          QStringLiteral("2002"));
        open();
    }
};

} // namespace

class SessionStartDialogTest final : public UiTest
{
    Q_OBJECT

public:
    SessionStartDialogTest() : UiTest(kNow) {}

private slots:
    void modesSetTitleAndCommands()
    {
        Fixture f;
        f.desk.select(1);
        SessionStartDialog start(f.desk, SessionStartDialog::Mode::Start);
        QCOMPARE(start.windowTitle(), QStringLiteral("1号机->开始记费？"));
        QVERIFY(child<QPushButton>(start, "cmdOpen")->isEnabled());
        QVERIFY(child<QPushButton>(start, "Command8")->isEnabled());
        QVERIFY(!child<QPushButton>(start, "Command12")->isEnabled());
        QCOMPARE(child<QLineEdit>(start, "设定时")->text(), QStringLiteral("0"));
        QCOMPARE(child<QLineEdit>(start, "设定分")->text(), QStringLiteral("0"));

        f.desk.select(2);
        SessionStartDialog limit(f.desk, SessionStartDialog::Mode::LimitTime);
        QCOMPARE(limit.windowTitle(), QStringLiteral("2号机->重新设定开机？"));
        QVERIFY(!child<QPushButton>(limit, "cmdOpen")->isEnabled());
        QVERIFY(!child<QPushButton>(limit, "Command8")->isEnabled());
        QVERIFY(child<QPushButton>(limit, "Command12")->isEnabled());
        // The prepaid 5 yuan at 2 yuan per hour show again as the time they buy.
        QCOMPARE(child<QLineEdit>(limit, "预交金额")->text(), QStringLiteral("5"));
        QCOMPARE(child<QLineEdit>(limit, "设定时")->text(), QStringLiteral("2"));
        QCOMPARE(child<QLineEdit>(limit, "设定分")->text(), QStringLiteral("30"));
        QCOMPARE(child<QComboBox>(limit, "txtSJName")->currentText(), QStringLiteral("甲"));
        QVERIFY(Messages::takeShownTexts().isEmpty());
    }

    void inputRules()
    {
        Fixture f;
        f.desk.select(1);
        SessionStartDialog dialog(f.desk, SessionStartDialog::Mode::Start);
        QLineEdit *hours = child<QLineEdit>(dialog, "设定时");
        QLineEdit *minutes = child<QLineEdit>(dialog, "设定分");
        QLineEdit *amount = child<QLineEdit>(dialog, "预交金额");

        minutes->clear();
        QTest::keyClicks(minutes, QStringLiteral("75"));
        QCOMPARE(Messages::takeShownTexts(), QStringList{QStringLiteral("分的设置最大为59")});
        QVERIFY(minutes->text().isEmpty());
        QTest::keyClicks(minutes, QStringLiteral("5x9"));
        QCOMPARE(minutes->text(), QStringLiteral("59"));
        QVERIFY(Messages::takeShownTexts().isEmpty());

        hours->clear();
        QTest::keyClicks(hours, QStringLiteral("1.a2"));
        QCOMPARE(hours->text(), QStringLiteral("12"));

        // 12.5 yuan at 2.5 yuan per hour buy 5 hours; a fifth character is refused.
        QCOMPARE(amount->text(), QStringLiteral("0"));
        amount->clear();
        QTest::keyClicks(amount, QStringLiteral("12.57"));
        QCOMPARE(amount->text(), QStringLiteral("12.5"));
        QCOMPARE(hours->text(), QStringLiteral("5"));
        QCOMPARE(minutes->text(), QStringLiteral("0"));
        QTest::keyClick(amount, Qt::Key_Backspace);
        QCOMPARE(amount->text(), QStringLiteral("12."));
        QCOMPARE(hours->text(), QStringLiteral("4"));
        QCOMPARE(minutes->text(), QStringLiteral("48"));
    }

    void amountIsTypedOverWhatItHolds()
    {
        Fixture f;
        f.desk.select(1);
        SessionStartDialog dialog(f.desk, SessionStartDialog::Mode::Start);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QLineEdit *amount = child<QLineEdit>(dialog, "预交金额");
        QCOMPARE(amount->text(), QStringLiteral("0"));
        amount->setFocus();
        QTest::keyClicks(amount, QStringLiteral("12.5"));
        QCOMPARE(amount->text(), QStringLiteral("12.5"));
        QCOMPARE(child<QLineEdit>(dialog, "设定时")->text(), QStringLiteral("5"));
    }

    void choosingACustomerFillsTheDocument()
    {
        Fixture f;
        f.desk.select(1);
        SessionStartDialog dialog(f.desk, SessionStartDialog::Mode::Start);
        QComboBox *name = child<QComboBox>(dialog, "txtSJName");
        QCOMPARE(name->count(), 1);
        name->setCurrentIndex(0);
        emit name->activated(0);
        QCOMPARE(child<QComboBox>(dialog, "comSjZhengJi")->currentText(), QStringLiteral("学生证"));
        QCOMPARE(child<QLineEdit>(dialog, "txtZhengJian")->text(), QStringLiteral("2002"));
    }

    void startAsksAboutANewCustomer()
    {
        Fixture f;
        f.desk.select(1);
        SessionStartDialog dialog(f.desk, SessionStartDialog::Mode::Start);
        dialog.show();
        child<QComboBox>(dialog, "txtSJName")->setEditText(QStringLiteral("乙"));
        child<QLineEdit>(dialog, "txtZhengJian")->setText(QStringLiteral("77"));
        QLineEdit *hours = child<QLineEdit>(dialog, "设定时");
        hours->clear();
        QTest::keyClicks(hours, QStringLiteral("2"));
        Messages::setNextAnswers({QMessageBox::Yes});
        QTest::mouseClick(child<QPushButton>(dialog, "cmdOpen"), Qt::LeftButton);

        QCOMPARE(Messages::takeShownTexts(),
                 QStringList{QStringLiteral("这个一个新用户，是否添加到用户表中？")});
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        const std::optional<Customer> c = CustomerTable(f.db()).byName(QStringLiteral("乙"));
        QVERIFY(c);
        QCOMPARE(c->number, QStringLiteral("00000002"));
        QCOMPARE(c->idNumber, QStringLiteral("77"));
        const Machine m = f.machine(1);
        QCOMPARE(m.status, MachineStatus::Billing);
        QCOMPARE(m.customer, QStringLiteral("乙"));
        QCOMPARE(m.due, kNow.addSecs(2 * 3600));
    }

    void emptyNameAsksNothing()
    {
        Fixture f;
        f.desk.select(1);
        SessionStartDialog dialog(f.desk, SessionStartDialog::Mode::Start);
        dialog.show();
        QTest::mouseClick(child<QPushButton>(dialog, "cmdOpen"), Qt::LeftButton);
        QVERIFY(Messages::takeShownTexts().isEmpty());
        QCOMPARE(f.machine(1).status, MachineStatus::Billing);
        QVERIFY(f.machine(1).customer.isEmpty());
        QVERIFY(!f.machine(1).due.isValid());
        QCOMPARE(CustomerTable(f.db()).all().size(), 1);
    }

    void overnightRefusedKeepsTheDialogOpen()
    {
        Fixture f;
        f.store.setOvernightWindow(QTime(22, 0), QTime(8, 0));
        f.desk.select(1);
        SessionStartDialog dialog(f.desk, SessionStartDialog::Mode::Start);
        dialog.show();
        child<QComboBox>(dialog, "txtSJName")->setEditText(QStringLiteral("丙"));
        QTest::mouseClick(child<QPushButton>(dialog, "Command8"), Qt::LeftButton);
        // Refused before any customer question.
        QCOMPARE(Messages::takeShownTexts(),
                 QStringList{QStringLiteral("还未到通宵时间！\r\n通宵时间：22:00:00 至 08:00:00")});
        QVERIFY(dialog.isVisible());
        QCOMPARE(f.machine(1).status, MachineStatus::Standby);

        Clock::fix(kNow.addSecs(3600));
        Messages::setNextAnswers({QMessageBox::No});
        QTest::mouseClick(child<QPushButton>(dialog, "Command8"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(f.machine(1).mode, QStringLiteral("P"));
        QCOMPARE(f.machine(1).due, QDateTime(QDate(2002, 3, 15), QTime(8, 0)));
        QVERIFY(!CustomerTable(f.db()).byName(QStringLiteral("丙")));
    }

    void setChangesTheRunningSession()
    {
        Fixture f;
        f.desk.select(2);
        SessionStartDialog dialog(f.desk, SessionStartDialog::Mode::LimitTime);
        dialog.show();
        QLineEdit *amount = child<QLineEdit>(dialog, "预交金额");
        amount->clear();
        QTest::keyClicks(amount, QStringLiteral("8"));
        QTest::mouseClick(child<QPushButton>(dialog, "Command12"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        const Machine m = f.machine(2);
        QCOMPARE(m.prepaid, 8.0);
        QCOMPARE(m.due, kNow.addSecs(-600 + 4 * 3600)); // from the session's start
        QVERIFY(Messages::takeShownTexts().isEmpty());
    }
};

QTEST_MAIN(SessionStartDialogTest)
#include "sessionstartdialog_test.moc"
