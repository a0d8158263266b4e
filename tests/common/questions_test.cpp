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
        callbacks.push_back(std::move(answered));
    }
    QStringList shown;
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
    queue.ask({QStringLiteral("a"), Question::Buttons::OkCancel, {}, 15},
              [&](Answer a) { got.append({1, a}); });
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
        queue.ask({QStringLiteral("late"), Question::Buttons::OkCancel, {}, 15}, [&](Answer) { called = true; });
    }
    // The box outlived the desk; its time-out must reach nobody.
    presenter.callbacks.at(0)(Answer::Cancel);
    QVERIFY(!called);
}

QTEST_GUILESS_MAIN(QuestionsTest)
#include "questions_test.moc"
