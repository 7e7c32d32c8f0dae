#pragma once

#include <QString>

// The packaging mode ("Tessaro deploy"): in folder, compresses the executable into
// Tessaro.zip and writes Tessaro.ver with the program version and the archive size.
// Any failure ends it (logged, no message box); the result tells whether both files were
// written.
bool runDeploy(const QString& folder);
