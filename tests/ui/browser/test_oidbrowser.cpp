#include "LoadedMib.h"
#include "ui/browser/OidBrowser.h"
#include "mib/OidDescription.h"
#include "ui/browser/OidValueViewer.h"
#include "ScriptedPrompts.h"
#include "ui/browser/TreeView.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QSplitter>
#include <QTextEdit>
#include <QtTest>

#include <memory>

class TestOidBrowser final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        if (!m_mib.model)
            QVERIFY(m_mib.load());
        m_browser = std::make_unique<OidBrowser>(true);
        m_browser->setModel(m_mib.model.get());
        m_browser->resize(800, 600);
    }
    void cleanup()
    {
        m_browser.reset();
        m_mib.model.reset();
    }
    void layout();
    void selectAndActivate();
    void collapseTree();
    void branchActions();
    void saveAs();
    void contextMenu();

private:
    QAction* action(const char* text) const
    {
        for (QAction* action : m_browser->findChildren<QAction*>())
            if (action->text() == QLatin1String(text))
                return action;
        return nullptr;
    }
    bool isExpanded(const char* path) const { return m_browser->treeView()->isExpanded(m_mib.indexAt(path)); }
    // Opens the tree's context menu on a node and returns the texts of the menu shown, or
    // "no menu"; the menu is closed again at once.
    QStringList menuAt(const QModelIndex& index);

    LoadedMib m_mib;
    std::unique_ptr<OidBrowser> m_browser;
};

void TestOidBrowser::layout()
{
    m_browser->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_browser.get()));
    const QModelIndex root = m_browser->treeView()->model()->index(0, 0, m_browser->treeView()->rootIndex());
    QCOMPARE(root.data().toString(), QStringLiteral("iso"));
    QVERIFY(m_browser->valueViewer()->isVisible());
    QVERIFY(m_browser->valueViewer()->extraActions().contains(action("Save as...")));

    // Splitter states round-trip through the accessors the settings use.
    const QList<QSplitter*> splitters = m_browser->findChildren<QSplitter*>();
    QCOMPARE(splitters.size(), 2);
    for (QSplitter* splitter : splitters) {
        const QList<int> sizes = splitter->sizes();
        QVERIFY2(qAbs(sizes.at(0) - sizes.at(1)) <= 2,
                 qPrintable(QStringLiteral("%1 %2").arg(sizes.at(0)).arg(sizes.at(1))));
    }
    const QByteArray main = m_browser->saveMainSplitterState();
    const QByteArray right = m_browser->saveRightSplitterState();
    splitters.at(0)->setSizes({100, 700});
    splitters.at(1)->setSizes({500, 100});
    QVERIFY(m_browser->restoreMainSplitterState(main));
    QVERIFY(m_browser->restoreRightSplitterState(right));
    QCOMPARE(m_browser->saveMainSplitterState(), main);
    QCOMPARE(m_browser->saveRightSplitterState(), right);
    QVERIFY(!m_browser->restoreMainSplitterState(QByteArray("junk")));

    OidBrowser hidden(false);
    hidden.show();
    QVERIFY(!hidden.valueViewer()->isVisible());
}

void TestOidBrowser::selectAndActivate()
{
    QVector<OidPtr> changed;
    connect(m_browser.get(), &OidBrowser::currentChanged, this, [&changed](const OidPtr& oid) { changed << oid; });
    const OidPtr sysName = m_mib.at("1.3.6.1.2.1.1.5");
    const OidPtr system = m_mib.at("1.3.6.1.2.1.1");
    m_browser->selectIndex(m_mib.model->indexFromOid(sysName));
    QCOMPARE(m_browser->currentOid(), sysName);
    // The pane shows the description document (the editor normalises the HTML it is given).
    QTextEdit expected;
    expected.setHtml(OidDescription::html(*sysName));
    QCOMPARE(m_browser->descriptionPane()->toHtml(), expected.toHtml());

    m_browser->selectIndex(QModelIndex());
    QCOMPARE(m_browser->currentOid(), OidPtr());
    QVERIFY(m_browser->descriptionPane()->toPlainText().isEmpty());

    // A reload (a new database) leaves no node of the old tree on show.
    m_browser->selectIndex(m_mib.model->indexFromOid(system));
    m_mib.model->reload();
    QCOMPARE(m_browser->currentOid(), OidPtr());
    QVERIFY(m_browser->descriptionPane()->toPlainText().isEmpty());
    // Each change was reported once.
    QCOMPARE(changed, (QVector<OidPtr>{sysName, OidPtr(), system, OidPtr()}));

    // Return on a leaf, not on a group, reports it as activated.
    m_browser->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_browser.get()));
    m_browser->onCollapseTree();
    QVector<OidPtr> leaf;
    connect(m_browser.get(), &OidBrowser::leafOidActivated, this, [&leaf](const OidPtr& oid) { leaf << oid; });
    TreeView* view = m_browser->treeView();

    m_browser->selectIndex(m_mib.indexAt("1.3.6.1.2.1.1"));
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(leaf.count(), 0);

    const OidPtr sysDescr = m_mib.at("1.3.6.1.2.1.1.1");
    m_browser->selectIndex(m_mib.model->indexFromOid(sysDescr));
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(leaf.count(), 1);
    QCOMPARE(leaf.first(), sysDescr);
}

void TestOidBrowser::collapseTree()
{
    TreeView* view = m_browser->treeView();
    view->expandAll();
    m_browser->onCollapseTree();
    QCOMPARE(m_browser->saveExpansion(), QStringLiteral("1[3[6[1]]]"));
    // Below internet everything was collapsed, not merely hidden: opening mgmt shows mib-2 closed.
    view->expand(m_mib.indexAt("1.3.6.1.2"));
    QVERIFY(!isExpanded("1.3.6.1.2.1"));
    QVERIFY(!isExpanded("1.3.6.1.2.1.2.2"));

    m_browser->restoreExpansion(QStringLiteral("1[3[6[1[2[1[1]]]]]]"));
    QVERIFY(isExpanded("1.3.6.1.2.1.1"));

    // A tree without internet collapses down to dod.
    cleanup();
    QVERIFY(m_mib.load(QStringLiteral("1 0 iso 1; 2 1 org 3; 3 2 dod 6; 4 3 other 2; 5 4 leaf 1")));
    init();
    m_browser->treeView()->expandAll();
    m_browser->onCollapseTree();
    QCOMPARE(m_browser->saveExpansion(), QStringLiteral("1[3[6]]"));
    QVERIFY(!isExpanded("1.3.6.2"));
}

void TestOidBrowser::branchActions()
{
    m_browser->onCollapseTree();
    QAction* expand = action("Expand branch");
    QAction* collapse = action("Collapse branch");
    QVERIFY(expand && collapse);

    m_browser->selectIndex(m_mib.indexAt("1.3.6.1.2.1.2")); // interfaces
    expand->trigger();
    QVERIFY(isExpanded("1.3.6.1.2.1.2"));
    QVERIFY(isExpanded("1.3.6.1.2.1.2.2"));
    QVERIFY(isExpanded("1.3.6.1.2.1.2.2.1"));
    QVERIFY(!isExpanded("1.3.6.1.2.1.2.2.1.1")); // a leaf stays as it was
    QVERIFY(!isExpanded("1.3.6.1.2.1.1"));       // a sibling branch is untouched

    collapse->trigger();
    QVERIFY(!isExpanded("1.3.6.1.2.1.2"));
    m_browser->treeView()->expand(m_mib.indexAt("1.3.6.1.2.1.2"));
    QVERIFY(!isExpanded("1.3.6.1.2.1.2.2"));
    QVERIFY(!isExpanded("1.3.6.1.2.1.2.2.1"));

    // On a leaf and with no current node both do nothing.
    m_browser->selectIndex(m_mib.indexAt("1.3.6.1.2.1.1.5"));
    const QString before = m_browser->saveExpansion();
    expand->trigger();
    collapse->trigger();
    m_browser->selectIndex(QModelIndex());
    expand->trigger();
    collapse->trigger();
    QCOMPARE(m_browser->saveExpansion(), before);
}

void TestOidBrowser::saveAs()
{
    ScriptedPrompts prompts;
    OidValueViewer* viewer = m_browser->valueViewer();
    OidValueViewer::Row row;
    row.label = QStringLiteral("sysName.0");
    row.valueText = QStringLiteral("r\u00e9seau <b>");
    row.type = Oid::OctetString;
    viewer->appendRow(row);
    row.ok = false;
    row.message = QStringLiteral("Nothing returned");
    viewer->appendRow(row);
    const QByteArray expected = "sysName.0 = r\xc3\xa9seau <b>\nsysName.0 = Nothing returned";
    QCOMPARE(viewer->toPlainText().toUtf8(), expected);

    QFile saved(m_mib.dir.filePath(QStringLiteral("results.txt")));
    QVERIFY(saved.open(QIODevice::WriteOnly) && saved.write(QByteArray(500, 'x')) == 500); // a longer earlier file
    saved.close();
    prompts.answerFile(saved.fileName());
    action("Save as...")->trigger();
    QCOMPARE(prompts.asked.size(), 1);
    QCOMPARE(prompts.asked.first().kind, QStringLiteral("save"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), expected);
    saved.close();

    // Cancelled, and a target that cannot be opened: nothing written, nothing reported.
    viewer->clear();
    QVERIFY(viewer->rows().isEmpty());
    action("Save as...")->trigger();
    prompts.answerFile(m_mib.dir.filePath(QStringLiteral("missing/results.txt")));
    action("Save as...")->trigger();
    QCOMPARE(prompts.asked.size(), 3);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), expected);
    QVERIFY(!QFile::exists(m_mib.dir.filePath(QStringLiteral("missing/results.txt"))));
}

QStringList TestOidBrowser::menuAt(const QModelIndex& index)
{
    TreeView* view = m_browser->treeView();
    view->scrollTo(index);
    const QPoint point = view->visualRect(index).center();
    QStringList texts{QStringLiteral("no menu")};
    QTimer::singleShot(0, this, [&texts] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            texts.clear();
            const QList<QAction*> actions = menu->actions();
            for (const QAction* action : actions)
                texts << action->text();
            menu->close();
        }
    });
    emit view->customContextMenuRequested(point);
    QCoreApplication::processEvents(); // the timer runs after a menu that never opened
    return texts;
}

void TestOidBrowser::contextMenu()
{
    m_browser->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_browser.get()));
    m_browser->restoreExpansion(QStringLiteral("1[3[6[1[2[1[1,2]]]]]]"));

    // Without a callback a group offers the branch actions, a leaf nothing at all.
    QCOMPARE(menuAt(m_mib.indexAt("1.3.6.1.2.1.2")), (QStringList{"Expand branch", "Collapse branch"}));
    QCOMPARE(menuAt(m_mib.indexAt("1.3.6.1.2.1.1.5")), QStringList{"no menu"});

    OidPtr asked;
    bool addEntry = true;
    m_browser->setContextMenuCallback([&](QMenu* menu, const OidPtr& oid) {
        asked = oid;
        if (addEntry)
            menu->addAction(QStringLiteral("Get"));
    });
    QCOMPARE(menuAt(m_mib.indexAt("1.3.6.1.2.1.2")), (QStringList{"Expand branch", "Collapse branch", "Get"}));
    QCOMPARE(asked, m_mib.at("1.3.6.1.2.1.2"));
    QCOMPARE(menuAt(m_mib.indexAt("1.3.6.1.2.1.1.5")), QStringList{"Get"});
    QCOMPARE(asked, m_mib.at("1.3.6.1.2.1.1.5"));
    // The menu's node became the current one, which its entries act on.
    QCOMPARE(m_browser->currentOid(), m_mib.at("1.3.6.1.2.1.1.5"));

    addEntry = false;
    QCOMPARE(menuAt(m_mib.indexAt("1.3.6.1.2.1.1.2")), QStringList{"no menu"});
    QCOMPARE(asked, m_mib.at("1.3.6.1.2.1.1.2"));

    // Below the last row there is no node and no menu.
    asked.reset();
    TreeView* view = m_browser->treeView();
    emit view->customContextMenuRequested(QPoint(5, view->viewport()->height() - 2));
    QCOMPARE(asked, OidPtr());
}

QTEST_MAIN(TestOidBrowser)
#include "test_oidbrowser.moc"
