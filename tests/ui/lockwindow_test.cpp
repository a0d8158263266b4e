#include "accounts/guessthrottle.h"
#include "store/accounttables.h"
#include "support/testcommands.h"
#include "support/teststore.h"
#include "support/uitest.h"
#include "ui/shell/lockwindow.h"
#include "ui/widgets/messages.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2026, 3, 1), QTime(9, 0));

// clerk (A) locks; boss (D) and mgr (C) exist too.
struct Fixture
{
    Fixture()
    {
        store.addOperator(u"boss"_s, u"pw"_s, u"D"_s);
        store.addOperator(u"clerk"_s, u"c1"_s, u"A"_s);
        store.addOperator(u"mgr"_s, u"m1"_s, u"C"_s);
        window = new LockWindow({store.db(), commands.runner, throttle}, u"clerk"_s, [this](bool on) { locked = on; });
        window->lock();
    }
    ~Fixture() { delete window.data(); }
    void attempt(const QString &name, const QString &password, const char *button = "cmdUnlock")
    {
        child<QLineEdit>(*window, "txtAdmin")->setText(name);
        child<QLineEdit>(*window, "txtPassword")->setText(password);
        QTest::mouseClick(child<QPushButton>(*window, button), Qt::LeftButton);
    }

    TestStore store;
    TestCommands commands{store.db()};
    GuessThrottle throttle;
    bool locked = false;
    QPointer<LockWindow> window;
};

} // namespace

class LockWindowTest : public UiTest
{
    Q_OBJECT

public:
    LockWindowTest() : UiTest(kNow) {}

private slots:
    void coversAndBlocks()
    {
        Fixture f;
        QVERIFY(f.locked);
        QCOMPARE(f.window->objectName(), u"frmScreen"_s);
        QVERIFY(f.window->isFullScreen());
        QVERIFY(f.window->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(child<QLabel>(*f.window, "lblText")->text(),
                 u"该计算机已经被 clerk 锁定，只有超级管理员和clerk才能解除锁定"_s);
        // Every other window of the program is blocked.
        QCOMPARE(QApplication::activeModalWidget(), f.window.data());
        QWidget other;
        auto *button = new QPushButton(u"x"_s, &other);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        QSignalSpy clicks(button, &QPushButton::clicked);
        // Through the window system, as a real click arrives.
        const QPoint at = button->mapTo(&other, button->rect().center());
        QTest::mouseClick(other.windowHandle(), Qt::LeftButton, {}, at);
        QCOMPARE(clicks.size(), 0);
        delete f.window.data(); // released: the same click now reaches the button
        QTest::mouseClick(other.windowHandle(), Qt::LeftButton, {}, at);
        QCOMPARE(clicks.size(), 1);
    }

    void cannotBeClosedOrEscaped()
    {
        Fixture f;
        QVERIFY(!f.window->close());
        QTest::keyClick(f.window.data(), Qt::Key_Escape);
        QTest::keyClick(f.window.data(), Qt::Key_F4, Qt::AltModifier);
        QVERIFY(f.window && f.window->isVisible());
        QVERIFY(f.locked);
    }

    void releasedOnlyByItsOperatorOrASuper_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("released");
        QTest::addColumn<QByteArray>("button");
        QTest::newRow("locking operator") << u"clerk"_s << u"c1"_s << true << "cmdUnlock"_ba;
        QTest::newRow("super, by the click area") << u"boss"_s << u"pw"_s << true << "picUnlock"_ba;
        QTest::newRow("a manager") << u"mgr"_s << u"m1"_s << false << "cmdUnlock"_ba;
        QTest::newRow("wrong password") << u"clerk"_s << u"pw"_s << false << "cmdUnlock"_ba;
    }

    void releasedOnlyByItsOperatorOrASuper()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(bool, released);
        QFETCH(QByteArray, button);
        Fixture f;
        QSignalSpy spy(f.window.data(), &LockWindow::released);
        f.attempt(name, password, button.constData());
        QCOMPARE(spy.size(), released ? 1 : 0);
        if (released) // the trail names whoever unlocked, not who locked
            QCOMPARE(spy.at(0).at(0).toString(), name);
        QCOMPARE(f.locked, !released);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(f.window.isNull(), released);
        QVERIFY(Messages::takeShownTexts().isEmpty()); // a failed attempt says nothing
    }
};

QTEST_MAIN(LockWindowTest)
#include "lockwindow_test.moc"
