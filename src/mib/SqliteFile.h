#pragma once

#include <QByteArray>
#include <QString>

#include <sqlite3.h>

// A connection of the SQLite library this program links, for the bulk load and the builder's
// bulk write. Qt's driver may bring a SQLite of its own, whose handles must never reach this
// library, so the file is opened here on its own.
class SqliteFile final
{
public:
    enum class Mode
    {
        ReadOnly,
        ReadWrite // an existing file
    };

    SqliteFile(const QString& fileName, Mode mode);
    ~SqliteFile() { sqlite3_close(m_db); }
    Q_DISABLE_COPY_MOVE(SqliteFile)

    // Null when the file could not be opened.
    sqlite3* handle() const { return m_db; }
    QString errorString() const;
    // Runs statements that return no rows; false, with errorString(), when one fails.
    bool execute(const char* sql);

private:
    sqlite3* m_db = nullptr;
    QString m_openError;
};

// A prepared statement that finalizes itself. Parameters are numbered from 1, columns from 0.
// Texts are bound as UTF-8 and a null QString as NULL, as Qt binds them.
class SqliteStatement final
{
public:
    SqliteStatement(sqlite3* db, const char* sql);
    ~SqliteStatement() { sqlite3_finalize(m_stmt); }
    Q_DISABLE_COPY_MOVE(SqliteStatement)

    bool isValid() const { return m_stmt != nullptr; }

    // Reading: the next row, false after the last one.
    bool next() { return m_stmt && sqlite3_step(m_stmt) == SQLITE_ROW; }
    qint64 int64(int column) const { return sqlite3_column_int64(m_stmt, column); }
    qint32 int32(int column) const { return static_cast<qint32>(sqlite3_column_int64(m_stmt, column)); }
    QString text(int column) const;
    QByteArray bytes(int column) const;
    // Valid only until the next step: for lookups, not for keeping.
    QByteArray rawText(int column) const;

    // Writing: bind every parameter, then run, which makes the statement ready for the next row.
    void bindInt(int index, qint64 value) { sqlite3_bind_int64(m_stmt, index, value); }
    void bindNull(int index) { sqlite3_bind_null(m_stmt, index); }
    void bindText(int index, const QString& text);
    // False, with the library's message in error, when the statement failed.
    bool run(QString* error);

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
};
