#include "MibMerger.h"

#include "mib/MibDatabase.h"
#include "mib/Oid.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace {

// Numeric paths ("1.3.6.1") of records whose parents precede them.
QStringList pathsOf(const QVector<MibNodeRecord>& nodes)
{
    QStringList paths;
    paths.reserve(nodes.size());
    for (const MibNodeRecord& node : nodes) {
        const QString number = QString::number(node.number);
        paths << (node.parentIndex < 0 ? number : paths.at(node.parentIndex) + QLatin1Char('.') + number);
    }
    return paths;
}

bool sameDefinition(const MibNodeRecord& a, const MibNodeRecord& b)
{
    auto sameEnums = [](const MibNodeRecord::EnumValue& x, const MibNodeRecord::EnumValue& y) {
        return x.label == y.label && x.value == y.value;
    };
    auto sameRanges = [](const MibNodeRecord::Range& x, const MibNodeRecord::Range& y) {
        return x.low == y.low && x.high == y.high;
    };
    return a.name == b.name && a.type == b.type && a.access == b.access && a.module == b.module &&
           a.filename == b.filename && a.lastUpdated == b.lastUpdated && a.description == b.description &&
           std::equal(a.enums.cbegin(), a.enums.cend(), b.enums.cbegin(), b.enums.cend(), sameEnums) &&
           std::equal(a.ranges.cbegin(), a.ranges.cend(), b.ranges.cbegin(), b.ranges.cend(), sameRanges);
}

} // namespace

bool MibMerger::load(const QString& fileName)
{
    MibDatabase database;
    database.setFileName(fileName);
    int format = 0;
    const int status = database.check();
    if (status != MibDatabase::Usable || database.open(true) != MibDatabase::Usable ||
        !database.readVersion(&format, &m_major, &m_minor)) {
        m_error = status == MibDatabase::Missing ? QStringLiteral("%1: no such file").arg(fileName)
                                                 : QStringLiteral("%1: not a MIB database this program reads "
                                                                  "(status %2)")
                                                       .arg(fileName)
                                                       .arg(status);
        return false;
    }

    QSqlQuery query(database.database());
    query.setForwardOnly(true);
    QHash<qint64, int> byId;
    QVector<qint64> parentIds;
    query.exec(QStringLiteral("SELECT id, parent_id, name, number, type, access, module, filename, last_updated, "
                              "description FROM node ORDER BY id"));
    while (query.next()) {
        MibNodeRecord record;
        record.id = query.value(0).toLongLong();
        parentIds << (query.value(1).isNull() ? 0 : query.value(1).toLongLong());
        record.name = query.value(2).toString();
        record.number = query.value(3).toLongLong();
        record.type = query.value(4).toInt();
        record.access = query.value(5).toInt();
        record.module = query.value(6).toString();
        record.filename = query.value(7).toString();
        record.lastUpdated = query.value(8).toLongLong();
        record.description = query.value(9).toString();
        byId.insert(record.id, m_nodes.size());
        m_nodes << record;
    }
    query.exec(QStringLiteral("SELECT node_id, label, value FROM enum ORDER BY rowid"));
    while (query.next()) {
        const int index = byId.value(query.value(0).toLongLong(), -1);
        if (index >= 0)
            m_nodes[index].enums.append({query.value(1).toString(), query.value(2).toLongLong()});
    }
    query.exec(QStringLiteral("SELECT node_id, low, high FROM range ORDER BY rowid"));
    while (query.next()) {
        const int index = byId.value(query.value(0).toLongLong(), -1);
        if (index >= 0)
            m_nodes[index].ranges.append({query.value(1).toLongLong(), query.value(2).toLongLong()});
    }
    // The builder writes parents before their children and merges append; a database made
    // otherwise is put in that order here (ids stay as they are).
    bool ordered = true;
    for (int i = 0; i < m_nodes.size(); ++i) {
        const qint64 parent = parentIds.at(i);
        m_nodes[i].parentIndex = parent ? byId.value(parent, -2) : -1;
        if (m_nodes.at(i).parentIndex == -2 || m_nodes.at(i).parentIndex == i) {
            m_error = QStringLiteral("%1: node %2 has no parent in the database").arg(fileName).arg(m_nodes.at(i).id);
            return false;
        }
        ordered = ordered && m_nodes.at(i).parentIndex < i;
    }
    return ordered || putParentsFirst(fileName);
}

bool MibMerger::putParentsFirst(const QString& fileName)
{
    QVector<QVector<int>> children(m_nodes.size());
    QVector<int> pending;
    for (int i = 0; i < m_nodes.size(); ++i) {
        if (m_nodes.at(i).parentIndex < 0)
            pending << i;
        else
            children[m_nodes.at(i).parentIndex] << i;
    }
    QVector<int> newIndex(m_nodes.size(), -1);
    QVector<MibNodeRecord> sorted;
    sorted.reserve(m_nodes.size());
    while (!pending.isEmpty()) {
        const int index = pending.takeLast();
        newIndex[index] = sorted.size();
        sorted << m_nodes.at(index);
        if (sorted.last().parentIndex >= 0)
            sorted.last().parentIndex = newIndex.at(sorted.last().parentIndex);
        pending += children.at(index);
    }
    if (sorted.size() != m_nodes.size()) {
        m_error =
            QStringLiteral("%1: %2 nodes are their own ancestors").arg(fileName).arg(m_nodes.size() - sorted.size());
        return false;
    }
    m_nodes = sorted;
    return true;
}

bool MibMerger::merge(const QVector<MibNodeRecord>& compiled, const QVector<ModuleReport>& modules)
{
    QHash<QString, bool> added; // module -> compiled without problems
    for (const ModuleReport& module : modules) {
        if (!module.searched && module.nodeCount > 0)
            added.insert(module.name, !module.hasProblems());
    }
    const QStringList existingPaths = pathsOf(m_nodes);
    const QStringList compiledPaths = pathsOf(compiled);
    QHash<QString, int> existing;
    for (int i = 0; i < existingPaths.size(); ++i)
        existing.insert(existingPaths.at(i), i);

    // A module of the database is the same module when its MODULE-IDENTITY sits at the same
    // place or, when one of them has none, when the two share at least one node.
    QSet<QString> inDatabase;
    QSet<QString> shared;
    QHash<QString, QString> identityInDatabase;
    QHash<QString, QString> identityCompiled;
    for (int i = 0; i < m_nodes.size(); ++i) {
        const MibNodeRecord& node = m_nodes.at(i);
        if (!added.contains(node.module))
            continue;
        inDatabase.insert(node.module);
        if (node.type == Oid::ModuleId)
            identityInDatabase.insert(node.module, existingPaths.at(i));
    }
    for (int i = 0; i < compiled.size(); ++i) {
        const MibNodeRecord& node = compiled.at(i);
        if (node.type == Oid::ModuleId)
            identityCompiled.insert(node.module, compiledPaths.at(i));
        const int at = existing.value(compiledPaths.at(i), -1);
        if (at >= 0 && m_nodes.at(at).module == node.module)
            shared.insert(node.module);
    }
    for (const QString& module : qAsConst(inDatabase)) {
        const bool identified = identityInDatabase.contains(module) && identityCompiled.contains(module);
        if (identified ? identityInDatabase.value(module) != identityCompiled.value(module)
                       : !shared.contains(module)) {
            m_error = QStringLiteral("%1 clashes with the module of that name in the database, which defines other "
                                     "nodes; rename one of them")
                          .arg(module);
            return false;
        }
    }

    const QVector<MibNodeRecord> before = m_nodes;
    // Children come after their parents: walking backwards marks every missing ancestor.
    QVector<bool> take(compiled.size(), false);
    for (int i = compiled.size() - 1; i >= 0; --i) {
        if (existing.contains(compiledPaths.at(i)))
            continue;
        take[i] = take.at(i) || added.contains(compiled.at(i).module);
        if (take.at(i) && compiled.at(i).parentIndex >= 0)
            take[compiled.at(i).parentIndex] = true;
    }

    qint64 nextId = 0;
    for (const MibNodeRecord& node : qAsConst(m_nodes))
        nextId = std::max(nextId, node.id);
    QVector<int> placed(compiled.size(), -1);
    int addedRows = 0;
    int updatedRows = 0;
    for (int i = 0; i < compiled.size(); ++i) {
        MibNodeRecord record = compiled.at(i);
        const int at = existing.value(compiledPaths.at(i), -1);
        if (at >= 0) {
            placed[i] = at;
            MibNodeRecord& row = m_nodes[at];
            if (added.contains(record.module) && row.module == record.module && !sameDefinition(row, record)) {
                record.id = row.id;
                record.parentIndex = row.parentIndex;
                row = record;
                ++updatedRows;
            }
        } else if (take.at(i)) {
            record.id = ++nextId;
            record.parentIndex = record.parentIndex < 0 ? -1 : placed.at(record.parentIndex);
            placed[i] = m_nodes.size();
            m_nodes << record;
            ++addedRows;
        }
    }

    // Rows an added module no longer defines, deepest first, so that a parent whose children
    // all go can go too. Rows below them that stay are other modules' (the compilation holds
    // the ancestors of everything it defines): the merge would cut them off.
    const QSet<QString> stillDefined(compiledPaths.cbegin(), compiledPaths.cend());
    QVector<int> children(m_nodes.size(), 0);
    for (const MibNodeRecord& node : qAsConst(m_nodes)) {
        if (node.parentIndex >= 0)
            ++children[node.parentIndex];
    }
    QVector<int> candidates;
    for (int i = 0; i < existingPaths.size(); ++i) {
        if (added.value(m_nodes.at(i).module) && !stillDefined.contains(existingPaths.at(i)))
            candidates << i;
    }
    std::sort(candidates.begin(), candidates.end(), [&existingPaths](int a, int b) {
        return existingPaths.at(a).count(QLatin1Char('.')) > existingPaths.at(b).count(QLatin1Char('.'));
    });
    QVector<bool> gone(m_nodes.size(), false);
    int removedRows = 0;
    for (const int i : qAsConst(candidates)) {
        if (children.at(i) > 0) {
            m_error = QStringLiteral("%1 no longer defines %2 (%3), which nodes of other modules need; nothing was "
                                     "changed")
                          .arg(m_nodes.at(i).module, m_nodes.at(i).name, existingPaths.at(i));
            m_nodes = before;
            return false;
        }
        gone[i] = true;
        ++removedRows;
        if (m_nodes.at(i).parentIndex >= 0)
            --children[m_nodes.at(i).parentIndex];
    }
    m_added = addedRows;
    m_updated = updatedRows;
    m_removed = removedRows;
    if (removedRows > 0)
        dropRows(gone);
    return true;
}

bool MibMerger::remove(const QStringList& modules)
{
    const QSet<QString> removed(modules.cbegin(), modules.cend());
    QVector<bool> gone(m_nodes.size(), false);
    int count = 0;
    for (int i = 0; i < m_nodes.size(); ++i) {
        gone[i] = removed.contains(m_nodes.at(i).module);
        count += gone.at(i) ? 1 : 0;
    }
    for (const MibNodeRecord& node : qAsConst(m_nodes)) {
        if (node.parentIndex >= 0 && gone.at(node.parentIndex) && !removed.contains(node.module)) {
            const MibNodeRecord& parent = m_nodes.at(node.parentIndex);
            m_error = QStringLiteral("%1 cannot be removed: %2 of %3 is defined below its node %4; remove %3 too")
                          .arg(parent.module, node.name, node.module, parent.name);
            return false;
        }
    }
    m_added = 0;
    m_updated = 0;
    m_removed = count;
    if (count > 0)
        dropRows(gone);
    return true;
}

int MibMerger::rowCount(const QString& module) const
{
    return static_cast<int>(std::count_if(m_nodes.cbegin(), m_nodes.cend(),
                                          [&module](const MibNodeRecord& node) { return node.module == module; }));
}

void MibMerger::dropRows(const QVector<bool>& gone)
{
    QVector<int> newIndex(m_nodes.size(), -1);
    QVector<MibNodeRecord> kept;
    kept.reserve(m_nodes.size());
    for (int i = 0; i < m_nodes.size(); ++i) {
        if (gone.at(i))
            continue;
        newIndex[i] = kept.size();
        kept << m_nodes.at(i);
        if (kept.last().parentIndex >= 0)
            kept.last().parentIndex = newIndex.at(kept.last().parentIndex);
    }
    m_nodes = kept;
}
