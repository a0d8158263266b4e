#pragma once

#include "desk/weblistservice.h"
#include "store/webrows.h"

#include <QDialog>
#include <QList>

class QLineEdit;
class QListWidget;
class QPushButton;

// "设置快速网址": the quick web addresses. Not modal; when it closes, however it is closed,
// every connected PC gets the list.
class QuickAddressDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit QuickAddressDialog(WebListService lists, QWidget *parent = nullptr);

private:
    void fill(qint64 selectRowid = 0);
    void entryChosen();
    void updateButtons();
    void add();
    void remove();
    void change();
    // Shows a refusal; a wrong address puts the focus on the address.
    void refuse(const QString &reason);

    WebListService m_lists;
    QList<QuickAddress> m_rows;
    QLineEdit *m_name;
    QLineEdit *m_address;
    QListWidget *m_list;
    QPushButton *m_add;
    QPushButton *m_remove;
    QPushButton *m_change;
};

// "访问限制": fragments of addresses the customers may not visit. Not modal; pushed to every
// connected PC when it closes.
class RestrictedSitesDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit RestrictedSitesDialog(WebListService lists, QWidget *parent = nullptr);

private:
    void fill();
    void add();
    void remove();

    WebListService m_lists;
    QList<RestrictedSite> m_rows;
    QLineEdit *m_fragment;
    QListWidget *m_list;
    QPushButton *m_add;
    QPushButton *m_remove;
};
