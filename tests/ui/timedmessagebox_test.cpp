#include "ui/sound.h"
#include "ui/timedmessagebox.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

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

} // namespace

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

    void leftAloneAnswersWithSecondButton_data();
    void leftAloneAnswersWithSecondButton();
    void firstButtonAnswers_data();
    void firstButtonAnswers();
    void closeControlAnswersWithSecondButton();
    void countdownLineIsWrittenOnce();
    void captionsByMode_data();
    void captionsByMode();
    void plainQuestionHasNoCountdown();
    void everyLineOfAGoodsListIsShown_data();
    void everyLineOfAGoodsListIsShown();
    void queueShowsOneBoxAtATime();
    void queuedTimeOutStartsWhenShown();
    void missingSoundStillAsks();
    void closingTheWindowAnswersOnce();
    void longQuestionFitsTheScreen();
    void waitedLineAndShortenedList();
    void withdrawnQuestionClosesItsBox();

private:
    QWidget *m_window = nullptr;
};

void TimedMessageBoxTest::leftAloneAnswersWithSecondButton_data()
{
    QTest::addColumn<Question::Buttons>("buttons");
    QTest::addColumn<Answer>("expected");
    QTest::newRow("yes/no") << Question::Buttons::YesNo << Answer::No;
    QTest::newRow("ok/cancel") << Question::Buttons::OkCancel << Answer::Cancel;
    QTest::newRow("ok only") << Question::Buttons::OkOnly << Answer::Ok;
}

void TimedMessageBoxTest::leftAloneAnswersWithSecondButton()
{
    QFETCH(Question::Buttons, buttons);
    QFETCH(Answer, expected);
    TimedMessageBox box(question(QStringLiteral("3号机要求开机，是否同意？"), buttons, 1), m_window);
    QSignalSpy spy(&box, &TimedMessageBox::answered);
    box.open();
    QVERIFY(spy.wait(10000));
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).value<Answer>(), expected);
    QCOMPARE(box.count(), 10);
    QCOMPARE(box.progress(), 100);
    QVERIFY(!box.isVisible());
    // Nothing more arrives once it has answered.
    QTest::qWait(300);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(box.count(), 10);
}

void TimedMessageBoxTest::firstButtonAnswers_data()
{
    QTest::addColumn<Question::Buttons>("buttons");
    QTest::addColumn<Answer>("expected");
    QTest::newRow("ok/cancel") << Question::Buttons::OkCancel << Answer::Ok;
    QTest::newRow("yes/no") << Question::Buttons::YesNo << Answer::Yes;
}

void TimedMessageBoxTest::firstButtonAnswers()
{
    QFETCH(Question::Buttons, buttons);
    QFETCH(Answer, expected);
    TimedMessageBox box(question(QStringLiteral("问题"), buttons, 1), m_window);
    QSignalSpy spy(&box, &TimedMessageBox::answered);
    box.open();
    QTest::qWait(250);
    QTest::mouseClick(box.firstButton(), Qt::LeftButton);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).value<Answer>(), expected);
    QVERIFY(!box.isVisible());
    // The countdown stops with the answer: no time-out answer follows.
    QTest::qWait(1200);
    QCOMPARE(spy.size(), 1);
    QVERIFY(box.progress() < 100);
}

void TimedMessageBoxTest::closeControlAnswersWithSecondButton()
{
    TimedMessageBox box(question(QStringLiteral("问题"), Question::Buttons::YesNo, 15), m_window);
    QSignalSpy spy(&box, &TimedMessageBox::answered);
    box.open();
    QVERIFY(box.close());
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).value<Answer>(), Answer::No);

    TimedMessageBox escaped(question(QStringLiteral("问题"), Question::Buttons::OkCancel, 15), m_window);
    QSignalSpy escapedSpy(&escaped, &TimedMessageBox::answered);
    escaped.open();
    QTest::keyClick(&escaped, Qt::Key_Escape);
    QCOMPARE(escapedSpy.size(), 1);
    QCOMPARE(escapedSpy.at(0).at(0).value<Answer>(), Answer::Cancel);
}

void TimedMessageBoxTest::countdownLineIsWrittenOnce()
{
    TimedMessageBox box(question(QStringLiteral("问题"), Question::Buttons::YesNo, 15), m_window);
    auto *line = box.findChild<QLabel *>(QStringLiteral("countdown"));
    QVERIFY(line);
    QCOMPARE(line->text(), QStringLiteral("窗口将在15秒后关闭"));
    box.open();
    QTest::qWait(350);
    QVERIFY(box.count() > 0);
    QCOMPARE(line->text(), QStringLiteral("窗口将在15秒后关闭"));
}

void TimedMessageBoxTest::captionsByMode_data()
{
    QTest::addColumn<Question::Buttons>("buttons");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second"); // empty: hidden
    QTest::newRow("yes/no") << Question::Buttons::YesNo << 15 << QStringLiteral("是(&Y)")
                            << QStringLiteral("否(&N)");
    QTest::newRow("ok/cancel") << Question::Buttons::OkCancel << 15 << QStringLiteral("确定")
                               << QStringLiteral("取消");
    QTest::newRow("ok only") << Question::Buttons::OkOnly << 15 << QStringLiteral("确定") << QString();
    QTest::newRow("plain yes/no") << Question::Buttons::YesNo << 0 << QStringLiteral("是")
                                  << QStringLiteral("否");
}

void TimedMessageBoxTest::captionsByMode()
{
    QFETCH(Question::Buttons, buttons);
    QFETCH(int, seconds);
    QFETCH(QString, first);
    QFETCH(QString, second);
    TimedMessageBox box(question(QStringLiteral("问题"), buttons, seconds), m_window);
    box.open();
    QCOMPARE(box.firstButton()->text(), first);
    QVERIFY(box.firstButton()->isVisible());
    QCOMPARE(box.secondButton()->isVisible(), !second.isEmpty());
    if (!second.isEmpty())
        QCOMPARE(box.secondButton()->text(), second);
    QCOMPARE(box.windowTitle(), QApplication::applicationDisplayName());
    QVERIFY(box.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(box.isModal() || box.windowModality() != Qt::NonModal);
}

void TimedMessageBoxTest::plainQuestionHasNoCountdown()
{
    Question q = question(QStringLiteral("3号机要求用卡号为：123的储金卡结帐，是否同意！"),
                          Question::Buttons::YesNo, 0);
    q.title = QString();
    TimedMessageBox box(q, m_window);
    QSignalSpy spy(&box, &TimedMessageBox::answered);
    box.open();
    QVERIFY(!box.findChild<QLabel *>(QStringLiteral("countdown")));
    QVERIFY(!box.findChild<QProgressBar *>());
    QTest::qWait(300);
    QCOMPARE(box.count(), 0);
    QVERIFY(spy.isEmpty());
    QTest::mouseClick(box.secondButton(), Qt::LeftButton);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).value<Answer>(), Answer::No);

    Question titled = question(QStringLiteral("商品"), Question::Buttons::YesNo, 90);
    titled.title = QStringLiteral("有人要商品");
    TimedMessageBox goods(titled, m_window);
    QCOMPARE(goods.windowTitle(), QStringLiteral("有人要商品"));
}

void TimedMessageBoxTest::everyLineOfAGoodsListIsShown_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("shown"); // texts that some label must show
    const QString head = QStringLiteral("5号机要求选择下列商品，是否同意？");
    QTest::newRow("padded list") << head + QStringLiteral("\r\n可乐") + QString(46, QLatin1Char(' ')) +
                                        QStringLiteral("数量：2\r\n矿泉水") + QString(44, QLatin1Char(' ')) +
                                        QStringLiteral("数量：1\r\n")
                                 << QStringList{head, QStringLiteral("可乐"), QStringLiteral("数量：2"),
                                                QStringLiteral("矿泉水"), QStringLiteral("数量：1")};
    // A name too long for any padding runs into its quantity: shown as it came.
    const QString unpadded = head + QStringLiteral("\r\n可乐") + QString(46, QLatin1Char(' ')) +
                             QStringLiteral("数量：2\r\n") + QString(30, QChar(u'长')) +
                             QStringLiteral("数量：1\r\n");
    QString asShown = unpadded;
    asShown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTest::newRow("unpadded line") << unpadded << QStringList{asShown};
}

void TimedMessageBoxTest::everyLineOfAGoodsListIsShown()
{
    QFETCH(QString, text);
    QFETCH(QStringList, shown);
    TimedMessageBox box(question(text, Question::Buttons::YesNo, 90), m_window);
    QStringList labels;
    for (QLabel *label : box.findChildren<QLabel *>())
        labels << label->text();
    for (const QString &expected : shown)
        QVERIFY2(labels.contains(expected), qPrintable(expected));
}

void TimedMessageBoxTest::queueShowsOneBoxAtATime()
{
    QuestionQueue queue;
    TimedQuestionPresenter presenter(m_window);
    queue.setPresenter(&presenter);
    QList<Answer> first, second;
    queue.ask(question(QStringLiteral("1号机要求开机，是否同意？"), Question::Buttons::YesNo, 15),
              [&](Answer a) { first << a; });
    queue.ask(question(QStringLiteral("2号机要求开机，是否同意？"), Question::Buttons::YesNo, 15),
              [&](Answer a) { second << a; });

    QTRY_COMPARE(visibleBoxes(m_window).size(), 1);
    TimedMessageBox *box = visibleBoxes(m_window).first();
    QCOMPARE(box->question().text, QStringLiteral("1号机要求开机，是否同意？"));
    QTest::qWait(200);
    QCOMPARE(visibleBoxes(m_window).size(), 1);

    QTest::mouseClick(box->firstButton(), Qt::LeftButton);
    QCOMPARE(first, QList<Answer>{Answer::Yes});
    QVERIFY(second.isEmpty());
    QTRY_COMPARE(visibleBoxes(m_window).size(), 1);
    box = visibleBoxes(m_window).first();
    QCOMPARE(box->question().text, QStringLiteral("2号机要求开机，是否同意？"));
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
        queue.ask(question(QStringLiteral("问题"), Question::Buttons::YesNo, 1), [&](Answer a) {
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

void TimedMessageBoxTest::missingSoundStillAsks()
{
    QTemporaryDir empty;
    Sound::setDirectory(empty.path());
    TimedMessageBox box(question(QStringLiteral("问题"), Question::Buttons::YesNo, 1), m_window);
    QSignalSpy spy(&box, &TimedMessageBox::answered);
    box.open();
    QVERIFY(box.isVisible());
    QVERIFY(!box.soundStarted());
    QTest::mouseClick(box.firstButton(), Qt::LeftButton);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).value<Answer>(), Answer::Yes);
}

void TimedMessageBoxTest::closingTheWindowAnswersOnce()
{
    QuestionQueue queue;
    TimedQuestionPresenter presenter(m_window);
    queue.setPresenter(&presenter);
    QList<Answer> answers;
    queue.ask(question(QStringLiteral("问题"), Question::Buttons::OkCancel, 15),
              [&](Answer a) { answers << a; });
    QTRY_VERIFY(presenter.currentBox());
    delete m_window; // takes the box with it
    m_window = nullptr;
    QCOMPARE(answers, QList<Answer>{Answer::Cancel});
    QTest::qWait(100);
    QCOMPARE(answers.size(), 1);
    QVERIFY(!presenter.currentBox());
}

void TimedMessageBoxTest::longQuestionFitsTheScreen()
{
    QString text = QStringLiteral("5号机要求选择下列商品，是否同意？\r\n");
    for (int i = 0; i < 3334; ++i)
        text += QStringLiteral("可乐") + QString(46, QLatin1Char(' ')) + QStringLiteral("数量：1\r\n");
    TimedMessageBox box(question(text, Question::Buttons::YesNo, 90), m_window);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    const QRect screen = box.screen()->availableGeometry();
    QVERIFY2(box.frameGeometry().height() <= screen.height(), qPrintable(QString::number(box.height())));
    // The text scrolls; the countdown and both buttons are inside the box.
    QVERIFY(box.textArea()->verticalScrollBar()->maximum() > 0);
    for (QWidget *w : {static_cast<QWidget *>(box.firstButton()), static_cast<QWidget *>(box.secondButton()),
                       box.findChild<QWidget *>(QStringLiteral("countdown"))}) {
        QVERIFY(w->isVisible());
        QVERIFY(box.rect().contains(QRect(w->mapTo(&box, QPoint(0, 0)), w->size())));
    }
    // A short question does not scroll.
    TimedMessageBox small(question(QStringLiteral("1号机要求开机，是否同意？"), Question::Buttons::YesNo, 15),
                          m_window);
    small.show();
    QVERIFY(QTest::qWaitForWindowExposed(&small));
    QCOMPARE(small.textArea()->verticalScrollBar()->maximum(), 0);
}

void TimedMessageBoxTest::waitedLineAndShortenedList()
{
    Question q = question(QStringLiteral("5号机要求选择下列商品，是否同意？\r\n可乐") +
                              QString(46, QLatin1Char(' ')) + QStringLiteral("数量：2\r\n……等共30项\r\n"),
                          Question::Buttons::YesNo, 90);
    TimedMessageBox plain(q, m_window);
    QVERIFY(!plain.findChild<QLabel *>(QStringLiteral("waited")));
    q.waitedSeconds = 42;
    TimedMessageBox box(q, m_window);
    QCOMPARE(box.findChild<QLabel *>(QStringLiteral("waited"))->text(), QStringLiteral("（已等待42秒）"));
    QCOMPARE(box.findChild<QLabel *>(QStringLiteral("more"))->text(), QStringLiteral("……等共30项"));
    QStringList labels;
    for (QLabel *label : box.findChildren<QLabel *>())
        labels << label->text();
    QVERIFY(labels.contains(QStringLiteral("数量：2"))); // the list is still a grid
}

void TimedMessageBoxTest::withdrawnQuestionClosesItsBox()
{
    QuestionQueue queue;
    TimedQuestionPresenter presenter(m_window);
    queue.setPresenter(&presenter);
    QList<Answer> answers;
    const auto ticket =
        queue.ask(question(QStringLiteral("1号机要求开机，是否同意？"), Question::Buttons::YesNo, 15),
                  [&](Answer a) { answers << a; });
    QTRY_COMPARE(visibleBoxes(m_window).size(), 1);
    QVERIFY(queue.withdraw(ticket));
    QCOMPARE(answers, QList<Answer>{Answer::No});
    QTRY_COMPARE(m_window->findChildren<TimedMessageBox *>().size(), 0);
    QCOMPARE(queue.pending(), 0);
}

QTEST_MAIN(TimedMessageBoxTest)
#include "timedmessagebox_test.moc"
