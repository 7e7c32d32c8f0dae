#pragma once

#include <QString>

#include <optional>

class Folders;
class MibDatabase;

// What the window tells the user when the MIB database cannot be used.
struct DatabaseWarning
{
    QString title;
    QString text;
};

// Opens the data folder's MIB.db for the tree. A new user's data folder first gets the
// database installed beside the program. Answers nothing when the database is open and
// usable, else the warning to show; failures are logged.
std::optional<DatabaseWarning> openMibDatabase(MibDatabase& database, const Folders& folders);
