#include "app/AppContext.h"
#include "app/AppInfo.h"
#include "app/Deploy.h"
#include "app/MainWindow.h"
#include "platform/AppSettings.h"
#include "platform/Clock.h"
#include "platform/Folders.h"
#include "platform/ServiceManager.h"
#include "platform/SystemdServiceManager.h"
#include "platform/WindowsServiceManager.h"
#include "snmp/SocketStartup.h"
#include "ui/widgets/ChromeSizes.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <cstring>

int main(int argc, char* argv[])
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication::setAttribute(Qt::AA_DisableWindowContextHelpButton);

    // The executable that a program update replaced.
    QFile::remove(QDir::current().filePath(Folders::oldExecutableName()));

    if (argc == 2 && std::strcmp(argv[1], "deploy") == 0) {
        runDeploy(QDir::currentPath());
        return 0;
    }

    startSockets();

    QApplication app(argc, argv);
    QApplication::setApplicationName(AppInfo::title());
    QFont font = QApplication::font();
    font.setPointSize(scaledPointSize(font.pointSizeF(), 1.4));
    QApplication::setFont(font);

    // The one place that decides which folders, files, service control and clock are used.
    const Folders folders;
    // A program update leaves the replaced executable beside the new one, wherever the
    // program was started from.
    QFile::remove(folders.applicationFile(Folders::oldExecutableName()));
    folders.createDataFolder();
    setSnmpPersistentFolder(folders.dataFile(QStringLiteral("net-snmp")));
    AppSettings settings(folders.dataFile(QStringLiteral("Tessaro.ini")));
#ifdef Q_OS_WIN
    WindowsServiceManager services;
#else
    SystemdServiceManager services;
#endif
    const SystemClock clock;
    const AppContext context{folders, settings, services, settings.updateBaseUrl(), clock};

    int code = 0;
    {
        MainWindow window(context);
        window.show();
        code = app.exec();
    }
    cleanupSockets();
    return code;
}
