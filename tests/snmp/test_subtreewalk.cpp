// The walk referee: which values of an answer are rows of the walk, and why a walk ends.

#include "snmp/SubtreeWalk.h"

#include <QtTest>

using SnmpOidUtils::OidValue;

namespace {

const QString S = QStringLiteral("1.3.6.1.2.1.1");             // system
const QString C = QStringLiteral("1.3.6.1.4.1.32473.1.4.1.1"); // a column

// "oid!82" carries the exception 0x82 (0x80 noSuchObject, 0x81 noSuchInstance, 0x82 endOfMibView).
QList<OidValue> answer(const QStringList& items)
{
    QList<OidValue> values;
    for (const QString& item : items)
        values << OidValue{
            item.section('!', 0, 0), 0, {}, {}, OidValue::Exception(item.section('!', 1).toInt(nullptr, 16))};
    return values;
}

struct Case
{
    QString root;
    QStringList earlier; // an answer judged before, asked from the root
    QStringList values;  // the answer judged, asked from the last row so far
    bool failed;
    int rows;
    SubtreeWalk::Reason reason;
};

} // namespace

Q_DECLARE_METATYPE(Case)

class TestSubtreeWalk final : public QObject
{
    Q_OBJECT

private slots:
    void judge_data()
    {
        QTest::addColumn<Case>("c");
        using W = SubtreeWalk;
        const QString big = C + ".2147483648", biggest = C + ".4294967295";
        const QList<QPair<const char*, Case>> cases = {
            {"inside goes on", {S, {}, {S + ".1.0", S + ".2.0", S + ".9.1.4.1"}, false, 3, W::GoesOn}},
            {"left the subtree", {S, {S + ".1.0"}, {S + ".9.1.4.1", "1.3.6.1.2.1.2.1.0"}, false, 1, W::LeftSubtree}},
            {"1.3.6.1.2.1.10 is not inside 1.3.6.1.2.1.1",
             {S, {}, {S + ".7.0", "1.3.6.1.2.1.10.7.2"}, false, 1, W::LeftSubtree}},
            {"first answer beyond the root", {S, {}, {"1.3.6.1.2.1.2.1.0"}, false, 0, W::LeftSubtree}},
            {"endOfMibView first", {C, {C + ".1"}, {C + ".1!82"}, false, 0, W::EndOfView}},
            {"endOfMibView later in GetBulk",
             {C, {}, {C + ".1", C + ".2", C + ".2!82", C + ".2!82"}, false, 2, W::EndOfView}},
            {"noSuchObject", {S, {}, {S + ".1.0", S + ".2.0!80"}, false, 1, W::EndOfView}},
            {"noSuchInstance", {S, {}, {S + ".1.0!81"}, false, 0, W::EndOfView}},
            {"equal OID", {C, {C + ".1", C + ".2"}, {C + ".2"}, false, 0, W::OutOfOrder}},
            {"smaller OID", {C, {C + ".1", C + ".3"}, {C + ".2"}, false, 0, W::OutOfOrder}},
            {"smaller OID in GetBulk", {C, {}, {C + ".1", C + ".3", C + ".2", C + ".4"}, false, 2, W::OutOfOrder}},
            {"not a numeric OID", {C, {}, {C + ".x"}, false, 0, W::OutOfOrder}},
            {"index above 2^31, unsigned", {C, {C + ".2147483647"}, {big, biggest}, false, 2, W::GoesOn}},
            {"number after number: 1.17 after 1.5", {C, {C + ".1.5"}, {C + ".1.17", C + ".2.3"}, false, 2, W::GoesOn}},
            {"back to the first row", {C, {C + ".1", C + ".2"}, {C + ".1"}, false, 0, W::BackToFirst}},
            {"back to the first row in GetBulk", {C, {}, {C + ".1", C + ".2", C + ".1"}, false, 2, W::BackToFirst}},
            {"empty answer", {S, {S + ".1.0"}, {}, false, 0, W::NoAnswer}},
            {"failed request", {S, {}, {S + ".1.0"}, true, 0, W::NoAnswer}},
        };
        for (const auto& [name, c] : cases)
            QTest::newRow(name) << c;
    }

    void judge()
    {
        QFETCH(Case, c);
        SubtreeWalk walk(c.root);
        QString asked = c.root;
        if (!c.earlier.isEmpty()) {
            const SubtreeWalk::Step step = walk.judge(asked, answer(c.earlier));
            QCOMPARE(step.rows, c.earlier.size());
            asked = step.next;
        }
        const SubtreeWalk::Step step = walk.judge(asked, answer(c.values), c.failed);
        QCOMPARE(step.rows, c.rows);
        QCOMPARE(step.reason, c.reason);
        // The walk goes on from its last row.
        QCOMPARE(step.next, c.rows ? c.values.at(c.rows - 1) : asked);
        QCOMPARE(walk.firstRow(), c.earlier.isEmpty() && c.rows ? c.values.first() : c.earlier.value(0));
    }
};

QTEST_APPLESS_MAIN(TestSubtreeWalk)
#include "test_subtreewalk.moc"
