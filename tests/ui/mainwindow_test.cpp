#include "accounts/rights.h"
#include "reports/reportrequest.h"
#include "store/accounttables.h"
#include "store/machinetable.h"
#include "support/testdesk.h"
#include "support/uitest.h"
#include "ui/changemachinedialog.h"
#include "ui/checkoutdialog.h"
#include "ui/goodsdialog.h"
#include "ui/listdisplay.h"
#include "ui/mainwindow.h"
#include "ui/messages.h"
#include "ui/purchasedialog.h"
#include "ui/reportdialog.h"
#include "ui/sessionstartdialog.h"
#include "ui/settingsdialog.h"
#include "ui/timedmessagebox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <functional>

namespace {

const QDateTime kNow(QDate(2024, 5, 1), QTime(12, 0));

// Machine 1 standing by, 2 billing, 3 off.
// With `right`, the operator "op" of that right is logged in, with `display` as its settings.
struct Fixture : TestDesk
{
    explicit Fixture(const QString &right = QString(), const Operator &display = Operator())
    {
        store.addMachine(1, 3, MachineStatus::Standby, QStringLiteral("10.0.0.1"));
        store.addMachine(2, 3, MachineStatus::Standby, QStringLiteral("10.0.0.2"));
        store.addMachine(3, 3, MachineStatus::Off);
        store.startSession(2, kNow.addSecs(-3600));
        if (!right.isEmpty()) {
            Operator op = display;
            op.name = QStringLiteral("op");
            op.right = right;
            if (!OperatorTable(store.db()).add(op))
                qFatal("cannot add the operator");
            desk.setOperator(op.name, op.right);
        }
        open();
        window = std::make_unique<MainWindow>(desk);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qFatal("the main window does not show");
    }

    QAction *action(const QString &objectName) { return window->findChild<QAction *>(objectName); }
    QAbstractItemView *view() { return window->currentView(); }
    QPoint entryCenter(int position)
    {
        return view()->visualRect(view()->model()->index(position - 1, 0)).center();
    }

    std::unique_ptr<MainWindow> window;
};

// Runs `action` and tells which modal dialog it opened ("" when none), closing it again.
QString modalOpenedBy(const std::function<void()> &action, const std::function<void(QDialog *)> &inspect = {})
{
    QString seen;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen = QString::fromLatin1(dialog->metaObject()->className());
        if (inspect)
            inspect(dialog);
        dialog->reject();
    });
    action();
    QTest::qWait(0);
    return seen;
}

QStringList texts(const QList<QAction *> &actions)
{
    QStringList result;
    for (QAction *a : actions)
        result << (a->isSeparator() ? QStringLiteral("—") : a->text());
    return result;
}

} // namespace

class MainWindowTest : public UiTest
{
    Q_OBJECT

public:
    MainWindowTest() : UiTest(kNow) {}

private slots:
    void everyMenuAndTheToolbarInOrder_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("system") << QStringLiteral("mnuSystem")
                                << QStringList{QStringLiteral("计算机设置"),
                                               QStringLiteral("管理员设置"),
                                               QStringLiteral("—"),
                                               QStringLiteral("数据备份"),
                                               QStringLiteral("数据还原"),
                                               QStringLiteral("—"),
                                               QStringLiteral("系统设置"),
                                               QStringLiteral("—"),
                                               QStringLiteral("以其他用户登陆"),
                                               QStringLiteral("锁定桌面"),
                                               QStringLiteral("—"),
                                               QStringLiteral("退出")};
        QTest::newRow("billing")
            << QStringLiteral("mnuBilling")
            << QStringList{
                   QStringLiteral("开始记费"),  QStringLiteral("限定时间"), QStringLiteral("—"),
                   QStringLiteral("结帐"),      QStringLiteral("—"),        QStringLiteral("调换计算机"),
                   QStringLiteral("选购商品"),  QStringLiteral("—"),        QStringLiteral("查看当前机程序"),
                   QStringLiteral("客户机控制")};
        QTest::newRow("view") << QStringLiteral("mnuView")
                              << QStringList{QStringLiteral("大图标"),    QStringLiteral("小图标"),
                                             QStringLiteral("列表"),      QStringLiteral("详细资料"),
                                             QStringLiteral("—"),         QStringLiteral("刷新"),
                                             QStringLiteral("显示网格"),  QStringLiteral("字体"),
                                             QStringLiteral("背景图片"),  QStringLiteral("背影颜色"),
                                             QStringLiteral("还原为默认")};
        QTest::newRow("manage") << QStringLiteral("mnuManage")
                                << QStringList{QStringLiteral("商品资料管理"), QStringLiteral("客户管理"),
                                               QStringLiteral("储金卡管理"), QStringLiteral("快速网址"),
                                               QStringLiteral("访问限制"), QStringLiteral("—"), QStringLiteral("操作记录")};
        QTest::newRow("reports") << QStringLiteral("mnuReports")
                                 << QStringList{QStringLiteral("日报表"), QStringLiteral("月报表")};
        const QStringList three{QStringLiteral("机时收费表"), QStringLiteral("商品销售统计表"),
                                QStringLiteral("收入统计表")};
        QTest::newRow("daily") << QStringLiteral("mnuDaily") << three;
        QTest::newRow("monthly") << QStringLiteral("mnuMonthly") << three;
        QTest::newRow("help") << QStringLiteral("mnuHelp")
                              << QStringList{QStringLiteral("联机帮助"), QStringLiteral("—"),
                                             QStringLiteral("关于...")};
    }
    void everyMenuAndTheToolbarInOrder()
    {
        QFETCH(QString, menu);
        QFETCH(QStringList, entries);
        Fixture f;
        QCOMPARE(texts(f.window->menuBar()->actions()),
                 (QStringList{QStringLiteral("系统(&S)"), QStringLiteral("记费(&M)"),
                              QStringLiteral("查看(&V)"), QStringLiteral("管理(&G)"),
                              QStringLiteral("统计(&P)"), QStringLiteral("帮助(&H)")}));
        QMenu *m = f.window->findChild<QMenu *>(menu);
        QVERIFY(m);
        QCOMPARE(texts(m->actions()), entries);
        QCOMPARE(texts(f.window->findChild<QToolBar *>(QStringLiteral("Toolbar1"))->actions()),
                 (QStringList{QStringLiteral("记费"), QStringLiteral("结帐"), QStringLiteral("统计"),
                              QStringLiteral("查看"), QStringLiteral("帮助")}));
    }

    void toolbarPopsUpTheReportAndViewMenus()
    {
        Fixture f;
        const std::pair<const char *, const char *> buttons[] = {{"tbrReports", "mnuReports"},
                                                                 {"tbrView", "mnuView"}};
        for (const auto &[button, menu] : buttons) {
            QMenu *m = f.window->findChild<QMenu *>(QString::fromLatin1(menu));
            f.action(QString::fromLatin1(button))->trigger();
            QVERIFY2(m->isVisible(), menu);
            m->hide();
        }
    }

    void rightsDecideEveryRestrictedCommand_data()
    {
        QTest::addColumn<QString>("right");
        for (const char *r : {"A", "B", "C", "D", "X"})
            QTest::newRow(r) << QString::fromLatin1(r);
    }
    void rightsDecideEveryRestrictedCommand()
    {
        QFETCH(QString, right);
        Fixture f(right);
        const std::pair<const char *, Command> entries[] = {
            {"mnuCustomers", Command::Customers},
            {"mnuCards", Command::Cards},
            {"mnuReportsTitle", Command::ReportsMenu},
            {"tbrReports", Command::ReportsTool},
            {"mnuDailyMachineTime", Command::DailyMachineTime},
            {"mnuDailyGoodsSales", Command::DailyGoodsSales},
            {"mnuDailyIncome", Command::DailyIncome},
            {"mnuMonthlyMachineTime", Command::MonthlyMachineTime},
            {"mnuMonthlyGoodsSales", Command::MonthlyGoodsSales},
            {"mnuMonthlyIncome", Command::MonthlyIncome},
            {"mnuMachines", Command::Machines},
            {"mnuOperators", Command::Operators},
            {"mnuSettings", Command::Settings},
            {"mnuBackup", Command::Backup},
            {"mnuRestore", Command::Restore},
            {"mnuTrail", Command::Trail}};
        for (const auto &[name, command] : entries)
            QVERIFY2(f.action(QString::fromLatin1(name))->isEnabled() == rights::may(right, command), name);
        // Never restricted.
        for (const char *name : {"mnuManageTitle", "mnuGoods", "mnuRelogin", "mnuLock", "mnuExit",
                                 "mnuHelpContents", "mnuAbout", "mnuFont", "tbrView", "tbrHelp"})
            QVERIFY2(f.action(QString::fromLatin1(name))->isEnabled(), name);
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Corvana——用户：op"));
    }

    void withoutOperatorsEverythingIsOpenAndTheCaptionStays()
    {
        Fixture f;
        f.desk.setOperator(QString(), QStringLiteral("D"));
        f.window->applyLogin();
        for (const char *name : {"mnuCustomers", "mnuCards", "mnuReportsTitle", "tbrReports", "mnuMachines",
                                 "mnuOperators", "mnuSettings", "mnuMonthlyIncome"})
            QVERIFY2(f.action(QString::fromLatin1(name))->isEnabled(), name);
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Corvana"));
    }

    void cancelledReloginKeepsTheOperatorAndItsRights()
    {
        Fixture f(QStringLiteral("A"));
        QVERIFY(OperatorTable(f.db()).addAccount(QStringLiteral("boss"), QString(), QStringLiteral("D")));
        // The rights were changed behind the window's back; a cancelled login puts them back.
        f.action(QStringLiteral("mnuCustomers"))->setEnabled(true);
        QCOMPARE(modalOpenedBy([&] { f.window->logInAgain(); }), QStringLiteral("LoginDialog"));
        QCOMPARE(f.desk.operatorName(), QStringLiteral("op"));
        QCOMPARE(f.desk.operatorRight(), QStringLiteral("A"));
        QVERIFY(!f.action(QStringLiteral("mnuCustomers"))->isEnabled());
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Corvana——用户：op"));
    }

    void reloginAsAnotherOperatorAppliesItsRights()
    {
        Fixture f(QStringLiteral("A"));
        QVERIFY(OperatorTable(f.db()).addAccount(QStringLiteral("boss"), QStringLiteral("pw"),
                                                 QStringLiteral("D")));
        QTimer::singleShot(0, [] {
            auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!d)
                return;
            d->findChild<QComboBox *>()->setCurrentText(QStringLiteral("boss"));
            d->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(QStringLiteral("pw"));
            d->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        });
        f.window->logInAgain();
        QCOMPARE(f.desk.operatorName(), QStringLiteral("boss"));
        QVERIFY(f.action(QStringLiteral("mnuMachines"))->isEnabled());
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Corvana——用户：boss"));
    }

    void displaySettingsAreAppliedAndRestored()
    {
        Operator look;
        look.fontName = QStringLiteral("WenQuanYi Micro Hei");
        look.fontSize = 14;
        look.bold = true;
        look.textColor = 0x0000ff;       // red
        look.backgroundColor = 0x00ffff; // yellow
        Fixture f(QStringLiteral("B"), look);
        QAbstractItemView *v = f.view();
        QCOMPARE(v->font().pointSizeF(), 14.0);
        QVERIFY(v->font().bold());
        QCOMPARE(v->palette().color(QPalette::Text), QColor(255, 0, 0));
        QCOMPARE(v->palette().color(QPalette::Base), QColor(255, 255, 0));

        f.action(QStringLiteral("mnuDefaults"))->trigger();
        QCOMPARE(v->font().pointSizeF(), 9.0);
        QVERIFY(!v->font().bold());
        QCOMPARE(v->palette().color(QPalette::Text), QColor(0, 0, 0));
        QCOMPARE(v->palette().color(QPalette::Base), QApplication::palette(v).color(QPalette::Base));
        const Operator stored = *OperatorTable(f.db()).byName(QStringLiteral("op"));
        QCOMPARE(stored.fontSize, 9.0);
        QCOMPARE(stored.backgroundColor, Operator::kSystemWindowColor);
        QCOMPARE(stored.textColor, qint64(0));
    }

    void aPictureThatDoesNotLoadIsNotStored()
    {
        Fixture f(QStringLiteral("A"));
        QTemporaryDir dir;
        const QString bad = dir.filePath(QStringLiteral("broken.jpg"));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
        file.close();
        QVERIFY(!f.window->setListPicture(bad));
        QVERIFY(Messages::takeShownTexts().join(QString()).contains(QStringLiteral("broken.jpg")));
        QCOMPARE(OperatorTable(f.db()).byName(QStringLiteral("op"))->background, QString());

        const QString good = dir.filePath(QStringLiteral("good.bmp"));
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::green);
        QVERIFY(picture.save(good));
        QVERIFY(f.window->setListPicture(good));
        QCOMPARE(OperatorTable(f.db()).byName(QStringLiteral("op"))->background, good);
        QVERIFY(!f.view()->palette().brush(QPalette::Base).texture().isNull());
    }

    void fontAndColourChoicesAreStoredForTheOperatorOnly()
    {
        Fixture f(QStringLiteral("A"));
        QFont font(QStringLiteral("WenQuanYi Micro Hei"));
        font.setPointSize(16);
        font.setItalic(true);
        f.window->setListFont(font, QColor(0, 0, 255));
        f.window->setListBackgroundColor(QColor(0, 255, 0));
        const Operator op = *OperatorTable(f.db()).byName(QStringLiteral("op"));
        QCOMPARE(op.fontSize, 16.0);
        QVERIFY(op.italic);
        QCOMPARE(op.textColor, qint64(0xff0000));
        QCOMPARE(op.backgroundColor, qint64(0x00ff00));
        QCOMPARE(f.view()->palette().color(QPalette::Base), QColor(0, 255, 0));

        // Without a row for the logged-in name the list changes and nothing is stored.
        f.desk.setOperator(QStringLiteral("ghost"), QStringLiteral("D"));
        const QStringList before = tableRows(f.db(), QStringLiteral("yhszb"));
        f.window->setListBackgroundColor(QColor(0, 0, 255));
        QCOMPARE(f.view()->palette().color(QPalette::Base), QColor(0, 0, 255));
        QCOMPARE(tableRows(f.db(), QStringLiteral("yhszb")), before);
    }

    void theSelectedRowStaysReadableWithTheGrid()
    {
        Operator look;
        look.textColor = 0xffffff; // white text, as the highlighted text is
        look.backgroundColor = 0x000000;
        Fixture f(QStringLiteral("A"), look);
        f.action(QStringLiteral("mnuGrid"))->setChecked(true);
        f.desk.select(2);
        auto *view = qobject_cast<QTreeView *>(f.view());
        const QRect row = view->visualRect(view->model()->index(1, 0));
        const QImage shot =
            view->viewport()->grab(QRect(0, row.top(), view->viewport()->width(), row.height())).toImage();
        const QColor highlight = view->palette().color(QPalette::Highlight);
        const QColor highlightedText = view->palette().color(QPalette::HighlightedText);
        int background = 0, text = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                // The style may shade the highlight a little.
                const auto near = [&c](const QColor &want, int by) {
                    return std::abs(c.red() - want.red()) <= by && std::abs(c.green() - want.green()) <= by &&
                           std::abs(c.blue() - want.blue()) <= by;
                };
                background += near(highlight, 48);
                text += near(highlightedText, 60);
            }
        // The row is painted in the highlight, with its text in the highlighted text colour.
        QVERIFY(background > shot.width() * shot.height() / 3);
        QVERIFY(text > 10);
    }

    void panelOneFollowsTheSelectedMachinesStatus()
    {
        Fixture f;
        f.desk.select(1);
        const QString before = f.window->findChild<QLabel *>(QStringLiteral("panel1"))->text();
        MachineTable machines(f.db());
        Machine m = *machines.byNumber(1);
        m.status = MachineStatus::Billing;
        m.start = kNow;
        machines.save(m);
        f.desk.refresh();
        const QString after = f.window->findChild<QLabel *>(QStringLiteral("panel1"))->text();
        QVERIFY(after != before);
        QCOMPARE(after, f.desk.machineList().tooltip(1));
    }

    void aNewStoreIsSaidInTheStatusBar()
    {
        TestStore elsewhere;
        QTemporaryDir dir;
        FrontDesk desk;
        QVERIFY(desk.open(dir.filePath(Store::fileName())));
        MainWindow window(desk);
        QVERIFY(window.findChild<QLabel *>(QStringLiteral("panel1"))
                    ->text()
                    .contains(QDir::toNativeSeparators(dir.filePath(Store::fileName()))));
    }

    void managementWindowsOpenOnce()
    {
        Fixture f(QStringLiteral("D"));
        for (const char *name : {"mnuGoods", "mnuCustomers", "mnuCards"}) {
            const int before = QApplication::topLevelWidgets().size();
            f.action(QString::fromLatin1(name))->trigger();
            f.action(QString::fromLatin1(name))->trigger();
            QCOMPARE(QApplication::topLevelWidgets().size(), before + 1);
            QVERIFY(QApplication::activeModalWidget() == nullptr);
        }
        QVERIFY(f.window->findChild<GoodsDialog *>()->isVisible());
    }

    void reportEntriesOpenTheReportDialog()
    {
        Fixture f(QStringLiteral("C"));
        f.action(QStringLiteral("mnuMonthlyIncome"))->trigger();
        auto *dialog = f.window->findChild<ReportDialog *>();
        QVERIFY(dialog);
        QCOMPARE(dialog->request().kind, ReportKind::Income);
        dialog->close();
    }

    void settingsOpenCentredOnTheScreenAndPurchaseOverTheWindow()
    {
        Fixture f(QStringLiteral("D"));
        f.window->move(40, 30);
        QPoint settingsCentre, purchaseCentre;
        modalOpenedBy([&] { f.action(QStringLiteral("mnuSettings"))->trigger(); },
                      [&](QDialog *d) { settingsCentre = d->frameGeometry().center(); });
        const QPoint screenCentre = f.window->screen()->availableGeometry().center();
        QVERIFY2((settingsCentre - screenCentre).manhattanLength() <= 4, "settings not centred");
        f.desk.select(2);
        modalOpenedBy([&] { f.action(QStringLiteral("mnuPurchase"))->trigger(); },
                      [&](QDialog *d) { purchaseCentre = d->frameGeometry().center(); });
        QVERIFY2((purchaseCentre - f.window->frameGeometry().center()).manhattanLength() <= 4,
                 "purchase not centred");
    }

    void exitAsksWithNoAsDefault()
    {
        Fixture f;
        Messages::setNextAnswers({QMessageBox::No});
        QVERIFY(!f.window->close());
        QVERIFY(f.window->isVisible());
        QVERIFY(Messages::takeShownTexts().join(QString()).contains(QStringLiteral("真的要退出吗？")));
        Messages::setNextAnswers({QMessageBox::Yes});
        QVERIFY(f.window->close());
    }

    void commandStatesFollowTheSelection_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("idle");
        QTest::newRow("standby") << 1 << true;
        QTest::newRow("billing") << 2 << false;
        QTest::newRow("off") << 3 << true;
    }
    void commandStatesFollowTheSelection()
    {
        QFETCH(int, position);
        QFETCH(bool, idle);
        Fixture f;
        f.desk.select(position == 2 ? 1 : 2); // start from the opposite states
        f.desk.select(position);
        QCOMPARE(f.action(QStringLiteral("mnuStart"))->isEnabled(), idle);
        QCOMPARE(f.action(QStringLiteral("tbrStart"))->isEnabled(), idle);
        for (const char *name :
             {"mnuLimitTime", "mnuCheckout", "mnuChangeMachine", "mnuPurchase", "tbrCheckout"})
            QCOMPARE(f.action(QString::fromLatin1(name))->isEnabled(), !idle);
        // A PC that is off has no programs and takes no commands.
        for (const char *name : {"mnuProgramList", "mnuClientControl"})
            QCOMPARE(f.action(QString::fromLatin1(name))->isEnabled(), position != 3);
    }

    void statesFollowEveryPassAndIgnoreUnknownLetters()
    {
        Fixture f;
        f.desk.select(1);
        QVERIFY(!f.action(QStringLiteral("mnuCheckout"))->isEnabled());
        MachineTable machines(f.db());
        Machine m = *machines.byNumber(1);
        m.status = MachineStatus::Billing;
        m.start = kNow;
        machines.save(m);
        f.desk.refresh();
        QVERIFY(f.action(QStringLiteral("mnuCheckout"))->isEnabled());
        QVERIFY(!f.action(QStringLiteral("tbrStart"))->isEnabled());

        m.status = MachineStatus::Unknown;
        machines.save(m);
        f.desk.select(3); // off
        f.desk.select(1);
        QVERIFY(f.action(QStringLiteral("mnuStart"))->isEnabled()); // as the off machine left them
        QVERIFY(!f.action(QStringLiteral("mnuCheckout"))->isEnabled());
    }

    void rightButtonPopsUpTheBillingMenu()
    {
        Fixture f;
        QMenu *menu = f.window->billingMenu();
        QTest::mouseClick(f.view()->viewport(), Qt::RightButton, {}, f.entryCenter(2));
        QCOMPARE(f.desk.selected(), 2);
        QVERIFY(menu->isVisible());
        QCOMPARE(menu->defaultAction(), f.action(QStringLiteral("mnuCheckout")));
        menu->hide();
        QCOMPARE(menu->defaultAction(), nullptr);

        QTest::mouseClick(f.view()->viewport(), Qt::RightButton, {}, f.entryCenter(1));
        QCOMPARE(f.desk.selected(), 1);
        QVERIFY(menu->isVisible());
        QCOMPARE(menu->defaultAction(), f.action(QStringLiteral("mnuStart")));
        menu->hide();
    }

    void doubleClickAndEnterOpenByState()
    {
        Fixture f;
        QRect checkoutFrame;
        QString caption;
        const QString opened = modalOpenedBy(
            [&] {
                // A real double-click: press and release, then the second press.
                QTest::mouseClick(f.view()->viewport(), Qt::LeftButton, {}, f.entryCenter(2));
                QTest::mousePress(f.view()->viewport(), Qt::LeftButton, {}, f.entryCenter(2));
                QTest::mouseDClick(f.view()->viewport(), Qt::LeftButton, {}, f.entryCenter(2));
            },
            [&](QDialog *d) {
                caption = d->windowTitle();
                checkoutFrame = d->frameGeometry();
            });
        QCOMPARE(opened, QStringLiteral("CheckoutDialog"));
        QCOMPARE(caption, QStringLiteral("2号机->要结帐？"));
        QCOMPARE(checkoutFrame.top(), f.window->frameGeometry().top() + 100);

        f.desk.select(1);
        QCOMPARE(modalOpenedBy([&] { QTest::keyClick(f.view(), Qt::Key_Return); }),
                 QStringLiteral("SessionStartDialog"));
        f.desk.select(3);
        QCOMPARE(modalOpenedBy([&] { QTest::keyClick(f.view(), Qt::Key_Enter); }),
                 QStringLiteral("SessionStartDialog"));
    }

    void menuCommandsOpenTheirDialogs()
    {
        Fixture f;
        f.desk.select(2);
        const std::pair<const char *, const char *> commands[] = {{"mnuLimitTime", "SessionStartDialog"},
                                                                  {"mnuCheckout", "CheckoutDialog"},
                                                                  {"tbrCheckout", "CheckoutDialog"},
                                                                  {"mnuChangeMachine", "ChangeMachineDialog"},
                                                                  {"mnuPurchase", "PurchaseDialog"}};
        for (const auto &[action, dialog] : commands)
            QCOMPARE(modalOpenedBy([&] { f.action(QString::fromLatin1(action))->trigger(); }),
                     QString::fromLatin1(dialog));
        f.desk.select(1);
        QCOMPARE(modalOpenedBy([&] { f.action(QStringLiteral("tbrStart"))->trigger(); }),
                 QStringLiteral("SessionStartDialog"));
    }

    void cardRequestOpensCheckoutWithTheCard()
    {
        Fixture f;
        f.desk.select(2);
        bool ticked = false;
        QString card, password;
        const QString opened = modalOpenedBy(
            [&] { emit f.desk.checkoutWithCardRequested(QStringLiteral("8001"), QStringLiteral("pw")); },
            [&](QDialog *d) {
                ticked = d->findChild<QCheckBox *>(QStringLiteral("chkCard"))->isChecked();
                card = d->findChild<QLineEdit *>(QStringLiteral("txtCard"))->text();
                password = d->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->text();
            });
        QCOMPARE(opened, QStringLiteral("CheckoutDialog"));
        QVERIFY(ticked);
        QCOMPARE(card, QStringLiteral("8001"));
        QCOMPARE(password, QStringLiteral("pw"));
        // Closing it settles nothing.
        QCOMPARE(MachineTable(f.db()).byNumber(2)->status, MachineStatus::Billing);
        QVERIFY(f.link.sent.isEmpty());

        // A machine without a session has nothing to settle.
        f.desk.select(1);
        QCOMPARE(modalOpenedBy([&] {
                     emit f.desk.checkoutWithCardRequested(QStringLiteral("8001"), QStringLiteral("pw"));
                 }),
                 QString());
    }

    void timedQuestionIsAnsweredOverAnOpenDialog()
    {
        // A client's question arrives while the operator has checkout open: its box must take
        // the operator's click, not wait behind the dialog.
        Fixture f;
        TimedQuestionPresenter presenter(f.window.get());
        f.desk.questions().setPresenter(&presenter);
        f.desk.select(2);
        std::optional<Answer> answer;
        int selectedWhileBlocked = 0;
        const QString opened = modalOpenedBy(
            [&] { f.action(QStringLiteral("mnuCheckout"))->trigger(); },
            [&](QDialog *) {
                Question q;
                q.text = QStringLiteral("1号机要求开机，是否同意？");
                f.desk.questions().ask(q, [&](Answer a) { answer = a; });
                TimedMessageBox *box = presenter.currentBox();
                QVERIFY(QTest::qWaitForWindowExposed(box));
                // Clicks go through the window system, which holds them back from blocked
                // windows: the list behind the dialog is not reached, the box is.
                QTest::mouseClick(f.window->windowHandle(), Qt::LeftButton, {},
                                  f.view()->viewport()->mapTo(f.window.get(), f.entryCenter(3)));
                selectedWhileBlocked = f.desk.selected();
                QPushButton *yes = box->firstButton();
                QTest::mouseClick(box->windowHandle(), Qt::LeftButton, {},
                                  yes->mapTo(box, yes->rect().center()));
            });
        QCOMPARE(opened, QStringLiteral("CheckoutDialog"));
        QCOMPARE(selectedWhileBlocked, 2);
        QCOMPARE(answer, std::optional<Answer>(Answer::Yes));
        f.desk.questions().setPresenter(nullptr);
    }

    void cardRequestDuringACheckoutFollowsIt()
    {
        Fixture f;
        f.desk.select(2);
        QStringList opened; // captions, "+card" where the card is filled in
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            const bool card = dialog->findChild<QCheckBox *>(QStringLiteral("chkCard"))->isChecked();
            opened << dialog->windowTitle() + (card ? QStringLiteral("+card") : QString());
            if (opened.size() == 1)
                emit f.desk.checkoutWithCardRequested(QStringLiteral("8001"), QStringLiteral("pw"));
            dialog->reject();
        });
        closer.start(0);
        f.action(QStringLiteral("mnuCheckout"))->trigger();
        closer.stop();
        QCOMPARE(opened,
                 (QStringList{QStringLiteral("2号机->要结帐？"), QStringLiteral("2号机->要结帐？+card")}));
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
