#include "ui/browser/OidBrowser.h"
#include "mib/OidDescription.h"
#include "ui/browser/OidValueViewer.h"
#include "ui/browser/TreeExpansion.h"
#include "ui/browser/TreeView.h"
#include "LoadedMib.h"
#include "ScriptedPrompts.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QScrollBar>
#include <QTextEdit>
#include <QtTest>

#include <memory>

class TestOidBrowser final : public QObject
{
    Q_OBJECT

private slots:
    void init() { load(QString()); }
    void cleanup() { m_browser.reset(); }
    void selectAndActivate();
    void expansion();
    void branchActions();
    void scrollToKeepsBranchVisible();
    void saveAs();
    void contextMenu();

private:
    // A browser over the sample tree, or over the nodes of text.
    void load(const QString& text)
    {
        m_browser.reset();
        QVERIFY(text.isEmpty() ? m_mib.load() : m_mib.load(text));
        m_browser = std::make_unique<OidBrowser>(true);
        m_browser->setModel(m_mib.model.get());
        m_browser->resize(800, 600);
        m_browser->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_browser.get()));
    }
    QAction* action(const char* text) const
    {
        for (QAction* action : m_browser->findChildren<QAction*>()) {
            if (action->text() == QLatin1String(text))
                return action;
        }
        return nullptr;
    }
    TreeView* view() const { return m_browser->treeView(); }
    bool isExpanded(const char* path) const { return view()->isExpanded(m_mib.indexAt(path)); }
    QString expanded() const { return m_browser->saveExpansion(); }
    // The texts of the tree's context menu on a node, or "no menu"; the menu is closed at once.
    QStringList menuAt(const char* path);

    LoadedMib m_mib;
    std::unique_ptr<OidBrowser> m_browser;
};

void TestOidBrowser::selectAndActivate()
{
    QVector<OidPtr> changed;
    connect(m_browser.get(), &OidBrowser::currentChanged, this, [&changed](const OidPtr& oid) { changed << oid; });
    const OidPtr sysName = m_mib.at("1.3.6.1.2.1.1.5");
    m_browser->selectIndex(m_mib.indexAt("1.3.6.1.2.1.1.5"));
    QTextEdit expected; // the pane normalises the HTML it is given
    expected.setHtml(OidDescription::html(*sysName));
    QCOMPARE(m_browser->descriptionPane()->toHtml(), expected.toHtml());
    // A reload leaves no node of the old tree on show.
    m_mib.model->reload();
    QCOMPARE(m_browser->currentOid(), OidPtr());
    QVERIFY(m_browser->descriptionPane()->toPlainText().isEmpty());
    QCOMPARE(changed, (QVector<OidPtr>{sysName, OidPtr()}));

    // Return activates a leaf, not a group.
    QVector<OidPtr> leaf;
    connect(m_browser.get(), &OidBrowser::leafOidActivated, this, [&leaf](const OidPtr& oid) { leaf << oid; });
    for (const char* path : {"1.3.6.1.2.1.1", "1.3.6.1.2.1.1.1"}) {
        m_browser->selectIndex(m_mib.indexAt(path));
        QTest::keyClick(view(), Qt::Key_Return);
    }
    QCOMPARE(leaf, QVector<OidPtr>{m_mib.at("1.3.6.1.2.1.1.1")});
    QVERIFY(m_browser->valueViewer()->isVisible());
    OidBrowser withoutViewer(false);
    withoutViewer.show();
    QVERIFY(!withoutViewer.valueViewer()->isVisible());
}

void TestOidBrowser::expansion()
{
    for (const char* path :
         {"1", "1.3", "1.3.6", "1.3.6.1", "1.3.6.1.2", "1.3.6.1.4", "1.3.6.1.2.1", "1.3.6.1.2.1.2", "1.3.6.1.2.1.2.2"})
        view()->expand(m_mib.indexAt(path));
    view()->collapse(m_mib.indexAt("1.3.6.1.2.1.2")); // its expanded child is not recorded
    const QString saved = expanded();
    QCOMPARE(saved, QStringLiteral("1[3[6[1[2[1],4]]]]"));

    // Another view over the reloaded model gets the same branches back, parents expanded last.
    m_mib.model->reload();
    TreeView restored;
    restored.setModel(m_mib.model.get());
    QStringList order;
    connect(&restored, &QTreeView::expanded, this, [&order](const QModelIndex& i) { order << i.data().toString(); });
    restoreExpansion(&restored, saved);
    QCOMPARE(saveExpansion(&restored), saved);
    QCOMPARE(order.mid(order.size() - 3), (QStringList{"dod", "org", "iso"}));
    // Text recorded for another root changes nothing; numbers the tree lacks are passed over.
    m_browser->restoreExpansion(QStringLiteral("2[3]"));
    QCOMPARE(expanded(), QString());
    m_browser->restoreExpansion(QStringLiteral("1[3[99,6[1[2[1[1]]]]]]"));
    QVERIFY(isExpanded("1.3.6.1.2.1.1"));

    // Collapsing the tree closes everything below internet, not merely hides it.
    view()->expandAll();
    m_browser->onCollapseTree();
    QCOMPARE(expanded(), QStringLiteral("1[3[6[1]]]"));
    view()->expand(m_mib.indexAt("1.3.6.1.2"));
    QVERIFY(!isExpanded("1.3.6.1.2.1"));
    // A tree without internet collapses down to dod.
    load(QStringLiteral("1 0 iso 1; 2 1 org 3; 3 2 dod 6; 4 3 other 2; 5 4 leaf 1"));
    view()->expandAll();
    m_browser->onCollapseTree();
    QCOMPARE(expanded(), QStringLiteral("1[3[6]]"));
}

void TestOidBrowser::branchActions()
{
    m_browser->onCollapseTree();
    m_browser->selectIndex(m_mib.indexAt("1.3.6.1.2.1.2")); // interfaces
    action("Expand branch")->trigger();
    QCOMPARE(expanded(), QStringLiteral("1[3[6[1[2[1[2[2[1]]]]]]]]"));
    action("Collapse branch")->trigger();
    view()->expand(m_mib.indexAt("1.3.6.1.2.1.2"));
    QVERIFY(!isExpanded("1.3.6.1.2.1.2.2"));
    // On a leaf and with no current node both do nothing.
    m_browser->selectIndex(m_mib.indexAt("1.3.6.1.2.1.1.5"));
    const QString before = expanded();
    for (const char* path : {"1.3.6.1.2.1.1.5", "9"}) {
        m_browser->selectIndex(m_mib.indexAt(path));
        action("Expand branch")->trigger();
        action("Collapse branch")->trigger();
    }
    QCOMPARE(expanded(), before);
}

void TestOidBrowser::scrollToKeepsBranchVisible()
{
    // A deep, narrow branch in a narrow view: the node comes into view sideways with one
    // indentation step of its branch still visible.
    QString text;
    for (int i = 1; i <= 40; ++i)
        text += QStringLiteral("%1 %2 %3 1;").arg(i).arg(i - 1).arg(i == 40 ? "aRatherLongLeafNameAtTheBottom" : "b");
    load(text);
    m_browser->resize(300, 300);
    view()->expandAll();
    const QModelIndex deep = m_mib.indexAt(QByteArray("1").append(QByteArray(".1").repeated(39)).constData());
    view()->scrollTo(deep, QAbstractItemView::PositionAtCenter);
    QTRY_VERIFY(view()->horizontalScrollBar()->value() > 0);
    const QRect rect = view()->visualRect(deep);
    QVERIFY2(rect.left() >= view()->indentation() - 1, qPrintable(QString::number(rect.left())));
    QVERIFY(rect.left() < view()->viewport()->width());
    // Back to the root is back at the left edge; an invalid index changes nothing.
    view()->scrollTo(m_mib.model->index(0, 0));
    view()->scrollTo(QModelIndex());
    QCOMPARE(view()->horizontalScrollBar()->value(), 0);
}

void TestOidBrowser::saveAs()
{
    ScriptedPrompts prompts;
    QVERIFY(m_browser->valueViewer()->extraActions().contains(action("Save as...")));
    OidValueViewer::Row row{"sysName.0", "1.3.6.1.2.1.1.5.0", false, {}, "r\u00e9seau <b>", Oid::OctetString, true, {}};
    m_browser->valueViewer()->appendRows({row, row});
    QFile saved(m_mib.dir.filePath(QStringLiteral("results.txt")));
    QVERIFY(saved.open(QIODevice::WriteOnly) && saved.write(QByteArray(500, 'x')) == 500); // a longer earlier file
    saved.close();
    // Saved; cancelled; a target that cannot be opened: nothing written, nothing reported.
    prompts.answerFile(saved.fileName());
    action("Save as...")->trigger();
    m_browser->valueViewer()->clear();
    action("Save as...")->trigger();
    prompts.answerFile(m_mib.dir.filePath(QStringLiteral("missing/results.txt")));
    action("Save as...")->trigger();
    QCOMPARE(prompts.asked.size(), 3);
    QCOMPARE(prompts.asked.first().kind, QStringLiteral("save"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("sysName.0 = r\xc3\xa9seau <b>\nsysName.0 = r\xc3\xa9seau <b>"));
}

QStringList TestOidBrowser::menuAt(const char* path)
{
    const QModelIndex index = m_mib.indexAt(path);
    view()->scrollTo(index);
    QStringList texts{QStringLiteral("no menu")};
    QTimer::singleShot(0, this, [&texts] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            texts.clear();
            for (const QAction* action : menu->actions())
                texts << action->text();
            menu->close();
        }
    });
    emit view()->customContextMenuRequested(view()->visualRect(index).center());
    QCoreApplication::processEvents(); // the timer runs after a menu that never opened
    return texts;
}

void TestOidBrowser::contextMenu()
{
    m_browser->restoreExpansion(QStringLiteral("1[3[6[1[2[1[1,2]]]]]]"));
    // Without a callback a group offers the branch actions, a leaf nothing at all.
    QCOMPARE(menuAt("1.3.6.1.2.1.2"), (QStringList{"Expand branch", "Collapse branch"}));
    QCOMPARE(menuAt("1.3.6.1.2.1.1.5"), QStringList{"no menu"});

    OidPtr asked;
    bool addEntry = true;
    m_browser->setContextMenuCallback([&](QMenu* menu, const OidPtr& oid) {
        asked = oid;
        if (addEntry)
            menu->addAction(QStringLiteral("Get"));
    });
    QCOMPARE(menuAt("1.3.6.1.2.1.2"), (QStringList{"Expand branch", "Collapse branch", "Get"}));
    QCOMPARE(menuAt("1.3.6.1.2.1.1.5"), QStringList{"Get"});
    // The menu's node became the current one, which its entries act on.
    QCOMPARE(asked, m_mib.at("1.3.6.1.2.1.1.5"));
    QCOMPARE(m_browser->currentOid(), asked);
    addEntry = false;
    QCOMPARE(menuAt("1.3.6.1.2.1.1.2"), QStringList{"no menu"});
    QCOMPARE(asked, m_mib.at("1.3.6.1.2.1.1.2"));
    // Below the last row there is no node and no menu.
    asked.reset();
    emit view()->customContextMenuRequested(QPoint(5, view()->viewport()->height() - 2));
    QCOMPARE(asked, OidPtr());
}

QTEST_MAIN(TestOidBrowser)
#include "test_oidbrowser.moc"
