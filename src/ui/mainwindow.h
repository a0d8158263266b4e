#pragma once

#include <QMainWindow>

class FrontDesk;
class MachineListModel;
class QAbstractItemView;
class QAction;
class QLabel;
class QListView;
class QMenu;
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

    // The "记费(&M)" menu; popped up at `globalPos` with its default entry in bold: "开始记费"
    // when that command is enabled, else "结帐".
    QMenu *billingMenu() const { return m_billingMenu; }
    void popupBillingMenu(const QPoint &globalPos);

    // Checkout of the selected machine; with a card, paid from it once the operator settles.
    // A card checkout asked for while another checkout is open follows when that one closes.
    void openCheckout();
    void openCheckoutWithCard(const QString &card, const QString &password);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void buildBillingMenu();
    void showSelection(int position, const QString &tooltip);
    void applyCommandStates();
    // Double-click or Enter on the selected entry.
    void activateSelected();
    struct CardPayment
    {
        int position = 0;
        QString card;
        QString password;
    };
    void runCheckouts(bool forSelected);
    void showCheckout(const CardPayment *payment);
    void openSessionStart(bool limitTime);
    void openChangeMachine();
    void openPurchase();
    void openSettings();

    FrontDesk &m_desk;
    MachineListModel *m_model;
    QStackedWidget *m_stack;
    QListView *m_iconView;
    QTreeView *m_detailsView;
    QLabel *m_panels[3];
    QMenu *m_billingMenu = nullptr;
    QAction *m_startAction = nullptr;
    QAction *m_limitAction = nullptr;
    QAction *m_checkoutAction = nullptr;
    QAction *m_changeAction = nullptr;
    QAction *m_purchaseAction = nullptr;
    QAction *m_toolStart = nullptr;
    QAction *m_toolCheckout = nullptr;
    bool m_checkoutOpen = false;
    // Card payments of clients approved while a checkout was open, taken up when it closes.
    QList<CardPayment> m_cardPayments;
};
