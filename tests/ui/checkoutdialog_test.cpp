#include "audit/trail.h"
#include "store/accounttables.h"
#include "store/journaltable.h"
#include "store/machinetable.h"
#include "support/testdesk.h"
#include "support/uitest.h"
#include "ui/billing/checkoutdialog.h"
#include "ui/widgets/messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTextEdit>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2024, 5, 1), QTime(12, 0));

// Machine 1 running 95 minutes at 3 yuan per hour (due 5), machine 2 running an hour at 4
// yuan per hour (due 4).
struct Fixture : TestDesk
{
    Fixture()
    {
        store.setTariff(1, 1);
        store.addMachine(1, 3, MachineStatus::Standby, QStringLiteral("10.0.0.1"));
        store.addMachine(2, 4, MachineStatus::Standby, QStringLiteral("10.0.0.2"));
        store.startSession(1, kNow.addSecs(-95 * 60));
        store.startSession(2, kNow.addSecs(-3600));
        open();
        desk.select(1);
    }
};

} // namespace

class CheckoutDialogTest : public UiTest
{
    Q_OBJECT

public:
    CheckoutDialogTest() : UiTest(kNow) {}

private slots:
    void opensCollapsedWithTheFigures()
    {
        Fixture f;
        CheckoutDialog dialog(f.desk);
        QVERIFY(dialog.isReady());
        QCOMPARE(dialog.objectName(), QStringLiteral("frmEndPlay"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("1号机->要结帐？"));
        QCOMPARE(child<QLineEdit>(dialog, "txtDue")->text(), QStringLiteral("5"));
        QCOMPARE(child<QLineEdit>(dialog, "txtReceived")->text(), QStringLiteral("5"));
        QCOMPARE(child<QLineEdit>(dialog, "txtPrepaid")->text(), QStringLiteral("0"));
        QCOMPARE(child<QComboBox>(dialog, "cboDiscount")->currentText(), QString());
        QCOMPARE(child<QListWidget>(dialog, "lstMachines")->count(), 1);
        QVERIFY(!child<QLineEdit>(dialog, "txtCard")->isEnabled());

        dialog.show();
        auto *details = child<QPushButton>(dialog, "cmdDetails");
        auto *bill = child<QTextEdit>(dialog, "rtbBill");
        QCOMPARE(details->text(), QStringLiteral("详细资料>>"));
        QVERIFY(!bill->isVisible());
        QCOMPARE(dialog.height(), 232);
        QTest::mouseClick(details, Qt::LeftButton);
        QCOMPARE(details->text(), QStringLiteral("<<详细资料"));
        QVERIFY(bill->isVisible());
        QCOMPARE(dialog.height(), 447);
        // A long bill can be read by pulling the dialog taller; collapsed it stays short.
        dialog.resize(dialog.width(), 700);
        QCOMPARE(dialog.height(), 700);
        QTest::mouseClick(details, Qt::LeftButton);
        QCOMPARE(dialog.height(), 232);
        QTest::mouseClick(details, Qt::LeftButton);
        QCOMPARE(dialog.height(), 447);
        QVERIFY(bill->isReadOnly());
        QVERIFY(bill->toPlainText().startsWith(QStringLiteral("1号机上机详细状况\n")));
    }

    void fieldsDriveTheFigures()
    {
        Fixture f;
        CheckoutDialog dialog(f.desk);
        dialog.show();
        auto *received = child<QLineEdit>(dialog, "txtReceived");
        auto *due = child<QLineEdit>(dialog, "txtDue");
        auto *discount = child<QComboBox>(dialog, "cboDiscount");
        auto *bill = child<QTextEdit>(dialog, "rtbBill");

        // Only digits and the point reach the amount received; the bill follows.
        received->clear();
        QTest::keyClicks(received, QStringLiteral("a4-.5x"));
        QCOMPARE(received->text(), QStringLiteral("4.5"));
        QVERIFY(bill->toPlainText().endsWith(QStringLiteral("实 收 金 额 ：￥4.50元")));

        // Settling together with machine 2: due 5 + 4.
        child<QListWidget>(dialog, "lstMachines")->item(0)->setSelected(true);
        QCOMPARE(due->text(), QStringLiteral("9"));
        QCOMPARE(received->text(), QStringLiteral("9"));
        QVERIFY(bill->toPlainText().contains(QStringLiteral("2号机上机详细状况")));

        discount->setCurrentIndex(discount->findText(QStringLiteral("90")));
        QCOMPARE(received->text(), QStringLiteral("8")); // 8.1 to the half yuan
        discount->lineEdit()->clear();
        QTest::keyClicks(discount->lineEdit(), QStringLiteral("x5y0"));
        QCOMPARE(discount->currentText(), QStringLiteral("50"));
        QCOMPARE(received->text(), QStringLiteral("4.5"));

        auto *card = child<QCheckBox>(dialog, "chkCard");
        card->setChecked(true);
        QVERIFY(child<QLineEdit>(dialog, "txtCard")->isEnabled());
        QVERIFY(child<QLineEdit>(dialog, "txtPassword")->isEnabled());
        QCOMPARE(child<QLineEdit>(dialog, "txtPassword")->echoMode(), QLineEdit::Password);
        card->setChecked(false);
        QVERIFY(!child<QLineEdit>(dialog, "txtCard")->isEnabled());

        // 结帐 is the button Enter presses.
        QVERIFY(child<QPushButton>(dialog, "cmdSettle")->isDefault());
        QCOMPARE(MachineTable(f.db()).byNumber(1)->status, MachineStatus::Billing);
    }

    void cashByKeysShowsTheChange_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("change"); // as shown while typing
        QTest::addColumn<double>("taken");   // written into the journal
        QTest::newRow("exact") << u"5"_s << QString() << 5.0;
        QTest::newRow("a fifty") << u"50"_s << u"找零：45元"_s << 5.0;
        QTest::newRow("coins") << u"7.5"_s << u"找零：2.5元"_s << 5.0;
        QTest::newRow("less than due") << u"4"_s << QString() << 4.0;
    }
    void cashByKeysShowsTheChange()
    {
        QFETCH(QString, typed);
        QFETCH(QString, change);
        QFETCH(double, taken);
        Fixture f;
        CheckoutDialog dialog(f.desk);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClicks(focus, typed);
        QCOMPARE(child<QLabel>(dialog, "lblChange")->text(), change);
        QTest::keyClick(focus, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.outcomeNotice(), change);
        const QList<JournalEntry> rows = JournalTable(f.db()).endedBetween(kNow, kNow);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.constFirst().received, taken);
    }

    void cardByKeysTellsWhatIsLeft()
    {
        Fixture f;
        Card c;
        c.number = u"123456789"_s;
        c.password = u"4321"_s;
        c.total = 100;
        c.totalHours = 50; // 2 yuan per hour: 5 yuan at 3 per hour costs 3.5 (3.33 to the half)
        c.balance = 20;
        CardTable(f.db()).add(c);
        CheckoutDialog dialog(f.desk);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        // F9 ticks the card and the number is typed next; Enter moves on, Enter settles.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F9);
        // A button's shortcut clicks it as the mouse would: after a moment.
        QTRY_VERIFY(child<QCheckBox>(dialog, "chkCard")->isChecked());
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(dialog, "txtCard"));
        QTest::keyClicks(QApplication::focusWidget(), u"123456789"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(dialog, "txtPassword"));
        QTest::keyClicks(QApplication::focusWidget(), u"4321"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const double left = CardTable(f.db()).byNumber(u"123456789"_s)->balance;
        QCOMPARE(left, 16.5);
        QCOMPARE(dialog.outcomeNotice(), u"卡内余额：16.5元"_s);
    }

    void opensReadyToTypeTheMoneyTaken()
    {
        Fixture f;
        CheckoutDialog dialog(f.desk);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto *received = child<QLineEdit>(dialog, "txtReceived");
        QCOMPARE(QApplication::focusWidget(), received);
        QCOMPARE(received->selectedText(), QStringLiteral("5"));
        QTest::keyClicks(received, QStringLiteral("4.5"));
        QCOMPARE(received->text(), QStringLiteral("4.5"));

        // Coming back to it by Tab or by a click selects it again.
        auto *discount = child<QComboBox>(dialog, "cboDiscount");
        discount->setFocus();
        QTest::mouseClick(received, Qt::LeftButton);
        QCOMPARE(received->selectedText(), QStringLiteral("4.5"));
    }

    void cardWithoutPriceIsRefused()
    {
        Fixture f;
        Card c;
        c.number = QStringLiteral("8001");
        c.password = QStringLiteral("pw");
        c.total = 100;
        c.balance = 50; // no hours: the charge cannot be formed
        CardTable(f.db()).add(c);
        CheckoutDialog dialog(f.desk);
        dialog.useCard(QStringLiteral("8001"), QStringLiteral("pw"));
        dialog.show();
        QTest::mouseClick(child<QPushButton>(dialog, "cmdSettle"), Qt::LeftButton);
        QCOMPARE(Messages::takeShownTexts(),
                 QStringList(QStringLiteral("该机器或储金卡没有记费标准，不能用储金卡结帐！")));
        QVERIFY(dialog.isVisible());
        QCOMPARE(MachineTable(f.db()).byNumber(1)->status, MachineStatus::Billing);
        QCOMPARE(CardTable(f.db()).byNumber(QStringLiteral("8001"))->balance, 50.0);
    }

    void settleWritesAndCloses()
    {
        Fixture f;
        CheckoutDialog dialog(f.desk);
        dialog.show();
        child<QListWidget>(dialog, "lstMachines")->item(0)->setSelected(true);
        QTest::mouseClick(child<QPushButton>(dialog, "cmdSettleShutdown"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(JournalTable(f.db()).endedBetween(kNow, kNow).size(), 2);
        QCOMPARE(f.link.sent, QStringList({QStringLiteral("10.0.0.1 stop"), QStringLiteral("10.0.0.2 stop"),
                                           QStringLiteral("10.0.0.2 shutdown (every)")}));
    }

    void refusedCardKeepsTheDialogOpen()
    {
        Fixture f;
        Card c;
        c.number = QStringLiteral("8001");
        c.password = QStringLiteral("pw");
        c.total = 100;
        c.totalHours = 50;
        c.balance = 1;
        CardTable(f.db()).add(c);
        CheckoutDialog dialog(f.desk);
        dialog.useCard(QStringLiteral("8001"), QStringLiteral("pw"));
        dialog.show();
        QVERIFY(child<QCheckBox>(dialog, "chkCard")->isChecked());
        QCOMPARE(child<QLineEdit>(dialog, "txtCard")->text(), QStringLiteral("8001"));
        QTest::mouseClick(child<QPushButton>(dialog, "cmdSettle"), Qt::LeftButton);
        QCOMPARE(Messages::takeShownTexts(),
                 QStringList(QStringLiteral("储金卡金额不足，请确认后再结帐！\r\n当前卡金额：1")));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(MachineTable(f.db()).byNumber(1)->status, MachineStatus::Billing);
        QVERIFY(f.link.sent.isEmpty());

        // A wrong password is told apart.
        auto *password = child<QLineEdit>(dialog, "txtPassword");
        password->clear();
        QTest::keyClicks(password, QStringLiteral("bad"));
        QTest::mouseClick(child<QPushButton>(dialog, "cmdSettle"), Qt::LeftButton);
        QCOMPARE(Messages::takeShownTexts(),
                 QStringList(QStringLiteral("储金卡卡号或密码错误,请确认后再次结帐！")));
        QVERIFY(dialog.isVisible());
    }

    void printsTheBill()
    {
        Fixture f;
        QVERIFY(f.desk.record(QStringLiteral("开始记费"), 1, QString()));
        CheckoutDialog dialog(f.desk);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("bill.pdf"));
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        dialog.printBill(printer);
        QVERIFY(QFileInfo(file).size() > 0);

        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (pdftotext.isEmpty())
            QSKIP("pdftotext is not installed");
        QProcess p;
        p.start(pdftotext, {file, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(30000));
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(text.contains(QStringLiteral("上机详细状况")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("￥5.00元")));
        // The trail's newest hash is on the paper.
        QVERIFY(text.contains(QStringLiteral("校验码：") + audit::anchor(f.db())));
    }

    void withoutSelectionThereIsNothingToCheckOut()
    {
        TestDesk empty;
        empty.open();
        CheckoutDialog dialog(empty.desk);
        QVERIFY(!dialog.isReady());
    }
};

QTEST_MAIN(CheckoutDialogTest)
#include "checkoutdialog_test.moc"
