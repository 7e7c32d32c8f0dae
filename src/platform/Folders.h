#pragma once

#include <QString>

// The program's folders, each ending with "/":
// - data folder: $ProgramData (or, when that is unset or empty, C:\ProgramData on Windows
//   and the user's generic data location elsewhere) + "Brantwick/Tessaro/";
// - application folder: the folder of the running executable;
// - working folder: the process's current directory.
class Folders final
{
public:
    // The folders of this process (needs the application object for the executable's folder).
    Folders();
    // Given values, for tests: programData as the environment would give it (empty when
    // unset), defaultBase the base used without it.
    Folders(const QString& programData, const QString& defaultBase, const QString& applicationFolder,
            const QString& workingFolder);

    QString dataFolder() const { return m_data; }
    QString applicationFolder() const { return m_application; }
    QString workingFolder() const { return m_working; }

    QString dataFile(const QString& name) const { return m_data + name; }
    QString applicationFile(const QString& name) const { return m_application + name; }
    QString workingFile(const QString& name) const { return m_working + name; }

    // Creates the data folder with its missing parents; false (and logged) when it cannot.
    bool createDataFolder() const;

    // The data folder rule on its own.
    static QString dataFolderFor(const QString& programData, const QString& defaultBase);
    // C:\ProgramData on Windows, the generic data location elsewhere.
    static QString defaultDataBase();

    // "Tessaro.exe" on Windows, "Tessaro" elsewhere; the update keeps the replaced
    // executable as name + ".old" and downloads the new one to name + ".temp".
    static QString executableName();
    static QString oldExecutableName();
    static QString tempExecutableName();

private:
    QString m_data;
    QString m_application;
    QString m_working;
};
