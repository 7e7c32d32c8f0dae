#pragma once

#include "mib/Oid.h"

#include <QAbstractItemModel>
#include <QIcon>

#include <future>
#include <memory>

class MibDatabase;

// The MIB as one tree for Qt's item views, and the program's index of it: lookups by
// numeric path, labels for SNMP results and the text search.
class TreeModel final : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit TreeModel(const MibDatabase& database, QObject* parent = nullptr);
    ~TreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Rebuilds the whole tree from the database (a full model reset).
    void reload();

    OidPtr rootOid() const { return m_root; }
    OidPtr findByPath(const QString& path) const;
    QModelIndex indexFromOid(const OidPtr& oid) const;
    // A readable label for a numeric path that may reach below the deepest known node:
    // 1.3.6.1.2.1.1.1.0 becomes sysDescr.0. Unknown paths come back unchanged.
    QString labelFromPath(const QString& path) const;
    // The first node from start (the root when empty) in pre-order, wrapping around once,
    // whose name (or description) contains text.
    QModelIndex find(const OidPtr& start, const QString& text, Qt::CaseSensitivity cs, bool inDescriptions, bool leaves,
                     bool groups) const;
    // The node after oid in depth-first pre-order; the root after the last node.
    OidPtr nextOid(const OidPtr& oid) const;

    // Links a flat node list into a tree and returns its root: the top-level node with the
    // lowest number. Every node is attached at most once, so duplicate ids or a parent
    // chain that leads back to itself cannot loop; unattached nodes are left out. depth, when
    // given, receives the number of levels below the root.
    static OidPtr buildTree(const QVector<OidPtr>& nodes, int* depth = nullptr);

private:
    struct SearchIndex;

    static int rowOf(const Oid* node);
    static const Oid* firstChildWithNumber(const Oid* node, qint32 number);
    void releaseTree();
    const SearchIndex& searchIndex() const;
    int searchPosition(const SearchIndex& index, const Oid* node) const;

    const MibDatabase& m_database;
    OidPtr m_root;
    int m_depth = 0;
    // The tree flattened in pre-order for the text search. It is built beside the user
    // interface after each reload, from the tree that nothing changes any more, and
    // taken over by the first search.
    mutable std::future<std::unique_ptr<SearchIndex>> m_pendingSearch;
    mutable std::unique_ptr<SearchIndex> m_search;
    QIcon m_openIcon;
    QIcon m_leafIcon;
    QIcon m_notificationIcon;
};
