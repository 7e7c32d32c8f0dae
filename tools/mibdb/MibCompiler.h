#pragma once

#include "MibNodeRecord.h"
#include "ModuleReport.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// Compiles MIB module files with net-snmp's own parser into plain node records.
//
// The parser keeps its state in globals, so a process runs one compilation. Nothing of the
// machine's net-snmp set-up takes part: no configuration files, no MIBS/MIBDIRS, no index
// files; only the files given here are ever read.
class MibCompiler final
{
public:
    MibCompiler();
    ~MibCompiler();
    Q_DISABLE_COPY_MOVE(MibCompiler)

    // A file, or every regular file of a folder (not recursive; hidden files and editor
    // back-ups are skipped). False, with a message in problems(), when the path is missing.
    bool addPath(const QString& path);
    // A folder whose modules load only when a module imports them. Their nodes still go
    // into nodes(); their reports, made when a node names them, are marked searched.
    void addSearchDir(const QString& dir);
    // Called after each module of the input has been loaded.
    void setProgress(std::function<void(int done, int total, const QString& module)> progress);

    // Registers every collected file, then loads every module, so that imports between the
    // given files resolve in any order. False when no module could be compiled at all.
    bool compile();

    // The tree under iso (1), in depth-first pre-order, children by ascending number.
    const QVector<MibNodeRecord>& nodes() const;
    // One report per module found in the input, in input order.
    const QVector<ModuleReport>& modules() const;
    // Inputs that are not modules at all, or that net-snmp could not take.
    const QStringList& problems() const;
    // Input files that hold no module, each with the reason in words.
    const QVector<QPair<QString, QString>>& rejectedFiles() const;
    // Parser messages that belong to no module.
    const QStringList& generalMessages() const;
    // Nodes under ccitt (0) and joint-iso-ccitt (2): the program shows only the iso tree.
    int leftOutNodeCount() const;

    // Modules whose definitions made it into the tree, possibly with problems.
    int compiledModuleCount() const;

    // Called by net-snmp's log callback.
    void logMessage(int priority, const QString& message);

private:
    void registerFiles();
    void loadModules();
    void collectTree();
    int moduleIndexForMessage(const QString& message) const;
    int moduleIndexForId(int modid);

    void reject(const QString& file, const QString& reason);

    QStringList m_files;
    QStringList m_searchDirs;
    QSet<int> m_searchIds; // parser ids of modules registered from the search folders
    QVector<QPair<QString, QString>> m_rejected;
    std::function<void(int, int, const QString&)> m_progress;
    QSet<QString> m_fileSet;
    QVector<ModuleReport> m_modules;
    QHash<QString, int> m_moduleByName;
    QHash<int, int> m_moduleByParserId;   // net-snmp's modid -> index into m_modules
    QHash<QString, qint64> m_lastUpdated; // SMIv2 module name -> LAST-UPDATED, 0 when malformed
    QStringList m_problems;
    QStringList m_generalMessages;
    QVector<MibNodeRecord> m_nodes;
    int m_leftOut = 0;
    int m_loading = -1; // the module whose load is under way, for messages that name no file
};
