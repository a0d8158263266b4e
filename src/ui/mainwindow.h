#pragma once

#include <QMainWindow>

class FrontDesk;
class MachineListModel;
class QAbstractItemView;
class QLabel;
class QListView;
class QStackedWidget;
class QTreeView;

// "Corvana": the machine list with its menus, toolbar and status bar.
class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    enum class ViewMode { LargeIcons, SmallIcons, List, Details };

    explicit MainWindow(FrontDesk &desk, QWidget *parent = nullptr);

    void setViewMode(ViewMode mode);
    // The view that shows the list now.
    QAbstractItemView *currentView() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void showSelection(int position, const QString &tooltip);
    void openSettings();

    FrontDesk &m_desk;
    MachineListModel *m_model;
    QStackedWidget *m_stack;
    QListView *m_iconView;
    QTreeView *m_detailsView;
    QLabel *m_panels[3];
};
