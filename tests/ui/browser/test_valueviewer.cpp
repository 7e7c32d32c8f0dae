#include "ui/browser/OidValueViewer.h"
#include "mib/Oid.h"

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

Row makeRow(const QString& label, qint32 type, const QString& valueText, const QVariant& value = {})
{
    return Row{label, "1.3.6.1.2.1." + label, false, value.isValid() ? value : valueText, valueText, type, true, {}};
}

QVector<Row> counterRows(int first, int count)
{
    QVector<Row> rows;
    for (int i = first; i < first + count; ++i)
        rows.append(makeRow("ifInOctets." + QString::number(i), Oid::Counter, "Counter32: 1", 1));
    return rows;
}

// Action texts of a menu, a separator as "--".
QStringList texts(const QMenu& menu)
{
    QStringList result;
    for (const QAction* action : menu.actions())
        result.append(action->isSeparator() ? QStringLiteral("--") : action->text());
    return result;
}

// The format of each text fragment of a block, by text.
QVector<QPair<QString, QTextCharFormat>> fragments(const QTextBlock& block)
{
    QVector<QPair<QString, QTextCharFormat>> result;
    for (auto it = block.begin(); !it.atEnd(); ++it)
        result.append({it.fragment().text(), it.fragment().charFormat()});
    return result;
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
    Row withPath = makeRow("ifDescr.1", Oid::OctetString, "<b>eth0</b> & co");
    withPath.showOidPath = true;
    viewer.appendRow(withPath);
    viewer.appendRows({makeRow("A&amp;B", Oid::Integer, "INTEGER: 5"),
                       Row{"ifSpeed.1", "1.3.6.1.2.1.2.2.1.5.1", false, {}, {}, 0, false, "Nothing <b>returned</b>"}});
    QCOMPARE(viewer.toPlainText(), QString("ifDescr.1 (1.3.6.1.2.1.ifDescr.1) = <b>eth0</b> & co\n"
                                           "A&B = INTEGER: 5\nifSpeed.1 = Nothing returned"));
    // The message: red, with its own markup applied.
    QStringList message;
    for (const auto& fragment : fragments(viewer.document()->lastBlock())) {
        if (fragment.second.foreground().color() == QColor(Qt::red))
            message << fragment.first + (fragment.second.fontWeight() > QFont::Normal ? "(bold)" : "");
    }
    QCOMPARE(message, (QStringList{"Nothing ", "returned(bold)"}));

    // Background: one type of each colour group, and a code that is no type.
    const QVector<QPair<qint32, QString>> colours{{Oid::ObjectId, "#CCCCFF"},  {Oid::OctetString, "#abebc6"},
                                                  {Oid::IpAddress, "#d7bde2"}, {Oid::Opaque, "#f7dc6f"},
                                                  {Oid::Counter64, "#F5F5DC"}, {99, "#FFFFFF"}};
    viewer.clear();
    for (const auto& colour : colours)
        viewer.appendRow(makeRow("x", colour.first, "v"));
    for (int i = 0; i < colours.size(); ++i) {
        for (const auto& fragment : fragments(viewer.document()->findBlockByNumber(i)))
            QCOMPARE(fragment.second.background().color(), QColor(colours.at(i).second));
    }
}

void TestValueViewer::contextMenu()
{
    OidValueViewer viewer;
    viewer.resize(640, 480);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QStringList signalled;
    connect(&viewer, &OidValueViewer::jumpToClicked, this, [&](const QString& path) { signalled << path; });
    connect(&viewer, &OidValueViewer::monitorOidClicked, this,
            [&](const QString& path, Oid::Type type, const QString& value) {
                signalled << path + '|' + QString::number(type) + '|' + value;
            });
    const QString label61 = "ifHCInOctets." + QString(48, '7');
    viewer.appendRows({makeRow("sysUpTime.0", Oid::TimeTicks, "Timeticks: (4200) 0:00:42.00", 4200),
                       makeRow("sysObjectID.0", Oid::ObjectId, "OID: enterprises.9", "1.3.6.1.4.1.9"),
                       Row{"ifSpeed.1", "1.3.6.1.2.1.2.2.1.5.1", false, {}, {}, 0, false, "Nothing returned"},
                       makeRow(label61, Oid::OctetString, "STRING: x")});
    viewer.showPendingRows();
    // The texts of the menu on row i (past the last: below it), then its action k triggered.
    auto menuAt = [&viewer](int i, int trigger = -1) {
        const int last = viewer.document()->blockCount() - 1;
        const QTextBlock block = viewer.document()->findBlockByNumber(qMin(i, last));
        const QRectF rect = viewer.document()->documentLayout()->blockBoundingRect(block);
        const int y = int(rect.center().y()) + (i > last ? 40 : 0) - viewer.verticalScrollBar()->value();
        std::unique_ptr<QMenu> menu(viewer.createContextMenu(QPoint(int(rect.left()) + 8, y)));
        if (trigger >= 0)
            menu->actions().at(trigger)->trigger();
        return texts(*menu);
    };
    // No extra actions: the standard menu, also on a row.
    const QStringList standard = texts(*std::unique_ptr<QMenu>(viewer.createStandardContextMenu()));
    QCOMPARE(menuAt(0), standard);

    QAction saveAs("Save as...");
    viewer.setExtraActions({&saveAs});
    const QStringList tail = standard + QStringList{"Save as..."};
    QCOMPARE(menuAt(0, 0), QStringList({"Jump To \"sysUpTime.0\"", "--", "Monitor \"sysUpTime.0\"...", "--"}) + tail);
    menuAt(0, 2);
    // An object ID: its row and the OID of its value to jump to, nothing to monitor.
    QCOMPARE(menuAt(1, 1), QStringList({"Jump To \"sysObjectID.0\"", "Jump To OID \"1.3.6.1.4.1.9\"", "--"}) + tail);
    QCOMPARE(signalled, (QStringList{"1.3.6.1.2.1.sysUpTime.0",
                                     "1.3.6.1.2.1.sysUpTime.0|8|Timeticks: (4200) 0:00:42.00", "1.3.6.1.4.1.9"}));
    // A message line; a long label; below the last line.
    QCOMPARE(menuAt(2), tail);
    QCOMPARE(menuAt(3), QStringList({"Jump To \"" + label61.left(60) + "...\"", "--"}) + tail);
    QCOMPARE(menuAt(4), tail);
}

void TestValueViewer::stopButton()
{
    OidValueViewer viewer;
    viewer.setStopButtonVisible(true);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QPushButton* button = viewer.findChild<QPushButton*>();
    const int extent = viewer.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (const QSize& size : {QSize(640, 200), QSize(250, 500)}) { // top right, clear of the scroll bar
        viewer.resize(size);
        QTRY_COMPARE(viewer.size(), size);
        QCOMPARE(button->geometry().topRight(), QPoint(size.width() - 11 - extent, 10));
    }
    QSignalSpy clicked(&viewer, &OidValueViewer::stopButtonClicked);
    button->click();
    QCOMPARE(clicked.count(), 1);
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

    // A view at the end stays there while many lines are laid out; the wide last one brings
    // the horizontal scroll bar, which takes height from the view.
    QScrollBar* bar = viewer.verticalScrollBar();
    viewer.viewport()->repaint();
    viewer.appendRows(counterRows(3, 450) << makeRow("sysDescr.0", Oid::OctetString, QString(300, 'x')));
    QTRY_COMPARE_WITH_TIMEOUT(viewer.document()->blockCount(), 454, 2000);
    QTest::qWait(100);
    QVERIFY(bar->value() > 0 && bar->value() == bar->maximum());
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
    viewer.showPendingRows();
    QCOMPARE(viewer.document()->blockCount(), 2);
    viewer.viewport()->repaint();
    viewer.appendRows(counterRows(2, 5));
    viewer.clear();
    QTest::qWait(150);
    QVERIFY(viewer.rows().isEmpty() && viewer.toPlainText().isEmpty());
}

QTEST_MAIN(TestValueViewer)
#include "test_valueviewer.moc"
