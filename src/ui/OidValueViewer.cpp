#include "OidValueViewer.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>

#include <memory>

namespace {

QString backgroundColour(qint32 type)
{
    switch (type) {
    case Oid::ObjectId:
        return QStringLiteral("#CCCCFF");
    case Oid::OctetString:
        return QStringLiteral("#abebc6");
    case Oid::NetworkAddress:
    case Oid::IpAddress:
        return QStringLiteral("#d7bde2");
    case Oid::Opaque:
    case Oid::Null:
    case Oid::BitString:
    case Oid::NsapAddress:
        return QStringLiteral("#f7dc6f");
    default:
        return isNumericType(type) ? QStringLiteral("#F5F5DC") : QStringLiteral("#FFFFFF");
    }
}

} // namespace

OidValueViewer::OidValueViewer(QWidget* parent)
    : QTextEdit(parent)
    , m_stopButton(new QPushButton(tr("Stop"), this))
{
    setUndoRedoEnabled(false);
    setReadOnly(true);
    setLineWrapMode(QTextEdit::NoWrap);
    m_stopButton->hide();
    m_stopButton->setAutoDefault(false);
    m_stopButton->setDefault(false);
    connect(m_stopButton, &QPushButton::clicked, this, &OidValueViewer::stopButtonClicked);
}

void OidValueViewer::setExtraActions(const QList<QAction*>& actions)
{
    m_extraActions = actions;
}

QList<QAction*> OidValueViewer::extraActions() const
{
    return m_extraActions;
}

void OidValueViewer::appendRow(const Row& row)
{
    m_rows.append(row);
    QString line = QLatin1String("<div><span style=\"background-color:") + backgroundColour(row.type) +
                   QLatin1String("\" >") + row.label.toHtmlEscaped();
    if (row.showOidPath)
        line += QLatin1String(" (") + row.oidPath.toHtmlEscaped() + QLatin1Char(')');
    line += QLatin1String(" = ");
    if (row.ok)
        line += row.valueText.toHtmlEscaped();
    else
        line += QLatin1String("<font color=\"red\">") + row.message.toHtmlEscaped() + QLatin1String("</font>");
    line += QLatin1String("</span></div>");
    append(line);
}

QVector<OidValueViewer::Row> OidValueViewer::rows() const
{
    return m_rows;
}

void OidValueViewer::setStopButtonVisible(bool visible)
{
    m_stopButton->setVisible(visible);
}

void OidValueViewer::clear()
{
    m_rows.clear();
    QTextEdit::clear();
}

void OidValueViewer::contextMenuEvent(QContextMenuEvent* event)
{
    const std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    menu->addActions(m_extraActions);
    menu->exec(event->globalPos());
}

void OidValueViewer::resizeEvent(QResizeEvent* event)
{
    QTextEdit::resizeEvent(event);
    placeStopButton();
}

void OidValueViewer::placeStopButton()
{
    const int x = width() - 10 - style()->pixelMetric(QStyle::PM_ScrollBarExtent) - m_stopButton->width();
    m_stopButton->move(x, 10);
}
