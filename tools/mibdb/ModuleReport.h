#pragma once

#include <QString>
#include <QStringList>

// What happened to one MIB module during a build: parser messages attributed to it.
struct ModuleReport
{
    QString name;
    QString file;
    QStringList errors;
    QStringList warnings;
    // False when the parser gave up on the module (syntax error, unreadable file), so
    // that none of its definitions made it into the tree. Missing imports do not count:
    // such a module still contributes every definition that could be placed.
    bool compiled = true;
    // Loaded from a search folder only because an input module imports it.
    bool searched = false;
    int nodeCount = 0; // nodes of the tree whose definition comes from this module

    bool hasProblems() const { return !errors.isEmpty(); }
};
