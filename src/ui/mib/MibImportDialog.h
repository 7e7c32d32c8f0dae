#pragma once

#include <QDialog>
#include <QString>
#include <QVector>

class QPlainTextEdit;
class QTreeWidget;

// What an import of MIB modules did, module by module, before anything changes: the user
// reads it and applies the new database or leaves the current one as it is.
class MibImportDialog : public QDialog
{
    Q_OBJECT

public:
    struct Row
    {
        enum Kind
        {
            Loaded,
            Problems,
            Failed
        };
        QString module;
        Kind kind = Failed;
        int nodes = 0;
        QString reason;
    };

    // summary: the change to the database in words; canApply: whether applying changes anything.
    MibImportDialog(const QVector<Row>& rows, const QString& summary, bool canApply, QWidget* parent = nullptr);

    // "Modules: 2 loaded, 1 with problems, 1 not loaded."
    static QString countsText(const QVector<Row>& rows);

private:
    void showReason();

    QTreeWidget* m_table;
    QPlainTextEdit* m_reason;
};
