#pragma once

#include "mib/Oid.h"
#include "snmp/SnmpOidUtils.h"

#include <QDialog>

class AppSettings;
class OidIndexSelectionWidget;
class QPushButton;
class TreeModel;

// "Select OID index": the row chooser of OidIndexSelectionWidget for one MIB table column,
// with "Get values" (list again) and "Monitor OID" (accept; enabled exactly when an index is
// selected). On first show it takes its size and, 1 ms later, lists the rows by itself.
//
// Given the settings, it takes the size stored under oid_index_window_size on first show and
// stores its size there again whenever it closes, however it is closed.
//
// Child object names: "indexSelection" (the widget), "getValuesButton", "monitorButton".
class OidIndexSelectionDialog final : public QDialog
{
    Q_OBJECT

public:
    OidIndexSelectionDialog(const OidPtr& node, const SnmpOidUtils::Device& device, QWidget* parent = nullptr);

    // The MIB database for the column's title (not owned; may be null).
    void setTreeModel(const TreeModel* model);
    // Where the dialog keeps its size (not owned; may be null: nothing kept). Without a stored
    // size (or a non-positive one) it shows as a square whose side is the height of the
    // half-screen rectangle (centeredFractionRect(this, 0.5)).
    void setSettings(AppSettings* settings);

    OidIndexSelectionWidget* widget() const { return m_widget; }
    QString selectedOid() const;
    OidPtr node() const { return m_node; }

    QPushButton* getValuesButton() const { return m_getValuesButton; }
    QPushButton* monitorButton() const { return m_monitorButton; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void updateMonitorButton();

    OidPtr m_node;
    SnmpOidUtils::Device m_device;
    AppSettings* m_settings = nullptr;
    bool m_firstShow = true;
    OidIndexSelectionWidget* m_widget;
    QPushButton* m_getValuesButton;
    QPushButton* m_monitorButton;
};
