#include "store/machinetable.h"
#include "support/testcommands.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/manage/machinesdialog.h"
#include "ui/widgets/messages.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

namespace {

const QDateTime kNow(QDate(2026, 3, 7), QTime(9, 5));

struct Fixture
{
    Fixture()
    {
        for (int n = 1; n <= 4; ++n)
            store.addMachine(n);
        dialog = std::make_unique<MachinesDialog>(
            MachineService(store.db(), commands.runner,
                           ServiceOperator::fixed(QStringLiteral("boss"), QStringLiteral("D"))));
        dialog->show();
    }
    QPushButton *button(const char *name) { return child<QPushButton>(*dialog, name); }
    QLineEdit *field(const char *name) { return child<QLineEdit>(*dialog, name); }
    QTreeWidget *list() { return child<QTreeWidget>(*dialog, "lstMachines"); }
    void click(const char *name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void select(int row) { list()->setCurrentItem(list()->topLevelItem(row)); }
    QList<double> rates()
    {
        QList<double> r;
        for (const Machine &m : MachineTable(store.db()).all())
            r << m.rate;
        return r;
    }

    TestStore store;
    TestCommands commands{store.db()};
    std::unique_ptr<MachinesDialog> dialog;
};

} // namespace

class MachinesDialogTest final : public UiTest
{
    Q_OBJECT

public:
    MachinesDialogTest() : UiTest(kNow) {}

private slots:
    void addProposesTheNextMachine();
    void deleteReportsTheRenumbering();
    void ratesForAllMachines_data();
    void ratesForAllMachines();
};

void MachinesDialogTest::addProposesTheNextMachine()
{
    Fixture f;
    QCOMPARE(f.dialog->windowTitle(), u"计算机设置"_qs);
    QVERIFY(!f.button("cmdSave")->isEnabled());
    QSignalSpy changed(f.dialog.get(), &MachinesDialog::machinesChanged);
    f.click("cmdAdd");
    QVERIFY(child<QGroupBox>(*f.dialog, "fraEdit")->isVisible());
    QVERIFY(f.list()->isHidden());
    QCOMPARE(f.button("cmdModify")->text(), u"放弃"_qs);
    QVERIFY(!f.button("cmdAdd")->isEnabled());
    QVERIFY(!f.button("cmdDelete")->isEnabled());
    QCOMPARE(f.field("txtNumber")->text(), u"5"_qs);
    QCOMPARE(f.field("txtName")->text(), u"5号机"_qs);
    QTest::keyClicks(f.field("txtRate"), u"4x.5"_qs);
    QCOMPARE(f.field("txtRate")->text(), u"4.5"_qs);
    f.click("cmdSave");
    QCOMPARE(changed.count(), 1);
    QCOMPARE(f.list()->topLevelItemCount(), 5);
    QCOMPARE(f.list()->currentItem()->text(1), u"5号机"_qs);
    QCOMPARE(f.list()->currentItem()->text(3), u"4.5"_qs);
    QCOMPARE(MachineTable(f.store.db()).at(5)->status, MachineStatus::Off);
}

void MachinesDialogTest::deleteReportsTheRenumbering()
{
    Fixture f;
    QSignalSpy removed(f.dialog.get(), &MachinesDialog::machineRemoved);
    f.select(1);
    Messages::setNextAnswers({QMessageBox::No});
    f.click("cmdDelete");
    QCOMPARE(Messages::takeShownTexts(), QStringList{u"确实要删除： 2号机 吗？"_qs});
    QCOMPARE(removed.count(), 0);

    Messages::setNextAnswers({QMessageBox::Yes});
    f.click("cmdDelete");
    QCOMPARE(removed.count(), 1);
    const auto removal = removed.at(0).at(0).value<MachineManagement::Removal>();
    QCOMPARE(removal.removed.position, 2);
    QCOMPARE(removal.renumbered, (QHash<int, int>{{2, 0}, {3, 2}, {4, 3}}));
    QCOMPARE(f.list()->topLevelItemCount(), 3);
    QCOMPARE(f.list()->topLevelItem(1)->text(0) + f.list()->topLevelItem(1)->text(1), u"22号机"_qs);
}

void MachinesDialogTest::ratesForAllMachines_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<double>("rate");
    QTest::addColumn<int>("shown");
    QTest::newRow("2.5 yes") << QStringList{u"2.5"_qs} << QMessageBox::Yes << 2.5 << 2;
    QTest::newRow("2.5 no") << QStringList{u"2.5"_qs} << QMessageBox::No << 3.0 << 2;
    QTest::newRow("zero") << QStringList{u"0"_qs} << QMessageBox::Yes << 3.0 << 1;
    QTest::newRow("negative") << QStringList{u"-2"_qs} << QMessageBox::Yes << 3.0 << 1;
    QTest::newRow("text") << QStringList{u"abc"_qs} << QMessageBox::Yes << 3.0 << 1;
    QTest::newRow("cancelled") << QStringList{} << QMessageBox::Yes << 3.0 << 1;
}

void MachinesDialogTest::ratesForAllMachines()
{
    QFETCH(QStringList, inputs);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(double, rate);
    QFETCH(int, shown);
    Fixture f;
    Messages::setNextInputs(inputs);
    Messages::setNextAnswers({answer});
    f.click("cmdRate");
    const QStringList texts = Messages::takeShownTexts();
    QCOMPARE(texts.size(), shown);
    QCOMPARE(texts.at(0), u"请输入新的记费标准："_qs);
    QCOMPARE(f.rates(), QList<double>(4, rate));
    QCOMPARE(f.list()->topLevelItem(3)->text(3), QString::number(rate));
}

QTEST_MAIN(MachinesDialogTest)
#include "machinesdialog_test.moc"
