#include "application.h"

#include "accounts/operators.h"
#include "audit/trail.h"
#include "desk/frontdesk.h"
#include "logindialog.h"
#include "ui/widgets/messages.h"
#include "store/backup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QProxyStyle>
#include <QStyle>
#include <QTranslator>
#include <cerrno>
#include <cstring>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcApplication, "corvana.ui.app")

void setUpApplication(QApplication &app)
{
    app.setApplicationName(QStringLiteral("Corvana"));
    app.setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    // No display name: it would be appended to every window's caption.
    loadChineseTranslations(app);
    // Qt's own dialogs write dates, sizes and file kinds for a Chinese reader, whatever the
    // PC's locale; the program's own texts use fixed formats.
    QLocale readers(QLocale::Chinese, QLocale::China);
    readers.setNumberOptions(QLocale::OmitGroupSeparator); // figures in lists stay as stored
    QLocale::setDefault(readers);
    useDeskStyle(app);

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

namespace {

class StarPasswordStyle final : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return u'*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

void useDeskStyle(QApplication &app)
{
    if (!dynamic_cast<StarPasswordStyle *>(app.style()))
        app.setStyle(new StarPasswordStyle(QApplication::style()->name()));
}

namespace {

// Why nothing can be written in `folder`, in the operator's words.
QString whyUnwritable(const QString &folder)
{
    if (::access(QFile::encodeName(folder).constData(), W_OK) == 0)
        return QStringLiteral("无法在其中建立文件");
    switch (errno) {
    case EROFS:
        return QStringLiteral("所在的磁盘是只读的");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入这个文件夹的权限");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("文件夹不存在");
    default:
        return QString::fromLocal8Bit(std::strerror(errno));
    }
}

} // namespace

std::unique_ptr<QLockFile> singleInstanceLock()
{
    return singleInstanceLock(QCoreApplication::applicationDirPath());
}

std::unique_ptr<QLockFile> singleInstanceLock(const QString &folder)
{
    auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral("corvana.lock")));
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return lock;
    // Another copy holds it: that one serves the café.
    if (lock->error() == QLockFile::LockFailedError)
        return nullptr;
    qCWarning(lcApplication) << "cannot write in the program folder" << folder << lock->error();
    Messages::tell(
        nullptr, QStringLiteral("错误"),
        QStringLiteral("无法在程序文件夹“%1”中写入文件（%2）。\n数据库、备份和操作记录都保存在这个文件夹中，"
                       "请让它可以写入后再启动。")
            .arg(QDir::toNativeSeparators(folder), whyUnwritable(folder)),
        QMessageBox::Critical);
    return nullptr;
}

bool openStoreOrExplain(FrontDesk &desk)
{
    return openStoreOrExplain(desk, QCoreApplication::applicationDirPath());
}

bool openStoreOrExplain(FrontDesk &desk, const QString &folderPath)
{
    const QDir folder(folderPath);
    const QString path = folder.filePath(Store::fileName());
    // A store gone while backups are there was most likely deleted or moved: a new empty one
    // would run the café with no login and none of its data.
    if (!QFile::exists(path) && !QFile::exists(folder.filePath(Store::serverFileName()))) {
        const int backups = backup::countIn(folder.filePath(QStringLiteral("backup")));
        if (backups > 0 &&
            Messages::ask(nullptr, QStringLiteral("问题"),
                          QStringLiteral("没有找到数据库文件“%1”，backup中有%2个备份。是否新建空数据库？")
                              .arg(QDir::toNativeSeparators(path))
                              .arg(backups),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
            return false;
    }
    const Result<> opened = desk.open(path);
    if (opened)
        return true;
    // On a server the file is not used: name the settings that point at the server.
    const QString server = folder.filePath(Store::serverFileName());
    const bool onServer = QFile::exists(server);
    const QString text =
        onServer
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
    switch (desk.logins().need()) {
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

bool logInAfterRestore(FrontDesk &desk)
{
    desk.setOperator(QString(), QString());
    return logInAtStart(desk);
}
