#include "audit/trail.h"
#include "reports/reportjob.h"
#include "reports/support/sampletrade.h"
#include "store/settingstable.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/widgets/messages.h"
#include "ui/reports/printwindow.h"
#include "ui/reports/reportdialog.h"
#include "ui/reports/reportwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTextEdit>

namespace {

// Machines 1 to 3 and the sample day of trade.
struct Fixture
{
    Fixture()
    {
        for (int i = 1; i <= 3; ++i)
            store.addMachine(i);
        sample::addDay(store.db());
    }
    TestStore store;
    QWidget main; // stands for the main window, parent of the report windows
};

} // namespace

class ReportDialogTest : public UiTest
{
    Q_OBJECT

public:
    ReportDialogTest() : UiTest(sample::kNow) {}

private slots:
    void opensWithThePresetOfItsMenuEntry()
    {
        Fixture f;
        Settings s = *SettingsTable(f.store.db()).read();
        s.monthStart = -26;
        s.monthEnd = 25;
        SettingsTable(f.store.db()).save(s);
        ReportDialog dialog(
            ReportService(f.store.db(), ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))),
            ReportKind::GoodsSales, ReportPreset::Monthly, &f.main);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("生成报表"));
        QCOMPARE(child<QComboBox>(dialog, "cboType")->currentText(), QStringLiteral("商品销售统计表"));
        QCOMPARE(child<QDateEdit>(dialog, "dtpFrom")->date(), QDate(2024, 4, 26));
        QCOMPARE(child<QDateEdit>(dialog, "dtpTo")->date(), QDate(2024, 5, 25));
        auto *machines = child<QComboBox>(dialog, "cboMachine");
        QCOMPARE(machines->count(), 4);
        QCOMPARE(machines->currentText(), QStringLiteral("全部计算机"));
        QCOMPARE(machines->itemText(2), QStringLiteral("2号机"));
        // The pickers change the date; the preset's times stay.
        child<QDateEdit>(dialog, "dtpTo")->setDate(QDate(2024, 5, 1));
        machines->setCurrentIndex(3);
        const ReportRequest r = dialog.request();
        QCOMPARE(r.from, QDateTime(QDate(2024, 4, 26), QTime(0, 0)));
        QCOMPARE(r.to, QDateTime(QDate(2024, 5, 1), QTime(23, 59, 59)));
        QCOMPARE(r.machine, 3);
    }

    void refusesAPeriodEndingBeforeItStarts()
    {
        Fixture f;
        ReportDialog dialog(
            ReportService(f.store.db(), ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))),
            ReportKind::MachineTime, ReportPreset::Daily, &f.main);
        dialog.show();
        child<QDateEdit>(dialog, "dtpFrom")->setDate(QDate(2024, 5, 2));
        QTest::mouseClick(child<QPushButton>(dialog, "cmdGenerate"), Qt::LeftButton);
        QCOMPARE(Messages::takeShownTexts().size(), 1);
        QVERIFY(dialog.isVisible());
        QVERIFY(!dialog.isGenerating());
    }

    void generatesIntoANewWindowAndCloses_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("expected");
        QTest::newRow("machine time") << int(ReportKind::MachineTime) << QString();
        QTest::newRow("goods") << int(ReportKind::GoodsSales) << QStringLiteral("总利润：3.4元");
        QTest::newRow("income") << int(ReportKind::Income) << QStringLiteral("总收入 ： 1.5元");
    }
    void generatesIntoANewWindowAndCloses()
    {
        QFETCH(int, kind);
        QFETCH(QString, expected);
        Fixture f;
        QPointer<ReportDialog> dialog = openReportDialog(
            ReportService(f.store.db(), ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))),
            ReportKind(kind), ReportPreset::Daily, &f.main);
        QSignalSpy shown(dialog.data(), &ReportDialog::reportShown);
        QSignalSpy activity(&ReportActivity::instance(), &ReportActivity::runningChanged);
        QTest::mouseClick(child<QPushButton>(*dialog, "cmdGenerate"), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QVERIFY(QApplication::overrideCursor());
        QVERIFY(ReportActivity::instance().running());
        QVERIFY(shown.wait(5000));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(activity.size(), 2);
        auto *window = shown.first().first().value<QWidget *>();
        QVERIFY(window->isVisible());
        QCOMPARE(window->parentWidget(), &f.main);
        if (ReportKind(kind) == ReportKind::MachineTime) {
            QCOMPARE(qobject_cast<ReportWindow *>(window)->list()->model()->rowCount(), 3);
        } else {
            const QString text = qobject_cast<PrintWindow *>(window)->textArea()->toPlainText();
            QVERIFY2(text.contains(expected), qPrintable(text));
        }
        QVERIFY(QTest::qWaitFor([&] { return dialog.isNull(); })); // closed and deleted
    }

    // A clock set back during the day is printed under that day's report, whatever its kind.
    void clockChangeOfTheDayIsOnTheFoot_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("machine time") << int(ReportKind::MachineTime);
        QTest::newRow("income") << int(ReportKind::Income);
    }
    void clockChangeOfTheDayIsOnTheFoot()
    {
        QFETCH(int, kind);
        Fixture f;
        Database &db = f.store.db();
        QVERIFY(audit::attach(db, QDir(f.store.dir()).filePath(u"audit.db"_qs)));
        const QString moved = u"从2024-05-01 11:00:00 到2024-05-01 10:00:00"_qs;
        QVERIFY(audit::append(db, {0, sample::kNow, u"admin"_qs, 0, u"系统时间被改动"_qs, moved, {}}));
        QVERIFY(audit::append(db, {0,
                                   sample::kNow,
                                   u"admin"_qs,
                                   0,
                                   u"系统时间被改动"_qs,
                                   u"从2024-04-20 11:00:00 到2024-04-20 10:00:00"_qs,
                                   {}}));
        QPointer<ReportDialog> dialog = openReportDialog(
            ReportService(db, ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))),
            ReportKind(kind), ReportPreset::Daily, &f.main);
        QSignalSpy shown(dialog.data(), &ReportDialog::reportShown);
        QTest::mouseClick(child<QPushButton>(*dialog, "cmdGenerate"), Qt::LeftButton);
        QVERIFY(shown.wait(5000));
        auto *window = shown.first().first().value<QWidget *>();
        const QString line = u"系统时间被改动："_qs + moved;
        const QString foot =
            ReportKind(kind) == ReportKind::MachineTime
                ? child<QLabel>(*window, "lblFoot")->text()
                : qobject_cast<PrintWindow *>(window)->textArea()->toPlainText().section(u'\n', -1);
        QCOMPARE(foot, line);
    }
};

QTEST_MAIN(ReportDialogTest)
#include "reportdialog_test.moc"
