#pragma once

#include "common/result.h"

#include <QDialog>
#include <memory>

class FrontDesk;
class QPrinter;

// "结帐": checkout of the selected machine, with the machines paid together with it, the
// discount, the stored-value card and the bill.
class CheckoutDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit CheckoutDialog(FrontDesk &desk, QWidget *parent = nullptr);
    ~CheckoutDialog() override;

    // False when no machine was selected: there is nothing to check out.
    bool isReady() const;
    // Pays from a stored-value card: ticks "使用储金卡" and fills in the card.
    void useCard(const QString &number, const QString &password);
    // Prints the bill, as shown, with the trail's anchor under it, on `printer`.
    Result<> printBill(QPrinter &printer) const;
    // After settling: the change to hand back ("找零：N元") or what is left on the card that
    // paid ("卡内余额：N元"); empty when there is nothing to tell.
    QString outcomeNotice() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWidgets();
    void showFigures();
    void showBill();
    void showChange();
    void toggleDetails();
    void settle(bool shutdown);
    void print();

    struct Private;
    std::unique_ptr<Private> d;
};
