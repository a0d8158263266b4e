#pragma once

#include "desk/accountservice.h"
#include "store/rows.h"

#include <QDialog>
#include <QList>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// "客户管理": the customer register. Not modal.
class CustomerDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit CustomerDialog(AccountService accounts, QWidget *parent = nullptr);

    static constexpr int kFields = 11;

private:
    enum class Mode { Browse, Adding, Modifying };

    void rebuild();
    void select(int row);
    void setMode(Mode mode);
    void toggleAdd();
    void toggleModify();
    void save();
    void remove();
    Customer fromFields() const;

    AccountService m_accounts;
    Mode m_mode = Mode::Browse;
    QList<Customer> m_customers;
    int m_selected = -1;

    QTreeWidget *m_list;
    QGroupBox *m_frame;
    QLineEdit *m_fields[kFields];
    QPushButton *m_add;
    QPushButton *m_modify;
    QPushButton *m_delete;
    QPushButton *m_save;
};
