// The encrypted values the monitoring service reads, byte for byte: fixed random bytes in,
// exact text out and back, so that encryption and decryption cannot share a mistake. The
// vectors were computed apart from this program; docs/formats.md shows the same ones.

#include "config/Cipher.h"
#include "config/ServiceRegistry.h"
#include "config/VelmoraFile.h"
#include "platform/RegistryStore.h"

#include <QtTest>

namespace {

// Every encryption takes the random bytes 00 01 02 .. 1f.
QByteArray fixedRandom(int count)
{
    QByteArray bytes(count, '\0');
    for (int i = 0; i < count; ++i)
        bytes[i] = char(i);
    return bytes;
}

const char opsSecret[] =
    "yUceAhotLcM4ehfisj2OTNz+FqbaPvRY/FmNx6DiQ94AAQIDBAUGBwgJCgsMDQ4PEBESExQVFhcYGRobHB0eH3WJATfc0Sq9KapvQx+UAbs=";
const char authSecret[] =
    "p182xNUeJ+ZTeSQKYbaXvTI/D/6pwiEQubDZggRl/S4AAQIDBAUGBwgJCgsMDQ4PEBESExQVFhcYGRobHB0eH09EKjBdkdELu1NLDEP0pYs=";

// The key text of the registry values: SubCustomerNumber 12345 and the fixed suffix.
const char registryKeyText[] = "12345"
                               "8f3a61c07d2e94b5a1c6e0f7d3928b4e5a06";

} // namespace

class TestStoredFormats final : public QObject
{
    Q_OBJECT

private slots:
    void init() { Cipher::setRandomSource(fixedRandom); }
    void cleanup() { Cipher::setRandomSource(nullptr); }

    void deviceListSecret_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("stored");
        QTest::newRow("one block") << "ops" << opsSecret;
        QTest::newRow("whole block gets a padding block")
            << "privpass16bytes!"
            << "cZAJ5h9yqC14YM+OWi2Q7+RlKnj7TBBFsr0GnqNgtzoAAQIDBAUGBwgJCgsMDQ4PEBESExQVFhcYGRobHB0eHzB4f/"
               "VAnuss54ppI5Q/tToXRVxJWn8/VSkviCuWGmhn";
    }

    void deviceListSecret()
    {
        QFETCH(QString, plain);
        QFETCH(QString, stored);
        QCOMPARE(VelmoraFile::encryptSecret(plain), stored);
        Cipher::setRandomSource(nullptr);
        QCOMPARE(VelmoraFile::decryptSecret(stored), plain);
    }

    void deviceListNotation()
    {
        const SnmpUtils::SnmpParams params{3, {}, "ops", 4, "authpass", 0, {}};
        const QString text =
            QString("&v3#(UserName:\"%1\", AuthType:SHA256, AuthPass:\"%2\")").arg(opsSecret, authSecret);
        QCOMPARE(VelmoraFile::credentialsToText(params, true), text);
        SnmpUtils::SnmpParams read;
        bool encrypted = false;
        QVERIFY(VelmoraFile::textToCredentials(text, read, encrypted) && encrypted && read == params);
    }

    // Stored with SubCustomerNumber 12345 (the first two as this program
    // writes them, the others as the service may); an empty text means not decodable.
    void registryValue_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("decodable");
        QTest::addColumn<QString>("text");
        QTest::newRow("written here") << "ead3c0d54c7d67f3076b388c5f0c662b" << true << "public";
        QTest::newRow("mark alone") << "ec187706cc2ba0636ad0cb1789145011" << true << "";
        QTest::newRow("28 zeros") << "3187631fad732638d744c657911086adeef322984898acec23271f838964a434" << true
                                  << "abc";
        QTest::newRow("31 zeros") << "ec187706cc2ba0636ad0cb178914501152d718855e41a151e987ddb6948b65fc" << true << "";
        QTest::newRow("Windows-1252") << "ca552280b6221e0711b1da7038f95ede" << true << "Grüße";
        QTest::newRow("zero inside") << "32c591611fc9ddce516e30110112ea32" << false << "";
        QTest::newRow("no mark") << "328761e7ab3a07f0c26a05ea6ca242f9" << false << "";
        QTest::newRow("not hexadecimal") << "ead3c0d54c7d67f3076b388c5f0c662x" << false << "";
    }

    void registryValue()
    {
        QFETCH(QString, stored);
        QFETCH(bool, decodable);
        QFETCH(QString, text);
        const std::optional<QString> read = ServiceRegistry::tryDecrypt(stored, registryKeyText);
        QCOMPARE(read.has_value(), decodable);
        QCOMPARE(read.value_or(QString()), text);
        if (QTest::currentDataTag() == QLatin1String("written here") ||
            QTest::currentDataTag() == QLatin1String("mark alone"))
            QCOMPARE(ServiceRegistry::encrypt(text, registryKeyText), stored);
    }

    // A value that does not decode keeps its stored text when the others are written.
    void registryWriteBack()
    {
        QTemporaryDir root;
        qputenv("TESSARO_REGISTRY_ROOT", QFile::encodeName(root.path()));
        RegistryStore store(RegistryStore::View::Wow6432Node);
        const QStringList names{"SMTPPassword", "DBPassword", "ProxyPassword"};
        const QStringList stored{"32c591611fc9ddce516e30110112ea32", "ead3c0d54c7d67f3076b388c5f0c662b",
                                 "ca552280b6221e0711b1da7038f95ede"};
        QVERIFY(store.setValue("SubCustomerNumber", "12345"));
        for (int i = 0; i < names.size(); ++i)
            QVERIFY(store.setValue(names.at(i), stored.at(i)));
        QList<ServiceRegistry::EncryptedValue> values;
        for (const QString& name : names)
            values.append(ServiceRegistry::readEncryptedValue(name));
        QVERIFY(!values.at(0).isDecodable() && values.at(0).stored == stored.at(0));
        QCOMPARE(values.at(2).text, std::optional<QString>("Grüße"));
        values[1].setText("private");
        for (int i = 0; i < names.size(); ++i)
            QVERIFY(ServiceRegistry::writeEncryptedValue(names.at(i), values.at(i)));
        QCOMPARE(store.value("SMTPPassword").toString(), stored.at(0));
        QCOMPARE(store.value("ProxyPassword").toString(), stored.at(2));
        QCOMPARE(ServiceRegistry::readEncryptedValue("DBPassword").text, std::optional<QString>("private"));
        // Once the user enters a new text, it is written.
        values[0].setText("relay");
        QVERIFY(ServiceRegistry::writeEncryptedValue("SMTPPassword", values.at(0)));
        QCOMPARE(ServiceRegistry::readEncryptedValue("SMTPPassword").text, std::optional<QString>("relay"));
        qunsetenv("TESSARO_REGISTRY_ROOT");
    }
};

QTEST_GUILESS_MAIN(TestStoredFormats)
#include "test_storedformats.moc"
