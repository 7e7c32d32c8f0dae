#pragma once

#include "app/AppContext.h"
#include "app/QueryController.h"
#include "app/ServiceController.h"
#include "config/DeviceList.h"
#include "config/MonitoredOids.h"
#include "config/VelmoraFile.h"
#include "mib/MibDatabase.h"
#include "mib/Oid.h"
#include "mib/TreeModel.h"
#include "platform/Folders.h"
#include "snmp/SnmpOidUtils.h"
#include "snmp/SnmpReader.h"
#include "ui/browser/FindDialog.h"
#include "ui/browser/OidValueViewer.h"
#include "ui/service/SplashScreen.h"

#include <QMainWindow>
#include <QPointer>

class ClickableLabel;
class MainToolBar;
class MibImport;
class OidBrowser;
class QAction;
class QCheckBox;
class QComboBox;
class QMenu;
class QNetworkAccessManager;
class QProgressDialog;
class ServerUpdate;

// The program's one window: the MIB browser with its tool bar and menus. It owns the MIB
// database connection and the tree model built on it, restores its state from the context's
// settings when first shown and saves it there when closed.
class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(const AppContext& context, QWidget* parent = nullptr);
    ~MainWindow() override;

    QString dataFolder() const { return m_context.folders.dataFolder(); }
    OidBrowser* browser() const { return m_browser; }
    TreeModel& treeModel() { return m_treeModel; }
    const FindDialog::Parameters& searchParameters() const { return m_searchParameters; }
    MainToolBar* toolBar() const { return m_toolBar; }
    ClickableLabel* logo() const { return m_logo; }

    // The device list of Velmora.cfg; row i of the device box is device i.
    const DeviceList& deviceList() const { return *m_deviceList; }
    const QList<VelmoraFile::Entry>& devices() const { return m_deviceList->entries(); }
    const QList<SnmpReader::HostInfoResult>& deviceInfo() const { return m_deviceList->deviceInfo(); }
    QComboBox* deviceBox() const { return m_deviceBox; }
    // The device of the box's current row; an empty entry when there is none.
    VelmoraFile::Entry currentDevice() const;
    QAction* getAction() const { return m_getAction; }
    QAction* getNextAction() const { return m_getNextAction; }
    QAction* getBulkAction() const { return m_getBulkAction; }
    QAction* monitorAction() const { return m_monitorAction; }
    QAction* addOidAction() const { return m_addOidAction; }
    QAction* addTrapAction() const { return m_addTrapAction; }
    // The service's trap alert rules, in the application folder.
    QString trapAlertPath() const;
    QAction* editOidsAction() const { return m_editOidsAction; }
    QAction* startServiceAction() const { return m_startServiceAction; }
    QAction* stopServiceAction() const { return m_stopServiceAction; }
    QAction* restartServiceAction() const { return m_restartServiceAction; }

    // The monitored OIDs of OIDEntry.cfg with their pending changes, and the service that
    // reads them when it starts.
    MonitoredOids& monitoredOids() { return m_monitoredOids; }
    ServiceController& serviceController() { return *m_service; }
    // The popup shown while the service starts or stops; null otherwise.
    SplashScreen* busyPopup() const { return m_busyPopup; }
    // The text beside the tool bar items that says changes wait for a restart.
    QString statusText() const;
    QAction* stopQueryAction() const { return m_stopQueryAction; }

    // A query of this window is running and its results are wanted.
    bool isQueryRunning() const { return m_query.isRunning(); }
    // Result rows shown for the running (or last) query.
    qint32 resultRowCount() const { return m_query.rowCount(); }

    // The entries the window adds to the tree's context menu for oid.
    void buildTreeContextMenu(QMenu* menu, const OidPtr& oid);

    // Counter-like types, which the chart plots as the increase per poll.
    static bool isCounterType(int type);

    // The device box text: the address, and " - " with the first 30 characters of the name.
    static QString deviceLabel(const QString& address, const QString& name);

    // True once the first show's postponed work (database, tree, expansion) has run.
    bool isInitialized() const { return m_initialized; }

    // Updates from the update server: the check asks for both version files; an offer the
    // user accepts is downloaded and swapped in (the database at once, the program at the
    // next start).
    bool isAppUpdateAvailable() const { return m_appUpdateAvailable; }
    bool isDbUpdateAvailable() const { return m_dbUpdateAvailable; }
    void onUpdateAppButton();
    void onAppVersionReceived(int major, int minor, int maintenance, int fileSize, const QByteArray& sha256);
    void onDbVersionReceived(int major, int minor, int fileSize, const QByteArray& sha256);
    void downloadProgramUpdate(int size, const QByteArray& sha256);
    void downloadDatabaseUpdate(int size, const QByteArray& sha256);

public slots:
    void onPostponedInitialization();
    void onFindOid();
    void onFindNext(const FindDialog::Parameters& parameters);
    void onFindDialogClosed(const FindDialog::Parameters& parameters);
    void onMonitorOidFromTree();
    void onStopGet();
    void onGetValue();
    void onGetNextValue();
    void onGetBulkValue();
    void onLeafOidActivated(const OidPtr& oid);
    void onJumpToOid(const QString& oidPath);
    void onMonitorOidFromValue(const QString& path, Oid::Type type, const QString& value);
    void onAddOidFromValue(const QString& path, Oid::Type type, const QString& value);
    void onCurrentOidChanged(const OidPtr& oid);
    void onViewFullStateChanged(int state);
    void onAboutBox();
    void onEditDevices();
    void onCurrentDeviceChanged(int index);
    void onDeviceInfoChanged(int row);
    void onLogoClicked();
    void onAddOidFromTree();
    void onEditExistingOids();
    void onOpenSettings();
    void onAddNewTrap();
    void onEditExistingTraps();
    void onSubmitMib();
    void onImportMibFiles();
    void onImportMibFolder();
    void onRemoveImportedMibs();
    void importMibModules(const QStringList& paths);
    void onMibImportFinished(bool ok);
    void applyMibImport();
    void onStartService();
    void onStopService(bool needRestart = false);
    void onRestartService();
    void onServiceRestartFailed();
    void updateServiceActions();
    // After a change of the monitored OIDs and at close: saves them now when the service does
    // not run, else asks whether to restart it for them. False when the caller must wait for
    // the restart (the changes are saved once the service has stopped).
    bool confirmPendingChanges();
    // Writes the monitored OIDs when they changed; a failure is reported and keeps the changes.
    bool savePendingOidEntries();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createActions();
    void createToolBar();
    void createMenus();
    void makeConnections();
    void setServiceActions();
    void restoreSettings();
    void saveSettings();
    void openDatabase();
    // What a run of the MIB compiler is for.
    enum class ImportKind
    {
        Import,  // files the user chose
        Remove,  // imported modules the user chose
        Reapply, // the imported modules, after a database update replaced the database
    };
    void runMibImport(ImportKind kind, const QStringList& arguments);
    void fillDeviceBox(const QString& addressToSelect);
    void refillDeviceBox(const VelmoraFile::Entry& previous);
    void updateDeviceActions();
    void updateWindowTitle(const QString& text);
    void askQuery(QueryController::RequestKind kind);
    void setStopControls(bool enabled);
    void openChart(const QString& path, Oid::Type type);
    void addOid(const QString& oid, bool isTableColumn, int type);
    ServiceController::Confirm confirmChanges();
    void showBusyPopup(const QString& text);
    void closeBusyPopup();

    const AppContext m_context;
    MibDatabase m_database;
    TreeModel m_treeModel;
    QueryController m_query{m_treeModel};
    FindDialog::Parameters m_searchParameters;
    QPointer<FindDialog> m_findDialog;
    bool m_firstShow = true;
    bool m_initialized = false;
    QNetworkAccessManager* m_network = nullptr;
    ServerUpdate* m_serverUpdate = nullptr;
    MibImport* m_import = nullptr; // the import under way or waiting for the user
    QProgressDialog* m_importProgress = nullptr;
    ImportKind m_importKind = ImportKind::Import;
    QString m_lastImportFolder;
    bool m_appUpdateAvailable = false;
    bool m_dbUpdateAvailable = false;

    DeviceList* m_deviceList;
    MonitoredOids m_monitoredOids;
    ServiceController* m_service;
    QPointer<SplashScreen> m_busyPopup;
    // A close asked for while the service was starting or stopping, tried again once it is done.
    bool m_closeWhenIdle = false;

    OidBrowser* m_browser = nullptr;
    MainToolBar* m_toolBar = nullptr;

    QAction* m_addOidAction = nullptr;
    QAction* m_addTrapAction = nullptr;
    QAction* m_editOidsAction = nullptr;
    QAction* m_editTrapsAction = nullptr;
    QAction* m_checkUpdatesAction = nullptr;
    QAction* m_submitMibAction = nullptr;
    QAction* m_importMibsAction = nullptr;
    QAction* m_importMibFolderAction = nullptr;
    QAction* m_removeMibsAction = nullptr;
    QAction* m_startServiceAction = nullptr;
    QAction* m_stopServiceAction = nullptr;
    QAction* m_restartServiceAction = nullptr;
    QAction* m_settingsAction = nullptr;
    QAction* m_editDevicesAction = nullptr;
    QAction* m_findAction = nullptr;
    QAction* m_collapseAction = nullptr;
    QAction* m_aboutAction = nullptr;
    // Created without parent, as the tree's context menu borrows them; deleted with us.
    QAction* m_stopQueryAction = nullptr;
    QAction* m_getAction = nullptr;
    QAction* m_getNextAction = nullptr;
    QAction* m_getBulkAction = nullptr;
    QAction* m_monitorAction = nullptr;

    // Widgets of the tool bar.
    QComboBox* m_deviceBox = nullptr;
    QCheckBox* m_viewFullOid = nullptr;
    ClickableLabel* m_logo = nullptr;
};
