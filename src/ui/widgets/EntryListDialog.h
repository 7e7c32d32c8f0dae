#pragma once

#include <QDialog>

class AppSettings;
class EntryTableWidget;
class QAction;
class QHBoxLayout;
class QSplitter;
class QTextBrowser;
class QToolBar;

// A dialog listing entries in a table beside a read-only pane on the selected one, with the
// actions to modify and delete it in a tool bar and in the table's context menu ("Modify...",
// "Delete"), and a Close button. The subclass makes the table and the actions and says what
// the pane shows and what modifying and deleting do. The dialog's geometry and its splitter
// are kept in the settings.
//
// Child object names: "details", "splitter", "closeButton".
class EntryListDialog : public QDialog
{
    Q_OBJECT

public:
    ~EntryListDialog() override;

    QTextBrowser* details() const { return m_details; }
    QAction* modifyAction() const { return m_modify; }
    QAction* deleteAction() const { return m_delete; }

public slots:
    void onFinished();
    void onListWidgetContextMenu(const QPoint& position);
    // The actions and the pane follow the selected entry.
    void onSelectionChanged();
    void onModify();
    void onDelete();

protected:
    // Where the settings keep the dialog: its geometry under geometryName (a centred 0.7 of
    // the screen until there is one), its splitter through the two members.
    struct Place
    {
        QString geometryName;
        QByteArray (AppSettings::*splitterState)() const;
        void (AppSettings::*setSplitterState)(const QByteArray&);
    };

    // table goes on the left; the dialog takes it and the actions. settings are not owned
    // and may be null.
    EntryListDialog(EntryTableWidget* table, QAction* modify, QAction* remove, AppSettings* settings,
                    const Place& place, Qt::WindowFlags flags, QWidget* parent);

    EntryTableWidget* entryTable() const { return m_table; }
    AppSettings* settings() const { return m_settings; }
    QToolBar* toolBar() const { return m_toolBar; }
    QSplitter* splitter() const { return m_splitter; }
    QHBoxLayout* buttonRow() const { return m_buttonRow; }

    // How many entries the subclass holds: while a row goes, the table may still show it.
    virtual int entryCount() const = 0;
    virtual QString detailsHtml(int row) const = 0;
    // Called only for a row the subclass holds.
    virtual void modify(int row) = 0;
    virtual void remove(int row) = 0;

    void showEvent(QShowEvent* event) override;

private:
    int currentRow() const;

    EntryTableWidget* m_table;
    QAction* m_modify;
    QAction* m_delete;
    AppSettings* m_settings;
    Place m_place;
    bool m_firstShow = true;
    QTextBrowser* m_details;
    QSplitter* m_splitter;
    QToolBar* m_toolBar;
    QHBoxLayout* m_buttonRow;
};
