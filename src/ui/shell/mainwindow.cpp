#include "mainwindow.h"

#include "common/clock.h"

#include "ui/reports/reportwindow.h"

#include "accounts/operators.h"
#include "accounts/rights.h"
#include "application.h"
#include "audit/trail.h"
#include "ui/manage/backupcommands.h"
#include "ui/manage/carddialog.h"
#include "ui/billing/changemachinedialog.h"
#include "ui/billing/checkoutdialog.h"
#include "ui/link/clientwindows.h"
#include "ui/manage/customerdialog.h"
#include "desk/commandstates.h"
#include "desk/frontdesk.h"
#include "ui/widgets/fontcolordialog.h"
#include "ui/manage/goodsdialog.h"
#include "helpabout.h"
#include "ui/widgets/listdisplay.h"
#include "lockwindow.h"
#include "logindialog.h"
#include "machinelistmodel.h"
#include "ui/manage/machinesdialog.h"
#include "ui/widgets/messages.h"
#include "ui/manage/operatordialog.h"
#include "ui/reports/printwindow.h"
#include "ui/billing/purchasedialog.h"
#include "ui/reports/reportdialog.h"
#include "reports/reportjob.h"
#include "ui/billing/sessionstartdialog.h"
#include "ui/manage/settingsdialog.h"
#include "ui/reports/shiftwindows.h"
#include "ui/reports/trailwindow.h"
#include "ui/manage/weblistdialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QLoggingCategory>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

Q_LOGGING_CATEGORY(lcMainWindow, "corvana.ui")

MainWindow::MainWindow(FrontDesk &desk, QWidget *parent) : QMainWindow(parent), m_desk(desk)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Corvana"));
    resize(960, 600);

    m_model = new MachineListModel(desk.machineList(), this);
    m_iconView = new QListView(this);
    m_iconView->setObjectName(QStringLiteral("lvwIcons"));
    m_iconView->setModel(m_model);
    m_iconView->setResizeMode(QListView::Adjust);
    m_iconView->setMouseTracking(true);
    m_iconView->setItemDelegate(new IconCellDelegate(m_iconView));
    m_detailsView = new QTreeView(this);
    m_detailsView->setObjectName(QStringLiteral("ListView1"));
    m_detailsView->setModel(m_model);
    m_detailsView->setRootIsDecorated(false);
    m_detailsView->setUniformRowHeights(true);
    m_detailsView->setAllColumnsShowFocus(true);
    m_detailsView->setMouseTracking(true);
    m_detailsView->header()->setDefaultSectionSize(96);
    m_detailsView->setSelectionModel(m_iconView->selectionModel());
    m_grid = new GridDelegate(m_detailsView);
    m_detailsView->setItemDelegate(m_grid);
    for (QAbstractItemView *v :
         {static_cast<QAbstractItemView *>(m_iconView), static_cast<QAbstractItemView *>(m_detailsView)}) {
        v->setSelectionMode(QAbstractItemView::SingleSelection);
        v->setSelectionBehavior(QAbstractItemView::SelectRows);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    }
    connect(m_iconView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid() && current.row() + 1 != m_desk.selected())
                    m_desk.select(current.row() + 1);
            });
    connect(m_iconView, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &i) { m_desk.select(i.row() + 1); });
    connect(m_detailsView, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &i) { m_desk.select(i.row() + 1); });
    for (QAbstractItemView *v :
         {static_cast<QAbstractItemView *>(m_iconView), static_cast<QAbstractItemView *>(m_detailsView)}) {
        connect(v, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &i) {
            m_desk.select(i.row() + 1);
            activateSelected();
        });
        // The billing menu pops up when the right button is released, not on the press.
        v->setContextMenuPolicy(Qt::PreventContextMenu);
        v->installEventFilter(this);
        v->viewport()->installEventFilter(this);
    }

    m_stack = new QStackedWidget(this);
    m_stack->addWidget(m_iconView);
    m_stack->addWidget(m_detailsView);
    setCentralWidget(m_stack);

    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel(this);
        m_panels[i]->setObjectName(QStringLiteral("panel%1").arg(i + 1));
        m_panels[i]->setMinimumWidth(160);
        statusBar()->addWidget(m_panels[i], i == 0 ? 2 : 1);
    }
    // The clock shows whole, weekday included.
    m_panels[2]->setMinimumWidth(m_panels[2]->fontMetrics().horizontalAdvance(QStringLiteral("2026年12月08日00:00:00 星期三")) + 12);
    connect(&desk, &FrontDesk::clockChanged, m_panels[2], &QLabel::setText);
    // The clock's tick is when a machine comes near its time.
    connect(&desk, &FrontDesk::clockChanged, m_model, &MachineListModel::refreshDueMarks);
    connect(&desk, &FrontDesk::countsChanged, m_panels[1], &QLabel::setText);
    // Every pass may have changed the selected machine's state: its commands and its status
    // text follow.
    connect(&desk, &FrontDesk::countsChanged, this, [this] {
        applyCommandStates();
        if (m_desk.selected() > 0)
            m_panels[0]->setText(m_desk.machineList().tooltip(m_desk.selected()));
    });
    connect(&desk, &FrontDesk::checkoutWithCardRequested, this, &MainWindow::openCheckoutWithCard);
    // In a panel of their own: the selection, the counts and the clock stay in view.
    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("noticePanel"));
    statusBar()->addWidget(m_notice, 2);
    m_noticeTimer = new QTimer(this);
    m_noticeTimer->setSingleShot(true);
    connect(m_noticeTimer, &QTimer::timeout, m_notice, &QLabel::clear);
    connect(&desk, &FrontDesk::statusNotice, this, [this](const QString &text) {
        m_notice->setText(text);
        m_noticeTimer->start(kNoticeMs);
    });
    connect(&desk, &FrontDesk::selectionChanged, this, &MainWindow::showSelection);
    connect(&desk.machineList(), &MachineList::rebuilt, this, [this] {
        if (m_desk.selected() > 0)
            showSelection(m_desk.selected(), m_desk.machineList().tooltip(m_desk.selected()));
    });

    m_menus = MainMenus::build(*this);
    connectMenus();
    showProgramListOnArrival(m_desk, this);
    // A restore must not replace the store under a report that reads it.
    connect(&ReportActivity::instance(), &ReportActivity::runningChanged, this, &MainWindow::applyRights);
    setViewMode(ViewMode::Details);
    applyLogin();
    if (desk.storeCreated()) {
        // Started from the wrong folder, the desk would otherwise open an empty café unnoticed.
        m_panels[0]->setText(
            !desk.store().hasOwnFile()
                ? QStringLiteral("已在数据库服务器上新建数据表")
                : QStringLiteral("已新建数据库文件：%1").arg(QDir::toNativeSeparators(desk.store().path())));
    }
    if (desk.selected() > 0)
        showSelection(desk.selected(), desk.machineList().tooltip(desk.selected()));
}

void MainWindow::connectMenus()
{
    const MainMenus &m = m_menus;
    connect(m.machines, &QAction::triggered, this, &MainWindow::openMachines);
    connect(m.operators, &QAction::triggered, this, &MainWindow::openOperators);
    connect(m.settings, &QAction::triggered, this, &MainWindow::openSettings);
    connect(m.backup, &QAction::triggered, this, [this] { backUpData(m_desk, this); });
    connect(m.restore, &QAction::triggered, this, &MainWindow::restoreData);
    connect(m.trail, &QAction::triggered, this, &MainWindow::openTrail);
    connect(m.relogin, &QAction::triggered, this, &MainWindow::logInAgain);
    connect(m.lock, &QAction::triggered, this, &MainWindow::lockDesk);
    connect(m.handOver, &QAction::triggered, this, &MainWindow::handOver);
    connect(m.shiftRecords, &QAction::triggered, this,
            [this] { (new ShiftsWindow(m_desk.shifts(), this))->show(); });
    connect(m.exit, &QAction::triggered, this, &QWidget::close);

    connect(m.start, &QAction::triggered, this, [this] { openSessionStart(false); });
    connect(m.limitTime, &QAction::triggered, this, [this] { openSessionStart(true); });
    connect(m.checkout, &QAction::triggered, this, &MainWindow::openCheckout);
    connect(m.changeMachine, &QAction::triggered, this, &MainWindow::openChangeMachine);
    connect(m.purchase, &QAction::triggered, this, &MainWindow::openPurchase);
    connect(m.programList, &QAction::triggered, this, [this] { openProgramList(m_desk, this); });
    connect(m.clientControl, &QAction::triggered, this, [this] { openClientControl(m_desk, this); });
    // The bold default belongs to the pop-up only.
    connect(m.billing, &QMenu::aboutToHide, this, [this] { m_menus.billing->setDefaultAction(nullptr); });

    connect(m.largeIcons, &QAction::triggered, this, [this] { setViewMode(ViewMode::LargeIcons); });
    connect(m.smallIcons, &QAction::triggered, this, [this] { setViewMode(ViewMode::SmallIcons); });
    connect(m.list, &QAction::triggered, this, [this] { setViewMode(ViewMode::List); });
    connect(m.details, &QAction::triggered, this, [this] { setViewMode(ViewMode::Details); });
    connect(m.refresh, &QAction::triggered, this, [this] { m_desk.refresh(); });
    connect(m.dueSoon, &QMenu::aboutToShow, this, &MainWindow::fillDueSoonMenu);
    connect(m.grid, &QAction::toggled, this, [this](bool on) {
        m_grid->setGrid(on);
        m_detailsView->viewport()->update();
    });
    connect(m.font, &QAction::triggered, this, &MainWindow::chooseFont);
    connect(m.picture, &QAction::triggered, this, &MainWindow::choosePicture);
    connect(m.backgroundColor, &QAction::triggered, this, &MainWindow::chooseBackgroundColor);
    connect(m.defaults, &QAction::triggered, this, [this] { applyDisplaySettings(true); });

    connect(m.goods, &QAction::triggered, this, &MainWindow::openGoods);
    connect(m.customers, &QAction::triggered, this, &MainWindow::openCustomers);
    connect(m.cards, &QAction::triggered, this, &MainWindow::openCards);
    connect(m.quickAddresses, &QAction::triggered, this, [this] { openQuickAddresses(m_desk, this); });
    connect(m.restrictedSites, &QAction::triggered, this, [this] { openRestrictedSites(m_desk, this); });

    for (const MainMenus::ReportEntry &e : m.reportEntries)
        connect(e.action, &QAction::triggered, this, [this, kind = e.kind, preset = e.preset] {
            openReportDialog(m_desk.reports(), kind, preset, this);
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
            [this] { popupUnder(m_menus.toolReports, m_menus.reports); });
    connect(m.toolView, &QAction::triggered, this, [this] { popupUnder(m_menus.toolView, m_menus.view); });
    connect(m.toolHelp, &QAction::triggered, this, [this] { openHelp(this); });
}

void MainWindow::popupUnder(QAction *button, QMenu *menu)
{
    QWidget *w = m_menus.toolbar->widgetForAction(button);
    menu->popup(w ? w->mapToGlobal(QPoint(0, w->height())) : QCursor::pos());
}

void MainWindow::popupBillingMenu(const QPoint &globalPos)
{
    m_menus.billing->setDefaultAction(m_menus.start->isEnabled() ? m_menus.start : m_menus.checkout);
    m_menus.billing->popup(globalPos);
}

void MainWindow::applyRights()
{
    // Without a readable operator table nobody logged in: every command keeps its state.
    if (m_desk.operatorRight().isEmpty())
        return;
    m_menus.applyRights(m_desk.operatorRight(), ReportActivity::instance().running());
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
    QList<QPointer<QWidget>> open{m_goods.data(), m_customers.data(), m_cards.data(), m_trail.data()};
    open << windowsOf<OperatorDialog, MachinesDialog, SettingsDialog, QuickAddressDialog, ShiftsWindow,
                      ReportDialog, ReportWindow, PrintWindow>(*this);
    for (const QPointer<QWidget> &w : open)
        if (w)
            w->close();
}

void MainWindow::applyLogin()
{
    applyRights();
    if (!m_desk.operatorName().isEmpty())
        setWindowTitle(rights::caption(m_desk.operatorName()));
    applyDisplaySettings(false);
    // Whoever logs in works in a shift: the one open, or a new one.
    if (const Result<Shift> shift = m_desk.shifts().open(); !shift)
        m_panels[0]->setText(shift.error());
}

void MainWindow::handOver()
{
    ShiftService shifts = m_desk.shifts();
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
    switch (m_desk.logins().need()) {
    case LoginNeed::Unreadable:
        return;
    case LoginNeed::NoOperators:
        m_desk.setOperator(m_desk.operatorName(), QStringLiteral("D"));
        break;
    case LoginNeed::Ask: {
        LoginDialog dialog(m_desk.logins(), this);
        std::optional<Operator> chosen;
        if (dialog.exec() == QDialog::Accepted)
            chosen = dialog.loggedIn();
        const CurrentOperator now = afterLogin({m_desk.operatorName(), m_desk.operatorRight()}, chosen);
        m_desk.setOperator(now.name, now.right);
        if (chosen) {
            m_desk.record(QStringLiteral("登录"), 0, QStringLiteral("以其他用户登陆"));
            closeOperatorWindows();
        }
        break;
    }
    }
    applyLogin();
}

void MainWindow::applyDisplaySettings(bool restoreDefaults)
{
    const std::optional<DisplaySettings> stored = m_desk.settings().display();
    if (!stored)
        return;
    DisplaySettings shown;
    if (restoreDefaults) {
        if (const Result<> written = m_desk.settings().restoreDisplayDefaults(); !written)
            qCWarning(lcMainWindow) << "default display settings not stored:" << written.error();
    } else {
        shown = *stored;
    }
    m_display = shown;
    for (QAbstractItemView *v :
         {static_cast<QAbstractItemView *>(m_iconView), static_cast<QAbstractItemView *>(m_detailsView)})
        listdisplay::apply(v, shown);
}

void MainWindow::setListFont(const QFont &font, const QColor &color)
{
    m_display.fontName = font.family();
    m_display.fontSize = font.pointSizeF() > 0 ? font.pointSizeF() : 9;
    m_display.bold = font.bold();
    m_display.italic = font.italic();
    m_display.textColor = listdisplay::number(color);
    for (QAbstractItemView *v :
         {static_cast<QAbstractItemView *>(m_iconView), static_cast<QAbstractItemView *>(m_detailsView)})
        listdisplay::apply(v, m_display);
    // A missing operator row only skips the saving.
    if (const Result<> stored = m_desk.settings().storeFont(m_display); !stored)
        qCInfo(lcMainWindow) << "font not stored:" << stored.error();
}

bool MainWindow::setListPicture(const QString &path)
{
    DisplaySettings next = m_display;
    next.background = path;
    if (!listdisplay::apply(m_detailsView, next)) {
        listdisplay::apply(m_detailsView, m_display);
        Messages::tell(
            this, QStringLiteral("错误"),
            QStringLiteral("无法打开图片文件“%1”，背景图片没有改变。").arg(QDir::toNativeSeparators(path)),
            QMessageBox::Critical);
        return false;
    }
    m_display = next;
    listdisplay::apply(m_iconView, m_display);
    if (const Result<> stored = m_desk.settings().storeBackground(path); !stored)
        qCInfo(lcMainWindow) << "background picture not stored:" << stored.error();
    return true;
}

void MainWindow::setListBackgroundColor(const QColor &color)
{
    m_display.backgroundColor = listdisplay::number(color);
    for (QAbstractItemView *v :
         {static_cast<QAbstractItemView *>(m_iconView), static_cast<QAbstractItemView *>(m_detailsView)})
        listdisplay::apply(v, m_display);
    if (const Result<> stored = m_desk.settings().storeBackgroundColor(m_display.backgroundColor); !stored)
        qCInfo(lcMainWindow) << "background colour not stored:" << stored.error();
}

void MainWindow::chooseFont()
{
    FontColorDialog dialog(m_detailsView->font(),
                           listdisplay::color(m_display.textColor, m_detailsView->palette()), this);
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
    const QColor c = QColorDialog::getColor(listdisplay::color(m_display.backgroundColor, palette()), this,
                                            QStringLiteral("背影颜色"));
    if (!c.isValid())
        return;
    setListBackgroundColor(c);
}

void MainWindow::applyCommandStates()
{
    const std::optional<Machine> machine = m_desk.selectedMachine();
    if (!machine)
        return;
    if (const std::optional<CommandStates> states = commandStatesFor(machine->status))
        m_menus.applyStates(*states);
}

void MainWindow::activateSelected()
{
    QApplication::beep();
    const std::optional<Machine> machine = m_desk.selectedMachine();
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
    m_cardPayments.append({m_desk.selected(), card, password});
    runCheckouts(false);
}

void MainWindow::runCheckouts(bool forSelected)
{
    // A client's card payment approved while the operator is checking out waits its turn.
    if (m_checkoutOpen)
        return;
    m_checkoutOpen = true;
    if (forSelected)
        showCheckout(nullptr);
    while (!m_cardPayments.isEmpty()) {
        const CardPayment payment = m_cardPayments.takeFirst();
        m_desk.select(payment.position);
        // Only a running session can be settled; an idle machine has nothing to pay.
        const std::optional<Machine> machine = m_desk.selectedMachine();
        if (machine && machine->inSession())
            showCheckout(&payment);
        else
            qCInfo(lcMainWindow) << "card checkout asked for a machine without a session";
    }
    m_checkoutOpen = false;
}

void MainWindow::showCheckout(const CardPayment *payment)
{
    CheckoutDialog dialog(m_desk, this);
    if (!dialog.isReady())
        return;
    if (payment)
        dialog.useCard(payment->card, payment->password);
    const QRect frame = frameGeometry();
    dialog.move(frame.left() + (frame.width() - dialog.width()) / 2, frame.top() + 100); // 1500 twips
    if (dialog.exec() == QDialog::Accepted && !dialog.outcomeNotice().isEmpty()) {
        m_notice->setText(dialog.outcomeNotice());
        m_noticeTimer->start(kNoticeMs);
    }
}

void MainWindow::openSessionStart(bool limitTime)
{
    if (!m_desk.selectedMachine())
        return;
    SessionStartDialog dialog(
        m_desk, limitTime ? SessionStartDialog::Mode::LimitTime : SessionStartDialog::Mode::Start, this);
    dialog.exec();
}

void MainWindow::openChangeMachine()
{
    if (!m_desk.selectedMachine())
        return;
    ChangeMachineDialog dialog(m_desk, this);
    dialog.exec();
}

void MainWindow::openPurchase()
{
    // Goods go on a running session's bill only; the command may still be enabled from
    // before the session ended.
    const std::optional<Machine> machine = m_desk.selectedMachine();
    if (!machine || !purchaseOffered(machine->status))
        return;
    PurchaseDialog dialog(m_desk, this);
    QRect placed = dialog.frameGeometry();
    placed.moveCenter(frameGeometry().center());
    dialog.move(placed.topLeft());
    dialog.exec();
}

void MainWindow::fillDueSoonMenu()
{
    QMenu *menu = m_menus.dueSoon;
    menu->clear();
    const QList<int> positions = m_model->dueSoon();
    if (positions.isEmpty())
        menu->addAction(QStringLiteral("没有即将到时的机器"))->setEnabled(false);
    for (int position : positions) {
        const MachineList::Entry *e = m_desk.machineList().at(position);
        const int left = std::max(0, m_model->minutesLeftOf(position).value_or(0));
        QAction *a = menu->addAction(
            e->text + (left > 0 ? QStringLiteral("  还剩%1分钟").arg(left) : QStringLiteral("  已经到时")));
        a->setIcon(m_model->data(m_model->index(position - 1, 0), Qt::DecorationRole).value<QIcon>());
        connect(a, &QAction::triggered, this,
                [this, position] { currentView()->setCurrentIndex(m_model->index(position - 1, 0)); });
    }
}

void MainWindow::selectTypedNumber(int digit)
{
    const QDateTime now = Clock::now();
    const int count = m_desk.machineList().count();
    int number = 0;
    // Digits typed within a second make one number; a number no machine has starts anew.
    if (m_typedAt.isValid() && m_typedAt.msecsTo(now) >= 0 && m_typedAt.msecsTo(now) < kTypingMs)
        number = m_typedNumber * 10 + digit;
    if (number < 1 || number > count)
        number = digit;
    m_typedNumber = number;
    m_typedAt = now;
    if (number < 1 || number > count)
        return;
    QAbstractItemView *view = currentView();
    view->setCurrentIndex(m_model->index(number - 1, 0));
    view->scrollTo(view->currentIndex());
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    const bool isView = watched == m_iconView || watched == m_detailsView;
    const bool isViewport = watched == m_iconView->viewport() || watched == m_detailsView->viewport();
    if (isView && event->type() == QEvent::KeyPress) {
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
    if (isViewport && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton)
            popupBillingMenu(mouse->globalPosition().toPoint());
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::setViewMode(ViewMode mode)
{
    if (mode == ViewMode::Details) {
        m_stack->setCurrentWidget(m_detailsView);
        return;
    }
    // Large icons: icons above their names, in rows. Small icons: names beside small icons,
    // in rows. List: the same, in columns.
    const bool large = mode == ViewMode::LargeIcons;
    m_iconView->setViewMode(large ? QListView::IconMode : QListView::ListMode);
    m_iconView->setMovement(QListView::Static);
    m_iconView->setFlow(mode == ViewMode::List ? QListView::TopToBottom : QListView::LeftToRight);
    m_iconView->setWrapping(true);
    m_iconView->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
    m_iconView->setGridSize(large ? QSize(84, 64) : mode == ViewMode::SmallIcons ? QSize(110, 22) : QSize());
    m_stack->setCurrentWidget(m_iconView);
}

QAbstractItemView *MainWindow::currentView() const
{
    return qobject_cast<QAbstractItemView *>(m_stack->currentWidget());
}

void MainWindow::showSelection(int position, const QString &tooltip)
{
    m_panels[0]->setText(tooltip);
    applyCommandStates();
    const QModelIndex index = m_model->index(position - 1, 0);
    if (m_iconView->selectionModel()->currentIndex().row() != index.row())
        m_iconView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                 QItemSelectionModel::Rows);
    if (QAbstractItemView *v = currentView())
        v->setFocus();
}

void MainWindow::openSettings()
{
    SettingsDialog dialog(m_desk.settings(), this);
    dialog.adjustSize();
    QRect placed = dialog.frameGeometry();
    const QScreen *screen = this->screen() ? this->screen() : QApplication::primaryScreen();
    placed.moveCenter(screen->availableGeometry().center());
    dialog.move(placed.topLeft());
    dialog.exec();
}

void MainWindow::openMachines()
{
    MachinesDialog dialog(m_desk.machines(), this);
    connect(&dialog, &MachinesDialog::machinesChanged, &m_desk, &FrontDesk::machinesChanged);
    connect(&dialog, &MachinesDialog::machineRemoved, &m_desk, &FrontDesk::machineRemoved);
    dialog.exec();
}

void MainWindow::openOperators()
{
    OperatorDialog dialog(m_desk.accounts(), m_desk.operatorName(), this);
    connect(&dialog, &OperatorDialog::currentRenamed, this, [this](const QString &name) {
        m_desk.setOperator(name, m_desk.operatorRight());
        setWindowTitle(rights::caption(name));
    });
    dialog.exec();
}

void MainWindow::lockDesk()
{
    // The clients are refused at once; the window with its snapshot of the screen waits until
    // the menu just closed has left the screen and the window behind it has been repainted.
    m_desk.setLocked(true);
    m_desk.record(QStringLiteral("锁定桌面"), 0, QString());
    QTimer::singleShot(200, this, [this] {
        // A top-level window of its own: it covers the screen and blocks this one while shown.
        auto *lock = new LockWindow(m_desk.logins(), m_desk.operatorName(),
                                    [desk = &m_desk](bool on) { desk->setLocked(on); });
        // Named after whoever typed the password, which may be a super administrator.
        connect(lock, &LockWindow::released, &m_desk, [desk = &m_desk](const QString &by) {
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
    showSingle(m_goods, [this] { return new GoodsDialog(m_desk.goods(), this); });
}

void MainWindow::openCustomers()
{
    showSingle(m_customers, [this] { return new CustomerDialog(m_desk.accounts(), this); });
}

void MainWindow::openCards()
{
    showSingle(m_cards, [this] { return new CardDialog(m_desk.accounts(), this); });
}

void MainWindow::openTrail()
{
    showSingle(m_trail, [this] { return new TrailWindow(m_desk.trailView(), this); });
}

void MainWindow::restoreData()
{
    // Windows on the old data go: what they show and would save belongs to it.
    for (QWidget *w : std::initializer_list<QWidget *>{m_goods, m_customers, m_cards, m_trail})
        if (w)
            w->close();
    if (!::restoreData(m_desk, this))
        return;
    hide();
    // The restored store's own operators: a cancelled login ends the program, as at start-up.
    if (!logInAfterRestore(m_desk)) {
        QCoreApplication::exit(0);
        return;
    }
    applyLogin();
    if (m_desk.selected() > 0)
        showSelection(m_desk.selected(), m_desk.machineList().tooltip(m_desk.selected()));
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
