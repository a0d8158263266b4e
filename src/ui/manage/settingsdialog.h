#pragma once

#include "desk/settingsservice.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;
class QLineEdit;
class QPushButton;
class QTimeEdit;

// "选项": the café-wide settings.
class SettingsDialog final : public QDialog
{
    Q_OBJECT

public:
    // The web console's settings are kept in `webFolder` (the program's folder when empty).
    SettingsDialog(SettingsService settings, QWidget *parent = nullptr, const QString &webFolder = QString());

    // Saves the fields; false (after telling the operator) when the row could not be written.
    bool apply();

private:
    void load();
    void markChanged();
    void markWebChanged();
    bool applyWeb();
    void showWebStatus(const QString &status);

    SettingsService m_settings;
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
    QString m_webFolder;
    QCheckBox *m_webEnabled;
    QSpinBox *m_webPort;
    QLabel *m_webStatus;
    bool m_settingsChanged = false;
    bool m_webChanged = false;
};
