#pragma once

#include "desk/goodsservice.h"

#include <QDialog>
#include <memory>

// "零售商品": sells an article over the counter. Modal; accepted once the sale is recorded.
class SellDialog final : public QDialog
{
    Q_OBJECT

public:
    SellDialog(GoodsService goods, const Article &article, QWidget *parent = nullptr);
    ~SellDialog() override;

private:
    void sell();

    struct Private;
    std::unique_ptr<Private> d;
};
