#include "store/machinetable.h"
#include "support/testdesk.h"
#include "support/uitest.h"
#include "ui/changemachinedialog.h"
#include "ui/checkoutdialog.h"
#include "ui/mainwindow.h"
#include "ui/messages.h"
#include "ui/purchasedialog.h"
#include "ui/sessionstartdialog.h"
#include "ui/timedmessagebox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <functional>

namespace {

const QDateTime kNow(QDate(2024, 5, 1), QTime(12, 0));

// Machine 1 standing by, 2 billing, 3 off.
struct Fixture : TestDesk
{
    Fixture()
    {
        store.addMachine(1, 3, MachineStatus::Standby, QStringLiteral("10.0.0.1"));
        store.addMachine(2, 3, MachineStatus::Standby, QStringLiteral("10.0.0.2"));
        store.addMachine(3, 3, MachineStatus::Off);
        store.startSession(2, kNow.addSecs(-3600));
        open();
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

class MainWindowTest : public UiTest
{
    Q_OBJECT

public:
    MainWindowTest() : UiTest(kNow) {}

private slots:
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
        MachineTable machines(f.db());
        Machine m = *machines.byNumber(1);
        m.status = MachineStatus::Billing;
        m.start = kNow;
        machines.save(m);
        f.desk.refresh();
        QVERIFY(f.action(QStringLiteral("mnuCheckout"))->isEnabled());
        QVERIFY(!f.action(QStringLiteral("tbrStart"))->isEnabled());

        m.status = MachineStatus::Unknown;
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
        QCOMPARE(MachineTable(f.db()).byNumber(2)->status, MachineStatus::Billing);
        QVERIFY(f.link.sent.isEmpty());

        // A machine without a session has nothing to settle.
        f.desk.select(1);
        QCOMPARE(modalOpenedBy([&] {
                     emit f.desk.checkoutWithCardRequested(QStringLiteral("8001"), QStringLiteral("pw"));
                 }),
                 QString());
    }

    void timedQuestionIsAnsweredOverAnOpenDialog()
    {
        // A client's question arrives while the operator has checkout open: its box must take
        // the operator's click, not wait behind the dialog.
        Fixture f;
        TimedQuestionPresenter presenter(f.window.get());
        f.desk.questions().setPresenter(&presenter);
        f.desk.select(2);
        std::optional<Answer> answer;
        int selectedWhileBlocked = 0;
        const QString opened = modalOpenedBy(
            [&] { f.action(QStringLiteral("mnuCheckout"))->trigger(); },
            [&](QDialog *) {
                Question q;
                q.text = QStringLiteral("1号机要求开机，是否同意？");
                f.desk.questions().ask(q, [&](Answer a) { answer = a; });
                TimedMessageBox *box = presenter.currentBox();
                QVERIFY(QTest::qWaitForWindowExposed(box));
                // Clicks go through the window system, which holds them back from blocked
                // windows: the list behind the dialog is not reached, the box is.
                QTest::mouseClick(f.window->windowHandle(), Qt::LeftButton, {},
                                  f.view()->viewport()->mapTo(f.window.get(), f.entryCenter(3)));
                selectedWhileBlocked = f.desk.selected();
                QPushButton *yes = box->firstButton();
                QTest::mouseClick(box->windowHandle(), Qt::LeftButton, {},
                                  yes->mapTo(box, yes->rect().center()));
            });
        QCOMPARE(opened, QStringLiteral("CheckoutDialog"));
        QCOMPARE(selectedWhileBlocked, 2);
        QCOMPARE(answer, std::optional<Answer>(Answer::Yes));
        f.desk.questions().setPresenter(nullptr);
    }

    void cardRequestDuringACheckoutFollowsIt()
    {
        Fixture f;
        f.desk.select(2);
        QStringList opened; // captions, "+card" where the card is filled in
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            const bool card = dialog->findChild<QCheckBox *>(QStringLiteral("chkCard"))->isChecked();
            opened << dialog->windowTitle() + (card ? QStringLiteral("+card") : QString());
            if (opened.size() == 1)
                emit f.desk.checkoutWithCardRequested(QStringLiteral("8001"), QStringLiteral("pw"));
            dialog->reject();
        });
        closer.start(0);
        f.action(QStringLiteral("mnuCheckout"))->trigger();
        closer.stop();
        QCOMPARE(opened,
                 (QStringList{QStringLiteral("2号机->要结帐？"), QStringLiteral("2号机->要结帐？+card")}));
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
