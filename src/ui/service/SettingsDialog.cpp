#include "ui/service/SettingsDialog.h"

#include "ui/widgets/UserPrompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QLineEdit* lineEdit(const char* name, QWidget* parent, QLineEdit::EchoMode echo = QLineEdit::Normal)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setEchoMode(echo);
    // Room for a server name or an address without scrolling.
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("alerts@mail.example.com ")) * 3 / 2);
    return edit;
}

} // namespace

SettingsDialog::SettingsDialog(const QString& defaultSender, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMinMaxButtonsHint)
    , m_settings(AlertMailSettings::load(defaultSender))
{
    setWindowTitle(tr("Settings"));
    buildForm();
    showSettings();
    updateEnabling();
    m_cancel->setFocus();
}

void SettingsDialog::buildForm()
{
    m_server = lineEdit("serverEdit", this);
    m_port = new QSpinBox(this);
    m_port->setObjectName(QStringLiteral("portSpin"));
    m_port->setRange(1, AlertMailSettings::MaximumPort);
    m_sender = lineEdit("senderEdit", this);
    m_useAuthentication = new QCheckBox(tr("Use authentication"), this);
    m_useAuthentication->setObjectName(QStringLiteral("authenticationCheck"));
    m_userName = lineEdit("userNameEdit", this);
    m_password = lineEdit("passwordEdit", this, QLineEdit::Password);
    m_encryption = new QComboBox(this);
    m_encryption->setObjectName(QStringLiteral("encryptionCombo"));
    // In the order of the service's codes.
    m_encryption->addItems({tr("None"), tr("SSL"), tr("TLS")});
    m_ignoreSslErrors = new QCheckBox(tr("Ignore SSL errors"), this);
    m_ignoreSslErrors->setObjectName(QStringLiteral("ignoreSslErrorsCheck"));
    m_save = new QPushButton(tr("Save"), this);
    m_save->setDefault(true);
    m_cancel = new QPushButton(tr("Cancel"), this);
    // Enter saves even while Cancel has the focus.
    m_cancel->setAutoDefault(false);

    auto* group = new QGroupBox(tr("SNMP Trap Service - Email Alerts"), this);
    auto* form = new QFormLayout(group);
    form->addRow(tr("SMTP Server"), m_server);
    form->addRow(tr("SMTP Port"), m_port);
    form->addRow(tr("Email From"), m_sender);
    form->addRow(m_useAuthentication);
    form->addRow(tr("Username"), m_userName);
    form->addRow(tr("Password"), m_password);
    form->addRow(tr("Connection encryption"), m_encryption);
    form->addRow(m_ignoreSslErrors);

    const int spacing = m_save->sizeHint().height() / 2;
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_save);
    buttons->addSpacing(spacing);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();
    layout->addSpacing(spacing);
    layout->addLayout(buttons);

    connect(m_useAuthentication, &QCheckBox::toggled, this, &SettingsDialog::updateEnabling);
    connect(m_encryption, qOverload<int>(&QComboBox::currentIndexChanged), this, &SettingsDialog::updateEnabling);
    connect(m_save, &QPushButton::clicked, this, &SettingsDialog::onSave);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void SettingsDialog::showSettings()
{
    m_server->setText(m_settings.server);
    m_port->setValue(m_settings.port);
    m_sender->setText(m_settings.sender);
    m_useAuthentication->setChecked(m_settings.useAuthentication);
    m_userName->setText(m_settings.userNameText());
    m_encryption->setCurrentIndex(m_settings.encryption);
    m_ignoreSslErrors->setChecked(m_settings.ignoreSslErrors);
}

void SettingsDialog::updateEnabling()
{
    const bool authenticating = m_useAuthentication->isChecked();
    m_userName->setEnabled(authenticating);
    m_password->setEnabled(authenticating);
    // Without encryption there is no certificate to check; the choice stays as it is.
    m_ignoreSslErrors->setEnabled(m_encryption->currentIndex() > AlertMailSettings::NoEncryption);
}

void SettingsDialog::onSave()
{
    AlertMailSettings settings = m_settings;
    settings.server = m_server->text();
    settings.port = m_port->value();
    settings.sender = m_sender->text();
    settings.useAuthentication = m_useAuthentication->isChecked();
    settings.setUserName(m_userName->text());
    settings.setPassword(m_password->text());
    settings.encryption = m_encryption->currentIndex();
    settings.ignoreSslErrors = m_ignoreSslErrors->isChecked();
    const QStringList failed = settings.save();
    if (failed.isEmpty()) {
        accept();
        return;
    }
    UserPrompts::instance().warning(
        this, windowTitle(),
        tr("The settings were not all saved: %1 could not be stored in the monitoring service's registry key.\n\n"
           "Writing the key may need administrator rights.")
            .arg(failed.join(QStringLiteral(", "))));
}
