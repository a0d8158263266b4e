#pragma once

#include <QDialog>
#include <memory>

class FrontDesk;

// Goods bought for the selected machine ("选择商品"): the catalogue, the shopping list and
// the confirmation that books it to the machine.
class PurchaseDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit PurchaseDialog(FrontDesk &desk, QWidget *parent = nullptr);
    ~PurchaseDialog() override;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void addSelected();
    void removeSelected();
    void confirmPurchase();
    void keepBarInRange();

    struct Private;
    std::unique_ptr<Private> d;
};
