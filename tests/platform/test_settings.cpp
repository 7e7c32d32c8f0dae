#include "app/AppSettings.h"
#include "platform/RegistryStore.h"
#include "config/ServiceRegistry.h"

#include <QScreen>
#include <QWidget>
#include <QtTest>

#include <memory>

class TestSettings final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void defaultsAndUnwritableFile();
    void keysPersist();
    void clampedCodes();
    void scaledGeometry();
    void fitRect();
    void registry();
    void encrypted();

private:
    QString iniPath() const { return m_temp->path() + "/Tessaro.ini"; }
    QString iniText() const
    {
        QFile file(iniPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    void writeIni(const QByteArray& text, const QString& path = {}) const
    {
        QFile file(path.isEmpty() ? iniPath() : path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    }
    // A plain file where a folder should be.
    QString blocker(const char* name) const
    {
        QFile file(m_temp->path() + '/' + name);
        return file.open(QIODevice::WriteOnly) ? file.fileName() : QString();
    }

    std::unique_ptr<QTemporaryDir> m_temp;
};

void TestSettings::init()
{
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    qputenv("TESSARO_REGISTRY_ROOT", QFile::encodeName(m_temp->path() + "/registry"));
}

void TestSettings::defaultsAndUnwritableFile()
{
    const AppSettings settings(iniPath());
    QCOMPARE(settings.mainWindowSearchHistory(), QStringList({"temperature", "CPU", "memory"}));
    QCOMPARE(settings.mainWindowSearchFor(), 2);
    QCOMPARE(settings.mainWindowSearchFrom(), 0);
    QCOMPARE(settings.emailPort(), QStringLiteral("25"));
    QVERIFY(!settings.oidIndexWindowSize().isValid());
    QVERIFY(!settings.mainWindowViewFullOid() && !settings.emailEnableAuthentication());
    QVERIFY(settings.deviceNames().isEmpty());
    QVERIFY(!QFile::exists(iniPath()));

    AppSettings unwritable(blocker("file") + "/Tessaro.ini");
    unwritable.setMainWindowDeviceIp("10.0.0.1");
    unwritable.setEmailPassword("x");
    QCOMPARE(unwritable.emailPort(), QStringLiteral("25"));

    // One instance for the whole process, on the file first asked for.
    AppSettings& first = AppSettings::instance(iniPath());
    QCOMPARE(&AppSettings::instance(m_temp->path() + "/other.ini"), &first);
    QCOMPARE(first.fileName(), iniPath());
}

// A representative of each kind of value, and the keys with rules of their own, reach the file
// at once and read back.
void TestSettings::keysPersist()
{
    const QByteArray blob("\x01\x00\xff geometry", 12);
    const QString password = QString::fromUtf8("Pässwörd ✓ ключ 密码");
    {
        AppSettings settings(iniPath());
        settings.setMainWindowGeometry(blob);
        settings.setEmailWindowGeometry(blob + "em");
        settings.setMainWindowDeviceIp("192.0.2.7:1161");
        settings.setMainWindowViewFullOid(true);
        settings.setMainWindowSearchText("ifDescr, ifType");
        settings.setMainWindowSearchHistory({"ifDescr", "sysName"});
        settings.setMainWindowSearchFrom(1);
        settings.setMainWindowSearchFor(0);
        settings.setOidIndexWindowSize(QSize(640, 480));
        settings.setEmailPort("587");
        settings.setUpdateBaseUrl(" http://127.0.0.1:8080/updates/\n");
        settings.setEmailPassword(password);
        QVERIFY(iniText().contains("main_window_device_ip=192.0.2.7:1161"));
    }
    // The password is stored as Base64 of its UTF-8 bytes.
    QVERIFY(iniText().contains("email_password=" + QString::fromLatin1(password.toUtf8().toBase64())));
    const AppSettings settings(iniPath());
    QCOMPARE(settings.mainWindowGeometry(), blob);
    QCOMPARE(settings.emailWindowGeometry(), blob + "em");
    QCOMPARE(settings.mainWindowDeviceIp(), QStringLiteral("192.0.2.7:1161"));
    QVERIFY(settings.mainWindowViewFullOid());
    QCOMPARE(settings.mainWindowSearchText(), QStringLiteral("ifDescr, ifType"));
    QCOMPARE(settings.mainWindowSearchHistory(), QStringList({"ifDescr", "sysName"}));
    QCOMPARE(settings.mainWindowSearchFrom(), 1);
    QCOMPARE(settings.mainWindowSearchFor(), 0);
    QCOMPARE(settings.oidIndexWindowSize(), QSize(640, 480));
    QCOMPARE(settings.emailPort(), QStringLiteral("587"));
    QCOMPARE(settings.updateBaseUrl(), QStringLiteral("http://127.0.0.1:8080/updates/"));
    QCOMPARE(settings.emailPassword(), password);

    // Device names as QSettings writes a map, and as plain ini lines.
    const QMap<QString, QString> names{{"10.0.0.1", "core-sw"}, {"10.0.0.2", "edge-rt"}};
    QSettings(iniPath(), QSettings::IniFormat)
        .setValue("device_names", QVariantMap{{"10.0.0.1", "core-sw"}, {"10.0.0.2", "edge-rt"}});
    QCOMPARE(AppSettings(iniPath()).deviceNames(), names);
    writeIni("[device_names]\n10.0.0.1=core-sw\n10.0.0.2=edge-rt\n");
    QCOMPARE(AppSettings(iniPath()).deviceNames(), names);
}

void TestSettings::clampedCodes()
{
    // Stored text, the search-from and the search-for code read back. A file for each: QSettings
    // may keep the content of a file whose size and time look unchanged.
    const QVector<std::tuple<QByteArray, int, int>> rows{
        {"2", 2, 2}, {"0", 0, 0}, {"7", 0, 2}, {"-1", 0, 2}, {"all", 0, 2}};
    for (const auto& row : rows) {
        const QString path = m_temp->path() + "/clamp" + std::get<0>(row) + ".ini";
        writeIni("[General]\nmain_window_search_from=" + std::get<0>(row) +
                     "\nmain_window_search_for=" + std::get<0>(row) + "\n",
                 path);
        const AppSettings settings(path);
        QCOMPARE(settings.mainWindowSearchFrom(), std::get<1>(row));
        QCOMPARE(settings.mainWindowSearchFor(), std::get<2>(row));
    }
}

// Closed at 96 dpi, opened at 144 dpi: the stored geometry no longer fits the text, so the
// dialog gets its default size scaled by 1.5 / 1.25.
void TestSettings::scaledGeometry()
{
    AppSettings settings(iniPath());
    double scale = 1.0;
    settings.setScaleSource([&scale](const QWidget*) { return scale; });
    QWidget closed;
    closed.setGeometry(40, 50, 300, 200);
    settings.saveScaledGeometry(&closed, "DevicesDialog");
    QWidget same;
    settings.restoreScaledGeometry(&same, "DevicesDialog", 400, 300);
    QCOMPARE(same.size(), QSize(300, 200));
    scale = 1.5;
    QWidget moved;
    settings.restoreScaledGeometry(&moved, "DevicesDialog", 400, 300);
    QCOMPARE(moved.size(), QSize(480, 360));
    QVERIFY(moved.screen()->availableGeometry().contains(moved.geometry()));

    // No stored geometry at the design scale and no default: left as it is; at another scale
    // its own size is scaled.
    scale = 1.25;
    QWidget untouched;
    untouched.resize(333, 222);
    settings.restoreScaledGeometry(&untouched, "DeviceEditDialog");
    QCOMPARE(untouched.size(), QSize(333, 222));
    scale = 1.5;
    settings.restoreScaledGeometry(&untouched, "DeviceEditDialog");
    QCOMPARE(untouched.size(), QSize(400, 266));

    // A default larger than the screen is bounded by it.
    scale = 1.25;
    QWidget huge;
    settings.restoreScaledGeometry(&huge, "Huge", 20000, 20000);
    QCOMPARE(huge.geometry(), huge.screen()->availableGeometry());

    // Damaged geometry data falls back to the default size.
    writeIni("[General]\nBroken_geometry=@ByteArray(xyz)\nBroken_scale=1.25\n");
    AppSettings fresh(iniPath());
    fresh.setScaleSource([](const QWidget*) { return 1.25; });
    QWidget broken;
    fresh.restoreScaledGeometry(&broken, "Broken", 250, 150);
    QCOMPARE(broken.size(), QSize(250, 150));
}

void TestSettings::fitRect()
{
    const QRect area(0, 0, 800, 600);
    QCOMPARE(AppSettings::fitRect(QRect(10, 10, 100, 100), area), QRect(10, 10, 100, 100));
    QCOMPARE(AppSettings::fitRect(QRect(-50, 10, 100, 100), area), QRect(0, 10, 100, 100));
    QCOMPARE(AppSettings::fitRect(QRect(10, -5, 100, 100), area), QRect(10, 0, 100, 100));
    QCOMPARE(AppSettings::fitRect(QRect(750, 10, 100, 100), area), QRect(700, 10, 100, 100));
    QCOMPARE(AppSettings::fitRect(QRect(10, 550, 100, 100), area), QRect(10, 500, 100, 100));
}

void TestSettings::registry()
{
    // Read from the native view until the WOW6432Node view has the value; written there only.
    RegistryStore native(RegistryStore::View::Native);
    RegistryStore wow(RegistryStore::View::Wow6432Node);
    QVERIFY(native.setValue("ServiceName", QStringLiteral("orvane")));
    QCOMPARE(ServiceRegistry::readString("ServiceName"), QStringLiteral("orvane"));
    QVERIFY(ServiceRegistry::writeString("ServiceName", "orvane-test"));
    QCOMPARE(wow.value("ServiceName").toString(), QStringLiteral("orvane-test"));
    QCOMPARE(native.value("ServiceName").toString(), QStringLiteral("orvane"));
    QCOMPARE(ServiceRegistry::readString("ServiceName"), QStringLiteral("orvane-test"));
    QVERIFY(ServiceRegistry::readValue("Missing").isNull());

    QCOMPARE(ServiceRegistry::readString("DestEmailServer", "none"), QStringLiteral("none"));
    QVERIFY(ServiceRegistry::writeString("DestEmailServer", ""));
    QCOMPARE(ServiceRegistry::readString("DestEmailServer", "none"), QStringLiteral("none"));
    QCOMPARE(ServiceRegistry::readInt("SMTPPort", 25), 25);
    QVERIFY(ServiceRegistry::writeInt("SMTPPort", 465));
    QCOMPARE(ServiceRegistry::readInt("SMTPPort", 25), 465);
    QVERIFY(ServiceRegistry::writeString("SMTPPort", "four"));
    QCOMPARE(ServiceRegistry::readInt("SMTPPort", 25), 25);

    // A plain file where the registry's folder should be: every write fails, reads give defaults.
    qputenv("TESSARO_REGISTRY_ROOT", QFile::encodeName(blocker("blocked")));
    QVERIFY(!ServiceRegistry::writeString("ServiceName", "orvane"));
    QVERIFY(!ServiceRegistry::writeInt("SMTPPort", 25));
    QVERIFY(!ServiceRegistry::writeEncryptedString("DestEmailPassword", "secret"));
    QCOMPARE(ServiceRegistry::readEncryptedString("DestEmailPassword"), QString());
    QCOMPARE(ServiceRegistry::readInt("SMTPPort", 7), 7);
}

void TestSettings::encrypted()
{
    // Zero padding to whole 16-byte blocks after a leading '#', as lower-case hex digits.
    const QVector<QPair<QString, int>> lengths{{QString(), 32},
                                               {QString(14, 'a'), 32},
                                               {QString(15, 'a'), 32},
                                               {QString(16, 'a'), 64},
                                               {QString::fromUtf8("#é€ключ01"), 64}};
    for (const auto& row : lengths) {
        QVERIFY(ServiceRegistry::writeString("SubCustomerNumber", "C-1042"));
        QVERIFY(ServiceRegistry::writeEncryptedString("DestEmailPassword", row.first));
        const QString stored = RegistryStore(RegistryStore::View::Wow6432Node).value("DestEmailPassword").toString();
        QCOMPARE(stored.size(), row.second);
        QCOMPARE(stored, stored.toLower());
        QCOMPARE(ServiceRegistry::readEncryptedString("DestEmailPassword"), row.first);
        // Another customer number is another key.
        QVERIFY(ServiceRegistry::writeString("SubCustomerNumber", "C-1043"));
        QCOMPARE(ServiceRegistry::readEncryptedString("DestEmailPassword"), QString());
    }

    // The service decrypts these values on its own: the format must not drift. Computed with
    // openssl enc -aes-128-cbc -nopad, key MD5("C-1042" + suffix), on "#Grüße" zero-padded.
    const QString known = QStringLiteral("f90552714c08396ddc1c52bcf9e88706");
    const QString text = QString::fromUtf8("Grüße");
    QCOMPARE(ServiceRegistry::encrypt(text, QStringLiteral("C-1042") + "8f3a61c07d2e94b5a1c6e0f7d3928b4e5a06"), known);
    QVERIFY(ServiceRegistry::writeString("SubCustomerNumber", "C-1042"));
    QVERIFY(ServiceRegistry::writeString("DestEmailUsername", known.toUpper()));
    QCOMPARE(ServiceRegistry::readEncryptedString("DestEmailUsername"), text);

    // Tampered values read as nothing: empty, an odd digit count, not whole blocks, one and a half
    // blocks, not hexadecimal, a blank inside, other cipher text; made with openssl enc under the
    // right key: "#abc", zeros, then an "x" in the padding, and "#ab\xff\xfe" zero-padded (not UTF-8).
    const QStringList tampered{QString(),
                               known.chopped(1),
                               known.chopped(2),
                               known + known.left(16),
                               "g" + known.mid(1),
                               known.left(16) + " " + known.mid(16),
                               "00112233445566778899aabbccddeeff",
                               "de19deee949f701392a2189f9e8622af",
                               "b80855406f10bcfe7c3c87c739c3479b"};
    for (const QString& stored : tampered) {
        QVERIFY(ServiceRegistry::writeString("DestEmailUsername", stored));
        QVERIFY2(ServiceRegistry::readEncryptedString("DestEmailUsername").isEmpty(), qPrintable(stored));
    }
}

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
