#include "mainwindow.h"

#include "changemachinedialog.h"
#include "checkoutdialog.h"
#include "desk/commandstates.h"
#include "desk/frontdesk.h"
#include "machinelistmodel.h"
#include "messages.h"
#include "purchasedialog.h"
#include "sessionstartdialog.h"
#include "settingsdialog.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QStatusBar>
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
    m_detailsView = new QTreeView(this);
    m_detailsView->setObjectName(QStringLiteral("ListView1"));
    m_detailsView->setModel(m_model);
    m_detailsView->setRootIsDecorated(false);
    m_detailsView->setUniformRowHeights(true);
    m_detailsView->setAllColumnsShowFocus(true);
    m_detailsView->setMouseTracking(true);
    m_detailsView->header()->setDefaultSectionSize(96);
    m_detailsView->setSelectionModel(m_iconView->selectionModel());
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
    connect(&desk, &FrontDesk::clockChanged, m_panels[2], &QLabel::setText);
    connect(&desk, &FrontDesk::countsChanged, m_panels[1], &QLabel::setText);
    // Every pass may have changed the selected machine's state.
    connect(&desk, &FrontDesk::countsChanged, this, &MainWindow::applyCommandStates);
    connect(&desk, &FrontDesk::checkoutWithCardRequested, this, &MainWindow::openCheckoutWithCard);
    connect(&desk, &FrontDesk::selectionChanged, this, &MainWindow::showSelection);
    connect(&desk.machineList(), &MachineList::rebuilt, this, [this] {
        if (m_desk.selected() > 0)
            showSelection(m_desk.selected(), m_desk.machineList().tooltip(m_desk.selected()));
    });

    buildMenus();
    setViewMode(ViewMode::Details);
    if (desk.selected() > 0)
        showSelection(desk.selected(), desk.machineList().tooltip(desk.selected()));
}

void MainWindow::buildMenus()
{
    QMenu *system = menuBar()->addMenu(QStringLiteral("系统(&S)"));
    system->setObjectName(QStringLiteral("mnuSystem"));
    system->addAction(QStringLiteral("系统设置"), this, &MainWindow::openSettings);
    system->addSeparator();
    system->addAction(QStringLiteral("退出"), this, &QWidget::close);

    buildBillingMenu();

    QMenu *view = menuBar()->addMenu(QStringLiteral("查看(&V)"));
    view->setObjectName(QStringLiteral("mnuView"));
    auto *modes = new QActionGroup(this);
    const std::pair<QString, ViewMode> entries[] = {{QStringLiteral("大图标"), ViewMode::LargeIcons},
                                                    {QStringLiteral("小图标"), ViewMode::SmallIcons},
                                                    {QStringLiteral("列表"), ViewMode::List},
                                                    {QStringLiteral("详细资料"), ViewMode::Details}};
    for (const auto &[caption, mode] : entries) {
        QAction *a = view->addAction(caption, this, [this, mode = mode] { setViewMode(mode); });
        a->setCheckable(true);
        a->setChecked(mode == ViewMode::Details);
        modes->addAction(a);
    }
    view->addSeparator();
    view->addAction(QStringLiteral("刷新"), this, [this] { m_desk.refresh(); });
    QAction *grid = view->addAction(QStringLiteral("显示网格"));
    grid->setCheckable(true);
    connect(grid, &QAction::toggled, this, [this](bool on) {
        m_detailsView->setStyleSheet(on ? QStringLiteral("QTreeView::item { border: 1px solid #d0d0d0; }")
                                        : QString());
    });

    QToolBar *tools = addToolBar(QStringLiteral("工具栏"));
    tools->setObjectName(QStringLiteral("Toolbar1"));
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_toolStart = tools->addAction(QStringLiteral("记费"), this, [this] { openSessionStart(false); });
    m_toolStart->setObjectName(QStringLiteral("tbrStart"));
    m_toolStart->setData(QStringLiteral("记费"));
    m_toolCheckout = tools->addAction(QStringLiteral("结帐"), this, &MainWindow::openCheckout);
    m_toolCheckout->setObjectName(QStringLiteral("tbrCheckout"));
    m_toolCheckout->setData(QStringLiteral("结帐"));
    m_toolStart->setEnabled(false);
    m_toolCheckout->setEnabled(false);
    QAction *viewButton = tools->addAction(QStringLiteral("查看"));
    connect(viewButton, &QAction::triggered, this, [view, this] { view->popup(QCursor::pos()); });
}

void MainWindow::buildBillingMenu()
{
    m_billingMenu = menuBar()->addMenu(QStringLiteral("记费(&M)"));
    m_billingMenu->setObjectName(QStringLiteral("mnuBilling"));
    m_startAction =
        m_billingMenu->addAction(QStringLiteral("开始记费"), this, [this] { openSessionStart(false); });
    m_startAction->setObjectName(QStringLiteral("mnuStart"));
    m_limitAction =
        m_billingMenu->addAction(QStringLiteral("限定时间"), this, [this] { openSessionStart(true); });
    m_limitAction->setObjectName(QStringLiteral("mnuLimitTime"));
    m_billingMenu->addSeparator();
    m_checkoutAction = m_billingMenu->addAction(QStringLiteral("结帐"), this, &MainWindow::openCheckout);
    m_checkoutAction->setObjectName(QStringLiteral("mnuCheckout"));
    m_billingMenu->addSeparator();
    m_changeAction =
        m_billingMenu->addAction(QStringLiteral("调换计算机"), this, &MainWindow::openChangeMachine);
    m_changeAction->setObjectName(QStringLiteral("mnuChangeMachine"));
    m_purchaseAction = m_billingMenu->addAction(QStringLiteral("选购商品"), this, &MainWindow::openPurchase);
    m_purchaseAction->setObjectName(QStringLiteral("mnuPurchase"));
    // Nothing is selected yet: the selection enables what fits.
    for (QAction *a : {m_startAction, m_limitAction, m_checkoutAction, m_changeAction, m_purchaseAction})
        a->setEnabled(false);
    // The bold default belongs to the pop-up only.
    connect(m_billingMenu, &QMenu::aboutToHide, this, [this] { m_billingMenu->setDefaultAction(nullptr); });
}

void MainWindow::popupBillingMenu(const QPoint &globalPos)
{
    m_billingMenu->setDefaultAction(m_startAction->isEnabled() ? m_startAction : m_checkoutAction);
    m_billingMenu->popup(globalPos);
}

void MainWindow::applyCommandStates()
{
    const std::optional<Machine> machine = m_desk.selectedMachine();
    if (!machine)
        return;
    const std::optional<CommandStates> states = commandStatesFor(machine->status);
    if (!states)
        return;
    m_startAction->setEnabled(states->startBilling);
    m_limitAction->setEnabled(states->limitTime);
    m_checkoutAction->setEnabled(states->checkout);
    m_changeAction->setEnabled(states->changeMachine);
    m_purchaseAction->setEnabled(states->purchase);
    m_toolStart->setEnabled(states->toolStart);
    m_toolCheckout->setEnabled(states->toolCheckout);
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
    dialog.exec();
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
    if (!m_desk.selectedMachine())
        return;
    PurchaseDialog dialog(m_desk, this);
    dialog.exec();
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
    SettingsDialog dialog(m_desk.db(), this);
    dialog.exec();
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
