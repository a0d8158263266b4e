#pragma once

#include "common/questions.h"

#include <QDialog>
#include <QPointer>
#include <memory>

class QScrollArea;
class QPushButton;

// A question that must not hold up the desk: it plays the notification sound, stays on top,
// shows a countdown and answers with its second button when nobody reacts in time. It is
// modal over its parent window but runs no event loop of its own: the answer arrives
// through answered(). A question without seconds is a plain question that waits.
class TimedMessageBox final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kTickMilliseconds = 100;

    explicit TimedMessageBox(const Question &question, QWidget *parent = nullptr);
    // A box destroyed before it was answered (its window closing) answers like its second
    // button, so the one who asked is never left waiting.
    ~TimedMessageBox() override;

    const Question &question() const;
    bool isTimed() const;
    // Ticks of 100 ms since the box was first shown, and the bar's value.
    int count() const;
    int progress() const;
    // The answer given by the second button, by the window's close control and on time-out.
    Answer secondAnswer() const;
    Answer answer() const;
    // Whether the notification sound could be started when the box opened.
    bool soundStarted() const;

    // The question's text, which scrolls when the box would not fit the screen.
    QScrollArea *textArea() const;
    QPushButton *firstButton() const;
    QPushButton *secondButton() const;

    // Escape and the window's close control.
    void reject() override;

signals:
    // Exactly once per box.
    void answered(Answer answer);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void tick();
    void finish(Answer answer);
    void fitToScreen(QWidget *content);

    struct Private;
    std::unique_ptr<Private> d;
};

// Serves the questions of the core's QuestionQueue to the operator, each in its own timed
// message box over `window`. The queue hands over one question at a time, so a box appears
// only when the previous one has been answered, and its countdown starts from zero then.
class TimedQuestionPresenter final : public QObject, public QuestionPresenter
{
    Q_OBJECT

public:
    explicit TimedQuestionPresenter(QWidget *window, QObject *parent = nullptr);

    void present(const Question &question, std::function<void(Answer)> answered) override;
    void dismiss() override;

    // The box waiting for the operator, if any.
    TimedMessageBox *currentBox() const { return m_current; }

signals:
    void boxShown(TimedMessageBox *box);

private:
    QPointer<QWidget> m_window;
    QPointer<TimedMessageBox> m_current;
};
