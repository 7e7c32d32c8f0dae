#pragma once

#include "config/OidEntryFile.h"
#include "config/VelmoraFile.h"
#include "snmp/SnmpReader.h"

#include <QDialog>

class AppSettings;
class OidIndexSelectionWidget;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;
class TreeModel;

// Adds one OID of one device to monitoring, or edits a monitored OID: the table row (through
// the index selection), the interface the graph belongs to, the graph's texts, the transform
// formula and the alert. Save stays off, reading "Save*" with the reason as its tool tip, while
// the entry could not be monitored or would not read back from the file. When the device
// information it is given lists no interfaces, it asks the device itself in the background.
//
// Child object names: "indexSelection", "getValueButton", "useInterfaceBox", "interfaceList",
// "descriptionEdit", "yAxisEdit", "legendEdit", "transformEdit", "transformProblem",
// "transformButton", "thresholdEdit", "emailEdit", "saveProblem", "saveButton", "cancelButton".
class OidSettingsDialog final : public QDialog
{
    Q_OBJECT

public:
    // treeModel and settings are not owned; either may be null.
    OidSettingsDialog(const VelmoraFile::Entry& device, const SnmpReader::HostInfoResult& deviceInfo,
                      const TreeModel* treeModel, AppSettings* settings, QWidget* parent = nullptr);
    ~OidSettingsDialog() override;

    // Add mode: oid is a table column (its rows are listed to choose from) or an instance OID;
    // typeCode is its Oid::Type; label, when given, describes the graph.
    void setNewOid(const QString& oid, bool isTableColumn, int typeCode, const QString& label = QString());
    // Edit mode.
    void setEntry(const OidEntry& entry);
    // Either, then exec().
    int addOid(const QString& oid, bool isTableColumn, int typeCode, const QString& label = QString());
    int editEntry(const OidEntry& entry);

    // The entry the form stands for (the result after Save).
    OidEntry entry() const;
    bool isEditMode() const { return m_editMode; }
    QString typeWord() const { return m_typeWord; }
    // Why Save is off, with a final line break; empty when it is on.
    QString saveProblem() const;
    SnmpReader::HostInfoResult deviceInfo() const { return m_deviceInfo; }

    OidIndexSelectionWidget* indexWidget() const { return m_index; }
    QListWidget* interfaceList() const { return m_interfaces; }
    QCheckBox* useInterfaceBox() const { return m_useInterface; }
    QPushButton* saveButton() const { return m_save; }

public slots:
    void onFinished();
    void onSaveClicked();
    void onUseInterfaceToggled(bool on);
    void onTransformChanged();
    void onTransformEditClicked();
    void onHostResolved(const SnmpReader::HostInfoResult& result, int requestId);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildForm();
    void updateTitle();
    void fillInterfaces(int wanted);
    int selectedInterface() const;
    void updateSaveButton();

    VelmoraFile::Entry m_device;
    SnmpReader::HostInfoResult m_deviceInfo;
    const TreeModel* m_treeModel;
    AppSettings* m_settings;
    const int m_requestId;
    bool m_editMode = false;
    bool m_tableColumn = false;
    bool m_firstShow = true;
    QString m_typeWord;
    int m_interfaceIndex = -1;

    QLabel* m_ip = nullptr;
    QCheckBox* m_useInterface = nullptr;
    QListWidget* m_interfaces = nullptr;
    OidIndexSelectionWidget* m_index = nullptr;
    QPushButton* m_getValue = nullptr;
    QLineEdit* m_description = nullptr;
    QLineEdit* m_yAxis = nullptr;
    QLineEdit* m_legend = nullptr;
    QLineEdit* m_transform = nullptr;
    QLabel* m_transformProblem = nullptr;
    QToolButton* m_transformButton = nullptr;
    QLineEdit* m_threshold = nullptr;
    QLineEdit* m_email = nullptr;
    QLabel* m_saveProblem = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_cancel = nullptr;
};
