#include "audit/trail.h"
#include "store/database.h"
#include "store/store.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/messages.h"
#include "ui/trailwindow.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {
const QDateTime kNow(QDate(2002, 3, 15), QTime(21, 0));
}

class TrailWindowTest final : public UiTest
{
    Q_OBJECT

public:
    TrailWindowTest() : UiTest(kNow) {}

private slots:
    void listsFiltersAndChecks()
    {
        TestStore t;
        const QString trail = QDir(t.dir()).filePath(QStringLiteral("audit.db"));
        QVERIFY(audit::attach(t.db(), trail));
        for (int machine : {1, 2, 1}) {
            audit::Entry e;
            e.time = kNow.addSecs(-600);
            e.operatorName = QStringLiteral("小王");
            e.machine = machine;
            e.kind = QStringLiteral("结帐");
            QVERIFY(audit::append(t.db(), e));
        }
        auto *window = new TrailWindow(t.db());
        QCOMPARE(window->windowTitle(), QStringLiteral("操作记录"));
        auto *list = child<QTreeWidget>(*window, "lstTrail");
        QCOMPARE(list->topLevelItemCount(), 3);
        child<QLineEdit>(*window, "txtMachine")->setText(QStringLiteral("1"));
        QTest::mouseClick(child<QPushButton>(*window, "cmdQuery"), Qt::LeftButton);
        QCOMPARE(list->topLevelItemCount(), 2);

        QTest::mouseClick(child<QPushButton>(*window, "cmdVerify"), Qt::LeftButton);
        QCOMPARE(Messages::takeShownTexts(), QStringList{QStringLiteral("记录完整，共3条")});
        {
            Database other;
            QVERIFY(other.open(trail, Store::key(), false));
            QVERIFY(other.exec(QStringLiteral("UPDATE trail SET machine = 3 WHERE seq = 2")));
        }
        QTest::mouseClick(child<QPushButton>(*window, "cmdVerify"), Qt::LeftButton);
        QCOMPARE(Messages::takeShownTexts(), QStringList{QStringLiteral("第2条记录起已被改动！")});
        delete window;
    }
};

QTEST_MAIN(TrailWindowTest)
#include "trailwindow_test.moc"
