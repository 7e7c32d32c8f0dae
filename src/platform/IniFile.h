#pragma once

#include <QString>
#include <QVariantMap>

// Stores values in the ini file at path, the file's bytes being what QSettings writes. QSettings
// alone replaces the file in one step but takes a short write (a full disk) for success and puts
// the cut file in place. Here the values go to a copy of the file beside it, which replaces the
// file only when it holds a line for every key and ends with a whole line. False, with the file
// as it was, when the values could not be stored. Writers of the file take turns by QSettings'
// own lock file.
bool writeIniValues(const QString& path, const QVariantMap& values);
