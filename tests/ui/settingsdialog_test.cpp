#include "store/settingstable.h"
#include "support/testcommands.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/widgets/messages.h"
#include "ui/manage/settingsdialog.h"
#include "web/websettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimeEdit>
#include <sqlcipher/sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

void choose(QWidget &dialog, const char *name, const QString &item)
{
    QComboBox *box = child<QComboBox>(dialog, name);
    const int index = box->findText(item);
    QVERIFY2(index >= 0, qPrintable(item));
    box->setCurrentIndex(index);
}

// The settings row exactly as stored, every field as text (NULL as "<null>").
QStringList rawRow(Database &db)
{
    QStringList fields;
    Statement s = db.prepare(QStringLiteral(
        R"(SELECT quote("通宵金额"), quote("最低消费额"), quote("取整金额"), quote("通宵开始时间"),
                  quote("通宵结束时间"), quote("每月开始时间"), quote("每月结束时间") FROM xtsz ORDER BY rowid)"));
    while (s.next())
        for (int i = 0; i < 7; ++i)
            fields << s.text(i);
    return fields;
}

} // namespace

class SettingsDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Messages::setScripted(true); }
    void init() { Messages::takeShownTexts(); }

    void okWithoutChangeSavesNothing();
    void fieldsShowTheRow();
    void monthChoices_data();
    void monthChoices();
    void applyThenCancel();
    void emptyTableFirstApplyCreatesRow();
    void numberFieldsTakeDigitsOnly();
    void failedSaveIsReported();
    void webGroupIsKeptBesideTheProgram();
};

void SettingsDialogTest::okWithoutChangeSavesNothing()
{
    TestStore t;
    // Values the dialog would write back differently: NULLs, a long fraction, a time without seconds.
    QVERIFY(t.db().exec(QStringLiteral(
        R"(UPDATE xtsz SET "最低消费额" = NULL, "取整金额" = NULL, "每月开始时间" = 0.12345678901234,
           "通宵开始时间" = '22:00')")));
    const QStringList before = rawRow(t.db());
    const int changes = sqlite3_total_changes(t.db().handle());

    TestCommands commands(t.db());
    SettingsDialog dialog(SettingsService(
        t.db(), commands.runner, ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))));
    dialog.show();
    QVERIFY(!child<QPushButton>(dialog, "cmdApply")->isEnabled());
    click(dialog, "cmdOK");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(rawRow(t.db()), before);
    QCOMPARE(sqlite3_total_changes(t.db().handle()), changes);
}

void SettingsDialogTest::fieldsShowTheRow()
{
    TestStore t;
    Settings s = *SettingsTable(t.db()).read();
    s.overnightPrice = 15;
    s.minimumCharge = 2.5;
    s.roundingUnit = 0.5;
    s.overnightStart = QTime(21, 30);
    s.overnightEnd = QTime(7, 0);
    s.monthStart = -26;
    s.monthEnd = 25;
    QVERIFY(SettingsTable(t.db()).save(s));

    TestCommands commands(t.db());
    SettingsDialog dialog(SettingsService(
        t.db(), commands.runner, ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))));
    QCOMPARE(dialog.objectName(), u"frmOption"_s);
    QCOMPARE(dialog.windowTitle(), u"选项"_s);
    QCOMPARE(child<QLineEdit>(dialog, "txtOvernightPrice")->text(), u"15"_s);
    QCOMPARE(child<QLineEdit>(dialog, "txtMinimumCharge")->text(), u"2.5"_s);
    QCOMPARE(child<QLineEdit>(dialog, "txtRoundingUnit")->text(), u"0.5"_s);
    QCOMPARE(child<QLineEdit>(dialog, "txtStartDay")->text(), u"26"_s);
    QCOMPARE(child<QLineEdit>(dialog, "txtEndDay")->text(), u"25"_s);
    QCOMPARE(child<QComboBox>(dialog, "cboStartMonth")->currentText(), u"上月"_s);
    QCOMPARE(child<QComboBox>(dialog, "cboEndMonth")->currentText(), u"本月"_s);
    QCOMPARE(child<QTimeEdit>(dialog, "dtpStart")->time(), QTime(21, 30));
    QCOMPARE(child<QTimeEdit>(dialog, "dtpEnd")->time(), QTime(7, 0));
}

void SettingsDialogTest::monthChoices_data()
{
    QTest::addColumn<QString>("startMonth");
    QTest::addColumn<QString>("startDay");
    QTest::addColumn<QString>("endMonth");
    QTest::addColumn<QString>("endDay");
    QTest::addColumn<double>("monthStart");
    QTest::addColumn<double>("monthEnd");

    QTest::newRow("26th of last month to 25th")
        << u"上月"_s << u"26"_s << u"本月"_s << u"25"_s << -26.0 << 25.0;
    QTest::newRow("1st to the 5th of next month")
        << u"本月"_s << u"1"_s << u"下月"_s << u"5"_s << 1.0 << -5.0;
    QTest::newRow("this month's 5th") << u"本月"_s << u"1"_s << u"本月"_s << u"5"_s << 1.0 << 5.0;
    QTest::newRow("second point ignored") << u"本月"_s << u"1.5.9"_s << u"本月"_s << u"40"_s << 1.5 << 40.0;
}

void SettingsDialogTest::monthChoices()
{
    QFETCH(QString, startMonth);
    QFETCH(QString, startDay);
    QFETCH(QString, endMonth);
    QFETCH(QString, endDay);
    QFETCH(double, monthStart);
    QFETCH(double, monthEnd);
    TestStore t;
    {
        TestCommands commands(t.db());
        SettingsDialog dialog(SettingsService(
            t.db(), commands.runner, ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))));
        dialog.show();
        choose(dialog, "cboStartMonth", startMonth);
        retype(dialog, "txtStartDay", startDay);
        choose(dialog, "cboEndMonth", endMonth);
        retype(dialog, "txtEndDay", endDay);
        click(dialog, "cmdOK");
    }
    const Settings s = *SettingsTable(t.db()).read();
    QCOMPARE(s.monthStart, monthStart);
    QCOMPARE(s.monthEnd, monthEnd);
    // The other fields are written back as they were.
    QCOMPARE(s.overnightPrice, 10.0);
    QCOMPARE(s.minimumCharge, std::optional<double>(1));
    QCOMPARE(s.overnightStart, QTime(22, 0));

    TestCommands commandsAgain(t.db());
    SettingsDialog again(SettingsService(
        t.db(), commandsAgain.runner, ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))));
    QCOMPARE(child<QComboBox>(again, "cboStartMonth")->currentText(), startMonth);
    QCOMPARE(child<QComboBox>(again, "cboEndMonth")->currentText(), endMonth);
    QCOMPARE(child<QLineEdit>(again, "txtStartDay")->text(), QString::number(std::abs(monthStart)));
    QCOMPARE(child<QLineEdit>(again, "txtEndDay")->text(), QString::number(std::abs(monthEnd)));
}

// Apply saves and stays; the overnight window is stored as times of day; cancel keeps what
// was applied.
void SettingsDialogTest::applyThenCancel()
{
    TestStore t;
    TestCommands commands(t.db());
    SettingsDialog dialog(SettingsService(
        t.db(), commands.runner, ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))));
    dialog.show();
    QPushButton *apply = child<QPushButton>(dialog, "cmdApply");
    QVERIFY(!apply->isEnabled());
    choose(dialog, "cboEndMonth", u"下月"_s);
    QVERIFY(apply->isEnabled());
    click(dialog, "cmdApply");
    QVERIFY(!apply->isEnabled());
    QVERIFY(dialog.isVisible());
    QCOMPARE(SettingsTable(t.db()).read()->monthEnd, -31.0);
    child<QTimeEdit>(dialog, "dtpStart")->setTime(QTime(20, 15));
    child<QTimeEdit>(dialog, "dtpEnd")->setTime(QTime(9, 0));
    QVERIFY(apply->isEnabled());
    retype(dialog, "txtRoundingUnit", u"0.5"_s);
    click(dialog, "cmdApply");
    QCOMPARE(SettingsTable(t.db()).read()->roundingUnit, 0.5);
    Statement times = t.db().prepare(QStringLiteral(R"(SELECT "通宵开始时间", "通宵结束时间" FROM xtsz)"));
    QVERIFY(times.next());
    QCOMPARE(times.text(0), u"20:15:00"_s);
    QCOMPARE(times.text(1), u"09:00:00"_s);

    retype(dialog, "txtOvernightPrice", u"99"_s);
    click(dialog, "cmdCancel");
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    const Settings kept = *SettingsTable(t.db()).read();
    QCOMPARE(kept.overnightPrice, 10.0);
    QCOMPARE(kept.roundingUnit, 0.5);
}

void SettingsDialogTest::emptyTableFirstApplyCreatesRow()
{
    TestStore t;
    QVERIFY(t.db().exec(u"DELETE FROM xtsz"_s));
    TestCommands commands(t.db());
    SettingsDialog dialog(SettingsService(
        t.db(), commands.runner, ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))));
    dialog.show();
    for (const char *name :
         {"txtOvernightPrice", "txtMinimumCharge", "txtRoundingUnit", "txtStartDay", "txtEndDay"})
        QVERIFY2(child<QLineEdit>(dialog, name)->text().isEmpty(), name);
    retype(dialog, "txtEndDay", u"25"_s);
    click(dialog, "cmdApply");
    QCOMPARE(rawRow(t.db()).size(), 7);
    const Settings s = *SettingsTable(t.db()).read();
    QCOMPARE(s.monthEnd, 25.0);
    // Empty fields are stored as 0, and an untouched start month is not taken for "上月".
    QCOMPARE(s.overnightPrice, 0.0);
    QCOMPARE(s.minimumCharge, std::optional<double>(0));
    QCOMPARE(s.monthStart, 0.0);

    retype(dialog, "txtStartDay", u"1"_s);
    click(dialog, "cmdApply");
    QCOMPARE(rawRow(t.db()).size(), 7); // still one row
    QCOMPARE(SettingsTable(t.db()).read()->monthStart, 1.0);
}

void SettingsDialogTest::numberFieldsTakeDigitsOnly()
{
    TestStore t;
    TestCommands commands(t.db());
    SettingsDialog dialog(SettingsService(
        t.db(), commands.runner, ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))));
    dialog.show();
    for (const char *name :
         {"txtOvernightPrice", "txtMinimumCharge", "txtRoundingUnit", "txtStartDay", "txtEndDay"}) {
        retype(dialog, name, u"1a2.b5x-"_s);
        // A Chinese character typed through the input method is discarded too.
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, u"元"_s);
        QApplication::sendEvent(child<QLineEdit>(dialog, name), &key);
        QCOMPARE(child<QLineEdit>(dialog, name)->text(), u"12.5"_s);
        QKeyEvent digit(QEvent::KeyPress, 0, Qt::NoModifier, u"7"_s);
        QApplication::sendEvent(child<QLineEdit>(dialog, name), &digit);
        QCOMPARE(child<QLineEdit>(dialog, name)->text(), u"12.57"_s);
        QTest::keyClick(child<QLineEdit>(dialog, name), Qt::Key_Backspace);
    }
    retype(dialog, "txtMinimumCharge", u"1.2.3"_s);
    click(dialog, "cmdOK");
    const Settings s = *SettingsTable(t.db()).read();
    QCOMPARE(s.overnightPrice, 12.5);
    QCOMPARE(s.minimumCharge, std::optional<double>(1.2));
    QCOMPARE(s.monthStart, 12.5);
}

void SettingsDialogTest::failedSaveIsReported()
{
    TestStore t;
    const QStringList before = rawRow(t.db());
    TestCommands commands(t.db());
    SettingsDialog dialog(SettingsService(
        t.db(), commands.runner, ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))));
    dialog.show();
    retype(dialog, "txtOvernightPrice", u"15"_s);
    t.db().failWritesAfter(0);
    click(dialog, "cmdOK");
    t.db().failWritesAfter(-1);
    QVERIFY(dialog.isVisible()); // not closed as if saved
    QCOMPARE(Messages::takeShownTexts().size(), 1);
    QCOMPARE(rawRow(t.db()), before);
    QVERIFY(child<QPushButton>(dialog, "cmdApply")->isEnabled());

    click(dialog, "cmdOK");
    QVERIFY(!dialog.isVisible());
    QCOMPARE(SettingsTable(t.db()).read()->overnightPrice, 15.0);
}

void SettingsDialogTest::webGroupIsKeptBesideTheProgram()
{
    TestStore t;
    const QStringList before = rawRow(t.db());
    const int changes = sqlite3_total_changes(t.db().handle());
    QSignalSpy saved(&WebSettingsHub::instance(), &WebSettingsHub::saved);
    {
        TestCommands commands(t.db());
        SettingsDialog dialog(
            SettingsService(t.db(), commands.runner,
                            ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))),
            nullptr, t.dir());
        dialog.show();
        // Off on 14915 until switched on.
        QVERIFY(!child<QCheckBox>(dialog, "chkWeb")->isChecked());
        QCOMPARE(child<QSpinBox>(dialog, "txtWebPort")->value(), 14915);
        child<QCheckBox>(dialog, "chkWeb")->setChecked(true);
        child<QSpinBox>(dialog, "txtWebPort")->setValue(15080);
        QVERIFY(child<QPushButton>(dialog, "cmdApply")->isEnabled());
        click(dialog, "cmdOK");
        QVERIFY(!dialog.isVisible());
    }
    QCOMPARE(WebSettings::load(t.dir()), (WebSettings{true, 15080}));
    QCOMPARE(saved.size(), 1);
    QCOMPARE(saved.first().first().toString(), t.dir());
    // The café's settings row is not written for a change of the web group alone.
    QCOMPARE(rawRow(t.db()), before);
    QCOMPARE(sqlite3_total_changes(t.db().handle()), changes);

    TestCommands commandsAgain(t.db());
    SettingsDialog again(SettingsService(t.db(), commandsAgain.runner,
                                         ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))),
                         nullptr, t.dir());
    again.show();
    QVERIFY(child<QCheckBox>(again, "chkWeb")->isChecked());
    QCOMPARE(child<QSpinBox>(again, "txtWebPort")->value(), 15080);
    child<QCheckBox>(again, "chkWeb")->setChecked(false);
    click(again, "cmdApply");
    QCOMPARE(WebSettings::load(t.dir()), (WebSettings{false, 15080}));
    QCOMPARE(saved.size(), 2);
}

QTEST_MAIN(SettingsDialogTest)
#include "settingsdialog_test.moc"
