#pragma once

#include "snmp/ResultRow.h"
#include "snmp/SnmpAsyncReader.h"
#include "snmp/SnmpOidUtils.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

class TreeModel;

// The main window's queries: one Get, or a walk by GetNext or GetBulk, of one node on the
// current device, through the background request runner, which steps walks on its worker.
// Holds the running query, and hands the result lines (values and messages, labelled from
// the tree model) to whoever shows them as the rows arrive.
class QueryController final : public QObject
{
    Q_OBJECT

public:
    // What a query asks: one GET, or a walk by GETNEXT or GETBULK.
    enum RequestKind
    {
        NoRequest = 0,
        GetRequest = 1,
        GetNextWalk = 2,
        GetBulkWalk = 3
    };

    explicit QueryController(const TreeModel& treeModel, QObject* parent = nullptr);

    // The device of later requests. A query running for the one before is abandoned: its
    // late answers are dropped.
    void setDevice(const SnmpOidUtils::Device& device);
    // Whether result lines made from now on show their OID.
    void setShowOidPath(bool show);

    // Queries the node at nodePath; a Get asks its instance nodePath + ".0" (unless it ends in
    // ".0" already). A query still running is abandoned and this one starts in its place.
    void ask(RequestKind kind, const QString& nodePath);
    // Stops the running query: a walk sends no further request, and nothing more is shown.
    void stop();

    // A query is running and its answers are wanted.
    bool isRunning() const { return m_busy; }
    // Value lines shown for the running (or last) query.
    qint32 rowCount() const { return m_rowCount; }

signals:
    // A query starts: the lines of the one before go.
    void started();
    // Lines to append, in order; a message line has ok false.
    void linesReady(const QVector<ResultRow>& lines);
    // Whether a walk is running that Stop can end.
    void stoppableChanged(bool stoppable);
    // The running query ended: answered, ended by its walk, stopped or abandoned.
    void finished();

private:
    void onGetAnswer(const QString& requestPath, const QList<SnmpOidUtils::OidValue>& results);
    void onWalkUpdate(const SnmpAsyncReader::WalkUpdate& update);
    ResultRow valueLine(const SnmpOidUtils::OidValue& value) const;
    ResultRow messageLine(const QString& path, const QString& message) const;
    // Abandons the running query, if any; finished() says so.
    void setIdle();

    const TreeModel& m_treeModel;
    SnmpOidUtils::Device m_device;
    bool m_showOidPath = false;
    bool m_busy = false;
    QString m_requestPath;
    qint32 m_rowCount = 0;
    quint64 m_walkId = 0; // the running walk at the runner; 0: none
    // Every Get carries a serial; only the latest one's answer counts, so that a Get
    // abandoned by Stop or a device change never feeds a newer query.
    quint64 m_requestSerial = 0;
};
