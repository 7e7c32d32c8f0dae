#include "Oid.h"
#include "OidValueViewer.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
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
    Row row;
    row.label = label;
    row.oidPath = oidPath;
    row.type = type;
    row.valueText = valueText;
    row.value = value.isValid() ? value : QVariant(valueText);
    return row;
}

Row messageRow(const QString& label, const QString& oidPath, const QString& message)
{
    Row row = makeRow(label, oidPath, 0, QString());
    row.ok = false;
    row.message = message;
    return row;
}

// A row's line as the viewer is meant to write it, spelled out apart from the viewer.
QString expectedLine(const Row& row, const QString& colour)
{
    return "<div><span style=\"background-color:" + colour + "\" >" + row.label +
           (row.showOidPath ? " (" + row.oidPath + ")" : QString()) + " = " +
           (row.ok ? row.valueText.toHtmlEscaped() : "<font color=\"red\">" + row.message + "</font>") +
           "</span></div>";
}

// Action texts of a menu, a separator as "--".
QStringList texts(const QMenu* menu)
{
    QStringList result;
    for (const QAction* action : menu->actions())
        result.append(action->isSeparator() ? QStringLiteral("--") : action->text());
    return result;
}

QAction* findAction(const QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

// A point (viewport coordinates) on the line of row i.
QPoint pointOnRow(const OidValueViewer& viewer, int i)
{
    const QTextBlock block = viewer.document()->findBlockByNumber(i);
    const QRectF rect = viewer.document()->documentLayout()->blockBoundingRect(block);
    return QPoint(int(rect.left()) + 8, int(rect.center().y()) - viewer.verticalScrollBar()->value());
}

// The pixels of the viewport as the window's backing store holds them (what the screen shows).
QImage shownViewport(QWidget* edit, QWidget* port)
{
    const QRect rect(port->mapTo(edit->window(), QPoint(0, 0)), port->size());
    return edit->screen()
        ->grabWindow(edit->window()->winId(), rect.x(), rect.y(), rect.width(), rect.height())
        .toImage();
}

struct Emitted
{
    QStringList jumps;
    QStringList monitors; // "path|type|value"
};

void record(OidValueViewer* viewer, Emitted* emitted)
{
    QObject::connect(viewer, &OidValueViewer::jumpToClicked, viewer,
                     [emitted](const QString& path) { emitted->jumps.append(path); });
    QObject::connect(viewer, &OidValueViewer::monitorOidClicked, viewer,
                     [emitted](const QString& path, Oid::Type type, const QString& value) {
                         emitted->monitors.append(path + '|' + QString::number(type) + '|' + value);
                     });
    QObject::connect(viewer, &OidValueViewer::addOidClicked, viewer,
                     [emitted](const QString&, Oid::Type, const QString&) { emitted->jumps.append("addOidClicked!"); });
}

} // namespace

class TestValueViewer final : public QObject
{
    Q_OBJECT

private slots:
    void lines();
    void backgroundColours();
    void contextMenu();
    void contextMenuEvent();
    void stopButton();
    void displayMatchesPlainAppend();
};

// Line text and formats: label and message as HTML, the value text escaped, rows in step with
// the text blocks.
void TestValueViewer::lines()
{
    OidValueViewer viewer;
    Row withPath =
        makeRow("IF-MIB::ifDescr.1", "1.3.6.1.2.1.2.2.1.2.1", Oid::OctetString, "STRING: \"<b>eth0</b>\" & co");
    withPath.showOidPath = true;
    const QVector<Row> rows{
        withPath,
        makeRow("A&amp;B", "1.3.6.1.4.1.1", Oid::Integer, "INTEGER: 5"),
        messageRow("IF-MIB::ifSpeed.1", "1.3.6.1.2.1.2.2.1.5.1", "Nothing <b>returned</b>"),
        makeRow("sysUpTime.0", "1.3.6.1.2.1.1.3.0", Oid::TimeTicks, "Timeticks: (42) 0:00:00.42", 42),
    };
    for (const Row& row : rows)
        viewer.appendRow(row);

    const QStringList expected{
        "IF-MIB::ifDescr.1 (1.3.6.1.2.1.2.2.1.2.1) = STRING: \"<b>eth0</b>\" & co",
        "A&B = INTEGER: 5",
        "IF-MIB::ifSpeed.1 = Nothing returned",
        "sysUpTime.0 = Timeticks: (42) 0:00:00.42",
    };
    QCOMPARE(viewer.toPlainText(), expected.join('\n'));
    QCOMPARE(viewer.document()->blockCount(), rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(viewer.document()->findBlockByNumber(i).text(), expected.at(i));
        QCOMPARE(viewer.rows().at(i).label, rows.at(i).label);
        QCOMPARE(viewer.rows().at(i).value, rows.at(i).value);
        QCOMPARE(viewer.rows().at(i).ok, rows.at(i).ok);
    }

    // The escaped value shows its tags literally and nothing in its line is bold.
    for (auto it = viewer.document()->findBlockByNumber(0).begin(); !it.atEnd(); ++it)
        QVERIFY2(it.fragment().charFormat().fontWeight() <= QFont::Normal, qPrintable(it.fragment().text()));

    // The message is HTML: red, with its own markup applied.
    const QTextBlock message = viewer.document()->findBlockByNumber(2);
    QStringList redText;
    bool boldReturned = false;
    for (auto it = message.begin(); !it.atEnd(); ++it) {
        const QTextCharFormat format = it.fragment().charFormat();
        if (format.foreground().color() == QColor(Qt::red))
            redText.append(it.fragment().text());
        else
            QVERIFY(!it.fragment().text().contains("Nothing"));
        if (it.fragment().text() == "returned")
            boldReturned = format.fontWeight() > QFont::Normal;
    }
    QCOMPARE(redText.join(QString()), QString("Nothing returned"));
    QVERIFY(boldReturned);

    viewer.clear();
    QVERIFY(viewer.rows().isEmpty());
    QVERIFY(viewer.toPlainText().isEmpty());
    QCOMPARE(viewer.document()->blockCount(), 1);
    viewer.appendRow(rows.last());
    QCOMPARE(viewer.document()->blockCount(), 1);
    QCOMPARE(viewer.toPlainText(), expected.last());
    QCOMPARE(viewer.rows().size(), 1);
}

void TestValueViewer::backgroundColours()
{
    const QVector<QPair<qint32, QString>> colours{
        {0, "#FFFFFF"},  {1, "#CCCCFF"},  {2, "#abebc6"},  {3, "#F5F5DC"},  {4, "#d7bde2"},  {5, "#d7bde2"},
        {6, "#F5F5DC"},  {7, "#F5F5DC"},  {8, "#F5F5DC"},  {9, "#f7dc6f"},  {10, "#f7dc6f"}, {11, "#F5F5DC"},
        {12, "#f7dc6f"}, {13, "#f7dc6f"}, {14, "#F5F5DC"}, {15, "#F5F5DC"}, {16, "#F5F5DC"}, {17, "#FFFFFF"},
        {20, "#FFFFFF"}, {-1, "#FFFFFF"}, {99, "#FFFFFF"},
    };
    OidValueViewer viewer;
    for (const auto& colour : colours)
        viewer.appendRow(makeRow("x" + QString::number(colour.first), "1.3.6", colour.first, "v"));
    viewer.appendRow(messageRow("m", "1.3.6", "Nothing returned")); // type 0, a message line
    for (int i = 0; i <= colours.size(); ++i) {
        const QTextBlock block = viewer.document()->findBlockByNumber(i);
        const QString expected = i < colours.size() ? colours.at(i).second : QString("#FFFFFF");
        for (auto it = block.begin(); !it.atEnd(); ++it)
            QVERIFY2(it.fragment().charFormat().background().color() == QColor(expected),
                     qPrintable(block.text() + " is not on " + expected));
    }
}

void TestValueViewer::contextMenu()
{
    OidValueViewer viewer;
    viewer.resize(640, 480);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    Emitted emitted;
    record(&viewer, &emitted);

    const QString label61 = "IF-MIB::ifHCInOctets." + QString(40, '7');
    const QString label60 = label61.left(60);
    QCOMPARE(label61.size(), 61);
    const QVector<Row> rows{
        makeRow("sysUpTime.0", "1.3.6.1.2.1.1.3.0", Oid::TimeTicks, "Timeticks: (4200) 0:00:42.00", 4200),
        makeRow("sysObjectID.0", "1.3.6.1.2.1.1.2.0", Oid::ObjectId, "OID: SNMPv2-SMI::enterprises.9.1.1",
                "1.3.6.1.4.1.9.1.1"),
        messageRow("ifSpeed.1", "1.3.6.1.2.1.2.2.1.5.1", "Nothing returned"),
        makeRow(label61, "1.3.6.1.2.1.31.1.1.1.6.1", Oid::Counter64, "Counter64: 7", 7),
        makeRow(label60, "1.3.6.1.2.1.31.1.1.1.6.2", Oid::OctetString, "STRING: x"),
        makeRow("noPath.0", QString(), Oid::Integer, "INTEGER: 1"),
        makeRow("sysDescr.0", "1.3.6.1.2.1.1.1.0", Oid::OctetString, "STRING: Linux"),
    };
    for (const Row& row : rows)
        viewer.appendRow(row);

    // No extra actions: the text edit's standard menu, also on a row.
    const std::unique_ptr<QMenu> standardMenu(viewer.createStandardContextMenu());
    const QStringList standard = texts(standardMenu.get());
    QVERIFY(!standard.isEmpty());
    {
        const std::unique_ptr<QMenu> menu(viewer.createContextMenu(pointOnRow(viewer, 0)));
        QCOMPARE(texts(menu.get()), standard);
    }

    QAction saveAs("Save as...");
    QAction other("Other");
    viewer.setExtraActions({&saveAs, &other});
    QCOMPARE(viewer.extraActions(), (QList<QAction*>{&saveAs, &other}));
    const QStringList tail = standard + QStringList{"Save as...", "Other"};
    const auto menuAt = [&viewer](const QPoint& pos) { return std::unique_ptr<QMenu>(viewer.createContextMenu(pos)); };

    // TimeTicks: jump and monitor.
    {
        const auto menu = menuAt(pointOnRow(viewer, 0));
        QCOMPARE(texts(menu.get()),
                 QStringList({"Jump To \"sysUpTime.0\"", "--", "Monitor \"sysUpTime.0\"...", "--"}) + tail);
        QCOMPARE(menu->actions().mid(menu->actions().size() - 2), (QList<QAction*>{&saveAs, &other}));
        findAction(menu.get(), "Jump To \"sysUpTime.0\"")->trigger();
        findAction(menu.get(), "Monitor \"sysUpTime.0\"...")->trigger();
        QCOMPARE(emitted.jumps, QStringList{"1.3.6.1.2.1.1.3.0"});
        QCOMPARE(emitted.monitors, QStringList{"1.3.6.1.2.1.1.3.0|8|Timeticks: (4200) 0:00:42.00"});
    }
    // Object ID: jump to the row and to the OID of its value, no monitor.
    {
        emitted = {};
        const auto menu = menuAt(pointOnRow(viewer, 1));
        QCOMPARE(texts(menu.get()),
                 QStringList({"Jump To \"sysObjectID.0\"", "Jump To OID \"1.3.6.1.4.1.9.1.1\"", "--"}) + tail);
        findAction(menu.get(), "Jump To OID \"1.3.6.1.4.1.9.1.1\"")->trigger();
        findAction(menu.get(), "Jump To \"sysObjectID.0\"")->trigger();
        QCOMPARE(emitted.jumps, QStringList({"1.3.6.1.4.1.9.1.1", "1.3.6.1.2.1.1.2.0"}));
        QVERIFY(emitted.monitors.isEmpty());
    }
    // A message line, a row without an OID path: nothing to jump to.
    QCOMPARE(texts(menuAt(pointOnRow(viewer, 2)).get()), tail);
    QCOMPARE(texts(menuAt(pointOnRow(viewer, 5)).get()), tail);
    // A 61-character label is cut to 60 and "..."; one of 60 stays whole.
    QCOMPARE(texts(menuAt(pointOnRow(viewer, 3)).get()),
             QStringList({"Jump To \"" + label60 + "...\"", "--", "Monitor \"" + label60 + "...\"...", "--"}) + tail);
    QCOMPARE(texts(menuAt(pointOnRow(viewer, 4)).get()), QStringList({"Jump To \"" + label60 + "\"", "--"}) + tail);
    // The last line, and below it.
    QCOMPARE(texts(menuAt(pointOnRow(viewer, 6)).get()), QStringList({"Jump To \"sysDescr.0\"", "--"}) + tail);
    QPoint below = pointOnRow(viewer, 6) + QPoint(0, 40);
    QVERIFY(below.y() < viewer.viewport()->height());
    QCOMPARE(texts(menuAt(below).get()), tail);

    // The rows follow the scrolled view.
    for (int i = 0; i < 100; ++i)
        viewer.appendRow(makeRow("ifInOctets." + QString::number(i), "1.3.6.1.2.1.2.2.1.10." + QString::number(i),
                                 Oid::Counter, "Counter32: 1", 1));
    viewer.showPendingRows();
    // The view follows the end while the document lays the new lines out.
    QTest::qWait(150);
    QCOMPARE(viewer.verticalScrollBar()->value(), viewer.verticalScrollBar()->maximum());
    QVERIFY(viewer.verticalScrollBar()->value() > 0);
    QCOMPARE(texts(menuAt(pointOnRow(viewer, 106)).get()),
             QStringList({"Jump To \"ifInOctets.99\"", "--", "Monitor \"ifInOctets.99\"...", "--"}) + tail);
    // At the end of the document only its margin is left below the last line.
    const QTextBlock last = viewer.document()->lastBlock();
    below = QPoint(8, int(viewer.document()->documentLayout()->blockBoundingRect(last).bottom()) + 2 -
                          viewer.verticalScrollBar()->value());
    QVERIFY(below.y() < viewer.viewport()->height());
    QCOMPARE(texts(menuAt(below).get()), tail);

    // An empty viewer.
    viewer.clear();
    QCOMPARE(texts(menuAt(QPoint(10, 10)).get()), tail);
    QCOMPARE(emitted.jumps.count("addOidClicked!"), 0);
}

// The right-click itself: the menu runs, its entry emits, and menu and entries are gone after.
void TestValueViewer::contextMenuEvent()
{
    OidValueViewer viewer;
    viewer.resize(640, 300);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    Emitted emitted;
    record(&viewer, &emitted);
    viewer.appendRow(makeRow("ifInOctets.1", "1.3.6.1.2.1.2.2.1.10.1", Oid::Counter, "Counter32: 99", 99));
    QAction saveAs("Save as...");
    viewer.setExtraActions({&saveAs});

    QStringList shown;
    QPointer<QMenu> menu;
    QPointer<QAction> monitor;
    QTimer::singleShot(0, &viewer, [&] {
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        shown = texts(menu);
        monitor = findAction(menu, "Monitor \"ifInOctets.1\"...");
        if (monitor)
            menu->setActiveAction(monitor);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTimer::singleShot(5000, &viewer, [] {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    });
    const QPoint pos = pointOnRow(viewer, 0);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, viewer.viewport()->mapToGlobal(pos));
    QApplication::sendEvent(viewer.viewport(), &event);

    QVERIFY(!shown.isEmpty());
    QCOMPARE(shown.first(), QString("Jump To \"ifInOctets.1\""));
    QCOMPARE(shown.last(), QString("Save as..."));
    QCOMPARE(emitted.monitors, QStringList{"1.3.6.1.2.1.2.2.1.10.1|6|Counter32: 99"});
    QVERIFY(emitted.jumps.isEmpty());
    QVERIFY(menu.isNull());
    QVERIFY(monitor.isNull());
    QCOMPARE(viewer.extraActions(), QList<QAction*>{&saveAs});

    // Without extra actions the text edit's own menu pops up (and closes with the viewer).
    viewer.setExtraActions({});
    QApplication::sendEvent(viewer.viewport(), &event);
    QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
    const std::unique_ptr<QMenu> standardMenu(viewer.createStandardContextMenu());
    QCOMPARE(texts(qobject_cast<QMenu*>(QApplication::activePopupWidget())), texts(standardMenu.get()));
    QApplication::activePopupWidget()->close();
}

void TestValueViewer::stopButton()
{
    OidValueViewer viewer;
    viewer.resize(400, 300);
    viewer.setStopButtonVisible(true);
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QPushButton* button = viewer.findChild<QPushButton*>();
    QVERIFY(button);
    QCOMPARE(button->text(), QString("Stop"));
    QVERIFY(button->isVisible());
    QVERIFY(!button->autoDefault());
    QVERIFY(!button->isDefault());

    const int extent = viewer.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const auto placedRight = [&] {
        return button->y() == 10 && viewer.width() - button->geometry().right() - 1 == 10 + extent &&
               button->width() == button->sizeHint().width();
    };
    QVERIFY(placedRight());
    for (int i = 0; i < 60; ++i) // with a vertical scroll bar
        viewer.appendRow(
            makeRow("r" + QString::number(i), "1.3.6.1." + QString::number(i), Oid::Integer, "INTEGER: 1"));
    for (const QSize& size : {QSize(640, 200), QSize(250, 500), QSize(900, 700)}) {
        viewer.resize(size);
        QTRY_COMPARE(viewer.size(), size);
        QVERIFY2(placedRight(), qPrintable(QString("at %1x%2").arg(size.width()).arg(size.height())));
    }

    QSignalSpy clicked(&viewer, &OidValueViewer::stopButtonClicked);
    button->click();
    QCOMPARE(clicked.count(), 1);
    viewer.setStopButtonVisible(false);
    QVERIFY(!button->isVisible());

    // Shown for the first time after the viewer: placed all the same.
    OidValueViewer later;
    later.resize(500, 250);
    later.show();
    QVERIFY(QTest::qWaitForWindowExposed(&later));
    QPushButton* laterButton = later.findChild<QPushButton*>();
    QVERIFY(!laterButton->isVisible());
    later.setStopButtonVisible(true);
    QVERIFY(laterButton->isVisible());
    QCOMPARE(laterButton->y(), 10);
    QCOMPARE(later.width() - laterButton->geometry().right() - 1, 10 + extent);
}

// The viewer shows what QTextEdit::append of the lines shows: the same document, the same
// scroll position (kept at the end only while the view is there) and the same pixels, once
// the rows appended right after a paint have reached the document.
void TestValueViewer::displayMatchesPlainAppend()
{
    OidValueViewer viewer;
    QTextEdit reference;
    reference.setUndoRedoEnabled(false);
    reference.setReadOnly(true);
    reference.setLineWrapMode(QTextEdit::NoWrap);
    for (QTextEdit* edit : {static_cast<QTextEdit*>(&viewer), &reference}) {
        edit->resize(520, 260);
        edit->show();
        QVERIFY(QTest::qWaitForWindowExposed(edit));
    }

    const QVector<QPair<qint32, QString>> types{{Oid::Counter, "#F5F5DC"},  {Oid::OctetString, "#abebc6"},
                                                {Oid::ObjectId, "#CCCCFF"}, {Oid::IpAddress, "#d7bde2"},
                                                {Oid::Opaque, "#f7dc6f"},   {0, "#FFFFFF"}};
    int next = 0;
    const auto appendBoth = [&](int count) {
        for (int end = next + count; next < end; ++next) {
            const auto& type = types.at(next % types.size());
            Row row = makeRow("IF-MIB::ifEntry." + QString::number(next), "1.3.6.1.2.1.2.2.1." + QString::number(next),
                              type.first, "value  <" + QString::number(next) + "> & \"more\"");
            row.showOidPath = next % 4 == 0;
            if (next % 9 == 8) {
                row.ok = false;
                row.message = "No <i>such</i> instance";
            }
            viewer.appendRow(row);
            reference.append(expectedLine(row, type.second));
        }
    };
    const auto compare = [&](const char* step) {
        QCOMPARE(viewer.rows().size(), next);
        QTRY_COMPARE_WITH_TIMEOUT(viewer.document()->blockCount(), next, 2000);
        QApplication::processEvents();
        QCOMPARE(viewer.toHtml(), reference.toHtml());
        QCOMPARE(viewer.verticalScrollBar()->maximum(), reference.verticalScrollBar()->maximum());
        QCOMPARE(viewer.verticalScrollBar()->value(), reference.verticalScrollBar()->value());
        const QImage shown = shownViewport(&viewer, viewer.viewport());
        QVERIFY2(!shown.isNull(), step);
        QVERIFY2(shown == shownViewport(&reference, reference.viewport()), step);
    };

    appendBoth(5);
    compare("a few rows");
    for (int chunk = 0; chunk < 3; ++chunk)
        appendBoth(150);
    QCOMPARE(viewer.verticalScrollBar()->value(), viewer.verticalScrollBar()->maximum());
    compare("pinned to the end");

    // Scrolled up: the view stays where it is while rows arrive.
    viewer.showPendingRows();
    viewer.verticalScrollBar()->setValue(100);
    reference.verticalScrollBar()->setValue(100);
    appendBoth(80);
    QCOMPARE(viewer.verticalScrollBar()->value(), 100);
    compare("scrolled up");

    // Back at the end: pinned again.
    viewer.showPendingRows();
    viewer.verticalScrollBar()->setValue(viewer.verticalScrollBar()->maximum());
    reference.verticalScrollBar()->setValue(reference.verticalScrollBar()->maximum());
    appendBoth(40);
    QCOMPARE(viewer.verticalScrollBar()->value(), viewer.verticalScrollBar()->maximum());
    compare("back at the end");

    // Lines still waiting for the document go with clear().
    appendBoth(30);
    viewer.clear();
    reference.clear();
    QCOMPARE(viewer.document()->blockCount(), 1);
    QTest::qWait(150);
    QVERIFY(viewer.toPlainText().isEmpty());
    next = 0;
    appendBoth(3);
    compare("after clear");
}

QTEST_MAIN(TestValueViewer)
#include "test_valueviewer.moc"
