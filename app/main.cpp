#include "desk/frontdesk.h"
#include "link/linkserver.h"
#include "ui/application.h"
#include "ui/mainwindow.h"
#include "ui/timedmessagebox.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpApplication(app);

    // A second copy ends at once, silently.
    auto instance = singleInstanceLock();
    if (!instance)
        return 0;

    FrontDesk desk;
    if (!openStoreOrExplain(desk))
        return 1;

    MainWindow window(desk);
    TimedQuestionPresenter presenter(&window);
    desk.questions().setPresenter(&presenter);
    window.show();
    desk.startTimers();
    desk.refresh();

    // Listening comes last; without the port the desk runs without its clients.
    LinkServer link(desk);
    desk.attach(link);
    link.listen();

    const int rc = app.exec();
    desk.questions().setPresenter(nullptr);
    return rc;
}
