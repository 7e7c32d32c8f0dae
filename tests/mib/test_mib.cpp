#include "mib/Expansion.h"
#include "mib/OidDescription.h"
#include "LoadedMib.h"
#include "TestFiles.h"

#include <QtTest>

// Node paths and codes, the database file, the tree model and its search, expansions, descriptions.
class TestMib final : public QObject
{
    Q_OBJECT

private slots:
    void paths()
    {
        using Numbers = QVector<qint32>;
        QCOMPARE(OidPath::parse(" .1.3.6.1. "), (Numbers{1, 3, 6, 1})); // dots and blanks around
        QCOMPARE(OidPath::parse("1.2147483647.0"), (Numbers{1, 2147483647, 0}));
        for (const char* bad : {"", ".", "..1.3", "1.3..", "1..3", "1.3.x", "1.2147483648"})
            QVERIFY2(OidPath::parse(bad).isEmpty(), bad);
        QCOMPARE(OidPath::join({}) + OidPath::join({1, 3, 6, 1, 4, 1, 9}), QStringLiteral("1.3.6.1.4.1.9"));

        // An agent's order: numeric per sub-identifier (up to 2^32 - 1), a prefix first.
        for (const char* row :
             {"1.3.6.1.2.1.1.1.0 1.3.6.1.2.1.1 1", "1.3.6.1.2.1.10 1.3.6.1.2.1.9.1 1",
              "1.3.6.1.4.1.1.4294967295 1.3.6.1.4.1.1.2147483648 1",
              "1.3.6.1.4.1.1.2147483648 1.3.6.1.4.1.1.2147483647 1", "1.3.6.1.2.1.1 1.3.6.1.2.1.1 0",
              "1.3.6.1.2.1.1.9 1.3.6.1.2.1.1.10 0", "1.3.6.1.2.1.1 1.3.6.1.2.1.1.1.0 0", "1.3.x 1.3 0"}) {
            const QStringList f = QString(row).split(' ');
            QVERIFY2(OidPath::follows(f.at(0), f.at(1)) == (f.at(2) == "1"), row);
        }

        // Path, parent, last number; no parent: not split.
        for (const char* const row : {"1.3.6.1.2.1.2.2.1.2.5 1.3.6.1.2.1.2.2.1.2 5", "1.3 1 3", "1", "ifDescr.5"}) {
            const QStringList fields = QString(row).split(' ');
            QString parent;
            qint32 last = 0;
            QCOMPARE(OidPath::split(fields.at(0), &parent, &last), fields.size() > 1);
            QCOMPARE(QStringList({fields.at(0), parent, QString::number(last)}).mid(0, fields.size()), fields);
            QCOMPARE(OidPath::parentPath(fields.at(0)), fields.value(1));
        }
    }

    void vocabularies()
    {
        // Every member loads as itself; the type gap 17-19 and anything outside the tables load as 0.
        for (int code = -3; code <= 70; ++code) {
            const bool type = (code >= 1 && code <= 16) || (code >= 20 && code <= 27);
            QCOMPARE(int(Oid::typeFromCode(code)), type ? code : 0);
            QCOMPARE(int(Oid::accessFromCode(code)), QList<int>({18, 19, 20, 21, 48, 67}).contains(code) ? code : 0);
        }
        QCOMPARE(Oid::typeFromCode(Q_INT64_C(0x100000003)), Oid::Other); // no truncation to 3
    }

    void statuses_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("missing") << int(MibDatabase::Missing);
        for (const char* tag :
             {"no version row", "version row with another id", "text file", "random bytes", "truncated"})
            QTest::newRow(tag) << int(MibDatabase::Damaged);
        QTest::newRow("format 2") << int(MibDatabase::Unsupported);
        QTest::newRow("format 1") << int(MibDatabase::Usable);
    }

    void statuses()
    {
        QFETCH(int, status);
        const QByteArray tag = QTest::currentDataTag();
        const QString file = m_mib.dir.filePath(tag);
        QVector<MibTestDb::Node> nodes = MibTestDb::sampleNodes();
        if (tag.startsWith("format"))
            QVERIFY(MibTestDb::create(file, nodes, {}, {}, tag.right(1).toInt(), 7, 9));
        if (tag.contains("version"))
            QVERIFY(MibTestDb::create(file, {}, {}, {}, -1) &&
                    (tag.startsWith("no") || MibTestDb::exec(file, {"INSERT INTO db_version VALUES (2, 1, 2, 0)"})));
        if (tag.endsWith("file") || tag.startsWith("random"))
            QVERIFY(writeBytes(file, tag.startsWith("text") ? QByteArray("iso OBJECT IDENTIFIER ::= { 1 }\n")
                                                            : QByteArray(8192, '\xA5')));
        if (tag == "truncated") { // a database spanning many pages, cut to its first page
            for (MibTestDb::Node& node : nodes)
                node.description = QString(3000, QLatin1Char('d'));
            QVERIFY(MibTestDb::create(file, nodes) && QFile::resize(file, 1024));
        }
        const QByteArray before = readBytes(file);

        MibDatabase db;
        db.setFileName(file);
        int major = -1, minor = -1;
        QCOMPARE(db.check(&major, &minor), status);
        QVERIFY(!db.isOpen());
        if (status == MibDatabase::Missing) {
            QVERIFY(!QFile::exists(file));
        } else if (status == MibDatabase::Damaged) {
            if (!tag.contains("version")) { // not a database: not even opening it for writing changes it
                QCOMPARE(db.open(false), status);
                QVERIFY(db.loadNodes().isEmpty());
            }
            QCOMPARE(readBytes(file), before);
        } else {
            QCOMPARE(QString("%1.%2").arg(major).arg(minor), QString("7.9"));
            QCOMPARE(db.open(false), status);
            QCOMPARE(db.isOpen(), status == MibDatabase::Usable);
        }
    }

    void handles()
    {
        // An empty file stays empty when opened read-only, and gets the schema when writable.
        const QString readOnly = m_mib.dir.filePath("empty-ro.db"), writable = m_mib.dir.filePath("empty-rw.db");
        QVERIFY(writeBytes(readOnly, {}) && writeBytes(writable, {}));
        MibDatabase db;
        db.setFileName(readOnly);
        QCOMPARE(db.open(true), int(MibDatabase::Usable));
        db.close();
        QCOMPARE(QFileInfo(readOnly).size(), 0);
        // check() leaves the read-only option on the handle; open(false) must not inherit it.
        db.setFileName(writable);
        QCOMPARE(db.open(false), int(MibDatabase::Usable));
        QCOMPARE(db.check(), int(MibDatabase::Usable));
        QCOMPARE(db.open(false), int(MibDatabase::Usable));
        db.writeVersion(1, 20300101, 4);
        int version[3] = {};
        QVERIFY(db.readVersion(&version[0], &version[1], &version[2]) && version[1] == 20300101 && version[2] == 4);
        // Each database has a connection of its own: destroying one leaves the other working.
        auto other = std::make_unique<MibDatabase>();
        other->setFileName(m_mib.dir.filePath("other.db"));
        QVERIFY(MibTestDb::create(other->fileName(), MibTestDb::parse("1 - iso 1; 2 1 org 3")));
        QCOMPARE(other->open(true), int(MibDatabase::Usable));
        QCOMPARE(other->loadNodes().size() * 10 + db.loadNodes().size(), 20);
        other.reset();
        QVERIFY(db.readVersion(&version[0], &version[1], &version[2]) && version[1] == 20300101);
    }

    void loadNodes()
    {
        QVector<MibTestDb::Node> nodes = MibTestDb::sampleNodes();
        nodes[0].lastUpdated = 86400;
        nodes[1].lastUpdated = 0;
        nodes[7].filename = QStringLiteral("sample.mib");
        nodes[7].description = QStringLiteral("Grüße \"quoted\"\nsecond line");
        nodes[8].type = 19; // no type
        nodes[8].access = 1;
        nodes[9].type = -5;
        nodes[9].access = 48;
        const QVector<MibTestDb::Enum> enums = {{8, "five", 5},  {8, "one", 1},  {9, "minus", -3},
                                                {8, "three", 3}, {9, "zero", 0}, {999, "orphan", 1}};
        nodes[12].type = 15; // Unsigned32
        // Older builds stored 4294967295 as -1: bounds no unsigned or ascending range can have.
        const QVector<MibTestDb::Range> ranges = {{10, 100, 200},      {10, -50, 10},           {10, 20, 30},
                                                  {12, 0, 4294967295}, {12, -2147483648LL, -1}, {13, 0, -1},
                                                  {15, 1, -1}};
        QVERIFY(MibTestDb::create(m_mib.dir.filePath("fields.db"), nodes,
                                  enums + QVector<MibTestDb::Enum>{{12, "big", 4294967296}}, ranges));
        MibDatabase db;
        db.setFileName(m_mib.dir.filePath("fields.db"));
        QCOMPARE(db.open(true), int(MibDatabase::Usable));
        QStringList rows; // by id: name, parent, number, type, access, module, file, date, values
        for (const OidPtr& o : db.loadNodes()) {
            QString row = QString("%1: %2 %3 %4 ").arg(o->id).arg(o->name).arg(o->parentId).arg(o->number);
            row += QStringList{QString("%1 %2").arg(o->type).arg(o->access), o->module, o->filename,
                               o->lastUpdated.toString(Qt::ISODate)}
                       .join(' ');
            for (const Oid::EnumValue& e : o->enums)
                row += QStringLiteral(" %1=%2").arg(e.label).arg(e.value);
            for (const Oid::Range& r : o->ranges)
                row += QStringLiteral(" %1..%2").arg(r.low).arg(r.high);
            rows << row.trimmed();
            if (o->id == 8)
                QCOMPARE(o->descriptionText(), QStringLiteral("Grüße \"quoted\"\nsecond line"));
        }
        QCOMPARE(rows.size(), nodes.size());
        // Dates in UTC (0 and NULL: none); values by value, ranges by lower bound; unknown codes as 0.
        QCOMPARE(rows.at(0), QStringLiteral("1: iso 0 1 0 0 SAMPLE-MIB  1970-01-02T00:00:00Z"));
        QCOMPARE(rows.at(1) + ", " + rows.at(2),
                 QStringLiteral("2: org 1 3 0 0 SAMPLE-MIB, 3: dod 2 6 0 0 SAMPLE-MIB"));
        QCOMPARE(rows.at(7), QStringLiteral("8: sysDescr 7 1 2 18 SAMPLE-MIB sample.mib  one=1 three=3 five=5"));
        QCOMPARE(rows.at(8), QStringLiteral("9: sysObjectID 7 2 0 0 SAMPLE-MIB   minus=-3 zero=0"));
        QCOMPARE(rows.at(9), QStringLiteral("10: sysName 7 5 0 48 SAMPLE-MIB   -50..10 20..30 100..200"));
        QCOMPARE(rows.at(11).section("  ", 1) + rows.at(12).section("  ", 1) + rows.at(14).section("  ", 1),
                 QStringLiteral(" big=4294967296 -2147483648..-1 0..4294967295 0..4294967295 1..4294967295"));
    }

    void structure()
    {
        // A notification with a child, and a second node numbered 1 under system.
        QVERIFY(m_mib.load(QVector<MibTestDb::Node>(MibTestDb::sampleNodes())
                           << MibTestDb::parse("30 19 trapChild 1; 40 7 sysDescrAlias 1")));
        QAbstractItemModelTester tester(&model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model().rowCount(), 1);
        QCOMPARE(model().index(0, 0).data(Qt::UserRole).toInt(), 1);
        // Children by ascending number whatever order the rows came in.
        QCOMPARE(names(), QString("iso org dod internet mgmt mib-2 system sysDescr sysDescrAlias sysObjectID sysName "
                                  "interfaces ifNumber ifTable ifEntry ifIndex ifDescr private enterprises vendorTrap "
                                  "trapChild snmpV2"));
        QCOMPARE(m_mib.indexAt("1.3.6.1.6").row(), 2);
        QCOMPARE(at(" .1.3.6.1.2.1.1.5 ")->name, QStringLiteral("sysName"));
        for (const char* missing : {"2.5", "1.3.6.1.2.1.1.99", "1.3.6.1.2.1.1.1.0", "sysDescr"})
            QVERIFY2(!at(missing), missing);
        const QString labels = "1.3.6.1.2.1.1.1.0=sysDescr.0 1.3.6.1.4.1.9.9.1=enterprises.9.9.1 9.9=9.9 1=iso";
        for (const QString& pair : labels.split(' '))
            QCOMPARE(model().labelFromPath(pair.section('=', 0, 0)), pair.section('=', 1));
        // Siblings sharing a number: the first is found by path, each keeps its own row.
        QCOMPARE(at("1.3.6.1.2.1.1.1")->name, QStringLiteral("sysDescr"));
        for (const OidPtr& oid : walk())
            QCOMPARE(model().indexFromOid(oid).internalPointer(), static_cast<void*>(oid.get()));

        // A notification keeps its own icon even when it has children.
        auto icon = [this](const char* path) { return m_mib.indexAt(path).data(Qt::DecorationRole).value<QIcon>(); };
        const qint64 leaf = icon("1.3.6.1.2.1.1.1").cacheKey();
        QVERIFY(!icon("1.3.6.1.4.1.7").isNull() && icon("1.3.6.1.4.1.7.1").cacheKey() == leaf);
        QCOMPARE(QSet<qint64>({icon("1.3.6.1.4.1.7").cacheKey(), leaf, icon("1.3.6.1.2.1").cacheKey()}).size(), 3);
    }

    void brokenTrees()
    {
        // The top-level node with the lowest number is the root; orphans and other top levels are unreachable.
        QVERIFY(
            m_mib.load(QStringLiteral("1 0 second 2; 2 0 first 1; 3 2 child 5; 4 999 orphan 7; 5 1 underSecond 1")));
        QCOMPARE(names(), QStringLiteral("first child"));
        QVERIFY(at("1.5") && !at("2") && !at("2.1"));

        // A cycle away from the root, a node its own parent, a duplicate id whose one twin is its own parent.
        QVERIFY(m_mib.load(QStringLiteral("0 0 root 1; 2 0 zeroChild 4; 3 0 twinA 2; 3 3 twinB 3; 4 3 underTwin 1;"
                                          "10 11 cycleA 1; 11 10 cycleB 1; 12 12 self 9"),
                           true));
        {
            QAbstractItemModelTester tester(&model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
            QCOMPARE(names(), QStringLiteral("root twinA underTwin twinB zeroChild"));
        }
        // No rows, or none with a parent: no tree, and nothing breaks.
        for (const QString& text : {QString(), QStringLiteral("1 5 a 1; 2 1 b 1")}) {
            QVERIFY(m_mib.load(text));
            QAbstractItemModelTester tester(&model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
            QVERIFY(model().rowCount() == 0 && !at("1") && !model().nextOid(OidPtr()));
            QCOMPARE(model().labelFromPath(QStringLiteral("1.3.6")), QStringLiteral("1.3.6"));
            QVERIFY(!model().find(nullptr, QStringLiteral("a"), Qt::CaseInsensitive, true, true, true).isValid());
        }
        // A chain far deeper than any MIB is loaded, walked and freed without recursion.
        QString chain;
        for (int i = 1; i <= 50000; ++i)
            chain += QStringLiteral("%1 %2 n 1;").arg(i).arg(i - 1);
        QVERIFY(m_mib.load(chain));
        QCOMPARE(walk().size(), 50000);
        model().reload();
        m_mib.model.reset();
    }

    // The indexed search against its definition: the first match in pre-order from the start, wrapping once.
    void search()
    {
        // Letters that fold into each other: ASCII, Latin-1 and Greek case, the Kelvin sign and long s.
        const QString alphabet = QStringLiteral("aAkKsS-\u00e9\u00c9\u212a\u017f\u03c3\u03a3\u03c2");
        QRandomGenerator random(20240101);
        auto randomText = [&](int maxLength) {
            QString text;
            for (int i = 1 + int(random.bounded(maxLength)); i > 0; --i)
                text += alphabet.at(int(random.bounded(alphabet.size())));
            return text;
        };
        QVector<MibTestDb::Node> nodes;
        for (int id = 1; id <= 300; ++id) {
            const int parent = id == 1 ? 0 : 1 + int(random.bounded(id - 1));
            nodes << MibTestDb::parse(QStringLiteral("%1 %2 %3 %1").arg(id).arg(parent).arg(randomText(6)));
            if (random.bounded(3) == 0)
                nodes.last().description = randomText(12);
        }
        QVERIFY(m_mib.load(nodes));
        const QVector<OidPtr> preOrder = walk();
        QStringList texts = QStringLiteral("k K \u212a s \u017f \u00e9 \u03a3 a- zzz").split(' ');
        for (int i = 0; i < 30; ++i)
            texts << randomText(4);
        int compared = 0, found = 0;
        for (const QString& text : qAsConst(texts)) {
            for (int startAt : {-1, 0, 1, 17, 150, 299}) { // -1: no start node
                // Bit 0: match case; bit 1: descriptions; the rest: leaves, groups, both or neither.
                for (int options = 0; options < 16; ++options) {
                    const Qt::CaseSensitivity cs = options & 1 ? Qt::CaseSensitive : Qt::CaseInsensitive;
                    const bool leaves = options >> 2 == 0 || options >> 2 == 2;
                    const bool groups = options >> 2 == 1 || options >> 2 == 2;
                    QModelIndex expected;
                    for (int i = 0; i < preOrder.size() && !expected.isValid(); ++i) {
                        const OidPtr& node = preOrder.at((qMax(0, startAt) + i) % preOrder.size());
                        if ((node->isLeaf() ? leaves : groups) &&
                            (node->name.contains(text, cs) ||
                             ((options & 2) && node->descriptionText().contains(text, cs))))
                            expected = model().indexFromOid(node);
                    }
                    const OidPtr start = startAt < 0 ? OidPtr() : preOrder.at(startAt);
                    QVERIFY2(model().find(start, text, cs, options & 2, leaves, groups) == expected,
                             qPrintable(QStringLiteral("%1 from %2, options %3").arg(text).arg(startAt).arg(options)));
                    ++compared;
                    found += expected.isValid() ? 1 : 0;
                }
            }
        }
        // Both outcomes occur often enough for the comparison to mean something.
        QVERIFY2(found > compared / 10 && found < compared * 9 / 10, qPrintable(QString::number(found)));
        // An empty text finds nothing; a node kept from before a reload starts the search at the root.
        QVERIFY(!model().find(OidPtr(), QString(), Qt::CaseInsensitive, true, true, true).isValid());
        QVERIFY(m_mib.load());
        const OidPtr old = at("1.3.6.1.2.1.1.5");
        model().reload();
        QCOMPARE(model().find(old, QStringLiteral("sys"), Qt::CaseInsensitive, false, true, true).internalPointer(),
                 static_cast<void*>(at("1.3.6.1.2.1.1").get()));
    }

    void expansionText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parsed");
        for (const char* row : {"nested|1[2[5,6],3]|1[2[5,6],3]", "missing brackets|1[3[6|1[3[6]]",
                                "letter in list|1[x|1", "letter after number|1[3x4]|1[3]",
                                "blank ends list|1[3, 4]|1[3]", "no number|a[1]|", "too large|99999999999[1]|"}) {
            const QStringList f = QString(row).split('|');
            QTest::newRow(qPrintable(f.at(0))) << f.at(1) << f.at(2);
        }
        // Nesting no real tree has is cut off instead of exhausting the stack.
        QTest::newRow("deep") << QString("1[").repeated(100000)
                              << QString("1[").repeated(4096) + "1" + QString("]").repeated(4096);
    }

    void expansionText()
    {
        QFETCH(QString, text);
        QFETCH(QString, parsed);
        QCOMPARE(serializeExpansion(parseExpansion(text)), parsed);
    }

    void description()
    {
        // MIB text is shown as written: neither markup nor a placeholder. The node is iso.org.<node>(7).
        QVERIFY(m_mib.load(QStringLiteral("1 0 iso 1; 2 1 org 3; 3 2 x<b>%7 7 3 19")));
        Oid& node = *at("1.3.7");
        node.module = QStringLiteral("M&%2");
        node.filename = QStringLiteral("f%1.mib");
        node.lastUpdated = QDateTime(QDate(2023, 12, 31), QTime(23, 30), Qt::OffsetFromUTC, -3600); // shown in UTC
        node.enums = {{QStringLiteral("up%2"), 1}, {QStringLiteral("down"), -2}};
        node.ranges = {{-5, 5}, {10, 20}};
        node.description = "State: a < b & c\r\nnext line\n\"quoted\" %1";
        QCOMPARE(OidDescription::html(node),
                 QString("<table>\n"
                         "<tr><td\tcolspan=\"2\"><b>x&lt;b&gt;%7</b></td></tr>\n"
                         "<tr><td>Path:</td> <td>1.3.7</td></tr>\n"
                         "<tr><td>TextPath:</td> <td>iso.org.x&lt;b&gt;%7</td></tr>\n"
                         "<tr><td>Type:</td> <td>Integer<br>Enum: up%2(1), down(-2)<br>Range: -5-5, 10-20</td></tr>\n"
                         "<tr><td>Access:</td> <td>read-write</td></tr>\n"
                         "<tr><td>Module:</td> <td>M&amp;%2 (f%1.mib)</td></tr>\n"
                         "<tr><td>Last updated:</td> <td>2024-01-01</td></tr>\n"
                         "</table>"
                         "<br><br>State: a &lt; b &amp; c<br>next line<br>&quot;quoted&quot; %1"));
        // No file, date or description: no row or text for them.
        const QString bare = OidDescription::html(*at("1.3"));
        QVERIFY2(bare.endsWith(
                     "<tr><td>Access:</td> <td>unknown</td></tr>\n<tr><td>Module:</td> <td></td></tr>\n\n</table>"),
                 qPrintable(bare));
    }

private:
    TreeModel& model() const { return *m_mib.model; }
    OidPtr at(const char* path) const { return m_mib.at(path); }
    // The nodes in pre-order from the root (the walk comes back there after the last).
    QVector<OidPtr> walk() const
    {
        QVector<OidPtr> nodes;
        for (OidPtr oid = model().rootOid(); oid && (nodes.isEmpty() || oid != nodes.first()) && nodes.size() < 99999;
             oid = model().nextOid(oid))
            nodes << oid;
        return nodes;
    }
    QString names() const
    {
        QStringList list;
        for (const OidPtr& oid : walk())
            list << oid->name;
        return list.join(' ');
    }

    LoadedMib m_mib;
};

QTEST_GUILESS_MAIN(TestMib)
#include "test_mib.moc"
