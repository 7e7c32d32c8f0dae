#include "platform/Icons.h"

#include <QFile>

// Outside any namespace: the macro declares the resource initializer where it is used.
void registerResources()
{
    // The resources live in a static library; naming its initializer keeps the linker from
    // dropping them.
    static const bool registered = [] {
        Q_INIT_RESOURCE(tessaro);
        return true;
    }();
    Q_UNUSED(registered)
}

QIcon loadIcon(const QString& name)
{
    registerResources();
    static const int sizes[] = {16, 30, 32, 40, 64, 80};
    QIcon icon;
    for (int size : sizes) {
        const QString path = QStringLiteral(":/images/%1-%2.png").arg(name).arg(size);
        if (QFile::exists(path))
            icon.addFile(path, QSize(size, size));
    }
    return icon;
}
