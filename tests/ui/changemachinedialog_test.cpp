#include "common/clock.h"
#include "desk/frontdesk.h"
#include "store/machinetable.h"
#include "support/teststore.h"
#include "ui/changemachinedialog.h"
#include "ui/messages.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {

const QDateTime kStart(QDate(2002, 3, 14), QTime(9, 0));

} // namespace

class ChangeMachineDialogTest final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Messages::setScripted(true); }
    void init()
    {
        Clock::fix(kStart.addSecs(600));
        Messages::takeShownTexts();
    }
    void cleanup() { Clock::release(); }

    void movesToTheChosenMachine()
    {
        TestStore store;
        for (int n = 1; n <= 4; ++n)
            store.addMachine(n, 3, QStringLiteral("S"));
        store.startSession(1, kStart);
        Machine paused = store.startSession(3, kStart);
        paused.status = QStringLiteral("P");
        MachineTable(store.db()).save(paused);
        FrontDesk desk;
        QString error;
        QVERIFY2(desk.open(store.path(), &error), qPrintable(error));
        desk.select(1);

        ChangeMachineDialog dialog(desk);
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
        QCOMPARE(MachineTable(desk.db()).at(4)->start, kStart);
        QCOMPARE(MachineTable(desk.db()).at(4)->status, QStringLiteral("Y"));
        QVERIFY(!MachineTable(desk.db()).at(1)->start.isValid());
        QCOMPARE(desk.selected(), 4);
        QVERIFY(Messages::takeShownTexts().isEmpty());
    }

    void targetTakenMeanwhileIsRefused()
    {
        TestStore store;
        store.addMachine(1, 3, QStringLiteral("S"));
        store.addMachine(2, 3, QStringLiteral("S"));
        store.startSession(1, kStart);
        FrontDesk desk;
        QString error;
        QVERIFY2(desk.open(store.path(), &error), qPrintable(error));
        desk.select(1);

        ChangeMachineDialog dialog(desk);
        dialog.show();
        auto *list = dialog.findChild<QListWidget *>(QStringLiteral("candidateList"));
        list->setCurrentRow(0);
        store.startSession(2, kStart.addSecs(300)); // a client started machine 2 meanwhile
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("confirmButton")), Qt::LeftButton);
        QCOMPARE(Messages::takeShownTexts().size(), 1);
        QVERIFY(dialog.isVisible());
        QCOMPARE(list->count(), 0);
        QCOMPARE(MachineTable(desk.db()).at(1)->start, kStart);
        QCOMPARE(MachineTable(desk.db()).at(2)->start, kStart.addSecs(300));
    }
};

QTEST_MAIN(ChangeMachineDialogTest)
#include "changemachinedialog_test.moc"
