#pragma once

#include "desk/goodsservice.h"
#include "store/goodsrows.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

// "零售商品": sells an article over the counter. Modal; accepted once the sale is recorded.
class SellDialog final : public QDialog
{
    Q_OBJECT

public:
    SellDialog(GoodsService goods, const Article &article, QWidget *parent = nullptr);

private:
    void sell();

    GoodsService m_goods;
    Article m_article;
    QLineEdit *m_quantity;
    QPushButton *m_ok;
};
