#pragma once

#include "config/TrapAlertFile.h"

#include <QDialog>
#include <QList>

class AppSettings;
class QAction;
class QSplitter;
class QTextBrowser;
class TrapTableWidget;
class TreeModel;

// "Trap Alerts": every trap alert rule of the file in a table beside a summary of the selected
// one, to modify (TrapEditDialog) or delete. The rules are read once, when the dialog is made;
// each change writes the whole list to the file. A list that could not be written stays in the
// dialog and is written again with the next change; closing then asks first.
//
// Child object names: "trapTable", "summary", "splitter", "closeButton".
class TrapListDialog final : public QDialog
{
    Q_OBJECT

public:
    // path: TrapAlert.cfg; treeModel and settings are not owned and may be null.
    TrapListDialog(const QString& path, const TreeModel* treeModel, AppSettings* settings, QWidget* parent = nullptr);
    ~TrapListDialog() override;

    QList<TrapAlertFile::Entry> entries() const;
    TrapTableWidget* table() const { return m_table; }
    QTextBrowser* summary() const { return m_summary; }
    QAction* modifyAction() const { return m_modify; }
    QAction* deleteAction() const { return m_delete; }

    void done(int result) override;

public slots:
    void onFinished();
    void onListWidgetContextMenu(const QPoint& position);
    void onTrapSelectionChanged();
    void onModifyTrap();
    void onDeleteTrap();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void modify(int row);
    void remove(int row);
    void save();
    QString summaryHtml(const TrapAlertFile::Entry& entry) const;

    QString m_path;
    const TreeModel* m_treeModel;
    AppSettings* m_settings;
    bool m_saveFailed = false;
    bool m_firstShow = true;

    TrapTableWidget* m_table;
    QTextBrowser* m_summary;
    QSplitter* m_splitter;
    QAction* m_modify;
    QAction* m_delete;
};
