#include "helpabout.h"

#include "ui/widgets/messages.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

QString helpFilePath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("help.html"));
}

bool openHelp(QWidget *parent, const QString &path, const std::function<bool(const QUrl &)> &open)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo(path).isFile()) {
        Messages::tell(parent, QStringLiteral("提示"), QStringLiteral("找不到帮助文件“%1”。").arg(shown),
                       QMessageBox::Warning);
        return false;
    }
    const QUrl url = QUrl::fromLocalFile(path);
    const bool opened = open ? open(url) : QDesktopServices::openUrl(url);
    if (!opened)
        Messages::tell(parent, QStringLiteral("提示"),
                       QStringLiteral("无法打开帮助文件“%1”：系统中没有能打开它的程序。").arg(shown),
                       QMessageBox::Warning);
    return opened;
}

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("关于 Corvana"));

    auto *icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));
    auto *title = new QLabel(QStringLiteral("<b style='font-size:16pt'>Corvana</b>"), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    auto *version = new QLabel(QStringLiteral("版本 %1").arg(QCoreApplication::applicationVersion()), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto *description = new QLabel(
        QStringLiteral("网吧前台管理程序：为每台计算机记时收费、结帐，销售商品，管理客户、储金卡和操作员，"
                       "生成日报表和月报表，并通过网络控制各台客户机。"),
        this);
    description->setObjectName(QStringLiteral("lblDescription"));
    description->setWordWrap(true);
    auto *ok = new QPushButton(QStringLiteral("确   定"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *texts = new QVBoxLayout;
    texts->addWidget(title);
    texts->addWidget(version);
    texts->addSpacing(8);
    texts->addWidget(description);
    auto *top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addStretch();
    layout->addLayout(buttons);
    setFixedSize(420, 200);
}
