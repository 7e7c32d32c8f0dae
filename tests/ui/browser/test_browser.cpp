#include "ui/browser/FindDialog.h"
#include "ui/browser/OidBrowser.h"
#include "mib/OidDescription.h"
#include "ui/browser/OidValueViewer.h"
#include "ui/browser/TreeExpansion.h"
#include "ui/browser/TreeView.h"
#include "LoadedMib.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QtTest>

#include <memory>

namespace {

// The first child of parent of type T (a button or an action) showing text.
template <typename T> T* child(QObject* parent, const char* text)
{
    for (T* candidate : parent->findChildren<T*>()) {
        if (candidate->text() == QLatin1String(text))
            return candidate;
    }
    return nullptr;
}

QString describe(const FindDialog::Parameters& p)
{
    return p.text + '|' + p.history.join(',') +
           QString::asprintf("|%d%d|%d|%d", p.matchCase, p.searchInDescriptions, p.searchFrom, p.searchFor);
}

OidValueViewer::Row valueRow(const QString& label, qint32 type, const QString& valueText, const QVariant& value = {})
{
    return {label, "1.3.6.1.2.1." + label, false, value.isValid() ? value : valueText, valueText, type, true, {}};
}

// Action texts of a menu, a separator as "--".
QStringList texts(const QMenu* menu)
{
    QStringList result;
    for (const QAction* action : menu->actions())
        result.append(action->isSeparator() ? QStringLiteral("--") : action->text());
    return result;
}

} // namespace

// The MIB browser's widgets: the find dialog, the result viewer and the tree with its panes.
class TestBrowser final : public QObject
{
    Q_OBJECT

private slots:
    // The find text's clear button fades with animations that only the event loop ends.
    void cleanupTestCase() { QTest::qWait(400); }

    void search_data()
    {
        // The sample tree in pre-order: iso org dod internet mgmt mib-2 system sysDescr sysObjectID
        // sysName interfaces ifNumber ifTable ifEntry ifIndex ifDescr private enterprises vendorTrap snmpV2.
        // Row name | text | options (1: match case, 2: in descriptions) | from | for | current node | found.
        QTest::addColumn<QStringList>("row");
        const QString rows = "a path ignores the options| .1.3.6.1.2.1.1.5 |1|2|1|1.3|sysName~"
                             "leaves, from the root|sys|0|1|0|1.3.6.1.2.1.1.2|sysDescr~groups|sys|0|1|1||system~"
                             "trimmed, with case|  Name |1|1|2||sysName~vendor MIBs|e|0|2|2||enterprises~"
                             "after the current node|sys|0|0|0|1.3.6.1.2.1.1.1|sysObjectID~"
                             "the current node is the only match|sysName|0|0|2|1.3.6.1.2.1.1.5|sysName~"
                             "no current node: the root|e|0|0|2||internet~descriptions too|TEXTUAL|2|1|2||sysDescr~"
                             "no such node kind|sys|0|1|7||";
        for (const QString& row : rows.split('~'))
            QTest::newRow(qPrintable(row.section('|', 0, 0))) << QStringList(row.split('|').mid(1));
    }

    void search()
    {
        QFETCH(QStringList, row);
        QVERIFY(m_mib.load());
        const int options = row.at(1).toInt();
        const FindDialog::Parameters parameters{
            row.at(0), {}, bool(options & 1), bool(options & 2), row.at(2).toInt(), row.at(3).toInt()};
        QCOMPARE(FindDialog::search(*m_mib.model, parameters, m_mib.model->findByPath(row.at(4))).data().toString(),
                 row.at(5));
    }

    void history_data()
    {
        QTest::addColumn<QStringList>("start");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("expected");
        const char* const rows[][4] = {{"most recent first", "old", "a,b", "b,a,old"},
                                       {"repeat moves to front", "x,y,z", "z", "z,x,y"},
                                       {"case makes entries distinct", "", "CPU,cpu,cpu", "cpu,CPU"},
                                       {"trimmed", "ifTable", "  ifTable\t", "ifTable"},
                                       {"blank does nothing", "a", "   ", "a"}};
        for (const auto& row : rows) {
            QTest::newRow(row[0]) << QString(row[1]).split(',', Qt::SkipEmptyParts)
                                  << QString(row[2]).split(',', Qt::SkipEmptyParts) << QString(row[3]).split(',');
        }
        QStringList full;
        for (int i = 0; i < FindDialog::MaxHistory; ++i)
            full << QStringLiteral("text%1").arg(i);
        QTest::newRow("one more drops the oldest")
            << full << QStringList{"new"} << QStringList{"new"} + full.mid(0, 49);
        QTest::newRow("full, repeat of the oldest")
            << full << QStringList(full.mid(49)) << QStringList(full.mid(49)) + full.mid(0, 49);
    }

    void history()
    {
        QFETCH(QStringList, start);
        QFETCH(QStringList, typed);
        QFETCH(QStringList, expected);
        FindDialog dialog({{}, start});
        QSignalSpy spy(&dialog, &FindDialog::findNext);
        QComboBox* box = dialog.findChild<QComboBox*>();
        for (const QString& text : typed) {
            box->setEditText(text);
            child<QPushButton>(&dialog, "Find Next")->click();
        }
        QStringList shown;
        for (int i = 0; i < box->count(); ++i)
            shown << box->itemText(i);
        QCOMPARE(shown, expected);
        QCOMPARE(spy.count(), typed.first().trimmed().isEmpty() ? 0 : typed.size());
    }

    void findDialog()
    {
        QPointer<FindDialog> dialog = new FindDialog({"CPU", {"a", "CPU"}, false, true, 1, 2});
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        // Return searches once, also through the queued connection the main window may use.
        QObject receiver;
        QStringList received;
        connect(
            dialog.data(), &FindDialog::findNext, &receiver,
            [&received](const FindDialog::Parameters& parameters) { received << describe(parameters); },
            Qt::QueuedConnection);
        QSignalSpy closed(dialog.data(), &FindDialog::closed);
        QLineEdit* edit = dialog->findChild<QComboBox*>()->lineEdit();
        edit->setText(QStringLiteral("sysName"));
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_COMPARE(received, QStringList{"sysName|sysName,a,CPU|01|1|2"});
        QTest::qWait(20);
        QCOMPARE(received.size(), 1);

        // Closing reports the history and options for the next dialog.
        child<QCheckBox>(dialog, "Match case")->setChecked(true);
        child<QRadioButton>(dialog, "OID Name")->setChecked(true);
        child<QPushButton>(dialog, "Cancel")->click();
        QCOMPARE(describe(closed.first().first().value<FindDialog::Parameters>()).section('|', 1),
                 "sysName,a,CPU|11|1|0");
        QTRY_VERIFY(!dialog); // deletes itself
    }

    // Label and message are HTML, the value text is escaped; row i is text block i. The menu on a
    // row offers to jump to it and to monitor a number.
    void values()
    {
        OidValueViewer viewer;
        viewer.resize(640, 480);
        viewer.setStopButtonVisible(true);
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        QStringList signalled;
        connect(&viewer, &OidValueViewer::jumpToClicked, this, [&](const QString& path) { signalled << path; });
        connect(&viewer, &OidValueViewer::monitorOidClicked, this,
                [&](const QString& path, Oid::Type type, const QString& value) {
                    signalled << path + '|' + QString::number(type) + '|' + value;
                });
        connect(&viewer, &OidValueViewer::stopButtonClicked, this, [&] { signalled << "stop"; });
        OidValueViewer::Row withPath = valueRow("A&amp;B", Oid::OctetString, "<b>eth0</b> & co");
        withPath.oidPath = QStringLiteral("1.3.6.1.2.1.2.2.1.2.1");
        withPath.showOidPath = true;
        const QString label61 = "ifHCInOctets." + QString(48, '7');
        viewer.appendRows({valueRow("sysUpTime.0", Oid::TimeTicks, "Timeticks: (4200) 0:00:42.00", 4200),
                           valueRow("sysObjectID.0", Oid::ObjectId, "OID: enterprises.9", "1.3.6.1.4.1.9"),
                           {"ifSpeed.1", "1.3.6.1.2.1.2.2.1.5.1", false, {}, {}, 0, false, "Nothing <b>returned</b>"},
                           valueRow(label61, Oid::OctetString, "STRING: x"),
                           withPath});
        viewer.showPendingRows();
        QCOMPARE(viewer.toPlainText().split('\n').mid(1, 4).join('\n'),
                 QString("sysObjectID.0 = OID: enterprises.9\nifSpeed.1 = Nothing returned\n%1 = STRING: x\n"
                         "A&B (1.3.6.1.2.1.2.2.1.2.1) = <b>eth0</b> & co")
                     .arg(label61));
        QStringList message; // red, with its own markup applied
        for (auto it = viewer.document()->findBlockByNumber(2).begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().foreground().color() == QColor(Qt::red))
                message << it.fragment().text() +
                               (it.fragment().charFormat().fontWeight() > QFont::Normal ? "(bold)" : "");
        }
        QCOMPARE(message, (QStringList{"Nothing ", "returned(bold)"}));

        // The texts of the menu on row i (past the last: below it), then its action k triggered.
        auto menuAt = [&viewer](int i, int trigger = -1) {
            const int last = viewer.document()->blockCount() - 1;
            const QRectF rect = viewer.document()->documentLayout()->blockBoundingRect(
                viewer.document()->findBlockByNumber(qMin(i, last)));
            const int y = int(rect.center().y()) + (i > last ? 40 : 0) - viewer.verticalScrollBar()->value();
            std::unique_ptr<QMenu> menu(viewer.createContextMenu(QPoint(int(rect.left()) + 8, y)));
            if (trigger >= 0)
                menu->actions().at(trigger)->trigger();
            return texts(menu.get());
        };
        const QStringList standard = texts(std::unique_ptr<QMenu>(viewer.createStandardContextMenu()).get());
        QCOMPARE(menuAt(0), standard); // no extra actions: the standard menu
        QAction saveAs("Save as...");
        viewer.setExtraActions({&saveAs});
        const QStringList tail = standard + QStringList{"Save as..."};
        QCOMPARE(menuAt(0, 0),
                 QStringList({"Jump To \"sysUpTime.0\"", "--", "Monitor \"sysUpTime.0\"...", "--"}) + tail);
        menuAt(0, 2);
        // An object ID: its row and the OID of its value to jump to, nothing to monitor.
        QCOMPARE(menuAt(1, 1),
                 QStringList({"Jump To \"sysObjectID.0\"", "Jump To OID \"1.3.6.1.4.1.9\"", "--"}) + tail);
        QCOMPARE(menuAt(2), tail); // a message
        QCOMPARE(menuAt(3), QStringList({"Jump To \"" + label61.left(60) + "...\"", "--"}) + tail);
        QCOMPARE(menuAt(5), tail);                 // below the last line
        viewer.findChild<QPushButton*>()->click(); // Stop
        QCOMPARE(signalled,
                 (QStringList{"1.3.6.1.2.1.sysUpTime.0", "1.3.6.1.2.1.sysUpTime.0|8|Timeticks: (4200) 0:00:42.00",
                              "1.3.6.1.4.1.9", "stop"}));

        // Plain value lines skip the HTML parser but read as before: one block per row, white
        // space folded as HTML folds it, the type's background.
        viewer.appendRows({valueRow("sysDescr.0", Oid::OctetString, " two  spaces\nand\ta line "),
                           valueRow("ifInOctets.1", Oid::Counter, "Counter32: 1", 1)});
        viewer.showPendingRows();
        QCOMPARE(viewer.toPlainText().split('\n').mid(5),
                 (QStringList{"sysDescr.0 = two spaces and a line ", "ifInOctets.1 = Counter32: 1"}));
        for (const int block : {3, 6})
            QCOMPARE(viewer.document()->findBlockByNumber(block).begin().fragment().charFormat().background().color(),
                     QColor(block == 3 ? "#abebc6" : "#F5F5DC"));
    }

    // Rows appended within a moment of a paint are in rows() at once and reach the document a little later.
    void deferredValues()
    {
        OidValueViewer viewer;
        viewer.resize(520, 260);
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        QVector<OidValueViewer::Row> rows(450, valueRow("ifInOctets.1", Oid::Counter, "Counter32: 1", 1));
        rows << valueRow("sysDescr.0", Oid::OctetString, QString(300, 'x'));
        // A view at the end stays there while many lines are laid out; the wide last one brings
        // the horizontal scroll bar, which takes height from the view. A view scrolled up stays put.
        QScrollBar* bar = viewer.verticalScrollBar();
        for (int batch = 1; batch <= 2; ++batch) {
            viewer.viewport()->repaint();
            viewer.appendRows(rows);
            QVERIFY(viewer.rows().size() == 451 * batch && viewer.document()->blockCount() < 451 * batch);
            QTRY_COMPARE_WITH_TIMEOUT(viewer.document()->blockCount(), 451 * batch, 2000);
            QTest::qWait(100);
            QCOMPARE(bar->value(), batch == 1 ? bar->maximum() : 100);
            bar->setValue(100);
        }
        // clear() drops lines still waiting.
        viewer.viewport()->repaint();
        viewer.appendRows(rows);
        viewer.clear();
        QTest::qWait(150);
        QVERIFY(viewer.rows().isEmpty() && viewer.toPlainText().isEmpty());
    }

    void selectAndActivate()
    {
        load();
        QVector<OidPtr> changed;
        connect(m_browser.get(), &OidBrowser::currentChanged, this, [&changed](const OidPtr& oid) { changed << oid; });
        const OidPtr sysName = m_mib.at("1.3.6.1.2.1.1.5");
        m_browser->selectIndex(m_mib.indexAt("1.3.6.1.2.1.1.5"));
        QTextEdit expected; // the pane normalises the HTML it is given
        expected.setHtml(OidDescription::html(*sysName));
        QCOMPARE(m_browser->descriptionPane()->toHtml(), expected.toHtml());
        // A reload leaves no node of the old tree on show.
        m_mib.model->reload();
        QVERIFY(!m_browser->currentOid() && m_browser->descriptionPane()->toPlainText().isEmpty());
        QCOMPARE(changed, (QVector<OidPtr>{sysName, OidPtr()}));
        // Return activates a leaf, not a group.
        QVector<OidPtr> leaf;
        connect(m_browser.get(), &OidBrowser::leafOidActivated, this, [&leaf](const OidPtr& oid) { leaf << oid; });
        for (const char* path : {"1.3.6.1.2.1.1", "1.3.6.1.2.1.1.1"}) {
            m_browser->selectIndex(m_mib.indexAt(path));
            QTest::keyClick(view(), Qt::Key_Return);
        }
        QCOMPARE(leaf, QVector<OidPtr>{m_mib.at("1.3.6.1.2.1.1.1")});
    }

    void expansion()
    {
        load();
        for (const char* path : {"1", "1.3", "1.3.6", "1.3.6.1", "1.3.6.1.2", "1.3.6.1.4", "1.3.6.1.2.1",
                                 "1.3.6.1.2.1.2", "1.3.6.1.2.1.2.2"})
            view()->expand(m_mib.indexAt(path));
        view()->collapse(m_mib.indexAt("1.3.6.1.2.1.2")); // its expanded child is not recorded
        const QString saved = expanded();
        QCOMPARE(saved, QStringLiteral("1[3[6[1[2[1],4]]]]"));
        // Another view over the reloaded model gets the same branches back, parents expanded last.
        m_mib.model->reload();
        TreeView restored;
        restored.setModel(m_mib.model.get());
        QStringList order;
        connect(&restored, &QTreeView::expanded, this,
                [&order](const QModelIndex& i) { order << i.data().toString(); });
        restoreExpansion(&restored, saved);
        QCOMPARE(saveExpansion(&restored), saved);
        QCOMPARE(order.mid(order.size() - 3), (QStringList{"dod", "org", "iso"}));
        // Text recorded for another root changes nothing; numbers the tree lacks are passed over.
        m_browser->restoreExpansion(QStringLiteral("2[3]"));
        m_browser->restoreExpansion(QStringLiteral("1[3[99,6]]"));
        QCOMPARE(expanded(), QStringLiteral("1[3[6]]"));
        // Collapsing the tree closes everything below internet, not merely hides it; a tree
        // without internet collapses down to dod.
        view()->expandAll();
        m_browser->onCollapseTree();
        view()->expand(m_mib.indexAt("1.3.6.1.2"));
        QCOMPARE(expanded(), QStringLiteral("1[3[6[1[2]]]]"));
        load(QStringLiteral("1 0 iso 1; 2 1 org 3; 3 2 dod 6; 4 3 other 2; 5 4 leaf 1"));
        view()->expandAll();
        m_browser->onCollapseTree();
        QCOMPARE(expanded(), QStringLiteral("1[3[6]]"));
    }

    void scrollToKeepsBranchVisible()
    {
        // A deep, narrow branch in a narrow view: the node comes into view sideways with one
        // indentation step of its branch still visible, also when its parents were collapsed
        // (a search result).
        QString text;
        for (int i = 1; i <= 40; ++i)
            text +=
                QStringLiteral("%1 %2 %3 1;").arg(i).arg(i - 1).arg(i == 40 ? "aRatherLongLeafNameAtTheBottom" : "b");
        load(text);
        m_browser->resize(300, 300);
        const QModelIndex deep = m_mib.indexAt(QByteArray("1").append(QByteArray(".1").repeated(39)).constData());
        for (const bool collapsed : {false, true}) {
            collapsed ? view()->collapseAll() : view()->expandAll();
            view()->scrollTo(deep, QAbstractItemView::PositionAtCenter);
            QTRY_VERIFY(view()->horizontalScrollBar()->value() > 0);
            const int left = view()->visualRect(deep).left();
            QVERIFY2(left >= view()->indentation() - 1 && left < view()->viewport()->width(),
                     qPrintable(QString::number(left)));
            // Back to the root is back at the left edge; an invalid index changes nothing.
            view()->scrollTo(m_mib.model->index(0, 0));
            view()->scrollTo(QModelIndex());
            QCOMPARE(view()->horizontalScrollBar()->value(), 0);
        }
    }

    void branchMenuAndSave()
    {
        load();
        // The branch actions act on a group's whole branch, on nothing else.
        m_browser->onCollapseTree();
        m_browser->selectIndex(m_mib.indexAt("1.3.6.1.2.1.2")); // interfaces
        child<QAction>(m_browser.get(), "Expand branch")->trigger();
        QCOMPARE(expanded(), QStringLiteral("1[3[6[1[2[1[2[2[1]]]]]]]]"));
        child<QAction>(m_browser.get(), "Collapse branch")->trigger();
        view()->expand(m_mib.indexAt("1.3.6.1.2.1.2"));
        QCOMPARE(expanded(), QStringLiteral("1[3[6[1[2[1[2]]]]]]"));
        m_browser->selectIndex(m_mib.indexAt("1.3.6.1.2.1.1.5"));
        child<QAction>(m_browser.get(), "Expand branch")->trigger();
        QCOMPARE(expanded(), QStringLiteral("1[3[6[1[2[1[1,2]]]]]]"));

        // Without a callback a group's menu offers the branch actions, a leaf's nothing at all.
        QCOMPARE(treeMenuAt("1.3.6.1.2.1.2"), (QStringList{"Expand branch", "Collapse branch"}));
        QCOMPARE(treeMenuAt("1.3.6.1.2.1.1.5"), QStringList{"no menu"});
        OidPtr asked;
        m_browser->setContextMenuCallback([&](QMenu* menu, const OidPtr& oid) {
            asked = oid;
            if (oid->name != QLatin1String("sysObjectID"))
                menu->addAction(QStringLiteral("Get"));
        });
        QCOMPARE(treeMenuAt("1.3.6.1.2.1.2"), (QStringList{"Expand branch", "Collapse branch", "Get"}));
        QCOMPARE(treeMenuAt("1.3.6.1.2.1.1.5"), QStringList{"Get"});
        QCOMPARE(m_browser->currentOid(), asked); // which the menu's entries act on
        QCOMPARE(treeMenuAt("1.3.6.1.2.1.1.2"), QStringList{"no menu"});
        QCOMPARE(asked, m_mib.at("1.3.6.1.2.1.1.2"));

        // Save as: the lines as plain text over a longer earlier file; cancelled, and a target
        // that cannot be opened: nothing written, nothing reported.
        ScriptedPrompts prompts;
        const OidValueViewer::Row row = valueRow("sysName.0", Oid::OctetString, "r\u00e9seau <b>");
        m_browser->valueViewer()->appendRows({row, row});
        const QString saved = m_mib.dir.filePath("results.txt");
        QVERIFY(writeBytes(saved, QByteArray(500, 'x')));
        for (const QString& answer : {saved, QString(), m_mib.dir.filePath("missing/results.txt")}) {
            prompts.answerFile(answer);
            child<QAction>(m_browser.get(), "Save as...")->trigger();
            m_browser->valueViewer()->clear();
        }
        QCOMPARE(prompts.asked.size(), 3);
        QCOMPARE(readBytes(saved), QByteArray("sysName.0 = r\xc3\xa9seau <b>\nsysName.0 = r\xc3\xa9seau <b>"));
    }

private:
    // A browser over the sample tree, or over the nodes of text.
    void load(const QString& text = QString())
    {
        m_browser.reset();
        QVERIFY(text.isEmpty() ? m_mib.load() : m_mib.load(text));
        m_browser = std::make_unique<OidBrowser>(true);
        m_browser->setModel(m_mib.model.get());
        m_browser->resize(800, 600);
        m_browser->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_browser.get()));
    }
    TreeView* view() const { return m_browser->treeView(); }
    QString expanded() const { return m_browser->saveExpansion(); }

    QStringList treeMenuAt(const char* path)
    {
        const QModelIndex index = m_mib.indexAt(path);
        view()->scrollTo(index);
        QStringList shown{QStringLiteral("no menu")};
        QTimer::singleShot(0, this, [&shown] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                shown = texts(menu);
                menu->close();
            }
        });
        emit view()->customContextMenuRequested(view()->visualRect(index).center());
        QCoreApplication::processEvents(); // the timer runs after a menu that never opened
        return shown;
    }

    LoadedMib m_mib;
    std::unique_ptr<OidBrowser> m_browser;
};

QTEST_MAIN(TestBrowser)
#include "test_browser.moc"
