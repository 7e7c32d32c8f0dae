#pragma once

#include "MibNodeRecord.h"
#include "ModuleReport.h"

#include <QString>
#include <QVector>

// Merges freshly compiled modules into the rows of an existing MIB.db.
//
// Rows keep their ids. A compiled node whose numeric path the database already has leaves
// that row alone, unless the row belongs to one of the added modules: then the module's new
// definition replaces it. A node of an added module that the database lacks is added, with
// whatever ancestors the database lacks too, whichever module defines them. Rows of an added
// module that compiled without problems and that the compilation no longer has go away,
// unless rows below them stay.
class MibMerger final
{
public:
    // Reads every row of fileName and its version. False, with errorString(), when the file
    // is no MIB database the program would read.
    bool load(const QString& fileName);
    // False, with errorString() and the rows unchanged, when the merge is refused.
    bool merge(const QVector<MibNodeRecord>& compiled, const QVector<ModuleReport>& modules);
    // Removes every row of the modules. False, with errorString() and the rows unchanged, when
    // rows of other modules hang below them.
    bool remove(const QStringList& modules);
    // The number of rows of a module.
    int rowCount(const QString& module) const;

    const QVector<MibNodeRecord>& nodes() const { return m_nodes; }
    QString errorString() const { return m_error; }
    int major() const { return m_major; }
    int minor() const { return m_minor; }
    int added() const { return m_added; }
    int updated() const { return m_updated; }
    int removed() const { return m_removed; }
    bool changed() const { return m_added + m_updated + m_removed > 0; }

private:
    // Orders the rows so that parents precede children; false on a cycle.
    bool putParentsFirst(const QString& fileName);
    // Drops the rows marked gone, which no kept row may hang below.
    void dropRows(const QVector<bool>& gone);

    QVector<MibNodeRecord> m_nodes;
    QString m_error;
    int m_major = 0;
    int m_minor = 0;
    int m_added = 0;
    int m_updated = 0;
    int m_removed = 0;
};
