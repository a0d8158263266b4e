#include "mainwindow.h"

#include "desk/frontdesk.h"
#include "machinelistmodel.h"
#include "messages.h"
#include "settingsdialog.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>

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
    for (QAbstractItemView *v : {static_cast<QAbstractItemView *>(m_iconView),
                                 static_cast<QAbstractItemView *>(m_detailsView)}) {
        v->setSelectionMode(QAbstractItemView::SingleSelection);
        v->setSelectionBehavior(QAbstractItemView::SelectRows);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    }
    connect(m_iconView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid() && current.row() + 1 != m_desk.selected())
                    m_desk.select(current.row() + 1);
            });
    connect(m_iconView, &QAbstractItemView::clicked, this, [this](const QModelIndex &i) { m_desk.select(i.row() + 1); });
    connect(m_detailsView, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &i) { m_desk.select(i.row() + 1); });

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
    QAction *viewButton = tools->addAction(QStringLiteral("查看"));
    connect(viewButton, &QAction::triggered, this, [view, this] { view->popup(QCursor::pos()); });
}

void MainWindow::setViewMode(ViewMode mode)
{
    if (mode == ViewMode::Details) {
        m_stack->setCurrentWidget(m_detailsView);
        return;
    }
    m_stack->setCurrentWidget(m_iconView);
    m_iconView->setViewMode(mode == ViewMode::List ? QListView::ListMode : QListView::IconMode);
    m_iconView->setFlow(mode == ViewMode::List ? QListView::TopToBottom : QListView::LeftToRight);
    m_iconView->setWrapping(true);
    m_iconView->setIconSize(mode == ViewMode::LargeIcons ? QSize(32, 32) : QSize(16, 16));
    m_iconView->setGridSize(mode == ViewMode::LargeIcons ? QSize(84, 64) : QSize());
    if (mode == ViewMode::SmallIcons)
        m_iconView->setViewMode(QListView::ListMode);
}

QAbstractItemView *MainWindow::currentView() const
{
    return qobject_cast<QAbstractItemView *>(m_stack->currentWidget());
}

void MainWindow::showSelection(int position, const QString &tooltip)
{
    m_panels[0]->setText(tooltip);
    const QModelIndex index = m_model->index(position - 1, 0);
    if (m_iconView->selectionModel()->currentIndex().row() != index.row())
        m_iconView->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
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
    const auto answer = Messages::ask(
        this, QStringLiteral("确实要退出吗？"),
        QStringLiteral("如果当前还有机器正在记时，将无法正确提示时间！\r\n真的要退出吗？"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Yes)
        event->accept();
    else
        event->ignore();
}
