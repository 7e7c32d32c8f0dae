// MIB module imports through the program's import path (the builder in its own process on a
// copy of the database, then the swap), set against net-snmp's own full parse and dump of the
// same modules (snmptranslate -m ALL -Tz); and the apply of an import into a big database
// (swap and tree rebuilt) set against a fresh load of the result.
//
// Usage: mib-import-bench [MODULE_FOLDER] [--nodes N] [--runs R]
// The builder and the default MIB.db are taken from beside this program.

#include "app/MibImport.h"
#include "mib/MibDatabase.h"
#include "mib/TreeModel.h"
#include "MibDbGenerator.h"
#include "NetSnmpTool.h"

#include <QGuiApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

namespace {

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at(values.size() / 2);
}

double elapsedMs(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Runs an import of folder into database to its end; the time from start to finished.
double runImport(MibImport& import, const QString& folder, QString* error)
{
    QEventLoop loop;
    bool ok = false;
    QObject::connect(&import, &MibImport::finished, &loop, [&](bool result) {
        ok = result;
        loop.quit();
    });
    QElapsedTimer timer;
    timer.start();
    if (!import.start({folder})) {
        *error = import.errorText();
        return -1;
    }
    loop.exec();
    const double ms = elapsedMs(timer);
    if (!ok || !import.hasChanges()) {
        *error = ok ? QStringLiteral("nothing to apply") : import.errorText();
        return -1;
    }
    return ms;
}

// Opens the database and builds the tree, as the main window does at start; the time until
// the tree is there (not its teardown), -1 when it fails.
double loadTree(const QString& file)
{
    QElapsedTimer timer;
    timer.start();
    MibDatabase database;
    database.setFileName(file);
    if (database.check() != MibDatabase::Usable || database.open(false) != MibDatabase::Usable)
        return -1;
    TreeModel model(database);
    model.reload();
    return model.rootOid() ? elapsedMs(timer) : -1;
}

const char* verdict(double ratio, double target)
{
    return ratio > 0 && ratio <= target ? "PASS" : "MISS";
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "tessaro.*.info=false");
    QGuiApplication app(argc, argv);
    QStringList arguments = QGuiApplication::arguments().mid(1);
    int nodes = 100000;
    int runs = 5;
    QString modules = QStringLiteral(TESSARO_BENCH_MODULES);
    while (!arguments.isEmpty()) {
        const QString argument = arguments.takeFirst();
        if (argument == QLatin1String("--nodes") && !arguments.isEmpty())
            nodes = arguments.takeFirst().toInt();
        else if (argument == QLatin1String("--runs") && !arguments.isEmpty())
            runs = std::max(1, arguments.takeFirst().toInt());
        else
            modules = argument;
    }
    const QDir here(QGuiApplication::applicationDirPath());
    const QString builder = here.filePath(QStringLiteral("tessaro-mibdb"));
    const QString defaultDb = here.filePath(QStringLiteral("MIB.db"));
    QTextStream out(stdout);
    if (!QFileInfo(builder).isExecutable() || !QFileInfo(defaultDb).isFile() || !QFileInfo(modules).isDir()) {
        out << "needs " << builder << ", " << defaultDb << " and the module folder " << modules << '\n';
        return 1;
    }
    const int moduleCount = QDir(modules).entryList(QDir::Files).size();
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("home")));

    // 1. The import of the modules into the default database, against snmptranslate.
    QVector<double> imports;
    QVector<double> translates;
    QVector<double> compiles;
    QString error;
    for (int run = 0; run < runs; ++run) {
        const QString db = dir.filePath(QStringLiteral("MIB.db"));
        QFile::remove(db);
        QFile::copy(defaultDb, db);
        QDir(dir.filePath(QStringLiteral("mibs"))).removeRecursively();
        MibImport import(builder, db, dir.filePath(QStringLiteral("mibs")));
        import.setSearchFolders({});
        QElapsedTimer timer;
        timer.start();
        const double compileMs = runImport(import, modules, &error);
        const bool appliedOk = import.apply();
        if (compileMs < 0 || !appliedOk) {
            out << "import failed: " << error << import.errorText() << '\n';
            return 1;
        }
        imports << elapsedMs(timer);
        compiles << compileMs;

        QProcess translate;
        translate.setProcessEnvironment(netSnmpToolEnvironment(dir.filePath(QStringLiteral("home"))));
        translate.setStandardOutputFile(QProcess::nullDevice());
        translate.setStandardErrorFile(QProcess::nullDevice());
        timer.restart();
        translate.start(QStringLiteral("snmptranslate"), {QStringLiteral("-M"), modules, QStringLiteral("-m"),
                                                          QStringLiteral("ALL"), QStringLiteral("-Tz")});
        if (!translate.waitForFinished(120000) || translate.exitStatus() != QProcess::NormalExit) {
            out << "snmptranslate failed: " << translate.errorString() << '\n';
            return 1;
        }
        translates << elapsedMs(timer);
    }
    const double importMs = median(imports);
    const double translateMs = median(translates);
    const double importRatio = importMs / translateMs;
    out << "import of " << moduleCount << " modules into the default database: " << QString::number(importMs, 'f', 1)
        << " ms (builder run " << QString::number(median(compiles), 'f', 1)
        << " ms); snmptranslate -m ALL -Tz: " << QString::number(translateMs, 'f', 1) << " ms; ratio "
        << QString::number(importRatio, 'f', 2) << " (target <= 2.00) " << verdict(importRatio, 2.0) << '\n';
    out.flush();

    // 2. An import into a big database applied (swap and tree rebuilt), against a fresh load.
    const QString big = dir.filePath(QStringLiteral("big.db"));
    if (!MibDbGenerator(nodes, 42).write(big, &error)) {
        out << "cannot write " << big << ": " << error << '\n';
        return 1;
    }
    // The program has a tree loaded when it applies an import: one load first, so that neither
    // measurement pays for the first allocation of a big tree.
    loadTree(big);
    QVector<double> applies;
    QVector<double> swaps;
    QVector<double> loads;
    for (int run = 0; run < std::min(runs, 3); ++run) {
        const QString db = dir.filePath(QStringLiteral("grown.db"));
        QFile::remove(db);
        QFile::copy(big, db);
        MibImport import(builder, db, dir.filePath(QStringLiteral("mibs-big")));
        import.setSearchFolders({});
        if (runImport(import, modules, &error) < 0) {
            out << "import into the big database failed: " << error << '\n';
            return 1;
        }
        // The window holds the tree of the current database while the user reads the result.
        MibDatabase database;
        database.setFileName(db);
        database.open(false);
        TreeModel model(database);
        model.reload();
        QElapsedTimer timer;
        timer.start();
        database.close();
        const bool applied = import.apply();
        swaps << elapsedMs(timer);
        if (!applied || database.check() != MibDatabase::Usable || database.open(false) != MibDatabase::Usable) {
            out << "apply failed: " << import.errorText() << '\n';
            return 1;
        }
        model.reload();
        applies << elapsedMs(timer);
        if (!model.rootOid())
            return 1;
        loads << loadTree(db);
    }
    const double applyMs = median(applies);
    const double loadMs = median(loads);
    const double applyRatio = applyMs / loadMs;
    out << "apply of the import into a " << nodes
        << "-node database (swap, tree rebuilt): " << QString::number(applyMs, 'f', 1) << " ms (swap "
        << QString::number(median(swaps), 'f', 1)
        << " ms); fresh load of the result: " << QString::number(loadMs, 'f', 1) << " ms; ratio "
        << QString::number(applyRatio, 'f', 2) << " (target <= 1.50) " << verdict(applyRatio, 1.5) << '\n';
    return 0;
}
