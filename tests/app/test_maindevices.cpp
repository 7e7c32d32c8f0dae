// The device side of the main window against the snmpd test agent: the device box and the
// window title following the device information, the query actions following the device,
// and the way from an empty device list through the editor to a saved Velmora.cfg.

#include "platform/AppSettings.h"
#include "platform/Clock.h"
#include "platform/ServiceManager.h"
#include "ui/devices/DeviceEditDialog.h"
#include "ui/devices/DevicesDialog.h"
#include "platform/Folders.h"
#include "app/MainWindow.h"
#include "MibTestDb.h"
#include "ModalDialogs.h"
#include "ScriptedPrompts.h"
#include "SnmpdFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

const QString LongName = QStringLiteral("core-router-in-the-basement-rack-17");

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestMainDevices : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void deviceBoxFollowsDeviceInformation();
    void noDevicesLeadsToTheEditorAndASavedList();
    void failedSaveWarnsAndKeepsTheList();

private:
    std::unique_ptr<MainWindow> startWindow(const QTemporaryDir& programData);
    QString dataFile(const QTemporaryDir& programData, const QString& name);
    // In the open device list editor: adds the agent as a v2c device and closes the editor.
    void addAgentAndClose(DevicesDialog* dialog);

    SnmpdFixture m_agent;
    QString m_closed;
    QTemporaryDir m_settingsDir;
    std::unique_ptr<AppSettings> m_settings;
    NullServiceManager m_services;
    SystemClock m_clock;
};

void TestMainDevices::initTestCase()
{
    SNMPD_FIXTURE_START(m_agent);
    m_closed = "127.0.0.1:" + QString::number(SnmpdFixture::closedPort());
    // Names known before any device answered come from the settings file.
    const QString ini = m_settingsDir.filePath("Tessaro.ini");
    {
        QSettings settings(ini, QSettings::IniFormat);
        settings.setValue("device_names", QVariantMap{{m_closed, LongName}});
        settings.setValue("main_window_device_ip", m_agent.address());
    }
    m_settings = std::make_unique<AppSettings>(ini);
}

QString TestMainDevices::dataFile(const QTemporaryDir& programData, const QString& name)
{
    QDir().mkpath(programData.filePath("Brantwick/Tessaro"));
    return programData.filePath("Brantwick/Tessaro/" + name);
}

std::unique_ptr<MainWindow> TestMainDevices::startWindow(const QTemporaryDir& programData)
{
    const QString db = dataFile(programData, "MIB.db");
    if (!QFile::exists(db) && !MibTestDb::create(db, MibTestDb::sampleNodes()))
        qWarning("no MIB database");
    const Folders folders(programData.path(), QString(), programData.filePath("app"), programData.path());
    auto window = std::make_unique<MainWindow>(AppContext{folders, *m_settings, m_services, QString(), m_clock});
    window->show();
    if (!QTest::qWaitFor([&] { return window->isInitialized(); }, 20000))
        qWarning("the window did not finish its start-up");
    return window;
}

void TestMainDevices::deviceBoxFollowsDeviceInformation()
{
    QTemporaryDir dir;
    {
        QFile file(dataFile(dir, "Velmora.cfg"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write((m_closed + "\tCore\t&v1(\"public\")\r\n" + m_agent.address() + "\tDefault\tpublic\r\n").toUtf8());
    }
    ScriptedPrompts prompts;
    auto window = startWindow(dir);
    QComboBox* box = window->deviceBox();
    QCOMPARE(box->count(), 2);
    // The saved address is selected; the agent has not answered yet, the other one has its
    // name from the settings, cut to 30 characters.
    QCOMPARE(box->currentIndex(), 1);
    QCOMPARE(box->itemText(0), m_closed + " - " + LongName.left(30));
    QCOMPARE(box->itemData(0).toString(), m_closed);

    const QString agentLabel = m_agent.address() + " - fixture-agent";
    QTRY_COMPARE_WITH_TIMEOUT(box->itemText(1), agentLabel, 10000);
    QCOMPARE(box->itemData(1, Qt::ToolTipRole).toString(), QString("<qt>Tessaro test agent</qt>"));
    QCOMPARE(window->windowTitle(), "Tessaro / " + agentLabel);
    QVERIFY(window->getBulkAction()->isEnabled());
    QCOMPARE(window->currentDevice().ipAddress, m_agent.address());

    // An SNMPv1 device cannot GetBulk.
    box->setCurrentIndex(0);
    QCOMPARE(window->windowTitle(), "Tessaro / " + m_closed + " - " + LongName.left(30));
    QVERIFY(window->getAction()->isEnabled() && window->getNextAction()->isEnabled());
    QVERIFY(!window->getBulkAction()->isEnabled());

    // Results that others asked for count only when the device answered, and only for
    // devices in the box.
    SnmpReader::HostInfoResult result;
    result.ip = m_closed;
    result.sysName = "someone-else";
    emit SnmpReader::instance()->HostResolved(result, window->requestId() + 1000);
    QCOMPARE(box->itemText(0), m_closed + " - " + LongName.left(30));
    result.ok = true;
    result.ip = "192.0.2.1";
    emit SnmpReader::instance()->HostResolved(result, window->requestId() + 1000);
    QCOMPARE(box->itemText(0), m_closed + " - " + LongName.left(30));
    QCOMPARE(window->deviceInfo().size(), 2);
    result.ip = m_closed;
    emit SnmpReader::instance()->HostResolved(result, window->requestId() + 1000);
    QCOMPARE(box->itemText(0), m_closed + " - someone-else");
    QCOMPARE(window->windowTitle(), "Tessaro / " + m_closed + " - someone-else");

    // A line added to the file behind the program's back is in the editor, not overwritten;
    // devices already known keep what was found out about them.
    const QString path = dataFile(dir, "Velmora.cfg");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("192.0.2.7\tLab\tpublic\r\n");
    }
    const QString edited = readFile(path);
    int rows = 0;
    whenModal<DevicesDialog>([&rows](DevicesDialog* dialog) {
        rows = dialog->entries().size();
        buttonWithText(dialog, "Close")->click();
    });
    window->onEditDevices();
    QCOMPARE(rows, 3);
    QCOMPARE(box->count(), 3);
    QCOMPARE(box->itemText(1), agentLabel);
    QCOMPARE(box->currentIndex(), 0);
    QCOMPARE(readFile(path), edited);
    QVERIFY(prompts.asked.isEmpty());
}

void TestMainDevices::addAgentAndClose(DevicesDialog* dialog)
{
    whenModal<DeviceEditDialog>([this](DeviceEditDialog* edit) {
        edit->findChild<QLineEdit*>("ipAddressEdit")->setText(m_agent.address());
        buttonWithText(edit, "OK")->click();
    });
    buttonWithText(dialog, "Add...")->click();
    buttonWithText(dialog, "Close")->click();
}

// A first start without devices says so and opens the editor; the device added there shows
// in the box and the title, and the list is saved with its header, and a backup next time.
void TestMainDevices::noDevicesLeadsToTheEditorAndASavedList()
{
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    bool editorSeen = false;
    whenModal<DevicesDialog>([&](DevicesDialog* dialog) {
        editorSeen = true;
        addAgentAndClose(dialog);
    });
    auto window = startWindow(dir);
    QTRY_VERIFY_WITH_TIMEOUT(editorSeen && window->devices().size() == 1, 20000);
    QCOMPARE(prompts.asked.value(0).kind, QString("information"));
    QCOMPARE(prompts.asked.value(0).title, QString("Tessaro"));
    QCOMPARE(prompts.asked.value(0).text,
             QString("No devices configured.\nAdd devices to the configuration to perform SNMP requests."));

    const QString label = m_agent.address() + " - fixture-agent";
    QCOMPARE(window->deviceBox()->currentText(), label);
    QCOMPARE(window->windowTitle(), "Tessaro / " + label);
    const QString path = dataFile(dir, "Velmora.cfg");
    const QStringList lines = readFile(path).split("\r\n");
    QCOMPARE(lines.value(0), QString(";This is the Orvane Configuration file"));
    QCOMPARE(lines.value(56), m_agent.address() + "\tDefault\t&v2c(\"public\")\t/\t/\t/\t");
    QVERIFY(!QFile::exists(dataFile(dir, "Velmora.bak")));

    // The agent's other addresses came with its information. Another device at one of them
    // is questioned, and so is the same address; the next save keeps the previous list.
    QVERIFY(!window->deviceInfo().value(0).addresses.isEmpty());
    const QString first = readFile(path);
    whenModal<DevicesDialog>([this](DevicesDialog* dialog) {
        whenModal<DeviceEditDialog>([this](DeviceEditDialog* edit) {
            auto* ip = edit->findChild<QLineEdit*>("ipAddressEdit");
            ip->setText("10.0.0.1");
            buttonWithText(edit, "OK")->click(); // scripted No: the dialog stays open
            ip->setText(m_agent.address());
            buttonWithText(edit, "OK")->click(); // scripted Yes
        });
        buttonWithText(dialog, "Add...")->click();
        buttonWithText(dialog, "Close")->click();
    });
    prompts.answer(QMessageBox::No);
    prompts.answer(QMessageBox::Yes);
    window->onEditDevices();
    QCOMPARE(prompts.asked.size(), 3);
    QCOMPARE(prompts.asked[1].title, QString("Duplicate Device Found"));
    QVERIFY2(prompts.asked[1].text.startsWith("A device <b>fixture-agent </b>with the IP address <b>" +
                                              m_agent.address() + "</b> is already being monitored.\nIt has "),
             qPrintable(prompts.asked[1].text));
    QVERIFY(prompts.asked[1].text.contains("the same as the IP address <b>10.0.0.1</b> of the device"));
    QVERIFY(prompts.asked[2].text.startsWith("A device <b>fixture-agent </b>with the same IP address"));
    QCOMPARE(window->devices().size(), 2);
    QCOMPARE(readFile(dataFile(dir, "Velmora.bak")), first);
    QCOMPARE(readFile(path).count(m_agent.address()), 2);
}

// A list that cannot be written is reported by name and stays in memory; closing the editor
// again, once the file can be written, saves it.
void TestMainDevices::failedSaveWarnsAndKeepsTheList()
{
    QTemporaryDir dir;
    const QString path = dataFile(dir, "Velmora.cfg");
    // A folder in the file's place can neither be read as the list nor replaced by it.
    QVERIFY(QDir().mkpath(path + "/inside"));
    ScriptedPrompts prompts;
    whenModal<DevicesDialog>([this](DevicesDialog* dialog) { addAgentAndClose(dialog); });
    auto window = startWindow(dir);
    QTRY_VERIFY_WITH_TIMEOUT(window->devices().size() == 1, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(prompts.asked.size(), 2, 5000);
    QCOMPARE(prompts.asked[1].kind, QString("warning"));
    QCOMPARE(prompts.asked[1].title, QString("Device List Not Saved"));
    QVERIFY2(prompts.asked[1].text.contains(QDir::toNativeSeparators(path)), qPrintable(prompts.asked[1].text));
    QCOMPARE(window->deviceBox()->count(), 1);
    // Closing would lose the list: the user is asked, and No keeps the window open.
    prompts.answer(QMessageBox::No);
    QVERIFY(!window->close());
    QCOMPARE(prompts.asked.size(), 3);
    QCOMPARE(prompts.asked[2].kind, QString("question"));
    QVERIFY(prompts.asked[2].text.contains(QDir::toNativeSeparators(path)));
    prompts.asked.removeLast();

    QVERIFY(QDir(path).removeRecursively());
    whenModal<DevicesDialog>([](DevicesDialog* dialog) { buttonWithText(dialog, "Close")->click(); });
    window->onEditDevices();
    QCOMPARE(prompts.asked.size(), 2);
    QVERIFY(readFile(path).contains(m_agent.address() + "\tDefault\t&v2c(\"public\")"));
}

QTEST_MAIN(TestMainDevices)
#include "test_maindevices.moc"
