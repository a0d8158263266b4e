#include "questions.h"

#include <QPointer>
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
    // The presenter may outlive the queue (a box still open at shut-down): answers that come
    // after the queue is gone reach nobody.
    QPointer<QuestionQueue> self(this);
    m_presenter->present(entry.question, [self, generation, callback](Answer answer) {
        if (!self)
            return;
        QuestionQueue *const q = self.data();
        if (generation != q->m_generation || !q->m_showing)
            return;
        q->m_showing = false;
        if (*callback)
            (*callback)(answer);
        // The next question comes from the event loop, not from inside this answer.
        if (self)
            QTimer::singleShot(0, q, &QuestionQueue::showNext);
    });
}
