#include "ui/service/SplashScreen.h"

#include "platform/Icons.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMovie>
#include <QVBoxLayout>

SplashScreen::SplashScreen(QWidget* parent)
    : QFrame(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_text(new QLabel(this))
{
    registerResources();
    setWindowModality(Qt::WindowModal);
    setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(this);
    m_text->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_text);
    auto* movie = new QMovie(QStringLiteral(":/images/loading.gif"), QByteArray(), this);
    if (movie->isValid()) {
        auto* spinner = new QLabel(this);
        spinner->setAlignment(Qt::AlignCenter);
        spinner->setMovie(movie);
        layout->addWidget(spinner);
        movie->start();
    }
}

void SplashScreen::setText(const QString& text)
{
    m_text->setText(text);
    adjustSize();
}

QString SplashScreen::text() const
{
    return m_text->text();
}

void SplashScreen::keyPressEvent(QKeyEvent* event)
{
    // Nothing closes it but the end of the work it stands for.
    event->accept();
}
