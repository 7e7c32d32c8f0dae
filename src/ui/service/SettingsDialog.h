#pragma once

#include "config/AlertMailSettings.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

// Edits how the monitoring service sends its alert e-mails, right in the service's registry
// key (AlertMailSettings). "Save" writes every value and closes the dialog; when a value
// cannot be stored the user is told which, and the dialog stays open with what was typed.
// Enter saves, Escape cancels.
class SettingsDialog final : public QDialog
{
    Q_OBJECT

public:
    // defaultSender: the sender address shown when the service has none.
    explicit SettingsDialog(const QString& defaultSender, QWidget* parent = nullptr);

private:
    void buildForm();
    void showSettings();
    void updateEnabling();
    void onSave();

    AlertMailSettings m_settings; // as loaded

    QLineEdit* m_server = nullptr;
    QSpinBox* m_port = nullptr;
    QLineEdit* m_sender = nullptr;
    QCheckBox* m_useAuthentication = nullptr;
    QLineEdit* m_userName = nullptr;
    QLineEdit* m_password = nullptr;
    QComboBox* m_encryption = nullptr;
    QCheckBox* m_ignoreSslErrors = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_cancel = nullptr;
};
