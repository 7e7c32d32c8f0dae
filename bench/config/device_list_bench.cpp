// The monitoring service's device list at scale: VelmoraFile's save and read and the device
// list editor's fill and first paint, each set against plain Qt work on the same data in the
// same run: a QFile write of the same bytes, a raw scan of the same file, and a plain
// QStandardItemModel with the same texts in a QTableView.
//
// Usage: device-list-bench [--devices N] [--runs R]   (default: 10000 devices, 3 runs; offscreen)

#include "ui/devices/DeviceTableWidget.h"
#include "ui/devices/DevicesDialog.h"
#include "snmp/SnmpReader.h"
#include "config/VelmoraFile.h"
#include "BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QSaveFile>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

using namespace bench;
using Entry = VelmoraFile::Entry;
using Info = SnmpReader::HostInfoResult;

constexpr int kEthernet = 6;
constexpr int kSoftwareLoopback = 24;
constexpr int kPairEvery = 40;     // one device in 40 has a partner of the same name and MAC...
constexpr int kPartnerOffset = 20; // ...this many rows further down
constexpr int kNearPairAt = 10;    // and one in 40 shares only its name with the next, MAC-less one

const char* const kGroups[] = {"Default",  "Core",     "Distribution", "Access",  "Datacenter", "Branch-N",  "Branch-S",
                               "Branch-E", "Branch-W", "Printers",     "Cameras", "Wireless",   "Firewalls", "Storage",
                               "Lab",      "DMZ",      "VoIP",         "UPS",     "Warehouse",  "Management"};
constexpr int kGroupCount = static_cast<int>(sizeof(kGroups) / sizeof(kGroups[0]));

// 10.a.b.c with c in 1..254: distinct for the first 254 * 256 * 256 devices.
QString deviceAddress(int index)
{
    const int host = 1 + index % 254;
    const int rest = index / 254;
    return QStringLiteral("10.%1.%2.%3").arg((rest / 256) % 256).arg(rest % 256).arg(host);
}

QString macOf(int index)
{
    return QStringLiteral("%1")
        .arg(0x00163E000000ULL + static_cast<qulonglong>(index), 12, 16, QLatin1Char('0'))
        .toUpper();
}

// The SNMP column's text as the editor shows it: v1, v2c, v3, or "?" for unread credentials.
QString versionText(int version)
{
    static const QStringList texts = QStringLiteral("?,v1,v2c,v3").split(QLatin1Char(','));
    return texts.value(version, texts.constFirst());
}

struct DeviceList
{
    QList<Entry> entries;
    QList<Info> infos;
    int v3 = 0;
    int expectedDuplicates = 0;
};

DeviceList generate(int count)
{
    DeviceList list;
    for (int i = 0; i < count; ++i) {
        const QString group = QLatin1String(kGroups[(i * 7 + i / 13) % kGroupCount]);
        Entry entry;
        entry.ipAddress = deviceAddress(i);
        entry.group = group;
        SnmpUtils::SnmpParams& params = entry.credentials;
        switch (i % 10) {
        case 0:
        case 1:
            params.version = 3;
            entry.encrypted = true;
            params.userName = QStringLiteral("mon-%1").arg(group.toLower());
            params.authProtocol = 1 + (i / 10) % 6;
            params.authPassword = QStringLiteral("auth-%1-secret").arg(i % 97);
            params.privProtocol = 1 + (i / 10) % 7;
            params.privPassword = QStringLiteral("priv-%1-secret").arg(i % 89);
            ++list.v3;
            break;
        case 2:
            params.version = 1;
            params.community = QStringLiteral("public");
            break;
        default:
            params.version = 2;
            params.community = i % 3 == 0   ? QStringLiteral("public")
                               : i % 3 == 1 ? QStringLiteral("private")
                                            : QStringLiteral("ro-%1").arg(group.toLower());
            break;
        }
        entry.securityText = VelmoraFile::credentialsToText(params, entry.encrypted);
        if (i % 3 == 0) {
            entry.contractDate = QStringLiteral("%1-28-%2").arg(1 + i % 12, 2, 10, QLatin1Char('0')).arg(2026 + i % 4);
            entry.contractNumber = QStringLiteral("SC-%1").arg(10000 + i % 90000);
            entry.contractTelephone = QStringLiteral("555-%1").arg(100 + i % 900);
        }
        if (i % 16 == 1)
            entry.description = QStringLiteral("<a href=\"http://intranet/racks/r%1\">Rack R%1</a>").arg(i % 300);
        else if (i % 4 != 3)
            entry.description = QStringLiteral("%1 switch, floor %2, room %3").arg(group).arg(i % 9).arg(i % 41);
        list.entries.append(entry);

        Info info;
        info.ip = entry.ipAddress;
        info.ok = true;
        info.sysName = QStringLiteral("%1-sw%2").arg(group.toLower()).arg(i);
        info.sysDescr = QStringLiteral("Zentrix NOS 7.%1 on ZX-48 & co").arg(i % 20);
        if (i % 2 == 0) {
            SnmpReader::InterfaceInfo ethernet;
            ethernet.index = 1;
            ethernet.type = kEthernet;
            ethernet.mac = macOf(i);
            ethernet.name = QStringLiteral("eth0");
            SnmpReader::InterfaceInfo loopback;
            loopback.index = 2;
            loopback.type = kSoftwareLoopback;
            loopback.name = QStringLiteral("lo");
            info.interfaces.insert(ethernet.index, ethernet);
            info.interfaces.insert(loopback.index, loopback);
        }
        list.infos.append(info);
    }
    // Partners: the same device under a second address (same name, same MAC); near partners
    // share a name only, one side without MACs, and are not the same device.
    for (int i = 0; i < count; ++i) {
        if (i % kPairEvery == 0 && i + kPartnerOffset < count) {
            Info& partner = list.infos[i + kPartnerOffset];
            partner.sysName = list.infos.at(i).sysName;
            partner.interfaces[1].mac = macOf(i);
            list.expectedDuplicates += 2;
        } else if (i % kPairEvery == kNearPairAt && i + 1 < count) {
            list.infos[i + 1].sysName = list.infos.at(i).sysName;
        }
    }
    return list;
}

bool atomicWrite(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

// An end-of-line comment on every seventh device line; *added counts them.
QByteArray withComments(const QByteArray& bytes, int* added)
{
    QByteArray result;
    result.reserve(bytes.size() + bytes.size() / 10);
    int dataLine = 0;
    *added = 0;
    const QList<QByteArray> lines = bytes.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        const bool last = i == lines.size() - 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty() && !line.startsWith(';') && dataLine++ % 7 == 3) {
            line += " ;checked on site, ticket " + QByteArray::number(4000 + dataLine);
            ++*added;
        }
        result += line;
        if (!last)
            result += "\r\n";
    }
    return result;
}

// Data lines of the file that carry an end-of-line comment.
int commentedLines(const QByteArray& bytes)
{
    int count = 0;
    for (const QByteArray& line : bytes.split('\n')) {
        if (!line.startsWith(';') && line.contains(" ;checked on site"))
            ++count;
    }
    return count;
}

// The reference reading: the whole file decoded, split into lines and each line at tabs.
int rawScan(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromUtf8(file.readAll());
    int fields = 0;
    for (const QStringRef& line : text.splitRef(QLatin1Char('\n')))
        fields += line.split(QLatin1Char('\t')).size();
    return fields;
}

int mismatches(const QList<Entry>& read, const QList<Entry>& written)
{
    int count = std::abs(read.size() - written.size());
    for (int i = 0; i < std::min(read.size(), written.size()); ++i) {
        const Entry& a = read.at(i);
        const Entry& b = written.at(i);
        if (a.ipAddress != b.ipAddress || a.group != b.group || a.credentials != b.credentials ||
            a.contractDate != b.contractDate || a.contractNumber != b.contractNumber ||
            a.contractTelephone != b.contractTelephone || a.description != b.description)
            ++count;
    }
    return count;
}

struct EditorRun
{
    double setDataMs = 0;
    double showMs = 0;
    int duplicates = 0;
    bool painted = false;
};

EditorRun runEditor(const DeviceList& list)
{
    EditorRun run;
    DevicesDialog dialog;
    DeviceTableWidget* table = dialog.tableWidget();
    const PaintWatcher watcher(table->view()->viewport());
    run.setDataMs = timedMs([&] { dialog.setData(list.entries, list.infos); });
    run.showMs = timedMs([&] { run.painted = showUntilPainted(&dialog, watcher); });
    for (int row = 0; row < list.entries.size(); ++row)
        run.duplicates += table->isDuplicate(row) ? 1 : 0;
    dialog.hide();
    return run;
}

double runPlainTable(const DeviceList& list, bool* painted)
{
    QTableView view;
    QStandardItemModel model(0, 5);
    model.setHorizontalHeaderLabels({QStringLiteral("Group"), QStringLiteral("Device name"),
                                     QStringLiteral("IP Address"), QStringLiteral("SNMP"),
                                     QStringLiteral("Description")});
    view.setModel(&model);
    view.resize(820, 496);
    const PaintWatcher watcher(view.viewport());
    const double ms = timedMs([&] {
        for (int row = 0; row < list.entries.size(); ++row) {
            const Entry& entry = list.entries.at(row);
            model.appendRow({new QStandardItem(entry.group), new QStandardItem(list.infos.at(row).sysName),
                             new QStandardItem(entry.ipAddress),
                             new QStandardItem(versionText(entry.credentials.version)),
                             new QStandardItem(entry.description)});
        }
        *painted = showUntilPainted(&view, watcher);
    });
    view.hide();
    return ms;
}

void printRow(const QString& step, double tessaro, double reference)
{
    out() << QStringLiteral("%1 %2 %3 %4\n")
                 .arg(step, -44)
                 .arg(number(tessaro), 11)
                 .arg(number(reference), 13)
                 .arg(ratio(tessaro, reference), 7);
}

void printPart(const QString& part, double ms)
{
    out() << QStringLiteral("    %1 %2 ms\n").arg(part, -52).arg(number(ms), 9);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int count = 10000;
    int runs = 3;
    if (!readOptions(QStringLiteral("--devices"), "device-list-bench [--devices N] [--runs R]", &count, &runs))
        return 2;

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    const QString path = dir.filePath(QStringLiteral("Velmora.cfg"));
    const QString backup = dir.filePath(QStringLiteral("Velmora.bak"));
    const QString plainPath = dir.filePath(QStringLiteral("plain.cfg"));
    const VelmoraFile file(path);
    SnmpReader::instance(); // the SNMP library's start-up is not the editor's

    QElapsedTimer total;
    total.start();
    const DeviceList list = generate(count);
    bool sound = true;

    // Save into a new file, against writing its bytes.
    Best save;
    Best plainSave;
    QByteArray saved;
    for (int run = 0; run < runs; ++run) {
        QFile::remove(path);
        QFile::remove(backup);
        bool ok = false;
        save.add(timedMs([&] { ok = file.save(list.entries); }));
        saved = readBytes(path);
        QFile::remove(plainPath); // a new file, as the save's temporary file is
        plainSave.add(timedMs([&] { ok = plainWrite(plainPath, saved) && ok; }));
        sound = sound && ok;
    }

    // The old file read back for its comments, and the backup refreshed.
    int comments = 0;
    const QByteArray commented = withComments(saved, &comments);
    Best saveAgain;
    Best plainSaveAgain;
    QByteArray savedAgain;
    for (int run = 0; run < runs; ++run) {
        bool ok = plainWrite(path, commented);
        saveAgain.add(timedMs([&] { ok = file.save(list.entries) && ok; }));
        savedAgain = readBytes(path);
        QFile::remove(plainPath); // a new file, as the save's temporary file is
        plainSaveAgain.add(timedMs([&] { ok = plainWrite(plainPath, savedAgain) && ok; }));
        sound = sound && ok;
    }
    const int keptComments = commentedLines(savedAgain);
    const bool backupKept = readBytes(backup) == commented;

    // Read the commented file, against a raw scan.
    Best read;
    Best plainRead;
    QList<Entry> readBack;
    int fields = 0;
    for (int run = 0; run < runs; ++run) {
        QList<Entry> fresh; // the last run's list is not freed inside the timing
        read.add(timedMs([&] { fresh = VelmoraFile(path).entries(); }));
        readBack.swap(fresh);
        plainRead.add(timedMs([&] { fields = rawScan(path); }));
    }
    const int wrong = mismatches(readBack, list.entries);

    // Pieces of the above, timed on their own.
    Best notation;
    Best notationRead;
    Best atomic;
    Best backupCopy;
    QStringList texts;
    for (const Entry& entry : readBack)
        texts.append(entry.securityText);
    for (int run = 0; run < runs; ++run) {
        notation.add(timedMs([&] {
            for (const Entry& entry : list.entries)
                VelmoraFile::credentialsToText(entry.credentials, entry.encrypted);
        }));
        notationRead.add(timedMs([&] {
            SnmpUtils::SnmpParams params;
            bool encrypted = false;
            for (const QString& text : qAsConst(texts))
                VelmoraFile::textToCredentials(text, params, encrypted);
        }));
        QFile::remove(plainPath);
        atomic.add(timedMs([&] { atomicWrite(plainPath, savedAgain); }));
        QFile::remove(backup);
        backupCopy.add(timedMs([&] { QFile::copy(path, backup); }));
    }

    // The editor: fill and first paint, against a plain table.
    Best editor;
    Best setData;
    Best show;
    Best plainTable;
    int duplicates = -1;
    for (int run = 0; run < runs; ++run) {
        const EditorRun editorRun = runEditor(list);
        editor.add(editorRun.setDataMs + editorRun.showMs);
        setData.add(editorRun.setDataMs);
        show.add(editorRun.showMs);
        duplicates = editorRun.duplicates;
        bool painted = false;
        plainTable.add(runPlainTable(list, &painted));
        sound = sound && editorRun.painted && painted;
    }

    out() << "device-list-bench: " << count << " devices (" << list.v3 << " SNMPv3, encrypted), " << saved.size()
          << " bytes saved, best of " << runs << " runs; ratio = Tessaro / reference\n\n";
    out() << QStringLiteral("%1 %2 %3 %4\n")
                 .arg(QStringLiteral("step"), -44)
                 .arg(QStringLiteral("Tessaro ms"), 11)
                 .arg(QStringLiteral("reference ms"), 13)
                 .arg(QStringLiteral("ratio"), 7);
    printRow(QStringLiteral("save, new file (QFile write of its bytes)"), save.ms, plainSave.ms);
    printRow(QStringLiteral("save over old file (QFile write)"), saveAgain.ms, plainSaveAgain.ms);
    printRow(QStringLiteral("read (QFile readAll + split lines, tabs)"), read.ms, plainRead.ms);
    printRow(QStringLiteral("editor: setData + show + paint (plain table)"), editor.ms, plainTable.ms);

    out() << "\nparts\n";
    printPart(QStringLiteral("credentialsToText of every entry (save)"), notation.ms);
    printPart(QStringLiteral("textToCredentials of every column 3 (read)"), notationRead.ms);
    printPart(QStringLiteral("QSaveFile write + commit of the file's bytes"), atomic.ms);
    printPart(QStringLiteral("QFile::copy to the .bak"), backupCopy.ms);
    printPart(QStringLiteral("DevicesDialog::setData"), setData.ms);
    printPart(QStringLiteral("show until the table's first paint"), show.ms);

    out() << "\nchecks\n";
    out() << "    end-of-line comments kept by the second save: " << keptComments << " of " << comments << '\n';
    out() << "    .bak holds the file before the second save: " << (backupKept ? "yes" : "NO") << '\n';
    out() << "    entries read back that differ from those saved: " << wrong << " (" << readBack.size()
          << " read, reference scan " << fields << " fields)\n";
    out() << "    rows marked duplicate: " << duplicates << " (expected " << list.expectedDuplicates << ")\n";
    sound = sound && keptComments == comments && backupKept && wrong == 0 && duplicates == list.expectedDuplicates;

    out() << "\nsummary (" << count << " devices): save " << ratio(save.ms, plainSave.ms) << ", save again "
          << ratio(saveAgain.ms, plainSaveAgain.ms) << ", read " << ratio(read.ms, plainRead.ms) << ", editor "
          << ratio(editor.ms, plainTable.ms) << "; whole run " << qRound(elapsedMs(total) / 1000) << " s"
          << (sound ? "" : "; CHECKS FAILED") << '\n';
    out().flush();
    return sound ? 0 : 1;
}
