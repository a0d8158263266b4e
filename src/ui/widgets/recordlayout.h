#pragma once

#include <QList>
#include <QStringList>

class QDialog;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QWidget;

// The shape the management dialogs share: a list of records, an edit frame shown in its place
// while a record is added or changed, and a row of command buttons below both.
namespace RecordLayout {

// A command button. Never a default button: Enter in an edit field must not save or delete.
QPushButton *command(QWidget *parent, const QString &caption, const char *objectName);

// A text field of the edit frame. It takes a stored text whole, however long: a field that
// cut it short would write the shortened text back on the next save.
QLineEdit *textField(QWidget *parent, const QString &objectName);

// The record list: one line per row, no tree decoration, whole lines selected one at a time.
QTreeWidget *list(QWidget *parent, const QString &objectName, const QStringList &headers);

// Puts the list above the frame and the buttons in a row below; `centred` centres the row,
// otherwise it keeps to the right.
void arrange(QDialog *dialog, QWidget *list, QWidget *frame, const QList<QPushButton *> &buttons,
             bool centred);

// Shows `shown` in the place of `hidden` without the dialog growing.
void showInstead(QWidget *shown, QWidget *hidden);

} // namespace RecordLayout
