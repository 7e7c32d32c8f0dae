#pragma once

#include "mib/Oid.h"
#include "snmp/ResultRow.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QTextEdit>
#include <QVariant>
#include <QVector>

class QAction;
class QMenu;
class QPushButton;
class QTimer;

// The SNMP result pane under the MIB tree: one coloured line "name = value" per result,
// a floating Stop button for a running walk, and the owner's extra context-menu actions.
class OidValueViewer final : public QTextEdit
{
    Q_OBJECT

public:
    // One result line; row i is text block i of the document.
    using Row = ResultRow;

    explicit OidValueViewer(QWidget* parent = nullptr);

    // Actions appended at the end of the context menu (not owned).
    void setExtraActions(const QList<QAction*>& actions);
    QList<QAction*> extraActions() const;

    // Appends the row and its line "label = value" as the last text block.
    void appendRow(const Row& row);
    // As appendRow for each, in one step: much faster for many rows at once.
    void appendRows(const QVector<Row>& rows);
    // Rows appended within a moment of the last paint reach the document together a little
    // later (rows() has them at once); this puts them there now.
    void showPendingRows();
    QVector<Row> rows() const;
    void setStopButtonVisible(bool visible);

    // The context menu for a click at pos (viewport coordinates, as QContextMenuEvent::pos()
    // gives them): the jump and monitor entries of the row under pos, the text edit's
    // standard entries and the extra actions; with no extra actions, the standard menu alone.
    // The caller owns the menu; the actions made for it are its children. contextMenuEvent
    // runs it.
    QMenu* createContextMenu(const QPoint& pos);

public slots:
    // Empties the rows and the document.
    void clear();

signals:
    void stopButtonClicked();
    void addOidClicked(const QString& path, Oid::Type type, const QString& value);
    void monitorOidClicked(const QString& path, Oid::Type type, const QString& value);
    void jumpToClicked(const QString& path);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Index of the row whose line is at pos (viewport coordinates); rows().size() below the
    // last line.
    int rowIndexAt(const QPoint& pos) const;
    void placeStopButton();
    void appendLines(const QVector<Row>& rows);
    void appendPendingLines();
    void onDocumentSizeChanged();

    QList<QAction*> m_extraActions;
    QPushButton* m_stopButton;
    QVector<Row> m_rows;
    // Appends within this many milliseconds of a paint wait for the next one together.
    static constexpr qint64 PaintInterval = 100;
    static constexpr int BatchRows = 128;
    QElapsedTimer m_lastPaint;
    QTimer* m_releaseTimer = nullptr;
    QVector<Row> m_pendingRows; // rows appended meanwhile, their lines not yet in the document
    bool m_followEnd = false;   // the view was at the end when lines were last appended
};

// Every member is relocatable: the row list grows by moving its memory, not by copying rows.
Q_DECLARE_TYPEINFO(OidValueViewer::Row, Q_MOVABLE_TYPE);
