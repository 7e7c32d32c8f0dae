#pragma once

#include "config/TrapAlertFile.h"
#include "ui/widgets/EntryListDialog.h"

#include <QList>

class TrapTableWidget;
class TreeModel;

// "Trap Alerts": every trap alert rule of the file in a table beside a summary of the selected
// one, to modify (TrapEditDialog) or delete. The rules are read once, when the dialog is made;
// each change writes the whole list to the file. A list that could not be written stays in the
// dialog and is written again with the next change; closing then asks first.
//
// Child object names: "trapTable" and those of EntryListDialog.
class TrapListDialog final : public EntryListDialog
{
    Q_OBJECT

public:
    // path: TrapAlert.cfg; treeModel and settings are not owned and may be null.
    TrapListDialog(const QString& path, const TreeModel* treeModel, AppSettings* settings, QWidget* parent = nullptr);
    ~TrapListDialog() override;

    TrapTableWidget* table() const { return m_table; }

    void done(int result) override;

protected:
    int entryCount() const override;
    QString detailsHtml(int row) const override;
    void modify(int row) override;
    void remove(int row) override;

private:
    void save();

    QString m_path;
    const TreeModel* m_treeModel;
    TrapTableWidget* m_table;
    bool m_saveFailed = false;
};
