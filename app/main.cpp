#include "desk/frontdesk.h"
#include "link/linkserver.h"
#include "ui/shell/application.h"
#include "ui/shell/mainwindow.h"
#include "ui/widgets/timedmessagebox.h"
#include "web/webserver.h"

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
    // The operator logs in before anything shows; a cancel ends the program.
    if (!logInAtStart(desk))
        return 0;

    MainWindow window(desk);
    TimedQuestionPresenter presenter(&window);
    desk.questions().setPresenter(&presenter);
    window.show();

    // The link listens before the first supervision pass, so a session already due at start-up
    // gets its "stop" when its PC reconnects. Without the port the desk runs without clients.
    LinkServer link(desk);
    desk.attach(link);
    link.listen();
    desk.startTimers();
    desk.refresh();
    desk.startDailyBackups();
    // The owner's web console, when switched on in 系统设置.
    WebConsoleHost web(desk, QCoreApplication::applicationDirPath());
    web.apply();
    desk.record(QStringLiteral("程序启动"), 0, QString());

    const int rc = app.exec();
    desk.record(QStringLiteral("程序退出"), 0, QString());
    desk.questions().setPresenter(nullptr);
    return rc;
}
