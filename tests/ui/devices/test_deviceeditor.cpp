// The device list editor against the snmpd test agent: the edit dialog's form rules, SNMP
// check and duplicate warnings, and the device table's add, change, delete, search, filter
// and reordering.

#include "ui/devices/CrudTableWidget.h"
#include "ui/devices/DeviceEditDialog.h"
#include "ui/devices/DeviceFilterProxyModel.h"
#include "ui/devices/DeviceTableWidget.h"
#include "ui/devices/DevicesDialog.h"
#include "ui/widgets/LoadingCoverWidget.h"
#include "ScriptedPrompts.h"
#include "SnmpdFixture.h"
#include "snmp/PeerAddress.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QtTest>

#include <functional>

using Entry = VelmoraFile::Entry;
using Info = SnmpReader::HostInfoResult;

namespace {

const QString kAskAgain = "Do you still want to add this device to the configuration?";

SnmpUtils::SnmpParams v2c(const QString& community = "public")
{
    SnmpUtils::SnmpParams params;
    params.version = 2;
    params.community = community;
    return params;
}

Entry entry(const QString& ip, const QString& group = "Default", const SnmpUtils::SnmpParams& credentials = v2c(),
            const QString& description = QString())
{
    Entry entry;
    entry.ipAddress = ip;
    entry.group = group;
    entry.credentials = credentials;
    entry.securityText = VelmoraFile::credentialsToText(credentials, false);
    entry.description = description;
    return entry;
}

Info info(const QString& ip, const QString& name, const QStringList& addresses = {})
{
    Info info;
    info.ip = ip;
    info.sysName = name;
    for (const QString& address : addresses)
        info.addresses.append({1, address, "255.255.255.0"});
    return info;
}

template <typename T> T* named(QWidget* parent, const char* name)
{
    T* child = parent->findChild<T*>(name);
    if (!child)
        qFatal("no child %s", name);
    return child;
}

template <typename T> T* withText(QWidget* parent, const QString& text)
{
    for (T* child : parent->findChildren<T*>()) {
        if (child->text() == text || child->text().startsWith(text + "&nbsp;") || child->text().startsWith(text + "<"))
            return child;
    }
    qFatal("no child with text %s", qPrintable(text));
}

void setCredentials(QWidget* dialog, const SnmpUtils::SnmpParams& params)
{
    withText<QRadioButton>(dialog, QStringList{"SNMPv1", "SNMPv2c", "SNMPv3"}.value(params.version - 1))->click();
    named<QLineEdit>(dialog, "communityEdit")->setText(params.community);
    named<QLineEdit>(dialog, "userNameEdit")->setText(params.userName);
    named<QComboBox>(dialog, "authProtocolCombo")->setCurrentIndex(params.authProtocol);
    named<QLineEdit>(dialog, "authPasswordEdit")->setText(params.authPassword);
    named<QComboBox>(dialog, "privProtocolCombo")->setCurrentIndex(params.privProtocol);
    named<QLineEdit>(dialog, "privPasswordEdit")->setText(params.privPassword);
}

void clickOk(QWidget* dialog)
{
    withText<QPushButton>(dialog, "OK")->click();
}

// Runs act on the edit dialog that the next exec() shows.
void whenEditing(const std::function<void(DeviceEditDialog*)>& act)
{
    QTimer::singleShot(0, qApp, [act] {
        auto* dialog = qobject_cast<DeviceEditDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            qFatal("no edit dialog");
        act(dialog);
    });
}

QStringList column(const DeviceTableWidget& table, int column)
{
    QStringList texts;
    for (int row = 0; row < table.view()->model()->rowCount(); ++row)
        texts << table.view()->model()->index(row, column).data().toString();
    return texts;
}

QStringList addresses(const QList<Entry>& entries)
{
    QStringList ips;
    for (const Entry& entry : entries)
        ips << entry.ipAddress;
    return ips;
}

} // namespace

class TestDeviceEditor final : public QObject
{
    Q_OBJECT

    SnmpdFixture m_agent;

private slots:
    void initTestCase()
    {
        SNMPD_FIXTURE_START(m_agent, {"127.0.0.1", "127.0.0.1"});
        SnmpReader::instance();
    }

    void addressRules_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("sortKey");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "10.0.0.1" << 0x0A000001u << true;
        QTest::newRow("port") << "192.168.1.2:1161" << 0xC0A80102u << true;
        QTest::newRow("port 0") << "1.2.3.4:0" << 0x01020304u << false;
        QTest::newRow("octet over 255") << "10.0.0.256" << 0u << false;
        QTest::newRow("three octets") << "1.2.3" << 0u << false;
        QTest::newRow("name") << "router" << 0u << false;
    }

    void addressRules()
    {
        QFETCH(QString, text);
        QFETCH(uint, sortKey);
        QFETCH(bool, valid);
        QCOMPARE(ipAddressSortKey(text), sortKey);
        QCOMPARE(isIpAddressWithPort(text), valid);
    }

    void formValidity_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<SnmpUtils::SnmpParams>("credentials");
        QTest::addColumn<QString>("invalidLabel"); // empty: OK is enabled
        SnmpUtils::SnmpParams noUser;
        noUser.version = 3;
        SnmpUtils::SnmpParams user = noUser;
        user.userName = "admin";
        SnmpUtils::SnmpParams auth = user;
        auth.authProtocol = SnmpUtils::AuthMD5;
        SnmpUtils::SnmpParams priv = auth;
        priv.authPassword = "secret12";
        priv.privProtocol = SnmpUtils::PrivDES;
        QTest::newRow("v2c") << "Default"
                             << "1.2.3.4" << v2c() << "";
        QTest::newRow("address with port") << "Default"
                                           << "127.0.0.1:1161" << v2c() << "";
        QTest::newRow("octet over 255") << "Default"
                                        << "10.0.0.256" << v2c() << "IP address:";
        QTest::newRow("three octets") << "Default"
                                      << "1.2.3" << v2c() << "IP address:";
        QTest::newRow("blank group") << "  "
                                     << "1.2.3.4" << v2c() << "Group:";
        QTest::newRow("empty community") << "Default"
                                         << "1.2.3.4" << v2c("") << "Community string:";
        QTest::newRow("v3 without user") << "Default"
                                         << "1.2.3.4" << noUser << "Username:";
        QTest::newRow("v3 noAuthNoPriv") << "Default"
                                         << "1.2.3.4" << user << "";
        QTest::newRow("auth without password") << "Default"
                                               << "1.2.3.4" << auth << "AuthPass:";
        SnmpUtils::SnmpParams shortPass = auth;
        shortPass.authPassword = "secret1";
        QTest::newRow("pass phrase of 7") << "Default"
                                          << "1.2.3.4" << shortPass << "AuthPass:";
        QTest::newRow("priv without password") << "Default"
                                               << "1.2.3.4" << priv << "PrivPass:";
    }

    void formValidity()
    {
        QFETCH(QString, group);
        QFETCH(QString, ip);
        QFETCH(SnmpUtils::SnmpParams, credentials);
        QFETCH(QString, invalidLabel);
        DeviceEditDialog dialog(DeviceEditDialog::AddDevice, {"Default"}, {});
        named<QComboBox>(&dialog, "groupCombo")->setCurrentText(group);
        named<QLineEdit>(&dialog, "ipAddressEdit")->setText(ip);
        setCredentials(&dialog, credentials);
        QCOMPARE(withText<QPushButton>(&dialog, "OK")->isEnabled(), invalidLabel.isEmpty());
        const QString checked = invalidLabel.isEmpty() ? "IP address:" : invalidLabel;
        QLabel* label = withText<QLabel>(&dialog, checked);
        QCOMPARE(label->text(), checked + (invalidLabel.isEmpty() ? "&nbsp;&nbsp;" : "<font color=\"red\">*</font>"));
        QCOMPARE(label->buddy()->styleSheet(), invalidLabel.isEmpty() ? "" : "background: rgb(255, 175, 175);");
    }

    void formRules()
    {
        DeviceEditDialog add(DeviceEditDialog::AddDevice, {"Default", "core"}, {});
        add.setDefaultGroup("core");
        QCOMPARE(add.windowTitle(), "Add Device");
        QCOMPARE(add.focusWidget(), named<QLineEdit>(&add, "ipAddressEdit"));
        QCOMPARE(named<QComboBox>(&add, "groupCombo")->currentText(), "core");
        QVERIFY(withText<QRadioButton>(&add, "SNMPv2c")->isChecked());
        QCOMPARE(named<QLineEdit>(&add, "communityEdit")->text(), "public");
        const auto state = [&add] {
            QString text;
            for (const char* name : {"communityEdit", "userNameEdit"})
                text += named<QWidget>(&add, name)->isHidden() ? '-' : 'V';
            for (const char* name : {"authProtocolCombo", "authPasswordEdit", "privProtocolCombo", "privPasswordEdit"})
                text += named<QWidget>(&add, name)->isEnabled() ? 'E' : '-';
            return text;
        };
        QCOMPARE(state(), "V-----");
        withText<QRadioButton>(&add, "SNMPv3")->click();
        QCOMPARE(state(), "-VE-E-");
        named<QComboBox>(&add, "authProtocolCombo")->setCurrentIndex(SnmpUtils::AuthSHA1);
        named<QComboBox>(&add, "privProtocolCombo")->setCurrentIndex(SnmpUtils::PrivAES);
        QCOMPARE(state(), "-VEEEE");
        withText<QRadioButton>(&add, "SNMPv1")->click();
        QCOMPARE(state(), "V-----");

        // Several devices: the address is not edited, and what the devices do not share is empty.
        DeviceEditDialog several(DeviceEditDialog::ChangeSeveralDevices, {"A", "B"}, {});
        several.setEntries({entry("10.0.0.1", "A", v2c("x"), "one"), entry("10.0.0.2", "A", v2c("y"), "two")});
        QCOMPARE(several.windowTitle(), "Change Multiple Devices");
        QCOMPARE(several.focusWidget(), withText<QPushButton>(&several, "Cancel"));
        QVERIFY(!named<QLineEdit>(&several, "ipAddressEdit")->isEnabled());
        QCOMPARE(named<QComboBox>(&several, "groupCombo")->currentText(), "A");
        QCOMPARE(named<QLineEdit>(&several, "communityEdit")->text(), "");
        QCOMPARE(named<QLineEdit>(&several, "descriptionEdit")->text(), "");
        QVERIFY(withText<QPushButton>(&several, "OK")->isEnabled());
        QVERIFY(!several.groupChanged() && !several.snmpChanged() && !several.descriptionChanged());
        named<QComboBox>(&several, "groupCombo")->setCurrentText("");
        QVERIFY(several.groupChanged() && !withText<QPushButton>(&several, "OK")->isEnabled());
    }

    void verifyOnAdd()
    {
        // An answering device that is the same as a known one (name and a MAC): the user is
        // asked after the check, and Yes adds it.
        ScriptedPrompts prompts;
        const DeviceEditDialog::KnownDevice known{"10.1.1.1", "fixture-agent", {"001122334455"}, {}};
        DeviceEditDialog dialog(DeviceEditDialog::AddDevice, {"Default"}, {known});
        dialog.show();
        named<QLineEdit>(&dialog, "ipAddressEdit")->setText(m_agent.address());
        prompts.answer(QMessageBox::Yes);
        clickOk(&dialog);
        QVERIFY(!withText<QPushButton>(&dialog, "OK")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(dialog.result(), int(QDialog::Accepted), 10000);
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.first().title, "Duplicate Device Found");
        QCOMPARE(prompts.asked.first().text, "A duplicate device <b>fixture-agent </b>with the IP address "
                                             "<b>10.1.1.1</b> is already being monitored.<br>\n" +
                                                 kAskAgain);
        QVERIFY(dialog.hasDeviceInfo());
        QCOMPARE(dialog.deviceInfo().sysName, "fixture-agent");
        const Entry added = dialog.entry();
        QCOMPARE(added.credentials, v2c());
        QCOMPARE(added.securityText, VelmoraFile::credentialsToText(v2c(), false));
        QVERIFY(added.contractNumber.isEmpty());
    }

    void privacyFallback()
    {
        // The user's key works only with the Cisco extension: the check switches to it and says so.
        ScriptedPrompts prompts;
        SnmpUtils::SnmpParams params;
        params.version = 3;
        params.userName = "aes256CiscoUser";
        params.authProtocol = SnmpUtils::AuthSHA1;
        params.authPassword = SnmpdFixture::kAuthPassPhrase;
        params.privProtocol = SnmpUtils::PrivAES256;
        params.privPassword = SnmpdFixture::kPrivPassPhrase;
        DeviceEditDialog dialog(DeviceEditDialog::AddDevice, {"Default"}, {});
        dialog.show();
        named<QLineEdit>(&dialog, "ipAddressEdit")->setText(m_agent.address());
        setCredentials(&dialog, params);
        clickOk(&dialog);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.result(), int(QDialog::Accepted), 20000);
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked.first().title, "SNMP Parameters Changed");
        QCOMPARE(prompts.asked.first().text, "PrivProt changed to \"<b>AES256 Cisco</b>\"");
        QCOMPARE(named<QComboBox>(&dialog, "privProtocolCombo")->currentText(), "AES256 Cisco");
        QCOMPARE(dialog.entry().credentials.privProtocol, int(SnmpUtils::PrivAES256Cisco));
        QVERIFY(dialog.entry().encrypted);
    }

    void noResponse()
    {
        ScriptedPrompts prompts;
        const QString closed = QStringLiteral("127.0.0.1:%1").arg(SnmpdFixture::closedPort());
        DeviceEditDialog dialog(DeviceEditDialog::AddDevice, {"Default"}, {});
        dialog.show();
        named<QLineEdit>(&dialog, "ipAddressEdit")->setText(closed);
        QPushButton* ok = withText<QPushButton>(&dialog, "OK");
        for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
            prompts.answer(answer);
            clickOk(&dialog);
            QTRY_VERIFY_WITH_TIMEOUT(ok->isEnabled(), 15000);
            QCOMPARE(prompts.asked.last().title, "Add Device");
            QCOMPARE(prompts.asked.last().text, "No SNMP response from device <b>" + closed +
                                                    "</b> with specified credentials.<br>\n" + kAskAgain);
            QCOMPARE(dialog.isVisible(), answer == QMessageBox::No);
        }
        QCOMPARE(prompts.asked.size(), 2);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialog.hasDeviceInfo() && !dialog.deviceInfo().ok);
    }

    void changeWithoutCheck()
    {
        // Address and credentials as before: no query, even of an address that would not answer.
        ScriptedPrompts prompts;
        Entry old = entry(QStringLiteral("127.0.0.1:%1").arg(SnmpdFixture::closedPort()), "core");
        old.contractNumber = "C-17";
        DeviceEditDialog dialog(DeviceEditDialog::ChangeDevice, {"core"}, {});
        dialog.setEntry(old);
        QCOMPARE(dialog.windowTitle(), "Change Device");
        QCOMPARE(dialog.focusWidget(), withText<QPushButton>(&dialog, "Cancel"));
        dialog.show();
        named<QLineEdit>(&dialog, "descriptionEdit")->setText("rack 4");
        clickOk(&dialog);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(SnmpReader::instance()->runningQueries(), 0);
        QVERIFY(!dialog.hasDeviceInfo() && prompts.asked.isEmpty());
        const Entry changed = dialog.entry();
        QCOMPARE(changed.description, "rack 4");
        QCOMPARE(changed.contractNumber, "C-17");
        QCOMPARE(changed.securityText, old.securityText);
    }

    void duplicateMessages()
    {
        // A known device that has the typed address among its own, then one with the same
        // address: after Yes the check runs without the after-check warning, and the other
        // entry of that address takes the same device information.
        ScriptedPrompts prompts;
        DeviceTableWidget table;
        table.setData({entry("10.9.9.9"), entry(m_agent.address())},
                      {info("10.9.9.9", "core", {"10.0.0.1", "10.0.0.2"}), info(m_agent.address(), "")});
        QSignalSpy infoChanged(&table, &DeviceTableWidget::DeviceInfoChanged);
        whenEditing([&](DeviceEditDialog* dialog) {
            named<QLineEdit>(dialog, "ipAddressEdit")->setText("10.0.0.1");
            prompts.answer(QMessageBox::No);
            clickOk(dialog);
            QVERIFY(dialog->isVisible());
            named<QLineEdit>(dialog, "ipAddressEdit")->setText(m_agent.address());
            prompts.answer(QMessageBox::Yes);
            clickOk(dialog);
        });
        table.action(CrudTableWidget::AddAction)->trigger();
        QCOMPARE(prompts.asked.size(), 2);
        QCOMPARE(prompts.asked.at(0).title, "Duplicate Device Found");
        QCOMPARE(prompts.asked.at(0).text,
                 "A device <b>core </b>with the IP address <b>10.9.9.9</b> is already being monitored.\nIt has 2 IP "
                 "addresses, one of which is the same as the IP address <b>10.0.0.1</b> of the device you want to "
                 "save.<br>\n" +
                     kAskAgain);
        QCOMPARE(prompts.asked.at(1).text, "A device <b></b>with the same IP address <b>" + m_agent.address() +
                                               "</b> is already being monitored.<br>\n" + kAskAgain);
        QCOMPARE(addresses(table.entries()), (QStringList{"10.9.9.9", m_agent.address(), m_agent.address()}));
        QCOMPARE(column(table, DeviceTableWidget::NameColumn), (QStringList{"core", "fixture-agent", "fixture-agent"}));
        QCOMPARE(infoChanged.size(), 2);
        QVERIFY(!table.isDuplicate(0) && table.isDuplicate(1) && table.isDuplicate(2));
    }

    void insertPosition_data()
    {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("defaultGroup");
        QTest::addColumn<int>("row");
        QTest::newRow("after the first selected") << QList<int>{2, 0} << "C"
                                                  << "A" << 1;
        QTest::newRow("after the last of its group") << QList<int>{} << "A"
                                                     << "Default" << 2;
        QTest::newRow("new group at the end") << QList<int>{} << "C"
                                              << "Default" << 3;
    }

    void insertPosition()
    {
        QFETCH(QList<int>, selected);
        QFETCH(QString, group);
        QFETCH(QString, defaultGroup);
        QFETCH(int, row);
        ScriptedPrompts prompts;
        DeviceTableWidget table;
        table.setData({entry("10.0.0.1", "A"), entry("10.0.0.2", "A"), entry("10.0.0.3", "B")}, {});
        table.selectRows(selected);
        QSignalSpy dataChanged(&table, &DeviceTableWidget::DataChanged);
        QString shownGroup;
        whenEditing([&](DeviceEditDialog* dialog) {
            QComboBox* groupBox = named<QComboBox>(dialog, "groupCombo");
            shownGroup = groupBox->currentText();
            groupBox->setCurrentText(group);
            named<QLineEdit>(dialog, "ipAddressEdit")->setText(m_agent.address());
            clickOk(dialog);
        });
        table.action(CrudTableWidget::AddAction)->trigger();
        QCOMPARE(shownGroup, defaultGroup);
        QCOMPARE(table.entries().at(row).ipAddress, m_agent.address());
        QCOMPARE(table.entries().at(row).group, group);
        QCOMPARE(table.deviceInfo().at(row).sysName, "fixture-agent");
        QCOMPARE(dataChanged.size(), 1);
        QCOMPARE(table.selectedRows(), QList<int>{row});
    }

    void changeSeveral()
    {
        ScriptedPrompts prompts;
        DeviceTableWidget table;
        table.setData({entry(m_agent.address(0), "A", v2c("wrong"), "x"), entry("10.0.0.9", "B", v2c("wrong"), "x"),
                       entry(m_agent.address(1), "A", v2c("wrong"), "y")},
                      {});
        QSignalSpy infoChanged(&table, &DeviceTableWidget::DeviceInfoChanged);
        table.selectRows({0, 2});
        QCOMPARE(table.action(CrudTableWidget::ChangeAction)->text(), "Change (2)...");
        whenEditing([](DeviceEditDialog* dialog) {
            QCOMPARE(named<QLineEdit>(dialog, "communityEdit")->text(), "wrong");
            named<QLineEdit>(dialog, "communityEdit")->setText("public");
            clickOk(dialog);
        });
        table.action(CrudTableWidget::ChangeAction)->trigger();
        QCOMPARE(table.cover()->text(), "Querying device information (0/2)...");
        QVERIFY(!table.cover()->isHidden() && !table.action(CrudTableWidget::AddAction)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(table.cover()->isHidden(), 10000);
        QCOMPARE(infoChanged.size(), 2);
        QCOMPARE(column(table, DeviceTableWidget::NameColumn), (QStringList{"fixture-agent", "", "fixture-agent"}));
        QCOMPARE(column(table, DeviceTableWidget::GroupColumn), (QStringList{"A", "B", "A"}));
        QCOMPARE(column(table, DeviceTableWidget::DescriptionColumn), (QStringList{"x", "x", "y"}));
        const QList<Entry> entries = table.entries();
        QCOMPARE(entries.at(0).credentials, v2c());
        QCOMPARE(entries.at(2).securityText, VelmoraFile::credentialsToText(v2c(), false));
        QCOMPARE(entries.at(1).credentials, v2c("wrong"));
        QVERIFY(table.isDuplicate(0) && table.isDuplicate(2) && !table.isDuplicate(1));

        // Only the description: nothing else changes, nothing is queried.
        table.selectRows({0, 1});
        whenEditing([](DeviceEditDialog* dialog) {
            named<QLineEdit>(dialog, "descriptionEdit")->setText("z");
            clickOk(dialog);
        });
        table.action(CrudTableWidget::ChangeAction)->trigger();
        QVERIFY(table.cover()->isHidden());
        QCOMPARE(column(table, DeviceTableWidget::DescriptionColumn), (QStringList{"z", "z", "y"}));
        QCOMPARE(column(table, DeviceTableWidget::GroupColumn), (QStringList{"A", "B", "A"}));
        QCOMPARE(table.entries().at(1).credentials, v2c("wrong"));
    }

    void deleteRows()
    {
        ScriptedPrompts prompts;
        DeviceTableWidget table;
        table.setData({entry("10.0.0.1"), entry("10.0.0.2"), entry("10.0.0.3")}, {});
        QSignalSpy dataChanged(&table, &DeviceTableWidget::DataChanged);
        table.selectRows({0, 2});
        QCOMPARE(table.action(CrudTableWidget::DeleteAction)->text(), "Delete (2)...");
        QTest::keyClick(table.view(), Qt::Key_Delete); // unanswered: the default, Cancel
        QCOMPARE(table.entries().size(), 3);
        QCOMPARE(prompts.asked.last().title, "Delete Devices");
        QCOMPARE(prompts.asked.last().text, "You are about to delete the selected 2 devices.");
        QCOMPARE(prompts.asked.last().buttons, (QStringList{"Delete", "Cancel"}));
        prompts.answerChoice(0);
        table.action(CrudTableWidget::DeleteAction)->trigger();
        QCOMPARE(addresses(table.entries()), QStringList{"10.0.0.2"});
        QCOMPARE(column(table, DeviceTableWidget::IpColumn), QStringList{"10.0.0.2"});
        QCOMPARE(table.deviceInfo().size(), 1);
        table.selectRows({0});
        prompts.answerChoice(0);
        table.action(CrudTableWidget::DeleteAction)->trigger();
        QCOMPARE(prompts.asked.last().title, "Delete Device");
        QCOMPARE(prompts.asked.last().text, "You are about to delete 10.0.0.2 from the configuration.");
        QVERIFY(table.entries().isEmpty());
        QCOMPARE(dataChanged.size(), 2);
        QVERIFY(!table.action(CrudTableWidget::DeleteAction)->isEnabled());
    }

    void searchAndDuplicates()
    {
        DeviceTableWidget table;
        Info described = info("10.1.0.2", "sw-2");
        described.sysDescr = "a<b";
        table.setData({entry("10.1.0.1", "core"), entry("10.1.0.2", "edge", SnmpUtils::SnmpParams()),
                       entry("10.2.0.1", "core", v2c(), "sw-1 spare")},
                      {info("10.1.0.1", "sw-1"), described, info("10.2.0.1", "sw-1")});
        const std::pair<const char*, QList<int>> searches[] = {
            {"core, 10.1", {0}}, {"SW-", {0, 1, 2}}, {" , ", {0, 1, 2}}, {"spare", {2}}, {"edge v2c", {}}};
        for (const auto& [text, rows] : searches) {
            table.searchEdit()->setText(text);
            QVERIFY2(table.selectedRows() == rows, text);
        }

        // Same name and no MACs: rows 0 and 2 are one device.
        const QAbstractItemModel* shown = table.view()->model();
        QCOMPARE(column(table, DeviceTableWidget::SnmpColumn), (QStringList{"v2c", "?", "v2c"}));
        QCOMPARE(shown->index(1, DeviceTableWidget::NameColumn).data(Qt::ToolTipRole).toString(), "<qt>a&lt;b</qt>");
        QCOMPARE(shown->index(1, DeviceTableWidget::IpColumn).data(DeviceFilterProxyModel::SortRole).toUInt(),
                 0x0A010002u);
        for (int row = 0; row < 3; ++row) {
            const bool duplicate = row != 1;
            QCOMPARE(shown->index(row, 0).data(DeviceFilterProxyModel::DuplicateRole).toBool(), duplicate);
            const QVariant background = shown->index(row, 4).data(Qt::BackgroundRole);
            QCOMPARE(background.isValid() ? background.value<QBrush>().color() : QColor(),
                     duplicate ? QColor("#FFC0CB") : QColor());
        }
        table.onlyDuplicatesBox()->setChecked(true);
        QCOMPARE(column(table, DeviceTableWidget::IpColumn), (QStringList{"10.1.0.1", "10.2.0.1"}));
        table.onlyDuplicatesBox()->setChecked(false);
        QCOMPARE(shown->rowCount(), 3);
    }

    // Marks found by comparing only rows of one address or name are those of every pair.
    void duplicateMarksMatchEveryPair()
    {
        QRandomGenerator random(7);
        const QStringList names{"", "", "sw", "rt"};
        const QStringList macs{"", "001122334455", "000000000000", "02ABCDEF0123"};
        for (int round = 0; round < 200; ++round) {
            QList<Info> devices;
            const int count = random.bounded(2, 9);
            for (int i = 0; i < count; ++i) {
                Info device = info("10.0.0." + QString::number(random.bounded(6)), names.at(random.bounded(4)));
                for (int n = random.bounded(3); n > 0; --n) {
                    SnmpReader::InterfaceInfo interface;
                    interface.index = quint32(n);
                    interface.type = random.bounded(2) ? 6 : 24;
                    interface.mac = macs.at(random.bounded(4));
                    device.interfaces.insert(interface.index, interface);
                }
                devices.append(device);
            }
            QVector<bool> expected(count, false);
            for (int i = 0; i < count; ++i) {
                for (int j = i + 1; j < count; ++j) {
                    if (SnmpReader::isSameDevice(devices.at(i), SnmpReader::macAddresses(devices.at(i)), devices.at(j)))
                        expected[i] = expected[j] = true;
                }
            }
            QCOMPARE(DeviceTableWidget::duplicateMarks(devices), expected);
        }
    }

    void shiftRows()
    {
        DevicesDialog dialog;
        QCOMPARE(dialog.objectName(), "DevicesDialog");
        QCOMPARE(dialog.windowTitle(), "Devices");
        QCOMPARE(dialog.size(), QSize(820, 496));
        DeviceTableWidget* table = dialog.tableWidget();
        QCOMPARE(table->objectName(), "crudWidget");
        dialog.setData({entry("10.0.0.1"), entry("10.0.0.2"), entry("10.0.0.3")},
                       {info("10.0.0.1", "a"), info("10.0.0.2", "b"), info("10.0.0.3", "c")});
        QAction* up = table->action(CrudTableWidget::ShiftUpAction);
        QAction* down = table->action(CrudTableWidget::ShiftDownAction);
        table->selectRows({1});
        QVERIFY(up->isEnabled() && down->isEnabled());
        QVERIFY(!dialog.isModified());
        up->trigger();
        QCOMPARE(addresses(dialog.entries()), (QStringList{"10.0.0.2", "10.0.0.1", "10.0.0.3"}));
        QCOMPARE(dialog.deviceInfo().first().sysName, "b");
        QCOMPARE(table->selectedRows(), QList<int>{0});
        QVERIFY(!up->isEnabled() && down->isEnabled());
        QVERIFY(dialog.isModified());
        table->selectRows({1, 2});
        QVERIFY(!up->isEnabled() && !down->isEnabled());
        table->selectRows({1});
        down->trigger();
        QCOMPARE(column(*table, DeviceTableWidget::IpColumn), (QStringList{"10.0.0.2", "10.0.0.3", "10.0.0.1"}));
        QVERIFY(up->isEnabled() && !down->isEnabled());
    }
};

QTEST_MAIN(TestDeviceEditor)
#include "test_deviceeditor.moc"
