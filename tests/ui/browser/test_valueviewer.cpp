#include "mib/Oid.h"
#include "ui/browser/OidValueViewer.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QtTest>

#include <memory>

using Row = OidValueViewer::Row;

namespace {

Row makeRow(const QString& label, const QString& oidPath, qint32 type, const QString& valueText,
            const QVariant& value = {})
{
    return Row{label, oidPath, false, value.isValid() ? value : QVariant(valueText), valueText, type, true, {}};
}

Row messageRow(const QString& label, const QString& oidPath, const QString& message)
{
    return Row{label, oidPath, false, {}, {}, 0, false, message};
}

QVector<Row> counterRows(int first, int count)
{
    QVector<Row> rows;
    for (int i = first; i < first + count; ++i)
        rows.append(makeRow("ifInOctets." + QString::number(i), "1.3.6.1.2.1.2.2.1.10." + QString::number(i),
                            Oid::Counter, "Counter32: 1", 1));
    return rows;
}

// Action texts of a menu, a separator as "--".
QStringList texts(const QMenu* menu)
{
    QStringList result;
    for (const QAction* action : menu->actions())
        result.append(action->isSeparator() ? QStringLiteral("--") : action->text());
    return result;
}

// A point (viewport coordinates) on the line of row i.
QPoint pointOnRow(const OidValueViewer& viewer, int i)
{
    const QTextBlock block = viewer.document()->findBlockByNumber(i);
    const QRectF rect = viewer.document()->documentLayout()->blockBoundingRect(block);
    return QPoint(int(rect.left()) + 8, int(rect.center().y()) - viewer.verticalScrollBar()->value());
}

} // namespace

class TestValueViewer final : public QObject
{
    Q_OBJECT

private slots:
    void lines();
    void contextMenu();
    void stopButton();
    void deferredRows();
};

// Label and message are HTML, the value text is escaped; row i is text block i.
void TestValueViewer::lines()
{
    OidValueViewer viewer;
    Row withPath = makeRow("ifDescr.1", "1.3.6.1.2.1.2.2.1.2.1", Oid::OctetString, "<b>eth0</b> & co");
    withPath.showOidPath = true;
    viewer.appendRow(withPath);
    viewer.appendRows({makeRow("A&amp;B", "1.3.6.1.4.1.1", Oid::Integer, "INTEGER: 5"),
                       messageRow("ifSpeed.1", "1.3.6.1.2.1.2.2.1.5.1", "Nothing <b>returned</b>")});

    QCOMPARE(viewer.toPlainText(), QString("ifDescr.1 (1.3.6.1.2.1.2.2.1.2.1) = <b>eth0</b> & co\n"
                                           "A&B = INTEGER: 5\nifSpeed.1 = Nothing returned"));
    QCOMPARE(viewer.document()->blockCount(), viewer.rows().size());
    for (auto it = viewer.document()->firstBlock().begin(); !it.atEnd(); ++it)
        QVERIFY2(it.fragment().charFormat().fontWeight() <= QFont::Normal, qPrintable(it.fragment().text()));

    // The message: red, with its own markup applied.
    QString red;
    bool boldReturned = false;
    for (auto it = viewer.document()->lastBlock().begin(); !it.atEnd(); ++it) {
        const QTextCharFormat format = it.fragment().charFormat();
        if (format.foreground().color() == QColor(Qt::red))
            red += it.fragment().text();
        boldReturned |= it.fragment().text() == "returned" && format.fontWeight() > QFont::Normal;
    }
    QCOMPARE(red, QString("Nothing returned"));
    QVERIFY(boldReturned);

    // Background: one type of each colour group, and a code that is no type.
    const QVector<QPair<qint32, QString>> colours{{Oid::ObjectId, "#CCCCFF"},  {Oid::OctetString, "#abebc6"},
                                                  {Oid::IpAddress, "#d7bde2"}, {Oid::Opaque, "#f7dc6f"},
                                                  {Oid::Counter64, "#F5F5DC"}, {99, "#FFFFFF"}};
    viewer.clear();
    for (const auto& colour : colours)
        viewer.appendRow(makeRow("x" + QString::number(colour.first), "1.3.6", colour.first, "v"));
    for (int i = 0; i < colours.size(); ++i) {
        const QTextBlock block = viewer.document()->findBlockByNumber(i);
        for (auto it = block.begin(); !it.atEnd(); ++it)
            QVERIFY2(it.fragment().charFormat().background().color() == QColor(colours.at(i).second),
                     qPrintable(block.text()));
    }
}

void TestValueViewer::contextMenu()
{
    OidValueViewer viewer;
    viewer.resize(640, 480);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QStringList jumps;
    QStringList monitors; // "path|type|value"
    connect(&viewer, &OidValueViewer::jumpToClicked, this, [&](const QString& path) { jumps.append(path); });
    connect(&viewer, &OidValueViewer::monitorOidClicked, this,
            [&](const QString& path, Oid::Type type, const QString& value) {
                monitors.append(path + '|' + QString::number(type) + '|' + value);
            });

    const QString label61 = "IF-MIB::ifHCInOctets." + QString(40, '7');
    viewer.appendRows({
        makeRow("sysUpTime.0", "1.3.6.1.2.1.1.3.0", Oid::TimeTicks, "Timeticks: (4200) 0:00:42.00", 4200),
        makeRow("sysObjectID.0", "1.3.6.1.2.1.1.2.0", Oid::ObjectId, "OID: enterprises.9.1.1", "1.3.6.1.4.1.9.1.1"),
        messageRow("ifSpeed.1", "1.3.6.1.2.1.2.2.1.5.1", "Nothing returned"),
        makeRow(label61, "1.3.6.1.2.1.31.1.1.1.6.1", Oid::OctetString, "STRING: x"),
    });
    viewer.showPendingRows();
    const auto menuAt = [&viewer](const QPoint& pos) { return std::unique_ptr<QMenu>(viewer.createContextMenu(pos)); };

    // No extra actions: the standard menu, also on a row.
    const QStringList standard = texts(std::unique_ptr<QMenu>(viewer.createStandardContextMenu()).get());
    QCOMPARE(texts(menuAt(pointOnRow(viewer, 0)).get()), standard);

    QAction saveAs("Save as...");
    viewer.setExtraActions({&saveAs});
    const QStringList tail = standard + QStringList{"Save as..."};

    auto menu = menuAt(pointOnRow(viewer, 0));
    QCOMPARE(texts(menu.get()),
             QStringList({"Jump To \"sysUpTime.0\"", "--", "Monitor \"sysUpTime.0\"...", "--"}) + tail);
    menu->actions().at(0)->trigger();
    menu->actions().at(2)->trigger();
    QCOMPARE(jumps, QStringList{"1.3.6.1.2.1.1.3.0"});
    QCOMPARE(monitors, QStringList{"1.3.6.1.2.1.1.3.0|8|Timeticks: (4200) 0:00:42.00"});
    // An object ID: its row and the OID of its value to jump to, nothing to monitor.
    menu = menuAt(pointOnRow(viewer, 1));
    QCOMPARE(texts(menu.get()),
             QStringList({"Jump To \"sysObjectID.0\"", "Jump To OID \"1.3.6.1.4.1.9.1.1\"", "--"}) + tail);
    menu->actions().at(1)->trigger();
    QCOMPARE(jumps, QStringList({"1.3.6.1.2.1.1.3.0", "1.3.6.1.4.1.9.1.1"}));
    // A message line, a long label, below the last line.
    QCOMPARE(texts(menuAt(pointOnRow(viewer, 2)).get()), tail);
    QCOMPARE(texts(menuAt(pointOnRow(viewer, 3)).get()),
             QStringList({"Jump To \"" + label61.left(60) + "...\"", "--"}) + tail);
    const QPoint below = pointOnRow(viewer, 3) + QPoint(0, 40);
    QVERIFY(below.y() < viewer.viewport()->height());
    QCOMPARE(texts(menuAt(below).get()), tail);
}

void TestValueViewer::stopButton()
{
    OidValueViewer viewer;
    viewer.resize(400, 300);
    viewer.setStopButtonVisible(true);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QPushButton* button = viewer.findChild<QPushButton*>();
    QVERIFY(button && button->isVisible());

    const int extent = viewer.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const auto placedRight = [&] {
        return button->y() == 10 && viewer.width() - button->geometry().right() - 1 == 10 + extent &&
               button->width() == button->sizeHint().width();
    };
    QVERIFY(placedRight());
    for (const QSize& size : {QSize(640, 200), QSize(250, 500)}) {
        viewer.resize(size);
        QTRY_COMPARE(viewer.size(), size);
        QVERIFY(placedRight());
    }

    QSignalSpy clicked(&viewer, &OidValueViewer::stopButtonClicked);
    button->click();
    QCOMPARE(clicked.count(), 1);
    viewer.setStopButtonVisible(false);
    QVERIFY(!button->isVisible());
}

// Rows appended within a moment of a paint are in rows() at once and reach the document a little later.
void TestValueViewer::deferredRows()
{
    OidValueViewer viewer;
    viewer.resize(520, 260);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    viewer.viewport()->repaint();
    viewer.appendRows(counterRows(0, 3));
    QCOMPARE(viewer.rows().size(), 3);
    QVERIFY(viewer.toPlainText().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(viewer.document()->blockCount(), 3, 2000);

    // A view at the end stays there while the document lays many lines out; the wide last one
    // brings the horizontal scroll bar, which takes height from the view.
    QScrollBar* bar = viewer.verticalScrollBar();
    QVector<Row> rows = counterRows(3, 450);
    rows.append(makeRow("sysDescr.0", "1.3.6.1.2.1.1.1.0", Oid::OctetString, QString(300, 'x')));
    viewer.viewport()->repaint();
    viewer.appendRows(rows);
    QTRY_COMPARE_WITH_TIMEOUT(viewer.document()->blockCount(), 454, 2000);
    QTest::qWait(100);
    QVERIFY(bar->value() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    // A view scrolled up stays put.
    bar->setValue(100);
    viewer.appendRows(counterRows(454, 80));
    QTRY_COMPARE_WITH_TIMEOUT(viewer.document()->blockCount(), 534, 2000);
    QTest::qWait(100);
    QCOMPARE(bar->value(), 100);

    // showPendingRows() puts waiting lines in at once, clear() drops them.
    viewer.clear();
    viewer.viewport()->repaint();
    viewer.appendRows(counterRows(0, 2));
    QVERIFY(viewer.toPlainText().isEmpty());
    viewer.showPendingRows();
    QCOMPARE(viewer.document()->blockCount(), 2);
    viewer.viewport()->repaint();
    viewer.appendRows(counterRows(2, 5));
    viewer.clear();
    QVERIFY(viewer.rows().isEmpty());
    QTest::qWait(150);
    QVERIFY(viewer.toPlainText().isEmpty());
}

QTEST_MAIN(TestValueViewer)
#include "test_valueviewer.moc"
