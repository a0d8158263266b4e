#pragma once

#include "desk/accountservice.h"
#include "ui/widgets/recorddialog.h"

#include <memory>

// "管理员设置": the operator list with adding, modifying and deleting operators.
class OperatorDialog final : public RecordDialog
{
    Q_OBJECT

public:
    // `currentOperator` is the logged-in operator, who cannot delete itself.
    OperatorDialog(AccountService accounts, const QString &currentOperator, QWidget *parent = nullptr);
    ~OperatorDialog() override;

signals:
    // The logged-in operator saved under a new name: the desk goes on under that name at once.
    void currentRenamed(const QString &name);

private:
    QList<QStringList> loadRows() override;
    void showRow(int row) override;
    bool prepareAdding() override;
    QWidget *firstField() const override;
    void saveRecord(bool adding, int row) override;
    void removeRecord(int row) override;

    struct Private;
    std::unique_ptr<Private> d;
};
