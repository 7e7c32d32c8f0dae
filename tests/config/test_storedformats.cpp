// Encrypted values the service reads, against vectors computed apart (docs/formats.md shows them).

#include "config/Cipher.h"
#include "config/ServiceRegistry.h"
#include "config/VelmoraFile.h"
#include "platform/RegistryStore.h"

#include <QtTest>

class TestStoredFormats final : public QObject
{
    Q_OBJECT

private slots:
    // User "ops", SHA256 pass phrase "authpass", each secret encrypted with the random bytes 00 01 .. 1f.
    void deviceList()
    {
        const QString text =
            "&v3#(UserName:\"yUceAhotLcM4ehfisj2OTNz+FqbaPvRY/FmNx6DiQ94AAQIDBAUGBwgJCgsMDQ4PEBESExQV"
            "FhcYGRobHB0eH3WJATfc0Sq9KapvQx+UAbs=\", AuthType:SHA256, AuthPass:\"p182xNUeJ+ZTeSQKYbaXv"
            "TI/D/6pwiEQubDZggRl/S4AAQIDBAUGBwgJCgsMDQ4PEBESExQVFhcYGRobHB0eH09EKjBdkdELu1NLDEP0pYs=\")";
        const SnmpUtils::SnmpParams params{3, {}, "ops", 4, "authpass", 0, {}};
        const QByteArray random =
            QByteArray::fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
        Cipher::setRandomSource([random](int count) { return random.left(count); });
        const QString written = VelmoraFile::credentialsToText(params, true);
        Cipher::setRandomSource(nullptr);
        QCOMPARE(written, text);
        SnmpUtils::SnmpParams read;
        bool encrypted;
        QVERIFY(VelmoraFile::textToCredentials(text, read, encrypted) && encrypted && read == params);
        // A tampered value makes the whole text unreadable; a secret cut short, longer or not Base64 reads as none.
        QVERIFY(!VelmoraFile::textToCredentials(QString(text).replace("p182x", "p182y"), read, encrypted) &&
                read == SnmpUtils::SnmpParams());
        const QByteArray blob = QByteArray::fromBase64(VelmoraFile::encryptSecret("x").toLatin1());
        for (const QByteArray& bad : {blob.left(79).toBase64(), QByteArray(blob + "x").toBase64(), QByteArray("!!")})
            QCOMPARE(VelmoraFile::decryptSecret(bad), QString());
    }

    // SubCustomerNumber 12345, "!" not decodable: an unchanged value is never written back.
    void registry()
    {
        const QList<std::pair<QString, QString>> values{
            {"public", "ead3c0d54c7d67f3076b388c5f0c662b"},
            {"abc", "3187631fad732638d744c657911086adeef322984898acec23271f838964a434"}, // 28 zero bytes
            {"Grüße", "ca552280b6221e0711b1da7038f95ede"},                               // Windows-1252
            {"!", "32c591611fc9ddce516e30110112ea32"}};                                  // a zero inside
        QTemporaryDir root;
        qputenv("TESSARO_REGISTRY_ROOT", QFile::encodeName(root.path()));
        RegistryStore store(RegistryStore::View::Wow6432Node);
        QVERIFY(store.setValue("SubCustomerNumber", "12345"));
        for (int i = 0; i < values.size(); ++i) {
            const QString name = QString::number(i);
            QVERIFY(store.setValue(name, values[i].second));
            ServiceRegistry::EncryptedValue read = ServiceRegistry::readEncryptedValue(name);
            QCOMPARE(read.text.value_or("!"), values[i].first);
            QVERIFY(ServiceRegistry::writeEncryptedValue(name, read));
            QCOMPARE(store.value(name).toString(), values[i].second);
            read.setText("public");
            QVERIFY(ServiceRegistry::writeEncryptedValue(name, read));
            QCOMPARE(store.value(name).toString(), values[0].second);
        }
        qunsetenv("TESSARO_REGISTRY_ROOT");
        // Written by an earlier version with the key text "12345": a full block, and UTF-8.
        for (const auto& [plain, stored] :
             {std::pair<QString, QString>{"sixteen chars!!!", "5462103b99a861d8b937ef660e6"
                                                              "ac0650d43be2c892d5298de712282eb5b508c"},
              {"Grüße, 日本", "f65a0d66cb834691ee34ca916d56c2f6"}}) {
            QVERIFY(ServiceRegistry::encrypt(plain, "12345") == stored &&
                    ServiceRegistry::decrypt(stored, "12345") == plain);
            QCOMPARE(ServiceRegistry::decrypt(stored, "123456"), QString()); // another key
        }
    }
};

QTEST_GUILESS_MAIN(TestStoredFormats)
#include "test_storedformats.moc"
