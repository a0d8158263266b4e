#pragma once

#include "desk/goodsservice.h"

#include <QDialog>

// "商品管理": the goods catalogue with its stock. Not modal. An operator below "B" may only
// look and sell over the counter.
class GoodsDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit GoodsDialog(GoodsService goods, QWidget *parent = nullptr);
    ~GoodsDialog() override;

signals:
    // The catalogue or its stock changed (a save, a delete, a counter sale).
    void catalogueChanged();

private:
    enum class Mode { Browsing, Adding, Modifying };

    void reload();
    void setMode(Mode mode);
    void modifyOrAbandon();
    void startAdding();
    void save();
    void removeCurrent();
    void sellCurrent();

    struct Private;
    Private *d;
};
