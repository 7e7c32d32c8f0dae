// The device side of the main window against the snmpd test agent: from an empty list through
// the editor to a saved Velmora.cfg after a failed save, and the box following the list.

#include "app/MainWindow.h"
#include "platform/AppSettings.h"
#include "platform/Clock.h"
#include "platform/ServiceManager.h"
#include "ui/devices/DeviceEditDialog.h"
#include "ui/devices/DevicesDialog.h"
#include "MibTestDb.h"
#include "ModalDialogs.h"
#include "ScriptedPrompts.h"
#include "SnmpdFixture.h"
#include "TestFiles.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

class TestMainDevices final : public QObject
{
    Q_OBJECT

    SnmpdFixture m_agent;
    QTemporaryDir m_dir;
    QString m_closed; // a device that never answers
    std::unique_ptr<AppSettings> m_settings;
    NullServiceManager m_services;
    SystemClock m_clock;

private slots:
    void initTestCase()
    {
        SNMPD_FIXTURE_START(m_agent);
        m_closed = "127.0.0.1:" + QString::number(SnmpdFixture::closedPort());
        const QString ini = m_dir.filePath("Tessaro.ini");
        QSettings(ini, QSettings::IniFormat).setValue("device_names", QVariantMap{{m_closed, "named-before"}});
        m_settings = std::make_unique<AppSettings>(ini);
    }

    void emptyListEditedSavedAndShown()
    {
        // A folder in the file's place can neither be read as the list nor replaced by it.
        const QString folder = m_dir.filePath("Brantwick/Tessaro/");
        const QString path = folder + "Velmora.cfg";
        QVERIFY(QDir().mkpath(path + "/inside") && MibTestDb::create(folder + "MIB.db", MibTestDb::sampleNodes()));
        ScriptedPrompts prompts;
        whenModal<DevicesDialog>([this](DevicesDialog* dialog) {
            whenModal<DeviceEditDialog>([this](DeviceEditDialog* edit) {
                edit->findChild<QLineEdit*>("ipAddressEdit")->setText(m_agent.address());
                buttonWithText(edit, "OK")->click();
            });
            buttonWithText(dialog, "Add...")->click();
            buttonWithText(dialog, "Close")->click();
        });
        const Folders folders(m_dir.path(), {}, m_dir.filePath("app"), m_dir.path());
        MainWindow window(AppContext{folders, *m_settings, m_services, QString(), m_clock});
        window.show();
        QTRY_COMPARE_WITH_TIMEOUT(prompts.asked.size(), 2, 20000);
        QCOMPARE(prompts.asked[0].text,
                 QString("No devices configured.\nAdd devices to the configuration to perform SNMP requests."));
        QVERIFY(prompts.asked[1].text.contains(QDir::toNativeSeparators(path)));
        const QString label = m_agent.address() + " - fixture-agent";
        QCOMPARE(window.deviceBox()->currentText(), label);
        QCOMPARE(window.windowTitle(), "Tessaro / " + label);

        // Closing would lose the list: the user is asked, and No keeps the window open.
        prompts.answer(QMessageBox::No);
        QVERIFY(!window.close());
        QCOMPARE(prompts.asked.value(2).kind, QString("question"));

        // Once the file can be written, closing the editor again saves the list, below its header.
        QVERIFY(QDir(path).removeRecursively());
        whenModal<DevicesDialog>([](DevicesDialog* dialog) { buttonWithText(dialog, "Close")->click(); });
        window.onEditDevices();
        const QStringList lines = QString::fromUtf8(readBytes(path)).split("\r\n");
        QCOMPARE(lines.value(56), m_agent.address() + "\tDefault\t&v2c(\"public\")\t/\t/\t/\t");

        // A device added behind the program's back is in the box once the editor opens, with the
        // name known from before.
        QVERIFY(writeBytes(path, (m_closed + "\tLab\t&v1(\"public\")\r\n").toUtf8(), QIODevice::Append));
        whenModal<DevicesDialog>([](DevicesDialog* dialog) { buttonWithText(dialog, "Close")->click(); });
        window.onEditDevices();
        QCOMPARE(window.deviceBox()->itemText(1), m_closed + " - named-before");
        window.deviceBox()->setCurrentIndex(1);
        // What another part of the program found out about it shows at once.
        SnmpReader::HostInfoResult result;
        result.ip = m_closed;
        result.ok = true;
        result.sysName = "a-name-longer-than-thirty-characters";
        emit SnmpReader::instance()->HostResolved(result, window.deviceList().requestId() + 1000);
        QCOMPARE(window.windowTitle(), "Tessaro / " + m_closed + " - a-name-longer-than-thirty-char");
        QCOMPARE(prompts.asked.size(), 3);
    }
};

QTEST_MAIN(TestMainDevices)
#include "test_maindevices.moc"
