#pragma once

#include "desk/accountservice.h"
#include "ui/widgets/recorddialog.h"

#include <memory>

// "客户管理": the customer register. Not modal.
class CustomerDialog final : public RecordDialog
{
    Q_OBJECT

public:
    explicit CustomerDialog(AccountService accounts, QWidget *parent = nullptr);
    ~CustomerDialog() override;

    static constexpr int kFields = 11;

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
