#pragma once

#include "menus.h"

#include <QMainWindow>
#include <memory>

class FrontDesk;
class QAbstractItemView;
class QAction;
class QMenu;

// "Corvana": the machine list with its menus, toolbar and status bar.
class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    enum class ViewMode { LargeIcons, SmallIcons, List, Details };

    // The operator logged in before the window was made (see logInAtStart); the window
    // applies that operator's rights, caption and display settings.
    explicit MainWindow(FrontDesk &desk, QWidget *parent = nullptr);
    ~MainWindow() override;

    void setViewMode(ViewMode mode);
    // The view that shows the list now.
    QAbstractItemView *currentView() const;
    const MainMenus &menus() const;

    // The "记费(&M)" menu; popped up at `globalPos` with its default entry in bold: "开始记费"
    // when that command is enabled, else "结帐".
    QMenu *billingMenu() const;
    void popupBillingMenu(const QPoint &globalPos);

    // Checkout of the selected machine; with a card, paid from it once the operator settles.
    // A card checkout asked for while another checkout is open follows when that one closes.
    void openCheckout();
    void openCheckoutWithCard(const QString &card, const QString &password);

    // "以其他用户登陆": the login dialog again; a cancel keeps the operator logged in. Then the
    // rights, the caption and the display settings are applied again.
    void logInAgain();
    // "交班": the open shift handed over, its report shown, and the next operator asked to log in.
    void handOver();
    // The logged-in operator's rights, caption and display settings.
    void applyLogin();
    void closeOperatorWindows();
    // The logged-in operator's display settings on the list, or ("还原为默认") the defaults,
    // also written into the operator's row.
    void applyDisplaySettings(bool restoreDefaults);

    // The display commands with the dialog's choice already made (the dialogs call these).
    void setListFont(const QFont &font, const QColor &color);
    // False (and nothing stored) when the picture does not load.
    bool setListPicture(const QString &path);
    void setListBackgroundColor(const QColor &color);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void connectMenus();
    void showSelection(int position, const QString &tooltip);
    void applyCommandStates();
    void applyRights();
    // Double-click or Enter on the selected entry.
    void activateSelected();
    // A digit typed in the list: selects the machine of the number typed so far.
    void selectTypedNumber(int digit);
    // "即将到时": the machines about to run out, each selecting its machine.
    void fillDueSoonMenu();
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
    void openMachines();
    void openOperators();
    void lockDesk();
    void openGoods();
    void openCustomers();
    void openCards();
    void openTrail();
    // "数据还原", then the window starts again on the restored store: hidden, a login, the
    // operator's display, the list rebuilt, shown.
    void restoreData();
    void chooseFont();
    void choosePicture();
    void chooseBackgroundColor();
    void popupUnder(QAction *button, QMenu *menu);

    struct Private;
    std::unique_ptr<Private> d;
};
