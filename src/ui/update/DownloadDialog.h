#pragma once

#include <QDialog>
#include <QFile>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QProgressBar;

// Downloads one file into a target path while showing the progress; run with exec(). The
// result is accepted when the whole file arrived; otherwise the partial file is removed.
// The download starts when the dialog is first shown; the dialog deletes itself when closed.
class DownloadDialog : public QDialog
{
    Q_OBJECT

public:
    DownloadDialog(QNetworkAccessManager* network, const QString& address, const QString& targetPath,
                   qint32 expectedSize, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void onReplyFinished();
    void onDownloadProgress(qint64 received, qint64 total);
    void onCancelButton();

private:
    void startDownload();
    void writeArrived();

    QNetworkAccessManager* m_network;
    QString m_address;
    QString m_targetPath;
    qint32 m_expectedSize;
    QProgressBar* m_progress;
    bool m_firstShow = true;
    QNetworkReply* m_reply = nullptr;
    QFile m_file;
    bool m_cancelled = false;
};
