#include "mib/OidDescription.h"
#include "mib/TreeModel.h"

#include <QtTest>

#include <functional>

namespace {

// The description of a node filled in by fill, placed as iso(1).org(3).<node>(7).
QString describe(const std::function<void(Oid&)>& fill)
{
    auto make = [](qint64 id, qint64 parent, const char* name, int number) {
        auto oid = std::make_shared<Oid>();
        oid->id = id;
        oid->parentId = parent;
        oid->name = QString::fromLatin1(name);
        oid->number = number;
        return oid;
    };
    const OidPtr node = make(3, 2, "", 7);
    fill(*node);
    const OidPtr root = TreeModel::buildTree({make(1, 0, "iso", 1), make(2, 1, "org", 3), node}); // parents are weak
    return OidDescription::html(*node);
}

} // namespace

class TestOidDescription final : public QObject
{
    Q_OBJECT

private slots:
    void html();
};

void TestOidDescription::html()
{
    QString actual = describe([](Oid& o) {
        o.name = QStringLiteral("ifAdminStatus");
        o.type = Oid::Integer;
        o.access = Oid::ReadWrite;
        o.module = QStringLiteral("IF-MIB");
        o.filename = QStringLiteral("rfc2863.mib");
        o.lastUpdated = QDateTime(QDate(2024, 3, 5), QTime(23, 30), Qt::UTC);
        o.enums = {{QStringLiteral("up"), 1}, {QStringLiteral("down"), 2}};
        o.ranges = {{1, 65535}};
        o.description = "Desired state: a < b & c\r\nnext line\n\"quoted\"";
    });
    QCOMPARE(actual, QString("<table>\n"
                             "<tr><td\tcolspan=\"2\"><b>ifAdminStatus</b></td></tr>\n"
                             "<tr><td>Path:</td> <td>1.3.7</td></tr>\n"
                             "<tr><td>TextPath:</td> <td>iso.org.ifAdminStatus</td></tr>\n"
                             "<tr><td>Type:</td> <td>Integer<br>Enum: up(1), down(2)<br>Range: 1-65535</td></tr>\n"
                             "<tr><td>Access:</td> <td>read-write</td></tr>\n"
                             "<tr><td>Module:</td> <td>IF-MIB (rfc2863.mib)</td></tr>\n"
                             "<tr><td>Last updated:</td> <td>2024-03-05</td></tr>\n"
                             "</table>"
                             "<br><br>Desired state: a &lt; b &amp; c<br>next line<br>&quot;quoted&quot;"));

    actual = describe([](Oid& o) {
        o.name = QStringLiteral("bare");
        o.module = QStringLiteral("SAMPLE-MIB");
    });
    QCOMPARE(actual, QString("<table>\n"
                             "<tr><td\tcolspan=\"2\"><b>bare</b></td></tr>\n"
                             "<tr><td>Path:</td> <td>1.3.7</td></tr>\n"
                             "<tr><td>TextPath:</td> <td>iso.org.bare</td></tr>\n"
                             "<tr><td>Type:</td> <td>Other</td></tr>\n"
                             "<tr><td>Access:</td> <td>unknown</td></tr>\n"
                             "<tr><td>Module:</td> <td>SAMPLE-MIB</td></tr>\n"
                             "\n"
                             "</table>"));

    // MIB text is shown as written: neither markup nor a placeholder of the template.
    actual = describe([](Oid& o) {
        o.name = QStringLiteral("x<b>%7");
        o.type = Oid::Integer32;
        o.module = QStringLiteral("M&%2");
        o.lastUpdated = QDateTime(QDate(2023, 12, 31), QTime(23, 0), Qt::OffsetFromUTC, -3600);
        o.enums = {{QStringLiteral("a%2"), -1}};
        o.ranges = {{-5, 5}, {10, 20}};
        o.description = "<b>bold</b> %1";
    });
    QCOMPARE(actual, QString("<table>\n"
                             "<tr><td\tcolspan=\"2\"><b>x&lt;b&gt;%7</b></td></tr>\n"
                             "<tr><td>Path:</td> <td>1.3.7</td></tr>\n"
                             "<tr><td>TextPath:</td> <td>iso.org.x&lt;b&gt;%7</td></tr>\n"
                             "<tr><td>Type:</td> <td>Integer32<br>Enum: a%2(-1)<br>Range: -5-5, 10-20</td></tr>\n"
                             "<tr><td>Access:</td> <td>unknown</td></tr>\n"
                             "<tr><td>Module:</td> <td>M&amp;%2</td></tr>\n"
                             "<tr><td>Last updated:</td> <td>2024-01-01</td></tr>\n"
                             "</table>"
                             "<br><br>&lt;b&gt;bold&lt;/b&gt; %1"));
}

QTEST_GUILESS_MAIN(TestOidDescription)
#include "test_oiddescription.moc"
