#include "ui/widgets/sound.h"
#include "ui/widgets/timedmessagebox.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Answer)
Q_DECLARE_METATYPE(Question::Buttons)

namespace {

Question question(const QString &text, Question::Buttons buttons, int seconds)
{
    Question q;
    q.text = text;
    q.buttons = buttons;
    q.seconds = seconds;
    return q;
}

QList<TimedMessageBox *> visibleBoxes(QWidget *window)
{
    QList<TimedMessageBox *> result;
    for (TimedMessageBox *box : window->findChildren<TimedMessageBox *>())
        if (box->isVisible())
            result << box;
    return result;
}

QStringList labelTexts(const QWidget &box)
{
    QStringList texts;
    for (QLabel *label : box.findChildren<QLabel *>())
        texts << label->text();
    return texts;
}

// "可乐" and its quantity, padded as goods lists are.
QString goodsLine(const QString &name, int padding, int quantity)
{
    return name + QString(padding, u' ') + u"数量：%1\r\n"_s.arg(quantity);
}

// How the operator deals with a box.
enum class Reply { None, First, Second, Close, Escape };

} // namespace

Q_DECLARE_METATYPE(Reply)

class TimedMessageBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_window = new QWidget;
        m_window->resize(400, 300);
        m_window->show();
    }
    void cleanup()
    {
        delete m_window;
        Sound::setDirectory(QString());
    }

    void answersOnce_data();
    void answersOnce();
    void looksByMode_data();
    void looksByMode();
    void everyLineOfAGoodsListIsShown_data();
    void everyLineOfAGoodsListIsShown();
    void queueShowsOneBoxAtATime();
    void queuedTimeOutStartsWhenShown();
    void boxTakenAwayAnswersOnce_data();
    void boxTakenAwayAnswersOnce();
    void longQuestionFitsTheScreen();

private:
    QWidget *m_window = nullptr;
};

void TimedMessageBoxTest::answersOnce_data()
{
    QTest::addColumn<Question::Buttons>("buttons");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<Reply>("reply"); // None: left alone until its time is out
    QTest::addColumn<bool>("sound");  // false: the sound file is missing
    QTest::addColumn<Answer>("expected");
    using B = Question::Buttons;
    QTest::newRow("left alone: no") << B::YesNo << 1 << Reply::None << true << Answer::No;
    QTest::newRow("left alone: cancel") << B::OkCancel << 1 << Reply::None << true << Answer::Cancel;
    QTest::newRow("left alone: ok only") << B::OkOnly << 1 << Reply::None << true << Answer::Ok;
    QTest::newRow("first: ok") << B::OkCancel << 1 << Reply::First << true << Answer::Ok;
    QTest::newRow("first: yes") << B::YesNo << 1 << Reply::First << true << Answer::Yes;
    QTest::newRow("first, without the sound file") << B::YesNo << 1 << Reply::First << false << Answer::Yes;
    QTest::newRow("close control: no") << B::YesNo << 15 << Reply::Close << true << Answer::No;
    QTest::newRow("escape: cancel") << B::OkCancel << 15 << Reply::Escape << true << Answer::Cancel;
    QTest::newRow("untimed, second: no") << B::YesNo << 0 << Reply::Second << true << Answer::No;
}

void TimedMessageBoxTest::answersOnce()
{
    QFETCH(Question::Buttons, buttons);
    QFETCH(int, seconds);
    QFETCH(Reply, reply);
    QFETCH(bool, sound);
    QFETCH(Answer, expected);
    QTemporaryDir empty;
    if (!sound)
        Sound::setDirectory(empty.path());
    TimedMessageBox box(question(u"3号机要求开机，是否同意？"_s, buttons, seconds), m_window);
    QSignalSpy spy(&box, &TimedMessageBox::answered);
    box.open();
    QVERIFY(box.isVisible());
    if (!sound)
        QVERIFY(!box.soundStarted()); // it still asks
    switch (reply) {
    case Reply::None:
        QVERIFY(spy.wait(10000));
        QCOMPARE(box.count(), 10);
        QCOMPARE(box.progress(), 100);
        break;
    case Reply::First:
    case Reply::Second:
        QTest::qWait(250);
        QTest::mouseClick(reply == Reply::First ? box.firstButton() : box.secondButton(), Qt::LeftButton);
        break;
    case Reply::Close:
        QVERIFY(box.close());
        break;
    case Reply::Escape:
        QTest::keyClick(&box, Qt::Key_Escape);
        break;
    }
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).value<Answer>(), expected);
    QVERIFY(!box.isVisible());
    // The countdown stops with the answer: nothing follows, not even the time-out.
    const int count = box.count();
    QTest::qWait(seconds == 1 ? 1200 : 300);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(box.count(), count);
    if (reply != Reply::None && seconds > 0)
        QVERIFY(box.progress() < 100);
}

void TimedMessageBoxTest::looksByMode_data()
{
    QTest::addColumn<Question::Buttons>("buttons");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("title"); // empty: the program's name
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second"); // empty: hidden
    using B = Question::Buttons;
    QTest::newRow("yes/no") << B::YesNo << 15 << QString() << u"是(&Y)"_s << u"否(&N)"_s;
    QTest::newRow("ok/cancel") << B::OkCancel << 15 << QString() << u"确定"_s << u"取消"_s;
    QTest::newRow("ok only") << B::OkOnly << 15 << QString() << u"确定"_s << QString();
    QTest::newRow("titled") << B::YesNo << 90 << u"有人要商品"_s << u"是(&Y)"_s << u"否(&N)"_s;
    QTest::newRow("untimed yes/no: no countdown") << B::YesNo << 0 << QString() << u"是"_s << u"否"_s;
}

void TimedMessageBoxTest::looksByMode()
{
    QFETCH(Question::Buttons, buttons);
    QFETCH(int, seconds);
    QFETCH(QString, title);
    QFETCH(QString, first);
    QFETCH(QString, second);
    Question q = question(u"问题"_s, buttons, seconds);
    q.title = title;
    TimedMessageBox box(q, m_window);
    QSignalSpy spy(&box, &TimedMessageBox::answered);
    auto *line = box.findChild<QLabel *>(u"countdown"_s);
    const QString countdown = u"窗口将在%1秒后关闭"_s.arg(seconds);
    QCOMPARE(line != nullptr, seconds > 0);
    QCOMPARE(box.findChild<QProgressBar *>() != nullptr, seconds > 0);
    box.open();
    QCOMPARE(box.firstButton()->text(), first);
    QVERIFY(box.firstButton()->isVisible());
    QCOMPARE(box.secondButton()->isVisible(), !second.isEmpty());
    if (!second.isEmpty())
        QCOMPARE(box.secondButton()->text(), second);
    QCOMPARE(box.windowTitle(), title.isEmpty() ? QApplication::applicationDisplayName() : title);
    QVERIFY(box.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(box.isModal() || box.windowModality() != Qt::NonModal);
    // The countdown runs (an untimed box never counts), its line is written once.
    QTest::qWait(350);
    QCOMPARE(box.count() > 0, seconds > 0);
    if (line)
        QCOMPARE(line->text(), countdown);
    QVERIFY(spy.isEmpty());
}

void TimedMessageBoxTest::everyLineOfAGoodsListIsShown_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("waited");
    QTest::addColumn<QStringList>("shown"); // texts that some label must show
    const QString head = u"5号机要求选择下列商品，是否同意？"_s;
    QTest::newRow("padded list") << head + u"\r\n"_s + goodsLine(u"可乐"_s, 46, 2) +
                                        goodsLine(u"矿泉水"_s, 44, 1)
                                 << 0
                                 << QStringList{head, u"可乐"_s, u"数量：2"_s, u"矿泉水"_s, u"数量：1"_s};
    // A name too long for any padding runs into its quantity: shown as it came.
    const QString unpadded =
        head + u"\r\n"_s + goodsLine(u"可乐"_s, 46, 2) + QString(30, QChar(u'长')) + u"数量：1\r\n"_s;
    QTest::newRow("unpadded line") << unpadded << 0
                                   << QStringList{QString(unpadded).replace(u"\r\n"_s, u"\n"_s)};
    // The list, still a grid, with the time it waited and its shortened end.
    QTest::newRow("waited, shortened")
        << head + u"\r\n"_s + goodsLine(u"可乐"_s, 46, 2) + u"……等共30项\r\n"_s << 42
        << QStringList{u"数量：2"_s, u"（已等待42秒）"_s, u"……等共30项"_s};
}

void TimedMessageBoxTest::everyLineOfAGoodsListIsShown()
{
    QFETCH(QString, text);
    QFETCH(int, waited);
    QFETCH(QStringList, shown);
    Question q = question(text, Question::Buttons::YesNo, 90);
    q.waitedSeconds = waited;
    TimedMessageBox box(q, m_window);
    const QStringList labels = labelTexts(box);
    for (const QString &expected : shown)
        QVERIFY2(labels.contains(expected), qPrintable(expected));
    QCOMPARE(box.findChild<QLabel *>(u"waited"_s) != nullptr, waited > 0);
}

void TimedMessageBoxTest::queueShowsOneBoxAtATime()
{
    QuestionQueue queue;
    TimedQuestionPresenter presenter(m_window);
    queue.setPresenter(&presenter);
    QList<Answer> first, second;
    queue.ask(question(u"1号机要求开机，是否同意？"_s, Question::Buttons::YesNo, 15),
              [&](Answer a) { first << a; });
    queue.ask(question(u"2号机要求开机，是否同意？"_s, Question::Buttons::YesNo, 15),
              [&](Answer a) { second << a; });

    QTRY_COMPARE(visibleBoxes(m_window).size(), 1);
    TimedMessageBox *box = visibleBoxes(m_window).first();
    QCOMPARE(box->question().text, u"1号机要求开机，是否同意？"_s);
    QTest::qWait(200);
    QCOMPARE(visibleBoxes(m_window).size(), 1);

    QTest::mouseClick(box->firstButton(), Qt::LeftButton);
    QCOMPARE(first, QList<Answer>{Answer::Yes});
    QVERIFY(second.isEmpty());
    QTRY_COMPARE(visibleBoxes(m_window).size(), 1);
    box = visibleBoxes(m_window).first();
    QCOMPARE(box->question().text, u"2号机要求开机，是否同意？"_s);
    QCOMPARE(presenter.currentBox(), box);

    QTest::mouseClick(box->secondButton(), Qt::LeftButton);
    QCOMPARE(first, QList<Answer>{Answer::Yes});
    QCOMPARE(second, QList<Answer>{Answer::No});
    QTRY_COMPARE(m_window->findChildren<TimedMessageBox *>().size(), 0); // closed boxes go away
    QCOMPARE(queue.pending(), 0);
}

void TimedMessageBoxTest::queuedTimeOutStartsWhenShown()
{
    QuestionQueue queue;
    TimedQuestionPresenter presenter(m_window);
    queue.setPresenter(&presenter);
    QList<int> countsWhenShown, progressWhenShown;
    connect(&presenter, &TimedQuestionPresenter::boxShown, this, [&](TimedMessageBox *box) {
        countsWhenShown << box->count();
        progressWhenShown << box->progress();
    });
    QList<Answer> answers;
    QList<int> countsWhenAnswered;
    for (int i = 0; i < 2; ++i)
        queue.ask(question(u"问题"_s, Question::Buttons::YesNo, 1), [&](Answer a) {
            answers << a;
            countsWhenAnswered << presenter.currentBox()->count();
        });

    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 2, 10000);
    QCOMPARE(answers, (QList<Answer>{Answer::No, Answer::No}));
    QCOMPARE(countsWhenShown, (QList<int>{0, 0}));
    QCOMPARE(progressWhenShown, (QList<int>{0, 0}));
    // Each box ran its own full countdown.
    QCOMPARE(countsWhenAnswered, (QList<int>{10, 10}));
}

void TimedMessageBoxTest::boxTakenAwayAnswersOnce_data()
{
    QTest::addColumn<bool>("closeWindow"); // else the question is withdrawn
    QTest::addColumn<Question::Buttons>("buttons");
    QTest::addColumn<Answer>("expected");
    QTest::newRow("the window closes") << true << Question::Buttons::OkCancel << Answer::Cancel;
    QTest::newRow("the question is withdrawn") << false << Question::Buttons::YesNo << Answer::No;
}

void TimedMessageBoxTest::boxTakenAwayAnswersOnce()
{
    QFETCH(bool, closeWindow);
    QFETCH(Question::Buttons, buttons);
    QFETCH(Answer, expected);
    QuestionQueue queue;
    TimedQuestionPresenter presenter(m_window);
    queue.setPresenter(&presenter);
    QList<Answer> answers;
    const auto ticket =
        queue.ask(question(u"1号机要求开机，是否同意？"_s, buttons, 15), [&](Answer a) { answers << a; });
    QTRY_COMPARE(visibleBoxes(m_window).size(), 1);
    if (closeWindow) {
        delete m_window; // takes the box with it
        m_window = nullptr;
    } else {
        QVERIFY(queue.withdraw(ticket));
    }
    QCOMPARE(answers, QList<Answer>{expected});
    QTest::qWait(100);
    QCOMPARE(answers.size(), 1);
    QVERIFY(!presenter.currentBox());
    if (m_window)
        QTRY_COMPARE(m_window->findChildren<TimedMessageBox *>().size(), 0);
    QCOMPARE(queue.pending(), 0);
}

void TimedMessageBoxTest::longQuestionFitsTheScreen()
{
    QString text = u"5号机要求选择下列商品，是否同意？\r\n"_s;
    for (int i = 0; i < 3334; ++i)
        text += u"可乐"_s + QString(46, QLatin1Char(' ')) + u"数量：1\r\n"_s;
    TimedMessageBox box(question(text, Question::Buttons::YesNo, 90), m_window);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    const QRect screen = box.screen()->availableGeometry();
    QVERIFY2(box.frameGeometry().height() <= screen.height(), qPrintable(QString::number(box.height())));
    // The text scrolls; the countdown and both buttons are inside the box.
    QVERIFY(box.textArea()->verticalScrollBar()->maximum() > 0);
    for (QWidget *w : {static_cast<QWidget *>(box.firstButton()), static_cast<QWidget *>(box.secondButton()),
                       box.findChild<QWidget *>(u"countdown"_s)}) {
        QVERIFY(w->isVisible());
        QVERIFY(box.rect().contains(QRect(w->mapTo(&box, QPoint(0, 0)), w->size())));
    }
    // A short question does not scroll.
    TimedMessageBox small(question(u"1号机要求开机，是否同意？"_s, Question::Buttons::YesNo, 15), m_window);
    small.show();
    QVERIFY(QTest::qWaitForWindowExposed(&small));
    QCOMPARE(small.textArea()->verticalScrollBar()->maximum(), 0);
}

QTEST_MAIN(TimedMessageBoxTest)
#include "timedmessagebox_test.moc"
