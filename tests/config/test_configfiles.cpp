#include "config/ConfigFile.h"
#include "config/ServiceRegistry.h"
#include "config/VelmoraFile.h"

#include <QtTest>

using SnmpUtils::SnmpParams;

Q_DECLARE_METATYPE(EmptyColumnPolicy)

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A data line as "field|field|...", followed by its end-of-line comment.
QStringList describe(const QList<ConfigLine>& lines)
{
    QStringList result;
    for (const ConfigLine& line : lines)
        result.append(line.isData ? line.fields.join('|') + line.comment : line.text);
    return result;
}

const auto credentials = [](int version, const QString& community, const QString& user = {}, int auth = 0,
                            const QString& authPass = {}, int priv = 0, const QString& privPass = {}) {
    return SnmpParams{version, community, user, auth, authPass, priv, privPass};
};

// Written by an earlier version (user "ops", SHA256 pass phrase "authpass1"); it must keep reading.
const char encryptedV3[] =
    "&v3#(UserName:"
    "\"3nfJycm1p7DAIB4LOcicvHEpKmtApE43AjUnEdCY1dAUYk4ykyV5qKEgMIscuRlBXtfdmhZ9Pb6ymc8dMvs9xYRn03F9wNIeyS+"
    "T1VjPHIg=\", AuthType:SHA256, AuthPass:\"UnUVmcXYred8o0VBcbTNWnFjVsJXWnyCoHdBGbPPJifeDU/kSMTH8Z6ieiK1W44jO+Bm69S1Y"
    "A5FXWvjSxJkmzu2fvaxgO9oVdAtvK5jrps=\")";

constexpr auto never = EmptyColumnPolicy::Never;
constexpr auto all = EmptyColumnPolicy::AllColumns;
constexpr auto allButLast = EmptyColumnPolicy::AllButLastColumn;

} // namespace

class TestConfigFiles final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void read_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<EmptyColumnPolicy>("policy");
        QTest::addColumn<QStringList>("data");
        QTest::addColumn<QStringList>("nonData");
        QTest::addColumn<QByteArray>("tail");

        QTest::newRow("tab runs, blank column, lone CR, slash, no last line end")
            << QByteArray("a\t\t\t  \tb\r\nc\r\r\nd\t/\te") << never << QStringList{"a||b", "c", "d|/|e"}
            << QStringList() << QByteArray();
        QTest::newRow("slash, all columns")
            << QByteArray("a\t/\tb\r\n") << all << QStringList{"a||b"} << QStringList() << QByteArray();
        // The caller's column count, 3 here, decides which column is the last.
        QTest::newRow("slash, all but last")
            << QByteArray("/\t/\t/\t/\r\n") << allButLast << QStringList{"||/|/"} << QStringList() << QByteArray();
        QTest::newRow("byte-order mark, comment and blank lines")
            << QByteArray("\xef\xbb\xbf;c\r\n   ;note\r\n\r\na\t\tb ; x\r\n \t\r\n") << all << QStringList{"a|b; x\n"}
            << QStringList{";c\n", "   ;note\n", "\n", " \t\n"} << QByteArray();
        QTest::newRow("ignore later") << QByteArray("a\r\n#IGNORE trailing words\nrest") << all << QStringList{"a"}
                                      << QStringList() << QByteArray("rest");
    }

    void read()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(EmptyColumnPolicy, policy);
        QFETCH(QStringList, data);
        QFETCH(QStringList, nonData);
        QFETCH(QByteArray, tail);

        const QString path = m_dir.filePath("read.cfg");
        writeBytes(path, bytes);
        ConfigFileContents contents;
        QVERIFY(readConfigFile(path, policy, 3, false, contents));
        QCOMPARE(describe(contents.dataLines), data);
        QCOMPARE(describe(contents.nonDataLines), nonData);
        QCOMPARE(contents.hasIgnore, bytes.contains("#IGNORE"));
        QCOMPARE(contents.ignoredTail, tail);
    }

    void write_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<EmptyColumnPolicy>("policy");
        QTest::addColumn<bool>("replaceTabs");
        QTest::addColumn<QByteArray>("line");

        QTest::newRow("all but last, empty last")
            << QStringList{"a", " ", "b", ""} << QString() << allButLast << false << QByteArray("a\t/\tb\t\r\n");
        QTest::newRow("all columns") << QStringList{"", "a", ""} << QString() << all << false
                                     << QByteArray("/\ta\t/\r\n");
        QTest::newRow("never, tabs replaced, comment") << QStringList{"\tx\ty z ", "", "ü"} << QStringLiteral(";c\n")
                                                       << never << true << QByteArray("x y z\t\t\xc3\xbc ;c\r\n");
    }

    void write()
    {
        QFETCH(QStringList, fields);
        QFETCH(QString, comment);
        QFETCH(EmptyColumnPolicy, policy);
        QFETCH(bool, replaceTabs);
        QFETCH(QByteArray, line);

        const ConfigLine header{";head", {}, false, {}};
        const ConfigLine data{{}, comment, true, fields};
        const QByteArray tail("kept\nas\r\nis\xff");
        const QString path = m_dir.filePath("write.txt");
        QVERIFY(writeConfigFile(path, {header, data}, policy, tail, true, replaceTabs));
        QCOMPARE(fileBytes(path), QByteArray(";head\r\n" + line + "#IGNORE\r\n" + tail));
    }

    void backupAndFailedSave()
    {
        // Only a ".cfg" file, in any letter case, gets a backup, and only of a file that was there.
        QTemporaryDir dir;
        const ConfigLine line{";new", {}, false, {}};
        const auto save = [&](const QString& name) {
            return writeConfigFile(dir.filePath(name), {line}, never, {}, false, false);
        };
        for (const char* name : {"Upper.CFG", "other.txt"}) {
            writeBytes(dir.filePath(name), "old\r\n");
            QVERIFY(save(name));
        }
        QVERIFY(save("new.cfg"));
        QCOMPARE(fileBytes(dir.filePath("new.cfg")), QByteArray(";new\r\n"));
        QCOMPARE(QDir(dir.path()).entryList({"*.bak"}), QStringList{"Upper.bak"});
        QCOMPARE(fileBytes(dir.filePath("Upper.bak")), QByteArray("old\r\n"));

        // A name so long that no temporary file can stand beside it: the old file stays whole.
        const QString longName = QString(251, 'v') + ".cfg";
        writeBytes(dir.filePath(longName), "old\r\n");
        QVERIFY(!save(longName));
        QCOMPARE(fileBytes(dir.filePath(longName)), QByteArray("old\r\n"));
    }

    void notation_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<SnmpParams>("params");
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<QString>("written"); // empty for the encrypted notation: it differs on every writing

        QTest::newRow("bare community") << "public" << true << credentials(2, "public") << false << "&v2c(\"public\")";
        QTest::newRow("v3 with blanks") << "&v3(UserName : \"u\" , AuthType : sha1 , AuthPass : \"p\")" << true
                                        << credentials(3, {}, "u", 2, "p") << false
                                        << "&v3(UserName:\"u\", AuthType:SHA1, AuthPass:\"p\")";
        QTest::newRow("v3 auth and priv")
            << "&v3(UserName:\"u\", AuthType:sha512, AuthPass:\"a\", PrivType:aes256c, PrivPass:\"b\")" << true
            << credentials(3, {}, "u", 6, "a", 7, "b") << false
            << "&v3(UserName:\"u\", AuthType:SHA512, AuthPass:\"a\", PrivType:AES256C, PrivPass:\"b\")";
        QTest::newRow("v3 priv alone") << "&v3(UserName:u,PrivPass:\"b\",PrivType:3des)" << true
                                       << credentials(3, {}, "u", 0, {}, 3, "b") << false
                                       << "&v3(UserName:\"u\", PrivType:3DES, PrivPass:\"b\")";
        QTest::newRow("auth type without password") << "&v3(UserName:\"u\", AuthType:SHA1)" << true
                                                    << credentials(3, {}, "u") << false << "&v3(UserName:\"u\")";
        QTest::newRow("last of a key, others ignored") << "&v3(UserName:\"a\", Colour:red, UserName:\"b\")" << true
                                                       << credentials(3, {}, "b") << false << "&v3(UserName:\"b\")";
        QTest::newRow("encrypted") << QString(encryptedV3) << true << credentials(3, {}, "ops", 4, "authpass1") << true
                                   << "";
        QTest::newRow("None is no protocol")
            << "&v3(UserName:\"u\", AuthType:None, AuthPass:\"p\")" << false << SnmpParams() << false << "";
        QTest::newRow("empty column") << "" << false << SnmpParams() << false << "";
        QTest::newRow("trailing comma") << "&v3#(UserName:\"u\",)" << false << SnmpParams() << false << "";
        QTest::newRow("no user") << "&v3(AuthType:MD5, AuthPass:\"p\")" << false << SnmpParams() << false << "";
    }

    void notation()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(SnmpParams, params);
        QFETCH(bool, encrypted);
        QFETCH(QString, written);

        SnmpParams read = credentials(3, {}, "left over", 1, "x");
        bool readEncrypted = !encrypted;
        QCOMPARE(VelmoraFile::textToCredentials(text, read, readEncrypted), ok);
        QVERIFY(read == params);
        QCOMPARE(readEncrypted, encrypted);
        QString again = VelmoraFile::credentialsToText(read, encrypted);
        if (!encrypted) {
            QCOMPARE(again, written);
            return;
        }
        // Written again under fresh random bytes it reads the same, and shows none of the secrets.
        QVERIFY(again.startsWith("&v3#(UserName:\"") && again != text && !again.contains(params.authPassword));
        QVERIFY(VelmoraFile::textToCredentials(again, read, readEncrypted) && read == params && readEncrypted);
        // A value that was tampered with reads as empty; the rest still reads.
        const int at = again.indexOf("AuthPass:\"") + 20;
        again[at] = again.at(at) == 'A' ? 'B' : 'A';
        QVERIFY(VelmoraFile::textToCredentials(again, read, readEncrypted));
        QVERIFY(read.authPassword.isEmpty() && read.userName == params.userName);
        // So does one cut short, one with a byte more, and one that is not Base64.
        const QByteArray blob = QByteArray::fromBase64(VelmoraFile::encryptSecret("x").toLatin1());
        for (const QByteArray& bad : {blob.left(79).toBase64(), QByteArray(blob + "x").toBase64(), QByteArray("!!")})
            QCOMPARE(VelmoraFile::decryptSecret(bad), QString());
    }

    void registrySecrets()
    {
        // Stored by an earlier version under the key text "12345"; the monitoring service reads them.
        const QStringList plain{"sixteen chars!!!", "Grüße, 日本"};
        const QStringList stored{"5462103b99a861d8b937ef660e6ac0650d43be2c892d5298de712282eb5b508c",
                                 "f65a0d66cb834691ee34ca916d56c2f6"};
        for (int i = 0; i < plain.size(); ++i) {
            QCOMPARE(ServiceRegistry::encrypt(plain.at(i), "12345"), stored.at(i));
            QCOMPARE(ServiceRegistry::decrypt(stored.at(i), "12345"), plain.at(i));
            QCOMPARE(ServiceRegistry::decrypt(stored.at(i), "123456"), QString());
        }
    }

    void save_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<int>("entries");
        QTest::addColumn<bool>("header");
        QTest::addColumn<QByteArray>("after");

        // Every row saves the entries read and one more device.
        QTest::newRow("no file") << QByteArray() << 0 << true << QByteArray();
        QTest::newRow("columns read and written")
            << QByteArray("10.0.0.1\tdEfAuLt\tpublic\t10/02/2003\tC1\t555\t<a href=\"x\">d</a>\r\n"
                          "10.0.0.3\tG\r\n"
                          "10.0.0.4\t/\t&v1(\"c\")\tN\r\n"
                          "10.0.0.5\tG\t&v3(UserName:\"u\", AuthType:None, "
                          "AuthPass:\"p\")\t/\t/\t/\t/\textra\r\n")
            << 3 << true
            << QByteArray("10.0.0.1\tDefault\t&v2c(\"public\")\t10-02-2003\tC1\t555\t<a href=\"x\">d</a>\r\n"
                          "10.0.0.4\tDefault\t&v1(\"c\")\t/\t/\t/\t\r\n"
                          "10.0.0.5\tG\t&v3(UserName:\"u\", AuthType:None, AuthPass:\"p\")\t/\t/\t/\t/\r\n");
        QTest::newRow("comments by address")
            << QByteArray(
                   ";head\r\n1.1.1.1\tG\tpublic ;first\r\n;between\r\n1.1.1.1\tG\t&v2c(\"public\") ;second\r\n\r\n"
                   "2.2.2.2\tG\t&v1(\"x;y\")\r\n#IGNORE\r\ntail\tbytes\n\xff")
            << 3 << false
            << QByteArray(";head\r\n;between\r\n\r\n1.1.1.1\tG\t&v2c(\"public\")\t/\t/\t/\t ;first\r\n"
                          "1.1.1.1\tG\t&v2c(\"public\")\t/\t/\t/\t ;first\r\n2.2.2.2\tG\t&v1(\"x;y\")\t/\t/\t/\t\r\n"
                          "#IGNORE\r\ntail\tbytes\n\xff");
        QTest::newRow("ignore first") << QByteArray("#IGNORE\r\n1.1.1.1\tG\tpublic\r\n") << 0 << true
                                      << QByteArray("#IGNORE\r\n1.1.1.1\tG\tpublic\r\n");
    }

    void save()
    {
        QFETCH(QByteArray, before);
        QFETCH(int, entries);
        QFETCH(bool, header);
        QFETCH(QByteArray, after);

        QTemporaryDir dir;
        const QString path = dir.filePath("Velmora.cfg");
        const QString backup = dir.filePath("Velmora.bak");
        if (!before.isEmpty())
            writeBytes(path, before);
        const VelmoraFile file(path);
        QList<VelmoraFile::Entry> list = file.entries();
        QCOMPARE(list.size(), entries);

        // The text of credentials that were read is not used: they are written anew.
        list.append({"9.9.9.9", "Default", "stale", {}, {}, {}, "/", credentials(3, {}, "new", 1, "p"), false});
        QVERIFY(file.save(list));

        const QByteArray addedLine("9.9.9.9\tDefault\t&v3(UserName:\"new\", AuthType:MD5, "
                                   "AuthPass:\"p\")\t/\t/\t/\t/\r\n");
        QByteArray expected = after;
        expected.insert(after.contains("#IGNORE") ? after.indexOf("#IGNORE") : after.size(), addedLine);
        const QByteArray written = fileBytes(path);
        // The header written to a new file: comment lines up to the column titles.
        QVERIFY(!header || written.startsWith(";This is the Orvane Configuration file\r\n"));
        const int headerEnd = header ? written.indexOf("\r\n", written.lastIndexOf("\r\n;") + 2) + 2 : 0;
        QCOMPARE(written.mid(headerEnd), expected);
        QCOMPARE(fileBytes(backup), before.isEmpty() ? QByteArray("<missing>") : before);

        // A second save keeps the first one's file as the backup and writes the same lines again.
        QVERIFY(file.save(file.entries()));
        QCOMPARE(fileBytes(backup), written);
        QCOMPARE(fileBytes(path), written);
    }
};

QTEST_GUILESS_MAIN(TestConfigFiles)
#include "test_configfiles.moc"
