#pragma once

#include "MibNodeRecord.h"

#include <QString>
#include <QVector>

// Writes compiled nodes into a new MIB.db. The database is built in a temporary file
// beside the target and renamed over it only when complete, so a failed build leaves an
// existing database untouched and never a half-written one.
class MibDbWriter final
{
public:
    explicit MibDbWriter(const QString& fileName);
    ~MibDbWriter();
    Q_DISABLE_COPY_MOVE(MibDbWriter)

    bool write(const QVector<MibNodeRecord>& nodes, int major, int minor);
    QString errorString() const;

private:
    bool fill(const QString& tempFileName, const QVector<MibNodeRecord>& nodes, int major, int minor);
    bool writeRows(const QString& tempFileName, const QVector<MibNodeRecord>& nodes);

    QString m_fileName;
    QString m_error;
};
