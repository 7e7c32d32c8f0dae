#pragma once

#include "mib/Oid.h"

#include <QByteArray>
#include <QModelIndex>
#include <QString>
#include <QWidget>

#include <functional>

class OidValueViewer;
class QAction;
class QMenu;
class QSplitter;
class QTextEdit;
class TreeModel;
class TreeView;

// The main window's central panel: the MIB tree on the left; the current node's
// definition above the SNMP result viewer on the right.
class OidBrowser final : public QWidget
{
    Q_OBJECT

public:
    // Appends the owner's entries to the context menu of a tree node.
    using ContextMenuCallback = std::function<void(QMenu* menu, const OidPtr& oid)>;

    explicit OidBrowser(bool showValueViewer, QWidget* parent = nullptr);
    ~OidBrowser() override;

    // The model is not owned; the tree's root node becomes the single top-level row.
    void setModel(TreeModel* model);
    TreeModel* model() const;
    void setContextMenuCallback(ContextMenuCallback callback);

    // The node of the tree's current index; empty when there is none.
    OidPtr currentOid() const;
    // Makes index current and centres it; an invalid index clears the current node.
    void selectIndex(const QModelIndex& index);

    // The expanded branches as text (see Expansion.h).
    QString saveExpansion() const;
    void restoreExpansion(const QString& expansion);

    // The splitter between the tree and the right side, and the one between the
    // description and the result viewer, as opaque states.
    QByteArray saveMainSplitterState() const;
    bool restoreMainSplitterState(const QByteArray& state);
    QByteArray saveRightSplitterState() const;
    bool restoreRightSplitterState(const QByteArray& state);

    OidValueViewer* valueViewer() const;
    TreeView* treeView() const;
    QTextEdit* descriptionPane() const;

signals:
    // The current node changed; empty when there is none.
    void currentChanged(const OidPtr& oid);
    // A node without children was double-clicked or entered.
    void leafOidActivated(const OidPtr& oid);

public slots:
    // The default expansion: the children of internet (1.3.6.1), all else collapsed.
    void onCollapseTree();

private slots:
    void onCurrentChanged(const QModelIndex& current, const QModelIndex& previous);
    void onItemActivated(const QModelIndex& index);
    void onCustomContextMenuTreeView(const QPoint& point);
    void onExpandAllChildren();
    void onCollapseAllChildren();
    void onSaveValueData();

private:
    void setBranchExpanded(bool expand);
    void setExpandedRecursively(const QModelIndex& index, bool expand);

    QSplitter* m_mainSplitter;
    QSplitter* m_rightSplitter;
    TreeView* m_treeView;
    QTextEdit* m_description;
    OidValueViewer* m_valueViewer;
    QAction* m_expandBranchAction;
    QAction* m_collapseBranchAction;
    QAction* m_saveAsAction;
    TreeModel* m_model = nullptr;
    ContextMenuCallback m_contextMenuCallback;
};
