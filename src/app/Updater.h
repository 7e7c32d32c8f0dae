#pragma once

#include "ui/update/UpdateTexts.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// The update server's files and what the program does with them, without any window: the
// version files, the comparison with the running program and the local database, the
// check of a downloaded archive and the swap of the new file into place.
namespace Updater {

// What a version file announces; the SHA-256 of the archive is empty when the file has none.
struct Version
{
    int major = 0;
    int minor = 0;
    int maintenance = 0; // the program's only
    int fileSize = 0;
    QByteArray sha256; // lower-case hex
};

std::optional<Version> parseAppVersion(const QByteArray& body);
std::optional<Version> parseDbVersion(const QByteArray& body);

// True when the server's program is newer than the running one.
bool isNewerProgram(int major, int minor, int maintenance);
// True when the server's database is newer than the local one; an unreadable local
// version (localRead false) is always older.
bool isNewerDatabase(int major, int minor, bool localRead, int localMajor, int localMinor);

// True when the file's SHA-256 is sha256Hex, or when there is nothing to compare with.
bool verifyArchive(const QString& path, const QByteArray& sha256Hex);

// Extracts name from the archive to target; answers target, or empty when the archive has
// no such file or it cannot be written.
QString extractFile(const QString& archive, const QString& name, const QString& target);

// Puts replacement in the place of current, whose old file ends up as aside (a stale aside
// goes first). On Windows current is renamed aside and the replacement moved in, the old file
// put back when that fails; elsewhere the old file is linked (or copied) to aside and the
// replacement renamed over current in one step, so that current is never missing. False, with
// current as it was and no aside, when it could not. A missing current is no obstacle.
bool replaceFile(const QString& current, const QString& replacement, const QString& aside);

enum class Outcome
{
    Installed,
    NotInArchive, // the archive holds no such file: nothing changed
    Mismatch,     // the archive is not the one the version file describes
    Refused,      // the downloaded database cannot be used
    SwapFailed    // the old file stays
};

// Installs folder/Tessaro.zip's executable: the running one is set aside as the .old file,
// removed at the next start. The archive and the temporary file go in every case.
Outcome installProgram(const QString& folder, const QByteArray& sha256);

// Installs folder/MIB.zip's MIB.db after checking it with a connection of its own;
// closeCurrent runs just before the swap. The archive and the temporary file go in every
// case; error receives the reason of a refusal.
Outcome installDatabase(const QString& folder, const QByteArray& sha256, const std::function<void()>& closeCurrent,
                        QString* error);

} // namespace Updater

// Asks the update server for version files, one outstanding reply per file.
class ServerUpdate : public QObject
{
    Q_OBJECT

public:
    ServerUpdate(QNetworkAccessManager* network, const QString& baseUrl, QObject* parent);

    void requestFile(const QString& name);
    // The database's version file, then the program's.
    void checkForUpdates();

signals:
    void appVersionReceived(int major, int minor, int maintenance, int fileSize, const QByteArray& sha256);
    void appVersionNotReceived();
    void dbVersionReceived(int major, int minor, int fileSize, const QByteArray& sha256);
    void dbVersionNotReceived();

private:
    void onReplyFinished(QNetworkReply* reply);

    QNetworkAccessManager* m_network;
    QString m_baseUrl;
    QHash<QString, QNetworkReply*> m_replies;
    bool m_programAfterDatabase = false;
};
