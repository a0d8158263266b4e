#include "uitest.h"

#include "common/clock.h"
#include "ui/widgets/messages.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>
#include <algorithm>

void UiTest::init()
{
    Clock::fix(m_now);
    Messages::setScripted(true);
    Messages::takeShownTexts();
    Messages::setNextAnswers({});
}

void UiTest::cleanup()
{
    Clock::release();
    Messages::setScripted(false);
}

void click(const QObject &parent, const char *name)
{
    QTest::mouseClick(child<QAbstractButton>(parent, name), Qt::LeftButton);
}

void retype(const QObject &parent, const char *name, const QString &text)
{
    QLineEdit *edit = child<QLineEdit>(parent, name);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    const bool keys = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (keys)
        QTest::keyClicks(edit, text);
    else
        edit->insert(text);
}
