#pragma once

#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

// The aiosmtpd test server on 127.0.0.1 (user "ann", password "pw:1" unless options say
// otherwise), ended when the object goes. It writes what it receives into a folder.
struct Smtpd
{
    QTemporaryDir out;
    QProcess process;
    int port = 0;

    explicit Smtpd(const QStringList& options)
    {
        QTcpServer probe; // a free port
        probe.listen(QHostAddress::LocalHost);
        port = probe.serverPort();
        probe.close();
        const QString script = QFileInfo(QStringLiteral(__FILE__)).dir().filePath("../fixtures/smtpd_fixture.py");
        process.start("/usr/bin/python3", QStringList{script, "--port", QString::number(port), "--out", out.path(),
                                                      "--user", "ann", "--password", "pw:1"} +
                                              options);
        QVERIFY2(process.waitForReadyRead(15000) && process.readAll().contains("READY"),
                 process.readAllStandardError().constData());
    }
    ~Smtpd()
    {
        process.closeWriteChannel(); // the server's cue to stop
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(5000);
    }
    // "envelope.txt" (sender and recipients, one a line), "message.eml" or an attachment by its name.
    QByteArray file(const QString& name) const { return readBytes(out.filePath(name)); }
};
