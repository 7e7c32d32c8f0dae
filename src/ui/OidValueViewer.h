#pragma once

#include "Oid.h"

#include <QList>
#include <QString>
#include <QTextEdit>
#include <QVariant>
#include <QVector>

class QAction;
class QMenu;
class QPushButton;

// The SNMP result pane under the MIB tree: one coloured line "name = value" per result,
// a floating Stop button for a running walk, and the owner's extra context-menu actions.
class OidValueViewer final : public QTextEdit
{
    Q_OBJECT

public:
    // One result line; row i is text block i of the document.
    struct Row
    {
        QString label;
        QString oidPath;
        bool showOidPath = false;
        QVariant value;
        QString valueText;
        qint32 type = 0;
        bool ok = true; // false: a message line showing message in red
        QString message;
    };

    explicit OidValueViewer(QWidget* parent = nullptr);

    // Actions appended at the end of the context menu (not owned).
    void setExtraActions(const QList<QAction*>& actions);
    QList<QAction*> extraActions() const;

    // Appends the row and its line "label = value" as the last text block.
    void appendRow(const Row& row);
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

    QList<QAction*> m_extraActions;
    QPushButton* m_stopButton;
    QVector<Row> m_rows;
    // How far appendRow has scrolled the view since the viewport was last painted (counted up
    // to the viewport's height).
    int m_scrolledSincePaint = 0;
};

// Every member is relocatable: the row list grows by moving its memory, not by copying rows.
Q_DECLARE_TYPEINFO(OidValueViewer::Row, Q_MOVABLE_TYPE);
