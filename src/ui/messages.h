#pragma once

#include <QMessageBox>
#include <QStringList>

class QWidget;

// Every message box and input box of the program goes through here, so tests can answer
// them in advance and see what was said.
namespace Messages {

QMessageBox::StandardButton ask(QWidget *parent, const QString &title, const QString &text,
                                QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton,
                                QMessageBox::Icon icon = QMessageBox::Question);
void tell(QWidget *parent, const QString &title, const QString &text,
          QMessageBox::Icon icon = QMessageBox::Information);
// An input box; `ok` is false when cancelled.
QString input(QWidget *parent, const QString &title, const QString &label, bool password, bool *ok);

// Test hooks: the next boxes are answered with these buttons (or texts) without showing,
// and every text asked or told is recorded.
void setNextAnswers(const QList<QMessageBox::StandardButton> &answers);
void setNextInputs(const QStringList &texts);
QStringList takeShownTexts();
bool isScripted();
void setScripted(bool scripted);

} // namespace Messages
