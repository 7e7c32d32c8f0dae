// A first window over the MIB database: the tree of the data folder's MIB.db, seeded from
// the database installed beside the program on the first start.

#include "MibDatabase.h"
#include "TreeModel.h"
#include "TreeView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QStandardPaths>

namespace {

QString dataFolder()
{
    QString base = qEnvironmentVariable("ProgramData");
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!base.endsWith(QLatin1Char('/')) && !base.endsWith(QDir::separator()))
        base += QLatin1Char('/');
    return base + QLatin1String("Brantwick/Tessaro/");
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaro"));

    const QString folder = dataFolder();
    QDir().mkpath(folder);
    const QString databasePath = folder + QLatin1String("MIB.db");
    const QString installed = QApplication::applicationDirPath() + QLatin1String("/MIB.db");
    if (!QFile::exists(databasePath) && QFile::exists(installed))
        QFile::copy(installed, databasePath);

    MibDatabase database;
    database.setFileName(databasePath);
    int status = database.check();
    if (status == MibDatabase::Usable)
        status = database.open(false);
    if (status != MibDatabase::Usable) {
        QMessageBox::warning(nullptr, QStringLiteral("Tessaro"),
                             QApplication::translate("main", "The OID database %1 cannot be used (status %2).")
                                 .arg(QDir::toNativeSeparators(databasePath))
                                 .arg(status));
    }

    TreeModel model(database);
    model.reload();
    TreeView view;
    view.setWindowTitle(QStringLiteral("Tessaro"));
    view.setHeaderHidden(true);
    view.setUniformRowHeights(true);
    view.setModel(&model);
    for (const char* path : {"1.3.6.1", "1.3.6", "1.3", "1"})
        view.expand(model.indexFromOid(model.findByPath(QLatin1String(path))));
    view.resize(640, 800);
    view.show();
    return app.exec();
}
