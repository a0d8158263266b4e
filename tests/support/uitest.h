#pragma once

#include <QDateTime>
#include <QObject>

// Base of the widget tests: every test function runs at the fixed moment `now`, with message
// boxes scripted (answered by Messages::setNextAnswers, recorded for Messages::takeShownTexts).
class UiTest : public QObject
{
    Q_OBJECT

public:
    explicit UiTest(const QDateTime &now) : m_now(now) {}

private slots:
    void init();
    void cleanup();

private:
    QDateTime m_now;
};

// Clicks the button named `name` (UTF-8) of `parent`; the test stops when there is none.
void click(const QObject &parent, const char *name);
// Replaces the text of the line edit named `name` as a person does: selects it, deletes it and
// types `text` (Chinese text, which has no keys here, is put in as an input method would).
void retype(const QObject &parent, const char *name, const QString &text);

// The child named `name` (UTF-8); the test stops when there is none.
template <typename T> T *child(const QObject &parent, const char *name)
{
    T *found = parent.findChild<T *>(QString::fromUtf8(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}
