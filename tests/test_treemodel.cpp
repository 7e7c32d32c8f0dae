#include "Expansion.h"
#include "MibDatabase.h"
#include "MibTestDb.h"
#include "TreeModel.h"
#include "TreeView.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using MibTestDb::Node;

class TestTreeModel final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void modelStructure();
    void rootChoiceAndOrphans();
    void cyclesAndDuplicateIds();
    void deepChain();
    void emptyDatabase();
    void lookups();
    void labels_data();
    void labels();
    void preOrder();
    void find_data();
    void find();
    void findInDescriptionsAgreesWithQString();
    void expansionText_data();
    void expansionText();
    void expansionOnView();
    void expansionRestoreOrder();
    void scrollToKeepsBranchVisible();

private:
    // Loads nodes into a fresh database and model.
    // Loads nodes into a fresh database and model; a loose node table takes duplicate ids.
    void load(const QVector<Node>& nodes, bool loose = false);
    OidPtr at(const char* path) const { return m_model->findByPath(QLatin1String(path)); }

    QTemporaryDir m_dir;
    int m_files = 0;
    std::unique_ptr<MibDatabase> m_db;
    std::unique_ptr<TreeModel> m_model;
};

namespace {

Node node(qint64 id, qint64 parent, const char* name, int number, int type = 0)
{
    Node n;
    n.id = id;
    n.parentId = parent;
    n.name = QString::fromLatin1(name);
    n.number = number;
    n.type = type;
    return n;
}

QStringList names(const QVector<OidPtr>& nodes)
{
    QStringList list;
    for (const OidPtr& oid : nodes)
        list << oid->name;
    return list;
}

} // namespace

void TestTreeModel::init()
{
    QVERIFY(m_dir.isValid());
}

void TestTreeModel::cleanup()
{
    m_model.reset();
    m_db.reset();
}

void TestTreeModel::load(const QVector<Node>& nodes, bool loose)
{
    m_model.reset();
    m_db.reset();
    const QString file = m_dir.filePath(QStringLiteral("mib%1.db").arg(++m_files));
    if (loose) {
        QVERIFY(MibTestDb::exec(file, {"CREATE TABLE node (id, name, number, access, type, module, filename, "
                                       "last_updated, description, parent_id)"}));
    }
    QVERIFY(MibTestDb::create(file, nodes));
    m_db = std::make_unique<MibDatabase>();
    m_db->setFileName(file);
    QCOMPARE(m_db->open(true), int(MibDatabase::Usable));
    m_model = std::make_unique<TreeModel>(*m_db);
    m_model->reload();
}

void TestTreeModel::modelStructure()
{
    load(MibTestDb::sampleNodes());
    QAbstractItemModelTester tester(m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);

    QCOMPARE(m_model->rowCount(), 1);
    QCOMPARE(m_model->columnCount(), 1);
    const QModelIndex root = m_model->index(0, 0);
    QCOMPARE(root.data().toString(), QStringLiteral("iso"));
    QCOMPARE(root.data(Qt::ToolTipRole).toString(), QStringLiteral("iso"));
    QCOMPARE(root.data(Qt::UserRole).toInt(), 1);
    QVERIFY(!m_model->index(1, 0).isValid());
    QVERIFY(!m_model->parent(root).isValid());
    QVERIFY(!root.data(Qt::EditRole).isValid());

    const QModelIndex system = m_model->indexFromOid(at("1.3.6.1.2.1.1"));
    QCOMPARE(m_model->rowCount(system), 3);
    const QModelIndex sysName = m_model->index(2, 0, system);
    QCOMPARE(sysName.data().toString(), QStringLiteral("sysName"));
    QCOMPARE(sysName.parent(), system);
    QCOMPARE(system.row(), 0);
    QVERIFY(!m_model->index(3, 0, system).isValid());
    QVERIFY(!m_model->index(-1, 0, system).isValid());
    QCOMPARE(m_model->flags(sysName), Qt::ItemIsEnabled | Qt::ItemIsSelectable);

    // Children in ascending number order whatever order the rows came in.
    const OidPtr internet = at("1.3.6.1");
    QCOMPARE(names(internet->children), (QStringList{"mgmt", "private", "snmpV2"}));
    QCOMPARE(at("1.3.6.1.4")->parent.lock(), internet);
    QCOMPARE(m_model->indexFromOid(at("1.3.6.1.6")).row(), 2);

    // A notification keeps its icon even when it has children.
    QVector<Node> nodes = MibTestDb::sampleNodes();
    nodes << node(30, 19, "trapChild", 1);
    load(nodes);
    const QModelIndex trap = m_model->indexFromOid(at("1.3.6.1.4.1.7"));
    QVERIFY(m_model->hasChildren(trap));
    auto iconKey = [](const QModelIndex& index) { return index.data(Qt::DecorationRole).value<QIcon>().cacheKey(); };
    const qint64 notification = iconKey(trap);
    const qint64 leaf = iconKey(m_model->index(0, 0, trap));
    const qint64 group = iconKey(m_model->indexFromOid(at("1.3.6.1.4.1")));
    QVERIFY(!trap.data(Qt::DecorationRole).value<QIcon>().isNull());
    QCOMPARE(iconKey(m_model->indexFromOid(at("1.3.6.1.2.1.1.1"))), leaf);
    QCOMPARE(iconKey(m_model->indexFromOid(at("1.3.6.1.2.1"))), group);
    QVERIFY(notification != leaf && notification != group && leaf != group);
}

void TestTreeModel::rootChoiceAndOrphans()
{
    load({node(1, 0, "second", 2), node(2, 0, "first", 1), node(3, 2, "child", 5), node(4, 999, "orphan", 7),
          node(5, 1, "underSecond", 1)});
    QCOMPARE(m_model->rowCount(), 1);
    QCOMPARE(m_model->rootOid()->name, QStringLiteral("first"));
    QCOMPARE(at("1.5")->name, QStringLiteral("child"));
    QVERIFY(!at("2"));
    QVERIFY(!at("2.1"));
    QVERIFY(!at("1.7"));
    // The orphan and the other top-level branch are unreachable by any walk.
    QModelIndex found = m_model->find(nullptr, QStringLiteral("orphan"), Qt::CaseInsensitive, false, true, true);
    QVERIFY(!found.isValid());
    found = m_model->find(nullptr, QStringLiteral("Second"), Qt::CaseInsensitive, false, true, true);
    QVERIFY(!found.isValid());
}

void TestTreeModel::cyclesAndDuplicateIds()
{
    // 10 -> 11 -> 10 is a cycle away from the root; id 0 lists itself as its own parent;
    // id 3 appears twice, and one of the twins names its own id as parent.
    load({node(0, 0, "root", 1), node(2, 0, "zeroChild", 4), node(3, 0, "twinA", 2), node(3, 3, "twinB", 3),
          node(4, 3, "underTwin", 1), node(10, 11, "cycleA", 1), node(11, 10, "cycleB", 1), node(12, 12, "self", 9)},
         true);
    QAbstractItemModelTester tester(m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    const OidPtr root = m_model->rootOid();
    QCOMPARE(root->name, QStringLiteral("root"));
    QCOMPARE(names(root->children), (QStringList{"twinA", "zeroChild"}));
    QVERIFY(!m_model->find(nullptr, QStringLiteral("cycle"), Qt::CaseSensitive, false, true, true).isValid());
    QVERIFY(!m_model->find(nullptr, QStringLiteral("self"), Qt::CaseSensitive, false, true, true).isValid());

    // Every node is reachable exactly once in pre-order.
    QStringList walk;
    OidPtr oid = root;
    do {
        walk << oid->name;
        oid = m_model->nextOid(oid);
    } while (oid != root && walk.size() < 20);
    QCOMPARE(walk.size(), QSet<QString>(walk.begin(), walk.end()).size());
    QVERIFY(walk.contains(QStringLiteral("underTwin")));
    QVERIFY(walk.contains(QStringLiteral("twinB")));
}

void TestTreeModel::deepChain()
{
    // A chain far deeper than any MIB must load, be walked and be freed without recursion.
    QVector<Node> nodes;
    const int depth = 50000;
    for (int i = 1; i <= depth; ++i)
        nodes << node(i, i - 1, "n", 1);
    load(nodes);
    QString path = QStringLiteral("1");
    for (int i = 1; i < 50; ++i)
        path += QStringLiteral(".1");
    QVERIFY(at(path.toLatin1().constData()));
    m_model->reload();
    QVERIFY(m_model->rootOid());
    m_model.reset();
}

void TestTreeModel::emptyDatabase()
{
    load({});
    QAbstractItemModelTester tester(m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(m_model->rowCount(), 0);
    QVERIFY(!m_model->index(0, 0).isValid());
    QVERIFY(!at("1"));
    QVERIFY(!m_model->indexFromOid(OidPtr()).isValid());
    QVERIFY(!m_model->nextOid(OidPtr()));
    QCOMPARE(m_model->labelFromPath(QStringLiteral("1.3.6")), QStringLiteral("1.3.6"));
    QVERIFY(!m_model->find(nullptr, QStringLiteral("x"), Qt::CaseSensitive, true, true, true).isValid());

    // Only nodes whose parents exist: no top-level node, no tree.
    load({node(1, 5, "a", 1), node(2, 1, "b", 1)});
    QCOMPARE(m_model->rowCount(), 0);
}

void TestTreeModel::lookups()
{
    load(MibTestDb::sampleNodes());
    QCOMPARE(at("1.3.6.1")->name, QStringLiteral("internet"));
    QCOMPARE(at(" .1.3.6.1.2.1.1.5 ")->name, QStringLiteral("sysName"));
    QVERIFY(!at("2.5"));
    QVERIFY(!at("1.3.6.1.2.1.1.99"));
    QVERIFY(!at("1.3.6.1.2.1.1.1.0"));
    QVERIFY(!at("sysDescr"));
    QVERIFY(!at(""));

    const OidPtr ifDescr = at("1.3.6.1.2.1.2.2.1.2");
    const QModelIndex index = m_model->indexFromOid(ifDescr);
    QCOMPARE(index.data().toString(), QStringLiteral("ifDescr"));
    QCOMPARE(static_cast<Oid*>(index.internalPointer()), ifDescr.get());
    QCOMPARE(ifDescr->numericPath(), QStringLiteral("1.3.6.1.2.1.2.2.1.2"));
    QCOMPARE(ifDescr->textPath(), QStringLiteral("iso.org.dod.internet.mgmt.mib-2.interfaces.ifTable.ifEntry.ifDescr"));
    QCOMPARE(m_model->indexFromOid(m_model->rootOid()), m_model->index(0, 0));

    // Siblings sharing a number: the first is found by path, each keeps its own row.
    QVector<Node> nodes = MibTestDb::sampleNodes();
    nodes << node(40, 7, "sysDescrAlias", 1);
    load(nodes);
    const OidPtr system = at("1.3.6.1.2.1.1");
    QCOMPARE(system->children.size(), 4);
    for (int row = 0; row < system->children.size(); ++row)
        QCOMPARE(m_model->indexFromOid(system->children.at(row)).row(), row);
}

void TestTreeModel::labels_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("label");
    QTest::newRow("instance") << QStringLiteral("1.3.6.1.2.1.1.1.0") << QStringLiteral("sysDescr.0");
    QTest::newRow("known node") << QStringLiteral("1.3.6.1.2.1.1.1") << QStringLiteral("sysDescr");
    QTest::newRow("table cell") << QStringLiteral("1.3.6.1.2.1.2.2.1.2.10") << QStringLiteral("ifDescr.10");
    QTest::newRow("unknown below known") << QStringLiteral("1.3.6.1.4.1.9.9.1") << QStringLiteral("enterprises.9.9.1");
    QTest::newRow("leading dot") << QStringLiteral(".1.3.6.1.2.1.1.5.0") << QStringLiteral("sysName.0");
    QTest::newRow("foreign root") << QStringLiteral("9.9") << QStringLiteral("9.9");
    QTest::newRow("name") << QStringLiteral("sysDescr") << QStringLiteral("sysDescr");
    QTest::newRow("root only") << QStringLiteral("1") << QStringLiteral("iso");
}

void TestTreeModel::labels()
{
    QFETCH(QString, path);
    QFETCH(QString, label);
    if (!m_model)
        load(MibTestDb::sampleNodes());
    QCOMPARE(m_model->labelFromPath(path), label);
}

void TestTreeModel::preOrder()
{
    load(MibTestDb::sampleNodes());
    QStringList walk;
    const OidPtr root = m_model->rootOid();
    OidPtr oid = root;
    do {
        walk << oid->name;
        oid = m_model->nextOid(oid);
    } while (oid != root && walk.size() < 100);
    QCOMPARE(walk, (QStringList{"iso", "org", "dod", "internet", "mgmt", "mib-2", "system", "sysDescr",
                                "sysObjectID", "sysName", "interfaces", "ifNumber", "ifTable", "ifEntry",
                                "ifIndex", "ifDescr", "private", "enterprises", "vendorTrap", "snmpV2"}));
    QCOMPARE(m_model->nextOid(at("1.3.6.1.6")), root);

    load({node(1, 0, "lonely", 1)});
    QCOMPARE(m_model->nextOid(m_model->rootOid()), m_model->rootOid());
}

void TestTreeModel::find_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("inDescriptions");
    QTest::addColumn<bool>("leaves");
    QTest::addColumn<bool>("groups");
    QTest::addColumn<QString>("found");

    QTest::newRow("leaf from root") << QString() << "sys" << false << false << true << false << "sysDescr";
    QTest::newRow("group from root") << QString() << "sys" << false << false << false << true << "system";
    QTest::newRow("both from root") << QString() << "SYS" << false << false << true << true << "system";
    QTest::newRow("case matters") << QString() << "SYS" << true << false << true << true << "";
    QTest::newRow("case matches") << QString() << "Name" << true << false << true << false << "sysName";
    QTest::newRow("from later node") << "1.3.6.1.2.1.1.2" << "sys" << false << false << true << false << "sysObjectID";
    QTest::newRow("wraps around") << "1.3.6.1.2.1.2" << "sysDescr" << false << false << true << false << "sysDescr";
    QTest::newRow("only match is start") << "1.3.6.1.2.1.1.5" << "sysName" << false << false << true << true
                                         << "sysName";
    QTest::newRow("description ignored") << QString() << "administratively" << false << false << true << true << "";
    QTest::newRow("description searched") << QString() << "ADMINISTRATIVELY" << false << true << true << true
                                          << "sysName";
    QTest::newRow("nothing tested") << QString() << "sys" << false << false << false << false << "";
    QTest::newRow("empty text") << QString() << "" << false << true << true << true << "";
    QTest::newRow("vendor start wraps") << "1.3.6.1.4.1" << "if" << false << false << true << false << "ifNumber";
}

void TestTreeModel::find()
{
    QFETCH(QString, start);
    QFETCH(QString, text);
    QFETCH(bool, matchCase);
    QFETCH(bool, inDescriptions);
    QFETCH(bool, leaves);
    QFETCH(bool, groups);
    QFETCH(QString, found);
    if (!m_model)
        load(MibTestDb::sampleNodes());
    const OidPtr startNode = start.isEmpty() ? OidPtr() : m_model->findByPath(start);
    QVERIFY(start.isEmpty() || startNode);
    const QModelIndex index = m_model->find(startNode, text, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive,
                                            inDescriptions, leaves, groups);
    QCOMPARE(index.data().toString(), found);
}

void TestTreeModel::findInDescriptionsAgreesWithQString()
{
    // Descriptions are searched as UTF-8 bytes; whatever the text and case rule, the node
    // found must be the one a search through QString::contains finds.
    const QStringList descriptions = {
        "Plain ASCII text about the CPU load.", "Temperatur der Kühlung in °C.", "ΣΥΣΤΗΜΑ σύστημα",
        "Kelvin sign \u212A here", "long s \u017F here", "", "mixed ASCII and Ärger",
    };
    QVector<Node> nodes{node(1, 0, "root", 1)};
    for (int i = 0; i < descriptions.size(); ++i) {
        Node leaf = node(10 + i, 1, "leaf", i + 1);
        leaf.description = descriptions.at(i);
        nodes << leaf;
    }
    load(nodes);
    const QStringList texts = {"cpu",   "CPU",  "KÜHLUNG", "kühlung", "°c",  "σύστημα", "ΣΎΣΤΗΜΑ",
                               "k here", "s here", "ärger", "ÄRGER",  "\u212A", "nothing", "e"};
    for (const QString& text : texts) {
        for (Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
            QString expected;
            for (int i = 0; i < descriptions.size() && expected.isEmpty(); ++i) {
                if (descriptions.at(i).contains(text, cs))
                    expected = QString::number(i + 1);
            }
            const QModelIndex found = m_model->find(nullptr, text, cs, true, true, false);
            const QString actual = found.isValid() ? found.data(Qt::UserRole).toString() : QString();
            QVERIFY2(actual == expected, qPrintable(QStringLiteral("%1 (%2): %3 instead of %4")
                                                        .arg(text)
                                                        .arg(cs == Qt::CaseSensitive ? "case" : "no case")
                                                        .arg(actual, expected)));
        }
    }
}

void TestTreeModel::expansionText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("normalized");
    QTest::newRow("nested") << "1[3[6[1[2,4]]]]" << "1[3[6[1[2,4]]]]";
    QTest::newRow("single") << "1" << "1";
    QTest::newRow("siblings with children") << "1[2[5,6],3]" << "1[2[5,6],3]";
    QTest::newRow("missing brackets") << "1[3[6" << "1[3[6]]";
    QTest::newRow("garbage child") << "1[x" << "1";
    QTest::newRow("garbage after child") << "1[3x4]" << "1[3]";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("not a number") << "a[1]" << "";
    QTest::newRow("huge number") << "99999999999[1]" << "";
    QTest::newRow("blank breaks the list") << "1[3, 4]" << "1[3]";
}

void TestTreeModel::expansionText()
{
    QFETCH(QString, text);
    QFETCH(QString, normalized);
    QCOMPARE(serializeExpansion(parseExpansion(text)), normalized);
}

void TestTreeModel::expansionOnView()
{
    load(MibTestDb::sampleNodes());
    TreeView view;
    view.setModel(m_model.get());
    const QModelIndex root = m_model->index(0, 0);
    QCOMPARE(saveExpansion(&view), QString());
    view.expand(root);
    QCOMPARE(saveExpansion(&view), QStringLiteral("1"));

    for (const char* path : {"1.3", "1.3.6", "1.3.6.1", "1.3.6.1.2", "1.3.6.1.4", "1.3.6.1.2.1", "1.3.6.1.2.1.2"})
        view.expand(m_model->indexFromOid(at(path)));
    // An expanded branch under a collapsed parent is not recorded.
    view.expand(m_model->indexFromOid(at("1.3.6.1.2.1.2.2")));
    view.collapse(m_model->indexFromOid(at("1.3.6.1.2.1.2")));
    const QString saved = saveExpansion(&view);
    QCOMPARE(saved, QStringLiteral("1[3[6[1[2[1],4]]]]"));

    // A second window over a reloaded model gets the same branches back.
    m_model->reload();
    TreeView restored;
    restored.setModel(m_model.get());
    restoreExpansion(&restored, saved);
    QCOMPARE(saveExpansion(&restored), saved);
    QVERIFY(restored.isExpanded(m_model->indexFromOid(at("1.3.6.1.4"))));
    QVERIFY(!restored.isExpanded(m_model->indexFromOid(at("1.3.6.1.2.1.2"))));

    // A string recorded for another root changes nothing; a damaged one degrades.
    TreeView other;
    other.setModel(m_model.get());
    restoreExpansion(&other, QStringLiteral("2[3]"));
    QCOMPARE(saveExpansion(&other), QString());
    restoreExpansion(&other, QStringLiteral("1[x"));
    QCOMPARE(saveExpansion(&other), QStringLiteral("1"));
    restoreExpansion(&other, QStringLiteral("1[3[99,6]]"));
    QCOMPARE(saveExpansion(&other), QStringLiteral("1[3[6]]"));
    restoreExpansion(&other, QString(100000, QLatin1Char('1')) + QString(100000, QLatin1Char('[')));
}

void TestTreeModel::expansionRestoreOrder()
{
    load(MibTestDb::sampleNodes());
    TreeView view;
    view.setModel(m_model.get());
    QStringList order;
    connect(&view, &QTreeView::expanded, this,
            [&order](const QModelIndex& index) { order << index.data().toString(); });
    restoreExpansion(&view, QStringLiteral("1[3[6]]"));
    QCOMPARE(order, (QStringList{"dod", "org", "iso"}));
}

void TestTreeModel::scrollToKeepsBranchVisible()
{
    // A deep, narrow branch in a narrow view: the selected node comes into view sideways
    // with one indentation step of its branch still visible.
    QVector<Node> nodes;
    for (int i = 1; i <= 40; ++i)
        nodes << node(i, i - 1, i == 40 ? "aRatherLongLeafNameAtTheBottom" : "branch", 1);
    load(nodes);
    TreeView view;
    view.setModel(m_model.get());
    view.setHeaderHidden(true);
    view.header()->setStretchLastSection(false);
    view.header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view.resize(200, 200);
    view.expandAll();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QString path = QStringLiteral("1");
    for (int i = 2; i <= 40; ++i)
        path += QStringLiteral(".1");
    const QModelIndex deep = m_model->indexFromOid(at(path.toLatin1().constData()));
    QVERIFY(deep.isValid());
    view.scrollTo(deep, QAbstractItemView::PositionAtCenter);
    QTRY_VERIFY(view.horizontalScrollBar()->value() > 0);
    const QRect rect = view.visualRect(deep);
    QVERIFY2(rect.left() >= view.indentation() - 1, qPrintable(QString::number(rect.left())));
    QVERIFY(rect.left() < view.viewport()->width());

    // Scrolling back to the root returns to the left edge; an invalid index changes nothing.
    view.scrollTo(m_model->index(0, 0));
    QCOMPARE(view.horizontalScrollBar()->value(), 0);
    view.scrollTo(QModelIndex());
    QCOMPARE(view.horizontalScrollBar()->value(), 0);
}

QTEST_MAIN(TestTreeModel)
#include "test_treemodel.moc"
