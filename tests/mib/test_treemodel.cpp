#include "mib/Expansion.h"
#include "ui/browser/TreeExpansion.h"
#include "ui/browser/TreeView.h"
#include "LoadedMib.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QScrollBar>
#include <QtTest>

class TestTreeModel final : public QObject
{
    Q_OBJECT

private slots:
    void modelStructure();
    void brokenTrees();
    void deepChain();
    void lookups();
    void expansionText();
    void expansionOnView();
    void scrollToKeepsBranchVisible();

private:
    TreeModel& model() const { return *m_mib.model; }
    OidPtr at(const char* path) const { return m_mib.at(path); }
    QModelIndex indexAt(const char* path) const { return m_mib.indexAt(path); }
    bool reachable(const char* text) const
    {
        return model().find(nullptr, QLatin1String(text), Qt::CaseInsensitive, false, true, true).isValid();
    }
    // The names of a walk in pre-order from the root, until it comes back there (at most limit).
    QStringList walk(int limit) const
    {
        QStringList names;
        OidPtr oid = model().rootOid();
        do {
            names << oid->name;
            oid = model().nextOid(oid);
        } while (oid != model().rootOid() && names.size() < limit);
        return names;
    }

    LoadedMib m_mib;
};

namespace {

QStringList names(const QVector<OidPtr>& nodes)
{
    QStringList list;
    for (const OidPtr& oid : nodes)
        list << oid->name;
    return list;
}

QByteArray chainPath(int length)
{
    return QByteArray("1").append(QByteArray(".1").repeated(length - 1));
}

} // namespace

void TestTreeModel::modelStructure()
{
    QVERIFY(m_mib.load(QVector<MibTestDb::Node>(MibTestDb::sampleNodes()) << MibTestDb::parse("30 19 trapChild 1")));
    QAbstractItemModelTester tester(&model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model().rowCount(), 1);
    QCOMPARE(model().columnCount(), 1);
    const QModelIndex root = model().index(0, 0);
    QCOMPARE(root.data().toString(), QStringLiteral("iso"));
    QCOMPARE(root.data(Qt::ToolTipRole).toString(), QStringLiteral("iso"));
    QCOMPARE(root.data(Qt::UserRole).toInt(), 1);
    QVERIFY(!model().index(1, 0).isValid());
    QVERIFY(!root.data(Qt::EditRole).isValid());

    const QModelIndex system = indexAt("1.3.6.1.2.1.1");
    QCOMPARE(model().rowCount(system), 3);
    const QModelIndex sysName = model().index(2, 0, system);
    QCOMPARE(sysName.data().toString(), QStringLiteral("sysName"));
    QVERIFY(!model().index(3, 0, system).isValid() && !model().index(-1, 0, system).isValid());
    QCOMPARE(model().flags(sysName), Qt::ItemIsEnabled | Qt::ItemIsSelectable);

    // Children in ascending number order whatever order the rows came in.
    QCOMPARE(names(at("1.3.6.1")->children), (QStringList{"mgmt", "private", "snmpV2"}));
    QCOMPARE(at("1.3.6.1.4")->parent.lock(), at("1.3.6.1"));
    QCOMPARE(indexAt("1.3.6.1.6").row(), 2);

    // A notification keeps its icon even when it has children.
    const QModelIndex trap = indexAt("1.3.6.1.4.1.7");
    QVERIFY(model().hasChildren(trap));
    auto icon = [](const QModelIndex& index) { return index.data(Qt::DecorationRole).value<QIcon>(); };
    const qint64 notification = icon(trap).cacheKey();
    const qint64 leaf = icon(model().index(0, 0, trap)).cacheKey();
    const qint64 group = icon(indexAt("1.3.6.1.4.1")).cacheKey();
    QVERIFY(!icon(trap).isNull());
    QCOMPARE(icon(indexAt("1.3.6.1.2.1.1.1")).cacheKey(), leaf);
    QCOMPARE(icon(indexAt("1.3.6.1.2.1")).cacheKey(), group);
    QVERIFY(notification != leaf && notification != group && leaf != group);

    QCOMPARE(walk(100).join(' '), QString("iso org dod internet mgmt mib-2 system sysDescr sysObjectID sysName "
                                          "interfaces ifNumber ifTable ifEntry ifIndex ifDescr private enterprises "
                                          "vendorTrap trapChild snmpV2"));
    QCOMPARE(model().nextOid(at("1.3.6.1.6")), model().rootOid());
    QVERIFY(m_mib.load(QStringLiteral("1 0 lonely 1")));
    QCOMPARE(model().nextOid(model().rootOid()), model().rootOid());
}

void TestTreeModel::brokenTrees()
{
    // One top-level node becomes the root; an orphan and the other top-level branch are unreachable.
    QVERIFY(m_mib.load(QStringLiteral("1 0 second 2; 2 0 first 1; 3 2 child 5; 4 999 orphan 7; 5 1 underSecond 1")));
    QCOMPARE(model().rowCount(), 1);
    QCOMPARE(model().rootOid()->name, QStringLiteral("first"));
    QCOMPARE(at("1.5")->name, QStringLiteral("child"));
    QVERIFY(!at("2") && !at("2.1") && !at("1.7"));
    QVERIFY(!reachable("orphan") && !reachable("Second"));

    // 10 -> 11 -> 10 is a cycle away from the root; id 0 lists itself as its own parent;
    // id 3 appears twice, and one of the twins names its own id as parent.
    QVERIFY(m_mib.load(QStringLiteral("0 0 root 1; 2 0 zeroChild 4; 3 0 twinA 2; 3 3 twinB 3; 4 3 underTwin 1;"
                                      "10 11 cycleA 1; 11 10 cycleB 1; 12 12 self 9"),
                       true));
    {
        QAbstractItemModelTester tester(&model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model().rootOid()->name, QStringLiteral("root"));
        QCOMPARE(names(model().rootOid()->children), (QStringList{"twinA", "zeroChild"}));
        QVERIFY(!reachable("cycle") && !reachable("self"));
        // Every node is reachable exactly once in pre-order.
        const QStringList walked = walk(20);
        QCOMPARE(walked.size(), QSet<QString>(walked.begin(), walked.end()).size());
        QVERIFY(walked.contains(QStringLiteral("underTwin")) && walked.contains(QStringLiteral("twinB")));
    }

    // No rows, or only nodes whose parents are missing: no tree, and nothing breaks.
    for (const QString& text : {QString(), QStringLiteral("1 5 a 1; 2 1 b 1")}) {
        QVERIFY(m_mib.load(text));
        QAbstractItemModelTester tester(&model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model().rowCount(), 0);
        QVERIFY(!model().index(0, 0).isValid() && !at("1"));
        QVERIFY(!model().indexFromOid(OidPtr()).isValid() && !model().nextOid(OidPtr()));
        QCOMPARE(model().labelFromPath(QStringLiteral("1.3.6")), QStringLiteral("1.3.6"));
        QVERIFY(!model().find(nullptr, QStringLiteral("a"), Qt::CaseSensitive, true, true, true).isValid());
    }
}

void TestTreeModel::deepChain()
{
    // A chain far deeper than any MIB must load, be walked and be freed without recursion.
    QString text;
    for (int i = 1; i <= 50000; ++i)
        text += QStringLiteral("%1 %2 n 1;").arg(i).arg(i - 1);
    QVERIFY(m_mib.load(text));
    QVERIFY(at(chainPath(50).constData()));
    model().reload();
    QVERIFY(model().rootOid());
    m_mib.model.reset();
}

void TestTreeModel::lookups()
{
    QVERIFY(m_mib.load(QVector<MibTestDb::Node>(MibTestDb::sampleNodes()) << MibTestDb::parse("40 7 sysDescrAlias 1")));
    QCOMPARE(at(" .1.3.6.1.2.1.1.5 ")->name, QStringLiteral("sysName"));
    for (const char* missing : {"2.5", "1.3.6.1.2.1.1.99", "1.3.6.1.2.1.1.1.0", "sysDescr"})
        QVERIFY2(!at(missing), missing);
    const OidPtr ifDescr = at("1.3.6.1.2.1.2.2.1.2");
    QCOMPARE(static_cast<Oid*>(model().indexFromOid(ifDescr).internalPointer()), ifDescr.get());
    QCOMPARE(model().indexFromOid(model().rootOid()), model().index(0, 0));
    const QString labels = "1.3.6.1.2.1.1.1.0=sysDescr.0 1.3.6.1.2.1.1.1=sysDescr 1.3.6.1.4.1.9.9.1=enterprises.9.9.1 "
                           "9.9=9.9 sysDescr=sysDescr 1=iso"; // path=label
    for (const QString& pair : labels.split(' '))
        QCOMPARE(model().labelFromPath(pair.section('=', 0, 0)), pair.section('=', 1));

    // Siblings sharing a number: the first is found by path, each keeps its own row.
    const OidPtr system = at("1.3.6.1.2.1.1");
    QCOMPARE(at("1.3.6.1.2.1.1.1")->name, QStringLiteral("sysDescr"));
    QCOMPARE(system->children.size(), 4);
    for (int row = 0; row < system->children.size(); ++row)
        QCOMPARE(model().indexFromOid(system->children.at(row)).row(), row);
}

void TestTreeModel::expansionText()
{
    const char* const cases[][2] = {
        {"1", "1"},           {"1[2[5,6],3]", "1[2[5,6],3]"},
        {"1[3[6", "1[3[6]]"}, // missing brackets
        {"1[x", "1"},         {"1[3x4]", "1[3]"},
        {"a[1]", ""},         {"99999999999[1]", ""},
        {"1[3, 4]", "1[3]"}, // a blank ends the list
    };
    for (const auto& row : cases)
        QCOMPARE(serializeExpansion(parseExpansion(row[0])), QString(row[1]));
    // Nesting no real tree has is cut off instead of exhausting the stack.
    QCOMPARE(serializeExpansion(parseExpansion(QString("1[").repeated(100000))),
             QString("1[").repeated(4096) + "1" + QString("]").repeated(4096));
}

void TestTreeModel::expansionOnView()
{
    QVERIFY(m_mib.load());
    TreeView view;
    view.setModel(&model());
    QCOMPARE(saveExpansion(&view), QString());
    view.expand(model().index(0, 0));
    QCOMPARE(saveExpansion(&view), QStringLiteral("1"));
    for (const char* path : {"1.3", "1.3.6", "1.3.6.1", "1.3.6.1.2", "1.3.6.1.4", "1.3.6.1.2.1", "1.3.6.1.2.1.2"})
        view.expand(indexAt(path));
    // An expanded branch under a collapsed parent is not recorded.
    view.expand(indexAt("1.3.6.1.2.1.2.2"));
    view.collapse(indexAt("1.3.6.1.2.1.2"));
    const QString saved = saveExpansion(&view);
    QCOMPARE(saved, QStringLiteral("1[3[6[1[2[1],4]]]]"));

    // A second window over a reloaded model gets the same branches back, parents expanded last.
    model().reload();
    TreeView restored;
    restored.setModel(&model());
    QStringList order;
    connect(&restored, &QTreeView::expanded, this, [&order](const QModelIndex& i) { order << i.data().toString(); });
    restoreExpansion(&restored, saved);
    QCOMPARE(saveExpansion(&restored), saved);
    QCOMPARE(order.mid(order.size() - 3), (QStringList{"dod", "org", "iso"}));
    QVERIFY(restored.isExpanded(indexAt("1.3.6.1.4")));
    QVERIFY(!restored.isExpanded(indexAt("1.3.6.1.2.1.2")));

    // A string recorded for another root changes nothing; numbers the tree lacks are passed over.
    TreeView other;
    other.setModel(&model());
    restoreExpansion(&other, QStringLiteral("2[3]"));
    QCOMPARE(saveExpansion(&other), QString());
    restoreExpansion(&other, QStringLiteral("1[3[99,6]]"));
    QCOMPARE(saveExpansion(&other), QStringLiteral("1[3[6]]"));
}

void TestTreeModel::scrollToKeepsBranchVisible()
{
    // A deep, narrow branch in a narrow view: the selected node comes into view sideways
    // with one indentation step of its branch still visible.
    QString text;
    for (int i = 1; i <= 40; ++i)
        text += QStringLiteral("%1 %2 %3 1;")
                    .arg(i)
                    .arg(i - 1)
                    .arg(QString(i == 40 ? "aRatherLongLeafNameAtTheBottom" : "b"));
    QVERIFY(m_mib.load(text));
    TreeView view;
    view.setModel(&model());
    view.setHeaderHidden(true);
    view.header()->setStretchLastSection(false);
    view.header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view.resize(200, 200);
    view.expandAll();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    const QModelIndex deep = indexAt(chainPath(40).constData());
    QVERIFY(deep.isValid());
    view.scrollTo(deep, QAbstractItemView::PositionAtCenter);
    QTRY_VERIFY(view.horizontalScrollBar()->value() > 0);
    const QRect rect = view.visualRect(deep);
    QVERIFY2(rect.left() >= view.indentation() - 1, qPrintable(QString::number(rect.left())));
    QVERIFY(rect.left() < view.viewport()->width());

    // Scrolling back to the root returns to the left edge; an invalid index changes nothing.
    view.scrollTo(model().index(0, 0));
    QCOMPARE(view.horizontalScrollBar()->value(), 0);
    view.scrollTo(QModelIndex());
    QCOMPARE(view.horizontalScrollBar()->value(), 0);
}

QTEST_MAIN(TestTreeModel)
#include "test_treemodel.moc"
