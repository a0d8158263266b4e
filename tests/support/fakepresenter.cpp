#include "fakepresenter.h"

void FakePresenter::present(const Question &question, std::function<void(Answer)> answered)
{
    asked.append(question);
    if (autoAnswer)
        answered(*autoAnswer);
    else
        m_waiting.emplace_back(question, std::move(answered));
}

void FakePresenter::dismiss()
{
    if (!m_waiting.empty())
        m_waiting.pop_front();
}

bool FakePresenter::answer(Answer answer)
{
    if (m_waiting.empty())
        return false;
    auto callback = std::move(m_waiting.front().second);
    m_waiting.pop_front();
    callback(answer);
    return true;
}

bool FakePresenter::timeOut()
{
    if (m_waiting.empty())
        return false;
    const Question::Buttons buttons = m_waiting.front().first.buttons;
    return answer(buttons == Question::Buttons::OkCancel ? Answer::Cancel : Answer::No);
}
