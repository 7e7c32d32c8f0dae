#pragma once

#include "Oid.h"

#include <QList>
#include <QString>
#include <QTextEdit>
#include <QVariant>
#include <QVector>

class QAction;
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

    void appendRow(const Row& row);
    QVector<Row> rows() const;
    void setStopButtonVisible(bool visible);

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

private:
    void placeStopButton();

    QList<QAction*> m_extraActions;
    QPushButton* m_stopButton;
    QVector<Row> m_rows;
};
