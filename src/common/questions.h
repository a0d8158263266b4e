#pragma once

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
    QString title;   // empty: the application's title
    int seconds = 15; // 0: a plain question that waits for the operator however long it takes
};

// Whoever shows questions to the operator (the timed message box, or a test's fake).
class QuestionPresenter
{
public:
    virtual ~QuestionPresenter() = default;
    // Show `question`; call `answered` exactly once with the answer.
    virtual void present(const Question &question, std::function<void(Answer)> answered) = 0;
};

class QuestionQueue final : public QObject
{
    Q_OBJECT

public:
    using Callback = std::function<void(Answer)>;

    explicit QuestionQueue(QObject *parent = nullptr);

    void setPresenter(QuestionPresenter *presenter);
    void ask(const Question &question, Callback callback);

    // Questions asked and not yet answered, the one being shown included.
    int pending() const { return int(m_waiting.size()) + (m_showing ? 1 : 0); }

private:
    struct Entry
    {
        Question question;
        Callback callback;
    };

    void showNext();

    QuestionPresenter *m_presenter = nullptr;
    std::deque<Entry> m_waiting;
    bool m_showing = false;
    quint64 m_generation = 0; // guards against a presenter answering the same question twice
};
