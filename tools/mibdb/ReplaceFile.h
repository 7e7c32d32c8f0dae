#pragma once

#include <QString>

// Moves a finished file over its target, replacing it in one step where the system allows.
bool replaceFile(const QString& from, const QString& to);
