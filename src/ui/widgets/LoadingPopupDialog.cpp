#include "ui/widgets/LoadingPopupDialog.h"

#include "ui/widgets/UiUtils.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>

LoadingPopupDialog::LoadingPopupDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_text(new QLabel(this))
{
    setWindowModality(Qt::WindowModal);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(createSpinnerLabel(this));
    layout->addWidget(m_text, 1);
}

LoadingPopupDialog::~LoadingPopupDialog() = default;

void LoadingPopupDialog::showText(const QString& text)
{
    m_text->setText(text);
    setWindowTitle(parentWidget() ? parentWidget()->windowTitle() : QString());
    show();
}

QString LoadingPopupDialog::text() const
{
    return m_text->text();
}

void LoadingPopupDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void LoadingPopupDialog::closeEvent(QCloseEvent* event)
{
    // Only the owner ends the wait, by hiding the box.
    event->ignore();
}
