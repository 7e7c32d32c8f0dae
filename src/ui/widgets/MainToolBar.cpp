#include "ui/widgets/MainToolBar.h"

#include "ui/widgets/ChromeSizes.h"
#include "ui/widgets/ClickableLabel.h"
#include "ui/widgets/ScreenGeometry.h"
#include "ui/widgets/UiUtils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

namespace {

QWidget* spacer(int width, QWidget* parent)
{
    auto* spacer = new QWidget(parent);
    if (width > 0)
        spacer->setFixedWidth(width);
    else
        spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    return spacer;
}

} // namespace

MainToolBar::MainToolBar(const QList<QAction*>& leading, QAction* deviceListAction, QWidget* parent)
    : QToolBar(parent)
    , m_ipLabel(new QLabel(tr(" IP Address: "), this))
    , m_deviceBox(new QComboBox(this))
    , m_viewFullOid(new QCheckBox(tr("View Full OID"), this))
    , m_statusLabel(new QLabel(this))
    , m_logo(new ClickableLabel(this))
{
    setObjectName(QStringLiteral("mainToolBar"));
    setMovable(false);
    setFloatable(false);
    addActionsWithSeparators(this, leading);

    addWidget(m_ipLabel);
    m_deviceBox->setMaximumWidth(centeredFractionRect(parent, 0.4).width());
    m_deviceBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    addWidget(m_deviceBox);
    addWidget(spacer(5, this));
    addAction(deviceListAction);
    addWidget(spacer(15, this));
    addWidget(m_viewFullOid);

    // The service state sits between the check box and the spacer.
    m_statusLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_statusLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_statusLabel->setWordWrap(false);
    m_statusLabel->setIndent(10);
    m_statusAction = addWidget(m_statusLabel);
    m_statusAction->setVisible(false);
    addWidget(spacer(0, this));

    m_logo->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    m_logo->setAlignment(Qt::AlignCenter);
    m_logo->setCursor(Qt::PointingHandCursor);
    addWidget(m_logo);

    const int side = toolBarIconSize(iconSize().height());
    setIconSize(QSize(side, side));
    QFont font = m_ipLabel->font();
    font.setPointSize(scaledPointSize(font.pointSizeF(), 1.2));
    for (QWidget* widget : std::initializer_list<QWidget*>{m_ipLabel, m_deviceBox, m_viewFullOid, m_statusLabel})
        widget->setFont(font);
}

void MainToolBar::setStatusText(const QString& text)
{
    m_statusLabel->setText(text);
    m_statusAction->setVisible(!text.isEmpty());
}

QString MainToolBar::statusText() const
{
    return m_statusLabel->text();
}

void MainToolBar::showLogo()
{
    const int height = m_logo->height();
    m_logo->setPixmap(QPixmap(QStringLiteral(":/images/logo.png"))
                          .scaledToHeight(logoPixmapHeight(height), Qt::SmoothTransformation));
    m_logo->setContentsMargins(0, 0, logoRightMargin(height), 0);
}
