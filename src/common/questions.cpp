#include "questions.h"

#include "clock.h"

#include <QPointer>
#include <QTimer>
#include <algorithm>

Answer timedOutAnswer(const Question &question)
{
    switch (question.buttons) {
    case Question::Buttons::YesNo:
        return Answer::No;
    case Question::Buttons::OkCancel:
        return Answer::Cancel;
    case Question::Buttons::OkOnly:
        break;
    }
    return Answer::Ok;
}

QuestionQueue::QuestionQueue(QObject *parent) : QObject(parent) {}

void QuestionQueue::setPresenter(QuestionPresenter *presenter)
{
    m_presenter = presenter;
    showNext();
}

QuestionQueue::Ticket QuestionQueue::ask(const Question &question, Callback callback)
{
    const Ticket ticket = m_nextTicket++;
    m_waiting.push_back({question, std::move(callback), ticket, Clock::now()});
    showNext();
    return ticket;
}

bool QuestionQueue::withdraw(Ticket ticket)
{
    if (m_showing && m_shown.ticket == ticket) {
        const Answer timedOut = timedOutAnswer(m_shown.question);
        ++m_generation; // the box's own answer as it closes is not the operator's
        if (m_presenter)
            m_presenter->dismiss();
        answer(timedOut);
        return true;
    }
    const auto it = std::find_if(m_waiting.begin(), m_waiting.end(),
                                 [ticket](const Entry &e) { return e.ticket == ticket; });
    if (it == m_waiting.end())
        return false;
    m_waiting.erase(it);
    return true;
}

void QuestionQueue::expireAll()
{
    if (m_showing) {
        ++m_generation;
        if (m_presenter)
            m_presenter->dismiss();
        answer(timedOutAnswer(m_shown.question));
    }
    // An answer may ask again; those questions are about the old data too.
    while (!m_waiting.empty()) {
        Entry e = std::move(m_waiting.front());
        m_waiting.pop_front();
        if (e.callback)
            e.callback(timedOutAnswer(e.question));
    }
}

void QuestionQueue::answer(Answer answer)
{
    ++m_generation; // whatever the presenter still answers for this question is stale
    m_showing = false;
    const Callback callback = std::move(m_shown.callback);
    m_shown = Entry();
    QPointer<QuestionQueue> self(this);
    if (callback)
        callback(answer);
    // The next question comes from the event loop, not from inside this answer.
    if (self)
        QTimer::singleShot(0, this, &QuestionQueue::showNext);
}

void QuestionQueue::showNext()
{
    if (m_showing || !m_presenter || m_waiting.empty())
        return;
    m_shown = std::move(m_waiting.front());
    m_waiting.pop_front();
    m_showing = true;
    const qint64 waited = m_shown.askedAt.secsTo(Clock::now());
    m_shown.question.waitedSeconds = waited > kWaitedSeconds ? int(waited) : 0;
    const quint64 generation = ++m_generation;
    // The presenter may outlive the queue (a box still open at shut-down): answers that come
    // after the queue is gone reach nobody.
    QPointer<QuestionQueue> self(this);
    const Question question = m_shown.question;
    m_presenter->present(question, [self, generation](Answer answer) {
        if (!self || generation != self->m_generation || !self->m_showing)
            return;
        self->answer(answer);
    });
}
