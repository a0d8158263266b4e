#include "menus.h"

#include "accounts/rights.h"
#include "desk/commandstates.h"

#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace {

QAction *entry(QMenu *menu, const QString &text, const char *objectName)
{
    QAction *a = menu->addAction(text);
    a->setObjectName(QString::fromLatin1(objectName));
    return a;
}

QMenu *menu(QMainWindow &window, const QString &title, const char *objectName)
{
    QMenu *m = window.menuBar()->addMenu(title);
    m->setObjectName(QString::fromLatin1(objectName));
    m->menuAction()->setObjectName(QString::fromLatin1(objectName) + QStringLiteral("Title"));
    return m;
}

QAction *button(QToolBar *bar, const QString &caption, const char *objectName)
{
    QAction *a = bar->addAction(caption);
    a->setObjectName(QString::fromLatin1(objectName));
    a->setData(caption); // the button's key is its caption
    return a;
}

} // namespace

MainMenus MainMenus::build(QMainWindow &window)
{
    MainMenus m;

    m.system = menu(window, QStringLiteral("系统(&S)"), "mnuSystem");
    m.machines = entry(m.system, QStringLiteral("计算机设置"), "mnuMachines");
    m.operators = entry(m.system, QStringLiteral("管理员设置"), "mnuOperators");
    m.system->addSeparator();
    m.backup = entry(m.system, QStringLiteral("数据备份"), "mnuBackup");
    m.restore = entry(m.system, QStringLiteral("数据还原"), "mnuRestore");
    m.system->addSeparator();
    m.settings = entry(m.system, QStringLiteral("系统设置"), "mnuSettings");
    m.system->addSeparator();
    m.relogin = entry(m.system, QStringLiteral("以其他用户登陆"), "mnuRelogin");
    m.lock = entry(m.system, QStringLiteral("锁定桌面"), "mnuLock");
    m.handOver = entry(m.system, QStringLiteral("交班"), "mnuHandOver");
    m.handOver->setShortcut(QKeySequence(Qt::Key_F8));
    m.system->addSeparator();
    m.exit = entry(m.system, QStringLiteral("退出"), "mnuExit");

    m.billing = menu(window, QStringLiteral("记费(&M)"), "mnuBilling");
    m.start = entry(m.billing, QStringLiteral("开始记费"), "mnuStart");
    m.limitTime = entry(m.billing, QStringLiteral("限定时间"), "mnuLimitTime");
    m.billing->addSeparator();
    m.checkout = entry(m.billing, QStringLiteral("结帐"), "mnuCheckout");
    m.billing->addSeparator();
    m.changeMachine = entry(m.billing, QStringLiteral("调换计算机"), "mnuChangeMachine");
    m.purchase = entry(m.billing, QStringLiteral("选购商品"), "mnuPurchase");
    m.billing->addSeparator();
    m.programList = entry(m.billing, QStringLiteral("查看当前机程序"), "mnuProgramList");
    m.clientControl = entry(m.billing, QStringLiteral("客户机控制"), "mnuClientControl");
    // The cashier's keys; a disabled entry's key does nothing.
    m.start->setShortcut(QKeySequence(Qt::Key_F2));
    m.checkout->setShortcut(QKeySequence(Qt::Key_F3));
    m.changeMachine->setShortcut(QKeySequence(Qt::Key_F4));
    m.purchase->setShortcut(QKeySequence(Qt::Key_F6));
    // Nothing is selected yet: the selection enables what fits.
    for (QAction *a :
         {m.start, m.limitTime, m.checkout, m.changeMachine, m.purchase, m.programList, m.clientControl})
        a->setEnabled(false);

    m.view = menu(window, QStringLiteral("查看(&V)"), "mnuView");
    auto *modes = new QActionGroup(&window);
    m.largeIcons = entry(m.view, QStringLiteral("大图标"), "mnuLargeIcons");
    m.smallIcons = entry(m.view, QStringLiteral("小图标"), "mnuSmallIcons");
    m.list = entry(m.view, QStringLiteral("列表"), "mnuList");
    m.details = entry(m.view, QStringLiteral("详细资料"), "mnuDetails");
    for (QAction *a : {m.largeIcons, m.smallIcons, m.list, m.details}) {
        a->setCheckable(true);
        modes->addAction(a);
    }
    m.details->setChecked(true);
    m.view->addSeparator();
    m.refresh = entry(m.view, QStringLiteral("刷新"), "mnuRefresh");
    m.refresh->setShortcut(QKeySequence(Qt::Key_F5));

    m.grid = entry(m.view, QStringLiteral("显示网格"), "mnuGrid");
    m.grid->setCheckable(true);
    m.font = entry(m.view, QStringLiteral("字体"), "mnuFont");
    m.picture = entry(m.view, QStringLiteral("背景图片"), "mnuPicture");
    m.backgroundColor = entry(m.view, QStringLiteral("背影颜色"), "mnuBackColor");
    m.defaults = entry(m.view, QStringLiteral("还原为默认"), "mnuDefaults");
    // Beside the display entries, not among them.
    m.view->addSeparator();
    m.dueSoon = m.view->addMenu(QStringLiteral("即将到时"));
    m.dueSoon->setObjectName(QStringLiteral("mnuDueSoon"));

    m.manage = menu(window, QStringLiteral("管理(&G)"), "mnuManage");
    m.goods = entry(m.manage, QStringLiteral("商品资料管理"), "mnuGoods");
    m.customers = entry(m.manage, QStringLiteral("客户管理"), "mnuCustomers");
    m.cards = entry(m.manage, QStringLiteral("储金卡管理"), "mnuCards");
    m.quickAddresses = entry(m.manage, QStringLiteral("快速网址"), "mnuQuickAddresses");
    m.restrictedSites = entry(m.manage, QStringLiteral("访问限制"), "mnuRestrictedSites");
    m.manage->addSeparator();
    m.trail = entry(m.manage, QStringLiteral("操作记录"), "mnuTrail");

    m.reports = menu(window, QStringLiteral("统计(&P)"), "mnuReports");
    m.daily = m.reports->addMenu(QStringLiteral("日报表"));
    m.daily->setObjectName(QStringLiteral("mnuDaily"));
    m.monthly = m.reports->addMenu(QStringLiteral("月报表"));
    m.monthly->setObjectName(QStringLiteral("mnuMonthly"));
    const ReportKind kinds[] = {ReportKind::MachineTime, ReportKind::GoodsSales, ReportKind::Income};
    const char *const names[] = {"mnuDailyMachineTime",   "mnuDailyGoodsSales",   "mnuDailyIncome",
                                 "mnuMonthlyMachineTime", "mnuMonthlyGoodsSales", "mnuMonthlyIncome"};
    for (int i = 0; i < 6; ++i) {
        const ReportPreset preset = i < 3 ? ReportPreset::Daily : ReportPreset::Monthly;
        QMenu *sub = i < 3 ? m.daily : m.monthly;
        m.reportEntries[i] = {entry(sub, reportTypeText(kinds[i % 3]), names[i]), kinds[i % 3], preset};
    }
    m.reports->addSeparator();
    m.shiftRecords = entry(m.reports, QStringLiteral("交班记录"), "mnuShiftRecords");

    m.help = menu(window, QStringLiteral("帮助(&H)"), "mnuHelp");
    m.helpContents = entry(m.help, QStringLiteral("联机帮助"), "mnuHelpContents");
    m.help->addSeparator();
    m.about = entry(m.help, QStringLiteral("关于..."), "mnuAbout");

    m.toolbar = window.addToolBar(QStringLiteral("工具栏"));
    m.toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m.toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m.toolbar->setMovable(false);
    m.toolStart = button(m.toolbar, QStringLiteral("记费"), "tbrStart");
    m.toolCheckout = button(m.toolbar, QStringLiteral("结帐"), "tbrCheckout");
    m.toolReports = button(m.toolbar, QStringLiteral("统计"), "tbrReports");
    m.toolView = button(m.toolbar, QStringLiteral("查看"), "tbrView");
    m.toolHelp = button(m.toolbar, QStringLiteral("帮助"), "tbrHelp");
    m.toolStart->setEnabled(false);
    m.toolCheckout->setEnabled(false);
    return m;
}

void MainMenus::applyRights(const QString &right, bool restoreBlocked)
{
    const auto may = [&right](Command c) { return rights::may(right, c); };
    reports->menuAction()->setEnabled(may(Command::ReportsMenu));
    toolReports->setEnabled(may(Command::ReportsTool));
    const Command reportCommands[] = {Command::DailyMachineTime,  Command::DailyGoodsSales,
                                      Command::DailyIncome,       Command::MonthlyMachineTime,
                                      Command::MonthlyGoodsSales, Command::MonthlyIncome};
    for (int i = 0; i < 6; ++i)
        reportEntries[i].action->setEnabled(may(reportCommands[i]));
    customers->setEnabled(may(Command::Customers));
    cards->setEnabled(may(Command::Cards));
    quickAddresses->setEnabled(may(Command::QuickAddresses));
    trail->setEnabled(may(Command::Trail));
    shiftRecords->setEnabled(may(Command::ShiftRecords));
    machines->setEnabled(may(Command::Machines));
    operators->setEnabled(may(Command::Operators));
    backup->setEnabled(may(Command::Backup));
    restore->setEnabled(may(Command::Restore) && !restoreBlocked);
    settings->setEnabled(may(Command::Settings));
}

void MainMenus::applyStates(const CommandStates &states)
{
    start->setEnabled(states.startBilling);
    limitTime->setEnabled(states.limitTime);
    checkout->setEnabled(states.checkout);
    changeMachine->setEnabled(states.changeMachine);
    purchase->setEnabled(states.purchase);
    programList->setEnabled(states.programList);
    clientControl->setEnabled(states.clientControl);
    toolStart->setEnabled(states.toolStart);
    toolCheckout->setEnabled(states.toolCheckout);
}
