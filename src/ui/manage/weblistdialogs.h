#pragma once

#include "desk/weblistservice.h"

#include <QDialog>
#include <memory>

// "设置快速网址": the quick web addresses. Not modal; when it closes, however it is closed,
// every connected PC gets the list.
class QuickAddressDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit QuickAddressDialog(WebListService lists, QWidget *parent = nullptr);
    ~QuickAddressDialog() override;

private:
    void fill(qint64 selectRowid = 0);
    void entryChosen();
    void updateButtons();
    void add();
    void remove();
    void change();
    // Shows a refusal; a wrong address puts the focus on the address.
    void refuse(const QString &reason);

    struct Private;
    std::unique_ptr<Private> d;
};

// "访问限制": fragments of addresses the customers may not visit. Not modal; pushed to every
// connected PC when it closes.
class RestrictedSitesDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit RestrictedSitesDialog(WebListService lists, QWidget *parent = nullptr);
    ~RestrictedSitesDialog() override;

private:
    void fill();
    void add();
    void remove();

    struct Private;
    std::unique_ptr<Private> d;
};
