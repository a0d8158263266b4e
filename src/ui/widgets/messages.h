#pragma once

#include <QMessageBox>
#include <QStringList>

class QWidget;

// Every message box and input box of the program goes through here, so tests can answer
// them in advance and see what was said.
namespace Messages {

QMessageBox::StandardButton ask(QWidget *parent, const QString &title, const QString &text,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton,
                                QMessageBox::Icon icon = QMessageBox::Question);
void tell(QWidget *parent, const QString &title, const QString &text,
          QMessageBox::Icon icon = QMessageBox::Information);
// An input box; `ok` is false when cancelled.
QString input(QWidget *parent, const QString &title, const QString &label, bool password, bool *ok);

// The system's file dialogs: the file chosen to save to or to open; empty when cancelled.
// `filter` is in Qt's form ("备份文件 (*.bak)"). Saving onto an existing file is not confirmed
// here: the caller asks its own question.
QString saveFileName(QWidget *parent, const QString &suggested, const QString &filter,
                     const QString &title = QString());
QString openFileName(QWidget *parent, const QString &folder, const QString &filter,
                     const QString &title = QString());

// Test hooks: the next boxes are answered with these buttons (or texts, or file names; an
// empty name cancels) without showing, and every text asked or told is recorded.
void setNextAnswers(const QList<QMessageBox::StandardButton> &answers);
void setNextInputs(const QStringList &texts);
void setNextFileNames(const QStringList &paths);
QStringList takeShownTexts();
bool isScripted();
void setScripted(bool scripted);

} // namespace Messages
