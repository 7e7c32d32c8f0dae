// oid-viewer-bench: the result viewer while a long walk fills it.
//
// Appends N rows (default 100,000) to a shown OidValueViewer one appendRow at a time, in
// chunks (default 10,000) with the event loop run between chunks as the main window does
// while a walk runs. Prints the time of every chunk, the ratio of the last chunk to the first
// (no growth: about 1), the longest single appendRow and the time of clear(). Then, in turns,
// 2,000 more rows onto the full viewer and onto a fresh one (the same ratio, steadier on a busy
// machine). The in-run
// reference is the same lines appended to a shown QPlainTextEdit with appendPlainText
// (--no-reference leaves it out); --textedit adds the lines as HTML through plain
// QTextEdit::append, what the viewer does without its own work around it.

#include "mib/Oid.h"
#include "ui/browser/OidValueViewer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

struct Options
{
    int rows = 100000;
    int chunk = 10000;
    bool textEdit = false;
    bool reference = true;
};

bool parseArguments(const QStringList& arguments, Options* options)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if ((argument == QLatin1String("--rows") || argument == QLatin1String("--chunk")) && i + 1 < arguments.size()) {
            bool ok = false;
            const int value = arguments.at(++i).toInt(&ok);
            if (!ok || value <= 0)
                return false;
            (argument == QLatin1String("--rows") ? options->rows : options->chunk) = value;
        } else if (argument == QLatin1String("--textedit")) {
            options->textEdit = true;
        } else if (argument == QLatin1String("--no-reference")) {
            options->reference = false;
        } else {
            return false;
        }
    }
    return true;
}

// Rows that look like the columns of a large interface table, each column with its own value
// type, some with the numeric OID shown, a message line now and then. The columns take turns
// so that every chunk holds the same mix of lines and chunk times compare.
QVector<OidValueViewer::Row> makeRows(int count)
{
    struct Column
    {
        const char* name;
        qint32 type;
    };
    static const Column columns[] = {
        {"ifIndex", Oid::Integer},        {"ifDescr", Oid::OctetString},   {"ifType", Oid::Integer},
        {"ifMtu", Oid::Integer},          {"ifSpeed", Oid::Gauge},         {"ifPhysAddress", Oid::OctetString},
        {"ifLastChange", Oid::TimeTicks}, {"ifInOctets", Oid::Counter},    {"ifSpecific", Oid::ObjectId},
        {"ifHCInOctets", Oid::Counter64}, {"ipAdEntAddr", Oid::IpAddress}, {"ifAlias", Oid::OctetString},
    };
    const int columnCount = int(sizeof columns / sizeof columns[0]);

    QVector<OidValueViewer::Row> rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        const int columnNumber = i % columnCount + 1;
        const Column& column = columns[columnNumber - 1];
        const int instance = i / columnCount + 1;
        OidValueViewer::Row row;
        row.label = QStringLiteral("IF-MIB::%1.%2").arg(QLatin1String(column.name)).arg(instance);
        row.oidPath = QStringLiteral("1.3.6.1.2.1.2.2.1.%1.%2").arg(columnNumber).arg(instance);
        row.showOidPath = i % 3 == 0;
        row.type = column.type;
        switch (column.type) {
        case Oid::OctetString:
            row.value = QStringLiteral("GigabitEthernet0/%1 <uplink> & \"core\"").arg(instance);
            row.valueText = QStringLiteral("STRING: ") + row.value.toString();
            break;
        case Oid::ObjectId:
            row.value = QStringLiteral("1.3.6.1.4.1.9.1.%1").arg(instance);
            row.valueText = QStringLiteral("OID: ") + row.value.toString();
            break;
        case Oid::IpAddress:
            row.value = QStringLiteral("10.%1.%2.1").arg(instance / 256 % 256).arg(instance % 256);
            row.valueText = QStringLiteral("IpAddress: ") + row.value.toString();
            break;
        case Oid::TimeTicks:
            row.value = qlonglong(instance) * 123456;
            row.valueText = QStringLiteral("Timeticks: (%1) 0:20:34.56").arg(row.value.toLongLong());
            break;
        default:
            row.value = qlonglong(instance) * 1000003;
            row.valueText = QStringLiteral("Counter32: %1").arg(row.value.toLongLong());
            break;
        }
        if (i % 997 == 996) {
            row.ok = false;
            row.message = QStringLiteral("No Such Instance currently exists at this OID");
        }
        rows.append(row);
    }
    return rows;
}

QString plainLine(const OidValueViewer::Row& row)
{
    QString line = row.label;
    if (row.showOidPath)
        line += QLatin1String(" (") + row.oidPath + QLatin1Char(')');
    return line + QLatin1String(" = ") + (row.ok ? row.valueText : row.message);
}

double ms(qint64 nanoseconds)
{
    return double(nanoseconds) / 1e6;
}

// CPU time of this thread: the machine may be busy with other work, wall time alone is noisy.
qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

struct ChunkedRun
{
    QVector<int> chunkEndRows;     // rows shown after the chunk
    QVector<double> chunkAppendMs; // appends alone
    QVector<double> chunkTotalMs;  // appends plus the event loop after them
    QVector<double> chunkCpuMs;    // CPU time of appends plus the event loop
    QVector<double> chunkMedianUs; // median single append: robust against a busy machine
    double longestSingleMs = 0;
    int longestSingleRow = -1;
    int slowSingles = 0; // appends over 5 ms
    double totalMs = 0;
};

// Calls append(i) for every row, chunk by chunk, running the event loop after every chunk.
ChunkedRun runChunked(int rows, int chunk, const std::function<void(int)>& append)
{
    ChunkedRun run;
    QElapsedTimer total;
    total.start();
    for (int start = 0; start < rows; start += chunk) {
        const int end = std::min(rows, start + chunk);
        QElapsedTimer timer;
        timer.start();
        const qint64 cpuStart = threadCpuNs();
        qint64 previous = 0;
        QVector<qint64> singles;
        singles.reserve(end - start);
        for (int i = start; i < end; ++i) {
            append(i);
            const qint64 now = timer.nsecsElapsed();
            singles.append(now - previous);
            previous = now;
        }
        const auto longest = std::max_element(singles.begin(), singles.end());
        if (ms(*longest) > run.longestSingleMs) {
            run.longestSingleMs = ms(*longest);
            run.longestSingleRow = start + int(longest - singles.begin());
        }
        run.slowSingles += int(std::count_if(singles.begin(), singles.end(), [](qint64 ns) { return ns > 5000000; }));
        std::nth_element(singles.begin(), singles.begin() + singles.size() / 2, singles.end());
        run.chunkMedianUs.append(double(singles.at(singles.size() / 2)) / 1e3);
        run.chunkAppendMs.append(ms(timer.nsecsElapsed()));
        run.chunkEndRows.append(end);
        QApplication::processEvents();
        run.chunkTotalMs.append(ms(timer.nsecsElapsed()));
        run.chunkCpuMs.append(ms(threadCpuNs() - cpuStart));
    }
    QApplication::processEvents();
    run.totalMs = ms(total.nsecsElapsed());
    return run;
}

// Wall time of count appends from row start on (rows taken round the list), with the event
// loop run after them.
double timeAppends(OidValueViewer* viewer, const QVector<OidValueViewer::Row>& rows, int start, int count)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = start; i < start + count; ++i)
        viewer->appendRow(rows.at(i % rows.size()));
    QApplication::processEvents();
    return ms(timer.nsecsElapsed());
}

void printChunks(const ChunkedRun& run)
{
    std::printf("  %-8s %12s %12s %12s %12s\n", "rows", "append ms", "+events ms", "cpu ms", "median us");
    for (int i = 0; i < run.chunkAppendMs.size(); ++i)
        std::printf("  %-8d %12.1f %12.1f %12.1f %12.1f\n", run.chunkEndRows.at(i), run.chunkAppendMs.at(i),
                    run.chunkTotalMs.at(i), run.chunkCpuMs.at(i), run.chunkMedianUs.at(i));
    if (run.chunkAppendMs.size() > 1)
        std::printf("  last chunk / first chunk: %.2f (appends), %.2f (with events), %.2f (cpu), %.2f (median)"
                    "   target: about 1\n",
                    run.chunkAppendMs.last() / run.chunkAppendMs.first(),
                    run.chunkTotalMs.last() / run.chunkTotalMs.first(), run.chunkCpuMs.last() / run.chunkCpuMs.first(),
                    run.chunkMedianUs.last() / run.chunkMedianUs.first());
    std::printf("  longest single append: %.2f ms (row %d); appends over 5 ms: %d\n", run.longestSingleMs,
                run.longestSingleRow, run.slowSingles);
    std::printf("  total with events: %.1f ms\n", run.totalMs);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    Options options;
    if (!parseArguments(QApplication::arguments(), &options)) {
        std::fprintf(stderr, "usage: oid-viewer-bench [--rows N] [--chunk C] [--textedit] [--no-reference]\n");
        return 2;
    }
    const QVector<OidValueViewer::Row> rows = makeRows(options.rows);
    const QSize size(900, 600);
    int status = 0;

    std::printf("oid-viewer-bench: %d rows in chunks of %d, %s platform, widgets %dx%d\n", options.rows, options.chunk,
                qPrintable(QApplication::platformName()), size.width(), size.height());

    double viewerMs = 0;
    {
        OidValueViewer viewer;
        viewer.resize(size);
        viewer.show();
        QApplication::processEvents();

        std::printf("\nOidValueViewer::appendRow\n");
        const ChunkedRun run = runChunked(options.rows, options.chunk, [&](int i) { viewer.appendRow(rows.at(i)); });
        printChunks(run);
        viewerMs = run.totalMs;

        const QTextDocument* document = viewer.document();
        const bool atBottom = viewer.verticalScrollBar()->value() == viewer.verticalScrollBar()->maximum();
        const bool inStep = viewer.rows().size() == options.rows && document->blockCount() == options.rows &&
                            document->lastBlock().text() == plainLine(rows.last());
        std::printf("  rows %d, text blocks %d, last line matches: %s, view at the bottom: %s\n",
                    int(viewer.rows().size()), document->blockCount(), inStep ? "yes" : "NO", atBottom ? "yes" : "NO");
        if (!inStep || !atBottom)
            status = 1;

        // The cost of appending with all rows shown against a fresh viewer, in turns, best of
        // five: a busy machine slows single chunks above, rarely every turn of one side.
        constexpr int probeRows = 2000;
        constexpr int rounds = 5;
        double bestFull = 1e300;
        double bestFresh = 1e300;
        for (int round = 0; round < rounds; ++round) {
            OidValueViewer fresh;
            fresh.resize(size);
            fresh.show();
            QApplication::processEvents();
            bestFresh = std::min(bestFresh, timeAppends(&fresh, rows, 0, probeRows));
            bestFull = std::min(bestFull, timeAppends(&viewer, rows, round * probeRows, probeRows));
        }
        std::printf("  %d rows onto %d shown / onto a fresh viewer (best of %d turns): %.1f ms / %.1f ms = %.2f"
                    "   target: about 1\n",
                    probeRows, options.rows, rounds, bestFull, bestFresh, bestFull / bestFresh);

        QElapsedTimer timer;
        timer.start();
        viewer.clear();
        const qint64 clearNs = timer.nsecsElapsed();
        QApplication::processEvents();
        std::printf("  clear(): %.1f ms (%.1f ms with events)\n", ms(clearNs), ms(timer.nsecsElapsed()));
    }

    if (options.reference) {
        QPlainTextEdit plain;
        plain.setReadOnly(true);
        plain.setLineWrapMode(QPlainTextEdit::NoWrap);
        plain.setUndoRedoEnabled(false);
        plain.resize(size);
        plain.show();
        QApplication::processEvents();
        QStringList lines;
        lines.reserve(rows.size());
        for (const OidValueViewer::Row& row : rows)
            lines.append(plainLine(row));

        std::printf("\nreference: QPlainTextEdit::appendPlainText, same lines without colours\n");
        const ChunkedRun run =
            runChunked(options.rows, options.chunk, [&](int i) { plain.appendPlainText(lines.at(i)); });
        printChunks(run);
        std::printf("\nOidValueViewer / QPlainTextEdit total: %.2f\n", viewerMs / run.totalMs);
    }

    if (options.textEdit) {
        QTextEdit edit;
        edit.setReadOnly(true);
        edit.setLineWrapMode(QTextEdit::NoWrap);
        edit.setUndoRedoEnabled(false);
        edit.resize(size);
        edit.show();
        QApplication::processEvents();
        QStringList lines;
        lines.reserve(rows.size());
        for (const OidValueViewer::Row& row : rows)
            lines.append(QStringLiteral("<div><span style=\"background-color:#F5F5DC\" >") + row.label +
                         QStringLiteral(" = ") + row.valueText.toHtmlEscaped() + QStringLiteral("</span></div>"));

        std::printf("\nreference: plain QTextEdit::append of the HTML lines\n");
        const ChunkedRun run = runChunked(options.rows, options.chunk, [&](int i) { edit.append(lines.at(i)); });
        printChunks(run);
    }
    return status;
}
