#include "app/MainWindow.h"

#include "app/AppInfo.h"
#include "app/AppSettings.h"
#include "ui/widgets/ClickableLabel.h"
#include "ui/devices/DevicesDialog.h"
#include "platform/Icons.h"
#include "ui/browser/OidBrowser.h"
#include "ui/monitor/OidChartDialog.h"
#include "ui/monitor/OidIndexSelectionDialog.h"
#include "ui/browser/OidValueViewer.h"
#include "ui/widgets/ScreenGeometry.h"
#include "ui/widgets/UserPrompts.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QSslSocket>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include <cmath>

namespace {

// What the window asks of each device. The address table too: the device list editor warns
// about a new device that answers at one of the addresses of a device already in the list.
constexpr int DeviceInfoFlags = SnmpReader::SystemInfo | SnmpReader::Interfaces | SnmpReader::IpAddresses;

QWidget* fixedSpacer(int width, QWidget* parent)
{
    auto* spacer = new QWidget(parent);
    spacer->setFixedWidth(width);
    return spacer;
}

} // namespace

namespace {

SnmpOidUtils::Device queryDevice(const VelmoraFile::Entry& entry)
{
    return SnmpOidUtils::Device::fromParams(entry.ipAddress, entry.credentials);
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : MainWindow(Folders::instance(), parent)
{
}

MainWindow::MainWindow(const Folders& folders, QWidget* parent)
    : QMainWindow(parent)
    , m_treeModel(m_database)
    , m_dataFolder(folders.dataFolder())
    , m_applicationFolder(folders.applicationFolder())
    , m_requestId(SnmpReader::newRequestId())
{
    folders.createDataFolder();
    AppSettings::instance(m_dataFolder + QLatin1String("Tessaro.ini"));

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

int MainWindow::toolBarIconSize(int defaultHeight)
{
    for (const int size : {32, 64}) {
        if (size > defaultHeight)
            return size;
    }
    return 64;
}

int MainWindow::scaledPointSize(double pointSize, double factor)
{
    return static_cast<int>(std::lround(pointSize * factor));
}

int MainWindow::logoPixmapHeight(int labelHeight)
{
    return scaledPointSize(labelHeight, 0.75);
}

int MainWindow::logoRightMargin(int labelHeight)
{
    return scaledPointSize(labelHeight - logoPixmapHeight(labelHeight), 0.5);
}

void MainWindow::createActions()
{
    const auto make = [this](const QIcon& icon, const QString& text, const QString& tip, QObject* parent) {
        auto* action = new QAction(icon, text, parent);
        action->setStatusTip(tip);
        return action;
    };
    const QIcon serviceSettings(QStringLiteral(":/images/settings.ico"));

    m_addOidAction = make(loadIcon(QStringLiteral("leafAdd")), tr("Add OID"), tr("Add OID for monitoring"), this);
    m_addTrapAction =
        make(loadIcon(QStringLiteral("notificationAdd")), tr("Add Trap alert"), tr("Add Trap alert"), this);
    m_editOidsAction =
        make(loadIcon(QStringLiteral("leafEdit")), tr("Edit existing OIDs"), tr("Edit existing OIDs"), this);
    m_editTrapsAction = make(loadIcon(QStringLiteral("notificationEdit")), tr("Edit existing Trap alerts"),
                             tr("Edit existing Trap alerts"), this);
    m_checkUpdatesAction =
        make(loadIcon(QStringLiteral("available-updates")), tr("Check for updates"), tr("Check for updates"), this);
    m_checkUpdatesAction->setVisible(false);
    m_submitMibAction = make(loadIcon(QStringLiteral("leafSubmit")), tr("Submit new MIB"), tr("Submit new MIB"), this);
    m_startServiceAction =
        make(QIcon(QStringLiteral(":/images/start.ico")), tr("Start Service"), tr("Start Service"), this);
    m_stopServiceAction =
        make(QIcon(QStringLiteral(":/images/stop.ico")), tr("Stop Service"), tr("Stop Service"), this);
    m_restartServiceAction =
        make(QIcon(QStringLiteral(":/images/restart.ico")), tr("Restart Service"), tr("Restart Service"), this);
    m_settingsAction = make(serviceSettings, tr("Settings"), tr("Open settings"), this);
    m_editDevicesAction = make(serviceSettings, tr("Edit Device List"), tr("Edit Device List"), this);
    m_findAction =
        make(loadIcon(QStringLiteral("leafSearch")), tr("Find OID (Ctrl-F)"), tr("Find OID by name or number"), this);
    m_findAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    m_collapseAction =
        make(loadIcon(QStringLiteral("leafCollapse")), tr("Collapse Tree"), tr("Collapse OID tree"), this);

    m_stopQueryAction =
        make(loadIcon(QStringLiteral("leafStop")), tr("Stop running GetNext/GetBulk"), QString(), nullptr);
    m_stopQueryAction->setEnabled(false);
    m_getAction = make(QIcon(), tr("Get"), QString(), nullptr);
    m_getNextAction = make(QIcon(), tr("GetNext"), QString(), nullptr);
    m_getBulkAction = make(QIcon(), tr("GetBulk"), QString(), nullptr);
    m_monitorAction = make(QIcon(), tr("Monitor..."), QString(), nullptr);

    m_aboutAction =
        make(QIcon(QStringLiteral(":/images/App.ico")), tr("About %1...").arg(AppInfo::title()), QString(), this);
}

void MainWindow::createToolBar()
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("mainToolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    m_toolBar->addAction(m_findAction);
    m_toolBar->addAction(m_collapseAction);
    m_toolBar->addSeparator();
    m_toolBar->addAction(m_submitMibAction);
    m_toolBar->addAction(m_checkUpdatesAction);
    m_toolBar->addSeparator();
    m_toolBar->addAction(m_stopQueryAction);
    m_toolBar->addSeparator();

    m_ipLabel = new QLabel(tr(" IP Address: "), m_toolBar);
    m_toolBar->addWidget(m_ipLabel);

    m_deviceBox = new QComboBox(m_toolBar);
    m_deviceBox->setMaximumWidth(centeredFractionRect(this, 0.4).width());
    m_deviceBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_toolBar->addWidget(m_deviceBox);

    m_toolBar->addWidget(fixedSpacer(5, m_toolBar));
    m_toolBar->addAction(m_editDevicesAction);
    m_toolBar->addWidget(fixedSpacer(15, m_toolBar));

    m_viewFullOid = new QCheckBox(tr("View Full OID"), m_toolBar);
    m_toolBar->addWidget(m_viewFullOid);

    // The service state is shown between the check box and the spacer, only while there is
    // something to say.
    m_statusLabel = new QLabel(m_toolBar);
    m_statusLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_statusLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_statusLabel->setWordWrap(false);
    m_statusLabel->setIndent(10);
    m_statusLabelAction = m_toolBar->addWidget(m_statusLabel);
    m_statusLabelAction->setVisible(false);

    auto* spacer = new QWidget(m_toolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    m_toolBar->addWidget(spacer);

    m_logo = new ClickableLabel(m_toolBar);
    m_logo->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    m_logo->setAlignment(Qt::AlignCenter);
    m_logo->setToolTip(AppInfo::makerWebSite());
    m_logo->setCursor(Qt::PointingHandCursor);
    m_toolBar->addWidget(m_logo);

    const int iconSize = toolBarIconSize(m_toolBar->iconSize().height());
    m_toolBar->setIconSize(QSize(iconSize, iconSize));

    QFont font = m_ipLabel->font();
    font.setPointSize(scaledPointSize(font.pointSizeF(), 1.2));
    for (QWidget* widget : {static_cast<QWidget*>(m_ipLabel), static_cast<QWidget*>(m_deviceBox),
                            static_cast<QWidget*>(m_viewFullOid), static_cast<QWidget*>(m_statusLabel)})
        widget->setFont(font);
}

void MainWindow::createMenus()
{
    // The monitoring and service actions have no place in the tool bar; a menu bar makes
    // them reachable, and carries the About box where there is no window system menu.
    QMenu* monitoring = menuBar()->addMenu(tr("Monitoring"));
    monitoring->addAction(m_addOidAction);
    monitoring->addAction(m_editOidsAction);
    monitoring->addSeparator();
    monitoring->addAction(m_addTrapAction);
    monitoring->addAction(m_editTrapsAction);

    QMenu* service = menuBar()->addMenu(tr("Service"));
    service->addAction(m_startServiceAction);
    service->addAction(m_stopServiceAction);
    service->addAction(m_restartServiceAction);
    service->addSeparator();
    service->addAction(m_settingsAction);

    QMenu* help = menuBar()->addMenu(tr("Help"));
    help->addAction(m_aboutAction);
}

void MainWindow::makeConnections()
{
    connect(m_addOidAction, &QAction::triggered, this, &MainWindow::onAddOidFromTree);
    connect(m_addTrapAction, &QAction::triggered, this, &MainWindow::onAddNewTrap);
    connect(m_editOidsAction, &QAction::triggered, this, &MainWindow::onEditExistingOids);
    connect(m_editTrapsAction, &QAction::triggered, this, &MainWindow::onEditExistingTraps);
    connect(m_checkUpdatesAction, &QAction::triggered, this, &MainWindow::onUpdateAppButton);
    connect(m_submitMibAction, &QAction::triggered, this, &MainWindow::onSendEmail);
    connect(m_startServiceAction, &QAction::triggered, this, &MainWindow::onStartService);
    connect(m_stopServiceAction, &QAction::triggered, this, [this] { onStopService(false); });
    connect(m_restartServiceAction, &QAction::triggered, this, &MainWindow::onRestartService);
    connect(m_settingsAction, &QAction::triggered, this, &MainWindow::onOpenSettings);
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
    // Every device-information result is heard, also those the device list editor asks for.
    connect(SnmpReader::instance(), &SnmpReader::HostResolved, this, &MainWindow::onHostResolved);
}

void MainWindow::setServiceActions()
{
    // Until the service controller is wired in, the monitoring service counts as not
    // installed: nothing can be started or stopped.
    m_startServiceAction->setEnabled(false);
    m_stopServiceAction->setEnabled(false);
    m_restartServiceAction->setEnabled(false);
}

void MainWindow::setStatusText(const QString& text)
{
    m_statusLabel->setText(text);
    m_statusLabelAction->setVisible(!text.isEmpty());
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_firstShow)
        return;
    m_firstShow = false;
    firstShow();
}

void MainWindow::firstShow()
{
    const int height = m_logo->height();
    const QPixmap logo =
        QPixmap(QStringLiteral(":/images/logo.png")).scaledToHeight(logoPixmapHeight(height), Qt::SmoothTransformation);
    m_logo->setPixmap(logo);
    m_logo->setContentsMargins(0, 0, logoRightMargin(height), 0);

    restoreSettings();
    QTimer::singleShot(10, this, &MainWindow::onPostponedInitialization);
}

void MainWindow::restoreSettings()
{
    AppSettings& settings = AppSettings::instance();
    const QByteArray geometry = settings.mainWindowGeometry();
    if (geometry.isEmpty() || !restoreGeometry(geometry))
        setGeometry(centeredFractionRect(this, 0.9));
    m_browser->restoreMainSplitterState(settings.mainWindowMainSplitterState());
    m_browser->restoreRightSplitterState(settings.mainWindowRightSplitterState());

    m_searchParameters.text = settings.mainWindowSearchText();
    m_searchParameters.history = settings.mainWindowSearchHistory();
    m_searchParameters.matchCase = settings.mainWindowSearchMatchCase();
    m_searchParameters.searchInDescriptions = settings.mainWindowSearchInDescriptions();
    m_searchParameters.searchFrom = settings.mainWindowSearchFrom();
    m_searchParameters.searchFor = settings.mainWindowSearchFor();

    m_viewFullOid->setChecked(settings.mainWindowViewFullOid());

    loadDevices();
    fillDeviceBox(settings.mainWindowDeviceIp());
    onCurrentDeviceChanged(m_deviceBox->currentIndex());
    for (const VelmoraFile::Entry& device : qAsConst(m_devices))
        SnmpReader::instance()->requestHostInfo(device.ipAddress, device.credentials, DeviceInfoFlags, m_requestId);
}

void MainWindow::saveSettings()
{
    AppSettings& settings = AppSettings::instance();
    settings.setMainWindowGeometry(saveGeometry());
    settings.setMainWindowMainSplitterState(m_browser->saveMainSplitterState());
    settings.setMainWindowRightSplitterState(m_browser->saveRightSplitterState());
    // A tree that never loaded has nothing to say about the saved expansion.
    if (m_treeModel.rootOid())
        settings.setMainWindowTreeExpansion(m_browser->saveExpansion());
    if (const OidPtr current = m_browser->currentOid())
        settings.setMainWindowCurrentOid(current->numericPath());

    settings.setMainWindowSearchText(m_searchParameters.text);
    settings.setMainWindowSearchHistory(m_searchParameters.history);
    settings.setMainWindowSearchMatchCase(m_searchParameters.matchCase);
    settings.setMainWindowSearchInDescriptions(m_searchParameters.searchInDescriptions);
    settings.setMainWindowSearchFrom(m_searchParameters.searchFrom);
    settings.setMainWindowSearchFor(m_searchParameters.searchFor);

    settings.setMainWindowDeviceIp(m_deviceBox->currentData().toString());
}

void MainWindow::onPostponedInitialization()
{
    openDatabase();

    const QString expansion = AppSettings::instance().mainWindowTreeExpansion();
    if (expansion.isEmpty())
        m_browser->onCollapseTree();
    else
        m_browser->restoreExpansion(expansion);

    const OidPtr current = m_treeModel.findByPath(AppSettings::instance().mainWindowCurrentOid());
    if (current)
        m_browser->selectIndex(m_treeModel.indexFromOid(current));
    m_initialized = true;

    if (m_devices.isEmpty()) {
        QTimer::singleShot(100, this, [this] {
            UserPrompts::instance().information(
                this, AppInfo::title(),
                tr("No devices configured.\nAdd devices to the configuration to perform SNMP requests."));
            onEditDevices();
        });
    }
}

void MainWindow::installDefaultDatabase()
{
    // A new user starts with the database installed beside the program. QFile::copy
    // writes a temporary file first, so an interrupted copy leaves no damaged MIB.db.
    const QString target = m_dataFolder + QLatin1String("MIB.db");
    const QString installed = m_applicationFolder + QLatin1String("MIB.db");
    if (!QFile::exists(target) && QFile::exists(installed))
        QFile::copy(installed, target);
}

void MainWindow::openDatabase()
{
    installDefaultDatabase();

    const QString path = m_dataFolder + QLatin1String("MIB.db");
    m_database.setFileName(path);
    const auto warn = [this](const QString& text) {
        UserPrompts::instance().warning(this, QString(), text, QMessageBox::Ok, QMessageBox::Ok);
    };
    switch (m_database.check()) {
    case MibDatabase::Missing:
        warn(tr("OID Database not found.\nThe database will be downloaded from the server."));
        return;
    case MibDatabase::Damaged:
        warn(tr("Database file is damaged.\nThe database will be downloaded from the server."));
        return;
    case MibDatabase::Unsupported:
        warn(tr("Database file is not supported by this version of application.\n"
                "The database will be downloaded from the server."));
        return;
    default:
        break;
    }
    if (m_database.open(false) == MibDatabase::Usable) {
        m_treeModel.reload();
    } else {
        UserPrompts::instance().warning(
            this, tr("Failed to open database"),
            tr("Failed to open database file %1\nDownload latest database file from server.")
                .arg(QDir::toNativeSeparators(path)));
    }
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

QString MainWindow::deviceListPath() const
{
    return m_dataFolder + QLatin1String("Velmora.cfg");
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

QString MainWindow::deviceListStamp() const
{
    // Size and modification time tell a changed file without reading it.
    const QFileInfo info(deviceListPath());
    return info.exists() ? QString::number(info.size()) + QLatin1Char('@') +
                               QString::number(info.lastModified().toMSecsSinceEpoch())
                         : QString();
}

void MainWindow::loadDevices()
{
    m_deviceListStamp = deviceListStamp();
    m_devices = VelmoraFile(deviceListPath()).entries();
    const QMap<QString, QString> names = AppSettings::instance().deviceNames();
    m_deviceInfo.clear();
    for (const VelmoraFile::Entry& device : qAsConst(m_devices)) {
        SnmpReader::HostInfoResult info;
        info.ip = device.ipAddress;
        info.sysName = names.value(device.ipAddress);
        m_deviceInfo.append(info);
    }
}

void MainWindow::fillDeviceBox(const QString& addressToSelect)
{
    // The caller runs onCurrentDeviceChanged once the box is complete.
    const QSignalBlocker blocker(m_deviceBox);
    m_deviceBox->clear();
    int selected = -1;
    for (int i = 0; i < m_devices.size(); ++i) {
        const QString& address = m_devices.at(i).ipAddress;
        const SnmpReader::HostInfoResult& info = m_deviceInfo.at(i);
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
    const int index = m_deviceBox->currentIndex();
    if (index < 0 || index >= m_devices.size())
        return VelmoraFile::Entry();
    return m_devices.at(index);
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

void MainWindow::onHostResolved(const SnmpReader::HostInfoResult& result, int requestId)
{
    // Results that others asked for count only when the device answered.
    if (requestId != m_requestId && !result.ok)
        return;
    for (int i = 0; i < m_devices.size(); ++i) {
        if (m_devices.at(i).ipAddress != result.ip)
            continue;
        SnmpReader::HostInfoResult& info = m_deviceInfo[i];
        info.ip = result.ip;
        info.ok = result.ok;
        info.sysName = result.sysName;
        info.sysDescr = result.sysDescr;
        info.interfaces = result.interfaces;
        info.addresses = result.addresses;
        info.neighbours = result.neighbours;
        m_deviceBox->setItemText(i, deviceLabel(result.ip, result.sysName));
        m_deviceBox->setItemData(i, deviceToolTip(result.sysDescr), Qt::ToolTipRole);
    }
    if (m_deviceBox->currentIndex() != -1 && m_deviceBox->currentData().toString() == result.ip)
        updateWindowTitle(deviceLabel(result.ip, result.sysName));
}

void MainWindow::reloadChangedDeviceList()
{
    // Someone changed the file since it was read (a text editor, another copy of the
    // program): the editor starts from what the file holds now, so that a save keeps it.
    // Devices already known keep what their queries found; new ones are asked.
    QHash<QString, SnmpReader::HostInfoResult> known;
    for (const SnmpReader::HostInfoResult& info : qAsConst(m_deviceInfo))
        known.insert(info.ip, info);
    const VelmoraFile::Entry previous = currentDevice();
    loadDevices();
    for (int i = 0; i < m_devices.size(); ++i) {
        const VelmoraFile::Entry& device = m_devices.at(i);
        if (known.contains(device.ipAddress))
            m_deviceInfo[i] = known.value(device.ipAddress);
        else
            SnmpReader::instance()->requestHostInfo(device.ipAddress, device.credentials, DeviceInfoFlags, m_requestId);
    }
    refillDeviceBox(previous);
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
    if (!m_deviceListUnsaved && deviceListStamp() != m_deviceListStamp)
        reloadChangedDeviceList();

    DevicesDialog dialog(this);
    AppSettings& settings = AppSettings::instance();
    settings.restoreScaledGeometry(&dialog, dialog.objectName());
    dialog.setData(m_devices, m_deviceInfo);
    dialog.exec();
    settings.saveScaledGeometry(&dialog, dialog.objectName());

    if (dialog.isModified()) {
        const VelmoraFile::Entry previous = currentDevice();
        m_devices = dialog.entries();
        m_deviceInfo = dialog.deviceInfo();
        refillDeviceBox(previous);
    } else if (!m_deviceListUnsaved) {
        return;
    }
    saveDevices();
}

void MainWindow::saveDevices()
{
    const QString path = deviceListPath();
    m_deviceListUnsaved = !VelmoraFile(path).save(m_devices);
    if (!m_deviceListUnsaved)
        m_deviceListStamp = deviceListStamp();
    if (m_deviceListUnsaved) {
        // The edited list stays in memory; nothing typed is lost while the program runs.
        UserPrompts::instance().warning(
            this, tr("Device List Not Saved"),
            tr("The device list could not be saved to %1.\nYour changes are kept while %2 runs and are saved "
               "again when you next close the device list.")
                .arg(QDir::toNativeSeparators(path), AppInfo::title()));
    }
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
    }
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
    AppSettings& settings = AppSettings::instance();
    dialog.setStoredSize(settings.oidIndexWindowSize());
    const bool accepted = dialog.exec() == QDialog::Accepted;
    settings.setOidIndexWindowSize(dialog.size());
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
    AppSettings::instance().setMainWindowViewFullOid(state == Qt::Checked);
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
                .arg(QDate::currentDate().year())
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
    if (m_deviceListUnsaved && !VelmoraFile(deviceListPath()).save(m_devices) &&
        UserPrompts::instance().question(this, tr("Device List Not Saved"),
                                         tr("The device list could not be saved to %1.\nClose anyway and lose "
                                            "the changes made to it?")
                                             .arg(QDir::toNativeSeparators(deviceListPath())),
                                         QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    saveSettings();
    event->accept();
}

void MainWindow::onAddOidFromValue(const QString&, Oid::Type, const QString&)
{
}

// The features behind these actions arrive with the monitoring configuration, the service controller, updates and MIB
// submission.
void MainWindow::onAddOidFromTree()
{
}
void MainWindow::onAddNewTrap()
{
}
void MainWindow::onEditExistingOids()
{
}
void MainWindow::onEditExistingTraps()
{
}
void MainWindow::onUpdateAppButton()
{
}
void MainWindow::onSendEmail()
{
}
void MainWindow::onOpenSettings()
{
}
void MainWindow::onStartService()
{
}
void MainWindow::onStopService(bool)
{
}
void MainWindow::onRestartService()
{
}
