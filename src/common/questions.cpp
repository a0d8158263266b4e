#include "questions.h"

#include <QTimer>

QuestionQueue::QuestionQueue(QObject *parent) : QObject(parent) {}

void QuestionQueue::setPresenter(QuestionPresenter *presenter)
{
    m_presenter = presenter;
    showNext();
}

void QuestionQueue::ask(const Question &question, Callback callback)
{
    m_waiting.push_back({question, std::move(callback)});
    showNext();
}

void QuestionQueue::showNext()
{
    if (m_showing || !m_presenter || m_waiting.empty())
        return;
    Entry entry = std::move(m_waiting.front());
    m_waiting.pop_front();
    m_showing = true;
    const quint64 generation = ++m_generation;
    auto callback = std::make_shared<Callback>(std::move(entry.callback));
    m_presenter->present(entry.question, [this, generation, callback](Answer answer) {
        if (generation != m_generation || !m_showing)
            return;
        m_showing = false;
        if (*callback)
            (*callback)(answer);
        // The next question comes from the event loop, not from inside this answer.
        QTimer::singleShot(0, this, &QuestionQueue::showNext);
    });
}
