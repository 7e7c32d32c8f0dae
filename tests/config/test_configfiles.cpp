#include "config/ConfigFile.h"
#include "config/VelmoraFile.h"

#include <QtTest>

#include <unistd.h>

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

SnmpParams credentials(int version, const QString& community, const QString& user = {}, int auth = 0,
                       const QString& authPass = {}, int priv = 0, const QString& privPass = {})
{
    return SnmpParams{version, community, user, auth, authPass, priv, privPass, false};
}

constexpr auto never = EmptyColumnPolicy::Never;
constexpr auto all = EmptyColumnPolicy::AllColumns;
constexpr auto allButLast = EmptyColumnPolicy::AllButLastColumn;

} // namespace

class TestConfigFiles final : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void write_data();
    void write();
    void backup_data();
    void backup();
    void failedSaveKeepsOldFile();
    void notation_data();
    void notation();
    void encryptedValues();
    void save_data();
    void save();

private:
    QTemporaryDir m_dir;
};

void TestConfigFiles::read_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<EmptyColumnPolicy>("policy");
    QTest::addColumn<QStringList>("data");
    QTest::addColumn<QStringList>("nonData");
    QTest::addColumn<QByteArray>("tail");

    QTest::newRow("tab runs") << QByteArray("10.0.0.1\t\t\tG\r\n") << all << QStringList{"10.0.0.1|G"} << QStringList()
                              << QByteArray();
    QTest::newRow("slash, all columns") << QByteArray("a\t/\tb\r\n") << all << QStringList{"a||b"} << QStringList()
                                        << QByteArray();
    QTest::newRow("slash, never") << QByteArray("a\t/\tb\r\n") << never << QStringList{"a|/|b"} << QStringList()
                                  << QByteArray();
    // The caller's column count, 3 here, decides which column is the last.
    QTest::newRow("slash, all but last") << QByteArray("/\t/\t/\t/\r\n") << allButLast << QStringList{"||/|/"}
                                         << QStringList() << QByteArray();
    QTest::newRow("spaces column") << QByteArray("a\t  \tb\r\n") << never << QStringList{"a||b"} << QStringList()
                                   << QByteArray();
    QTest::newRow("quoted semicolon") << QByteArray("1.1.1.1\tG\t&v1(\"a;b\")\t;note\r\n") << all
                                      << QStringList{"1.1.1.1|G|&v1(\"a;b\");note\n"} << QStringList() << QByteArray();
    QTest::newRow("comment and blank lines")
        << QByteArray(";c\r\n   ;note\r\n\r\na\t\tb ; x\r\n \t\r\n") << all << QStringList{"a|b; x\n"}
        << QStringList{";c\n", "   ;note\n", "\n", " \t\n"} << QByteArray();
    QTest::newRow("byte-order mark") << QByteArray("\xef\xbb\xbf;c\r\na\r\n") << all << QStringList{"a"}
                                     << QStringList{";c\n"} << QByteArray();
    QTest::newRow("lone CR and no last line end")
        << QByteArray("a\r\r\nb\tc") << never << QStringList{"a", "b|c"} << QStringList() << QByteArray();
    QTest::newRow("ignore first") << QByteArray("#IGNORE\r\nx\ty\r\n;\xff") << all << QStringList() << QStringList()
                                  << QByteArray("x\ty\r\n;\xff");
    QTest::newRow("ignore later") << QByteArray("a\r\n#IGNORE trailing words\nrest") << all << QStringList{"a"}
                                  << QStringList() << QByteArray("rest");
}

void TestConfigFiles::read()
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

    // Skipping comments keeps the same columns and nothing else.
    QList<ConfigLine> expected = contents.dataLines;
    for (ConfigLine& line : expected)
        line.comment.clear();
    QVERIFY(readConfigFile(path, policy, 3, true, contents));
    QCOMPARE(describe(contents.dataLines), describe(expected));
    QVERIFY(contents.nonDataLines.isEmpty());
    QVERIFY(!contents.hasIgnore);
    QVERIFY(contents.ignoredTail.isEmpty());
}

void TestConfigFiles::write_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("comment");
    QTest::addColumn<EmptyColumnPolicy>("policy");
    QTest::addColumn<bool>("replaceTabs");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("all but last, empty last")
        << QStringList{"a", " ", "b", ""} << QString() << allButLast << false << QByteArray("a\t/\tb\t\r\n");
    QTest::newRow("all but last, slash last")
        << QStringList{"a", "/"} << QString() << allButLast << false << QByteArray("a\t/\r\n");
    QTest::newRow("all columns") << QStringList{"", "a", ""} << QString() << all << false << QByteArray("/\ta\t/\r\n");
    QTest::newRow("never") << QStringList{"", "a"} << QString() << never << false << QByteArray("\ta\r\n");
    QTest::newRow("tabs replaced") << QStringList{"\tx\ty z ", "ü"} << QString() << never << true
                                   << QByteArray("x y z\t\xc3\xbc\r\n");
    QTest::newRow("comment") << QStringList{"a", "b"} << QStringLiteral(";c\n") << never << false
                             << QByteArray("a\tb ;c\r\n");
}

void TestConfigFiles::write()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, comment);
    QFETCH(EmptyColumnPolicy, policy);
    QFETCH(bool, replaceTabs);
    QFETCH(QByteArray, line);

    ConfigLine header;
    header.text = QStringLiteral(";head");
    ConfigLine data;
    data.isData = true;
    data.fields = fields;
    data.comment = comment;
    const QByteArray tail("kept\nas\r\nis\xff");
    const QString path = m_dir.filePath("write.txt");
    QVERIFY(writeConfigFile(path, {header, data}, policy, tail, true, replaceTabs));
    QCOMPARE(fileBytes(path), QByteArray(";head\r\n" + line + "#IGNORE\r\n" + tail));
}

void TestConfigFiles::backup_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("backup"); // empty: none made

    QTest::newRow("upper-case CFG") << "Upper.CFG" << true << "Upper.bak";
    QTest::newRow("lower-case cfg") << "lower.cfg" << true << "lower.bak";
    QTest::newRow("other name") << "other.txt" << true << "";
    QTest::newRow("new file") << "new.cfg" << false << "";
}

void TestConfigFiles::backup()
{
    QFETCH(QString, name);
    QFETCH(bool, exists);
    QFETCH(QString, backup);

    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (exists)
        writeBytes(path, "old\r\n");
    if (!backup.isEmpty())
        writeBytes(dir.filePath(backup), "stale");
    ConfigLine line;
    line.text = QStringLiteral(";new");
    QVERIFY(writeConfigFile(path, {line}, never, {}, false, false));
    QCOMPARE(fileBytes(path), QByteArray(";new\r\n"));
    QCOMPARE(QDir(dir.path()).entryList({"*.bak"}), backup.isEmpty() ? QStringList() : QStringList{backup});
    if (!backup.isEmpty())
        QCOMPARE(fileBytes(dir.filePath(backup)), QByteArray("old\r\n"));
}

void TestConfigFiles::failedSaveKeepsOldFile()
{
    ConfigLine line;
    line.text = QStringLiteral(";new");
    const auto save = [&line](const QString& path) { return writeConfigFile(path, {line}, never, {}, false, false); };

    // A parent that is a regular file: nothing can be created.
    const QString blocker = m_dir.filePath("blocker");
    writeBytes(blocker, "x");
    QVERIFY(!save(blocker + "/Velmora.cfg"));
    QCOMPARE(fileBytes(blocker), QByteArray("x"));

    // A name so long that no temporary file can stand beside it.
    QTemporaryDir dir;
    const QString longName = dir.filePath(QString(251, 'v') + ".cfg");
    writeBytes(longName, "old\r\n");
    QVERIFY(!save(longName));
    QCOMPARE(fileBytes(longName), QByteArray("old\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2); // the file and its backup

    if (geteuid() == 0)
        QSKIP("a read-only folder does not stop root");
    QTemporaryDir readOnly;
    const QString path = readOnly.filePath("Velmora.cfg");
    writeBytes(path, "old\r\n");
    QVERIFY(QFile::setPermissions(readOnly.path(), QFile::ReadOwner | QFile::ExeOwner));
    const bool saved = save(path);
    QFile::setPermissions(readOnly.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!saved);
    QCOMPARE(fileBytes(path), QByteArray("old\r\n"));
}

void TestConfigFiles::notation_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<SnmpParams>("params");
    QTest::addColumn<QString>("written");

    QTest::newRow("bare community") << "public" << true << credentials(2, "public") << "&v2c(\"public\")";
    QTest::newRow("v1 with semicolon") << "&v1(\"a;b\")" << true << credentials(1, "a;b") << "&v1(\"a;b\")";
    QTest::newRow("v2c") << "&v2c(\"x\")" << true << credentials(2, "x") << "&v2c(\"x\")";
    QTest::newRow("v3 with blanks") << "&v3(UserName : \"u\" , AuthType : sha1 , AuthPass : \"p\")" << true
                                    << credentials(3, {}, "u", 2, "p")
                                    << "&v3(UserName:\"u\", AuthType:SHA1, AuthPass:\"p\")";
    QTest::newRow("v3 auth and priv")
        << "&v3(UserName:\"u\", AuthType:sha512, AuthPass:\"a\", PrivType:aes256c, PrivPass:\"b\")" << true
        << credentials(3, {}, "u", 6, "a", 7, "b")
        << "&v3(UserName:\"u\", AuthType:SHA512, AuthPass:\"a\", PrivType:AES256C, PrivPass:\"b\")";
    QTest::newRow("v3 priv alone") << "&v3(UserName:u,PrivPass:\"b\",PrivType:3des)" << true
                                   << credentials(3, {}, "u", 0, {}, 3, "b")
                                   << "&v3(UserName:\"u\", PrivType:3DES, PrivPass:\"b\")";
    QTest::newRow("auth type without password")
        << "&v3(UserName:\"u\", AuthType:SHA1)" << true << credentials(3, {}, "u") << "&v3(UserName:\"u\")";
    QTest::newRow("last of a key, others ignored") << "&v3(UserName:\"a\", Colour:red, UserName:\"b\")" << true
                                                   << credentials(3, {}, "b") << "&v3(UserName:\"b\")";
    QTest::newRow("None is no protocol") << "&v3(UserName:\"u\", AuthType:None, AuthPass:\"p\")" << false
                                         << SnmpParams() << "";
    QTest::newRow("empty column") << "" << false << SnmpParams() << "";
    QTest::newRow("None without password") << "&v3(UserName:\"u\", PrivType:None)" << false << SnmpParams() << "";
    QTest::newRow("trailing comma") << "&v3(UserName:\"u\",)" << false << SnmpParams() << "";
    QTest::newRow("no user") << "&v3(AuthType:MD5, AuthPass:\"p\")" << false << SnmpParams() << "";
    QTest::newRow("keys case-sensitive") << "&v3(username:\"u\")" << false << SnmpParams() << "";
}

void TestConfigFiles::notation()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(SnmpParams, params);
    QFETCH(QString, written);

    SnmpParams read = credentials(3, {}, "left over", 1, "x");
    QCOMPARE(VelmoraFile::textToCredentials(text, read), ok);
    QVERIFY(read == params);
    QCOMPARE(VelmoraFile::credentialsToText(read), written);
}

void TestConfigFiles::encryptedValues()
{
    SnmpParams params = credentials(3, {}, "ü-user", 4, "auth pass", 6, "priv pass");
    params.encrypted = true;
    const QString text = VelmoraFile::credentialsToText(params);
    QVERIFY(text.startsWith("&v3#(UserName:\""));
    QVERIFY(text.contains(", AuthType:SHA256, AuthPass:\"") && text.contains(", PrivType:AES256, PrivPass:\""));
    QVERIFY(!text.contains("auth pass") && !text.contains("priv pass") && !text.contains("ü-user"));
    SnmpParams read;
    QVERIFY(VelmoraFile::textToCredentials(text, read));
    QVERIFY(read == params);

    // A value that was tampered with reads as empty; the rest still reads.
    const int at = text.indexOf("AuthPass:\"") + 20;
    QString tampered = text;
    tampered[at] = tampered.at(at) == 'A' ? 'B' : 'A';
    QVERIFY(VelmoraFile::textToCredentials(tampered, read));
    QCOMPARE(read.authPassword, QString());
    QCOMPARE(read.userName, params.userName);
    QCOMPARE(read.privPassword, params.privPassword);

    const QString once = VelmoraFile::encryptSecret("same");
    const QString twice = VelmoraFile::encryptSecret("same");
    QVERIFY(once != twice);
    QCOMPARE(VelmoraFile::decryptSecret(once) + VelmoraFile::decryptSecret(twice), QString("samesame"));
    QCOMPARE(VelmoraFile::decryptSecret(VelmoraFile::encryptSecret(QString())), QString());
    const QByteArray blob = QByteArray::fromBase64(once.toLatin1());
    for (const QByteArray& bad : {QByteArray(), QByteArray("!!"), blob.left(64), blob.left(79), QByteArray(blob + "x")})
        QCOMPARE(VelmoraFile::decryptSecret(bad.toBase64()), QString());
    QCOMPARE(VelmoraFile::decryptSecret(once.left(once.size() - 1) + "*"), QString());
}

void TestConfigFiles::save_data()
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
    QTest::newRow("comments by address") << QByteArray(";head\r\n"
                                                       "1.1.1.1\tG\tpublic ;first\r\n"
                                                       ";between\r\n"
                                                       "1.1.1.1\tG\t&v2c(\"public\") ;second\r\n"
                                                       "\r\n"
                                                       "2.2.2.2\tG\t&v1(\"x;y\")\r\n"
                                                       "#IGNORE\r\n"
                                                       "tail\tbytes\n\xff")
                                         << 3 << false
                                         << QByteArray(";head\r\n"
                                                       ";between\r\n"
                                                       "\r\n"
                                                       "1.1.1.1\tG\t&v2c(\"public\")\t/\t/\t/\t ;first\r\n"
                                                       "1.1.1.1\tG\t&v2c(\"public\")\t/\t/\t/\t ;first\r\n"
                                                       "2.2.2.2\tG\t&v1(\"x;y\")\t/\t/\t/\t\r\n"
                                                       "#IGNORE\r\n"
                                                       "tail\tbytes\n\xff");
    QTest::newRow("ignore first") << QByteArray("#IGNORE\r\n1.1.1.1\tG\tpublic\r\n") << 0 << true
                                  << QByteArray("#IGNORE\r\n1.1.1.1\tG\tpublic\r\n");
}

void TestConfigFiles::save()
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

    VelmoraFile::Entry added;
    added.ipAddress = "9.9.9.9";
    added.group = "Default";
    added.credentials = credentials(3, {}, "new", 1, "p");
    added.securityText = "stale";
    added.description = "/";
    list.append(added);
    QVERIFY(file.save(list));

    const QByteArray addedLine("9.9.9.9\tDefault\t&v3(UserName:\"new\", AuthType:MD5, "
                               "AuthPass:\"p\")\t/\t/\t/\t/\r\n");
    QByteArray expected = after;
    expected.insert(after.contains("#IGNORE") ? after.indexOf("#IGNORE") : after.size(), addedLine);
    const QByteArray written = fileBytes(path);
    int headerEnd = 0;
    for (int i = 0; header && i < 56; ++i) {
        QVERIFY(written.at(headerEnd) == ';');
        headerEnd = written.indexOf("\r\n", headerEnd) + 2;
    }
    QVERIFY(!header || written.startsWith(";This is the Orvane Configuration file\r\n"));
    QCOMPARE(written.mid(headerEnd), expected);
    QCOMPARE(fileBytes(backup), before.isEmpty() ? QByteArray("<missing>") : before);

    // A second save keeps the first one's file as the backup and writes the same lines again.
    const QByteArray first = fileBytes(path);
    QVERIFY(file.save(file.entries()));
    QCOMPARE(fileBytes(backup), first);
    QCOMPARE(fileBytes(path), first);
}

QTEST_MAIN(TestConfigFiles)
#include "test_configfiles.moc"
