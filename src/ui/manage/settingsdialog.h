#pragma once

#include "desk/settingsservice.h"

#include <QDialog>
#include <memory>

// "选项": the café-wide settings.
class SettingsDialog final : public QDialog
{
    Q_OBJECT

public:
    // The web console's settings are kept in `webFolder` (the program's folder when empty).
    SettingsDialog(SettingsService settings, QWidget *parent = nullptr, const QString &webFolder = QString());
    ~SettingsDialog() override;

    // Saves the fields; false (after telling the operator) when the row could not be written.
    bool apply();

private:
    void load();
    void markChanged();
    void markWebChanged();
    bool applyWeb();
    void showWebStatus(const QString &status);

    struct Private;
    std::unique_ptr<Private> d;
};
