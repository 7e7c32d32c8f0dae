#pragma once

#include "snmp/SnmpReader.h"
#include "config/VelmoraFile.h"

#include <QDialog>
#include <QHash>
#include <QMessageBox>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class LoadingPopupDialog;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Adds a device, changes one or changes several at once. A new or changed device is checked
// over SNMP before the dialog accepts it, and the user is warned about a device that seems to
// be monitored already. The caller reads entry() and, after a check, deviceInfo().
class DeviceEditDialog final : public QDialog
{
    Q_OBJECT

public:
    enum Mode
    {
        AddDevice = 0,
        ChangeDevice = 1,
        ChangeSeveralDevices = 2
    };

    // A device of the list, as far as the duplicate checks need it.
    struct KnownDevice
    {
        QString ipAddress;
        QString sysName;
        QSet<QString> macAddresses;
        QSet<QString> ipAddresses; // the device's own addresses, from its IP address table
    };
    static KnownDevice knownDevice(const QString& ipAddress, const SnmpReader::HostInfoResult& info);

    DeviceEditDialog(Mode mode, const QStringList& groups, const QList<KnownDevice>& knownDevices,
                     QWidget* parent = nullptr);
    ~DeviceEditDialog() override;
    Q_DISABLE_COPY_MOVE(DeviceEditDialog)

    // Adding: the group the form starts with.
    void setDefaultGroup(const QString& group);
    // Changing one: the entry changed. Adding: an entry whose values the form starts with.
    void setEntry(const VelmoraFile::Entry& entry);
    // Changing several: the form shows what all of them share.
    void setEntries(const QList<VelmoraFile::Entry>& entries);

    Mode mode() const { return m_mode; }
    // The entry as the form describes it (see the mode's rules in the source).
    VelmoraFile::Entry entry() const;
    // Whether a check ran and what it found.
    bool hasDeviceInfo() const { return m_hasDeviceInfo; }
    SnmpReader::HostInfoResult deviceInfo() const { return m_deviceInfo; }
    // Changing several: which parts the user edited.
    bool groupChanged() const { return m_groupChanged; }
    bool snmpChanged() const { return m_snmpChanged; }
    bool descriptionChanged() const { return m_descriptionChanged; }

    void done(int result) override;

private:
    void buildForm(const QStringList& groups);
    void updateForm();
    void showCredentials(const SnmpUtils::SnmpParams& params);
    SnmpUtils::SnmpParams credentials() const;
    // Changing one device: the form holds its credentials, in its notation, as they were.
    bool keepsCredentials() const;
    // Changing one device whose credentials could not be read: the user left them alone.
    bool keepsUnreadCredentials() const;
    QString knownDeviceMessage(const QString& ip) const;
    void onOk();
    void verify(const QString& ip);
    void onHostResolved(const SnmpReader::HostInfoResult& result, int requestId);
    bool askToAddAnyway(const QString& title, const QString& message, QMessageBox::StandardButton defaultButton);

    const Mode m_mode;
    const int m_requestId;
    VelmoraFile::Entry m_entry;
    QList<VelmoraFile::Entry> m_entries;
    QList<KnownDevice> m_knownDevices;
    bool m_groupChanged = false;
    bool m_snmpChanged = false;
    bool m_descriptionChanged = false;
    bool m_groupValid = false;
    bool m_ipValid = false;
    bool m_credentialsValid = false;
    bool m_checkAfterVerification = true;
    bool m_hasDeviceInfo = false;
    SnmpReader::HostInfoResult m_deviceInfo;
    QString m_verifying; // the address being checked, empty when no check runs

    QComboBox* m_group = nullptr;
    QLineEdit* m_ip = nullptr;
    QButtonGroup* m_version = nullptr;
    QRadioButton* m_v1 = nullptr;
    QRadioButton* m_v2c = nullptr;
    QRadioButton* m_v3 = nullptr;
    QLineEdit* m_community = nullptr;
    QLineEdit* m_userName = nullptr;
    QComboBox* m_authProtocol = nullptr;
    QLineEdit* m_authPassword = nullptr;
    QComboBox* m_privProtocol = nullptr;
    QLineEdit* m_privPassword = nullptr;
    QLineEdit* m_description = nullptr;
    QLabel* m_groupLabel = nullptr;
    QLabel* m_ipLabel = nullptr;
    QLabel* m_communityLabel = nullptr;
    QLabel* m_userNameLabel = nullptr;
    QLabel* m_authProtocolLabel = nullptr;
    QLabel* m_authPasswordLabel = nullptr;
    QLabel* m_privProtocolLabel = nullptr;
    QLabel* m_privPasswordLabel = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    LoadingPopupDialog* m_popup = nullptr;
    QHash<QWidget*, QLabel*> m_problems; // by field: why its text cannot be saved
};
