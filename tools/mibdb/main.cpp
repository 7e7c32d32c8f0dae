// tessaro-mibdb: builds the MIB database of Tessaro from MIB module files, and packages a
// database for the update server.

#include "MibCompiler.h"
#include "mib/MibDatabase.h"
#include "MibDbWriter.h"
#include "MibPackager.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

namespace {

const char* const Usage = "Usage:\n"
                          "  tessaro-mibdb build -o OUT.db [--major N] [--minor N] [--allow-empty] PATH...\n"
                          "      Compiles the MIB modules in PATH (files, and every file of a folder) into a new\n"
                          "      MIB database. --major defaults to today's date (yyyymmdd, UTC), --minor to 0.\n"
                          "      --allow-empty writes an empty database when no module could be compiled.\n"
                          "  tessaro-mibdb package -d OUTDIR DB\n"
                          "      Writes OUTDIR/MIB.zip (holding DB as MIB.db) and OUTDIR/MIB.ver for the update\n"
                          "      server.\n"
                          "  tessaro-mibdb --help\n";

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

int fail(const QString& message)
{
    err() << "tessaro-mibdb: " << message << Qt::endl;
    return 1;
}

int usageError(const QString& message)
{
    err() << "tessaro-mibdb: " << message << "\n\n" << Usage << Qt::flush;
    return 2;
}

bool isHelp(const QStringList& arguments)
{
    return arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"));
}

bool parseVersionPart(const QString& text, int* value)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < 0)
        return false;
    *value = number;
    return true;
}

QString moduleTitle(const ModuleReport& module)
{
    return QStringLiteral("%1 (%2)").arg(module.name, QFileInfo(module.file).fileName());
}

void reportCompilation(const MibCompiler& compiler)
{
    for (const QString& problem : compiler.problems())
        err() << "tessaro-mibdb: " << problem << '\n';
    for (const ModuleReport& module : compiler.modules()) {
        for (const QString& error : module.errors)
            err() << "tessaro-mibdb: " << moduleTitle(module) << ": " << error << '\n';
        for (const QString& warning : module.warnings)
            err() << "tessaro-mibdb: " << moduleTitle(module) << ": warning: " << warning << '\n';
        if (!module.compiled)
            err() << "tessaro-mibdb: " << moduleTitle(module) << ": not compiled; none of its definitions are used\n";
    }
    for (const QString& message : compiler.generalMessages())
        err() << "tessaro-mibdb: " << message << '\n';
    err().flush();
}

int runBuild(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption outputOption(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                          QStringLiteral("Database file to write."), QStringLiteral("OUT.db"));
    const QCommandLineOption majorOption(QStringLiteral("major"), QStringLiteral("Major version."),
                                         QStringLiteral("N"));
    const QCommandLineOption minorOption(QStringLiteral("minor"), QStringLiteral("Minor version."),
                                         QStringLiteral("N"));
    const QCommandLineOption allowEmptyOption(QStringLiteral("allow-empty"),
                                              QStringLiteral("Write a database even when nothing compiled."));
    parser.addOptions({outputOption, majorOption, minorOption, allowEmptyOption});
    if (!parser.parse(arguments))
        return usageError(parser.errorText());

    const QString output = parser.value(outputOption);
    if (output.isEmpty())
        return usageError(QStringLiteral("build needs an output file (-o OUT.db)"));
    int major = MibDatabase::todayVersion();
    int minor = 0;
    if (parser.isSet(majorOption) && !parseVersionPart(parser.value(majorOption), &major))
        return usageError(QStringLiteral("--major needs a non-negative number"));
    if (parser.isSet(minorOption) && !parseVersionPart(parser.value(minorOption), &minor))
        return usageError(QStringLiteral("--minor needs a non-negative number"));
    const bool allowEmpty = parser.isSet(allowEmptyOption);
    const QStringList paths = parser.positionalArguments();
    if (paths.isEmpty() && !allowEmpty)
        return usageError(QStringLiteral("build needs at least one MIB file or folder"));

    MibCompiler compiler;
    for (const QString& path : paths)
        compiler.addPath(path);
    const bool compiled = compiler.compile();
    reportCompilation(compiler);
    if (!compiled && !allowEmpty)
        return fail(QStringLiteral("no MIB module could be compiled; %1 not written").arg(output));

    // Without any compiled module the parser's tree is only its bare roots: not worth a row.
    const QVector<MibNodeRecord> nodes = compiled ? compiler.nodes() : QVector<MibNodeRecord>();
    MibDbWriter writer(output);
    if (!writer.write(nodes, major, minor))
        return fail(QStringLiteral("cannot write %1: %2").arg(output, writer.errorString()));

    int loaded = 0;
    int withProblems = 0;
    for (const ModuleReport& module : compiler.modules()) {
        if (module.hasProblems())
            ++withProblems;
        else
            ++loaded;
    }
    out() << "tessaro-mibdb: " << loaded << " modules loaded, " << withProblems << " with problems, "
          << compiler.problems().size() << " other input problems; " << nodes.size() << " nodes written to " << output
          << " (version " << major << '.' << minor << "; " << compiler.leftOutNodeCount()
          << " nodes under ccitt and joint-iso-ccitt left out)" << Qt::endl;
    return 0;
}

int runPackage(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption dirOption(QStringList{QStringLiteral("d"), QStringLiteral("directory")},
                                       QStringLiteral("Folder for MIB.zip and MIB.ver."), QStringLiteral("OUTDIR"));
    parser.addOption(dirOption);
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    const QString outputDir = parser.value(dirOption);
    const QStringList positional = parser.positionalArguments();
    if (outputDir.isEmpty())
        return usageError(QStringLiteral("package needs an output folder (-d OUTDIR)"));
    if (positional.size() != 1)
        return usageError(QStringLiteral("package needs exactly one database file"));

    MibPackager packager;
    if (!packager.package(positional.constFirst(), outputDir))
        return fail(packager.errorString());
    out() << "tessaro-mibdb: packaged version " << packager.major() << '.' << packager.minor() << " into " << outputDir
          << " (MIB.zip, " << packager.archiveSize() << " bytes)" << Qt::endl;
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    const QString program = arguments.isEmpty() ? QStringLiteral("tessaro-mibdb") : arguments.takeFirst();

    if (arguments.isEmpty())
        return usageError(QStringLiteral("no command given"));
    const QString command = arguments.takeFirst();
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help") ||
        isHelp(arguments)) {
        out() << Usage << Qt::flush;
        return 0;
    }
    // QCommandLineParser expects the program name in front.
    arguments.prepend(program);
    if (command == QLatin1String("build"))
        return runBuild(arguments);
    if (command == QLatin1String("package"))
        return runPackage(arguments);
    return usageError(QStringLiteral("unknown command \"%1\"").arg(command));
}
