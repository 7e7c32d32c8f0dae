// One function per reader of outside input. Built with FUZZ_TARGET naming one of them, this is
// that reader's libFuzzer program; built without, it is the replay test that feeds every file
// of corpus/<name>/ and regressions/<name>/ to its reader.
#include "app/Updater.h"
#include "config/Cipher.h"
#include "config/ConfigFile.h"
#include "config/OidEntryFile.h"
#include "config/TransformFormula.h"
#include "config/TrapAlertFile.h"
#include "config/VelmoraFile.h"
#include "mail/SmtpClient.h"
#include "mib/Expansion.h"
#include "mib/MibDatabase.h"
#include "mib/TreeModel.h"
#include "mibdb/DescriptionScanner.h"
#include "mibdb/LastUpdatedScanner.h"
#include "mibdb/MibTokenizer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

#ifdef FUZZ_TARGET
#pragma clang diagnostic ignored "-Wunused-function" // a fuzz program runs one of the targets
#endif

namespace {

// A broken round trip is a finding like a crash.
#define FUZZ_CHECK(condition)                                                                                          \
    ((condition) ? void() : (std::fprintf(stderr, "check failed: %s (line %d)\n", #condition, __LINE__), std::abort()))

// The readers that take a path read the input from a file of one folder made once per process.
QString inputFile(const QByteArray& data, const QString& name = QStringLiteral("input.txt"))
{
    static QTemporaryDir folder;
    const QString path = folder.filePath(name);
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size());
    return path;
}

// The first byte picks the reading options.
void config(const QByteArray& data)
{
    const int options = data.isEmpty() ? 0 : static_cast<unsigned char>(data[0]);
    ConfigFileContents contents;
    if (readConfigFile(inputFile(data.mid(1)), static_cast<EmptyColumnPolicy>(options % 3), (options >> 2) & 15,
                       options & 64, contents)) {
        for (const ConfigLine& line : qAsConst(contents.dataLines))
            FUZZ_CHECK(line.isData && !line.fields.isEmpty());
    }
}

void credentials(const QByteArray& data)
{
    const QString text = QString::fromUtf8(data);
    SnmpUtils::SnmpParams params, again;
    bool encrypted = false, encryptedAgain = false, written = false;
    if (VelmoraFile::textToCredentials(text, params, encrypted)) {
        const QString notation = VelmoraFile::credentialsToText(params, encrypted, &written);
        FUZZ_CHECK(!written || (VelmoraFile::textToCredentials(notation, again, encryptedAgain) && again == params));
    }
    VelmoraFile::decryptedSecret(text);
    Cipher(data.left(32), data.size() % 2 ? Cipher::Padding::Pkcs7 : Cipher::Padding::None)
        .decrypt(data.mid(32, 16), data.mid(48));
    VelmoraFile(inputFile(data)).entries();
}

// OIDEntry.cfg and TrapAlert.cfg: what reads back cleanly is written and read again unchanged.
void entries(const QByteArray& data)
{
    const QString path = inputFile(data);
    QList<OidEntry> oidEntries;
    for (const OidEntry& entry : readOidEntries(path)) {
        if (entry.problem().isEmpty())
            oidEntries << entry;
    }
    const QString written = inputFile({}, QStringLiteral("written.txt"));
    FUZZ_CHECK(writeOidEntries(written, oidEntries) && readOidEntries(written) == oidEntries);
    QList<TrapAlertFile::Entry> rules;
    for (const TrapAlertFile::Entry& rule : TrapAlertFile::readEntries(path)) {
        if (rule.problem().isEmpty())
            rules << rule;
    }
    FUZZ_CHECK(TrapAlertFile::writeEntries(written, rules) && TrapAlertFile::readEntries(written) == rules);
    QVector<quint32> oid;
    TrapAlertFile::parseOid(QString::fromUtf8(data), &oid);
}

// The expansion text and numeric paths: what they read serializes back to itself.
void paths(const QByteArray& data)
{
    const QString text = QString::fromUtf8(data);
    const QString expansion = serializeExpansion(parseExpansion(text));
    FUZZ_CHECK(serializeExpansion(parseExpansion(expansion)) == expansion);
    const QVector<qint32> numbers = OidPath::parse(text);
    FUZZ_CHECK(numbers.isEmpty() || OidPath::parse(OidPath::join(numbers)) == numbers);
    QString parent;
    qint32 last = 0;
    OidPath::split(text, &parent, &last);
    OidPath::follows(text, OidPath::parentPath(text));
}

void version(const QByteArray& data)
{
    Updater::parseAppVersion(data);
    Updater::parseDbVersion(data);
}

void formula(const QByteArray& data)
{
    const TransformFormula formula(QString::fromUtf8(data));
    formula.evaluate(data.size() - 7.5);
    if (formula.isAcceptable())
        FUZZ_CHECK(formula.problem().isEmpty());
}

void smtp(const QByteArray& data)
{
    for (const QByteArray& line : data.split('\n'))
        SmtpClient::parseReplyLine(QString::fromUtf8(line).trimmed());
}

// MIB text as the builder's scanners read it again after net-snmp's parser.
void mibtext(const QByteArray& data)
{
    MibTokenizer tokenizer(data);
    QByteArray descriptor;
    for (int count = 0; count <= data.size(); ++count) {
        const MibTokenizer::Token token = tokenizer.next();
        if (token.kind == MibTokenizer::Kind::End)
            break;
        if (descriptor.isEmpty() && token.kind == MibTokenizer::Kind::Word)
            descriptor = token.bytes();
        FUZZ_CHECK(count < data.size());
    }
    DescriptionScanner::scanText(data, tokenizer.moduleName(), descriptor);
    LastUpdatedScanner::scanText(data);
}

// A MIB database file as the program opens it: checked, opened, its version and tree read.
void mibdb(const QByteArray& data)
{
    MibDatabase database;
    database.setFileName(inputFile(data, QStringLiteral("MIB.db")));
    int format = 0, major = 0, minor = 0;
    if (database.check() != MibDatabase::Usable || database.open(true) != MibDatabase::Usable)
        return;
    database.readVersion(&format, &major, &minor);
    const QVector<OidPtr> nodes = database.loadNodes();
    int depth = 0;
    TreeModel::buildTree(nodes, &depth);
    for (const OidPtr& node : nodes) {
        node->numericPath();
        node->textPath();
        node->moduleText();
    }
}

void quiet(QtMsgType, const QMessageLogContext&, const QString&)
{
}

} // namespace

#ifdef FUZZ_TARGET

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qInstallMessageHandler(quiet);
    new QCoreApplication(*argc, *argv); // the SQL driver plugin needs one
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_TARGET(QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(size)));
    return 0;
}

#else

int main(int argc, char** argv)
{
    qInstallMessageHandler(quiet);
    QCoreApplication application(argc, argv);
    const std::pair<const char*, void (*)(const QByteArray&)> targets[] = {
        {"config", config}, {"credentials", credentials}, {"entries", entries},
        {"paths", paths},   {"version", version},         {"formula", formula},
        {"smtp", smtp},     {"mibtext", mibtext},         {"mibdb", mibdb}};
    int replayed = 0;
    for (const auto& [name, target] : targets) {
        for (const char* kind : {"corpus", "regressions"}) {
            const QDir folder(QStringLiteral(TESSARO_FUZZ_DIR "/%1/%2").arg(QLatin1String(kind), QLatin1String(name)));
            for (const QString& file : folder.entryList(QDir::Files)) {
                QFile input(folder.filePath(file));
                FUZZ_CHECK(input.open(QIODevice::ReadOnly));
                target(input.readAll());
                ++replayed;
            }
        }
    }
    std::printf("%d inputs replayed\n", replayed);
    return replayed > 0 ? 0 : 1;
}

#endif
