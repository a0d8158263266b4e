#include "desk/frontdesk.h"
#include "ui/application.h"
#include "ui/mainwindow.h"

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
    window.show();
    desk.startTimers();
    desk.refresh();
    return app.exec();
}
