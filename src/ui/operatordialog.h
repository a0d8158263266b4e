#pragma once

#include "desk/accountservice.h"
#include "store/rows.h"

#include <QDialog>
#include <QList>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// "管理员设置": the operator list with adding, modifying and deleting operators.
class OperatorDialog final : public QDialog
{
    Q_OBJECT

public:
    // `currentOperator` is the logged-in operator, who cannot delete itself.
    OperatorDialog(AccountService accounts, const QString &currentOperator, QWidget *parent = nullptr);

signals:
    // The logged-in operator saved under a new name: the desk goes on under that name at once.
    void currentRenamed(const QString &name);

private:
    enum class Mode { Browse, Adding, Modifying };

    void rebuild();
    void setMode(Mode mode);
    void toggleAdd();
    void toggleModify();
    void save();
    void remove();
    const Operator *current() const;

    AccountService m_accounts;
    QString m_currentOperator;
    Mode m_mode = Mode::Browse;
    QList<Operator> m_operators;

    QTreeWidget *m_list;
    QGroupBox *m_frame;
    QLineEdit *m_name;
    QComboBox *m_right;
    QLineEdit *m_oldPassword;
    QLineEdit *m_newPassword;
    QLineEdit *m_confirm;
    QPushButton *m_add;
    QPushButton *m_modify;
    QPushButton *m_delete;
    QPushButton *m_save;
};
