#include "ui/widgets/LoadingCoverWidget.h"

#include "ui/widgets/UiUtils.h"

#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

LoadingCoverWidget::LoadingCoverWidget(QWidget* covered)
    : QFrame(covered)
    , m_text(new QLabel(this))
{
    setObjectName(QStringLiteral("CoverBackground"));
    setStyleSheet(QStringLiteral("QFrame#CoverBackground{ background-color: #30666666; }"));
    QLabel* spinner = createSpinnerLabel(this);
    m_text->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(spinner);
    layout->addWidget(m_text);
    layout->addStretch();
    covered->installEventFilter(this);
    hide();
}

LoadingCoverWidget::~LoadingCoverWidget() = default;

void LoadingCoverWidget::showText(const QString& text)
{
    setText(text);
    setGeometry(parentWidget()->rect());
    raise();
    show();
}

void LoadingCoverWidget::setText(const QString& text)
{
    m_text->setText(text);
}

QString LoadingCoverWidget::text() const
{
    return m_text->text();
}

bool LoadingCoverWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QFrame::eventFilter(watched, event);
}
