#include "common/clock.h"
#include "common/questions.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// Holds every question shown; the test answers them by hand.
class HeldPresenter final : public QuestionPresenter
{
public:
    void present(const Question &question, std::function<void(Answer)> answered) override
    {
        shown.append(question.text);
        waited.append(question.waitedSeconds);
        callbacks.push_back(std::move(answered));
    }
    void dismiss() override { ++dismissed; }
    QStringList shown;
    QList<int> waited;
    int dismissed = 0;
    std::vector<std::function<void(Answer)>> callbacks;
};

} // namespace

class QuestionsTest : public QObject
{
    Q_OBJECT

private slots:
    void oneAtATimeInOrder();
    void answerGoesToItsQuestion();
    void secondAnswerIgnored();
    void waitsForPresenter();
    void answerAfterQueueGone();
    void withdrawn();
    void waitedLine_data();
    void waitedLine();
};

void QuestionsTest::oneAtATimeInOrder()
{
    QuestionQueue queue;
    HeldPresenter presenter;
    queue.setPresenter(&presenter);
    queue.ask({QStringLiteral("first"), Question::Buttons::YesNo, {}, 15}, {});
    queue.ask({QStringLiteral("second"), Question::Buttons::YesNo, {}, 15}, {});
    QCOMPARE(presenter.shown, QStringList{QStringLiteral("first")});
    QCOMPARE(queue.pending(), 2);

    presenter.callbacks.at(0)(Answer::No);
    // The next question comes from the event loop, not from inside the answer.
    QCOMPARE(presenter.shown.size(), 1);
    QTRY_COMPARE(presenter.shown, (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    QCOMPARE(queue.pending(), 1);
}

void QuestionsTest::answerGoesToItsQuestion()
{
    QuestionQueue queue;
    HeldPresenter presenter;
    queue.setPresenter(&presenter);
    QList<std::pair<int, Answer>> got;
    queue.ask({QStringLiteral("a"), Question::Buttons::OkCancel, {}, 15}, [&](Answer a) {
        got.append({1, a});
    });
    queue.ask({QStringLiteral("b"), Question::Buttons::YesNo, {}, 90}, [&](Answer a) { got.append({2, a}); });
    presenter.callbacks.at(0)(Answer::Ok);
    QTRY_COMPARE(presenter.callbacks.size(), size_t(2));
    presenter.callbacks.at(1)(Answer::No);
    QCOMPARE(got, (QList<std::pair<int, Answer>>{{1, Answer::Ok}, {2, Answer::No}}));
    QCOMPARE(queue.pending(), 0);
}

void QuestionsTest::secondAnswerIgnored()
{
    QuestionQueue queue;
    HeldPresenter presenter;
    queue.setPresenter(&presenter);
    QList<Answer> first;
    QList<Answer> second;
    queue.ask({QStringLiteral("a"), Question::Buttons::YesNo, {}, 15}, [&](Answer a) { first.append(a); });
    queue.ask({QStringLiteral("b"), Question::Buttons::YesNo, {}, 15}, [&](Answer a) { second.append(a); });
    presenter.callbacks.at(0)(Answer::Yes);
    // A late second answer of the first box (say its time-out) must reach nobody.
    presenter.callbacks.at(0)(Answer::No);
    QTRY_COMPARE(presenter.callbacks.size(), size_t(2));
    presenter.callbacks.at(0)(Answer::No);
    QCOMPARE(first, QList<Answer>{Answer::Yes});
    QVERIFY(second.isEmpty());
    QCOMPARE(queue.pending(), 1);
}

void QuestionsTest::waitsForPresenter()
{
    QuestionQueue queue;
    queue.ask({QStringLiteral("early"), Question::Buttons::YesNo, {}, 15}, {});
    QCOMPARE(queue.pending(), 1);
    HeldPresenter presenter;
    queue.setPresenter(&presenter);
    QCOMPARE(presenter.shown, QStringList{QStringLiteral("early")});
}

void QuestionsTest::answerAfterQueueGone()
{
    HeldPresenter presenter;
    bool called = false;
    {
        QuestionQueue queue;
        queue.setPresenter(&presenter);
        queue.ask({QStringLiteral("late"), Question::Buttons::OkCancel, {}, 15},
                  [&](Answer) { called = true; });
    }
    // The box outlived the desk; its time-out must reach nobody.
    presenter.callbacks.at(0)(Answer::Cancel);
    QVERIFY(!called);
}

void QuestionsTest::withdrawn()
{
    QuestionQueue queue;
    HeldPresenter presenter;
    queue.setPresenter(&presenter);
    QList<std::pair<int, Answer>> got;
    const auto a = queue.ask({QStringLiteral("a"), Question::Buttons::YesNo, {}, 15}, [&](Answer x) {
        got.append({1, x});
    });
    const auto b = queue.ask({QStringLiteral("b"), Question::Buttons::YesNo, {}, 15}, [&](Answer x) {
        got.append({2, x});
    });
    queue.ask({QStringLiteral("c"), Question::Buttons::OkCancel, {}, 15}, [&](Answer x) {
        got.append({3, x});
    });

    // A waiting question leaves without a word and is never shown.
    QVERIFY(queue.withdraw(b));
    QVERIFY(got.isEmpty());
    QCOMPARE(queue.pending(), 2);
    // The one shown is taken away and answered as its time-out would; the box's own late
    // answer reaches nobody.
    QVERIFY(queue.withdraw(a));
    QCOMPARE(presenter.dismissed, 1);
    QCOMPARE(got, (QList<std::pair<int, Answer>>{{1, Answer::No}}));
    presenter.callbacks.at(0)(Answer::Yes);
    QCOMPARE(got.size(), 1);
    QTRY_COMPARE(presenter.shown, (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
    QVERIFY(!queue.withdraw(a));
    QVERIFY(!queue.withdraw(b));
    QCOMPARE(queue.pending(), 1);
}

void QuestionsTest::waitedLine_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("waited");
    QTest::newRow("10 s") << 10 << 0;
    QTest::newRow("11 s") << 11 << 11;
    QTest::newRow("95 s") << 95 << 95;
}

void QuestionsTest::waitedLine()
{
    QFETCH(int, seconds);
    QFETCH(int, waited);
    Clock::fix(QDateTime(QDate(2002, 3, 14), QTime(12, 0)));
    QuestionQueue queue;
    HeldPresenter presenter;
    queue.setPresenter(&presenter);
    queue.ask({QStringLiteral("first"), Question::Buttons::YesNo, {}, 15}, {});
    queue.ask({QStringLiteral("second"), Question::Buttons::YesNo, {}, 15}, {});
    Clock::advanceSeconds(seconds);
    presenter.callbacks.at(0)(Answer::No);
    QTRY_COMPARE(presenter.waited.size(), 2);
    QCOMPARE(presenter.waited, (QList<int>{0, waited}));
    Clock::release();
}

QTEST_GUILESS_MAIN(QuestionsTest)
#include "questions_test.moc"
