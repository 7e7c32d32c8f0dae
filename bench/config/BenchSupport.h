#pragma once

// What the configuration benchmarks share: timing, the best of several runs, plain file work
// as the reference, and waiting for a widget's first paint.

#include <QCoreApplication>
#include <QStringList>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QString>
#include <QTextStream>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace bench {

inline QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

inline double elapsedMs(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

inline double timedMs(const std::function<void()>& body)
{
    QElapsedTimer timer;
    timer.start();
    body();
    return elapsedMs(timer);
}

// The smallest of the runs.
struct Best
{
    double ms = 1e300;
    void add(double value) { ms = std::min(ms, value); }
};

inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool plainWrite(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool written = file.write(bytes) == bytes.size();
    file.close();
    return written;
}

// Notes the first paint of a widget.
class PaintWatcher final : public QObject
{
public:
    explicit PaintWatcher(QWidget* widget) { widget->installEventFilter(this); }
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

// Shows widget and handles events until watcher saw a paint (at most a minute).
inline bool showUntilPainted(QWidget* widget, const PaintWatcher& watcher)
{
    widget->show();
    QElapsedTimer timer;
    timer.start();
    while (!watcher.painted && timer.elapsed() < 60000)
        QCoreApplication::processEvents();
    return watcher.painted;
}

// The size option (countOption N) and --runs R of the command line into count and runs; false,
// with the usage on standard error, when they do not read.
inline bool readOptions(const QString& countOption, const char* usage, int* count, int* runs)
{
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        bool ok = false;
        if (args.at(i) == countOption && i + 1 < args.size())
            *count = args.at(++i).toInt(&ok);
        else if (args.at(i) == QLatin1String("--runs") && i + 1 < args.size())
            *runs = args.at(++i).toInt(&ok);
        if (!ok || *count < 1 || *count > 1000000 || *runs < 1 || *runs > 100) {
            std::fprintf(stderr, "usage: %s\n", usage);
            return false;
        }
    }
    return true;
}

inline QString number(double value)
{
    return QString::number(value, 'f', value < 10 ? 2 : 1);
}

inline QString ratio(double value, double reference)
{
    return reference > 0 ? QString::number(value / reference, 'f', 2) : QStringLiteral("-");
}

} // namespace bench
