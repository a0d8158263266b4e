#pragma once

#include "desk/goodsservice.h"
#include "ui/widgets/recorddialog.h"

#include <memory>

// "商品管理": the goods catalogue with its stock. Not modal. An operator below "B" may only
// look and sell over the counter.
class GoodsDialog final : public RecordDialog
{
    Q_OBJECT

public:
    explicit GoodsDialog(GoodsService goods, QWidget *parent = nullptr);
    ~GoodsDialog() override;

signals:
    // The catalogue or its stock changed (a save, a delete, a counter sale).
    void catalogueChanged();

private:
    QList<QStringList> loadRows() override;
    void showRow(int row) override;
    bool prepareAdding() override;
    QWidget *firstField() const override;
    void saveRecord(bool adding, int row) override;
    void removeRecord(int row) override;
    void modeChanged(Mode mode) override;
    void sellCurrent();

    struct Private;
    std::unique_ptr<Private> d;
};
