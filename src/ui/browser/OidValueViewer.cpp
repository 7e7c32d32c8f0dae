#include "ui/browser/OidValueViewer.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QContextMenuEvent>
#include <QHash>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

static_assert(QTypeInfo<OidValueViewer::Row>::isRelocatable, "rows move in memory when the row list grows");

namespace {

// The longest label that the context menu shows whole.
constexpr int menuLabelLength = 60;

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

// The line of a row: label and message are HTML as they stand, the value text is escaped.
QString lineHtml(const OidValueViewer::Row& row)
{
    QString line = QLatin1String("<span style=\"background-color:") + backgroundColour(row.type) +
                   QLatin1String("\" >") + row.label;
    if (row.showOidPath)
        line += QLatin1String(" (") + row.oidPath + QLatin1Char(')');
    line += QLatin1String(" = ");
    if (row.ok)
        line += row.valueText.toHtmlEscaped();
    else
        line += QLatin1String("<font color=\"red\">") + row.message + QLatin1String("</font>");
    line += QLatin1String("</span>");
    return line;
}

// Whether the row's line reads the same as plain text as it does as HTML: a value line whose
// label holds no markup and whose value no white space that HTML would fold. Such lines go
// into the document without the HTML parser, which costs far more than the line itself.
bool isPlainLine(const OidValueViewer::Row& row)
{
    if (!row.ok || row.label.contains(QLatin1Char('<')) || row.label.contains(QLatin1Char('&')))
        return false;
    const QString& text = row.valueText;
    if (text.startsWith(QLatin1Char(' ')) || text.endsWith(QLatin1Char(' ')))
        return false;
    QChar before;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c == QChar::LineSeparator || c == QChar::ParagraphSeparator ||
            (c == QLatin1Char(' ') && before == QLatin1Char(' ')))
            return false;
        before = c;
    }
    return true;
}

QString quoted(const QString& text)
{
    return QLatin1String(" \"") + text + QLatin1Char('"');
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
    m_releaseTimer = new QTimer(this);
    m_releaseTimer->setSingleShot(true);
    connect(m_releaseTimer, &QTimer::timeout, this, &OidValueViewer::showPendingRows);
    // After QTextEdit's own handler, which sets the scroll bar's range.
    connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &OidValueViewer::onDocumentSizeChanged);
    connect(verticalScrollBar(), &QScrollBar::sliderPressed, this, [this] { m_followEnd = false; });
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
    appendRows({row});
}

void OidValueViewer::appendRows(const QVector<Row>& rows)
{
    if (rows.isEmpty())
        return;
    m_rows += rows;
    // A walk appends a few rows every few milliseconds; laying out and drawing the view after
    // each would cost more than asking the agent for them. Within PaintInterval of the last
    // paint the rows wait, and go into the document together (one layout, one paint) when
    // the interval is over.
    // Meanwhile the lines go into the document BatchRows at a time, so that a long walk's
    // layout work comes in small steps rather than all at once when the paint is due.
    if (m_releaseTimer->isActive()) {
        m_pendingRows += rows;
        if (m_pendingRows.size() >= BatchRows)
            appendPendingLines();
        return;
    }
    if (updatesEnabled() && isVisible() && m_lastPaint.isValid() && m_lastPaint.elapsed() < PaintInterval) {
        setUpdatesEnabled(false);
        m_pendingRows = rows;
        m_releaseTimer->start(static_cast<int>(PaintInterval - m_lastPaint.elapsed()));
        return;
    }
    appendLines(rows);
}

void OidValueViewer::appendPendingLines()
{
    if (!m_pendingRows.isEmpty())
        appendLines(m_pendingRows);
    m_pendingRows.clear();
}

void OidValueViewer::showPendingRows()
{
    m_releaseTimer->stop();
    appendPendingLines();
    if (!updatesEnabled()) {
        // Painted at once: the update that enabling posts does not always reach the
        // viewport, whose updates were held along with ours.
        setUpdatesEnabled(true);
        repaint();
    }
}

// One block per row, in one edit: plain lines as text in the type's background, the others
// (messages, labels with markup) as HTML.
void OidValueViewer::appendLines(const QVector<Row>& rows)
{
    // The document lays many new lines out in steps, after append has scrolled to what it
    // knew of the end; a view that was at the end follows those steps, so that it is still
    // there when the next lines come.
    QScrollBar* bar = verticalScrollBar();
    m_followEnd = bar->value() >= bar->maximum();
    QTextDocument* doc = document();
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    bool first = doc->isEmpty();
    QHash<qint32, QTextCharFormat> formats; // by type
    for (const Row& row : rows) {
        if (!first)
            cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
        first = false;
        if (isPlainLine(row)) {
            auto format = formats.find(row.type);
            if (format == formats.end()) {
                QTextCharFormat made;
                made.setBackground(QColor(backgroundColour(row.type)));
                format = formats.insert(row.type, made);
            }
            QString line = row.label;
            if (row.showOidPath)
                line += QLatin1String(" (") + row.oidPath + QLatin1Char(')');
            cursor.insertText(line + QLatin1String(" = ") + row.valueText, *format);
        } else {
            cursor.insertHtml(lineHtml(row));
        }
    }
    cursor.endEditBlock();
    if (m_followEnd)
        bar->setValue(bar->maximum());
}

void OidValueViewer::onDocumentSizeChanged()
{
    QScrollBar* bar = verticalScrollBar();
    if (m_followEnd && bar->value() != bar->maximum())
        bar->setValue(bar->maximum());
}

QVector<OidValueViewer::Row> OidValueViewer::rows() const
{
    return m_rows;
}

void OidValueViewer::setStopButtonVisible(bool visible)
{
    m_stopButton->setVisible(visible);
    placeStopButton();
}

void OidValueViewer::clear()
{
    m_followEnd = false;
    m_rows.clear();
    m_pendingRows.clear();
    QTextEdit::clear();
}

int OidValueViewer::rowIndexAt(const QPoint& pos) const
{
    const QTextBlock block = cursorForPosition(pos).block();
    if (!block.isValid())
        return m_rows.size();
    // The cursor for a point below the last line is the nearest one, at the end of the last
    // line; there is no line under the mouse there.
    if (block == document()->lastBlock()) {
        const qreal y = pos.y() + verticalScrollBar()->value();
        if (y >= document()->documentLayout()->blockBoundingRect(block).bottom())
            return m_rows.size();
    }
    return block.blockNumber();
}

QMenu* OidValueViewer::createContextMenu(const QPoint& pos)
{
    showPendingRows(); // the lines under the mouse are those of the rows
    // The standard menu takes document coordinates (for the link under the mouse).
    const int horizontalOffset = isRightToLeft() ? horizontalScrollBar()->maximum() - horizontalScrollBar()->value()
                                                 : horizontalScrollBar()->value();
    const QPoint documentPos = pos + QPoint(horizontalOffset, verticalScrollBar()->value());
    if (m_extraActions.isEmpty())
        return createStandardContextMenu(documentPos);

    QMenu* const menu = createStandardContextMenu(documentPos);
    QList<QAction*> jumpGroup;
    QList<QAction*> monitorGroup;
    const int index = rowIndexAt(pos);
    if (index >= 0 && index < m_rows.size()) {
        const Row& row = m_rows.at(index);
        if (!row.label.isEmpty() && !row.oidPath.isEmpty() && row.ok) {
            QString shownName = row.label;
            if (shownName.size() > menuLabelLength)
                shownName = shownName.left(menuLabelLength) + QLatin1String("...");
            const QString path = row.oidPath;

            QAction* jump = new QAction(tr("Jump To") + quoted(shownName), menu);
            connect(jump, &QAction::triggered, this, [this, path] { emit jumpToClicked(path); });
            jumpGroup.append(jump);

            if (row.type == Oid::ObjectId) {
                const QString target = row.value.toString();
                QAction* jumpToOid = new QAction(tr("Jump To OID") + quoted(target), menu);
                connect(jumpToOid, &QAction::triggered, this, [this, target] { emit jumpToClicked(target); });
                jumpGroup.append(jumpToOid);
            }

            if (isNumericType(row.type)) {
                const auto type = static_cast<Oid::Type>(row.type);
                const QString valueText = row.valueText;
                QAction* monitor = new QAction(tr("Monitor") + quoted(shownName) + QLatin1String("..."), menu);
                connect(monitor, &QAction::triggered, this,
                        [this, path, type, valueText] { emit monitorOidClicked(path, type, valueText); });
                monitorGroup.append(monitor);
            }
        }
    }

    QAction* const first = menu->actions().value(0, nullptr);
    for (const QList<QAction*>* group : {&jumpGroup, &monitorGroup}) {
        if (group->isEmpty())
            continue;
        menu->insertActions(first, *group);
        menu->insertSeparator(first);
    }
    menu->addActions(m_extraActions);
    return menu;
}

void OidValueViewer::contextMenuEvent(QContextMenuEvent* event)
{
    if (m_extraActions.isEmpty()) {
        QTextEdit::contextMenuEvent(event);
        return;
    }
    // The menu is the viewer's child: should the viewer go while the menu runs, it takes the
    // menu with it.
    const QPointer<QMenu> menu = createContextMenu(event->pos());
    menu->exec(event->globalPos());
    delete menu.data();
}

void OidValueViewer::resizeEvent(QResizeEvent* event)
{
    QTextEdit::resizeEvent(event);
    placeStopButton();
}

void OidValueViewer::showEvent(QShowEvent* event)
{
    QTextEdit::showEvent(event);
    placeStopButton();
}

void OidValueViewer::paintEvent(QPaintEvent* event)
{
    m_lastPaint.start();
    QTextEdit::paintEvent(event);
}

void OidValueViewer::placeStopButton()
{
    // A child outside a layout takes its size hint only when it is first shown; size it now
    // so that the placement counts with the width it will have.
    m_stopButton->resize(m_stopButton->sizeHint());
    const int x = width() - 10 - style()->pixelMetric(QStyle::PM_ScrollBarExtent) - m_stopButton->width();
    m_stopButton->move(x, 10);
}
