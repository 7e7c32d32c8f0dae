#include "UiUtils.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMovie>
#include <QRegularExpression>
#include <QScreen>
#include <QWidget>

namespace {

// Splits "a.b.c.d" or "a.b.c.d:port"; false when text has another form or a number is too large.
bool parseAddress(const QString& text, quint32& key, int& port)
{
    static const QRegularExpression pattern(
        QStringLiteral("^([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})(?::([0-9]{1,5}))?$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    key = 0;
    for (int i = 1; i <= 4; ++i) {
        const uint octet = match.capturedRef(i).toUInt();
        if (octet > 255)
            return false;
        key = (key << 8) | octet;
    }
    port = match.capturedRef(5).isEmpty() ? -1 : match.capturedRef(5).toInt();
    return true;
}

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

quint32 ipAddressSortKey(const QString& address)
{
    quint32 key = 0;
    int port = 0;
    return parseAddress(address, key, port) ? key : 0;
}

bool isIpAddressWithPort(const QString& text)
{
    quint32 key = 0;
    int port = 0;
    return parseAddress(text, key, port) && (port == -1 || (port >= 1 && port <= 65535));
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
