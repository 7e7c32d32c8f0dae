// Start-up and search on big MIB databases: the time from constructing the main window to
// a populated tree with its saved expansion restored, set against the bare database load
// (check, open, reload) in the same run; and a "Find Next" over the whole tree that finds
// nothing, which is the longest a search can take.
//
// Usage: app-startup-bench [NODES...]   (default: 200000 1000000; run offscreen)

#include "app/AppContext.h"
#include "platform/AppSettings.h"
#include "platform/Clock.h"
#include "platform/ServiceManager.h"
#include "ui/browser/FindDialog.h"
#include "platform/Folders.h"
#include "app/MainWindow.h"
#include "mib/MibDatabase.h"
#include "MibDbGenerator.h"
#include "ui/browser/OidBrowser.h"
#include "mib/TreeModel.h"
#include "ui/browser/TreeView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace {

double elapsedMs(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double bareLoadMs(const QString& file)
{
    QElapsedTimer timer;
    timer.start();
    MibDatabase database;
    database.setFileName(file);
    if (database.check() != MibDatabase::Usable || database.open(false) != MibDatabase::Usable)
        return -1;
    TreeModel model(database);
    model.reload();
    const double ms = elapsedMs(timer);
    return model.rootOid() ? ms : -1;
}

// An expansion a user might leave behind: internet's children and the first few branches
// below mib-2 and the enterprises, three levels deep.
QString typicalExpansion(MainWindow& window)
{
    TreeModel& model = window.treeModel();
    OidBrowser* browser = window.browser();
    browser->onCollapseTree();
    TreeView* view = browser->treeView();
    for (const char* path : {"1.3.6.1.2", "1.3.6.1.2.1", "1.3.6.1.4", "1.3.6.1.4.1"}) {
        const QModelIndex index = model.indexFromOid(model.findByPath(QLatin1String(path)));
        view->expand(index);
        for (int row = 0; row < std::min(5, model.rowCount(index)); ++row) {
            const QModelIndex child = model.index(row, 0, index);
            view->expand(child);
            for (int grand = 0; grand < std::min(3, model.rowCount(child)); ++grand)
                view->expand(model.index(grand, 0, child));
        }
    }
    return browser->saveExpansion();
}

struct Startup
{
    double ms = -1;
    bool expanded = false;
};

Startup startWindow(const AppContext& context)
{
    QElapsedTimer timer;
    timer.start();
    MainWindow window(context);
    window.show();
    while (!window.isInitialized() && timer.elapsed() < 600000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    Startup result;
    result.ms = elapsedMs(timer);
    result.expanded = window.browser()->saveExpansion() == context.settings.mainWindowTreeExpansion();
    window.close();
    return result;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<qint64> counts;
    for (int i = 1; i < argc; ++i)
        counts << QByteArray(argv[i]).toLongLong();
    if (counts.isEmpty())
        counts = {200000, 1000000};

    QTemporaryDir root;
    AppSettings settings(root.filePath(QStringLiteral("Tessaro.ini")));
    NullServiceManager services;
    const SystemClock clock;
    QTextStream out(stdout);
    out << "nodes\tbare load ms\tstart-up ms\tratio\texpansion\tfind names ms\tfind names+descriptions ms\n";
    for (const qint64 count : counts) {
        QTemporaryDir base;
        const Folders folders(base.path(), QString(), base.filePath(QStringLiteral("app")), base.path());
        folders.createDataFolder();
        const AppContext context{folders, settings, services, QString(), clock};
        const QString file = folders.dataFile(QStringLiteral("MIB.db"));
        QString error;
        if (!MibDbGenerator(count, 42).write(file, &error)) {
            out << "cannot write " << file << ": " << error << '\n';
            return 1;
        }

        // Leave a saved expansion behind, as a previous run would.
        {
            MainWindow window(context);
            window.show();
            while (!window.isInitialized())
                QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            settings.setMainWindowTreeExpansion(typicalExpansion(window));
            settings.setMainWindowCurrentOid(QString());
        }

        double bare = 1e300;
        Startup startup;
        startup.ms = 1e300;
        for (int round = 0; round < 3; ++round) {
            bare = std::min(bare, bareLoadMs(file));
            const Startup run = startWindow(context);
            if (run.ms < startup.ms)
                startup = run;
        }

        MibDatabase database;
        database.setFileName(file);
        database.open(false);
        TreeModel model(database);
        model.reload();
        FindDialog::Parameters parameters;
        parameters.text = QStringLiteral("no node has this name");
        parameters.searchFrom = FindDialog::FromRoot;
        double names = 1e300;
        double descriptions = 1e300;
        for (int round = 0; round < 5; ++round) {
            QElapsedTimer timer;
            parameters.searchInDescriptions = false;
            timer.start();
            const bool foundName = FindDialog::search(model, parameters, OidPtr()).isValid();
            names = std::min(names, elapsedMs(timer));
            parameters.searchInDescriptions = true;
            timer.restart();
            const bool foundText = FindDialog::search(model, parameters, OidPtr()).isValid();
            descriptions = std::min(descriptions, elapsedMs(timer));
            if (foundName || foundText)
                out << "unexpected match\n";
        }

        out << count << '\t' << qRound(bare) << '\t' << qRound(startup.ms) << '\t'
            << QString::number(startup.ms / bare, 'f', 2) << '\t' << (startup.expanded ? "restored" : "NOT restored")
            << '\t' << QString::number(names, 'f', 1) << '\t' << QString::number(descriptions, 'f', 1) << '\n';
        out.flush();
    }
    out << "targets at 1,000,000 nodes: start-up ratio <= 1.3, find names < 150 ms\n";
    return 0;
}
