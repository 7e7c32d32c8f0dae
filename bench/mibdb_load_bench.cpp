// mibdb-load-bench [--sizes 200000,1000000] [--keep DIR] [--seed S] [--runs R] [--sqlite3 PROGRAM]
//
// Compares loading a MIB database into the tree model with a raw scan of the same tables by the
// sqlite3 command-line program. Every load runs in a child process (this program started again
// with --load FILE), so that the peak memory reported is that of the load alone.

#include "MibDbGenerator.h"

#include "mib/MibDatabase.h"
#include "mib/Oid.h"
#include "mib/TreeModel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <fcntl.h>
#include <malloc.h>
#include <sqlite3.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace {

const char* const ReferenceQuery = "SELECT * FROM node; SELECT * FROM enum; SELECT * FROM range;";

// ---- child side -------------------------------------------------------------------------

qint64 statusKb(const char* field)
{
    std::ifstream in("/proc/self/status");
    const std::string key = std::string(field) + ":";
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) == 0)
            return std::atoll(line.c_str() + key.size());
    }
    return -1;
}

// Bytes the program holds on the heap, whether from the arenas or from mmap'ed blocks.
qint64 heapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

qint64 countTree(const OidPtr& root)
{
    if (!root)
        return 0;
    qint64 count = 0;
    std::vector<const Oid*> stack{root.get()};
    while (!stack.empty()) {
        const Oid* node = stack.back();
        stack.pop_back();
        ++count;
        for (const OidPtr& child : node->children)
            stack.push_back(child.get());
    }
    return count;
}

void report(const char* key, double value)
{
    std::printf("%s=%.3f\n", key, value);
}

void report(const char* key, qint64 value)
{
    std::printf("%s=%lld\n", key, static_cast<long long>(value));
}

double elapsedMs(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Steps through the three tables with SQLite's own interface, fetching every column as the
// loader does but building nothing: SQLite's share of a load.
double rawScanMs(const QString& file, qint64* rows)
{
    *rows = 0;
    sqlite3* db = nullptr;
    QElapsedTimer timer;
    timer.start();
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return -1;
    }
    for (const char* sql : {"SELECT * FROM node", "SELECT * FROM enum", "SELECT * FROM range"}) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
            continue;
        const int columns = sqlite3_column_count(statement);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            ++*rows;
            for (int c = 0; c < columns; ++c) {
                if (sqlite3_column_type(statement, c) == SQLITE_TEXT) {
                    sqlite3_column_text(statement, c);
                    sqlite3_column_bytes(statement, c);
                } else {
                    sqlite3_column_int64(statement, c);
                }
            }
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return elapsedMs(timer);
}

// --load: the program's own start-up sequence. --phases: the same work split into its steps,
// with the heap measured between them.
int runLoad(int argc, char** argv, const QString& file, bool phases)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    report("baseline_rss_kb", statusKb("VmRSS"));
    report("baseline_heap_bytes", heapBytes());

    if (phases) {
        qint64 rows = 0;
        report("raw_scan_ms", rawScanMs(file, &rows));
        report("raw_scan_rows", rows);
    }

    QElapsedTimer total;
    total.start();
    QElapsedTimer step;
    step.start();
    MibDatabase db;
    db.setFileName(file);
    const int checked = db.check();
    report("check_ms", elapsedMs(step));
    step.restart();
    const int opened = checked == MibDatabase::Usable ? db.open(false) : checked;
    report("open_ms", elapsedMs(step));
    if (opened != MibDatabase::Usable) {
        std::fprintf(stderr, "cannot use %s: status %d\n", qPrintable(file), opened);
        return 1;
    }

    if (!phases) {
        step.restart();
        TreeModel model(db);
        report("model_ms", elapsedMs(step));
        step.restart();
        model.reload();
        report("reload_ms", elapsedMs(step));
        report("total_ms", elapsedMs(total));
        report("tree_nodes", countTree(model.rootOid()));
        report("vmhwm_kb", statusKb("VmHWM"));
        // Tearing a million nodes down is not part of loading; the parent's clock stops here.
        std::fflush(stdout);
        std::_Exit(0);
    }

    report("sizeof_oid", qint64(sizeof(Oid)));
    step.restart();
    QVector<OidPtr> nodes = db.loadNodes();
    report("load_nodes_ms", elapsedMs(step));
    report("rss_after_load_kb", statusKb("VmRSS"));
    report("hwm_after_load_kb", statusKb("VmHWM"));
    report("heap_after_load_bytes", heapBytes());
    report("loaded_nodes", qint64(nodes.size()));

    step.restart();
    OidPtr root = TreeModel::buildTree(nodes);
    report("build_tree_ms", elapsedMs(step));
    report("rss_after_build_kb", statusKb("VmRSS"));
    report("heap_after_build_bytes", heapBytes());

    step.restart();
    nodes = QVector<OidPtr>();
    report("drop_list_ms", elapsedMs(step));
    report("heap_tree_only_bytes", heapBytes());
    report("tree_nodes", countTree(root));
    report("vmhwm_kb", statusKb("VmHWM"));

    step.restart();
    root.reset();
    report("free_tree_ms", elapsedMs(step));
    report("heap_after_free_bytes", heapBytes());
    std::fflush(stdout);
    std::_Exit(0);
}

// ---- parent side ------------------------------------------------------------------------

struct Run
{
    bool ok = false;
    double seconds = 0;
    std::map<std::string, std::string> values; // key=value lines of a child's output
    std::string text;
};

// Starts a program and waits for it; stdout is captured or thrown away.
Run spawn(const std::vector<std::string>& args, bool capture)
{
    Run run;
    int fds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (capture) {
        if (pipe2(fds, O_CLOEXEC) != 0)
            return run;
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (capture)
        close(fds[1]);
    if (spawned != 0) {
        if (capture)
            close(fds[0]);
        std::fprintf(stderr, "cannot start %s: %s\n", argv[0], std::strerror(spawned));
        return run;
    }
    if (capture) {
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n > 0)
                run.text.append(buffer, std::size_t(n));
            else if (n == 0 || errno != EINTR)
                break;
        }
        close(fds[0]);
    }
    int status = 0;
    // Not wait4's rusage: a spawned child's peak RSS includes this process's until its exec.
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;

    std::size_t begin = 0;
    while (begin < run.text.size()) {
        std::size_t end = run.text.find('\n', begin);
        if (end == std::string::npos)
            end = run.text.size();
        const std::string line = run.text.substr(begin, end - begin);
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos)
            run.values[line.substr(0, eq)] = line.substr(eq + 1);
        begin = end + 1;
    }
    return run;
}

double number(const Run& run, const char* key)
{
    const auto it = run.values.find(key);
    return it == run.values.end() ? -1 : std::atof(it->second.c_str());
}

std::string selfPath()
{
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, std::size_t(n)) : std::string("/proc/self/exe");
}

struct Result
{
    qint64 nodes = 0;
    double fileBytes = 0;
    double reference = 0;
    double tessaro = 0;
    double peakBytes = 0;
};

int usage()
{
    std::fprintf(stderr, "usage: mibdb-load-bench [--sizes N,N,...] [--keep DIR] [--seed S] [--runs R] "
                         "[--sqlite3 PROGRAM]\n");
    return 2;
}

const char* verdict(double value, double target)
{
    return value <= target ? "met" : "MISSED";
}

int runBenchmark(int argc, char** argv)
{
    std::vector<qint64> sizes{200000, 1000000};
    QString keep;
    qint64 seed = 1;
    int runs = 3;
    std::string sqlite3 = "sqlite3";
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--sizes") == 0 && hasValue) {
            sizes.clear();
            const QStringList parts = QString::fromUtf8(argv[++i]).split(QLatin1Char(','), Qt::SkipEmptyParts);
            for (const QString& part : parts) {
                bool ok = false;
                sizes.push_back(part.trimmed().toLongLong(&ok));
                if (!ok)
                    return usage();
            }
        } else if (std::strcmp(argv[i], "--keep") == 0 && hasValue) {
            keep = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--seed") == 0 && hasValue) {
            seed = std::atoll(argv[++i]);
        } else if (std::strcmp(argv[i], "--runs") == 0 && hasValue) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--sqlite3") == 0 && hasValue) {
            sqlite3 = argv[++i];
        } else {
            return usage();
        }
    }

    QTemporaryDir temporary;
    QString folder = temporary.path();
    if (!keep.isEmpty()) {
        QDir().mkpath(keep);
        folder = QFileInfo(keep).absoluteFilePath();
    }
    const std::string self = selfPath();
    // The offscreen platform of the children wants a private runtime folder and complains without one.
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    std::vector<Result> results;
    bool failed = false;

    for (const qint64 n : sizes) {
        const QString file = folder + QStringLiteral("/mib-%1.db").arg(n);
        std::printf("== N = %lld\n", static_cast<long long>(n));
        std::fflush(stdout);
        QElapsedTimer timer;
        timer.start();
        MibDbGenerator generator(n, quint64(seed));
        QString error;
        if (!generator.write(file, &error)) {
            std::fprintf(stderr, "generating %s failed: %s\n", qPrintable(file), qPrintable(error));
            return 1;
        }
        Result result;
        result.nodes = n;
        result.fileBytes = double(QFileInfo(file).size());
        std::printf("generated %s in %.2f s\n", qPrintable(file), double(timer.elapsed()) / 1000.0);

        const std::string path = file.toStdString();
        double bestReference = 1e300;
        double bestLoad = 1e300;
        double bestInside = 1e300;
        qint64 peakKb = -1;
        qint64 treeNodes = -1;
        // Interleaved, so that both sides see the same machine state.
        for (int r = 0; r < runs; ++r) {
            const Run reference = spawn({sqlite3, path, ReferenceQuery}, false);
            const Run load = spawn({self, "--load", path}, true);
            if (!reference.ok || !load.ok) {
                std::fprintf(stderr, "run %d failed (sqlite3 %s, load %s)\n%s", r + 1, reference.ok ? "ok" : "failed",
                             load.ok ? "ok" : "failed", load.text.c_str());
                return 1;
            }
            bestReference = std::min(bestReference, reference.seconds);
            bestLoad = std::min(bestLoad, load.seconds);
            bestInside = std::min(bestInside, number(load, "total_ms") / 1000.0);
            const qint64 hwm = qint64(number(load, "vmhwm_kb"));
            peakKb = peakKb < 0 ? hwm : std::min(peakKb, hwm);
            treeNodes = qint64(number(load, "tree_nodes"));
        }
        const Run phases = spawn({self, "--phases", path}, true);

        result.reference = bestReference;
        result.tessaro = bestLoad;
        result.peakBytes = double(peakKb) * 1024.0;
        results.push_back(result);

        const double ratio = result.tessaro / result.reference;
        const double perNode = result.peakBytes / double(n);
        const double perFile = result.peakBytes / result.fileBytes;
        std::printf("nodes in file / in tree     %lld / %lld\n", static_cast<long long>(n),
                    static_cast<long long>(treeNodes));
        std::printf("file size                   %.1f MiB (%.0f bytes/node)\n", result.fileBytes / 1048576.0,
                    result.fileBytes / double(n));
        std::printf("sqlite3 raw scan            %.3f s (best of %d)\n", result.reference, runs);
        std::printf("Tessaro load                %.3f s (best of %d; in process %.3f s)\n", result.tessaro, runs,
                    bestInside);
        std::printf("ratio Tessaro / sqlite3     %.2f   (target <= 2.0: %s)\n", ratio, verdict(ratio, 2.0));
        std::printf("peak memory (VmHWM)         %.1f MiB\n", result.peakBytes / 1048576.0);
        std::printf("peak memory per node        %.0f bytes\n", perNode);
        std::printf("peak memory / file size     %.2f   (target <= 2.5: %s)\n", perFile, verdict(perFile, 2.5));
        if (phases.ok) {
            const double baseline = number(phases, "baseline_heap_bytes");
            std::printf(
                "phases (one run)            check %.1f ms, open %.1f ms, loadNodes %.0f ms, buildTree %.0f ms, "
                "drop list %.0f ms, free tree %.0f ms\n"
                "SQLite's part of loadNodes  %.0f ms to step through the three tables in process\n",
                number(phases, "check_ms"), number(phases, "open_ms"), number(phases, "load_nodes_ms"),
                number(phases, "build_tree_ms"), number(phases, "drop_list_ms"), number(phases, "free_tree_ms"),
                number(phases, "raw_scan_ms"));
            std::printf("heap per node               after loadNodes %.0f, after buildTree %.0f, tree alone %.0f "
                        "bytes (sizeof(Oid) %.0f)\n",
                        (number(phases, "heap_after_load_bytes") - baseline) / double(n),
                        (number(phases, "heap_after_build_bytes") - baseline) / double(n),
                        (number(phases, "heap_tree_only_bytes") - baseline) / double(n), number(phases, "sizeof_oid"));
            std::printf("process baseline            %.1f MiB RSS before opening the database\n",
                        number(phases, "baseline_rss_kb") / 1024.0);
        } else {
            std::printf("phases run failed\n%s", phases.text.c_str());
        }
        if (treeNodes != n) {
            std::printf("ERROR: the tree holds %lld of %lld nodes\n", static_cast<long long>(treeNodes),
                        static_cast<long long>(n));
            failed = true;
        }
        std::printf("\n");
        std::fflush(stdout);
        if (keep.isEmpty())
            QFile::remove(file);
    }

    std::printf("%10s %10s %10s %10s %7s %10s %8s %9s\n", "nodes", "file MiB", "sqlite3 s", "Tessaro s", "ratio",
                "peak MiB", "B/node", "peak/file");
    for (const Result& r : results) {
        std::printf("%10lld %10.1f %10.3f %10.3f %7.2f %10.1f %8.0f %9.2f\n", static_cast<long long>(r.nodes),
                    r.fileBytes / 1048576.0, r.reference, r.tessaro, r.tessaro / r.reference, r.peakBytes / 1048576.0,
                    r.peakBytes / double(r.nodes), r.peakBytes / r.fileBytes);
    }
    return failed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && (std::strcmp(argv[1], "--load") == 0 || std::strcmp(argv[1], "--phases") == 0)) {
        const bool phases = std::strcmp(argv[1], "--phases") == 0;
        return runLoad(argc, argv, QString::fromLocal8Bit(argv[2]), phases);
    }
    return runBenchmark(argc, argv);
}
