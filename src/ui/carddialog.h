#pragma once

#include "accounts/cards.h"
#include "desk/accountservice.h"
#include "store/rows.h"

#include <QDialog>
#include <QList>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// "储金卡管理": the stored-value cards. Not modal. `draw` is the generator's random source.
class CardDialog final : public QDialog
{
    Q_OBJECT

public:
    CardDialog(AccountService accounts, QWidget *parent = nullptr, cards::Draw draw = cards::systemDraw());

    static constexpr int kFields = 8;

private:
    enum class Mode { Browse, Adding, Modifying };

    void rebuild();
    void select(int row);
    void setMode(Mode mode);
    void toggleAdd();
    void toggleModify();
    void generate();
    void totalChanged();
    void save();
    void remove();
    // "充值": asks the amount and adds it to the selected card.
    void topUp();

    AccountService m_accounts;
    cards::Draw m_draw;
    Mode m_mode = Mode::Browse;
    QList<Card> m_cards;
    int m_selected = -1;

    QTreeWidget *m_list;
    QGroupBox *m_frame;
    QLineEdit *m_fields[kFields];
    QComboBox *m_customer;
    QPushButton *m_generate;
    QPushButton *m_add;
    QPushButton *m_modify;
    QPushButton *m_delete;
    QPushButton *m_topUp;
    QPushButton *m_save;
};
