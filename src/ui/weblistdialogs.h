#pragma once

#include "store/rows.h"

#include <QDialog>
#include <QList>
#include <QPointer>

class Database;
class LinkServer;
class QLineEdit;
class QListWidget;
class QPushButton;

// "设置快速网址": the quick web addresses. Not modal; when it closes, however it is closed,
// every connected PC gets the list.
class QuickAddressDialog final : public QDialog
{
    Q_OBJECT

public:
    // `link` may be null (the desk runs without the client link): nothing is pushed then.
    QuickAddressDialog(Database &db, LinkServer *link, QWidget *parent = nullptr);

private:
    void fill(qint64 selectRowid = 0);
    void entryChosen();
    void updateButtons();
    void add();
    void remove();
    void change();
    // Shows a refusal; a wrong address puts the focus on the address.
    void refuse(const QString &reason);

    Database &m_db;
    QPointer<LinkServer> m_link;
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
    RestrictedSitesDialog(Database &db, LinkServer *link, QWidget *parent = nullptr);

private:
    void fill();
    void add();
    void remove();

    Database &m_db;
    QPointer<LinkServer> m_link;
    QList<RestrictedSite> m_rows;
    QLineEdit *m_fragment;
    QListWidget *m_list;
    QPushButton *m_add;
    QPushButton *m_remove;
};
