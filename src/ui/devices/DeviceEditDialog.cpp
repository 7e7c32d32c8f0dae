#include "ui/devices/DeviceEditDialog.h"

#include "ui/widgets/LoadingPopupDialog.h"
#include "ui/widgets/UiUtils.h"
#include "snmp/PeerAddress.h"
#include "ui/widgets/UserPrompts.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

constexpr int MinimumPassPhrase = 8;

// A validated field's label carries its state: two blanks when the value is fine, a red
// star when not; the field itself turns red.
void markField(QLabel* label, const QString& text, QWidget* field, bool valid)
{
    label->setText(text + (valid ? QStringLiteral("&nbsp;&nbsp;") : QStringLiteral("<font color=\"red\">*</font>")));
    field->setStyleSheet(valid ? QString() : QStringLiteral("background: rgb(255, 175, 175);"));
}

QLineEdit* lineEdit(const char* name, QWidget* parent, QLineEdit::EchoMode echo = QLineEdit::Normal)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setEchoMode(echo);
    return edit;
}

QComboBox* comboBox(const char* name, const QStringList& items, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->addItems(items);
    return box;
}

// What all values share, or an empty text when they differ.
template <typename Get> QString shared(const QList<VelmoraFile::Entry>& entries, Get get)
{
    const QString first = entries.isEmpty() ? QString() : get(entries.first());
    for (const VelmoraFile::Entry& entry : entries) {
        if (get(entry) != first)
            return QString();
    }
    return first;
}

// Why text cannot be saved in its field, or nothing. No field may hold a control character (a
// line break would start a new line in the device list); forbidden lists the characters that
// would end the field's column or shift the file's quoting.
QString unsavable(const QString& text, const QString& forbidden)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return DeviceEditDialog::tr("Line breaks, tabs and other control characters cannot be saved.");
        if (forbidden.contains(c))
            return DeviceEditDialog::tr("The character %1 cannot be saved in this field.").arg(c);
    }
    return QString();
}

// A known device's name as the rich-text warnings put it before the next word, or nothing. The
// device reports its name: it is text, never markup.
QString nameForMessage(const DeviceEditDialog::KnownDevice& device)
{
    return device.sysName.isEmpty() ? QString() : device.sysName.toHtmlEscaped() + QLatin1Char(' ');
}

} // namespace

DeviceEditDialog::KnownDevice DeviceEditDialog::knownDevice(const QString& ipAddress,
                                                            const SnmpReader::HostInfoResult& info)
{
    KnownDevice device{ipAddress, info.sysName, SnmpReader::macAddresses(info), {}};
    for (const SnmpReader::AddressInfo& address : info.addresses)
        device.ipAddresses.insert(address.address);
    return device;
}

DeviceEditDialog::DeviceEditDialog(Mode mode, const QStringList& groups, const QList<KnownDevice>& knownDevices,
                                   QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_mode(mode)
    , m_requestId(SnmpReader::newRequestId())
    , m_knownDevices(knownDevices)
    , m_popup(new LoadingPopupDialog(this))
{
    buildForm(groups);
    // Queued: the questions a result raises then never run inside the reader's signal.
    connect(SnmpReader::instance(), &SnmpReader::HostResolved, this, &DeviceEditDialog::onHostResolved,
            Qt::QueuedConnection);
    if (mode == AddDevice) {
        setWindowTitle(tr("Add Device"));
        m_v2c->setChecked(true);
        m_community->setText(QStringLiteral("public"));
        m_ip->setFocus();
    } else {
        setWindowTitle(mode == ChangeDevice ? tr("Change Device") : tr("Change Multiple Devices"));
        m_ip->setEnabled(mode == ChangeDevice);
        m_cancel->setFocus();
    }
    updateForm();
}

DeviceEditDialog::~DeviceEditDialog() = default;

void DeviceEditDialog::buildForm(const QStringList& groups)
{
    m_group = comboBox("groupCombo", groups, this);
    m_group->setEditable(true);
    m_group->setInsertPolicy(QComboBox::NoInsert);
    m_ip = lineEdit("ipAddressEdit", this);
    m_v1 = new QRadioButton(tr("SNMPv1"), this);
    m_v2c = new QRadioButton(tr("SNMPv2c"), this);
    m_v3 = new QRadioButton(tr("SNMPv3"), this);
    m_version = new QButtonGroup(this);
    m_version->addButton(m_v1, 1);
    m_version->addButton(m_v2c, 2);
    m_version->addButton(m_v3, 3);
    m_community = lineEdit("communityEdit", this);
    m_userName = lineEdit("userNameEdit", this);
    m_authProtocol = comboBox("authProtocolCombo", SnmpUtils::authProtocolNames(), this);
    m_authPassword = lineEdit("authPasswordEdit", this, QLineEdit::Password);
    m_privProtocol = comboBox("privProtocolCombo", SnmpUtils::privProtocolNames(), this);
    m_privPassword = lineEdit("privPasswordEdit", this, QLineEdit::Password);
    m_description = lineEdit("descriptionEdit", this);
    for (QLineEdit* edit : {m_authPassword, m_privPassword})
        edit->setToolTip(tr("At least %1 characters").arg(MinimumPassPhrase));
    m_ok = new QPushButton(tr("OK"), this);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(tr("Cancel"), this);

    auto* grid = new QGridLayout;
    int row = 0;
    const auto addRow = [this, grid, &row](const QString& text, QWidget* field, bool validated = false) {
        auto* label = new QLabel(text, this);
        label->setTextFormat(validated ? Qt::RichText : Qt::PlainText);
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row++, 1);
        // Under the field, across the dialog: why its text cannot be saved.
        auto* problem = new QLabel(this);
        problem->setObjectName(field->objectName() + QLatin1String("Problem"));
        problem->setStyleSheet(QStringLiteral("color: red;"));
        problem->hide();
        problem->setWordWrap(true);
        grid->addWidget(problem, row++, 0, 1, 2);
        m_problems.insert(field, problem);
        return label;
    };
    auto* versions = new QWidget(this);
    auto* versionRow = new QHBoxLayout(versions);
    versionRow->setContentsMargins(0, 0, 0, 0);
    for (QRadioButton* button : {m_v1, m_v2c, m_v3})
        versionRow->addWidget(button);
    versionRow->addStretch();

    m_groupLabel = addRow(tr("Group:"), m_group, true);
    m_ipLabel = addRow(tr("IP address:"), m_ip, true);
    addRow(tr("SNMP version:"), versions);
    // The community and the user name share one place: only one of them applies.
    m_communityLabel = addRow(tr("Community string:"), m_community, true);
    row -= 2;
    m_userNameLabel = addRow(tr("Username:"), m_userName, true);
    m_authProtocolLabel = addRow(tr("AuthProt:"), m_authProtocol);
    m_authPasswordLabel = addRow(tr("AuthPass:"), m_authPassword, true);
    m_privProtocolLabel = addRow(tr("PrivProt:"), m_privProtocol);
    m_privPasswordLabel = addRow(tr("PrivPass:"), m_privPassword, true);
    addRow(tr("Description (optional):"), m_description);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addLayout(buttons);
    setMinimumWidth(qRound(360 * screenScaleFactor(this)));

    const auto snmpEdited = [this] {
        m_snmpChanged = true;
        updateForm();
    };
    connect(m_group, &QComboBox::editTextChanged, this, [this] {
        m_groupChanged = true;
        updateForm();
    });
    connect(m_ip, &QLineEdit::textChanged, this, &DeviceEditDialog::updateForm);
    connect(m_version, &QButtonGroup::idToggled, this, snmpEdited);
    for (QLineEdit* edit : {m_community, m_userName, m_authPassword, m_privPassword})
        connect(edit, &QLineEdit::textChanged, this, snmpEdited);
    for (QComboBox* box : {m_authProtocol, m_privProtocol})
        connect(box, qOverload<int>(&QComboBox::currentIndexChanged), this, snmpEdited);
    connect(m_description, &QLineEdit::textChanged, this, [this] {
        m_descriptionChanged = true;
        updateForm();
    });
    connect(m_ok, &QPushButton::clicked, this, &DeviceEditDialog::onOk);
    connect(m_cancel, &QPushButton::clicked, this, &DeviceEditDialog::reject);
}

void DeviceEditDialog::setDefaultGroup(const QString& group)
{
    m_group->setCurrentText(group);
}

void DeviceEditDialog::setEntry(const VelmoraFile::Entry& entry)
{
    // A new device takes no support contract from the one it was copied from.
    if (m_mode == ChangeDevice)
        m_entry = entry;
    m_group->setCurrentText(entry.group);
    m_ip->setText(entry.ipAddress);
    showCredentials(entry.credentials);
    m_description->setText(entry.description);
    m_snmpChanged = false;
    updateForm();
}

void DeviceEditDialog::setEntries(const QList<VelmoraFile::Entry>& entries)
{
    m_entries = entries;
    m_group->setCurrentText(shared(entries, [](const VelmoraFile::Entry& entry) { return entry.group; }));
    const QString security = shared(entries, [](const VelmoraFile::Entry& entry) { return entry.securityText; });
    if (!security.isEmpty())
        showCredentials(entries.first().credentials);
    m_description->setText(shared(entries, [](const VelmoraFile::Entry& entry) { return entry.description; }));
    m_groupChanged = m_snmpChanged = m_descriptionChanged = false;
    updateForm();
}

void DeviceEditDialog::showCredentials(const SnmpUtils::SnmpParams& params)
{
    if (params.version < 1 || params.version > 3)
        return;
    m_version->button(params.version)->setChecked(true);
    if (params.version == 3) {
        m_userName->setText(params.userName);
        m_authProtocol->setCurrentIndex(params.authProtocol);
        m_authPassword->setText(params.authPassword);
        m_privProtocol->setCurrentIndex(params.privProtocol);
        m_privPassword->setText(params.privPassword);
    } else {
        m_community->setText(params.community);
    }
}

SnmpUtils::SnmpParams DeviceEditDialog::credentials() const
{
    SnmpUtils::SnmpParams params;
    const int version = m_version->checkedId();
    if (version == 3) {
        params.version = 3;
        params.userName = m_userName->text();
        params.authProtocol = m_authProtocol->currentIndex();
        if (params.authProtocol != SnmpUtils::NoAuth)
            params.authPassword = m_authPassword->text();
        params.privProtocol = m_privProtocol->currentIndex();
        if (params.privProtocol != SnmpUtils::NoPriv)
            params.privPassword = m_privPassword->text();
    } else if (version == 1 || version == 2) {
        params.version = version;
        params.community = m_community->text();
    }
    return params;
}

VelmoraFile::Entry DeviceEditDialog::entry() const
{
    // Contract fields come from the entry changed; a new one has none.
    VelmoraFile::Entry entry = m_entry;
    entry.group = VelmoraFile::normalizedGroup(m_group->currentText());
    entry.ipAddress = m_ip->text().trimmed();
    entry.description = m_description->text();
    entry.credentials = credentials();
    entry.encrypted = entry.credentials.version == 3;
    // Unchanged credentials keep their text: the encrypted notation differs on every writing.
    if (!keepsCredentials()) {
        entry.securityText = VelmoraFile::credentialsToText(entry.credentials, entry.encrypted);
        entry.credentialsUnread = false;
    }
    return entry;
}

bool DeviceEditDialog::keepsUnreadCredentials() const
{
    return m_mode == ChangeDevice && m_entry.credentialsUnread && !m_snmpChanged;
}

bool DeviceEditDialog::keepsCredentials() const
{
    if (keepsUnreadCredentials())
        return true;
    // The notation counts as well: SNMPv3 credentials read in plain text are written encrypted
    // once the device has been through the form.
    return m_mode == ChangeDevice && credentials() == m_entry.credentials &&
           m_entry.encrypted == (m_version->checkedId() == 3);
}

void DeviceEditDialog::updateForm()
{
    const int version = m_version->checkedId();
    const bool v3 = version == 3;
    const bool auth = v3 && m_authProtocol->currentIndex() != SnmpUtils::NoAuth;
    const bool priv = v3 && m_privProtocol->currentIndex() != SnmpUtils::NoPriv;
    m_communityLabel->setVisible(!v3);
    m_community->setVisible(!v3);
    m_userNameLabel->setVisible(v3);
    m_userName->setVisible(v3);
    for (QWidget* widget : {static_cast<QWidget*>(m_authProtocolLabel), static_cast<QWidget*>(m_authProtocol),
                            static_cast<QWidget*>(m_privProtocolLabel), static_cast<QWidget*>(m_privProtocol)})
        widget->setEnabled(v3);
    m_authPassword->setEnabled(auth);
    m_authPasswordLabel->setEnabled(auth);
    m_privPassword->setEnabled(priv);
    m_privPasswordLabel->setEnabled(priv);

    // Changing several devices checks only what the user edited, and never the address.
    const bool several = m_mode == ChangeSeveralDevices;
    // Credentials the file held but that could not be read stay as they are until edited.
    const bool checkCredentials = (!several || m_snmpChanged) && !keepsUnreadCredentials();
    m_groupValid = (several && !m_groupChanged) || !m_group->currentText().trimmed().isEmpty();
    m_ipValid = several || isIpAddressWithPort(m_ip->text().trimmed());
    const bool communityValid = !checkCredentials || v3 || (version > 0 && !m_community->text().isEmpty());
    const bool userNameValid = !checkCredentials || !v3 || !m_userName->text().isEmpty();
    // SNMP refuses shorter pass phrases: such a device could never be queried, and the check
    // would only report that it does not answer.
    const bool authPasswordValid = !checkCredentials || !auth || m_authPassword->text().size() >= MinimumPassPhrase;
    const bool privPasswordValid = !checkCredentials || !priv || m_privPassword->text().size() >= MinimumPassPhrase;
    // Text the device list cannot hold; changing several devices checks only what is applied.
    const auto savable = [this](QWidget* field, const QString& text, const char* forbidden, bool used) {
        const QString problem = used ? unsavable(text, QLatin1String(forbidden)) : QString();
        QLabel* label = m_problems.value(field);
        label->setText(problem);
        label->setVisible(!problem.isEmpty());
        return problem.isEmpty();
    };
    m_groupValid = savable(m_group, m_group->currentText(), ";\"", !several || m_groupChanged) && m_groupValid;
    m_ipValid = savable(m_ip, m_ip->text(), "", !several) && m_ipValid;
    const bool descriptionValid =
        savable(m_description, m_description->text(), ";\"", !several || m_descriptionChanged);
    const bool secretsValid = savable(m_community, m_community->text(), "\"", checkCredentials && !v3) &
                              savable(m_userName, m_userName->text(), "\"", checkCredentials && v3) &
                              savable(m_authPassword, m_authPassword->text(), "\"", checkCredentials && auth) &
                              savable(m_privPassword, m_privPassword->text(), "\"", checkCredentials && priv);
    m_credentialsValid =
        communityValid && userNameValid && authPasswordValid && privPasswordValid && secretsValid && descriptionValid;

    markField(m_groupLabel, tr("Group:"), m_group, m_groupValid);
    markField(m_ipLabel, tr("IP address:"), m_ip, m_ipValid);
    markField(m_communityLabel, tr("Community string:"), m_community, communityValid);
    markField(m_userNameLabel, tr("Username:"), m_userName, userNameValid);
    markField(m_authPasswordLabel, tr("AuthPass:"), m_authPassword, authPasswordValid);
    markField(m_privPasswordLabel, tr("PrivPass:"), m_privPassword, privPasswordValid);
    m_ok->setEnabled(m_groupValid && m_ipValid && m_credentialsValid && m_verifying.isEmpty());
}

QString DeviceEditDialog::knownDeviceMessage(const QString& ip) const
{
    for (const KnownDevice& device : m_knownDevices) {
        const QString name = nameForMessage(device);
        if (device.ipAddress == ip)
            return tr("A device <b>%1</b>with the same IP address <b>%2</b> is already being monitored.<br>\n")
                .arg(name, device.ipAddress.toHtmlEscaped());
        if (device.ipAddresses.contains(ip)) {
            const int count = device.ipAddresses.size();
            return tr("A device <b>%1</b>with the IP address <b>%2</b> is already being monitored.\nIt has %3 IP %4, "
                      "one of which is the same as the IP address <b>%5</b> of the device you want to save.<br>\n")
                .arg(name, device.ipAddress.toHtmlEscaped(), QString::number(count),
                     count > 1 ? tr("addresses") : tr("address"), ip.toHtmlEscaped());
        }
    }
    return QString();
}

bool DeviceEditDialog::askToAddAnyway(const QString& title, const QString& message,
                                      QMessageBox::StandardButton defaultButton)
{
    return UserPrompts::instance().question(this, title,
                                            message + tr("Do you still want to add this device to the configuration?"),
                                            QMessageBox::Yes | QMessageBox::No, defaultButton) == QMessageBox::Yes;
}

void DeviceEditDialog::onOk()
{
    if (!m_ok->isEnabled())
        return;
    if (m_mode == ChangeSeveralDevices) {
        accept();
        return;
    }
    const QString ip = m_ip->text().trimmed();
    const QString known = knownDeviceMessage(ip);
    if (!known.isEmpty()) {
        if (!askToAddAnyway(tr("Duplicate Device Found"), known, QMessageBox::No))
            return;
        m_checkAfterVerification = false;
    }
    if (ip == m_entry.ipAddress && keepsCredentials()) {
        accept();
        return;
    }
    verify(ip);
}

void DeviceEditDialog::verify(const QString& ip)
{
    m_verifying = ip;
    updateForm();
    m_popup->showText(tr("Verifying SNMP for %1...").arg(ip));
    const SnmpUtils::SnmpParams params = credentials();
    // Keys cached for the user name under other credentials would otherwise be reused.
    if (params.version == 3)
        SnmpUtils::clearUsmUsers();
    // With the address table, so that the device's other addresses count for later duplicates.
    SnmpReader::instance()->requestHostInfo(ip, params,
                                            SnmpReader::SystemInfo | SnmpReader::Interfaces | SnmpReader::IpAddresses |
                                                SnmpReader::PrivacyFallback,
                                            m_requestId);
}

void DeviceEditDialog::onHostResolved(const SnmpReader::HostInfoResult& result, int requestId)
{
    if (requestId != m_requestId || m_verifying.isEmpty() || result.ip != m_verifying ||
        result.ip != m_ip->text().trimmed())
        return;
    m_verifying.clear();
    m_deviceInfo = result;
    m_hasDeviceInfo = true;
    m_popup->hide();
    updateForm();

    if (!result.ok) {
        if (askToAddAnyway(
                windowTitle(),
                tr("No SNMP response from device <b>%1</b> with specified credentials.<br>\n").arg(result.ip),
                QMessageBox::Yes))
            accept();
        return;
    }
    // An agent whose tables never end: the walk was cut short, and the user is told so.
    if (!result.stopNote.isEmpty())
        UserPrompts::instance().information(this, windowTitle(), result.stopNote);
    if (result.paramsChanged) {
        showCredentials(result.usedParams);
        UserPrompts::instance().information(
            this, tr("SNMP Parameters Changed"),
            tr("PrivProt changed to \"<b>%1</b>\"")
                .arg(SnmpUtils::privProtocolNames().value(result.usedParams.privProtocol)));
    }
    if (m_checkAfterVerification) {
        for (const KnownDevice& device : m_knownDevices) {
            SnmpReader::HostInfoResult known;
            known.ip = device.ipAddress;
            known.sysName = device.sysName;
            if (!SnmpReader::isSameDevice(known, device.macAddresses, result))
                continue;
            if (askToAddAnyway(
                    tr("Duplicate Device Found"),
                    tr("A duplicate device <b>%1</b>with the IP address <b>%2</b> is already being monitored.<br>\n")
                        .arg(nameForMessage(device), device.ipAddress.toHtmlEscaped()),
                    QMessageBox::No))
                accept();
            return;
        }
    }
    accept();
}

void DeviceEditDialog::done(int result)
{
    // However the dialog ends, a result still on its way finds nothing to do.
    m_verifying.clear();
    m_popup->hide();
    QDialog::done(result);
}
