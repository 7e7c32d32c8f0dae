#include "app/AppInfo.h"
#include "platform/Folders.h"
#include "app/Deploy.h"
#include "app/MainWindow.h"
#include "snmp/SocketStartup.h"

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
    font.setPointSize(MainWindow::scaledPointSize(font.pointSizeF(), 1.4));
    QApplication::setFont(font);

    int code = 0;
    {
        MainWindow window;
        window.show();
        code = app.exec();
    }
    cleanupSockets();
    return code;
}
