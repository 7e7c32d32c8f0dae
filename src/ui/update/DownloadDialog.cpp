#include "ui/update/DownloadDialog.h"

#include "ui/update/UpdateTexts.h"
#include "ui/widgets/UserPrompts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

DownloadDialog::DownloadDialog(QNetworkAccessManager* network, const QString& address, const QString& targetPath,
                               qint32 expectedSize, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_network(network)
    , m_address(address)
    , m_targetPath(targetPath)
    , m_expectedSize(expectedSize)
    , m_progress(new QProgressBar(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Program upgrade"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Downloading file (%1)").arg(Updater::sizeText(expectedSize)), this));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    layout->addWidget(m_progress);
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* cancel = new QPushButton(tr("Cancel"), this);
    connect(cancel, &QPushButton::clicked, this, &DownloadDialog::onCancelButton);
    row->addWidget(cancel);
    layout->addLayout(row);
}

void DownloadDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_firstShow)
        return;
    m_firstShow = false;
    // Started from the event loop, so that a file that cannot be written ends a running exec().
    QTimer::singleShot(0, this, &DownloadDialog::startDownload);
}

void DownloadDialog::startDownload()
{
    m_file.setFileName(m_targetPath);
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
        reject();
        return;
    }
    QNetworkRequest request{QUrl(m_address)};
    request.setHeader(QNetworkRequest::UserAgentHeader, Updater::userAgent());
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::finished, this, &DownloadDialog::onReplyFinished);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &DownloadDialog::onDownloadProgress);
    // Progress signals come at most every 100 ms; what arrives in between is written at once.
    connect(m_reply, &QNetworkReply::readyRead, this, &DownloadDialog::writeArrived);
}

void DownloadDialog::onDownloadProgress(qint64 received, qint64 total)
{
    if (total != 0)
        m_progress->setValue(static_cast<int>(received * 100 / total));
    writeArrived();
}

void DownloadDialog::writeArrived()
{
    if (m_reply && m_reply->isOpen())
        m_file.write(m_reply->readAll());
}

void DownloadDialog::onReplyFinished()
{
    const bool failed = m_reply->error() != QNetworkReply::NoError;
    if (failed) {
        if (!m_cancelled)
            UserPrompts::instance().warning(
                this, QString(), tr("Failed to download update file") + QLatin1String("\n") + m_reply->errorString());
        m_file.close();
        m_file.remove();
    } else {
        m_file.write(m_reply->readAll());
        m_file.close();
    }
    m_reply->deleteLater();
    m_reply = nullptr;
    done(failed ? QDialog::Rejected : QDialog::Accepted);
}

void DownloadDialog::onCancelButton()
{
    m_cancelled = true;
    if (m_reply)
        m_reply->abort();
    else
        reject();
}
