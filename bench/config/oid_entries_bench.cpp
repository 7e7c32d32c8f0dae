// The monitored-OID entry file at scale: writing and reading OIDEntry.cfg and opening the OID
// list dialog on it, each set against plain Qt work on the same data in the same run: a QFile
// write of the same bytes, a raw scan of the same file, and a plain QStandardItemModel with the
// same texts in a QTableView. Target: at most 3 times the reference each.
//
// Usage: oid-entries-bench [--entries N] [--runs R]   (default: 10000 entries, 3 runs; offscreen)

#include "BenchSupport.h"
#include "config/OidEntryFile.h"
#include "ui/oids/OidListDialog.h"
#include "ui/oids/OidTableWidget.h"

#include <QApplication>
#include <QSaveFile>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using namespace bench;

constexpr double Target = 3.0;

QList<OidEntry> generate(int count)
{
    static const char* const columns[][3] = {{"1.3.6.1.2.1.2.2.1.10", "UCOUNTER", "In"},
                                             {"1.3.6.1.2.1.2.2.1.16", "UCOUNTER", "Out"},
                                             {"1.3.6.1.2.1.2.2.1.5", "UGAUGE", "Speed"},
                                             {"1.3.6.1.4.1.2021.11.9", "SGAUGE", "CPU"}};
    QList<OidEntry> entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        const auto& column = columns[i % 4];
        OidEntry entry;
        entry.ipAddress = QStringLiteral("10.%1.%2.%3").arg(i / 65536 % 256).arg(i / 256 % 256).arg(1 + i % 254);
        if (i % 4 != 3)
            entry.interfaceNumber = QString::number(1 + i % 48);
        entry.oid = QStringLiteral("%1.%2").arg(QLatin1String(column[0])).arg(i % 4 == 3 ? 0 : 1 + i % 48);
        entry.typeWord = QLatin1String(column[1]);
        entry.legendLabel = QLatin1String(column[2]);
        entry.graphDescription =
            QStringLiteral("Switch %1 port %2 – %3").arg(i / 48).arg(1 + i % 48).arg(entry.legendLabel);
        entry.yAxisLabel = i % 4 == 3 ? QStringLiteral("Percent") : QStringLiteral("Bits per second");
        if (i % 4 < 2)
            entry.transform = QStringLiteral("*8");
        if (i % 5 == 0)
            entry.alertThreshold = i % 10 == 0 ? QStringLiteral("90") : QStringLiteral("40,90");
        if (i % 5 == 0)
            entry.alertEmail = QStringLiteral("noc@example.net");
        entry.fileName = OidEntry::fileNameFor(entry.oid, entry.ipAddress, entry.interfaceNumber, entry.legendLabel);
        entries.append(entry);
    }
    return entries;
}

// The reference reading: the whole file decoded, split into lines and each line at tabs.
int rawScan(const QString& path)
{
    const QString text = QString::fromUtf8(readBytes(path));
    int fields = 0;
    for (const QStringRef& line : text.splitRef(QLatin1Char('\n')))
        fields += line.split(QLatin1Char('\t')).size();
    return fields;
}

double openDialog(const QList<OidEntry>& entries, bool* painted, int* rows)
{
    const QList<VelmoraFile::Entry> devices;
    const QList<SnmpReader::HostInfoResult> infos;
    double ms = 0;
    {
        OidListDialog* dialog = nullptr;
        PaintWatcher* watcher = nullptr;
        ms = timedMs([&] {
            dialog = new OidListDialog(devices, infos, entries, nullptr, nullptr);
            watcher = new PaintWatcher(dialog->table()->view()->viewport());
            *painted = showUntilPainted(dialog, *watcher);
        });
        *rows = dialog->table()->view()->model()->rowCount();
        dialog->hide();
        delete watcher;
        delete dialog;
    }
    return ms;
}

double openPlainTable(const QList<OidEntry>& entries, bool* painted)
{
    QTableView view;
    QStandardItemModel model(0, 5);
    model.setHorizontalHeaderLabels({QStringLiteral("IP Address"), QStringLiteral("Int #"), QStringLiteral("OID"),
                                     QStringLiteral("Description"), QStringLiteral("Alert threshold")});
    view.setModel(&model);
    view.resize(900, 500);
    const PaintWatcher watcher(view.viewport());
    const double ms = timedMs([&] {
        for (const OidEntry& entry : entries)
            model.appendRow({new QStandardItem(entry.ipAddress), new QStandardItem(entry.interfaceNumber),
                             new QStandardItem(entry.oid), new QStandardItem(entry.graphDescription),
                             new QStandardItem(entry.alertThreshold)});
        *painted = showUntilPainted(&view, watcher);
    });
    view.hide();
    return ms;
}

// The same file work as a save, done plainly: the old file copied aside, the new bytes written
// to a temporary file that replaces it.
bool safeWrite(const QString& path, const QByteArray& bytes)
{
    const QString backup = path + QStringLiteral(".bak");
    QFile::remove(backup);
    QFile::copy(path, backup);
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

bool printRow(const QString& step, double tessaro, double reference)
{
    const bool pass = reference > 0 && tessaro / reference <= Target;
    out() << QStringLiteral("%1 %2 %3 %4  %5\n")
                 .arg(step, -46)
                 .arg(number(tessaro), 11)
                 .arg(number(reference), 13)
                 .arg(ratio(tessaro, reference), 7)
                 .arg(pass ? QStringLiteral("PASS") : QStringLiteral("MISS"));
    return pass;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int count = 10000;
    int runs = 3;
    if (!readOptions(QStringLiteral("--entries"), "oid-entries-bench [--entries N] [--runs R]", &count, &runs))
        return 2;
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    const QString path = dir.filePath(QStringLiteral("OIDEntry.cfg"));
    const QString plainPath = dir.filePath(QStringLiteral("plain.cfg"));
    const QList<OidEntry> entries = generate(count);
    bool sound = true;

    Best write;
    Best plainWriteBest;
    Best safeWriteBest;
    Best read;
    Best plainRead;
    Best dialog;
    Best plainTable;
    QList<OidEntry> readBack;
    int fields = 0;
    int rows = 0;
    for (int run = 0; run < runs; ++run) {
        bool ok = false;
        write.add(timedMs([&] { ok = writeOidEntries(path, entries); }));
        const QByteArray bytes = readBytes(path);
        QFile::remove(plainPath); // a new file, as the save's temporary file is
        plainWriteBest.add(timedMs([&] { ok = plainWrite(plainPath, bytes) && ok; }));
        safeWriteBest.add(timedMs([&] { ok = safeWrite(plainPath, bytes) && ok; }));

        QList<OidEntry> fresh; // the last run's list is not freed inside the timing
        read.add(timedMs([&] { fresh = readOidEntries(path); }));
        readBack.swap(fresh);
        plainRead.add(timedMs([&] { fields = rawScan(path); }));

        bool painted = false;
        bool plainPainted = false;
        dialog.add(openDialog(entries, &painted, &rows));
        plainTable.add(openPlainTable(entries, &plainPainted));
        sound = sound && ok && painted && plainPainted;
    }

    out() << "oid-entries-bench: " << count << " entries, best of " << runs
          << " runs; ratio = Tessaro / reference, target <= " << Target << "\n\n";
    out() << QStringLiteral("%1 %2 %3 %4\n")
                 .arg(QStringLiteral("step"), -46)
                 .arg(QStringLiteral("Tessaro ms"), 11)
                 .arg(QStringLiteral("reference ms"), 13)
                 .arg(QStringLiteral("ratio"), 7);
    bool pass = printRow(QStringLiteral("write (QFile write of its bytes)"), write.ms, plainWriteBest.ms);
    pass = printRow(QStringLiteral("write (copy aside + QSaveFile of its bytes)"), write.ms, safeWriteBest.ms) && pass;
    pass = printRow(QStringLiteral("read (QFile readAll + split lines, tabs)"), read.ms, plainRead.ms) && pass;
    pass = printRow(QStringLiteral("list dialog: open + paint (plain table)"), dialog.ms, plainTable.ms) && pass;

    const bool same = readBack == entries && rows == entries.size();
    out() << "\nchecks: entries read back as written: " << (readBack == entries ? "yes" : "NO") << "; table rows "
          << rows << "; reference scan " << fields << " fields\n";
    out() << "\nsummary: " << (pass ? "PASS" : "MISS") << (sound && same ? "" : "; CHECKS FAILED") << '\n';
    out().flush();
    return sound && same ? 0 : 1;
}
