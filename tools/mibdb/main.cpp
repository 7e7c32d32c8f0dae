// tessaro-mibdb: builds the MIB database of Tessaro from MIB module files, and packages a
// database for the update server.

#include "MibCompiler.h"
#include "mib/MibDatabase.h"
#include "MibDbWriter.h"
#include "MibMerger.h"
#include "MibPackager.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

namespace {

const char* const Usage = "Usage:\n"
                          "  tessaro-mibdb build -o OUT.db [--major N] [--minor N] [--allow-empty] PATH...\n"
                          "      Compiles the MIB modules in PATH (files, and every file of a folder) into a new\n"
                          "      MIB database. --major defaults to today's date (yyyymmdd, UTC), --minor to 0.\n"
                          "      --allow-empty writes an empty database when no module could be compiled.\n"
                          "  tessaro-mibdb add -d MIB.db [-I DIR]... [--report FILE] [--dry-run] PATH...\n"
                          "      Compiles the MIB modules in PATH and merges them into MIB.db, keeping its version.\n"
                          "      Imports resolve against PATH and the folders given with -I, whose modules load\n"
                          "      only when imported. A node the database has keeps its row, unless the row comes\n"
                          "      from a module being added, which the new definition replaces. Nodes of the added\n"
                          "      modules that the database lacks are added, together with missing ancestors (from\n"
                          "      whichever module, -I ones included); no other node of a -I module is added. Rows\n"
                          "      of an added module that compiled without problems and no longer defines a node go\n"
                          "      away, unless nodes below them stay. MIB.db is replaced only by a complete, checked\n"
                          "      database. One line per event on stdout (and in FILE with --report):\n"
                          "        progress DONE TOTAL MODULE\n"
                          "        module NAME loaded NODES\n"
                          "        module NAME problems NODES REASON\n"
                          "        module NAME failed REASON     (NAME is the file name for a file without a module)\n"
                          "        merged ADDED UPDATED REMOVED TOTAL   (with --dry-run: would-merge ...)\n"
                          "        unchanged TOTAL\n"
                          "        error MESSAGE\n"
                          "      Exit code 0 when something was merged or nothing needed merging, 1 when no module\n"
                          "      could be compiled, the merge was refused (a module whose name an unrelated module\n"
                          "      of the database has, or one that no longer defines nodes other modules' nodes\n"
                          "      hang below) or the database could not be read or replaced, 2 on usage errors.\n"
                          "  tessaro-mibdb remove -d MIB.db [--report FILE] [--dry-run] MODULE...\n"
                          "      Removes every node of the modules from MIB.db, refusing when nodes of other modules\n"
                          "      hang below them. Event lines as for add, with \"module NAME removed NODES\".\n"
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

// The machine-readable event lines of add: on stdout and, with --report, in a file.
class AddReport final
{
public:
    bool open(const QString& fileName)
    {
        if (fileName.isEmpty())
            return true;
        m_file.setFileName(fileName);
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
            return false;
        m_stream.setDevice(&m_file);
        return true;
    }

    void line(const QStringList& fields)
    {
        // One event, one line: names and reasons never break it.
        QString text = fields.join(QLatin1Char(' ')).simplified();
        out() << text << Qt::endl;
        if (m_file.isOpen())
            m_stream << text << Qt::endl;
    }

    int fail(const QString& message)
    {
        line({QStringLiteral("error"), message});
        return ::fail(message);
    }

private:
    QFile m_file;
    QTextStream m_stream;
};

QString token(const QString& text)
{
    QString result = text;
    return result.replace(QLatin1Char('%'), QLatin1String("%25")).replace(QLatin1Char(' '), QLatin1String("%20"));
}

int writeMerged(const MibMerger& merger, const QString& target, bool dryRun, AddReport& report);

// The options add and remove share.
struct ChangeOptions
{
    QCommandLineOption database{QStringList{QStringLiteral("d"), QStringLiteral("database")},
                                QStringLiteral("Database to change."), QStringLiteral("MIB.db")};
    QCommandLineOption report{QStringLiteral("report"), QStringLiteral("File for the event lines."),
                              QStringLiteral("FILE")};
    QCommandLineOption dryRun{QStringLiteral("dry-run"), QStringLiteral("Report only.")};
};

int runAdd(const QStringList& arguments)
{
    QCommandLineParser parser;
    const ChangeOptions options;
    const QCommandLineOption includeOption(QStringLiteral("I"), QStringLiteral("Folder of importable modules."),
                                           QStringLiteral("DIR"));
    parser.addOptions({options.database, includeOption, options.report, options.dryRun});
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    const QString target = parser.value(options.database);
    const QStringList paths = parser.positionalArguments();
    if (target.isEmpty())
        return usageError(QStringLiteral("add needs a database (-d MIB.db)"));
    if (paths.isEmpty())
        return usageError(QStringLiteral("add needs at least one MIB file or folder"));
    for (const QString& dir : parser.values(includeOption)) {
        if (!QFileInfo(dir).isDir())
            return usageError(QStringLiteral("-I %1: no such folder").arg(dir));
    }

    AddReport report;
    if (!report.open(parser.value(options.report)))
        return fail(QStringLiteral("cannot write the report %1").arg(parser.value(options.report)));
    MibMerger merger;
    if (!merger.load(target))
        return report.fail(merger.errorString());

    MibCompiler compiler;
    for (const QString& path : paths) {
        if (!compiler.addPath(path))
            report.line({QStringLiteral("module"), token(QFileInfo(path).fileName()), QStringLiteral("failed"),
                         QStringLiteral("no such file or folder")});
    }
    for (const QString& dir : parser.values(includeOption))
        compiler.addSearchDir(dir);
    compiler.setProgress([&report](int done, int total, const QString& module) {
        report.line({QStringLiteral("progress"), QString::number(done), QString::number(total), module});
    });
    compiler.compile();

    for (const auto& rejected : compiler.rejectedFiles())
        report.line({QStringLiteral("module"), token(QFileInfo(rejected.first).fileName()), QStringLiteral("failed"),
                     rejected.second});
    int usable = 0;
    for (const ModuleReport& module : compiler.modules()) {
        if (module.searched)
            continue;
        const QString reason = module.errors.join(QStringLiteral("; "));
        if (module.nodeCount == 0 && (!module.compiled || module.hasProblems())) {
            report.line({QStringLiteral("module"), module.name, QStringLiteral("failed"),
                         reason.isEmpty() ? QStringLiteral("no definition could be placed") : reason});
            continue;
        }
        ++usable;
        report.line({QStringLiteral("module"), module.name,
                     module.hasProblems() ? QStringLiteral("problems") : QStringLiteral("loaded"),
                     QString::number(module.nodeCount), reason});
    }
    if (usable == 0)
        return report.fail(QStringLiteral("no MIB module could be compiled; %1 not changed").arg(target));

    if (!merger.merge(compiler.nodes(), compiler.modules()))
        return report.fail(QStringLiteral("%1; %2 not changed").arg(merger.errorString(), target));
    return writeMerged(merger, target, parser.isSet(options.dryRun), report);
}

// Writes the merged rows over target (unless dryRun) and tells the outcome.
int writeMerged(const MibMerger& merger, const QString& target, bool dryRun, AddReport& report)
{
    const QString total = QString::number(merger.nodes().size());
    if (!merger.changed()) {
        report.line({QStringLiteral("unchanged"), total});
        return 0;
    }
    if (!dryRun) {
        if (QFileInfo(target).exists() && !QFileInfo(target).isWritable())
            return report.fail(QStringLiteral("%1 is not writable; not changed").arg(target));
        MibDbWriter writer(target);
        if (!writer.write(merger.nodes(), merger.major(), merger.minor()))
            return report.fail(QStringLiteral("cannot write %1: %2; not changed").arg(target, writer.errorString()));
    }
    report.line({dryRun ? QStringLiteral("would-merge") : QStringLiteral("merged"), QString::number(merger.added()),
                 QString::number(merger.updated()), QString::number(merger.removed()), total});
    return 0;
}

int runRemove(const QStringList& arguments)
{
    QCommandLineParser parser;
    const ChangeOptions options;
    parser.addOptions({options.database, options.report, options.dryRun});
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    const QString target = parser.value(options.database);
    const QStringList modules = parser.positionalArguments();
    if (target.isEmpty())
        return usageError(QStringLiteral("remove needs a database (-d MIB.db)"));
    if (modules.isEmpty())
        return usageError(QStringLiteral("remove needs at least one module name"));

    AddReport report;
    if (!report.open(parser.value(options.report)))
        return fail(QStringLiteral("cannot write the report %1").arg(parser.value(options.report)));
    MibMerger merger;
    if (!merger.load(target))
        return report.fail(merger.errorString());
    for (const QString& module : modules) {
        const int rows = merger.rowCount(module);
        report.line(rows > 0 ? QStringList{QStringLiteral("module"), token(module), QStringLiteral("removed"),
                                           QString::number(rows)}
                             : QStringList{QStringLiteral("module"), token(module), QStringLiteral("failed"),
                                           QStringLiteral("not in the database")});
    }
    if (!merger.remove(modules))
        return report.fail(QStringLiteral("%1; %2 not changed").arg(merger.errorString(), target));
    return writeMerged(merger, target, parser.isSet(options.dryRun), report);
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
    if (command == QLatin1String("add"))
        return runAdd(arguments);
    if (command == QLatin1String("remove"))
        return runRemove(arguments);
    if (command == QLatin1String("package"))
        return runPackage(arguments);
    return usageError(QStringLiteral("unknown command \"%1\"").arg(command));
}
