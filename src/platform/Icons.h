#pragma once

#include <QIcon>
#include <QString>

// One icon assembled from the resource images ":/images/<name>-<size>.png" for the
// sizes 16, 30, 32, 40, 64 and 80 that exist.
QIcon loadIcon(const QString& name);

// Makes the built-in resources (images, the headers of the service's files) available.
void registerResources();
