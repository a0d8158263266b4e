#pragma once

#include "common/questions.h"

#include <deque>
#include <functional>
#include <optional>

// Stands in for the operator: keeps every question shown and answers when the test says so,
// or at once with `autoAnswer` when that is set.
class FakePresenter final : public QuestionPresenter
{
public:
    void present(const Question &question, std::function<void(Answer)> answered) override;
    // The question shown is taken away, as the box closes.
    void dismiss() override;

    // Answers the question being shown; false when none is.
    bool answer(Answer answer);
    // Lets the question run out of time: it answers with its second button.
    bool timeOut();
    bool isAsking() const { return !m_waiting.empty(); }

    QList<Question> asked;
    std::optional<Answer> autoAnswer;

private:
    std::deque<std::pair<Question, std::function<void(Answer)>>> m_waiting;
};
