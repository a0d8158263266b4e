#pragma once

#include "accounts/cards.h"
#include "desk/accountservice.h"
#include "ui/widgets/recorddialog.h"

#include <memory>

// "储金卡管理": the stored-value cards. Not modal. `draw` is the generator's random source.
class CardDialog final : public RecordDialog
{
    Q_OBJECT

public:
    CardDialog(AccountService accounts, QWidget *parent = nullptr, cards::Draw draw = cards::systemDraw());
    ~CardDialog() override;

    static constexpr int kFields = 8;

private:
    QList<QStringList> loadRows() override;
    void showRow(int row) override;
    bool prepareAdding() override;
    QWidget *firstField() const override;
    void saveRecord(bool adding, int row) override;
    void removeRecord(int row) override;
    void modeChanged(Mode mode) override;
    void generate();
    void totalChanged();
    // "充值": asks the amount and adds it to the selected card.
    void topUp();

    struct Private;
    std::unique_ptr<Private> d;
};
