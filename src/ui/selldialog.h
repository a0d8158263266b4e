#pragma once

#include "store/rows.h"

#include <QDialog>

class CommandPath;
class Database;
class QLineEdit;
class QPushButton;

// "零售商品": sells an article over the counter. Modal; accepted once the sale is recorded.
class SellDialog final : public QDialog
{
    Q_OBJECT

public:
    SellDialog(Database &db, CommandPath &commands, const Article &article, QWidget *parent = nullptr);

private:
    void sell();

    Database &m_db;
    CommandPath &m_commands;
    Article m_article;
    QLineEdit *m_quantity;
    QPushButton *m_ok;
};
