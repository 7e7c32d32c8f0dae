#pragma once

#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

// A test SMTP server process on 127.0.0.1, ended when the object goes.
struct Smtpd
{
    QTemporaryDir out;
    QProcess process;
    int port = 0;

    explicit Smtpd(const QStringList& options)
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        port = probe.serverPort();
        probe.close();
        process.start(QStringLiteral("/usr/bin/python3"),
                      QStringList{QFileInfo(QStringLiteral(__FILE__)).dir().filePath("../fixtures/smtpd_fixture.py"),
                                  "--port", QString::number(port), "--out", out.path(), "--user", "ann", "--password",
                                  "pw:1"} +
                          options);
        process.waitForReadyRead(15000);
        QVERIFY2(process.readAll().contains("READY"), process.readAllStandardError().constData());
    }
    ~Smtpd()
    {
        process.closeWriteChannel();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    // What the server wrote: "envelope.txt", "message.eml" or an attachment by its name.
    QByteArray file(const QString& name) const
    {
        QFile f(out.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};
