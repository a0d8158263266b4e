#include "audit/trail.h"
#include "store/database.h"
#include "store/store.h"
#include "support/testserver.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/widgets/messages.h"
#include "ui/reports/trailwindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>
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
    void listsFiltersAndChecks_data()
    {
        QTest::addColumn<bool>("onServer");
        QTest::newRow("file") << false;
        QTest::newRow("server") << true;
    }
    void listsFiltersAndChecks()
    {
        QFETCH(bool, onServer);
        SKIP_WITHOUT_SERVER(onServer);
        EngineStore s(onServer);
        Database &db = s.t->db();
        const QString trail = QDir(s.t->dir()).filePath(QStringLiteral("audit.db"));
        const QString schema = QStringLiteral("audit_ui_%1").arg(QCoreApplication::applicationPid());
        // Someone with the key edits the trail with another program.
        auto tamper = [&](const QString &sql) {
            if (onServer) {
                testserver::administer(sql.arg(schema + QStringLiteral(".trail")));
                return true;
            }
            Database other;
            return other.open(trail, Store::key(), false) && other.exec(sql.arg(QStringLiteral("trail")));
        };
        QVERIFY(audit::attach(db, trail, schema));
        for (int machine : {1, 2, 1}) {
            audit::Entry e;
            e.time = kNow.addSecs(-600);
            e.operatorName = QStringLiteral("小王");
            e.machine = machine;
            e.kind = QStringLiteral("结帐");
            QVERIFY(audit::append(db, e));
        }
        QVERIFY(audit::settle(db));
        auto *window = new TrailWindow(TrailService(db));
        QCOMPARE(window->windowTitle(), QStringLiteral("操作记录"));
        auto *list = child<QTreeWidget>(*window, "lstTrail");
        QCOMPARE(list->topLevelItemCount(), 3);
        // The counter only where several counters can write.
        const QString counterColumn = list->headerItem()->text(2);
        QCOMPARE(counterColumn == u"柜台", onServer);
        QCOMPARE(list->topLevelItem(0)->text(2),
                 onServer ? QSysInfo::machineHostName() : QStringLiteral("小王"));
        child<QLineEdit>(*window, "txtMachine")->setText(QStringLiteral("1"));
        QTest::mouseClick(child<QPushButton>(*window, "cmdQuery"), Qt::LeftButton);
        QCOMPARE(list->topLevelItemCount(), 2);

        QTest::mouseClick(child<QPushButton>(*window, "cmdVerify"), Qt::LeftButton);
        QCOMPARE(Messages::takeShownTexts(), QStringList{QStringLiteral("记录完整，共3条")});
        QVERIFY(tamper(QStringLiteral("UPDATE %1 SET machine = 3 WHERE seq = 2")));
        QTest::mouseClick(child<QPushButton>(*window, "cmdVerify"), Qt::LeftButton);
        QCOMPARE(Messages::takeShownTexts(), QStringList{QStringLiteral("第2条记录起已被改动！")});
        delete window;
        if (onServer)
            QVERIFY(tamper(QStringLiteral("DROP TABLE %1; DROP SCHEMA ") + schema));
    }
};

QTEST_MAIN(TrailWindowTest)
#include "trailwindow_test.moc"
