#include "backupcommands.h"

#include "common/clock.h"
#include "desk/frontdesk.h"
#include "ui/widgets/messages.h"
#include "store/backup.h"

#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <optional>

namespace {

QString backupFilter()
{
    return QStringLiteral("备份文件 (*.bak)");
}

using Done = std::function<void(const Result<> &)>;

// Has `start` begin a copy of the store beside the desk's work, and waits for its outcome in a
// box that says so: the café's PCs and the timers are served meanwhile. A copy already running
// (the daily backup) is said instead.
Result<> waitFor(QWidget *parent, const QString &text, const std::function<bool(Done)> &start)
{
    std::optional<Result<>> outcome;
    QProgressDialog box(text, QString(), 0, 0, parent);
    box.setObjectName(QStringLiteral("frmCopying"));
    box.setWindowTitle(QStringLiteral("请稍候"));
    box.setCancelButton(nullptr);
    box.setMinimumDuration(0);
    box.setWindowModality(Qt::ApplicationModal);
    if (!start([&](const Result<> &r) {
            outcome = r;
            box.done(QDialog::Accepted);
        }))
        return failure(FrontDesk::backupWaitText());
    // The copy cannot be stopped halfway: a box closed early comes back until it ends.
    while (!outcome)
        box.exec();
    return *outcome;
}

} // namespace

void backUpData(FrontDesk &desk, QWidget *parent)
{
    const QString folder = QFileInfo(desk.store().path()).absolutePath();
    const QString target = Messages::saveFileName(
        parent, QDir(folder).filePath(backup::defaultName(Clock::now().date())), backupFilter());
    if (target.isEmpty())
        return;
    if (QFileInfo::exists(target) &&
        Messages::ask(parent, QString(), QStringLiteral("当前日期已经备份了，确实要再次备份吗？"),
                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    if (desk.copying()) {
        Messages::tell(parent, QStringLiteral("提示"), FrontDesk::backupWaitText());
        return;
    }
    const Result<> done = waitFor(parent, FrontDesk::backupWaitText(), [&](Done finished) {
        return desk.startBackup(target, std::move(finished));
    });
    if (!done) {
        Messages::tell(parent, QStringLiteral("错误"), QStringLiteral("发现错误备份失败！"),
                       QMessageBox::Critical);
        return;
    }
    Messages::tell(parent, QStringLiteral("好消息"), QStringLiteral("备份成功！"), QMessageBox::Question);
}

bool restoreData(FrontDesk &desk, QWidget *parent)
{
    const QString chosen =
        Messages::openFileName(parent, QFileInfo(desk.store().path()).absolutePath(), backupFilter());
    if (chosen.isEmpty())
        return false;
    const QString question =
        QStringLiteral("请您确认“") + QDir::toNativeSeparators(chosen) +
        QStringLiteral(
            "”是您以前备份的文件，否则可能出现不可想像的错误。如果发生了错误，请你参见联机帮助的解决办法，"
            "建议您先对当前数据库进行备份。而且还原后，在您备份以后的数据都将丢失。您真的要还原这个数据库吗"
            "？");
    if (Messages::ask(parent, QStringLiteral("问题"), question, QMessageBox::Yes | QMessageBox::No,
                      QMessageBox::No) != QMessageBox::Yes)
        return false;
    // The daily backup may be running: nothing was touched yet, so the operator tries again.
    if (desk.copying()) {
        Messages::tell(parent, QStringLiteral("提示"), FrontDesk::backupWaitText());
        return false;
    }
    const Result<> done = waitFor(parent, FrontDesk::restoreWaitText(), [&](Done finished) {
        return desk.startRestore(chosen, std::move(finished));
    });
    if (!done) {
        Messages::tell(parent, QStringLiteral("错误"), QStringLiteral("发现错误：") + done.error(),
                       QMessageBox::Critical);
        return true;
    }
    Messages::tell(
        parent, QStringLiteral("注意"),
        QStringLiteral(
            "还原成功！请您点击确定，将使用这个数据库。如果发生了错误，请您参见联机帮助的解决办法。"),
        QMessageBox::Warning);
    return true;
}
