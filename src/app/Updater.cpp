#include "app/Updater.h"

#include "app/AppInfo.h"
#include "app/AppLog.h"
#include "mib/MibDatabase.h"
#include "platform/Folders.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <cctype>
#include <cstdio>
#include <tuple>
#include <utility>

#include <JlCompress.h>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace Updater {

namespace {

bool isSha256(const QByteArray& value)
{
    if (value.size() != 64)
        return false;
    for (const char c : value) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

// Reads the lines "<prefix>_VERSION:a,b[,c]", "<prefix>_FILESIZE:n" and the optional
// "<prefix>_SHA256:hex"; the later of two equal keys wins, other keys are ignored.
std::optional<Version> parseVersion(const QByteArray& body, const QString& prefix, int parts)
{
    std::optional<QStringList> numbers;
    std::optional<QString> size;
    std::optional<QString> sha;
    const QStringList lines = QString::fromUtf8(body).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QStringList keyValue = line.split(QLatin1Char(':'));
        if (keyValue.size() != 2)
            continue;
        const QString& key = keyValue.at(0);
        if (key == prefix + QLatin1String("_VERSION"))
            numbers = keyValue.at(1).split(QLatin1Char(','));
        else if (key == prefix + QLatin1String("_FILESIZE"))
            size = keyValue.at(1);
        else if (key == prefix + QLatin1String("_SHA256"))
            sha = keyValue.at(1);
    }
    if (!numbers || !size || numbers->size() != parts)
        return std::nullopt;
    int values[3] = {0, 0, 0};
    bool ok = true;
    for (int i = 0; i < parts && ok; ++i)
        values[i] = numbers->at(i).toInt(&ok, 10);
    Version version{values[0], values[1], values[2], 0, {}};
    if (ok)
        version.fileSize = size->toInt(&ok, 10);
    if (sha) {
        version.sha256 = sha->trimmed().toLatin1().toLower();
        ok = ok && isSha256(version.sha256);
    }
    if (!ok)
        return std::nullopt;
    return version;
}

} // namespace

std::optional<Version> parseAppVersion(const QByteArray& body)
{
    return parseVersion(body, QStringLiteral("APP"), 3);
}

std::optional<Version> parseDbVersion(const QByteArray& body)
{
    return parseVersion(body, QStringLiteral("DB"), 2);
}

bool isNewerProgram(int major, int minor, int maintenance)
{
    return std::tie(major, minor, maintenance) >
           std::make_tuple(AppInfo::versionMajor, AppInfo::versionMinor, AppInfo::versionMaintenance);
}

bool isNewerDatabase(int major, int minor, bool localRead, int localMajor, int localMinor)
{
    return !localRead || std::tie(major, minor) > std::tie(localMajor, localMinor);
}

bool verifyArchive(const QString& path, const QByteArray& sha256Hex)
{
    if (sha256Hex.isEmpty())
        return true;
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return false;
    return hash.result().toHex() == sha256Hex.toLower();
}

QString extractFile(const QString& archive, const QString& name, const QString& target)
{
    QFile::remove(target);
    const QString extracted = JlCompress::extractFile(archive, name, target);
    if (extracted.isEmpty() || !QFile::exists(extracted))
        return QString();
    return extracted;
}

bool replaceFile(const QString& current, const QString& replacement, const QString& aside)
{
    QFile::remove(aside);
    const bool hadCurrent = QFile::exists(current);
#ifdef Q_OS_WIN
    // A running program or an open database cannot be replaced here, only renamed.
    if (hadCurrent && !QFile::rename(current, aside)) {
        qCWarning(lcApp) << "cannot set" << current << "aside";
        return false;
    }
    if (QFile::rename(replacement, current))
        return true;
    qCWarning(lcApp) << "cannot move" << replacement << "to" << current;
    if (hadCurrent && !QFile::rename(aside, current))
        qCWarning(lcApp) << "cannot put" << aside << "back to" << current;
    return false;
#else
    // The old file gets its second name first (a copy where the file system has no links),
    // and the new one is renamed over it in one step: at no moment is current missing, even
    // when the program is killed in between.
    if (hadCurrent && ::link(QFile::encodeName(current).constData(), QFile::encodeName(aside).constData()) != 0 &&
        !QFile::copy(current, aside)) {
        qCWarning(lcApp) << "cannot keep" << current << "as" << aside;
        QFile::remove(aside);
        return false;
    }
    if (std::rename(QFile::encodeName(replacement).constData(), QFile::encodeName(current).constData()) == 0)
        return true;
    qCWarning(lcApp) << "cannot move" << replacement << "to" << current;
    if (hadCurrent)
        QFile::remove(aside);
    return false;
#endif
}

Outcome installProgram(const QString& folder, const QByteArray& sha256)
{
    const QString archive = folder + QLatin1String("Tessaro.zip");
    const QString executable = folder + Folders::executableName();
    const QString temporary = folder + Folders::tempExecutableName();
    Outcome outcome = Outcome::Mismatch;
    if (verifyArchive(archive, sha256)) {
        if (extractFile(archive, Folders::executableName(), temporary).isEmpty())
            outcome = Outcome::NotInArchive;
        else if (!replaceFile(executable, temporary, folder + Folders::oldExecutableName()))
            outcome = Outcome::SwapFailed;
        else {
            QFile(executable).setPermissions(QFile(executable).permissions() | QFile::ExeOwner | QFile::ExeUser);
            outcome = Outcome::Installed;
        }
    }
    QFile::remove(archive);
    QFile::remove(temporary);
    return outcome;
}

namespace {

QString statusText(int status)
{
    switch (status) {
    case MibDatabase::Missing:
        return QCoreApplication::translate("MainWindow", "the file is missing");
    case MibDatabase::Unsupported:
        return QCoreApplication::translate("MainWindow", "its format is not supported");
    default:
        return QCoreApplication::translate("MainWindow", "the file is damaged");
    }
}

// Answers the reason the file cannot serve as the MIB database, empty when it can.
QString checkDatabase(const QString& path)
{
    MibDatabase database;
    database.setFileName(path);
    int status = database.check();
    if (status == MibDatabase::Usable)
        status = database.open(true);
    database.close();
    return status == MibDatabase::Usable ? QString() : statusText(status);
}

} // namespace

Outcome installDatabase(const QString& folder, const QByteArray& sha256, const std::function<void()>& closeCurrent,
                        QString* error)
{
    const QString archive = folder + QLatin1String("MIB.zip");
    const QString path = folder + QLatin1String("MIB.db");
    const QString temporary = path + QLatin1String(".temp");
    const QString aside = path + QLatin1String(".old");
    Outcome outcome = Outcome::Mismatch;
    if (verifyArchive(archive, sha256)) {
        if (extractFile(archive, QStringLiteral("MIB.db"), temporary).isEmpty()) {
            outcome = Outcome::NotInArchive;
        } else if (const QString problem = checkDatabase(temporary); !problem.isEmpty()) {
            if (error)
                *error = problem;
            outcome = Outcome::Refused;
        } else {
            closeCurrent();
            outcome = replaceFile(path, temporary, aside) ? Outcome::Installed : Outcome::SwapFailed;
            if (outcome == Outcome::Installed)
                QFile::remove(aside);
        }
    }
    QFile::remove(archive);
    QFile::remove(temporary);
    return outcome;
}

} // namespace Updater

ServerUpdate::ServerUpdate(QNetworkAccessManager* network, const QString& baseUrl, QObject* parent)
    : QObject(parent)
    , m_network(network)
    , m_baseUrl(baseUrl)
{
}

void ServerUpdate::checkForUpdates()
{
    // The program's version file is asked for once the database's is handled, so that the two
    // offers and their downloads never run inside each other's dialogs.
    m_programAfterDatabase = true;
    requestFile(QStringLiteral("MIB.ver"));
}

void ServerUpdate::requestFile(const QString& name)
{
    if (QNetworkReply* old = m_replies.take(name)) {
        old->disconnect(this);
        old->abort();
        old->deleteLater();
    }
    QNetworkRequest request(QUrl(m_baseUrl + name));
    request.setHeader(QNetworkRequest::UserAgentHeader, Updater::userAgent());
    QNetworkReply* reply = m_network->get(request);
    m_replies.insert(name, reply);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onReplyFinished(reply); });
}

void ServerUpdate::onReplyFinished(QNetworkReply* reply)
{
    const QByteArray body = reply->readAll();
    const QString name = reply->url().fileName();
    const bool failed = reply->error() != QNetworkReply::NoError;
    if (failed)
        qCInfo(lcApp) << "update server:" << reply->url().toString() << reply->errorString();
    reply->deleteLater();
    if (m_replies.value(name) == reply)
        m_replies.remove(name);

    if (name == QLatin1String("Tessaro.ver")) {
        const auto version = failed ? std::nullopt : Updater::parseAppVersion(body);
        if (version)
            emit appVersionReceived(version->major, version->minor, version->maintenance, version->fileSize,
                                    version->sha256);
        else
            emit appVersionNotReceived();
    } else if (name == QLatin1String("MIB.ver") && !failed) {
        if (const auto version = Updater::parseDbVersion(body))
            emit dbVersionReceived(version->major, version->minor, version->fileSize, version->sha256);
        else
            emit dbVersionNotReceived();
    }
    if (name == QLatin1String("MIB.ver") && std::exchange(m_programAfterDatabase, false))
        requestFile(QStringLiteral("Tessaro.ver"));
}
