#include "config/Cipher.h"
#include "config/ConfigFile.h"
#include "config/VelmoraFile.h"
#include "TestFiles.h"

#include <QtTest>

#include <tuple>

using SnmpUtils::SnmpParams;

using ReadCase = std::tuple<QByteArray, EmptyColumnPolicy, QStringList, QStringList, QByteArray>;
using WriteCase = std::tuple<QStringList, QString, EmptyColumnPolicy, bool, QByteArray>;
using NotationCase = std::tuple<QString, bool, SnmpParams, QString>;
using SaveCase = std::tuple<QByteArray, int, bool, QByteArray>;
Q_DECLARE_METATYPE(ReadCase)
Q_DECLARE_METATYPE(WriteCase)
Q_DECLARE_METATYPE(NotationCase)
Q_DECLARE_METATYPE(SaveCase)

namespace {

// A data line as "field|field|...", followed by its end-of-line comment.
QStringList describe(const QList<ConfigLine>& lines)
{
    QStringList result;
    for (const ConfigLine& line : lines)
        result.append(QString(line.isData ? line.fields.join('|') + line.comment : line.text).replace(QChar(0), "<0>"));
    return result;
}

const auto credentials = [](int version, const QString& community, const QString& user = {}, int auth = 0,
                            const QString& authPass = {}, int priv = 0, const QString& privPass = {}) {
    return SnmpParams{version, community, user, auth, authPass, priv, privPass};
};

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
        QTest::addColumn<ReadCase>("c");
        QTest::newRow("tab runs, blank column, lone CR, slash, no last line end")
            << ReadCase{"a\t\t\t  \tb\r\nc\r\r\nd\t/\te", never, {"a||b", "c", "d|/|e"}, {}, {}};
        QTest::newRow("slash, all columns") << ReadCase{"a\t/\tb\r\n", all, {"a||b"}, {}, {}};
        // The caller's column count, 3 here, decides which column is the last.
        QTest::newRow("slash, all but last") << ReadCase{"/\t/\t/\t/\r\n", allButLast, {"||/|/"}, {}, {}};
        const QStringList nonData{";c\n", "   ;note\n", "\n", " \t\n"};
        QTest::newRow("byte-order mark, comment and blank lines")
            << ReadCase{"\xef\xbb\xbf;c\r\n   ;note\r\n\r\na\t\tb ; x\r\n \t\r\n", all, {"a|b; x\n"}, nonData, {}};
        QTest::newRow("zero bytes") << ReadCase{
            QByteArrayLiteral("a\0b\tc\r\n;x\0y\r\n"), all, {"a<0>b|c"}, {";x<0>y\n"}, {}};
        QTest::newRow("ignore later") << ReadCase{"a\r\n#IGNORE trailing words\nrest", all, {"a"}, {}, "rest"};
    }

    void read()
    {
        QFETCH(ReadCase, c);
        const auto& [bytes, policy, data, nonData, tail] = c;
        const QString path = m_dir.filePath("read.cfg");
        QVERIFY(writeBytes(path, bytes));
        ConfigFileContents contents;
        QVERIFY(readConfigFile(path, policy, 3, false, contents));
        QCOMPARE(describe(contents.dataLines), data);
        QCOMPARE(describe(contents.nonDataLines), nonData);
        QCOMPARE(contents.hasIgnore, bytes.contains("#IGNORE"));
        QCOMPARE(contents.ignoredTail, tail);
    }

    void write_data()
    {
        QTest::addColumn<WriteCase>("c");
        QTest::newRow("all but last, empty last")
            << WriteCase{{"a", " ", "b", ""}, {}, allButLast, false, "a\t/\tb\t\r\n"};
        QTest::newRow("all columns") << WriteCase{{"", "a", ""}, {}, all, false, "/\ta\t/\r\n"};
        QTest::newRow("never, tabs replaced, comment")
            << WriteCase{{"\tx\ty z ", "", "ü"}, ";c\n", never, true, "x y z\t\t\xc3\xbc ;c\r\n"};
        for (const char* value : {"a\nb", "a\rb", "a\tb", "a\vb"}) // refused
            QTest::newRow(value) << WriteCase{{"1", value}, {}, never, false, {}};
    }

    void write()
    {
        QFETCH(WriteCase, c);
        const auto& [fields, comment, policy, replaceTabs, line] = c;
        const ConfigLine header{";head", {}, false, {}};
        const ConfigLine data{{}, comment, true, fields};
        const QByteArray tail("kept\nas\r\nis\xff");
        const QString path = m_dir.filePath("write.txt");
        QVERIFY(writeBytes(path, "old"));
        // A tab or line break inside a value would split it: refused before anything is written.
        if (line.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("the value \"a.*b\" holds a tab or line break"));
        QCOMPARE(writeConfigFile(path, {header, data}, policy, tail, true, replaceTabs), !line.isEmpty());
        QCOMPARE(readBytes(path), line.isEmpty() ? "old" : QByteArray(";head\r\n" + line + "#IGNORE\r\n" + tail));
    }

    // Only a ".cfg" file, in any letter case, gets a backup.
    void backup()
    {
        QTemporaryDir dir;
        for (const char* name : {"Upper.CFG", "other.txt"})
            QVERIFY(writeBytes(dir.filePath(name), "old\r\n") &&
                    writeConfigFile(dir.filePath(name), {{";new", {}, false, {}}}, never, {}, false, false));
        QCOMPARE(QDir(dir.path()).entryList({"*.bak"}), QStringList{"Upper.bak"});
        QCOMPARE(readBytes(dir.filePath("Upper.bak")), QByteArray("old\r\n"));
    }

    // Steps of the save refused (bit per SaveStep), the backup blocked by a folder in its place.
    void saveFaults_data()
    {
        QTest::addColumn<int>("refused");
        QTest::addColumn<bool>("backupBlocked");
        QTest::addColumn<bool>("ok"); // saved, else the old file left whole
        const int temporary = 1 << int(SaveStep::CreateTemporary), rename = 1 << int(SaveStep::ReplaceFile);
        QTest::newRow("replaced") << 0 << false << true;
        QTest::newRow("no temporary file: in place") << temporary << false << true;
        QTest::newRow("rename refused: in place") << rename << false << true;
        QTest::newRow("in place refused too") << (rename | 1 << int(SaveStep::WriteInPlace)) << false << false;
        QTest::newRow("no backup: replaced all the same") << 0 << true << true;
        QTest::newRow("no backup: never in place") << temporary << true << false;
    }

    void saveFaults()
    {
        QFETCH(int, refused);
        QFETCH(bool, backupBlocked);
        QFETCH(bool, ok);
        QTemporaryDir dir;
        const QString path = dir.filePath("Velmora.cfg");
        const QByteArray old(";private\r\n1.1.1.1\tG\tpublic\r\n");
        QVERIFY(writeBytes(path, old) && QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        const QFile::Permissions permissions = QFile::permissions(path);
        QVERIFY(!backupBlocked || QDir().mkpath(dir.filePath("Velmora.bak/in")));
        setSaveStepFilter([refused](SaveStep step) { return !(refused & 1 << int(step)); });
        const VelmoraFile file(path);
        if (!ok)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write .*Velmora.cfg: .+"));
        const bool saved = file.save({file.entries().value(0)});
        setSaveStepFilter(nullptr);
        QCOMPARE(saved, ok);
        QCOMPARE(file.errorText().startsWith("The device list"), !ok);
        QVERIFY(readBytes(path).endsWith("\t/\t/\t/\t\r\n") == ok && readBytes(path).startsWith(old.left(10)));
        QCOMPARE(QFile::permissions(path), permissions);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).join(' '),
                 backupBlocked ? "Velmora.cfg" : "Velmora.bak Velmora.cfg");
        const QString bak = dir.filePath("Velmora.bak");
        QVERIFY(backupBlocked || (readBytes(bak) == old && QFile::permissions(bak) == permissions));
    }

    // Files that are no text this program understands are never saved over.
    void unreadable_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("understood");
        const QString text("1.1.1.1\tG\tpublic\r\n");
        const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        QTest::newRow("UTF-16 with its mark") << QByteArray("\xff\xfe" + utf16) << false;
        QTest::newRow("UTF-16 without, other order") << QByteArray(utf16).prepend('\0').chopped(1) << false;
        QTest::newRow("no device, comment or ignore") << QByteArray("words\r\n1.1.1.1\tG\r\n") << false;
        QTest::newRow("blank lines and a comment") << QByteArray(" \r\n\r\n  ;c\r\n") << true;
    }

    void unreadable()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, understood);
        QTemporaryDir dir;
        const QString path = dir.filePath("Velmora.cfg");
        QVERIFY(writeBytes(path, bytes));
        const VelmoraFile file(path);
        QVERIFY(file.entries().isEmpty());
        const QString refusal = QString("The device list %1 cannot be read: it is not a text file this program "
                                        "understands.")
                                    .arg(QDir::toNativeSeparators(path));
        QCOMPARE(file.errorText(), understood ? QString() : refusal);
        if (!understood)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot be read"));
        QCOMPARE(file.save({{"9.9.9.9", "G", "public", {}, {}, {}, {}, credentials(2, "public"), false}}), understood);
        QCOMPARE(file.errorText(), understood ? QString() : refusal);
        QCOMPARE(readBytes(path) == bytes, !understood);
    }

    void saveRefusedWithoutRandomBytes()
    {
        QTemporaryDir dir;
        const VelmoraFile file(dir.filePath("Velmora.cfg"));
        Cipher::setRandomSource([](int) { return QByteArray(); });
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be encrypted"));
        const bool saved = file.save({{"9.9.9.9", "G", {}, {}, {}, {}, {}, credentials(3, {}, "u"), true, false}});
        Cipher::setRandomSource(nullptr);
        QVERIFY(!saved && file.errorText().endsWith("9.9.9.9 could not be encrypted") && !QFile::exists(file.path()));
    }

    // Read, and written again in the program's notation.
    void notation_data()
    {
        QTest::addColumn<NotationCase>("c");
        const auto read = [](const char* name, const QString& text, const SnmpParams& params, const QString& again) {
            QTest::newRow(name) << NotationCase{text, true, params, again};
        };
        read("bare community", "public", credentials(2, "public"), "&v2c(\"public\")");
        read("v3 with blanks", "&v3(UserName : \"u\" , AuthType : sha1 , AuthPass : \"p\")",
             credentials(3, {}, "u", 2, "p"), "&v3(UserName:\"u\", AuthType:SHA1, AuthPass:\"p\")");
        read("v3 auth and priv",
             "&v3(UserName:\"u\", AuthType:sha512, AuthPass:\"a\", PrivType:aes256c, PrivPass:\"b\")",
             credentials(3, {}, "u", 6, "a", 7, "b"),
             "&v3(UserName:\"u\", AuthType:SHA512, AuthPass:\"a\", PrivType:AES256C, PrivPass:\"b\")");
        read("v3 priv alone", "&v3(UserName:u,PrivPass:\"b\",PrivType:3des)", credentials(3, {}, "u", 0, {}, 3, "b"),
             "&v3(UserName:\"u\", PrivType:3DES, PrivPass:\"b\")");
        read("auth type without password", "&v3(UserName:\"u\", AuthType:SHA1)", credentials(3, {}, "u"),
             "&v3(UserName:\"u\")");
        read("last of a key", "&v3(UserName:\"a\", UserName:\"b\")", credentials(3, {}, "b"), "&v3(UserName:\"b\")");
        const QString refused =
            "None is no protocol|&v3(UserName:\"u\", AuthType:None, AuthPass:\"p\")~empty column|~"
            "trailing comma|&v3#(UserName:\"u\",)~no user|&v3(AuthType:MD5, AuthPass:\"p\")~"
            "unknown key|&v3(UserName:\"u\", Colour:red)~community not closed|&v2c(\"ab~v3 not closed|&v3(UserName:u~"
            "quote not closed|&v3(UserName:\"u)~does not decrypt|&v3#(UserName:\"AAAA\")~"
            "blank inside Base64|&v3#(UserName:\"3nfJycm1p7DAIB4LOcicvHEpKmtApE43AjUnEdCY1dA UYk4=\")";
        for (const QString& row : refused.split('~'))
            QTest::newRow(qPrintable(row.section('|', 0, 0))) << NotationCase{row.section('|', 1), false, {}, {}};
    }

    void notation()
    {
        QFETCH(NotationCase, c);
        const auto& [text, ok, params, written] = c;
        SnmpParams read = credentials(3, {}, "left over", 1, "x");
        bool encrypted = true;
        QCOMPARE(VelmoraFile::textToCredentials(text, read, encrypted), ok);
        QVERIFY(read == params && !encrypted);
        QCOMPARE(VelmoraFile::credentialsToText(read, false), written);
    }

    // The file before, entries read, a header written, the file after without the added device.
    void save_data()
    {
        QTest::addColumn<SaveCase>("c");
        QTest::newRow("no file") << SaveCase{{}, 0, true, {}};
        QTest::newRow("columns read and written")
            << SaveCase{"10.0.0.1\tdEfAuLt\tpublic\t10/02/2003\tC1\t555\t<a href=\"x\">d</a>\r\n10.0.0.3\tG\r\n"
                        "10.0.0.4\t/\t&v1(\"c\")\tN\r\n"
                        "10.0.0.5\tG\t&v3(UserName:\"u\", AuthType:None, AuthPass:\"p\")\t/\t/\t/\t/\textra\r\n",
                        3, true,
                        "10.0.0.1\tDefault\t&v2c(\"public\")\t10-02-2003\tC1\t555\t<a href=\"x\">d</a>\r\n"
                        "10.0.0.4\tDefault\t&v1(\"c\")\t/\t/\t/\t\r\n"
                        "10.0.0.5\tG\t&v3(UserName:\"u\", AuthType:None, AuthPass:\"p\")\t/\t/\t/\t/\r\n"};
        QTest::newRow("comments by address")
            << SaveCase{";head\r\n1.1.1.1\tG\tpublic ;first\r\n;between\r\n1.1.1.1\tG\t&v2c(\"public\") ;second\r\n\r\n"
                        "2.2.2.2\tG\t&v1(\"x;y\")\r\n#IGNORE\r\ntail\tbytes\n\xff",
                        3, false,
                        ";head\r\n;between\r\n\r\n1.1.1.1\tG\t&v2c(\"public\")\t/\t/\t/\t ;first\r\n"
                        "1.1.1.1\tG\t&v2c(\"public\")\t/\t/\t/\t ;first\r\n2.2.2.2\tG\t&v1(\"x;y\")\t/\t/\t/\t\r\n"
                        "#IGNORE\r\ntail\tbytes\n\xff"};
        QTest::newRow("zero bytes kept") << SaveCase{
            QByteArrayLiteral(";a\0b\r\n1.1.1.1\tG\tpublic\t/\t/\t/\td\0e\r\n"), 1, false,
            QByteArrayLiteral(";a\0b\r\n1.1.1.1\tG\t&v2c(\"public\")\t/\t/\t/\td\0e\r\n")};
        QTest::newRow("ignore first") << SaveCase{"#IGNORE\r\n1.1.1.1\tG\tpublic\r\n", 0, true,
                                                  "#IGNORE\r\n1.1.1.1\tG\tpublic\r\n"};
    }

    // Every row saves the entries read and one more device.
    void save()
    {
        QFETCH(SaveCase, c);
        const auto& [before, entries, header, after] = c;
        QTemporaryDir dir;
        const QString path = dir.filePath("Velmora.cfg");
        const QString backup = dir.filePath("Velmora.bak");
        QVERIFY(before.isEmpty() || writeBytes(path, before));
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
        const QByteArray written = readBytes(path);
        // The header written to a new file: comment lines up to the column titles.
        QVERIFY(!header || written.startsWith(";This is the Orvane Configuration file\r\n"));
        const int headerEnd = header ? written.indexOf("\r\n", written.lastIndexOf("\r\n;") + 2) + 2 : 0;
        QCOMPARE(written.mid(headerEnd), expected);
        QCOMPARE(readBytes(backup), before.isEmpty() ? QByteArray("<missing>") : before);

        // A second save keeps the first one's file as the backup and writes the same lines again.
        QVERIFY(file.save(file.entries()));
        QCOMPARE(readBytes(backup), written);
        QCOMPARE(readBytes(path), written);
    }
};

QTEST_GUILESS_MAIN(TestConfigFiles)
#include "test_configfiles.moc"
