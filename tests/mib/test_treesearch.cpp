#include "LoadedMib.h"

#include <QRandomGenerator>
#include <QtTest>

// The tree model's search against the plain definition: the first node in pre-order from
// the start node, wrapping around once, that is tested and whose name (or description)
// contains the text.
class TestTreeSearch final : public QObject
{
    Q_OBJECT

private slots:
    void agreesWithPreOrderWalk();
    void staleStartNode();

private:
    LoadedMib m_mib;
};

namespace {

// Letters that fold into each other in several ways: ASCII case, Latin-1 and Greek case (with
// the final sigma), and the Kelvin sign and the long s, which match k and s without case.
const QString alphabet = QStringLiteral("aAkKsS-\u00e9\u00c9\u212a\u017f\u03c3\u03a3\u03c2");

QString randomText(QRandomGenerator& random, int maxLength)
{
    QString text;
    for (int i = 1 + int(random.bounded(maxLength)); i > 0; --i)
        text += alphabet.at(int(random.bounded(alphabet.size())));
    return text;
}

QModelIndex walk(const TreeModel& model, const OidPtr& start, const QString& text, Qt::CaseSensitivity cs,
                 bool inDescriptions, bool leaves, bool groups)
{
    const OidPtr begin = start ? start : model.rootOid();
    OidPtr node = begin;
    do {
        if ((node->isLeaf() ? leaves : groups) &&
            (node->name.contains(text, cs) || (inDescriptions && node->descriptionText().contains(text, cs))))
            return model.indexFromOid(node);
        node = model.nextOid(node);
    } while (node != begin);
    return QModelIndex();
}

} // namespace

void TestTreeSearch::agreesWithPreOrderWalk()
{
    QRandomGenerator random(20240101);
    QString tree;
    for (int id = 1; id <= 300; ++id)
        tree += QStringLiteral("%1 %2 %3 %1;")
                    .arg(id)
                    .arg(id == 1 ? 0 : 1 + int(random.bounded(id - 1)))
                    .arg(randomText(random, 6));
    QVector<MibTestDb::Node> nodes = MibTestDb::parse(tree);
    for (MibTestDb::Node& node : nodes) {
        if (random.bounded(3) == 0)
            node.description = randomText(random, 12);
    }
    QVERIFY(m_mib.load(nodes));
    const TreeModel& model = *m_mib.model;

    QVector<OidPtr> starts{OidPtr()};
    for (int i = 0; i < 6; ++i) { // a random number of steps in pre-order
        OidPtr node = model.rootOid();
        for (int steps = int(random.bounded(300)); steps > 0; --steps)
            node = model.nextOid(node);
        starts.append(node);
    }
    QStringList texts = QStringLiteral("k K \u212a s \u017f \u00e9 \u03a3 a- zzz").split(' ');
    for (int i = 0; i < 30; ++i)
        texts << randomText(random, 4);

    int compared = 0;
    int found = 0;
    for (const QString& text : qAsConst(texts)) {
        for (const OidPtr& start : qAsConst(starts)) {
            // Bit 0: match case; bit 1: descriptions; the rest: leaves, groups, both or neither.
            for (int options = 0; options < 16; ++options) {
                const Qt::CaseSensitivity cs = options & 1 ? Qt::CaseSensitive : Qt::CaseInsensitive;
                const bool inDescriptions = options & 2;
                const bool leaves = options >> 2 == 0 || options >> 2 == 2;
                const bool groups = options >> 2 == 1 || options >> 2 == 2;
                const QModelIndex expected = walk(model, start, text, cs, inDescriptions, leaves, groups);
                const QModelIndex actual = model.find(start, text, cs, inDescriptions, leaves, groups);
                QVERIFY2(actual == expected,
                         qPrintable(QStringLiteral("text %1, start %2, options %3: %4 instead of %5")
                                        .arg(text, start ? start->name : QStringLiteral("none"))
                                        .arg(options)
                                        .arg(actual.data().toString(), expected.data().toString())));
                ++compared;
                found += expected.isValid() ? 1 : 0;
            }
        }
    }
    // An empty text finds nothing, unlike the plain definition.
    QVERIFY(!model.find(OidPtr(), QString(), Qt::CaseInsensitive, true, true, true).isValid());
    // Both outcomes occur often enough for the comparison to mean something.
    QVERIFY2(found > compared / 10 && found < compared * 9 / 10,
             qPrintable(QStringLiteral("%1 of %2").arg(found).arg(compared)));
}

void TestTreeSearch::staleStartNode()
{
    QVERIFY(m_mib.load());
    const OidPtr old = m_mib.at("1.3.6.1.2.1.1.5");
    m_mib.model->reload();
    // A node kept from before the reload is not in the tree: the search starts at the root.
    const QModelIndex index = m_mib.model->find(old, QStringLiteral("sys"), Qt::CaseInsensitive, false, true, true);
    QCOMPARE(index.data().toString(), QStringLiteral("system"));
    QCOMPARE(index.internalPointer(), static_cast<void*>(m_mib.at("1.3.6.1.2.1.1").get()));
}

QTEST_MAIN(TestTreeSearch)
#include "test_treesearch.moc"
