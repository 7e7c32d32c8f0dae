#include "ui/widgets/UiUtils.h"

#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMovie>
#include <QScreen>
#include <QWidget>

namespace {

// Starts and stops the movie of the label it watches as the label is shown and hidden.
class MoviePlayer final : public QObject
{
public:
    explicit MoviePlayer(QMovie* movie)
        : QObject(movie)
        , m_movie(movie)
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            m_movie->start();
        else if (event->type() == QEvent::Hide)
            m_movie->stop();
        return QObject::eventFilter(watched, event);
    }

private:
    QMovie* m_movie;
};

} // namespace

double screenScaleFactor(const QWidget* widget)
{
    const QScreen* screen = widget ? widget->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchX() / 96.0 : 1.25;
}

void addActionsWithSeparators(QWidget* widget, const QList<QAction*>& actions)
{
    for (QAction* action : actions) {
        if (!action) {
            action = new QAction(widget);
            action->setSeparator(true);
        }
        widget->addAction(action);
    }
}

QLabel* createSpinnerLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    auto* movie = new QMovie(QStringLiteral(":/images/loading.gif"), QByteArray(), label);
    label->setMovie(movie);
    label->setAlignment(Qt::AlignCenter);
    label->installEventFilter(new MoviePlayer(movie));
    return label;
}
