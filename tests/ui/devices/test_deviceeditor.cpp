// The device list editor against the snmpd test agent: the edit dialog's form rules, notation,
// SNMP check and duplicate warnings, and the device table's adding and changing several devices.

#include "ui/devices/CrudTableWidget.h"
#include "ui/devices/DeviceEditDialog.h"
#include "ui/devices/DeviceTableWidget.h"
#include "ui/widgets/LoadingCoverWidget.h"
#include "ModalDialogs.h"
#include "ScriptedPrompts.h"
#include "SnmpdFixture.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

using Entry = VelmoraFile::Entry;
using Params = SnmpUtils::SnmpParams;

// group, IP address, credentials, the labels marked invalid (OK is enabled when none is)
using FormCase = std::tuple<QString, QString, Params, QStringList>;
// mode, the entry before, the community typed (empty: left as it was), the text written (empty: a new encrypted one)
using NotationCase = std::tuple<int, Entry, QString, QString>;
Q_DECLARE_METATYPE(FormCase)
Q_DECLARE_METATYPE(NotationCase)

namespace {

const QString kAskAgain = "Do you still want to add this device to the configuration?";

const auto v2c = [](const QString& community = "public") { return Params{2, community, {}, 0, {}, 0, {}}; };
const auto v3 = [](const QString& user, int auth = 0, const QString& authPass = {}, int priv = 0,
                   const QString& privPass = {}) { return Params{3, {}, user, auth, authPass, priv, privPass}; };
const auto field = [](QWidget* dialog, const char* name) { return dialog->findChild<QLineEdit*>(name); };

Entry entry(const QString& ip, const QString& group = "Default", const Params& credentials = v2c(),
            const QString& description = {}, bool encrypted = false)
{
    const QString text = VelmoraFile::credentialsToText(credentials, encrypted);
    return Entry{ip, group, text, {}, {}, {}, description, credentials, encrypted};
}

void setCredentials(QWidget* dialog, const Params& params)
{
    buttonWithText(dialog, QStringList{"SNMPv1", "SNMPv2c", "SNMPv3"}.value(params.version - 1))->click();
    field(dialog, "communityEdit")->setText(params.community);
    field(dialog, "userNameEdit")->setText(params.userName);
    dialog->findChild<QComboBox*>("authProtocolCombo")->setCurrentIndex(params.authProtocol);
    field(dialog, "authPasswordEdit")->setText(params.authPassword);
    dialog->findChild<QComboBox*>("privProtocolCombo")->setCurrentIndex(params.privProtocol);
    field(dialog, "privPasswordEdit")->setText(params.privPassword);
}

QStringList column(const DeviceTableWidget& table, int column)
{
    QStringList texts;
    for (int row = 0; row < table.view()->model()->rowCount(); ++row)
        texts << table.view()->model()->index(row, column).data().toString();
    return texts;
}

} // namespace

class TestDeviceEditor final : public QObject
{
    Q_OBJECT

    SnmpdFixture m_agent;

private slots:
    void initTestCase() { SNMPD_FIXTURE_START(m_agent, {"127.0.0.1", "127.0.0.1"}); }

    void formValidity_data()
    {
        QTest::addColumn<FormCase>("c");
        QTest::newRow("v2c with port") << FormCase{"Default", "127.0.0.1:1161", v2c(), {}};
        QTest::newRow("port 0") << FormCase{"Default", "1.2.3.4:0", v2c(), {"IP address:"}};
        QTest::newRow("octet over 255") << FormCase{"Default", "10.0.0.256", v2c(), {"IP address:"}};
        QTest::newRow("blank group, empty community")
            << FormCase{" ", "1.2.3.4", v2c(""), {"Group:", "Community string:"}};
        QTest::newRow("v3 noAuthNoPriv") << FormCase{"Default", "1.2.3.4", v3("admin"), {}};
        QTest::newRow("no user, pass phrase of 7")
            << FormCase{"Default", "1.2.3.4", v3("", SnmpUtils::AuthMD5, "secret1"), {"Username:", "AuthPass:"}};
        QTest::newRow("priv without password") << FormCase{
            "Default", "1.2.3.4", v3("admin", SnmpUtils::AuthMD5, "secret12", SnmpUtils::PrivDES), {"PrivPass:"}};
    }

    void formValidity()
    {
        QFETCH(FormCase, c);
        const auto& [group, ip, credentials, invalid] = c;
        DeviceEditDialog dialog(DeviceEditDialog::AddDevice, {"Default"}, {});
        dialog.findChild<QComboBox*>("groupCombo")->setCurrentText(group);
        field(&dialog, "ipAddressEdit")->setText(ip);
        setCredentials(&dialog, credentials);
        QCOMPARE(buttonWithText(&dialog, "OK")->isEnabled(), invalid.isEmpty());
        QStringList marked;
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            const bool mark = label->text().endsWith("<font color=\"red\">*</font>");
            if (mark && label->isVisibleTo(&dialog))
                marked << label->text().section('<', 0, 0);
        }
        QCOMPARE(marked, invalid);
    }

    // Text the device list cannot hold is refused next to its field.
    void unsavableText_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("problem"); // the character refused, "c" for a control character
        const QString table =
            "groupCombo|a;b|;~communityEdit|pub\"lic|\"~communityEdit|a;b|~authPasswordEdit|authpass\"|\"~"
            "privPasswordEdit|privpass\x7f|c~descriptionEdit|one\ntwo|c~"
            "descriptionEdit|<a href=\"x\">|\"~descriptionEdit|Rack <b>3</b>|";
        for (const QString& line : table.split('~')) {
            const QStringList row = line.split('|');
            const QString problem = row.at(2) == "c"
                                        ? QString("Line breaks, tabs and other control characters cannot be saved.")
                                        : QString("The character " + row.at(2) + " cannot be saved in this field.");
            QTest::newRow(qPrintable(row.at(0) + ' ' + row.at(1)))
                << row.at(0) << row.at(1) << (row.at(2).isEmpty() ? QString() : problem);
        }
    }

    void unsavableText()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, problem);
        DeviceEditDialog dialog(DeviceEditDialog::AddDevice, {"Default"}, {});
        field(&dialog, "ipAddressEdit")->setText("1.2.3.4");
        if (name != "communityEdit")
            setCredentials(&dialog, v3("u", SnmpUtils::AuthSHA1, "authpass", SnmpUtils::PrivAES, "privpass"));
        if (auto* group = dialog.findChild<QComboBox*>(name))
            group->setCurrentText(text);
        else
            field(&dialog, qPrintable(name))->setText(text);
        QLabel* label = dialog.findChild<QLabel*>(name + "Problem");
        QVERIFY(label->text() == problem && label->isVisibleTo(&dialog) == !problem.isEmpty());
        QCOMPARE(buttonWithText(&dialog, "OK")->isEnabled(), problem.isEmpty());
    }

    // The text a changed entry is saved with: unchanged credentials keep theirs, as the
    // encrypted notation differs on every writing; SNMPv3 is written encrypted once edited.
    void notation_data()
    {
        QTest::addColumn<NotationCase>("c");
        Entry bare = entry(QStringLiteral("127.0.0.1:%1").arg(SnmpdFixture::closedPort()));
        bare.securityText = "public";
        bare.contractNumber = "C-17";
        const Entry plainV3 = entry(bare.ipAddress, "Default", v3("ops", SnmpUtils::AuthSHA1, "authpass1"));
        const Entry encryptedV3 = entry(bare.ipAddress, "Default", plainV3.credentials, {}, true);
        const int change = DeviceEditDialog::ChangeDevice;
        QTest::newRow("unchanged") << NotationCase{change, bare, {}, "public"};
        QTest::newRow("unchanged, encrypted") << NotationCase{change, encryptedV3, {}, encryptedV3.securityText};
        QTest::newRow("plain SNMPv3") << NotationCase{change, plainV3, {}, {}};
        QTest::newRow("changed") << NotationCase{change, bare, "private", "&v2c(\"private\")"};
        QTest::newRow("added") << NotationCase{DeviceEditDialog::AddDevice, bare, {}, "&v2c(\"public\")"};
        const Entry unread{bare.ipAddress, "Default", "&v3#(UserName:\"AAAA\")", {}, {}, {}, {}, {}, false, true};
        QTest::newRow("unread, kept") << NotationCase{change, unread, {}, unread.securityText};
    }

    void notation()
    {
        QFETCH(NotationCase, c);
        const auto& [mode, old, community, written] = c;
        DeviceEditDialog dialog(DeviceEditDialog::Mode(mode), {"Default"}, {});
        dialog.setEntry(old);
        if (!community.isEmpty())
            field(&dialog, "communityEdit")->setText(community);
        const Entry result = dialog.entry();
        QCOMPARE(result.credentials, community.isEmpty() ? old.credentials : v2c(community));
        QCOMPARE(result.encrypted, result.credentials.version == 3);
        QCOMPARE(result.credentialsUnread, old.credentialsUnread);
        // A new device takes no support contract from the one it was copied from.
        QCOMPARE(result.contractNumber, mode == DeviceEditDialog::ChangeDevice ? old.contractNumber : QString());
        if (written == old.securityText) {
            // Nothing to check over SNMP: the dialog takes it at once, even from a device that would not answer.
            buttonWithText(&dialog, "OK")->click();
            QVERIFY(dialog.result() == QDialog::Accepted && !dialog.hasDeviceInfo());
        }
        if (!written.isEmpty()) {
            QCOMPARE(result.securityText, written);
            return;
        }
        Params read;
        bool encrypted = false;
        QVERIFY(result.securityText.startsWith("&v3#("));
        QVERIFY(VelmoraFile::textToCredentials(result.securityText, read, encrypted) && encrypted);
        QCOMPARE(read, old.credentials);
    }

    void check()
    {
        // The user's key works only with the Cisco extension: the check switches to it and says
        // so. The device answering is the same as a known one (name and a MAC): the user is asked
        // after the check, and Yes adds it.
        ScriptedPrompts prompts;
        const DeviceEditDialog::KnownDevice known{"10.1.1.1", "fixture-agent", {"001122334455"}, {}};
        DeviceEditDialog dialog(DeviceEditDialog::AddDevice, {"Default"}, {known});
        dialog.show();
        field(&dialog, "ipAddressEdit")->setText(m_agent.address());
        setCredentials(&dialog, v3("aes256CiscoUser", SnmpUtils::AuthSHA1, SnmpdFixture::kAuthPassPhrase,
                                   SnmpUtils::PrivAES256, SnmpdFixture::kPrivPassPhrase));
        prompts.answer(QMessageBox::Ok);
        prompts.answer(QMessageBox::Yes);
        buttonWithText(&dialog, "OK")->click();
        QVERIFY(!buttonWithText(&dialog, "OK")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(dialog.result(), int(QDialog::Accepted), 20000);
        QCOMPARE(prompts.asked.size(), 2);
        QCOMPARE(prompts.asked[0].text, "PrivProt changed to \"<b>AES256 Cisco</b>\"");
        QCOMPARE(prompts.asked[1].text, "A duplicate device <b>fixture-agent </b>with the IP address <b>10.1.1.1</b> "
                                        "is already being monitored.<br>\n" +
                                            kAskAgain);
        QCOMPARE(dialog.deviceInfo().sysName, "fixture-agent");
        QCOMPARE(dialog.entry().credentials.privProtocol, int(SnmpUtils::PrivAES256Cisco));
        QVERIFY(dialog.entry().encrypted && dialog.entry().securityText.startsWith("&v3#("));
    }

    void duplicateWarnings()
    {
        // A known device that has the typed address among its own, then one with the same
        // address: after Yes the check runs without the after-check warning, and the other
        // entry of that address takes the same device information.
        ScriptedPrompts prompts;
        DeviceTableWidget table;
        table.setData(
            {entry("10.9.9.9"), entry(m_agent.address())},
            {{"10.9.9.9", false, "<&>", "<b>", {}, {{1, "10.0.0.1", {}}, {1, "10.0.0.2", {}}}, {}, {}, {}, "Stopped"},
             {m_agent.address(), false, {}, {}, {}, {}, {}, {}, {}, {}}});
        // The tool tip shows the description and why the information may be incomplete.
        QCOMPARE(table.view()->model()->index(0, 0).data(Qt::ToolTipRole), "<qt>&lt;b&gt;<br>Stopped</qt>");
        QSignalSpy infoChanged(&table, &DeviceTableWidget::DeviceInfoChanged);
        whenModal<DeviceEditDialog>([&](DeviceEditDialog* dialog) {
            field(dialog, "ipAddressEdit")->setText("10.0.0.1");
            prompts.answer(QMessageBox::No);
            buttonWithText(dialog, "OK")->click(); // the dialog stays open
            field(dialog, "ipAddressEdit")->setText(m_agent.address());
            prompts.answer(QMessageBox::Yes);
            buttonWithText(dialog, "OK")->click();
        });
        table.action(CrudTableWidget::AddAction)->trigger();
        QCOMPARE(prompts.asked.size(), 2);
        QVERIFY(
            prompts.asked.at(0).text.startsWith("A device <b>&lt;&amp;&gt; </b>with the IP address <b>10.9.9.9</b> is "
                                                "already being monitored.\nIt has 2 IP addresses, one of which "
                                                "is the same as the IP address <b>10.0.0.1</b> of the device"));
        QCOMPARE(prompts.asked.at(1).text, "A device <b></b>with the same IP address <b>" + m_agent.address() +
                                               "</b> is already being monitored.<br>\n" + kAskAgain);
        QCOMPARE(column(table, DeviceTableWidget::NameColumn), (QStringList{"<&>", "fixture-agent", "fixture-agent"}));
        QCOMPARE(infoChanged.size(), 2);
        QVERIFY(!table.isDuplicate(0) && table.isDuplicate(1) && table.isDuplicate(2));
    }

    void changeSeveral()
    {
        ScriptedPrompts prompts;
        DeviceTableWidget table;
        table.setData({entry(m_agent.address(0), "A", v2c("wrong"), "x"), entry("10.0.0.9", "B", v2c("wrong"), "x"),
                       entry(m_agent.address(1), "A", v2c("wrong"), "y")},
                      {});
        table.selectRows({0, 2});
        whenModal<DeviceEditDialog>([](DeviceEditDialog* dialog) {
            QCOMPARE(field(dialog, "descriptionEdit")->text(), ""); // not shared
            QCOMPARE(field(dialog, "communityEdit")->text(), "wrong");
            field(dialog, "communityEdit")->setText("public");
            buttonWithText(dialog, "OK")->click();
        });
        table.action(CrudTableWidget::ChangeAction)->trigger();
        QCOMPARE(table.cover()->text(), "Querying device information (0/2)...");
        QTRY_VERIFY_WITH_TIMEOUT(table.cover()->isHidden(), 10000);
        QCOMPARE(column(table, DeviceTableWidget::NameColumn), (QStringList{"fixture-agent", "", "fixture-agent"}));
        QCOMPARE(column(table, DeviceTableWidget::DescriptionColumn), (QStringList{"x", "x", "y"}));
        QCOMPARE(table.entries().at(2).securityText, "&v2c(\"public\")");
        QCOMPARE(table.entries().at(1).credentials, v2c("wrong"));

        // Only the description: nothing else changes, nothing is queried.
        table.selectRows({0, 1});
        whenModal<DeviceEditDialog>([](DeviceEditDialog* dialog) {
            field(dialog, "descriptionEdit")->setText("z");
            buttonWithText(dialog, "OK")->click();
        });
        table.action(CrudTableWidget::ChangeAction)->trigger();
        QVERIFY(table.cover()->isHidden());
        QCOMPARE(column(table, DeviceTableWidget::DescriptionColumn), (QStringList{"z", "z", "y"}));
        QCOMPARE(table.entries().at(1).credentials, v2c("wrong"));
    }
};

QTEST_MAIN(TestDeviceEditor)
#include "test_deviceeditor.moc"
