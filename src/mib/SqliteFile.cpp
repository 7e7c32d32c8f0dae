#include "mib/SqliteFile.h"

#include <QFile>

SqliteFile::SqliteFile(const QString& fileName, Mode mode)
{
    const int flags = mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (sqlite3_open_v2(QFile::encodeName(fileName).constData(), &m_db, flags, nullptr) != SQLITE_OK) {
        m_openError = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

QString SqliteFile::errorString() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : m_openError;
}

bool SqliteFile::execute(const char* sql)
{
    return m_db && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

SqliteStatement::SqliteStatement(sqlite3* db, const char* sql)
    : m_db(db)
{
    if (db && sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
}

QString SqliteStatement::text(int column) const
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return bytes ? QString::fromUtf8(bytes, sqlite3_column_bytes(m_stmt, column)) : QString();
}

QByteArray SqliteStatement::bytes(int column) const
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return bytes ? QByteArray(bytes, sqlite3_column_bytes(m_stmt, column)) : QByteArray();
}

QByteArray SqliteStatement::rawText(int column) const
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return bytes ? QByteArray::fromRawData(bytes, sqlite3_column_bytes(m_stmt, column)) : QByteArray();
}

void SqliteStatement::bindText(int index, const QString& text)
{
    if (text.isNull()) {
        sqlite3_bind_null(m_stmt, index);
        return;
    }
    const QByteArray bytes = text.toUtf8();
    sqlite3_bind_text(m_stmt, index, bytes.constData(), bytes.size(), SQLITE_TRANSIENT);
}

bool SqliteStatement::run(QString* error)
{
    const bool done = sqlite3_step(m_stmt) == SQLITE_DONE;
    if (!done)
        *error = QString::fromUtf8(sqlite3_errmsg(m_db));
    sqlite3_reset(m_stmt);
    return done;
}
