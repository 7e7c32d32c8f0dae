#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class LoadingCoverWidget;
class QAction;
class QHBoxLayout;
class QLineEdit;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

// A table of records with the buttons to add, change, delete, copy and move them, a search
// box and a cover for background work. It owns the item model (one row per record, in
// record order) and shows it through a filter model given by the subclass; the subclass keeps
// the records themselves and does the work behind each action.
class CrudTableWidget : public QWidget
{
    Q_OBJECT

public:
    enum Action
    {
        AddAction,
        ChangeAction,
        DeleteAction,
        CopyAction,
        ShiftUpAction,
        ShiftDownAction,
        ActionCount
    };

    ~CrudTableWidget() override;
    Q_DISABLE_COPY_MOVE(CrudTableWidget)

    QTableView* view() const { return m_view; }
    QAction* action(Action which) const { return m_actions[which]; }
    QLineEdit* searchEdit() const { return m_search; }
    LoadingCoverWidget* cover() const { return m_cover; }

    // Model rows of the selected view rows, ascending; selectRows selects exactly the given
    // model rows (those the filter shows) and makes the first one current.
    QList<int> selectedRows() const;
    void selectRows(const QList<int>& rows);

    // Selects every shown row in which each word of text (blanks and commas separate words)
    // occurs, without regard to case, in the displayed text of at least one cell, and scrolls
    // to the first one. Text without words changes nothing.
    void search(const QString& text);

signals:
    void DataChanged();

protected:
    // proxy becomes the widget's; headers name the columns.
    CrudTableWidget(const QStringList& headers, QSortFilterProxyModel* proxy, QWidget* parent);

    QStandardItemModel* model() const { return m_model; }
    QSortFilterProxyModel* proxyModel() const { return m_proxy; }
    QHBoxLayout* searchRow() const { return m_searchRow; }

    // The table is covered, and every action off, while background work runs.
    void showCover(const QString& text);
    void hideCover();

    void updateActions();

    struct DeleteQuestion
    {
        QString title;
        QString text;
    };

    virtual void addRecord() = 0;
    virtual void copyRecord(int row) = 0;
    virtual void changeRecords(const QList<int>& rows) = 0;
    virtual DeleteQuestion deleteQuestion(const QList<int>& rows) const = 0;
    // The record behind a model row is dropped or moved; the model row itself is the base's.
    virtual void takeRecord(int row) = 0;
    virtual void moveRecord(int from, int to) = 0;
    // After the rows of one deletion are gone.
    virtual void recordsRemoved() {}

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void triggerIfEnabled(Action which);
    void onChange();
    void onDelete();
    void onCopy();
    void shift(int delta);

    QStandardItemModel* m_model;
    QSortFilterProxyModel* m_proxy;
    QTableView* m_view;
    QLineEdit* m_search;
    QHBoxLayout* m_searchRow;
    LoadingCoverWidget* m_cover;
    QAction* m_actions[ActionCount] = {};
};
