#pragma once

#include "reports/reportrequest.h"

#include <QString>
#include <array>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;
struct CommandStates;

// The main window's menus and toolbar, every entry in its place. The window connects the
// entries to what they do; which of them an operator may use and which fit the selected
// machine is set here.
struct MainMenus
{
    // One entry of the 统计 menu: which report with which period.
    struct ReportEntry
    {
        QAction *action = nullptr;
        ReportKind kind = ReportKind::MachineTime;
        ReportPreset preset = ReportPreset::Daily;
    };

    QMenu *system = nullptr;
    QMenu *billing = nullptr;
    QMenu *view = nullptr;
    QMenu *manage = nullptr;
    QMenu *reports = nullptr;
    QMenu *daily = nullptr;
    QMenu *monthly = nullptr;
    QMenu *help = nullptr;
    QToolBar *toolbar = nullptr;

    // 系统(&S)
    QAction *machines = nullptr;
    QAction *operators = nullptr;
    QAction *backup = nullptr;
    QAction *restore = nullptr;
    QAction *settings = nullptr;
    QAction *relogin = nullptr;
    QAction *lock = nullptr;
    QAction *handOver = nullptr;
    QAction *exit = nullptr;
    // 记费(&M)
    QAction *start = nullptr;
    QAction *limitTime = nullptr;
    QAction *checkout = nullptr;
    QAction *changeMachine = nullptr;
    QAction *purchase = nullptr;
    QAction *programList = nullptr;
    QAction *clientControl = nullptr;
    // 查看(&V)
    QAction *largeIcons = nullptr;
    QAction *smallIcons = nullptr;
    QAction *list = nullptr;
    QAction *details = nullptr;
    QAction *refresh = nullptr;
    // The billing machines about to run out, filled each time it opens.
    QMenu *dueSoon = nullptr;
    QAction *grid = nullptr;
    QAction *font = nullptr;
    QAction *picture = nullptr;
    QAction *backgroundColor = nullptr;
    QAction *defaults = nullptr;
    // 管理(&G)
    QAction *goods = nullptr;
    QAction *customers = nullptr;
    QAction *cards = nullptr;
    QAction *quickAddresses = nullptr;
    QAction *restrictedSites = nullptr;
    QAction *trail = nullptr;
    // 统计(&P): 日报表 ▸ three entries, then 月报表 ▸ three entries
    std::array<ReportEntry, 6> reportEntries;
    // 帮助(&H)
    QAction *shiftRecords = nullptr;
    QAction *helpContents = nullptr;
    QAction *about = nullptr;
    // The toolbar's five buttons
    QAction *toolStart = nullptr;
    QAction *toolCheckout = nullptr;
    QAction *toolReports = nullptr;
    QAction *toolView = nullptr;
    QAction *toolHelp = nullptr;

    // Builds the menu bar and the toolbar of `window`. The billing entries start disabled
    // until a machine is selected; everything else starts enabled.
    static MainMenus build(QMainWindow &window);

    // What the operator's right allows (`Longin`); `restoreBlocked` keeps "数据还原" off while
    // a report reads the store.
    void applyRights(const QString &right, bool restoreBlocked);
    // What fits the selected machine.
    void applyStates(const CommandStates &states);
};
