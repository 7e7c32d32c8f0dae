#pragma once

#include "ui/devices/CrudTableWidget.h"

class QLabel;

// A table of entries that are added elsewhere, so it has no buttons of its own: one entry is
// selected at a time, and changing and deleting it is the owner's (modifyRequested on Enter
// or a double-click, deleteRequested on the Delete key; the context menu is the owner's too).
// While the table is empty, the placeholder text shows in the middle of it.
class EntryTableWidget : public CrudTableWidget
{
    Q_OBJECT

public:
    ~EntryTableWidget() override;
    Q_DISABLE_COPY_MOVE(EntryTableWidget)

    // The model row of the selected entry, or -1.
    int currentRow() const;

    void setPlaceholderText(const QString& text);
    // Typical texts of the columns but the last, which sets their widths at each fill:
    // measuring every row of a large list would take longer than filling it.
    void setColumnSamples(const QStringList& samples) { m_samples = samples; }
    QLabel* placeholder() const { return m_placeholder; }

signals:
    void modifyRequested(int row);
    void deleteRequested(int row);

protected:
    EntryTableWidget(const QStringList& headers, QWidget* parent);

    // Makes count rows of empty cells, apart from the filter (one reset rather than a change
    // per cell), has showRow fill each, and selects the first, so that its details show at once.
    void resetRows(int count);
    // Drops the entry and the model row.
    void removeRow(int row);
    virtual void showRow(int row) = 0;

    void addRecord() override {}
    void copyRecord(int) override {}
    void changeRecords(const QList<int>& rows) override;
    DeleteQuestion deleteQuestion(const QList<int>&) const override { return {}; }

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updatePlaceholder();

    QLabel* m_placeholder;
    QStringList m_samples;
};
