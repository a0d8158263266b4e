#pragma once

#include "common/result.h"

#include <QDialog>
#include <QStringList>
#include <memory>

class QLineEdit;
class QPushButton;
class QTreeWidget;

// A management dialog over a list of records: browsing the list, or adding or modifying one
// record in the edit frame shown in the list's place. It keeps the state, the standard
// buttons (add, modify, delete, save) and their enabling, and the selected row; a dialog fills
// in what is its own through the hooks below.
class RecordDialog : public QDialog
{
    Q_OBJECT

public:
    ~RecordDialog() override;

protected:
    enum class Mode { Browsing, Adding, Modifying };

    // How an edit is left: add and modify each turn into their own "放弃添加"/"放弃修改", or
    // modify alone turns into "放弃" for either edit while add waits.
    enum class Abandon { EachButton, ModifyButton };
    // When save becomes possible: at the first edit, at once when adding (else at the first
    // edit), or at once in either edit.
    enum class SaveFrom { FirstEdit, AddingStart, EditStart };

    explicit RecordDialog(QWidget *parent = nullptr);

    // Takes over the list, the frame and the standard buttons, whose captions are the
    // browsing ones. The dialog makes them itself, so they keep its layout and Tab order.
    void attach(QTreeWidget *list, QWidget *frame, QPushButton *add, QPushButton *modify, QPushButton *remove,
                QPushButton *save, Abandon abandon, SaveFrom saveFrom);
    // An operator without the right only looks: add, modify, delete and save stay disabled.
    void setReadOnly(bool readOnly);
    // Columns shown aligned to the right (figures).
    void setRightAligned(const QList<int> &columns);
    // Typing in `edits` counts as an edit.
    void watch(const QList<QLineEdit *> &edits);

    // Reads the rows anew and selects `row` (kept within the list).
    void reload(int row = 0);
    // The edit is saved: back to browsing with `row` selected.
    void leaveEditing(int row);
    // Something was edited: save becomes possible.
    void edited();

    // Says a failure in a message box titled "错误".
    void fail(const QString &text);
    // The value of `result`; a failure is said and gives an empty value.
    template <typename T> T valueOrSay(const Result<T> &result)
    {
        if (!result)
            fail(result.error());
        return result.value_or(T());
    }

    Mode mode() const;
    // The selected row, -1 for none.
    int currentRow() const;

    // The rows as the list shows them; the dialog keeps its records in the same order.
    virtual QList<QStringList> loadRows() = 0;
    // Fills the frame from `row`; -1 empties it.
    virtual void showRow(int row) = 0;
    // Fills the frame for a new record; false when adding cannot start (the dialog said why).
    virtual bool prepareAdding() = 0;
    // The field that takes the focus when an edit starts.
    virtual QWidget *firstField() const = 0;
    // Saves the frame (a new record, or the one at `row`); on success calls leaveEditing.
    virtual void saveRecord(bool adding, int row) = 0;
    // Deletes the record at `row` when the operator confirms it, and reloads.
    virtual void removeRecord(int row) = 0;
    // The mode changed: enable the dialog's own fields and buttons.
    virtual void modeChanged(Mode) {}

private:
    void setMode(Mode mode);
    void addOrAbandon();
    void modifyOrAbandon();
    void abandon();

    struct Private;
    std::unique_ptr<Private> d;
};
