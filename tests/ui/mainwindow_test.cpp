#include "billing/clientlink.h"
#include "common/clock.h"
#include "desk/frontdesk.h"
#include "store/machinetable.h"
#include "support/teststore.h"
#include "ui/changemachinedialog.h"
#include "ui/checkoutdialog.h"
#include "ui/mainwindow.h"
#include "ui/messages.h"
#include "ui/purchasedialog.h"
#include "ui/sessionstartdialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <functional>

namespace {

const QDateTime kNow(QDate(2024, 5, 1), QTime(12, 0));

class FakeLink final : public ClientLink
{
public:
    bool hasConnection(const QString &ip) const override { return !ip.isEmpty(); }
    void SendCommand(const QString &ip, const QString &word, Reach) override { sent << ip + u' ' + word; }
    void sendMessageBox(const QString &, const QString &) override {}
    QStringList sent;
};

// Machine 1 standing by, 2 billing, 3 off.
struct Fixture
{
    Fixture()
    {
        ts.addMachine(1, 3, QStringLiteral("S"), QStringLiteral("10.0.0.1"));
        ts.addMachine(2, 3, QStringLiteral("S"), QStringLiteral("10.0.0.2"));
        ts.addMachine(3, 3, QStringLiteral("N"));
        ts.startSession(2, kNow.addSecs(-3600));
        QString error;
        if (!desk.open(ts.path(), &error))
            qFatal("cannot open the desk: %s", qPrintable(error));
        desk.setLink(&link);
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

    TestStore ts;
    FrontDesk desk;
    FakeLink link;
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
        result << (a->isSeparator() ? QStringLiteral("—") : a->text());
    return result;
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        Clock::fix(kNow);
        Messages::setScripted(true);
    }
    void cleanup()
    {
        Clock::release();
        Messages::setScripted(false);
    }

    void billingMenuAndToolbar()
    {
        Fixture f;
        const QStringList menus = texts(f.window->menuBar()->actions());
        QCOMPARE(menus.indexOf(QStringLiteral("记费(&M)")), menus.indexOf(QStringLiteral("系统(&S)")) + 1);
        QCOMPARE(menus.indexOf(QStringLiteral("查看(&V)")), menus.indexOf(QStringLiteral("记费(&M)")) + 1);
        QCOMPARE(texts(f.window->billingMenu()->actions()),
                 QStringList({QStringLiteral("开始记费"), QStringLiteral("限定时间"), QStringLiteral("—"),
                              QStringLiteral("结帐"), QStringLiteral("—"), QStringLiteral("调换计算机"),
                              QStringLiteral("选购商品")}));
        const QStringList tools =
            texts(f.window->findChild<QToolBar *>(QStringLiteral("Toolbar1"))->actions());
        QCOMPARE(tools.mid(0, 2), QStringList({QStringLiteral("记费"), QStringLiteral("结帐")}));
        QVERIFY(tools.indexOf(QStringLiteral("查看")) > 1);
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
        QCOMPARE(f.action(QStringLiteral("mnuStart"))->isEnabled(), idle);
        QCOMPARE(f.action(QStringLiteral("tbrStart"))->isEnabled(), idle);
        for (const char *name :
             {"mnuLimitTime", "mnuCheckout", "mnuChangeMachine", "mnuPurchase", "tbrCheckout"})
            QCOMPARE(f.action(QString::fromLatin1(name))->isEnabled(), !idle);
    }

    void statesFollowEveryPassAndIgnoreUnknownLetters()
    {
        Fixture f;
        f.desk.select(1);
        QVERIFY(!f.action(QStringLiteral("mnuCheckout"))->isEnabled());
        MachineTable machines(f.desk.db());
        Machine m = *machines.byNumber(1);
        m.status = QStringLiteral("Y");
        m.start = kNow;
        machines.save(m);
        f.desk.refresh();
        QVERIFY(f.action(QStringLiteral("mnuCheckout"))->isEnabled());
        QVERIFY(!f.action(QStringLiteral("tbrStart"))->isEnabled());

        m.status = QStringLiteral("Q");
        machines.save(m);
        f.desk.select(3); // off
        f.desk.select(1);
        QVERIFY(f.action(QStringLiteral("mnuStart"))->isEnabled()); // as the off machine left them
        QVERIFY(!f.action(QStringLiteral("mnuCheckout"))->isEnabled());
    }

    void rightButtonPopsUpTheBillingMenu()
    {
        Fixture f;
        QMenu *menu = f.window->billingMenu();
        QTest::mouseClick(f.view()->viewport(), Qt::RightButton, {}, f.entryCenter(2));
        QCOMPARE(f.desk.selected(), 2);
        QVERIFY(menu->isVisible());
        QCOMPARE(menu->defaultAction(), f.action(QStringLiteral("mnuCheckout")));
        menu->hide();
        QCOMPARE(menu->defaultAction(), nullptr);

        QTest::mouseClick(f.view()->viewport(), Qt::RightButton, {}, f.entryCenter(1));
        QCOMPARE(f.desk.selected(), 1);
        QVERIFY(menu->isVisible());
        QCOMPARE(menu->defaultAction(), f.action(QStringLiteral("mnuStart")));
        menu->hide();
    }

    void doubleClickAndEnterOpenByState()
    {
        Fixture f;
        QRect checkoutFrame;
        QString caption;
        const QString opened = modalOpenedBy(
            [&] {
                // A real double-click: press and release, then the second press.
                QTest::mouseClick(f.view()->viewport(), Qt::LeftButton, {}, f.entryCenter(2));
                QTest::mousePress(f.view()->viewport(), Qt::LeftButton, {}, f.entryCenter(2));
                QTest::mouseDClick(f.view()->viewport(), Qt::LeftButton, {}, f.entryCenter(2));
            },
            [&](QDialog *d) {
                caption = d->windowTitle();
                checkoutFrame = d->frameGeometry();
            });
        QCOMPARE(opened, QStringLiteral("CheckoutDialog"));
        QCOMPARE(caption, QStringLiteral("2号机->要结帐？"));
        QCOMPARE(checkoutFrame.top(), f.window->frameGeometry().top() + 100);

        f.desk.select(1);
        QCOMPARE(modalOpenedBy([&] { QTest::keyClick(f.view(), Qt::Key_Return); }),
                 QStringLiteral("SessionStartDialog"));
        f.desk.select(3);
        QCOMPARE(modalOpenedBy([&] { QTest::keyClick(f.view(), Qt::Key_Enter); }),
                 QStringLiteral("SessionStartDialog"));
    }

    void menuCommandsOpenTheirDialogs()
    {
        Fixture f;
        f.desk.select(2);
        const std::pair<const char *, const char *> commands[] = {{"mnuLimitTime", "SessionStartDialog"},
                                                                  {"mnuCheckout", "CheckoutDialog"},
                                                                  {"tbrCheckout", "CheckoutDialog"},
                                                                  {"mnuChangeMachine", "ChangeMachineDialog"},
                                                                  {"mnuPurchase", "PurchaseDialog"}};
        for (const auto &[action, dialog] : commands)
            QCOMPARE(modalOpenedBy([&] { f.action(QString::fromLatin1(action))->trigger(); }),
                     QString::fromLatin1(dialog));
        f.desk.select(1);
        QCOMPARE(modalOpenedBy([&] { f.action(QStringLiteral("tbrStart"))->trigger(); }),
                 QStringLiteral("SessionStartDialog"));
    }

    void cardRequestOpensCheckoutWithTheCard()
    {
        Fixture f;
        f.desk.select(2);
        bool ticked = false;
        QString card, password;
        const QString opened = modalOpenedBy(
            [&] { emit f.desk.checkoutWithCardRequested(QStringLiteral("8001"), QStringLiteral("pw")); },
            [&](QDialog *d) {
                ticked = d->findChild<QCheckBox *>(QStringLiteral("chkCard"))->isChecked();
                card = d->findChild<QLineEdit *>(QStringLiteral("txtCard"))->text();
                password = d->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->text();
            });
        QCOMPARE(opened, QStringLiteral("CheckoutDialog"));
        QVERIFY(ticked);
        QCOMPARE(card, QStringLiteral("8001"));
        QCOMPARE(password, QStringLiteral("pw"));
        // Closing it settles nothing.
        QCOMPARE(MachineTable(f.desk.db()).byNumber(2)->status, QStringLiteral("Y"));
        QVERIFY(f.link.sent.isEmpty());

        // A machine without a session has nothing to settle.
        f.desk.select(1);
        QCOMPARE(modalOpenedBy([&] {
                     emit f.desk.checkoutWithCardRequested(QStringLiteral("8001"), QStringLiteral("pw"));
                 }),
                 QString());
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
