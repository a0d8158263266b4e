#include "messages.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>

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
} // namespace

namespace Messages {

QMessageBox::StandardButton ask(QWidget *parent, const QString &title, const QString &text,
                                QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton,
                                QMessageBox::Icon icon)
{
    g_shown << text;
    if (g_scripted)
        return g_answers.isEmpty() ? defaultButton : g_answers.takeFirst();
    QMessageBox box(icon, titleOr(title), text, buttons, parent);
    box.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

void tell(QWidget *parent, const QString &title, const QString &text, QMessageBox::Icon icon)
{
    g_shown << text;
    if (g_scripted)
        return;
    QMessageBox box(icon, titleOr(title), text, QMessageBox::Ok, parent);
    box.exec();
}

QString input(QWidget *parent, const QString &title, const QString &label, bool password, bool *ok)
{
    g_shown << label;
    if (g_scripted) {
        *ok = !g_inputs.isEmpty();
        return *ok ? g_inputs.takeFirst() : QString();
    }
    return QInputDialog::getText(parent, titleOr(title), label, password ? QLineEdit::Password : QLineEdit::Normal,
                                 QString(), ok);
}

QString saveFileName(QWidget *parent, const QString &suggested, const QString &filter)
{
    if (g_scripted)
        return g_fileNames.isEmpty() ? QString() : g_fileNames.takeFirst();
    return QFileDialog::getSaveFileName(parent, QString(), suggested, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString openFileName(QWidget *parent, const QString &folder, const QString &filter)
{
    if (g_scripted)
        return g_fileNames.isEmpty() ? QString() : g_fileNames.takeFirst();
    return QFileDialog::getOpenFileName(parent, QString(), folder, filter);
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
