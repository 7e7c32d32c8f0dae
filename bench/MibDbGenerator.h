#pragma once

#include <QString>

// Writes a synthetic MIB.db of a chosen node count with the program's schema: one tree under
// iso shaped like a real collection of standard and vendor modules (tables, entries, columns,
// scalars, notifications, conformance), with enumerations and ranges. The same seed always
// gives the same file.
class MibDbGenerator final
{
public:
    struct Stats
    {
        qint64 nodes = 0;
        qint64 leaves = 0;
        qint64 enumNodes = 0;
        qint64 enumRows = 0;
        qint64 rangeNodes = 0;
        qint64 rangeRows = 0;
        int modules = 0; // distinct module names, the vendors' own SMI modules included
        int maxDepth = 0;
        double meanLeafDepth = 0;
        int maxFanOut = 0;
        qint64 groupsWithSmallFanOut = 0; // groups with 2 to 20 children
        qint64 groupsWithLargeFanOut = 0; // groups with 100 children or more
    };

    static constexpr qint64 MinimumNodes = 100;

    MibDbGenerator(qint64 nodeCount, quint64 seed);

    // Node rows are normally written in ascending id order, which leaves the b-tree as compact
    // as a builder that numbers nodes as it goes (or a VACUUM) would. Shuffled inserts write
    // them in random id order instead; the rows are the same, the file is larger.
    void setShuffledInserts(bool shuffled);

    // Ids are normally a random permutation, so that nothing about the tree can be read from
    // them. Ordered ids follow the order in which the nodes were made (close to pre-order, as a
    // builder walking the modules would number them), which shows what memory locality is worth.
    void setOrderedIds(bool ordered);

    // Replaces fileName with a new database. On failure returns false and sets *error.
    bool write(const QString& fileName, QString* error);

    const Stats& stats() const { return m_stats; }

private:
    qint64 m_nodeCount;
    quint64 m_seed;
    bool m_shuffledInserts = false;
    bool m_orderedIds = false;
    Stats m_stats;
};
