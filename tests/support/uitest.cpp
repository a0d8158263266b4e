#include "uitest.h"

#include "common/clock.h"
#include "ui/messages.h"

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
