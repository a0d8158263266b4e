#include "mainwindow.h"

#include "common/clock.h"

#include "ui/reports/reportwindow.h"

#include "accounts/displaysettings.h"
#include "accounts/operators.h"
#include "accounts/rights.h"
#include "application.h"
#include "audit/trail.h"
#include "desk/commandstates.h"
#include "desk/frontdesk.h"
#include "helpabout.h"
#include "lockwindow.h"
#include "logindialog.h"
#include "machinelistmodel.h"
#include "reports/reportjob.h"
#include "ui/billing/changemachinedialog.h"
#include "ui/billing/checkoutdialog.h"
#include "ui/billing/purchasedialog.h"
#include "ui/billing/sessionstartdialog.h"
#include "ui/link/clientwindows.h"
#include "ui/manage/backupcommands.h"
#include "ui/manage/carddialog.h"
#include "ui/manage/customerdialog.h"
#include "ui/manage/goodsdialog.h"
#include "ui/manage/machinesdialog.h"
#include "ui/manage/operatordialog.h"
#include "ui/manage/settingsdialog.h"
#include "ui/manage/weblistdialogs.h"
#include "ui/reports/printwindow.h"
#include "ui/reports/reportdialog.h"
#include "ui/reports/shiftwindows.h"
#include "ui/reports/trailwindow.h"
#include "ui/widgets/fontcolordialog.h"
#include "ui/widgets/listdisplay.h"
#include "ui/widgets/messages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QLoggingCategory>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

Q_LOGGING_CATEGORY(lcMainWindow, "corvana.ui")

namespace {

// How long a notice of the desk or the link stays in the status bar.
constexpr int kNoticeMs = 15000;
// The pause after which a digit typed in the list starts a new machine number.
constexpr int kTypingMs = 1000;

} // namespace

struct MainWindow::Private
{
    FrontDesk &desk;
    // The list's look as the views show it now.
    DisplaySettings display;
    MachineListModel *model = nullptr;
    QStackedWidget *stack = nullptr;
    QListView *iconView = nullptr;
    QTreeView *detailsView = nullptr;
    GridDelegate *grid = nullptr;
    QLabel *panels[3] = {};
    // Notices of the desk and the link, apart from the three panels, for kNoticeMs.
    QLabel *notice = nullptr;
    QTimer *noticeTimer = nullptr;
    MainMenus menus;
    // The machine number being typed in the list, and when its last digit came.
    int typedNumber = 0;
    QDateTime typedAt;
    bool checkoutOpen = false;
    // Card payments of clients approved while a checkout was open, taken up when it closes.
    QList<CardPayment> cardPayments;
    // The management windows: one each, raised when asked for again.
    QPointer<GoodsDialog> goods;
    QPointer<CustomerDialog> customers;
    QPointer<CardDialog> cards;
    QPointer<TrailWindow> trail;
};

MainWindow::MainWindow(FrontDesk &desk, QWidget *parent)
    : QMainWindow(parent), d(std::make_unique<Private>(desk))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Corvana"));
    resize(960, 600);

    d->model = new MachineListModel(desk.machineList(), this);
    d->iconView = new QListView(this);
    d->iconView->setObjectName(QStringLiteral("lvwIcons"));
    d->iconView->setModel(d->model);
    d->iconView->setResizeMode(QListView::Adjust);
    d->iconView->setMouseTracking(true);
    d->iconView->setItemDelegate(new IconCellDelegate(d->iconView));
    d->detailsView = new QTreeView(this);
    d->detailsView->setObjectName(QStringLiteral("ListView1"));
    d->detailsView->setModel(d->model);
    d->detailsView->setRootIsDecorated(false);
    d->detailsView->setUniformRowHeights(true);
    d->detailsView->setAllColumnsShowFocus(true);
    d->detailsView->setMouseTracking(true);
    d->detailsView->header()->setDefaultSectionSize(96);
    d->detailsView->setSelectionModel(d->iconView->selectionModel());
    d->grid = new GridDelegate(d->detailsView);
    d->detailsView->setItemDelegate(d->grid);
    for (QAbstractItemView *v :
         {static_cast<QAbstractItemView *>(d->iconView), static_cast<QAbstractItemView *>(d->detailsView)}) {
        v->setSelectionMode(QAbstractItemView::SingleSelection);
        v->setSelectionBehavior(QAbstractItemView::SelectRows);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    }
    connect(d->iconView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid() && current.row() + 1 != d->desk.selected())
                    d->desk.select(current.row() + 1);
            });
    connect(d->iconView, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &i) { d->desk.select(i.row() + 1); });
    connect(d->detailsView, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &i) { d->desk.select(i.row() + 1); });
    for (QAbstractItemView *v :
         {static_cast<QAbstractItemView *>(d->iconView), static_cast<QAbstractItemView *>(d->detailsView)}) {
        connect(v, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &i) {
            d->desk.select(i.row() + 1);
            activateSelected();
        });
        // The billing menu pops up when the right button is released, not on the press.
        v->setContextMenuPolicy(Qt::PreventContextMenu);
        v->installEventFilter(this);
        v->viewport()->installEventFilter(this);
    }

    d->stack = new QStackedWidget(this);
    d->stack->addWidget(d->iconView);
    d->stack->addWidget(d->detailsView);
    setCentralWidget(d->stack);

    for (int i = 0; i < 3; ++i) {
        d->panels[i] = new QLabel(this);
        d->panels[i]->setObjectName(QStringLiteral("panel%1").arg(i + 1));
        d->panels[i]->setMinimumWidth(160);
        statusBar()->addWidget(d->panels[i], i == 0 ? 2 : 1);
    }
    // The clock shows whole, weekday included.
    d->panels[2]->setMinimumWidth(
        d->panels[2]->fontMetrics().horizontalAdvance(QStringLiteral("2026年12月08日00:00:00 星期三")) + 12);
    connect(&desk, &FrontDesk::clockChanged, d->panels[2], &QLabel::setText);
    // The clock's tick is when a machine comes near its time.
    connect(&desk, &FrontDesk::clockChanged, d->model, &MachineListModel::refreshDueMarks);
    connect(&desk, &FrontDesk::countsChanged, d->panels[1], &QLabel::setText);
    // Every pass may have changed the selected machine's state: its commands and its status
    // text follow.
    connect(&desk, &FrontDesk::countsChanged, this, [this] {
        applyCommandStates();
        if (d->desk.selected() > 0)
            d->panels[0]->setText(d->desk.machineList().tooltip(d->desk.selected()));
    });
    connect(&desk, &FrontDesk::checkoutWithCardRequested, this, &MainWindow::openCheckoutWithCard);
    // In a panel of their own: the selection, the counts and the clock stay in view.
    d->notice = new QLabel(this);
    d->notice->setObjectName(QStringLiteral("noticePanel"));
    statusBar()->addWidget(d->notice, 2);
    d->noticeTimer = new QTimer(this);
    d->noticeTimer->setSingleShot(true);
    connect(d->noticeTimer, &QTimer::timeout, d->notice, &QLabel::clear);
    connect(&desk, &FrontDesk::statusNotice, this, [this](const QString &text) {
        d->notice->setText(text);
        d->noticeTimer->start(kNoticeMs);
    });
    connect(&desk, &FrontDesk::selectionChanged, this, &MainWindow::showSelection);
    connect(&desk.machineList(), &MachineList::rebuilt, this, [this] {
        if (d->desk.selected() > 0)
            showSelection(d->desk.selected(), d->desk.machineList().tooltip(d->desk.selected()));
    });

    d->menus = MainMenus::build(*this);
    connectMenus();
    showProgramListOnArrival(d->desk, this);
    // A restore must not replace the store under a report that reads it.
    connect(&ReportActivity::instance(), &ReportActivity::runningChanged, this, &MainWindow::applyRights);
    setViewMode(ViewMode::Details);
    applyLogin();
    if (desk.storeCreated()) {
        // Started from the wrong folder, the desk would otherwise open an empty café unnoticed.
        d->panels[0]->setText(
            !desk.store().hasOwnFile()
                ? QStringLiteral("已在数据库服务器上新建数据表")
                : QStringLiteral("已新建数据库文件：%1").arg(QDir::toNativeSeparators(desk.store().path())));
    }
    if (desk.selected() > 0)
        showSelection(desk.selected(), desk.machineList().tooltip(desk.selected()));
}

MainWindow::~MainWindow() = default;

const MainMenus &MainWindow::menus() const
{
    return d->menus;
}

QMenu *MainWindow::billingMenu() const
{
    return d->menus.billing;
}

void MainWindow::connectMenus()
{
    const MainMenus &m = d->menus;
    connect(m.machines, &QAction::triggered, this, &MainWindow::openMachines);
    connect(m.operators, &QAction::triggered, this, &MainWindow::openOperators);
    connect(m.settings, &QAction::triggered, this, &MainWindow::openSettings);
    connect(m.backup, &QAction::triggered, this, [this] { backUpData(d->desk, this); });
    connect(m.restore, &QAction::triggered, this, &MainWindow::restoreData);
    connect(m.trail, &QAction::triggered, this, &MainWindow::openTrail);
    connect(m.relogin, &QAction::triggered, this, &MainWindow::logInAgain);
    connect(m.lock, &QAction::triggered, this, &MainWindow::lockDesk);
    connect(m.handOver, &QAction::triggered, this, &MainWindow::handOver);
    connect(m.shiftRecords, &QAction::triggered, this,
            [this] { (new ShiftsWindow(d->desk.shifts(), this))->show(); });
    connect(m.exit, &QAction::triggered, this, &QWidget::close);

    connect(m.start, &QAction::triggered, this, [this] { openSessionStart(false); });
    connect(m.limitTime, &QAction::triggered, this, [this] { openSessionStart(true); });
    connect(m.checkout, &QAction::triggered, this, &MainWindow::openCheckout);
    connect(m.changeMachine, &QAction::triggered, this, &MainWindow::openChangeMachine);
    connect(m.purchase, &QAction::triggered, this, &MainWindow::openPurchase);
    connect(m.programList, &QAction::triggered, this, [this] { openProgramList(d->desk, this); });
    connect(m.clientControl, &QAction::triggered, this, [this] { openClientControl(d->desk, this); });
    // The bold default belongs to the pop-up only.
    connect(m.billing, &QMenu::aboutToHide, this, [this] { d->menus.billing->setDefaultAction(nullptr); });

    connect(m.largeIcons, &QAction::triggered, this, [this] { setViewMode(ViewMode::LargeIcons); });
    connect(m.smallIcons, &QAction::triggered, this, [this] { setViewMode(ViewMode::SmallIcons); });
    connect(m.list, &QAction::triggered, this, [this] { setViewMode(ViewMode::List); });
    connect(m.details, &QAction::triggered, this, [this] { setViewMode(ViewMode::Details); });
    connect(m.refresh, &QAction::triggered, this, [this] { d->desk.refresh(); });
    connect(m.dueSoon, &QMenu::aboutToShow, this, &MainWindow::fillDueSoonMenu);
    connect(m.grid, &QAction::toggled, this, [this](bool on) {
        d->grid->setGrid(on);
        d->detailsView->viewport()->update();
    });
    connect(m.font, &QAction::triggered, this, &MainWindow::chooseFont);
    connect(m.picture, &QAction::triggered, this, &MainWindow::choosePicture);
    connect(m.backgroundColor, &QAction::triggered, this, &MainWindow::chooseBackgroundColor);
    connect(m.defaults, &QAction::triggered, this, [this] { applyDisplaySettings(true); });

    connect(m.goods, &QAction::triggered, this, &MainWindow::openGoods);
    connect(m.customers, &QAction::triggered, this, &MainWindow::openCustomers);
    connect(m.cards, &QAction::triggered, this, &MainWindow::openCards);
    connect(m.quickAddresses, &QAction::triggered, this, [this] { openQuickAddresses(d->desk, this); });
    connect(m.restrictedSites, &QAction::triggered, this, [this] { openRestrictedSites(d->desk, this); });

    for (const MainMenus::ReportEntry &e : m.reportEntries)
        connect(e.action, &QAction::triggered, this, [this, kind = e.kind, preset = e.preset] {
            openReportDialog(d->desk.reports(), kind, preset, this);
        });

    connect(m.helpContents, &QAction::triggered, this, [this] { openHelp(this); });
    connect(m.about, &QAction::triggered, this, [this] {
        AboutDialog about(this);
        about.exec();
    });

    m.toolStart->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    m.toolCheckout->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    m.toolReports->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    m.toolView->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    m.toolHelp->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    connect(m.toolStart, &QAction::triggered, this, [this] { openSessionStart(false); });
    connect(m.toolCheckout, &QAction::triggered, this, &MainWindow::openCheckout);
    connect(m.toolReports, &QAction::triggered, this,
            [this] { popupUnder(d->menus.toolReports, d->menus.reports); });
    connect(m.toolView, &QAction::triggered, this, [this] { popupUnder(d->menus.toolView, d->menus.view); });
    connect(m.toolHelp, &QAction::triggered, this, [this] { openHelp(this); });
}

void MainWindow::popupUnder(QAction *button, QMenu *menu)
{
    QWidget *w = d->menus.toolbar->widgetForAction(button);
    menu->popup(w ? w->mapToGlobal(QPoint(0, w->height())) : QCursor::pos());
}

void MainWindow::popupBillingMenu(const QPoint &globalPos)
{
    d->menus.billing->setDefaultAction(d->menus.start->isEnabled() ? d->menus.start : d->menus.checkout);
    d->menus.billing->popup(globalPos);
}

void MainWindow::applyRights()
{
    // Without a readable operator table nobody logged in: every command keeps its state.
    if (d->desk.operatorRight().isEmpty())
        return;
    d->menus.applyRights(d->desk.operatorRight(), ReportActivity::instance().running());
}

namespace {

// Guarded: closing one window may delete another (a report printed from a shift list).
template <typename... Windows> QList<QPointer<QWidget>> windowsOf(const QWidget &parent)
{
    QList<QPointer<QWidget>> found;
    const auto take = [&found](const auto &windows) {
        for (QWidget *w : windows)
            found << w;
    };
    (take(parent.findChildren<Windows *>()), ...);
    return found;
}

} // namespace

void MainWindow::closeOperatorWindows()
{
    // What one operator opened must not stay usable under the next one's right: the
    // management windows and the reports close, and are opened again under the new right.
    // Modal ones too, should a login come while one is open.
    QList<QPointer<QWidget>> open{d->goods.data(), d->customers.data(), d->cards.data(), d->trail.data()};
    open << windowsOf<OperatorDialog, MachinesDialog, SettingsDialog, QuickAddressDialog, ShiftsWindow,
                      ReportDialog, ReportWindow, PrintWindow>(*this);
    for (const QPointer<QWidget> &w : open)
        if (w)
            w->close();
}

void MainWindow::applyLogin()
{
    applyRights();
    if (!d->desk.operatorName().isEmpty())
        setWindowTitle(rights::caption(d->desk.operatorName()));
    applyDisplaySettings(false);
    // Whoever logs in works in a shift: the one open, or a new one.
    if (const Result<Shift> shift = d->desk.shifts().open(); !shift)
        d->panels[0]->setText(shift.error());
}

void MainWindow::handOver()
{
    ShiftService shifts = d->desk.shifts();
    const Result<Shift> open = shifts.open();
    if (!open) {
        Messages::tell(this, QStringLiteral("错误"), open.error(), QMessageBox::Critical);
        return;
    }
    ShiftDialog dialog(shifts, *open, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    showShiftReport(dialog.handedOver(), shifts.anchor(), this);
    // The next cashier's shift begins with their login.
    logInAgain();
}

void MainWindow::logInAgain()
{
    switch (d->desk.logins().need()) {
    case LoginNeed::Unreadable:
        return;
    case LoginNeed::NoOperators:
        d->desk.setOperator(d->desk.operatorName(), QStringLiteral("D"));
        break;
    case LoginNeed::Ask: {
        LoginDialog dialog(d->desk.logins(), this);
        std::optional<Operator> chosen;
        if (dialog.exec() == QDialog::Accepted)
            chosen = dialog.loggedIn();
        const CurrentOperator now = afterLogin({d->desk.operatorName(), d->desk.operatorRight()}, chosen);
        d->desk.setOperator(now.name, now.right);
        if (chosen) {
            d->desk.record(QStringLiteral("登录"), 0, QStringLiteral("以其他用户登陆"));
            closeOperatorWindows();
        }
        break;
    }
    }
    applyLogin();
}

void MainWindow::applyDisplaySettings(bool restoreDefaults)
{
    const std::optional<DisplaySettings> stored = d->desk.settings().display();
    if (!stored)
        return;
    DisplaySettings shown;
    if (restoreDefaults) {
        if (const Result<> written = d->desk.settings().restoreDisplayDefaults(); !written)
            qCWarning(lcMainWindow) << "default display settings not stored:" << written.error();
    } else {
        shown = *stored;
    }
    d->display = shown;
    for (QAbstractItemView *v :
         {static_cast<QAbstractItemView *>(d->iconView), static_cast<QAbstractItemView *>(d->detailsView)})
        listdisplay::apply(v, shown);
}

void MainWindow::setListFont(const QFont &font, const QColor &color)
{
    d->display.fontName = font.family();
    d->display.fontSize = font.pointSizeF() > 0 ? font.pointSizeF() : 9;
    d->display.bold = font.bold();
    d->display.italic = font.italic();
    d->display.textColor = listdisplay::number(color);
    for (QAbstractItemView *v :
         {static_cast<QAbstractItemView *>(d->iconView), static_cast<QAbstractItemView *>(d->detailsView)})
        listdisplay::apply(v, d->display);
    // A missing operator row only skips the saving.
    if (const Result<> stored = d->desk.settings().storeFont(d->display); !stored)
        qCInfo(lcMainWindow) << "font not stored:" << stored.error();
}

bool MainWindow::setListPicture(const QString &path)
{
    DisplaySettings next = d->display;
    next.background = path;
    if (!listdisplay::apply(d->detailsView, next)) {
        listdisplay::apply(d->detailsView, d->display);
        Messages::tell(
            this, QStringLiteral("错误"),
            QStringLiteral("无法打开图片文件“%1”，背景图片没有改变。").arg(QDir::toNativeSeparators(path)),
            QMessageBox::Critical);
        return false;
    }
    d->display = next;
    listdisplay::apply(d->iconView, d->display);
    if (const Result<> stored = d->desk.settings().storeBackground(path); !stored)
        qCInfo(lcMainWindow) << "background picture not stored:" << stored.error();
    return true;
}

void MainWindow::setListBackgroundColor(const QColor &color)
{
    d->display.backgroundColor = listdisplay::number(color);
    for (QAbstractItemView *v :
         {static_cast<QAbstractItemView *>(d->iconView), static_cast<QAbstractItemView *>(d->detailsView)})
        listdisplay::apply(v, d->display);
    if (const Result<> stored = d->desk.settings().storeBackgroundColor(d->display.backgroundColor); !stored)
        qCInfo(lcMainWindow) << "background colour not stored:" << stored.error();
}

void MainWindow::chooseFont()
{
    FontColorDialog dialog(d->detailsView->font(),
                           listdisplay::color(d->display.textColor, d->detailsView->palette()), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    setListFont(dialog.selectedFont(), dialog.selectedColor());
}

void MainWindow::choosePicture()
{
    const QString path =
        Messages::openFileName(this, QString(), listdisplay::pictureFilter(), QStringLiteral("背景图片"));
    if (path.isEmpty())
        return;
    setListPicture(path);
}

void MainWindow::chooseBackgroundColor()
{
    const QColor c = QColorDialog::getColor(listdisplay::color(d->display.backgroundColor, palette()), this,
                                            QStringLiteral("背影颜色"));
    if (!c.isValid())
        return;
    setListBackgroundColor(c);
}

void MainWindow::applyCommandStates()
{
    const std::optional<Machine> machine = d->desk.selectedMachine();
    if (!machine)
        return;
    if (const std::optional<CommandStates> states = commandStatesFor(machine->status))
        d->menus.applyStates(*states);
}

void MainWindow::activateSelected()
{
    QApplication::beep();
    const std::optional<Machine> machine = d->desk.selectedMachine();
    if (!machine)
        return;
    switch (activationFor(machine->status)) {
    case Activation::Checkout:
        openCheckout();
        break;
    case Activation::SessionStart:
        openSessionStart(false);
        break;
    case Activation::Nothing:
        break;
    }
}

void MainWindow::openCheckout()
{
    runCheckouts(true);
}

void MainWindow::openCheckoutWithCard(const QString &card, const QString &password)
{
    d->cardPayments.append({d->desk.selected(), card, password});
    runCheckouts(false);
}

void MainWindow::runCheckouts(bool forSelected)
{
    // A client's card payment approved while the operator is checking out waits its turn.
    if (d->checkoutOpen)
        return;
    d->checkoutOpen = true;
    if (forSelected)
        showCheckout(nullptr);
    while (!d->cardPayments.isEmpty()) {
        const CardPayment payment = d->cardPayments.takeFirst();
        d->desk.select(payment.position);
        // Only a running session can be settled; an idle machine has nothing to pay.
        const std::optional<Machine> machine = d->desk.selectedMachine();
        if (machine && machine->inSession())
            showCheckout(&payment);
        else
            qCInfo(lcMainWindow) << "card checkout asked for a machine without a session";
    }
    d->checkoutOpen = false;
}

void MainWindow::showCheckout(const CardPayment *payment)
{
    CheckoutDialog dialog(d->desk, this);
    if (!dialog.isReady())
        return;
    if (payment)
        dialog.useCard(payment->card, payment->password);
    const QRect frame = frameGeometry();
    dialog.move(frame.left() + (frame.width() - dialog.width()) / 2, frame.top() + 100); // 1500 twips
    if (dialog.exec() == QDialog::Accepted && !dialog.outcomeNotice().isEmpty()) {
        d->notice->setText(dialog.outcomeNotice());
        d->noticeTimer->start(kNoticeMs);
    }
}

void MainWindow::openSessionStart(bool limitTime)
{
    if (!d->desk.selectedMachine())
        return;
    SessionStartDialog dialog(
        d->desk, limitTime ? SessionStartDialog::Mode::LimitTime : SessionStartDialog::Mode::Start, this);
    dialog.exec();
}

void MainWindow::openChangeMachine()
{
    if (!d->desk.selectedMachine())
        return;
    ChangeMachineDialog dialog(d->desk, this);
    dialog.exec();
}

void MainWindow::openPurchase()
{
    // Goods go on a running session's bill only; the command may still be enabled from
    // before the session ended.
    const std::optional<Machine> machine = d->desk.selectedMachine();
    if (!machine || !purchaseOffered(machine->status))
        return;
    PurchaseDialog dialog(d->desk, this);
    QRect placed = dialog.frameGeometry();
    placed.moveCenter(frameGeometry().center());
    dialog.move(placed.topLeft());
    dialog.exec();
}

void MainWindow::fillDueSoonMenu()
{
    QMenu *menu = d->menus.dueSoon;
    menu->clear();
    const QList<int> positions = d->model->dueSoon();
    if (positions.isEmpty())
        menu->addAction(QStringLiteral("没有即将到时的机器"))->setEnabled(false);
    for (int position : positions) {
        const MachineList::Entry *e = d->desk.machineList().at(position);
        const int left = std::max(0, d->model->minutesLeftOf(position).value_or(0));
        QAction *a = menu->addAction(
            e->text + (left > 0 ? QStringLiteral("  还剩%1分钟").arg(left) : QStringLiteral("  已经到时")));
        a->setIcon(d->model->data(d->model->index(position - 1, 0), Qt::DecorationRole).value<QIcon>());
        connect(a, &QAction::triggered, this,
                [this, position] { currentView()->setCurrentIndex(d->model->index(position - 1, 0)); });
    }
}

void MainWindow::selectTypedNumber(int digit)
{
    const QDateTime now = Clock::now();
    const int count = d->desk.machineList().count();
    int number = 0;
    // Digits typed within a second make one number; a number no machine has starts anew.
    if (d->typedAt.isValid() && d->typedAt.msecsTo(now) >= 0 && d->typedAt.msecsTo(now) < kTypingMs)
        number = d->typedNumber * 10 + digit;
    if (number < 1 || number > count)
        number = digit;
    d->typedNumber = number;
    d->typedAt = now;
    if (number < 1 || number > count)
        return;
    QAbstractItemView *view = currentView();
    view->setCurrentIndex(d->model->index(number - 1, 0));
    view->scrollTo(view->currentIndex());
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The kind first: the views closing after the window's data is gone still send events.
    if (event->type() == QEvent::KeyPress && (watched == d->iconView || watched == d->detailsView)) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            activateSelected();
            return true;
        }
        const auto *press = static_cast<QKeyEvent *>(event);
        if (key >= Qt::Key_0 && key <= Qt::Key_9 &&
            !(press->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier))) {
            selectTypedNumber(key - Qt::Key_0);
            return true;
        }
    }
    if (event->type() == QEvent::MouseButtonRelease &&
        (watched == d->iconView->viewport() || watched == d->detailsView->viewport())) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton)
            popupBillingMenu(mouse->globalPosition().toPoint());
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::setViewMode(ViewMode mode)
{
    if (mode == ViewMode::Details) {
        d->stack->setCurrentWidget(d->detailsView);
        return;
    }
    // Large icons: icons above their names, in rows. Small icons: names beside small icons,
    // in rows. List: the same, in columns.
    const bool large = mode == ViewMode::LargeIcons;
    d->iconView->setViewMode(large ? QListView::IconMode : QListView::ListMode);
    d->iconView->setMovement(QListView::Static);
    d->iconView->setFlow(mode == ViewMode::List ? QListView::TopToBottom : QListView::LeftToRight);
    d->iconView->setWrapping(true);
    d->iconView->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
    d->iconView->setGridSize(large ? QSize(84, 64) : mode == ViewMode::SmallIcons ? QSize(110, 22) : QSize());
    d->stack->setCurrentWidget(d->iconView);
}

QAbstractItemView *MainWindow::currentView() const
{
    return qobject_cast<QAbstractItemView *>(d->stack->currentWidget());
}

void MainWindow::showSelection(int position, const QString &tooltip)
{
    d->panels[0]->setText(tooltip);
    applyCommandStates();
    const QModelIndex index = d->model->index(position - 1, 0);
    if (d->iconView->selectionModel()->currentIndex().row() != index.row())
        d->iconView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
    if (QAbstractItemView *v = currentView())
        v->setFocus();
}

void MainWindow::openSettings()
{
    SettingsDialog dialog(d->desk.settings(), this);
    dialog.adjustSize();
    QRect placed = dialog.frameGeometry();
    const QScreen *screen = this->screen() ? this->screen() : QApplication::primaryScreen();
    placed.moveCenter(screen->availableGeometry().center());
    dialog.move(placed.topLeft());
    dialog.exec();
}

void MainWindow::openMachines()
{
    MachinesDialog dialog(d->desk.machines(), this);
    connect(&dialog, &MachinesDialog::machinesChanged, &d->desk, &FrontDesk::machinesChanged);
    connect(&dialog, &MachinesDialog::machineRemoved, &d->desk, &FrontDesk::machineRemoved);
    dialog.exec();
}

void MainWindow::openOperators()
{
    OperatorDialog dialog(d->desk.accounts(), d->desk.operatorName(), this);
    connect(&dialog, &OperatorDialog::currentRenamed, this, [this](const QString &name) {
        d->desk.setOperator(name, d->desk.operatorRight());
        setWindowTitle(rights::caption(name));
    });
    dialog.exec();
}

void MainWindow::lockDesk()
{
    // The clients are refused at once; the window with its snapshot of the screen waits until
    // the menu just closed has left the screen and the window behind it has been repainted.
    d->desk.setLocked(true);
    d->desk.record(QStringLiteral("锁定桌面"), 0, QString());
    QTimer::singleShot(200, this, [this] {
        // A top-level window of its own: it covers the screen and blocks this one while shown.
        auto *lock = new LockWindow(d->desk.logins(), d->desk.operatorName(),
                                    [desk = &d->desk](bool on) { desk->setLocked(on); });
        // Named after whoever typed the password, which may be a super administrator.
        connect(lock, &LockWindow::released, &d->desk, [desk = &d->desk](const QString &by) {
            desk->record(QStringLiteral("解除锁定"), 0, QString(), by);
        });
        lock->lock();
    });
}

namespace {

// A management window is opened once; asking again brings it to the front.
template <typename Dialog, typename Make> void showSingle(QPointer<Dialog> &window, Make make)
{
    if (!window) {
        window = make();
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void MainWindow::openGoods()
{
    showSingle(d->goods, [this] { return new GoodsDialog(d->desk.goods(), this); });
}

void MainWindow::openCustomers()
{
    showSingle(d->customers, [this] { return new CustomerDialog(d->desk.accounts(), this); });
}

void MainWindow::openCards()
{
    showSingle(d->cards, [this] { return new CardDialog(d->desk.accounts(), this); });
}

void MainWindow::openTrail()
{
    showSingle(d->trail, [this] { return new TrailWindow(d->desk.trailView(), this); });
}

void MainWindow::restoreData()
{
    // Windows on the old data go: what they show and would save belongs to it.
    for (QWidget *w : std::initializer_list<QWidget *>{d->goods, d->customers, d->cards, d->trail})
        if (w)
            w->close();
    if (!::restoreData(d->desk, this))
        return;
    hide();
    // The restored store's own operators: a cancelled login ends the program, as at start-up.
    if (!logInAfterRestore(d->desk)) {
        QCoreApplication::exit(0);
        return;
    }
    applyLogin();
    if (d->desk.selected() > 0)
        showSelection(d->desk.selected(), d->desk.machineList().tooltip(d->desk.selected()));
    show();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    const auto answer =
        Messages::ask(this, QStringLiteral("确实要退出吗？"),
                      QStringLiteral("如果当前还有机器正在记时，将无法正确提示时间！\r\n真的要退出吗？"),
                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Yes)
        event->accept();
    else
        event->ignore();
}
