#include "store/machinetable.h"
#include "support/testdesk.h"
#include "support/uitest.h"
#include "ui/billing/changemachinedialog.h"
#include "ui/widgets/messages.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {

const QDateTime kStart(QDate(2002, 3, 14), QTime(9, 0));

// Machines 1 to `count` standing by but machine 1, which bills and is selected.
struct Fixture : TestDesk
{
    explicit Fixture(int count)
    {
        for (int n = 1; n <= count; ++n)
            store.addMachine(n, 3, MachineStatus::Standby);
        store.startSession(1, kStart);
        open();
        desk.select(1);
    }
};

} // namespace

class ChangeMachineDialogTest final : public UiTest
{
    Q_OBJECT

public:
    ChangeMachineDialogTest() : UiTest(kStart.addSecs(600)) {}

private slots:
    void movesToTheChosenMachine()
    {
        Fixture t(4);
        Machine paused = t.store.startSession(3, kStart);
        paused.status = MachineStatus::Paused;
        t.save(paused);

        ChangeMachineDialog dialog(t.desk);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("换机管理"));
        auto *list = dialog.findChild<QListWidget *>(QStringLiteral("candidateList"));
        auto *confirm = dialog.findChild<QPushButton *>(QStringLiteral("confirmButton"));
        QVERIFY(list && confirm);
        QCOMPARE(confirm->text(), QStringLiteral("确认换机"));
        QStringList names;
        for (int i = 0; i < list->count(); ++i)
            names << list->item(i)->text();
        QCOMPARE(names, (QStringList{QStringLiteral("2号机"), QStringLiteral("4号机")}));
        QVERIFY(!confirm->isEnabled());

        list->setCurrentRow(1);
        QVERIFY(confirm->isEnabled());
        QTest::mouseClick(confirm, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(MachineTable(t.db()).at(4)->start, kStart);
        QCOMPARE(MachineTable(t.db()).at(4)->status, MachineStatus::Billing);
        QVERIFY(!MachineTable(t.db()).at(1)->start.isValid());
        QCOMPARE(t.desk.selected(), 4);
        QVERIFY(Messages::takeShownTexts().isEmpty());
    }

    void targetTakenMeanwhileIsRefused()
    {
        Fixture t(2);

        ChangeMachineDialog dialog(t.desk);
        dialog.show();
        auto *list = dialog.findChild<QListWidget *>(QStringLiteral("candidateList"));
        list->setCurrentRow(0);
        t.store.startSession(2, kStart.addSecs(300)); // a client started machine 2 meanwhile
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("confirmButton")), Qt::LeftButton);
        QCOMPARE(Messages::takeShownTexts().size(), 1);
        QVERIFY(dialog.isVisible());
        QCOMPARE(list->count(), 0);
        QCOMPARE(MachineTable(t.db()).at(1)->start, kStart);
        QCOMPARE(MachineTable(t.db()).at(2)->start, kStart.addSecs(300));
    }
};

QTEST_MAIN(ChangeMachineDialogTest)
#include "changemachinedialog_test.moc"
