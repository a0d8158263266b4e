#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>

// Questions to the operator that come from clients and timers. They are asked one at a
// time, in arrival order; each answer goes to the question that was asked, and a queued
// question's time-out only starts when it is shown.

enum class Answer { Yes, No, Ok, Cancel };

struct Question
{
    enum class Buttons { YesNo, OkCancel, OkOnly };

    QString text;
    Buttons buttons = Buttons::YesNo;
    QString title;    // empty: the application's title
    int seconds = 15; // 0: a plain question that waits for the operator however long it takes
    // Set by the queue when the question is shown: how long it waited behind others, when
    // that was long enough for the one who asked to have given up (0 otherwise).
    int waitedSeconds = 0;
};

// The answer of a question that nobody answered in time: its second button's.
Answer timedOutAnswer(const Question &question);

// Whoever shows questions to the operator (the timed message box, or a test's fake).
class QuestionPresenter
{
public:
    virtual ~QuestionPresenter() = default;
    // Show `question`; call `answered` exactly once with the answer.
    virtual void present(const Question &question, std::function<void(Answer)> answered) = 0;
    // The question being shown is no longer asked: take it away. Its answer, if one still
    // comes, is ignored.
    virtual void dismiss() {}
};

class QuestionQueue final : public QObject
{
    Q_OBJECT

public:
    using Callback = std::function<void(Answer)>;

    explicit QuestionQueue(QObject *parent = nullptr);

    using Ticket = quint64;

    // A question waiting longer than this before it is shown says how long it waited.
    static constexpr qint64 kWaitedSeconds = 10;

    void setPresenter(QuestionPresenter *presenter);
    // Returns the question's ticket (never 0), by which it can be withdrawn.
    Ticket ask(const Question &question, Callback callback);
    // The one who asked has gone. A waiting question leaves the queue unanswered; the one
    // being shown is taken away and answered as if its time had run out. False when the
    // ticket is answered already.
    bool withdraw(Ticket ticket);
    // Every question asked and not answered yet is answered as if its time had run out: the
    // one being shown is taken away first, then the waiting ones in order. For when what they
    // ask about is gone (the store was replaced).
    void expireAll();

    // Questions asked and not yet answered, the one being shown included.
    int pending() const { return int(m_waiting.size()) + (m_showing ? 1 : 0); }
    // Questions asked and not shown yet.
    int waiting() const { return int(m_waiting.size()); }

private:
    struct Entry
    {
        Question question;
        Callback callback;
        Ticket ticket = 0;
        QDateTime askedAt;
    };

    void showNext();
    void answer(Answer answer);

    QuestionPresenter *m_presenter = nullptr;
    std::deque<Entry> m_waiting;
    bool m_showing = false;
    Entry m_shown; // valid while m_showing
    Ticket m_nextTicket = 1;
    quint64 m_generation = 0; // guards against a presenter answering the same question twice
};
