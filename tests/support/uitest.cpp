#include "uitest.h"

#include "common/clock.h"
#include "ui/messages.h"

#include <QAbstractButton>
#include <QTest>

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
