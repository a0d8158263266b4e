#include "messages.h"

#include "windowfit.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QInputDialog>
#include <QTreeView>

namespace {
bool g_scripted = false;
QList<QMessageBox::StandardButton> g_answers;
QStringList g_inputs;
QStringList g_fileNames;
QStringList g_shown;

QString titleOr(const QString &title)
{
    return title.isEmpty() ? QApplication::applicationDisplayName() : title;
}

// A message box sizes itself to its text and leaves the title 50 pixels more: a short text
// ("备份成功！") then has its title cut. A row as wide as the title bar needs keeps it whole.
void widenForTitle(QMessageBox &box)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid)
        return;
    const int room = WindowFit::titleWidth(box.windowTitle()) - grid->contentsMargins().left() -
                     grid->contentsMargins().right();
    grid->addItem(new QSpacerItem(room, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

// The file dialog's size and date columns in Chinese whatever the PC's locale, numbers and
// moments written as the rest of the program writes them.
class ChineseFileColumns final : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || !files || index.column() == 0)
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        switch (index.column()) {
        case 1:
            return files->isDir(source)
                       ? QString()
                       : QLocale(QLocale::Chinese, QLocale::China).formattedDataSize(files->size(source));
        case 2: // Qt's translation lacks the folder's type
            return files->isDir(source) ? QStringLiteral("文件夹") : QIdentityProxyModel::data(index, role);
        default:
            return files->lastModified(source).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        }
    }
};

// Qt's own file dialog rather than the platform's: its captions come from Qt's Chinese
// translation, and it is wide enough for names, sizes and dates to show whole.
QString runFileDialog(QWidget *parent, QFileDialog::AcceptMode mode, const QString &title,
                      const QString &path, const QString &filter)
{
    QFileDialog dialog(parent, title, path, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    if (mode == QFileDialog::AcceptSave)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    else
        dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setProxyModel(new ChineseFileColumns(&dialog));
    dialog.setViewMode(QFileDialog::Detail);
    if (auto *view = dialog.findChild<QTreeView *>(QStringLiteral("treeView"))) {
        QHeaderView *header = view->header();
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int c = 1; c < 4; ++c)
            header->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    }
    dialog.resize(800, 480);
    WindowFit::fit(&dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}
} // namespace

namespace Messages {

QMessageBox::StandardButton ask(QWidget *parent, const QString &title, const QString &text,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton, QMessageBox::Icon icon)
{
    g_shown << text;
    if (g_scripted)
        return g_answers.isEmpty() ? defaultButton : g_answers.takeFirst();
    QMessageBox box(icon, titleOr(title), text, buttons, parent);
    box.setDefaultButton(defaultButton);
    widenForTitle(box);
    return QMessageBox::StandardButton(box.exec());
}

void tell(QWidget *parent, const QString &title, const QString &text, QMessageBox::Icon icon)
{
    g_shown << text;
    if (g_scripted)
        return;
    QMessageBox box(icon, titleOr(title), text, QMessageBox::Ok, parent);
    widenForTitle(box);
    box.exec();
}

QString input(QWidget *parent, const QString &title, const QString &label, bool password, bool *ok)
{
    g_shown << label;
    if (g_scripted) {
        *ok = !g_inputs.isEmpty();
        return *ok ? g_inputs.takeFirst() : QString();
    }
    QInputDialog dialog(parent);
    dialog.setWindowTitle(titleOr(title));
    dialog.setLabelText(label);
    dialog.setTextEchoMode(password ? QLineEdit::Password : QLineEdit::Normal);
    dialog.setMinimumWidth(WindowFit::titleWidth(dialog.windowTitle()));
    *ok = dialog.exec() == QDialog::Accepted;
    return *ok ? dialog.textValue() : QString();
}

QString saveFileName(QWidget *parent, const QString &suggested, const QString &filter, const QString &title)
{
    if (g_scripted)
        return g_fileNames.isEmpty() ? QString() : g_fileNames.takeFirst();
    return runFileDialog(parent, QFileDialog::AcceptSave,
                         title.isEmpty() ? QStringLiteral("保存文件") : title, suggested, filter);
}

QString openFileName(QWidget *parent, const QString &folder, const QString &filter, const QString &title)
{
    if (g_scripted)
        return g_fileNames.isEmpty() ? QString() : g_fileNames.takeFirst();
    return runFileDialog(parent, QFileDialog::AcceptOpen,
                         title.isEmpty() ? QStringLiteral("打开文件") : title, folder, filter);
}

void setNextFileNames(const QStringList &paths)
{
    g_fileNames = paths;
}

void setNextAnswers(const QList<QMessageBox::StandardButton> &answers)
{
    g_answers = answers;
}

void setNextInputs(const QStringList &texts)
{
    g_inputs = texts;
}

QStringList takeShownTexts()
{
    return std::exchange(g_shown, {});
}

bool isScripted()
{
    return g_scripted;
}

void setScripted(bool scripted)
{
    g_scripted = scripted;
}

} // namespace Messages
