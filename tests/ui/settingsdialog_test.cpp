#include "store/settingstable.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/messages.h"
#include "ui/settingsdialog.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>
#include <sqlcipher/sqlite3.h>

namespace {

void retype(QWidget &dialog, const char *name, const QString &text)
{
    QLineEdit *edit = child<QLineEdit>(dialog, name);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

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
    void applyState();
    void cancelKeepsAppliedChanges();
    void emptyTableFirstApplyCreatesRow();
    void numberFieldsTakeDigitsOnly();
    void overnightWindowStoredAsTimes();
    void failedSaveIsReported();
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

    SettingsDialog dialog(t.db());
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

    SettingsDialog dialog(t.db());
    QCOMPARE(dialog.objectName(), QStringLiteral("frmOption"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("选项"));
    QCOMPARE(child<QLineEdit>(dialog, "txtOvernightPrice")->text(), QStringLiteral("15"));
    QCOMPARE(child<QLineEdit>(dialog, "txtMinimumCharge")->text(), QStringLiteral("2.5"));
    QCOMPARE(child<QLineEdit>(dialog, "txtRoundingUnit")->text(), QStringLiteral("0.5"));
    QCOMPARE(child<QLineEdit>(dialog, "txtStartDay")->text(), QStringLiteral("26"));
    QCOMPARE(child<QLineEdit>(dialog, "txtEndDay")->text(), QStringLiteral("25"));
    QCOMPARE(child<QComboBox>(dialog, "cboStartMonth")->currentText(), QStringLiteral("上月"));
    QCOMPARE(child<QComboBox>(dialog, "cboEndMonth")->currentText(), QStringLiteral("本月"));
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
        << QStringLiteral("上月") << QStringLiteral("26") << QStringLiteral("本月") << QStringLiteral("25") << -26.0
        << 25.0;
    QTest::newRow("1st to the 5th of next month")
        << QStringLiteral("本月") << QStringLiteral("1") << QStringLiteral("下月") << QStringLiteral("5") << 1.0
        << -5.0;
    QTest::newRow("this month's 5th") << QStringLiteral("本月") << QStringLiteral("1") << QStringLiteral("本月")
                                      << QStringLiteral("5") << 1.0 << 5.0;
    QTest::newRow("second point ignored") << QStringLiteral("本月") << QStringLiteral("1.5.9")
                                          << QStringLiteral("本月") << QStringLiteral("40") << 1.5 << 40.0;
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
        SettingsDialog dialog(t.db());
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

    SettingsDialog again(t.db());
    QCOMPARE(child<QComboBox>(again, "cboStartMonth")->currentText(), startMonth);
    QCOMPARE(child<QComboBox>(again, "cboEndMonth")->currentText(), endMonth);
    QCOMPARE(child<QLineEdit>(again, "txtStartDay")->text(), QString::number(std::abs(monthStart)));
    QCOMPARE(child<QLineEdit>(again, "txtEndDay")->text(), QString::number(std::abs(monthEnd)));
}

void SettingsDialogTest::applyState()
{
    TestStore t;
    SettingsDialog dialog(t.db());
    dialog.show();
    QPushButton *apply = child<QPushButton>(dialog, "cmdApply");
    QVERIFY(!apply->isEnabled());
    choose(dialog, "cboEndMonth", QStringLiteral("下月"));
    QVERIFY(apply->isEnabled());
    click(dialog, "cmdApply");
    QVERIFY(!apply->isEnabled());
    QVERIFY(dialog.isVisible());
    QCOMPARE(SettingsTable(t.db()).read()->monthEnd, -31.0);
    child<QTimeEdit>(dialog, "dtpEnd")->setTime(QTime(9, 0));
    QVERIFY(apply->isEnabled());
    retype(dialog, "txtRoundingUnit", QStringLiteral("0.5"));
    click(dialog, "cmdApply");
    QCOMPARE(SettingsTable(t.db()).read()->roundingUnit, 0.5);
    QCOMPARE(SettingsTable(t.db()).read()->overnightEnd, QTime(9, 0));
}

void SettingsDialogTest::cancelKeepsAppliedChanges()
{
    TestStore t;
    SettingsDialog dialog(t.db());
    dialog.show();
    retype(dialog, "txtOvernightPrice", QStringLiteral("15"));
    click(dialog, "cmdApply");
    retype(dialog, "txtOvernightPrice", QStringLiteral("99"));
    click(dialog, "cmdCancel");
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(SettingsTable(t.db()).read()->overnightPrice, 15.0);
}

void SettingsDialogTest::emptyTableFirstApplyCreatesRow()
{
    TestStore t;
    QVERIFY(t.db().exec(QStringLiteral("DELETE FROM xtsz")));
    SettingsDialog dialog(t.db());
    dialog.show();
    for (const char *name : {"txtOvernightPrice", "txtMinimumCharge", "txtRoundingUnit", "txtStartDay", "txtEndDay"})
        QVERIFY2(child<QLineEdit>(dialog, name)->text().isEmpty(), name);
    retype(dialog, "txtEndDay", QStringLiteral("25"));
    click(dialog, "cmdApply");
    QCOMPARE(rawRow(t.db()).size(), 7);
    const Settings s = *SettingsTable(t.db()).read();
    QCOMPARE(s.monthEnd, 25.0);
    // Empty fields are stored as 0, and an untouched start month is not taken for "上月".
    QCOMPARE(s.overnightPrice, 0.0);
    QCOMPARE(s.minimumCharge, std::optional<double>(0));
    QCOMPARE(s.monthStart, 0.0);

    retype(dialog, "txtStartDay", QStringLiteral("1"));
    click(dialog, "cmdApply");
    QCOMPARE(rawRow(t.db()).size(), 7); // still one row
    QCOMPARE(SettingsTable(t.db()).read()->monthStart, 1.0);
}

void SettingsDialogTest::numberFieldsTakeDigitsOnly()
{
    TestStore t;
    SettingsDialog dialog(t.db());
    dialog.show();
    for (const char *name : {"txtOvernightPrice", "txtMinimumCharge", "txtRoundingUnit", "txtStartDay", "txtEndDay"}) {
        retype(dialog, name, QStringLiteral("1a2.b5x-"));
        // A Chinese character typed through the input method is discarded too.
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("元"));
        QApplication::sendEvent(child<QLineEdit>(dialog, name), &key);
        QCOMPARE(child<QLineEdit>(dialog, name)->text(), QStringLiteral("12.5"));
        QKeyEvent digit(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("7"));
        QApplication::sendEvent(child<QLineEdit>(dialog, name), &digit);
        QCOMPARE(child<QLineEdit>(dialog, name)->text(), QStringLiteral("12.57"));
        QTest::keyClick(child<QLineEdit>(dialog, name), Qt::Key_Backspace);
    }
    retype(dialog, "txtMinimumCharge", QStringLiteral("1.2.3"));
    click(dialog, "cmdOK");
    const Settings s = *SettingsTable(t.db()).read();
    QCOMPARE(s.overnightPrice, 12.5);
    QCOMPARE(s.minimumCharge, std::optional<double>(1.2));
    QCOMPARE(s.monthStart, 12.5);
}

void SettingsDialogTest::overnightWindowStoredAsTimes()
{
    TestStore t;
    QVERIFY(t.db().exec(QStringLiteral(R"(UPDATE xtsz SET "通宵开始时间" = '20:15:00', "通宵结束时间" = '06:00:00')")));
    SettingsDialog dialog(t.db());
    dialog.show();
    child<QTimeEdit>(dialog, "dtpStart")->setTime(QTime(22, 0));
    child<QTimeEdit>(dialog, "dtpEnd")->setTime(QTime(8, 0));
    click(dialog, "cmdOK");
    Statement s = t.db().prepare(QStringLiteral(R"(SELECT "通宵开始时间", "通宵结束时间" FROM xtsz)"));
    QVERIFY(s.next());
    QCOMPARE(s.text(0), QStringLiteral("22:00:00"));
    QCOMPARE(s.text(1), QStringLiteral("08:00:00"));
}

void SettingsDialogTest::failedSaveIsReported()
{
    TestStore t;
    const QStringList before = rawRow(t.db());
    SettingsDialog dialog(t.db());
    dialog.show();
    retype(dialog, "txtOvernightPrice", QStringLiteral("15"));
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

QTEST_MAIN(SettingsDialogTest)
#include "settingsdialog_test.moc"
