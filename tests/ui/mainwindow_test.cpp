#include "accounts/rights.h"
#include "common/clock.h"
#include "reports/reportrequest.h"
#include "store/accounttables.h"
#include "store/machinetable.h"
#include "support/testdesk.h"
#include "support/uitest.h"
#include "ui/manage/carddialog.h"
#include "ui/billing/changemachinedialog.h"
#include "ui/billing/checkoutdialog.h"
#include "ui/link/clientwindows.h"
#include "ui/manage/goodsdialog.h"
#include "ui/widgets/listdisplay.h"
#include "ui/shell/machinelistmodel.h"
#include "ui/shell/mainwindow.h"
#include "ui/widgets/messages.h"
#include "ui/billing/purchasedialog.h"
#include "ui/reports/reportdialog.h"
#include "ui/billing/sessionstartdialog.h"
#include "ui/manage/settingsdialog.h"
#include "ui/reports/shiftwindows.h"
#include "ui/widgets/timedmessagebox.h"
#include "ui/manage/weblistdialogs.h"

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
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2024, 5, 1), QTime(12, 0));

// Machine 1 standing by, 2 billing, 3 off.
// With `right`, the operator "op" of that right is logged in, with `display` as its settings.
struct Fixture : TestDesk
{
    explicit Fixture(const QString &right = QString(), const Operator &display = Operator())
    {
        store.addMachine(1, 3, MachineStatus::Standby, u"10.0.0.1"_s);
        store.addMachine(2, 3, MachineStatus::Standby, u"10.0.0.2"_s);
        store.addMachine(3, 3, MachineStatus::Off);
        store.startSession(2, kNow.addSecs(-3600));
        if (!right.isEmpty()) {
            Operator op = display;
            op.name = u"op"_s;
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
        result << (a->isSeparator() ? u"—"_s : a->text());
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
        QTest::addColumn<QString>("menu");    // empty: the menu bar
        QTest::addColumn<QString>("entries"); // "|" between entries, "—" a separator
        QTest::newRow("menu bar") << QString() << u"系统(&S)|记费(&M)|查看(&V)|管理(&G)|统计(&P)|帮助(&H)"_s;
        QTest::newRow("toolbar") << u"Toolbar1"_s << u"记费|结帐|统计|查看|帮助"_s;
        QTest::newRow("system")
            << u"mnuSystem"_s
            << u"计算机设置|管理员设置|—|数据备份|数据还原|—|系统设置|—|以其他用户登陆|锁定桌面|交班|—|退出"_s;
        QTest::newRow("billing")
            << u"mnuBilling"_s
            << u"开始记费|限定时间|—|结帐|—|调换计算机|选购商品|—|查看当前机程序|客户机控制"_s;
        QTest::newRow("view")
            << u"mnuView"_s
            << u"大图标|小图标|列表|详细资料|—|刷新|显示网格|字体|背景图片|背影颜色|还原为默认|—|即将到时"_s;
        QTest::newRow("manage") << u"mnuManage"_s
                                << u"商品资料管理|客户管理|储金卡管理|快速网址|访问限制|—|操作记录"_s;
        QTest::newRow("reports") << u"mnuReports"_s << u"日报表|月报表|—|交班记录"_s;
        QTest::newRow("daily") << u"mnuDaily"_s << u"机时收费表|商品销售统计表|收入统计表"_s;
        QTest::newRow("monthly") << u"mnuMonthly"_s << u"机时收费表|商品销售统计表|收入统计表"_s;
        QTest::newRow("help") << u"mnuHelp"_s << u"联机帮助|—|关于..."_s;
    }
    void everyMenuAndTheToolbarInOrder()
    {
        QFETCH(QString, menu);
        QFETCH(QString, entries);
        Fixture f;
        QWidget *w = menu.isEmpty() ? f.window->menuBar() : f.window->findChild<QWidget *>(menu);
        QVERIFY(w);
        QCOMPARE(texts(w->actions()), entries.split(u'|'));
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
        QTest::addColumn<QString>("right"); // empty: no operators, no login
        QTest::addColumn<QString>("caption");
        for (const char *r : {"A", "B", "C", "D", "X"})
            QTest::newRow(r) << QString::fromLatin1(r) << u"Corvana——用户：op"_s;
        QTest::newRow("no operators: everything open") << QString() << u"Corvana"_s;
    }
    void rightsDecideEveryRestrictedCommand()
    {
        QFETCH(QString, right);
        QFETCH(QString, caption);
        Fixture f(right);
        if (right.isEmpty()) {
            right = u"D"_s;
            f.desk.setOperator(QString(), right);
            f.window->applyLogin();
        }
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
        QCOMPARE(f.window->windowTitle(), caption);
    }

    void relogin_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("right");
        QTest::newRow("cancelled: the operator, its rights and windows stay")
            << u"D"_s << true << u"op"_s << u"D"_s;
        QTest::newRow("another operator: its rights") << u"A"_s << false << u"boss"_s << u"D"_s;
        QTest::newRow("a cashier after a super: the card window closes")
            << u"D"_s << false << u"clerk"_s << u"A"_s;
    }
    void relogin()
    {
        QFETCH(QString, from);
        QFETCH(bool, cancel);
        QFETCH(QString, name);
        QFETCH(QString, right);
        Fixture f(from);
        QVERIFY(OperatorTable(f.db()).addAccount(u"boss"_s, u"pw"_s, u"D"_s));
        QVERIFY(OperatorTable(f.db()).addAccount(u"clerk"_s, u"pw"_s, u"A"_s));
        f.action(u"mnuCards"_s)->trigger();
        const QPointer<CardDialog> cards = f.window->findChild<CardDialog *>();
        QCOMPARE(bool(cards), rights::may(from, Command::Cards));
        // The other management windows open meanwhile go with it.
        QList<QPointer<QWidget>> others{
            new ShiftsWindow(f.desk.shifts(), f.window.get()),
            openReportDialog(f.desk.reports(), ReportKind::Income, ReportPreset::Daily, f.window.get())};
        others.first()->show();
        openQuickAddresses(f.desk, f.window.get());
        others << f.window->findChild<QuickAddressDialog *>();
        // The rights were changed behind the window's back; the login puts them right.
        f.action(u"mnuCustomers"_s)->setEnabled(true);
        f.action(u"mnuMachines"_s)->setEnabled(false);
        QString opened;
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!d)
                return;
            opened = QString::fromLatin1(d->metaObject()->className());
            if (cancel) {
                d->reject();
                return;
            }
            d->findChild<QComboBox *>()->setCurrentText(name);
            d->findChild<QLineEdit *>(u"txtPassword"_s)->setText(u"pw"_s);
            d->findChild<QPushButton *>(u"cmdOK"_s)->click();
        });
        f.window->logInAgain();
        QCOMPARE(opened, u"LoginDialog"_s);
        QCOMPARE(f.desk.operatorName(), name);
        QCOMPARE(f.desk.operatorRight(), right);
        QCOMPARE(f.action(u"mnuCustomers"_s)->isEnabled(), rights::may(right, Command::Customers));
        QCOMPARE(f.action(u"mnuMachines"_s)->isEnabled(), rights::may(right, Command::Machines));
        QCOMPARE(f.window->windowTitle(), u"Corvana——用户："_s + name);
        if (cards)
            QCOMPARE(cards->isVisible(), cancel);
        for (const QPointer<QWidget> &w : others)
            QCOMPARE(w && w->isVisible(), cancel);
    }

    void displaySettingsAreAppliedAndRestored()
    {
        Operator look;
        look.fontName = u"WenQuanYi Micro Hei"_s;
        look.fontSize = 14;
        look.bold = true;
        look.textColor = 0x0000ff;       // red
        look.backgroundColor = 0x00ffff; // yellow
        Fixture f(u"B"_s, look);
        QAbstractItemView *v = f.view();
        QCOMPARE(v->font().pointSizeF(), 14.0);
        QVERIFY(v->font().bold());
        QCOMPARE(v->palette().color(QPalette::Text), QColor(255, 0, 0));
        QCOMPARE(v->palette().color(QPalette::Base), QColor(255, 255, 0));

        f.action(u"mnuDefaults"_s)->trigger();
        QCOMPARE(v->font().pointSizeF(), 9.0);
        QVERIFY(!v->font().bold());
        QCOMPARE(v->palette().color(QPalette::Text), QColor(0, 0, 0));
        QCOMPARE(v->palette().color(QPalette::Base), QApplication::palette(v).color(QPalette::Base));
        const Operator stored = *OperatorTable(f.db()).byName(u"op"_s);
        QCOMPARE(stored.fontSize, 9.0);
        QCOMPARE(stored.backgroundColor, Operator::kSystemWindowColor);
        QCOMPARE(stored.textColor, qint64(0));
    }

    void aPictureThatDoesNotLoadIsNotStored()
    {
        Fixture f(u"A"_s);
        QTemporaryDir dir;
        const QString bad = dir.filePath(u"broken.jpg"_s);
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
        file.close();
        QVERIFY(!f.window->setListPicture(bad));
        QVERIFY(Messages::takeShownTexts().join(QString()).contains(u"broken.jpg"_s));
        QCOMPARE(OperatorTable(f.db()).byName(u"op"_s)->background, QString());

        const QString good = dir.filePath(u"good.bmp"_s);
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::green);
        QVERIFY(picture.save(good));
        QVERIFY(f.window->setListPicture(good));
        QCOMPARE(OperatorTable(f.db()).byName(u"op"_s)->background, good);
        QVERIFY(!f.view()->palette().brush(QPalette::Base).texture().isNull());
    }

    void fontAndColourChoicesAreStoredForTheOperatorOnly()
    {
        Fixture f(u"A"_s);
        QFont font(u"WenQuanYi Micro Hei"_s);
        font.setPointSize(16);
        font.setItalic(true);
        f.window->setListFont(font, QColor(0, 0, 255));
        f.window->setListBackgroundColor(QColor(0, 255, 0));
        const Operator op = *OperatorTable(f.db()).byName(u"op"_s);
        QCOMPARE(op.fontSize, 16.0);
        QVERIFY(op.italic);
        QCOMPARE(op.textColor, qint64(0xff0000));
        QCOMPARE(op.backgroundColor, qint64(0x00ff00));
        QCOMPARE(f.view()->palette().color(QPalette::Base), QColor(0, 255, 0));

        // Without a row for the logged-in name the list changes and nothing is stored.
        f.desk.setOperator(u"ghost"_s, u"D"_s);
        const QStringList before = tableRows(f.db(), u"yhszb"_s);
        f.window->setListBackgroundColor(QColor(0, 0, 255));
        QCOMPARE(f.view()->palette().color(QPalette::Base), QColor(0, 0, 255));
        QCOMPARE(tableRows(f.db(), u"yhszb"_s), before);
    }

    void theSelectedRowStaysReadableWithTheGrid()
    {
        Operator look;
        look.textColor = 0xffffff; // white text, as the highlighted text is
        look.backgroundColor = 0x000000;
        Fixture f(u"A"_s, look);
        f.action(u"mnuGrid"_s)->setChecked(true);
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

    void aNewStoreIsSaidInTheStatusBar()
    {
        TestStore elsewhere;
        QTemporaryDir dir;
        FrontDesk desk;
        QVERIFY(desk.open(dir.filePath(Store::fileName())));
        MainWindow window(desk);
        QVERIFY(window.findChild<QLabel *>(u"panel1"_s)
                    ->text()
                    .contains(QDir::toNativeSeparators(dir.filePath(Store::fileName()))));
    }

    void managementWindowsOpenOnce()
    {
        Fixture f(u"D"_s);
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
        Fixture f(u"C"_s);
        f.action(u"mnuMonthlyIncome"_s)->trigger();
        auto *dialog = f.window->findChild<ReportDialog *>();
        QVERIFY(dialog);
        QCOMPARE(dialog->request().kind, ReportKind::Income);
        dialog->close();
    }

    void settingsOpenCentredOnTheScreenAndPurchaseOverTheWindow()
    {
        Fixture f(u"D"_s);
        f.window->move(40, 30);
        QPoint settingsCentre, purchaseCentre;
        modalOpenedBy([&] { f.action(u"mnuSettings"_s)->trigger(); },
                      [&](QDialog *d) { settingsCentre = d->frameGeometry().center(); });
        const QPoint screenCentre = f.window->screen()->availableGeometry().center();
        QVERIFY2((settingsCentre - screenCentre).manhattanLength() <= 4, "settings not centred");
        f.desk.select(2);
        modalOpenedBy([&] { f.action(u"mnuPurchase"_s)->trigger(); },
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
        QVERIFY(Messages::takeShownTexts().join(QString()).contains(u"真的要退出吗？"_s));
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
        QCOMPARE(f.action(u"mnuStart"_s)->isEnabled(), idle);
        QCOMPARE(f.action(u"tbrStart"_s)->isEnabled(), idle);
        for (const char *name :
             {"mnuLimitTime", "mnuCheckout", "mnuChangeMachine", "mnuPurchase", "tbrCheckout"})
            QCOMPARE(f.action(QString::fromLatin1(name))->isEnabled(), !idle);
        // A PC that is off has no programs and takes no commands.
        for (const char *name : {"mnuProgramList", "mnuClientControl"})
            QCOMPARE(f.action(QString::fromLatin1(name))->isEnabled(), position != 3);
    }

    void cashierKeysFollowTheCommandStates_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("opens");
        QTest::newRow("F3 on a billing machine") << 2 << int(Qt::Key_F3) << u"CheckoutDialog"_s;
        QTest::newRow("F3 on a standby machine") << 1 << int(Qt::Key_F3) << QString();
        QTest::newRow("F2 on a standby machine") << 1 << int(Qt::Key_F2) << u"SessionStartDialog"_s;
        QTest::newRow("F2 on a billing machine") << 2 << int(Qt::Key_F2) << QString();
        QTest::newRow("F4 on a billing machine") << 2 << int(Qt::Key_F4) << u"ChangeMachineDialog"_s;
        QTest::newRow("F6 on a billing machine") << 2 << int(Qt::Key_F6) << u"PurchaseDialog"_s;
        QTest::newRow("F6 on a machine that is off") << 3 << int(Qt::Key_F6) << QString();
    }
    void cashierKeysFollowTheCommandStates()
    {
        QFETCH(int, position);
        QFETCH(int, key);
        QFETCH(QString, opens);
        Fixture f;
        // The keys stand beside the captions, which stay as they are.
        const std::pair<const char *, QKeySequence> keys[] = {{"mnuStart", QKeySequence(Qt::Key_F2)},
                                                              {"mnuCheckout", QKeySequence(Qt::Key_F3)},
                                                              {"mnuChangeMachine", QKeySequence(Qt::Key_F4)},
                                                              {"mnuPurchase", QKeySequence(Qt::Key_F6)},
                                                              {"mnuRefresh", QKeySequence(Qt::Key_F5)}};
        for (const auto &[name, sequence] : keys)
            QCOMPARE(f.action(QString::fromLatin1(name))->shortcut(), sequence);
        QCOMPARE(f.action(u"mnuCheckout"_s)->text(), u"结帐"_s);
        f.desk.select(position);
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        f.view()->setFocus();
        QCOMPARE(modalOpenedBy([&] { QTest::keyClick(f.view(), Qt::Key(key)); }), opens);
    }

    void typingAMachineNumberSelectsIt_data()
    {
        QTest::addColumn<QString>("typed"); // "," stands for a pause of two seconds
        QTest::addColumn<int>("selected");
        QTest::newRow("one digit") << u"7"_s << 7;
        QTest::newRow("two digits at once") << u"12"_s << 12;
        QTest::newRow("no such machine: the last digit alone") << u"19"_s << 9;
        QTest::newRow("a pause starts anew") << u"1,2"_s << 2;
        QTest::newRow("zero alone selects nothing new") << u"5,0"_s << 5;
        QTest::newRow("three digits") << u"1,1,10"_s << 10;
    }
    void typingAMachineNumberSelectsIt()
    {
        QFETCH(QString, typed);
        QFETCH(int, selected);
        TestDesk d;
        for (int n = 1; n <= 12; ++n)
            d.store.addMachine(n, 3, MachineStatus::Standby);
        d.open();
        MainWindow window(d.desk);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (const QChar c : typed) {
            if (c == u',')
                Clock::advanceSeconds(2);
            else
                QTest::keyClick(window.currentView(), c.toLatin1());
        }
        QCOMPARE(d.desk.selected(), selected);
        QCOMPARE(window.currentView()->currentIndex().row(), selected - 1);
    }

    void dueMarks_data()
    {
        QTest::addColumn<QString>("dueText");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<int>("left"); // -99: none
        QTest::addColumn<int>("mark"); // DueMark
        const QDateTime noon(QDate(2024, 5, 1), QTime(12, 0, 40));
        QTest::newRow("an hour away") << u"5月1日 13:00"_s << noon << 60 << int(DueMark::None);
        QTest::newRow("six minutes") << u"5月1日 12:06"_s << noon << 6 << int(DueMark::None);
        QTest::newRow("five minutes") << u"5月1日 12:05"_s << noon << 5 << int(DueMark::Soon);
        QTest::newRow("one minute") << u"5月1日 12:01"_s << noon << 1 << int(DueMark::Soon);
        QTest::newRow("this minute") << u"5月1日 12:00"_s << noon << 0 << int(DueMark::Due);
        QTest::newRow("past") << u"5月1日 11:30"_s << noon << -30 << int(DueMark::Due);
        QTest::newRow("over new year")
            << u"1月1日 00:03"_s << QDateTime(QDate(2024, 12, 31), QTime(23, 59)) << 4 << int(DueMark::Soon);
        QTest::newRow("no time set") << QString() << noon << -99 << int(DueMark::None);
        QTest::newRow("not a time") << u"通宵方式"_s << noon << -99 << int(DueMark::None);
    }
    void dueMarks()
    {
        QFETCH(QString, dueText);
        QFETCH(QDateTime, now);
        QFETCH(int, left);
        QFETCH(int, mark);
        const std::optional<int> got = minutesLeft(dueText, now);
        QCOMPARE(got.value_or(-99), left);
        QCOMPARE(int(dueMarkFor(got)), mark);
    }

    void machinesAboutToRunOutAreMarkedAndListed()
    {
        Fixture f;
        // Machine 2 runs until 12:04; machine 1 starts now with an hour.
        Machine two = *MachineTable(f.db()).byNumber(2);
        two.due = kNow.addSecs(4 * 60);
        QVERIFY(MachineTable(f.db()).save(two));
        Machine one = f.store.startSession(1, kNow);
        one.due = kNow.addSecs(3600);
        QVERIFY(MachineTable(f.db()).save(one));
        f.desk.refresh();
        auto *model = qobject_cast<MachineListModel *>(f.view()->model());
        QVERIFY(model);
        const QModelIndex second = model->index(1, 0);
        QCOMPARE(int(model->dueMark(2)), int(DueMark::Soon));
        QCOMPARE(int(model->dueMark(1)), int(DueMark::None));
        QVERIFY(model->data(second, Qt::ToolTipRole).toString().endsWith(u"还剩4分钟"_s));
        QVERIFY(!model->data(model->index(0, 0), Qt::ToolTipRole).toString().contains(u"还剩"_s));
        QCOMPARE(model->dueSoon(), QList<int>{2});

        // Time runs out: red, and the list says so.
        Clock::advanceSeconds(5 * 60);
        QSignalSpy repainted(model, &QAbstractItemModel::dataChanged);
        model->refreshDueMarks();
        QCOMPARE(repainted.size(), 1);
        QCOMPARE(int(model->dueMark(2)), int(DueMark::Due));
        QMenu *menu = f.window->findChild<QMenu *>(u"mnuDueSoon"_s);
        emit menu->aboutToShow();
        QCOMPARE(texts(menu->actions()), QStringList{u"2号机  已经到时"_s});
        f.desk.select(1);
        menu->actions().constFirst()->trigger();
        QCOMPARE(f.desk.selected(), 2);
    }

    void noticesLeaveSelectionCountsAndClockInView()
    {
        Fixture f;
        f.desk.select(1);
        f.window->show();
        QStringList panels;
        for (const QString &name : {u"panel1"_s, u"panel2"_s, u"panel3"_s})
            panels << f.window->findChild<QLabel *>(name)->text();
        emit f.desk.statusNotice(u"3号机的客户端已断开，仍在记费"_s);
        auto *notice = f.window->findChild<QLabel *>(u"noticePanel"_s);
        QVERIFY(notice);
        QCOMPARE(notice->text(), u"3号机的客户端已断开，仍在记费"_s);
        QVERIFY(notice->isVisible());
        for (int i = 0; i < 3; ++i) {
            auto *panel = f.window->findChild<QLabel *>(u"panel%1"_s.arg(i + 1));
            QVERIFY(panel->isVisible());
            QCOMPARE(panel->text(), panels.at(i));
        }
    }

    void statesAndPanelFollowEveryPassAndIgnoreUnknownLetters()
    {
        Fixture f;
        f.desk.select(1);
        auto *panel = f.window->findChild<QLabel *>(u"panel1"_s);
        const QString standby = panel->text();
        QVERIFY(!f.action(u"mnuCheckout"_s)->isEnabled());
        MachineTable machines(f.db());
        Machine m = *machines.byNumber(1);
        m.status = MachineStatus::Billing;
        m.start = kNow;
        machines.save(m);
        f.desk.refresh();
        QVERIFY(panel->text() != standby);
        QCOMPARE(panel->text(), f.desk.machineList().tooltip(1));
        QVERIFY(f.action(u"mnuCheckout"_s)->isEnabled());
        QVERIFY(!f.action(u"tbrStart"_s)->isEnabled());

        m.status = MachineStatus::Unknown;
        machines.save(m);
        f.desk.select(3); // off
        f.desk.select(1);
        QVERIFY(f.action(u"mnuStart"_s)->isEnabled()); // as the off machine left them
        QVERIFY(!f.action(u"mnuCheckout"_s)->isEnabled());
    }

    void rightButtonPopsUpTheBillingMenu()
    {
        Fixture f;
        QMenu *menu = f.window->billingMenu();
        QTest::mouseClick(f.view()->viewport(), Qt::RightButton, {}, f.entryCenter(2));
        QCOMPARE(f.desk.selected(), 2);
        QVERIFY(menu->isVisible());
        QCOMPARE(menu->defaultAction(), f.action(u"mnuCheckout"_s));
        menu->hide();
        QCOMPARE(menu->defaultAction(), nullptr);

        QTest::mouseClick(f.view()->viewport(), Qt::RightButton, {}, f.entryCenter(1));
        QCOMPARE(f.desk.selected(), 1);
        QVERIFY(menu->isVisible());
        QCOMPARE(menu->defaultAction(), f.action(u"mnuStart"_s));
        menu->hide();
    }

    void commandsOpenTheirDialogs_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("command"); // an action, or a key or click on the list
        QTest::addColumn<QString>("dialog");  // empty: none opens
        const struct
        {
            const char *row;
            int position;
            const char *command, *dialog;
        } rows[] = {{"limit time", 2, "mnuLimitTime", "SessionStartDialog"},
                    {"checkout", 2, "mnuCheckout", "CheckoutDialog"},
                    {"checkout tool", 2, "tbrCheckout", "CheckoutDialog"},
                    {"change machine", 2, "mnuChangeMachine", "ChangeMachineDialog"},
                    {"purchase", 2, "mnuPurchase", "PurchaseDialog"},
                    {"start tool", 1, "tbrStart", "SessionStartDialog"},
                    {"double-click on billing", 2, "double-click", "CheckoutDialog"},
                    {"Return on standby", 1, "Return", "SessionStartDialog"},
                    {"Enter on off", 3, "Enter", "SessionStartDialog"},
                    // A machine without a session has nothing to settle.
                    {"card request on standby", 1, "card", ""}};
        for (const auto &r : rows)
            QTest::newRow(r.row) << r.position << QString::fromLatin1(r.command)
                                 << QString::fromLatin1(r.dialog);
    }
    void commandsOpenTheirDialogs()
    {
        QFETCH(int, position);
        QFETCH(QString, command);
        QFETCH(QString, dialog);
        Fixture f;
        f.desk.select(position == 2 ? 1 : 2); // the click or key must select it itself
        if (command != u"double-click")
            f.desk.select(position);
        QRect frame;
        QString caption;
        const QString opened = modalOpenedBy(
            [&] {
                const QPoint at = f.entryCenter(position);
                if (command == u"double-click") {
                    // A real double-click: press and release, then the second press.
                    QTest::mouseClick(f.view()->viewport(), Qt::LeftButton, {}, at);
                    QTest::mousePress(f.view()->viewport(), Qt::LeftButton, {}, at);
                    QTest::mouseDClick(f.view()->viewport(), Qt::LeftButton, {}, at);
                } else if (command == u"Return") {
                    QTest::keyClick(f.view(), Qt::Key_Return);
                } else if (command == u"Enter") {
                    QTest::keyClick(f.view(), Qt::Key_Enter);
                } else if (command == u"card") {
                    emit f.desk.checkoutWithCardRequested(u"8001"_s, u"pw"_s);
                } else {
                    f.action(command)->trigger();
                }
            },
            [&](QDialog *d) {
                caption = d->windowTitle();
                frame = d->frameGeometry();
            });
        QCOMPARE(opened, dialog);
        if (dialog == u"CheckoutDialog") {
            QCOMPARE(caption, u"2号机->要结帐？"_s);
            QCOMPARE(frame.top(), f.window->frameGeometry().top() + 100);
        }
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
            [&] { f.action(u"mnuCheckout"_s)->trigger(); },
            [&](QDialog *) {
                Question q;
                q.text = u"1号机要求开机，是否同意？"_s;
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
        QCOMPARE(opened, u"CheckoutDialog"_s);
        QCOMPARE(selectedWhileBlocked, 2);
        QCOMPARE(answer, std::optional<Answer>(Answer::Yes));
        f.desk.questions().setPresenter(nullptr);
    }

    void cardRequestOpensCheckoutWithTheCard_data()
    {
        QTest::addColumn<bool>("duringCheckout");
        QTest::addColumn<QStringList>("opened"); // captions, and the card where it is filled in
        const QString withCard = u"2号机->要结帐？ card 8001/pw"_s;
        QTest::newRow("no checkout open") << false << QStringList{withCard};
        QTest::newRow("during a checkout: follows it") << true << QStringList{u"2号机->要结帐？"_s, withCard};
    }
    void cardRequestOpensCheckoutWithTheCard()
    {
        QFETCH(bool, duringCheckout);
        QFETCH(QStringList, opened);
        Fixture f;
        f.desk.select(2);
        QStringList seen;
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            QString text = dialog->windowTitle();
            if (dialog->findChild<QCheckBox *>(u"chkCard"_s)->isChecked())
                text += u" card "_s + dialog->findChild<QLineEdit *>(u"txtCard"_s)->text() + u'/' +
                        dialog->findChild<QLineEdit *>(u"txtPassword"_s)->text();
            seen << text;
            if (seen.size() == 1 && duringCheckout)
                emit f.desk.checkoutWithCardRequested(u"8001"_s, u"pw"_s);
            dialog->reject();
        });
        closer.start(0);
        if (duringCheckout)
            f.action(u"mnuCheckout"_s)->trigger();
        else
            emit f.desk.checkoutWithCardRequested(u"8001"_s, u"pw"_s);
        QTRY_COMPARE(seen, opened);
        closer.stop();
        // Closing it settles nothing.
        QCOMPARE(MachineTable(f.db()).byNumber(2)->status, MachineStatus::Billing);
        QVERIFY(f.link.sent.isEmpty());
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
