#include "app/MainWindow.h"

#include "app/AppInfo.h"
#include "app/DatabaseStartup.h"
#include "app/MibImport.h"
#include "app/Updater.h"
#include "config/ServiceRegistry.h"
#include "config/TrapAlertFile.h"
#include "platform/AppSettings.h"
#include "platform/Clock.h"
#include "platform/Icons.h"
#include "platform/ServiceManager.h"
#include "ui/browser/OidBrowser.h"
#include "ui/browser/OidValueViewer.h"
#include "ui/devices/DevicesDialog.h"
#include "ui/mail/SendEmailDialog.h"
#include "ui/mib/MibImportDialog.h"
#include "ui/mib/RemoveMibModulesDialog.h"
#include "ui/monitor/OidChartDialog.h"
#include "ui/monitor/OidIndexSelectionDialog.h"
#include "ui/oids/OidListDialog.h"
#include "ui/oids/OidSettingsDialog.h"
#include "ui/service/SettingsDialog.h"
#include "ui/traps/TrapEditDialog.h"
#include "ui/traps/TrapListDialog.h"
#include "ui/update/DownloadDialog.h"
#include "ui/service/SplashScreen.h"
#include "ui/widgets/ClickableLabel.h"
#include "ui/widgets/DialogGeometry.h"
#include "ui/widgets/MainToolBar.h"
#include "ui/widgets/ScreenGeometry.h"
#include "ui/widgets/UiUtils.h"
#include "ui/widgets/UserPrompts.h"

#include <algorithm>

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QNetworkAccessManager>
#include <QProgressDialog>
#include <QSignalBlocker>
#include <QSslSocket>
#include <QTimer>
#include <QUrl>

namespace {

SnmpOidUtils::Device queryDevice(const VelmoraFile::Entry& entry)
{
    return SnmpOidUtils::Device{entry.ipAddress, entry.credentials};
}

} // namespace

MainWindow::MainWindow(const AppContext& context, QWidget* parent)
    : QMainWindow(parent)
    , m_context(context)
    , m_treeModel(m_database)
    , m_deviceList(new DeviceList(context.folders.dataFile(QStringLiteral("Velmora.cfg")), this))
    , m_monitoredOids(context.folders.applicationFile(QStringLiteral("OIDEntry.cfg")),
                      context.folders.applicationFile(QStringLiteral("Data")))
    , m_service(
          new ServiceController(context.services, ServiceRegistry::readString(QStringLiteral("ServiceName")), this))
{
    if (!QSslSocket::supportsSsl())
        UserPrompts::instance().warning(this, tr("OpenSSL"), tr("OpenSSL DLLs not found"));

    setWindowTitle(AppInfo::title());
    setContextMenuPolicy(Qt::NoContextMenu);

    m_browser = new OidBrowser(true, this);
    m_browser->setModel(&m_treeModel);
    setCentralWidget(m_browser);

    createActions();
    createToolBar();
    createMenus();
    setServiceActions();
    makeConnections();

    m_network = new QNetworkAccessManager(this);
    m_serverUpdate = new ServerUpdate(m_network, m_context.updateBaseUrl, this);
    connect(m_serverUpdate, &ServerUpdate::appVersionReceived, this, &MainWindow::onAppVersionReceived);
    connect(m_serverUpdate, &ServerUpdate::dbVersionReceived, this, &MainWindow::onDbVersionReceived);
    connect(m_checkUpdatesAction, &QAction::triggered, this, &MainWindow::onUpdateAppButton);
}

MainWindow::~MainWindow()
{
    // The query actions have no parent: the tree's context menu borrows them.
    delete m_stopQueryAction;
    delete m_getAction;
    delete m_getNextAction;
    delete m_getBulkAction;
    delete m_monitorAction;
}

void MainWindow::createActions()
{
    // The query actions have no parent: the tree's context menu borrows them.
    const auto make = [this](const QIcon& icon, const QString& text, const QString& tip, bool owned = true) {
        auto* action = new QAction(icon, text, owned ? this : nullptr);
        action->setStatusTip(tip);
        return action;
    };
    const auto icon = [](const char* name) { return loadIcon(QLatin1String(name)); };
    const auto ico = [](const char* name) { return QIcon(QStringLiteral(":/images/%1.ico").arg(QLatin1String(name))); };

    m_addOidAction = make(icon("leafAdd"), tr("Add OID"), tr("Add OID for monitoring"));
    m_addTrapAction = make(icon("notificationAdd"), tr("Add Trap alert"), tr("Add Trap alert"));
    m_editOidsAction = make(icon("leafEdit"), tr("Edit existing OIDs"), tr("Edit existing OIDs"));
    m_editTrapsAction =
        make(icon("notificationEdit"), tr("Edit existing Trap alerts"), tr("Edit existing Trap alerts"));
    m_checkUpdatesAction = make(icon("available-updates"), tr("Check for updates"), tr("Check for updates"));
    m_checkUpdatesAction->setVisible(false);
    m_submitMibAction = make(icon("leafSubmit"), tr("Submit new MIB"), tr("Submit new MIB"));
    m_importMibsAction = make(QIcon(), tr("&Import MIB modules..."), tr("Add MIB module files to the MIB database"));
    m_importMibFolderAction =
        make(QIcon(), tr("Import MIB &folder..."), tr("Add every MIB module of a folder to the MIB database"));
    m_removeMibsAction =
        make(QIcon(), tr("&Remove imported modules..."), tr("Remove imported MIB modules from the MIB database"));
    m_startServiceAction = make(ico("start"), tr("Start Service"), tr("Start Service"));
    m_stopServiceAction = make(ico("stop"), tr("Stop Service"), tr("Stop Service"));
    m_restartServiceAction = make(ico("restart"), tr("Restart Service"), tr("Restart Service"));
    m_settingsAction = make(ico("settings"), tr("Settings"), tr("Open settings"));
    m_editDevicesAction = make(ico("settings"), tr("Edit Device List"), tr("Edit Device List"));
    m_findAction = make(icon("leafSearch"), tr("Find OID (Ctrl-F)"), tr("Find OID by name or number"));
    m_findAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    m_collapseAction = make(icon("leafCollapse"), tr("Collapse Tree"), tr("Collapse OID tree"));
    m_aboutAction = make(ico("App"), tr("About %1...").arg(AppInfo::title()), QString());

    m_stopQueryAction = make(icon("leafStop"), tr("Stop running GetNext/GetBulk"), QString(), false);
    m_stopQueryAction->setEnabled(false);
    m_getAction = make(QIcon(), tr("Get"), QString(), false);
    m_getNextAction = make(QIcon(), tr("GetNext"), QString(), false);
    m_getBulkAction = make(QIcon(), tr("GetBulk"), QString(), false);
    m_monitorAction = make(QIcon(), tr("Monitor..."), QString(), false);
}

void MainWindow::createToolBar()
{
    m_toolBar = new MainToolBar({m_findAction, m_collapseAction, nullptr, m_submitMibAction, m_checkUpdatesAction,
                                 nullptr, m_stopQueryAction, nullptr},
                                m_editDevicesAction, this);
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    m_deviceBox = m_toolBar->deviceBox();
    m_viewFullOid = m_toolBar->viewFullOid();
    m_logo = m_toolBar->logo();
    m_logo->setToolTip(AppInfo::makerWebSite());
}

void MainWindow::createMenus()
{
    // The monitoring and service actions have no place in the tool bar; a menu bar makes
    // them reachable, and carries the About box where there is no window system menu.
    addActionsWithSeparators(menuBar()->addMenu(tr("&MIB")), {m_importMibsAction, m_importMibFolderAction,
                                                              m_removeMibsAction, nullptr, m_submitMibAction});
    addActionsWithSeparators(menuBar()->addMenu(tr("Monitoring")),
                             {m_addOidAction, m_editOidsAction, nullptr, m_addTrapAction, m_editTrapsAction});
    QMenu* service = menuBar()->addMenu(tr("Service"));
    addActionsWithSeparators(
        service, {m_startServiceAction, m_stopServiceAction, m_restartServiceAction, nullptr, m_settingsAction});
    // The service may have been started or stopped by someone else since the actions were set.
    connect(service, &QMenu::aboutToShow, this, &MainWindow::updateServiceActions);
    menuBar()->addMenu(tr("Help"))->addAction(m_aboutAction);
}

void MainWindow::makeConnections()
{
    connect(m_addOidAction, &QAction::triggered, this, &MainWindow::onAddOidFromTree);
    connect(m_editOidsAction, &QAction::triggered, this, &MainWindow::onEditExistingOids);
    connect(m_startServiceAction, &QAction::triggered, this, &MainWindow::onStartService);
    connect(m_stopServiceAction, &QAction::triggered, this, [this] { onStopService(false); });
    connect(m_restartServiceAction, &QAction::triggered, this, &MainWindow::onRestartService);
    connect(m_settingsAction, &QAction::triggered, this, &MainWindow::onOpenSettings);
    connect(m_addTrapAction, &QAction::triggered, this, &MainWindow::onAddNewTrap);
    connect(m_editTrapsAction, &QAction::triggered, this, &MainWindow::onEditExistingTraps);
    connect(m_submitMibAction, &QAction::triggered, this, &MainWindow::onSubmitMib);
    connect(m_importMibsAction, &QAction::triggered, this, &MainWindow::onImportMibFiles);
    connect(m_importMibFolderAction, &QAction::triggered, this, &MainWindow::onImportMibFolder);
    connect(m_removeMibsAction, &QAction::triggered, this, &MainWindow::onRemoveImportedMibs);
    connect(m_service, &ServiceController::busy, this, &MainWindow::showBusyPopup);
    connect(m_service, &ServiceController::idle, this, &MainWindow::closeBusyPopup);
    connect(m_service, &ServiceController::actionsChanged, this, &MainWindow::updateServiceActions);
    connect(m_service, &ServiceController::restartFailed, this, &MainWindow::onServiceRestartFailed);
    // The close that waited for the restart: nothing is pending any more, so it goes through.
    connect(m_service, &ServiceController::quitRequested, this, &MainWindow::close, Qt::QueuedConnection);
    connect(m_editDevicesAction, &QAction::triggered, this, &MainWindow::onEditDevices);
    connect(m_findAction, &QAction::triggered, this, &MainWindow::onFindOid);
    connect(m_collapseAction, &QAction::triggered, m_browser, &OidBrowser::onCollapseTree);
    connect(m_stopQueryAction, &QAction::triggered, this, &MainWindow::onStopGet);
    connect(m_getAction, &QAction::triggered, this, &MainWindow::onGetValue);
    connect(m_getNextAction, &QAction::triggered, this, &MainWindow::onGetNextValue);
    connect(m_getBulkAction, &QAction::triggered, this, &MainWindow::onGetBulkValue);
    connect(m_monitorAction, &QAction::triggered, this, &MainWindow::onMonitorOidFromTree);
    connect(m_aboutAction, &QAction::triggered, this, &MainWindow::onAboutBox);

    connect(m_logo, &ClickableLabel::clicked, this, &MainWindow::onLogoClicked);
    connect(m_viewFullOid, &QCheckBox::stateChanged, this, &MainWindow::onViewFullStateChanged);
    connect(m_browser, &OidBrowser::currentChanged, this, &MainWindow::onCurrentOidChanged);
    connect(m_browser, &OidBrowser::leafOidActivated, this, &MainWindow::onLeafOidActivated);
    m_browser->setContextMenuCallback([this](QMenu* menu, const OidPtr& oid) { buildTreeContextMenu(menu, oid); });
    OidValueViewer* viewer = m_browser->valueViewer();
    connect(viewer, &OidValueViewer::stopButtonClicked, this, &MainWindow::onStopGet);
    connect(viewer, &OidValueViewer::jumpToClicked, this, &MainWindow::onJumpToOid);
    connect(viewer, &OidValueViewer::monitorOidClicked, this, &MainWindow::onMonitorOidFromValue);
    connect(viewer, &OidValueViewer::addOidClicked, this, &MainWindow::onAddOidFromValue);
    connect(&m_query, &QueryController::started, viewer, &OidValueViewer::clear);
    connect(&m_query, &QueryController::linesReady, viewer, &OidValueViewer::appendRows);
    connect(&m_query, &QueryController::stoppableChanged, this, &MainWindow::setStopControls);
    connect(m_viewFullOid, &QCheckBox::toggled, &m_query, &QueryController::setShowOidPath);
    connect(m_deviceBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::onCurrentDeviceChanged);
    connect(m_deviceList, &DeviceList::deviceInfoChanged, this, &MainWindow::onDeviceInfoChanged);
}

void MainWindow::setServiceActions()
{
    // A service that cannot be opened (not installed, or no service control here) can be
    // neither started nor stopped, and the monitored OIDs are saved as soon as they change.
    m_service->init();
    m_service->setPendingChanges([this] { return m_monitoredOids.hasPendingChanges(); },
                                 [this] { return savePendingOidEntries(); });
    updateServiceActions();
}

void MainWindow::updateServiceActions()
{
    const ServiceController::Actions actions = m_service->actions();
    m_startServiceAction->setEnabled(actions.start);
    m_stopServiceAction->setEnabled(actions.stop);
    m_restartServiceAction->setEnabled(actions.restart);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_firstShow)
        return;
    m_firstShow = false;
    m_toolBar->showLogo();
    restoreSettings();
    QTimer::singleShot(10, this, &MainWindow::onPostponedInitialization);
}

void MainWindow::restoreSettings()
{
    const AppSettings& settings = m_context.settings;
    const QByteArray geometry = settings.mainWindowGeometry();
    if (geometry.isEmpty() || !restoreGeometry(geometry))
        setGeometry(centeredFractionRect(this, 0.9));
    m_browser->restoreMainSplitterState(settings.mainWindowMainSplitterState());
    m_browser->restoreRightSplitterState(settings.mainWindowRightSplitterState());

    m_searchParameters = FindDialog::storedParameters(settings);

    m_viewFullOid->setChecked(settings.mainWindowViewFullOid());

    m_deviceList->load(settings.deviceNames());
    fillDeviceBox(settings.mainWindowDeviceIp());
    onCurrentDeviceChanged(m_deviceBox->currentIndex());
    m_deviceList->requestDeviceInfo();
    m_monitoredOids.load();
}

void MainWindow::saveSettings()
{
    AppSettings& settings = m_context.settings;
    settings.setMainWindowGeometry(saveGeometry());
    settings.setMainWindowMainSplitterState(m_browser->saveMainSplitterState());
    settings.setMainWindowRightSplitterState(m_browser->saveRightSplitterState());
    // A tree that never loaded has nothing to say about the saved expansion.
    if (m_treeModel.rootOid())
        settings.setMainWindowTreeExpansion(m_browser->saveExpansion());
    if (const OidPtr current = m_browser->currentOid())
        settings.setMainWindowCurrentOid(current->numericPath());

    FindDialog::storeParameters(settings, m_searchParameters);

    settings.setMainWindowDeviceIp(m_deviceBox->currentData().toString());
}

void MainWindow::onPostponedInitialization()
{
    openDatabase();

    const QString expansion = m_context.settings.mainWindowTreeExpansion();
    if (expansion.isEmpty())
        m_browser->onCollapseTree();
    else
        m_browser->restoreExpansion(expansion);

    const OidPtr current = m_treeModel.findByPath(m_context.settings.mainWindowCurrentOid());
    if (current)
        m_browser->selectIndex(m_treeModel.indexFromOid(current));
    m_initialized = true;
    onUpdateAppButton();

    // A device list that cannot be read is not offered for editing: a save would refuse it.
    if (!m_deviceList->errorText().isEmpty()) {
        QTimer::singleShot(100, this, [this] {
            UserPrompts::instance().warning(this, AppInfo::title(), m_deviceList->errorText(), QMessageBox::Ok,
                                            QMessageBox::Ok);
        });
    } else if (const QStringList unread = m_deviceList->unreadCredentials(); !unread.isEmpty()) {
        QTimer::singleShot(100, this, [this, unread] {
            UserPrompts::instance().warning(this, AppInfo::title(),
                                            tr("The SNMP credentials of these devices could not be read and are kept "
                                               "as they are in the file: %1")
                                                .arg(unread.join(QStringLiteral(", "))));
        });
    } else if (m_deviceList->entries().isEmpty()) {
        QTimer::singleShot(100, this, [this] {
            UserPrompts::instance().information(
                this, AppInfo::title(),
                tr("No devices configured.\nAdd devices to the configuration to perform SNMP requests."));
            onEditDevices();
        });
    }
}

void MainWindow::openDatabase()
{
    if (const auto warning = openMibDatabase(m_database, m_context.folders))
        UserPrompts::instance().warning(this, warning->title, warning->text, QMessageBox::Ok, QMessageBox::Ok);
    else
        m_treeModel.reload();
}

void MainWindow::onUpdateAppButton()
{
    // Without an update server there is nothing to check, and nothing to complain about.
    if (!m_context.updateBaseUrl.isEmpty())
        m_serverUpdate->checkForUpdates();
}

void MainWindow::onAppVersionReceived(int major, int minor, int maintenance, int fileSize, const QByteArray& sha256)
{
    m_appUpdateAvailable = false;
    if (major == 0 || fileSize == 0 || !Updater::isNewerProgram(major, minor, maintenance))
        return;
    m_appUpdateAvailable = true;
    const QString text =
        tr("New application version is available.\nCurrent version: %1.%2.%3\nNew version: %4.%5.%6\nDownload and "
           "upgrade application? (%7)")
            .arg(AppInfo::versionMajor)
            .arg(AppInfo::versionMinor)
            .arg(AppInfo::versionMaintenance)
            .arg(major)
            .arg(minor)
            .arg(maintenance)
            .arg(Updater::sizeText(fileSize));
    if (UserPrompts::instance().question(this, tr("Upgrade application"), text, QMessageBox::Yes | QMessageBox::No,
                                         QMessageBox::NoButton) != QMessageBox::Yes)
        return;
    downloadProgramUpdate(fileSize, sha256);
    m_checkUpdatesAction->setVisible(m_appUpdateAvailable || m_dbUpdateAvailable);
}

void MainWindow::onDbVersionReceived(int major, int minor, int fileSize, const QByteArray& sha256)
{
    m_dbUpdateAvailable = false;
    if (major != 0 && fileSize != 0) {
        int format = 0;
        int localMajor = 0;
        int localMinor = 0;
        const bool read = m_database.isOpen() && m_database.readVersion(&format, &localMajor, &localMinor);
        if (!read)
            localMajor = localMinor = 0;
        if (!Updater::isNewerDatabase(major, minor, read, localMajor, localMinor))
            return;
        m_dbUpdateAvailable = true;
        const QString text = tr("New database version is available.\nCurrent version: %1.%2\nNew version: "
                                "%3.%4\nDownload and upgrade database file? (%5)")
                                 .arg(localMajor)
                                 .arg(localMinor)
                                 .arg(major)
                                 .arg(minor)
                                 .arg(Updater::sizeText(fileSize));
        if (UserPrompts::instance().question(this, tr("Upgrade database"), text, QMessageBox::Yes | QMessageBox::No,
                                             QMessageBox::NoButton) == QMessageBox::Yes)
            downloadDatabaseUpdate(fileSize, sha256);
    }
    m_checkUpdatesAction->setVisible(m_appUpdateAvailable || m_dbUpdateAvailable);
}

namespace {

// Every outcome but the install is told: the user accepted a download and waits for it.
void reportRejectedArchive(QWidget* parent, Updater::Outcome outcome, const QString& archive, const QString& file,
                           const QString& error)
{
    QString text;
    switch (outcome) {
    case Updater::Outcome::Installed:
        return;
    case Updater::Outcome::Mismatch:
        text = QCoreApplication::translate("MainWindow", "The downloaded file %1 does not match the update server's "
                                                         "version file and was removed.")
                   .arg(QDir::toNativeSeparators(archive));
        break;
    case Updater::Outcome::Refused:
        text = QCoreApplication::translate("MainWindow", "The downloaded database could not be opened: %1").arg(error);
        break;
    case Updater::Outcome::NotInArchive:
        text = QCoreApplication::translate("MainWindow", "The downloaded file %1 does not hold %2 and was removed.")
                   .arg(QDir::toNativeSeparators(archive), file);
        break;
    case Updater::Outcome::SwapFailed:
        text =
            QCoreApplication::translate("MainWindow", "%1 could not be replaced; the current file is kept.").arg(file);
        break;
    }
    UserPrompts::instance().warning(parent, QString(), text);
}

} // namespace

void MainWindow::downloadProgramUpdate(int size, const QByteArray& sha256)
{
    const QString folder = m_context.folders.applicationFolder();
    const QString archive = folder + QLatin1String("Tessaro.zip");
    auto* dialog =
        new DownloadDialog(m_network, m_context.updateBaseUrl + QLatin1String("Tessaro.zip"), archive, size, this);
    if (dialog->exec() != QDialog::Accepted)
        return;
    const Updater::Outcome outcome = Updater::installProgram(folder, sha256);
    reportRejectedArchive(this, outcome, archive, Folders::executableName(), QString());
    if (outcome != Updater::Outcome::Installed)
        return;
    UserPrompts::instance().information(this, tr("Program update"),
                                        tr("Program was updated.\nRestart application now."), QMessageBox::Ok,
                                        QMessageBox::Ok);
    m_appUpdateAvailable = false;
    close();
}

void MainWindow::downloadDatabaseUpdate(int size, const QByteArray& sha256)
{
    const QString folder = m_context.folders.dataFolder();
    const QString archive = folder + QLatin1String("MIB.zip");
    auto* dialog =
        new DownloadDialog(m_network, m_context.updateBaseUrl + QLatin1String("MIB.zip"), archive, size, this);
    if (dialog->exec() != QDialog::Accepted)
        return;
    QString error;
    bool closed = false;
    const OidPtr current = m_browser->currentOid();
    const QString currentPath = current ? current->numericPath() : QString();
    const Updater::Outcome outcome = Updater::installDatabase(
        folder, sha256,
        [this, &closed] {
            closed = true;
            m_database.close();
        },
        &error);
    reportRejectedArchive(this, outcome, archive, QStringLiteral("MIB.db"), error);
    // The old database stays when the swap failed; it was closed all the same.
    if (closed)
        openDatabase();
    if (outcome == Updater::Outcome::Installed) {
        m_dbUpdateAvailable = false;
        // The new database lacks the user's own modules: they are added again.
        const QString kept = m_context.folders.dataFile(QStringLiteral("mibs"));
        if (!MibImport::importedModules(kept).isEmpty())
            QTimer::singleShot(200, this, [this, kept] { runMibImport(ImportKind::Reapply, {kept}); });
    }
    // The new tree opens as at a first start, on the node the user was looking at.
    QTimer::singleShot(100, m_browser, [this, currentPath] {
        m_browser->onCollapseTree();
        if (const OidPtr oid = m_treeModel.findByPath(currentPath))
            m_browser->selectIndex(m_treeModel.indexFromOid(oid));
    });
}

void MainWindow::onFindOid()
{
    if (!m_findDialog) {
        m_findDialog = new FindDialog(m_searchParameters, this);
        connect(m_findDialog, &FindDialog::findNext, this, &MainWindow::onFindNext);
        connect(m_findDialog, &FindDialog::closed, this, &MainWindow::onFindDialogClosed);
    }
    m_findDialog->show();
    m_findDialog->raise();
    m_findDialog->activateWindow();
}

void MainWindow::onFindNext(const FindDialog::Parameters& parameters)
{
    m_browser->selectIndex(FindDialog::search(m_treeModel, parameters, m_browser->currentOid()));
    m_searchParameters = parameters;
}

void MainWindow::onFindDialogClosed(const FindDialog::Parameters& parameters)
{
    m_searchParameters = parameters;
}

QString MainWindow::deviceLabel(const QString& address, const QString& name)
{
    if (name.isEmpty())
        return address;
    return address + QLatin1String(" - ") + name.left(30);
}

namespace {

QVariant deviceToolTip(const QString& sysDescr)
{
    // Rich text, so that a long description wraps.
    if (sysDescr.isEmpty())
        return QVariant();
    return QString(QLatin1String("<qt>") + sysDescr.toHtmlEscaped() + QLatin1String("</qt>"));
}

} // namespace

void MainWindow::fillDeviceBox(const QString& addressToSelect)
{
    // The caller runs onCurrentDeviceChanged once the box is complete.
    const QSignalBlocker blocker(m_deviceBox);
    m_deviceBox->clear();
    const QList<VelmoraFile::Entry>& devices = m_deviceList->entries();
    int selected = -1;
    for (int i = 0; i < devices.size(); ++i) {
        const QString& address = devices.at(i).ipAddress;
        const SnmpReader::HostInfoResult& info = m_deviceList->deviceInfo().at(i);
        m_deviceBox->addItem(deviceLabel(address, info.sysName), address);
        m_deviceBox->setItemData(i, deviceToolTip(info.sysDescr), Qt::ToolTipRole);
        if (selected == -1 && address == addressToSelect)
            selected = i;
    }
    if (selected == -1 && m_deviceBox->count() > 0)
        selected = 0;
    m_deviceBox->setCurrentIndex(selected);
    m_deviceBox->adjustSize();
}

VelmoraFile::Entry MainWindow::currentDevice() const
{
    return m_deviceList->entries().value(m_deviceBox->currentIndex());
}

void MainWindow::updateDeviceActions()
{
    const int index = m_deviceBox->currentIndex();
    const bool selected = index != -1;
    m_getAction->setEnabled(selected);
    m_getNextAction->setEnabled(selected);
    m_monitorAction->setEnabled(selected);
    m_getBulkAction->setEnabled(selected && currentDevice().credentials.version != 1);
    onCurrentOidChanged(m_browser->currentOid());
    updateWindowTitle(m_deviceBox->currentText());
}

void MainWindow::onCurrentDeviceChanged(int)
{
    updateDeviceActions();
    // A running walk is abandoned: its late results are dropped.
    m_query.setDevice(queryDevice(currentDevice()));
}

void MainWindow::updateWindowTitle(const QString& text)
{
    setWindowTitle(text.isEmpty() ? AppInfo::title() : AppInfo::title() + QLatin1String(" / ") + text);
}

void MainWindow::onDeviceInfoChanged(int row)
{
    const SnmpReader::HostInfoResult& info = m_deviceList->deviceInfo().at(row);
    const QString label = deviceLabel(info.ip, info.sysName);
    m_deviceBox->setItemText(row, label);
    m_deviceBox->setItemData(row, deviceToolTip(info.sysDescr), Qt::ToolTipRole);
    if (row == m_deviceBox->currentIndex())
        updateWindowTitle(label);
}

void MainWindow::refillDeviceBox(const VelmoraFile::Entry& previous)
{
    fillDeviceBox(previous.ipAddress);
    // A walk on the device still selected goes on; another device abandons it.
    const VelmoraFile::Entry current = currentDevice();
    if (current.ipAddress != previous.ipAddress || current.credentials != previous.credentials)
        onCurrentDeviceChanged(m_deviceBox->currentIndex());
    else
        updateDeviceActions();
}

void MainWindow::onEditDevices()
{
    // Someone may have changed the file since it was read (a text editor, another copy of
    // the program): the editor starts from what it holds now, so that a save keeps it.
    const VelmoraFile::Entry shown = currentDevice();
    if (m_deviceList->reloadIfChanged(m_context.settings.deviceNames()))
        refillDeviceBox(shown);

    DevicesDialog dialog(this);
    const DialogGeometry geometry(m_context.settings);
    geometry.restore(&dialog, dialog.objectName());
    dialog.setData(m_deviceList->entries(), m_deviceList->deviceInfo());
    // Device information keeps arriving while the editor is open; it wins over the editor's copy.
    const quint64 opened = m_deviceList->infoStamp();
    dialog.exec();
    geometry.save(&dialog, dialog.objectName());

    if (dialog.isModified()) {
        const VelmoraFile::Entry previous = currentDevice();
        m_deviceList->setDevices(dialog.entries(), dialog.deviceInfo(), opened);
        refillDeviceBox(previous);
    }
    // A list that could not be written stays in memory; nothing typed is lost while the
    // program runs, and the next close of the editor tries again.
    if (!m_deviceList->isUnsaved() || m_deviceList->save())
        return;
    QString text = tr("The device list could not be saved to %1.\nYour changes are kept while %2 runs and are saved "
                      "again when you next close the device list.")
                       .arg(QDir::toNativeSeparators(m_deviceList->path()), AppInfo::title());
    // The reason, when known: a file that cannot be read, or the file system's refusal.
    if (!m_deviceList->errorText().isEmpty())
        text += QStringLiteral("\n\n") + m_deviceList->errorText();
    UserPrompts::instance().warning(this, tr("Device List Not Saved"), text);
}

void MainWindow::onGetValue()
{
    askQuery(QueryController::GetRequest);
}

void MainWindow::onGetNextValue()
{
    askQuery(QueryController::GetNextWalk);
}

void MainWindow::onGetBulkValue()
{
    askQuery(QueryController::GetBulkWalk);
}

void MainWindow::onLeafOidActivated(const OidPtr& oid)
{
    if (!oid)
        return;
    if (oid->number == 0)
        onGetValue();
    else
        onGetNextValue();
}

void MainWindow::askQuery(QueryController::RequestKind kind)
{
    if (const OidPtr node = m_browser->currentOid())
        m_query.ask(kind, node->numericPath());
}

void MainWindow::setStopControls(bool enabled)
{
    m_stopQueryAction->setEnabled(enabled);
    m_browser->valueViewer()->setStopButtonVisible(enabled);
}

void MainWindow::onStopGet()
{
    m_query.stop();
}

void MainWindow::onJumpToOid(const QString& oidPath)
{
    if (OidPath::parse(oidPath).isEmpty())
        return;
    if (const OidPtr node = m_treeModel.findByPath(oidPath))
        m_browser->selectIndex(m_treeModel.indexFromOid(node));
}

void MainWindow::buildTreeContextMenu(QMenu* menu, const OidPtr& oid)
{
    if (!oid)
        return;
    menu->addAction(m_getAction);
    menu->addAction(m_getNextAction);
    menu->addAction(m_getBulkAction);
    if (oid->isLeaf())
        menu->setDefaultAction(oid->number == 0 ? m_getAction : m_getNextAction);
    if (isNumericType(oid->type)) {
        menu->addSeparator();
        menu->addAction(m_monitorAction);
        menu->addAction(m_addOidAction);
    }
    if (isNotificationType(oid->type)) {
        menu->addSeparator();
        menu->addAction(m_addTrapAction);
    }
    menu->addSeparator();
    menu->addAction(m_importMibsAction);
    menu->addAction(m_removeMibsAction);
}

bool MainWindow::isCounterType(int type)
{
    return type == Oid::Counter || type == Oid::TimeTicks || type == Oid::Counter64;
}

void MainWindow::openChart(const QString& path, Oid::Type type)
{
    // A result's OID carries its instance; the chart is named after the object it belongs to.
    OidPtr node = m_treeModel.findByPath(path);
    if (!node)
        node = m_treeModel.findByPath(OidPath::parentPath(path));
    const QString name = node ? node->name : QString();
    auto* chart = new OidChartDialog(queryDevice(currentDevice()), name, path, isCounterType(type), this);
    chart->show();
}

void MainWindow::onMonitorOidFromTree()
{
    const OidPtr node = m_browser->currentOid();
    if (!node || m_deviceBox->currentIndex() == -1)
        return;
    // The node's path names an object, not an instance of it: the device is asked which
    // rows it has (a scalar has just ".0"), and the chart polls the one chosen.
    OidIndexSelectionDialog dialog(node, queryDevice(currentDevice()), this);
    dialog.setTreeModel(&m_treeModel);
    dialog.setSettings(&m_context.settings);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    const QString oid = dialog.selectedOid();
    if (accepted && !oid.isEmpty())
        openChart(oid, node->type);
}

void MainWindow::onMonitorOidFromValue(const QString& path, Oid::Type type, const QString&)
{
    if (m_deviceBox->currentIndex() == -1)
        return;
    openChart(path, type);
}

void MainWindow::onCurrentOidChanged(const OidPtr& oid)
{
    const bool deviceSelected = m_deviceBox->currentIndex() != -1;
    m_addOidAction->setEnabled(oid && deviceSelected);
    m_addTrapAction->setEnabled(oid && deviceSelected);
    if (oid) {
        const bool notification = isNotificationType(oid->type);
        m_addOidAction->setVisible(!notification);
        m_addTrapAction->setVisible(notification);
    }
}

void MainWindow::onViewFullStateChanged(int state)
{
    m_context.settings.setMainWindowViewFullOid(state == Qt::Checked);
}

void MainWindow::onAboutBox()
{
    QString text = AppInfo::title() + QStringLiteral(" v%1.%2.%3<br><br>")
                                          .arg(AppInfo::versionMajor)
                                          .arg(AppInfo::versionMinor)
                                          .arg(AppInfo::versionMaintenance);
    int format = 0;
    int major = 0;
    int minor = 0;
    if (m_database.readVersion(&format, &major, &minor))
        text += tr("Database v%1.%2<br><br>").arg(major).arg(minor);
    text += tr("Copyright %1 %2, <a href=\"%3\">%3</a>")
                .arg(m_context.clock.now().date().year())
                .arg(AppInfo::makerName(), AppInfo::makerWebSite());
    const QPixmap icon = QIcon(QStringLiteral(":/images/App.ico")).pixmap(64, 64);
    UserPrompts::instance().richInformation(this, tr("About") + QLatin1Char(' ') + AppInfo::title(), text, icon);
}

void MainWindow::onLogoClicked()
{
    QDesktopServices::openUrl(QUrl(AppInfo::makerWebSite()));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // A device list that could not be saved is tried once more; closing would lose it.
    if (m_deviceList->isUnsaved() && !m_deviceList->save() &&
        UserPrompts::instance().question(this, tr("Device List Not Saved"),
                                         tr("The device list could not be saved to %1.\nClose anyway and lose "
                                            "the changes made to it?")
                                             .arg(QDir::toNativeSeparators(m_deviceList->path())),
                                         QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    saveSettings();
    if (m_service->isBusy()) {
        // The service is being started or stopped; the close is tried again when it is done.
        m_closeWhenIdle = true;
        event->ignore();
        return;
    }
    if (m_monitoredOids.hasPendingChanges()) {
        m_service->setQuitAfterStart(true);
        const ServiceController::Confirm answer = confirmChanges();
        if (answer == ServiceController::Confirm::Restarting) {
            event->ignore();
            return;
        }
        m_service->setQuitAfterStart(false);
        if (answer == ServiceController::Confirm::SaveFailed &&
            UserPrompts::instance().question(this, tr("Monitored OIDs Not Saved"),
                                             tr("The monitored OIDs could not be saved to %1.\nClose anyway and "
                                                "lose the changes made to them?")
                                                 .arg(QDir::toNativeSeparators(m_monitoredOids.path())),
                                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
            event->ignore();
            return;
        }
    }
    event->accept();
}

void MainWindow::onAddOidFromValue(const QString& path, Oid::Type type, const QString&)
{
    // A result line names an instance already.
    if (m_deviceBox->currentIndex() != -1)
        addOid(path, false, type);
}

void MainWindow::onAddOidFromTree()
{
    if (!m_treeModel.rootOid()) {
        UserPrompts::instance().information(this, tr("Database not loaded"),
                                            tr("Download latest database file from server."));
        return;
    }
    const OidPtr node = m_browser->currentOid();
    if (!node || m_deviceBox->currentIndex() == -1)
        return;
    // A node names an object: a column's rows are listed to choose from, a scalar has one
    // instance. Columns are the children of a table's entry, which SMI names "...Entry".
    const OidPtr parent = node->parent.lock();
    if (parent && parent->name.endsWith(QLatin1String("Entry")))
        addOid(node->numericPath(), true, node->type);
    else
        addOid(node->numericPath() + QStringLiteral(".0"), false, node->type);
}

void MainWindow::addOid(const QString& oid, bool isTableColumn, int type)
{
    const int row = m_deviceBox->currentIndex();
    OidSettingsDialog dialog(devices().at(row), deviceInfo().value(row), &m_treeModel, &m_context.settings, this);
    if (dialog.addOid(oid, isTableColumn, type) != QDialog::Accepted)
        return;
    m_monitoredOids.add(dialog.entry());
    confirmPendingChanges();
}

void MainWindow::onEditExistingOids()
{
    OidListDialog dialog(devices(), deviceInfo(), m_monitoredOids.entries(), &m_treeModel, &m_context.settings, this);
    dialog.exec();
    if (dialog.changedFileNames().isEmpty())
        return;
    m_monitoredOids.replace(dialog.entries(), dialog.changedFileNames());
    confirmPendingChanges();
}

bool MainWindow::confirmPendingChanges()
{
    return confirmChanges() != ServiceController::Confirm::Restarting;
}

ServiceController::Confirm MainWindow::confirmChanges()
{
    const ServiceController::Confirm answer = m_service->confirmPendingChanges([this] {
        return UserPrompts::instance().question(this, tr("Save changes"),
                                                tr("There are unsaved changes in the OID entries list.\nDo you "
                                                   "want to save these changes and restart the service now?"),
                                                QMessageBox::Yes | QMessageBox::No,
                                                QMessageBox::Yes) == QMessageBox::Yes;
    });
    if (answer == ServiceController::Confirm::Postponed)
        m_toolBar->setStatusText(tr("Files changed %1 restart the service to take effect").arg(QChar(0x2013)));
    return answer;
}

bool MainWindow::savePendingOidEntries()
{
    if (m_monitoredOids.savePending()) {
        m_toolBar->setStatusText(QString());
        return true;
    }
    // Said once the service controller is done with the save; the changes stay for the next one.
    const QString text = tr("The monitored OIDs could not be saved to %1:\n%2\n\nThe changes are kept and saved "
                            "with the next change or stop of the service.")
                             .arg(QDir::toNativeSeparators(m_monitoredOids.path()), m_monitoredOids.errorText());
    QTimer::singleShot(0, this,
                       [this, text] { UserPrompts::instance().warning(this, tr("Monitored OIDs Not Saved"), text); });
    return false;
}

QString MainWindow::statusText() const
{
    return m_toolBar->statusText();
}

void MainWindow::onAddNewTrap()
{
    const OidPtr node = m_browser->currentOid();
    if (!m_treeModel.rootOid() || !node)
        return;
    TrapEditDialog dialog(&m_treeModel, this);
    if (dialog.add(currentDevice().ipAddress, node) != QDialog::Accepted)
        return;
    QString error;
    const TrapAlertFile::Entry entry = dialog.buildEntry(&error);
    TrapAlertFile file;
    file.setFileName(trapAlertPath());
    if (file.add(entry, &error))
        return;
    if (error.isEmpty())
        UserPrompts::instance().information(this, tr("Add new trap alert"),
                                            tr("The same trap alert is in the list already."));
    else
        UserPrompts::instance().warning(
            this, tr("Trap Alerts Not Saved"),
            tr("The trap alert could not be saved to %1:\n%2").arg(QDir::toNativeSeparators(trapAlertPath()), error));
}

void MainWindow::onEditExistingTraps()
{
    TrapListDialog dialog(trapAlertPath(), &m_treeModel, &m_context.settings, this);
    dialog.exec();
}

QString MainWindow::trapAlertPath() const
{
    return m_context.folders.applicationFile(QStringLiteral("TrapAlert.cfg"));
}

void MainWindow::onSubmitMib()
{
    // The dialog deletes itself when closed and keeps its fields in the settings.
    (new SendEmailDialog(AppInfo::submissionMailbox(), &m_context.settings, this))->exec();
}

void MainWindow::onImportMibFiles()
{
    const QStringList files = QFileDialog::getOpenFileNames(this, tr("Import MIB modules"), m_lastImportFolder);
    if (!files.isEmpty()) {
        m_lastImportFolder = QFileInfo(files.first()).absolutePath();
        importMibModules(files);
    }
}

void MainWindow::onImportMibFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Import MIB modules"), m_lastImportFolder);
    if (!folder.isEmpty()) {
        m_lastImportFolder = folder;
        importMibModules({folder});
    }
}

void MainWindow::onRemoveImportedMibs()
{
    const QMap<QString, QString> imported =
        MibImport::importedModules(m_context.folders.dataFile(QStringLiteral("mibs")));
    if (imported.isEmpty()) {
        UserPrompts::instance().information(this, tr("Remove imported modules"),
                                            tr("No MIB modules have been imported."), QMessageBox::Ok, QMessageBox::Ok);
        return;
    }
    RemoveMibModulesDialog dialog(imported, this);
    if (dialog.exec() == QDialog::Accepted)
        runMibImport(ImportKind::Remove, dialog.chosenModules());
}

void MainWindow::importMibModules(const QStringList& paths)
{
    runMibImport(ImportKind::Import, paths);
}

void MainWindow::runMibImport(ImportKind kind, const QStringList& arguments)
{
    if (m_import)
        return;
#ifdef Q_OS_WIN
    const QString builder = m_context.folders.applicationFile(QStringLiteral("tessaro-mibdb.exe"));
#else
    const QString builder = m_context.folders.applicationFile(QStringLiteral("tessaro-mibdb"));
#endif
    m_import = new MibImport(builder, m_context.folders.dataFile(QStringLiteral("MIB.db")),
                             m_context.folders.dataFile(QStringLiteral("mibs")), this);
    m_importKind = kind;
    // Imports resolve against the modules the default database was built from, which lie
    // beside the program, and the system's net-snmp modules.
    QStringList search{m_context.folders.applicationFile(QStringLiteral("mibs"))};
    for (const char* folder : {"/usr/share/snmp/mibs", "/usr/share/snmp/mibs/iana", "/usr/share/snmp/mibs/ietf"})
        search.append(QLatin1String(folder));
    m_import->setSearchFolders(search);
    const QString title = kind == ImportKind::Remove ? tr("Remove imported modules") : tr("Import MIB modules");
    if (!(kind == ImportKind::Remove ? m_import->startRemoval(arguments) : m_import->start(arguments))) {
        UserPrompts::instance().warning(this, title, m_import->errorText());
        delete m_import;
        m_import = nullptr;
        return;
    }
    for (QAction* action : {m_importMibsAction, m_importMibFolderAction, m_removeMibsAction})
        action->setEnabled(false);
    // The compiler runs in its own process: the window goes on, the progress dialog tells.
    const QString label = kind == ImportKind::Remove    ? tr("Removing MIB modules...")
                          : kind == ImportKind::Reapply ? tr("Adding the imported MIB modules to the new database...")
                                                        : tr("Compiling MIB modules...");
    m_importProgress = new QProgressDialog(label, tr("Cancel"), 0, 0, this);
    m_importProgress->setWindowTitle(title);
    m_importProgress->setWindowModality(Qt::WindowModal);
    m_importProgress->setAutoClose(false);
    m_importProgress->setAutoReset(false);
    m_importProgress->setMinimumDuration(0);
    m_importProgress->setMinimumWidth(420);
    connect(m_importProgress, &QProgressDialog::canceled, m_import, &MibImport::cancel);
    connect(m_import, &MibImport::progress, m_importProgress, [this](int done, int total, const QString& module) {
        m_importProgress->setMaximum(total);
        m_importProgress->setValue(done);
        m_importProgress->setLabelText(tr("Compiled %1 of %2 modules\n%3").arg(done).arg(total).arg(module));
    });
    connect(m_import, &MibImport::finished, this, &MainWindow::onMibImportFinished, Qt::QueuedConnection);
    m_importProgress->show();
}

void MainWindow::onMibImportFinished(bool ok)
{
    m_importProgress->deleteLater();
    m_importProgress = nullptr;
    const auto done = [this] {
        m_import->deleteLater();
        m_import = nullptr;
        for (QAction* action : {m_importMibsAction, m_importMibFolderAction, m_removeMibsAction})
            action->setEnabled(true);
    };
    if (!ok) {
        if (m_import->errorText() == QLatin1String("Cancelled"))
            return done();
        const QString text = m_importKind == ImportKind::Remove
                                 ? tr("The MIB modules could not be removed; the MIB database is unchanged.\n%1")
                             : m_importKind == ImportKind::Reapply
                                 ? tr("The imported MIB modules could not be added to the updated MIB database.\n%1")
                                 : tr("The MIB modules could not be imported; the MIB database is unchanged.\n%1");
        UserPrompts::instance().warning(
            this, m_importKind == ImportKind::Remove ? tr("Remove imported modules") : tr("Import MIB modules"),
            text.arg(m_import->errorText()));
        return done();
    }
    const QVector<MibImport::Module>& modules = m_import->modules();
    // The user chose the removal, and a re-application that loads everything again is what the
    // user had: neither needs a decision.
    const bool allLoaded = std::all_of(modules.cbegin(), modules.cend(), [](const MibImport::Module& module) {
        return module.kind == MibImport::Module::Loaded;
    });
    if (m_importKind == ImportKind::Remove || (m_importKind == ImportKind::Reapply && allLoaded)) {
        if (m_import->hasChanges())
            applyMibImport();
        else
            m_import->discard();
        return done();
    }
    QVector<MibImportDialog::Row> rows;
    for (const MibImport::Module& module : modules)
        rows.append({module.name, static_cast<MibImportDialog::Row::Kind>(module.kind), module.nodes, module.reason});
    const MibImport::Summary summary = m_import->summary();
    QString text =
        m_import->hasChanges()
            ? tr("Applying adds %1 nodes, updates %2 and removes %3; the MIB database will then hold %4 nodes.")
                  .arg(summary.added)
                  .arg(summary.updated)
                  .arg(summary.removed)
                  .arg(summary.total)
            : tr("Nothing to apply: the MIB database would not change.");
    if (m_importKind == ImportKind::Reapply)
        text.prepend(tr("The updated MIB database was installed. Not all of your imported modules load into it "
                        "again:\n"));
    MibImportDialog dialog(rows, text, m_import->hasChanges(), this);
    if (dialog.exec() == QDialog::Accepted && m_import->hasChanges())
        applyMibImport();
    else
        m_import->discard();
    done();
}

void MainWindow::applyMibImport()
{
    // The tree is rebuilt in place: the same branches open, the same node current.
    const QString expansion = m_browser->saveExpansion();
    const OidPtr current = m_browser->currentOid();
    const QString currentPath = current ? current->numericPath() : QString();
    m_database.close();
    const bool applied = m_import->apply();
    openDatabase();
    m_browser->restoreExpansion(expansion);
    // A current node that went with a removed module gives way to its nearest ancestor left.
    OidPtr oid;
    for (QString path = currentPath; !oid && !path.isEmpty(); path = path.section(QLatin1Char('.'), 0, -2))
        oid = m_treeModel.findByPath(path);
    if (oid)
        m_browser->selectIndex(m_treeModel.indexFromOid(oid));
    if (!applied)
        UserPrompts::instance().warning(
            this, tr("Import MIB modules"),
            tr("The new MIB database could not be put in place; the current one is kept.\n%1")
                .arg(m_import->errorText()));
}

void MainWindow::onOpenSettings()
{
    SettingsDialog dialog(AppInfo::defaultAlertSender(), this);
    dialog.exec();
}

void MainWindow::onStartService()
{
    m_toolBar->setStatusText(QString());
    m_service->startService();
}

void MainWindow::onStopService(bool needRestart)
{
    m_toolBar->setStatusText(QString());
    m_service->stopService(needRestart);
}

void MainWindow::onRestartService()
{
    onStopService(true);
}

void MainWindow::showBusyPopup(const QString& text)
{
    if (!m_busyPopup)
        m_busyPopup = new SplashScreen(this);
    m_busyPopup->setText(text);
    m_busyPopup->show();
    m_busyPopup->move(geometry().center() - m_busyPopup->rect().center());
    updateServiceActions();
}

void MainWindow::closeBusyPopup()
{
    if (m_busyPopup) {
        m_busyPopup->close();
        m_busyPopup->deleteLater();
        m_busyPopup = nullptr;
    }
    updateServiceActions();
    if (m_closeWhenIdle) {
        m_closeWhenIdle = false;
        QTimer::singleShot(0, this, &MainWindow::close);
    }
}

void MainWindow::onServiceRestartFailed()
{
    closeBusyPopup();
    // Changes that a stop did not get to save still wait for a restart.
    if (m_monitoredOids.hasPendingChanges())
        m_toolBar->setStatusText(tr("Files changed %1 restart the service to take effect").arg(QChar(0x2013)));
    UserPrompts::instance().warning(this, tr("Restart Service"), tr("Failed to Start/Stop Orvane Service"));
}
