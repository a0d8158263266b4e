#pragma once

#include <QDialog>

class CommandPath;
class Database;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTimeEdit;

// "选项": the café-wide settings.
class SettingsDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit SettingsDialog(Database &db, CommandPath &commands, QWidget *parent = nullptr);

    // Saves the fields; false (after telling the operator) when the row could not be written.
    bool apply();

private:
    void load();
    void markChanged();

    Database &m_db;
    CommandPath &m_commands;
    QTimeEdit *m_overnightStart;
    QTimeEdit *m_overnightEnd;
    QLineEdit *m_overnightPrice;
    QLineEdit *m_minimumCharge;
    QLineEdit *m_roundingUnit;
    QComboBox *m_startMonth;
    QLineEdit *m_startDay;
    QComboBox *m_endMonth;
    QLineEdit *m_endDay;
    QPushButton *m_applyButton;
};
