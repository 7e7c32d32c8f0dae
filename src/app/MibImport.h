#pragma once

#include <QMap>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVector>

// Imports MIB module files into the MIB database without any window. The modules are
// compiled by the builder executable (tessaro-mibdb add) in a process of its own, so that a
// hostile file cannot take the program down, into a copy of the database beside it; the
// copy replaces the database only when the user applies it. Imported module files are kept
// in a folder of the data folder, so that later imports resolve their imports against them.
class MibImport : public QObject
{
    Q_OBJECT

public:
    struct Module
    {
        enum Kind
        {
            Loaded,   // every definition made it into the tree
            Problems, // loaded, with problems the reason tells
            Failed    // nothing of it was loaded
        };
        QString name; // the module's name, or the file's name when it holds no module
        Kind kind = Failed;
        int nodes = 0;
        QString reason; // in words; empty when loaded
    };
    struct Summary
    {
        int added = 0;
        int updated = 0;
        int removed = 0;
        int total = 0; // nodes in the new database
    };

    // builder: the tessaro-mibdb executable; database: the current MIB database file;
    // moduleFolder: where imported module files are kept (created when needed).
    MibImport(const QString& builder, const QString& database, const QString& moduleFolder, QObject* parent = nullptr);
    ~MibImport() override;

    // The folders searched for imports besides the kept modules and the chosen files' own
    // folders (the system's MIB folders by default).
    void setSearchFolders(const QStringList& folders);

    // Compiles the files (and every file of the folders) into a copy of the database.
    // Emits progress while it runs and finished once at the end. False, with errorText(),
    // when it cannot start (a run under way, no paths, the database missing, the data
    // folder not writable).
    bool start(const QStringList& paths);
    // Removes the modules' nodes, in a copy of the database as start() does; apply() then also
    // drops their kept files. A removal that would cut off other modules' nodes ends with
    // finished(false) and the reason in errorText().
    bool startRemoval(const QStringList& modules);
    // The imported modules whose files are kept, by name, each with its file.
    static QMap<QString, QString> importedModules(const QString& moduleFolder);

    // Ends a run under way; the copy is removed and finished(false) is emitted.
    void cancel();
    bool isRunning() const;

    // After finished(true): what happened to each module, and the counts of the new database.
    const QVector<Module>& modules() const;
    Summary summary() const;
    // True when the new database differs from the current one.
    bool hasChanges() const;
    QString errorText() const;

    // After finished(true): puts the new database in place of the current one (the caller
    // has closed it) and keeps the loaded modules' files. The current database is replaced in
    // one step or not at all. False, with errorText(), when it could not be replaced.
    bool apply();
    // Drops the new database; nothing changes.
    void discard();

    // The new database beside the current one, while a run or its result exists.
    QString pendingDatabase() const;

signals:
    void progress(int done, int total, const QString& module);
    // ok: the builder ran to its end and modules() tells what happened; otherwise errorText()
    // says why nothing can be applied (cancelled, crashed, no module compiled, ...).
    void finished(bool ok);

private:
    void onOutput();
    void onProcessFinished(int exitCode, QProcess::ExitStatus status);
    void parseLine(const QByteArray& line);
    // Copies the database for a run; false, with errorText(), when it cannot.
    bool prepareCopy();
    void launch(const QStringList& arguments);
    // Kills a running builder and waits for it, a bounded time.
    void stopProcess();
    // Ends a run that produced nothing: the copy goes, finished(false) is emitted.
    void endRun();

    QString m_builder;
    QString m_database;
    QString m_moduleFolder;
    QStringList m_searchFolders;
    QStringList m_inputs;
    QStringList m_removing; // the modules of a removal
    QProcess* m_process = nullptr;
    QByteArray m_pending; // a line not complete yet
    QVector<Module> m_modules;
    Summary m_summary;
    bool m_changed = false;
    bool m_haveResult = false;
    QString m_error;
};
