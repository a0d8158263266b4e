#include "application.h"

#include "accounts/operators.h"
#include "audit/trail.h"
#include "desk/frontdesk.h"
#include "logindialog.h"
#include "messages.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>

Q_LOGGING_CATEGORY(lcApplication, "corvana.ui.app")

void setUpApplication(QApplication &app)
{
    app.setApplicationName(QStringLiteral("Corvana"));
    app.setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    // No display name: it would be appended to every window's caption.
    loadChineseTranslations(app);

    // Operators' stored font names are the café PCs' Chinese fonts; map them to the
    // Simplified Chinese font installed here.
    const QStringList chinese = {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                                 QStringLiteral("Noto Sans SC")};
    for (const QString &name :
         {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("新宋体"), QStringLiteral("黑体"),
          QStringLiteral("SimHei"), QStringLiteral("MS Sans Serif")})
        QFont::insertSubstitutions(name, chinese);
    QFont font = app.font();
    font.setFamilies({font.family(), QStringLiteral("WenQuanYi Micro Hei")});
    app.setFont(font);
}

std::unique_ptr<QLockFile> singleInstanceLock()
{
    auto lock = std::make_unique<QLockFile>(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("corvana.lock")));
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

bool openStoreOrExplain(FrontDesk &desk)
{
    const QDir folder(QCoreApplication::applicationDirPath());
    const QString path = folder.filePath(Store::fileName());
    const Result<> opened = desk.open(path);
    if (opened)
        return true;
    // On a server the file is not used: name the settings that point at the server.
    const QString server = folder.filePath(Store::serverFileName());
    const bool onServer = QFile::exists(server);
    const QString text = onServer
                             ? QStringLiteral("无法使用数据库服务器（连接设置在“%1”中）：\n%2\n\n程序将退出，数据保持原样。")
                             : QStringLiteral("无法打开数据库文件“%1”：\n%2\n\n程序将退出，文件保持原样。");
    Messages::tell(nullptr, QStringLiteral("错误"),
                   text.arg(QDir::toNativeSeparators(onServer ? server : path), opened.error()),
                   QMessageBox::Critical);
    return false;
}

bool loadChineseTranslations(QCoreApplication &app)
{
    // Qt's own texts (standard buttons, the print and file dialogs) in Simplified Chinese.
    auto *translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), folder)) {
        qCWarning(lcApplication) << "qtbase_zh_CN.qm not found in" << folder;
        delete translator;
        return false;
    }
    app.installTranslator(translator);
    return true;
}

bool logInAtStart(FrontDesk &desk)
{
    switch (loginNeed(desk.db())) {
    case LoginNeed::Unreadable:
        return true;
    case LoginNeed::NoOperators:
        desk.setOperator(QString(), QStringLiteral("D"));
        return true;
    case LoginNeed::Ask:
        break;
    }
    LoginDialog dialog(desk.logins());
    if (dialog.exec() != QDialog::Accepted || !dialog.loggedIn())
        return false;
    desk.setOperator(dialog.loggedIn()->name, dialog.loggedIn()->right);
    desk.record(QStringLiteral("登录"), 0, QString());
    return true;
}
