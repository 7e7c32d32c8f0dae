#include "Expansion.h"
#include "TreeView.h"
#include "browse/LoadedMib.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QScrollBar>
#include <QtTest>

using MibTestDb::Node;

class TestTreeModel final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { m_model = nullptr; }
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
    void expansionText_data();
    void expansionText();
    void expansionOnView();
    void expansionRestoreOrder();
    void scrollToKeepsBranchVisible();

private:
    void load(const QVector<Node>& nodes = MibTestDb::sampleNodes(), bool loose = false)
    {
        m_model = m_mib.load(nodes, loose) ? m_mib.model.get() : nullptr;
        QVERIFY(m_model);
    }
    OidPtr at(const char* path) const { return m_mib.at(path); }
    // The names of a walk in pre-order from the root, until it comes back there (at most limit).
    QStringList walk(int limit) const;

    LoadedMib m_mib;
    TreeModel* m_model = nullptr;
};

namespace {

QStringList names(const QVector<OidPtr>& nodes)
{
    QStringList list;
    for (const OidPtr& oid : nodes)
        list << oid->name;
    return list;
}

} // namespace

QStringList TestTreeModel::walk(int limit) const
{
    QStringList names;
    const OidPtr root = m_model->rootOid();
    OidPtr oid = root;
    do {
        names << oid->name;
        oid = m_model->nextOid(oid);
    } while (oid != root && names.size() < limit);
    return names;
}

void TestTreeModel::modelStructure()
{
    load();
    QAbstractItemModelTester tester(m_model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    QCOMPARE(m_model->rowCount(), 1);
    QCOMPARE(m_model->columnCount(), 1);
    const QModelIndex root = m_model->index(0, 0);
    QCOMPARE(root.data().toString(), QStringLiteral("iso"));
    QCOMPARE(root.data(Qt::ToolTipRole).toString(), QStringLiteral("iso"));
    QCOMPARE(root.data(Qt::UserRole).toInt(), 1);
    QVERIFY(!m_model->index(1, 0).isValid());
    QVERIFY(!root.data(Qt::EditRole).isValid());

    const QModelIndex system = m_model->indexFromOid(at("1.3.6.1.2.1.1"));
    QCOMPARE(m_model->rowCount(system), 3);
    const QModelIndex sysName = m_model->index(2, 0, system);
    QCOMPARE(sysName.data().toString(), QStringLiteral("sysName"));
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
    QVERIFY(!m_model->find(nullptr, QStringLiteral("orphan"), Qt::CaseInsensitive, false, true, true).isValid());
    QVERIFY(!m_model->find(nullptr, QStringLiteral("Second"), Qt::CaseInsensitive, false, true, true).isValid());
}

void TestTreeModel::cyclesAndDuplicateIds()
{
    // 10 -> 11 -> 10 is a cycle away from the root; id 0 lists itself as its own parent;
    // id 3 appears twice, and one of the twins names its own id as parent.
    load({node(0, 0, "root", 1), node(2, 0, "zeroChild", 4), node(3, 0, "twinA", 2), node(3, 3, "twinB", 3),
          node(4, 3, "underTwin", 1), node(10, 11, "cycleA", 1), node(11, 10, "cycleB", 1), node(12, 12, "self", 9)},
         true);
    QAbstractItemModelTester tester(m_model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const OidPtr root = m_model->rootOid();
    QCOMPARE(root->name, QStringLiteral("root"));
    QCOMPARE(names(root->children), (QStringList{"twinA", "zeroChild"}));
    QVERIFY(!m_model->find(nullptr, QStringLiteral("cycle"), Qt::CaseSensitive, false, true, true).isValid());
    QVERIFY(!m_model->find(nullptr, QStringLiteral("self"), Qt::CaseSensitive, false, true, true).isValid());

    // Every node is reachable exactly once in pre-order.
    const QStringList walked = walk(20);
    QCOMPARE(walked.size(), QSet<QString>(walked.begin(), walked.end()).size());
    QVERIFY(walked.contains(QStringLiteral("underTwin")));
    QVERIFY(walked.contains(QStringLiteral("twinB")));
}

void TestTreeModel::deepChain()
{
    // A chain far deeper than any MIB must load, be walked and be freed without recursion.
    QVector<Node> nodes;
    for (int i = 1; i <= 50000; ++i)
        nodes << node(i, i - 1, "n", 1);
    load(nodes);
    QVERIFY(at(QByteArray("1").append(QByteArray(".1").repeated(49)).constData()));
    m_model->reload();
    QVERIFY(m_model->rootOid());
    m_mib.model.reset();
}

void TestTreeModel::emptyDatabase()
{
    load({});
    QAbstractItemModelTester tester(m_model, QAbstractItemModelTester::FailureReportingMode::QtTest);
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
    load();
    QCOMPARE(at(" .1.3.6.1.2.1.1.5 ")->name, QStringLiteral("sysName"));
    QVERIFY(!at("2.5"));
    QVERIFY(!at("1.3.6.1.2.1.1.99"));
    QVERIFY(!at("1.3.6.1.2.1.1.1.0"));
    QVERIFY(!at("sysDescr"));

    const OidPtr ifDescr = at("1.3.6.1.2.1.2.2.1.2");
    const QModelIndex index = m_model->indexFromOid(ifDescr);
    QCOMPARE(index.data().toString(), QStringLiteral("ifDescr"));
    QCOMPARE(static_cast<Oid*>(index.internalPointer()), ifDescr.get());
    QCOMPARE(m_model->indexFromOid(m_model->rootOid()), m_model->index(0, 0));

    // Siblings sharing a number: the first is found by path, each keeps its own row.
    QVector<Node> nodes = MibTestDb::sampleNodes();
    nodes << node(40, 7, "sysDescrAlias", 1);
    load(nodes);
    const OidPtr system = at("1.3.6.1.2.1.1");
    QCOMPARE(at("1.3.6.1.2.1.1.1")->name, QStringLiteral("sysDescr"));
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
    QTest::newRow("unknown below known") << QStringLiteral("1.3.6.1.4.1.9.9.1") << QStringLiteral("enterprises.9.9.1");
    QTest::newRow("foreign root") << QStringLiteral("9.9") << QStringLiteral("9.9");
    QTest::newRow("name") << QStringLiteral("sysDescr") << QStringLiteral("sysDescr");
    QTest::newRow("root only") << QStringLiteral("1") << QStringLiteral("iso");
}

void TestTreeModel::labels()
{
    QFETCH(QString, path);
    QFETCH(QString, label);
    if (!m_model)
        load();
    QCOMPARE(m_model->labelFromPath(path), label);
}

void TestTreeModel::preOrder()
{
    load();
    QCOMPARE(walk(100).join(' '), QString("iso org dod internet mgmt mib-2 system sysDescr sysObjectID sysName "
                                          "interfaces ifNumber ifTable ifEntry ifIndex ifDescr private enterprises "
                                          "vendorTrap snmpV2"));
    QCOMPARE(m_model->nextOid(at("1.3.6.1.6")), m_model->rootOid());

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
    QTest::newRow("from later node") << QString("1.3.6.1.2.1.1.2") << "sys" << false << false << true << false
                                     << "sysObjectID";
    QTest::newRow("wraps around") << QString("1.3.6.1.2.1.2") << "sysDescr" << false << false << true << false
                                  << "sysDescr";
    QTest::newRow("description ignored") << QString() << "administratively" << false << false << true << true << "";
    QTest::newRow("description searched")
        << QString() << "ADMINISTRATIVELY" << false << true << true << true << "sysName";
    QTest::newRow("nothing tested") << QString() << "sys" << false << false << false << false << "";
    QTest::newRow("empty text") << QString() << "" << false << true << true << true << "";
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
        load();
    const OidPtr startNode = start.isEmpty() ? OidPtr() : m_model->findByPath(start);
    QVERIFY(start.isEmpty() || startNode);
    const QModelIndex index = m_model->find(startNode, text, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive,
                                            inDescriptions, leaves, groups);
    QCOMPARE(index.data().toString(), found);
}

void TestTreeModel::expansionText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("normalized");
    QTest::newRow("single") << QString("1") << "1";
    QTest::newRow("siblings with children") << QString("1[2[5,6],3]") << "1[2[5,6],3]";
    QTest::newRow("missing brackets") << QString("1[3[6") << "1[3[6]]";
    QTest::newRow("garbage child") << QString("1[x") << "1";
    QTest::newRow("garbage after child") << QString("1[3x4]") << "1[3]";
    QTest::newRow("not a number") << QString("a[1]") << "";
    QTest::newRow("huge number") << QString("99999999999[1]") << "";
    QTest::newRow("blank breaks the list") << QString("1[3, 4]") << "1[3]";
    // Nesting no real tree has is cut off instead of exhausting the stack.
    QTest::newRow("far too deep") << QString("1[").repeated(100000)
                                  << QString("1[").repeated(4096) + "1" + QString("]").repeated(4096);
}

void TestTreeModel::expansionText()
{
    QFETCH(QString, text);
    QFETCH(QString, normalized);
    QCOMPARE(serializeExpansion(parseExpansion(text)), normalized);
}

void TestTreeModel::expansionOnView()
{
    load();
    TreeView view;
    view.setModel(m_model);
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
    restored.setModel(m_model);
    restoreExpansion(&restored, saved);
    QCOMPARE(saveExpansion(&restored), saved);
    QVERIFY(restored.isExpanded(m_model->indexFromOid(at("1.3.6.1.4"))));
    QVERIFY(!restored.isExpanded(m_model->indexFromOid(at("1.3.6.1.2.1.2"))));

    // A string recorded for another root changes nothing; numbers the tree lacks are passed over.
    TreeView other;
    other.setModel(m_model);
    restoreExpansion(&other, QStringLiteral("2[3]"));
    QCOMPARE(saveExpansion(&other), QString());
    restoreExpansion(&other, QStringLiteral("1[3[99,6]]"));
    QCOMPARE(saveExpansion(&other), QStringLiteral("1[3[6]]"));
}

void TestTreeModel::expansionRestoreOrder()
{
    load();
    TreeView view;
    view.setModel(m_model);
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
    view.setModel(m_model);
    view.setHeaderHidden(true);
    view.header()->setStretchLastSection(false);
    view.header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view.resize(200, 200);
    view.expandAll();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    const QModelIndex deep =
        m_model->indexFromOid(at(QByteArray("1").append(QByteArray(".1").repeated(39)).constData()));
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
