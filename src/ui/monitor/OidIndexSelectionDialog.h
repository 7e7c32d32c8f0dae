#pragma once

#include "mib/Oid.h"
#include "snmp/SnmpOidUtils.h"

#include <QDialog>
#include <QSize>

class OidIndexSelectionWidget;
class QPushButton;
class TreeModel;

// "Select OID index": the row chooser of OidIndexSelectionWidget for one MIB table column,
// with "Get values" (list again) and "Monitor OID" (accept; enabled exactly when an index is
// selected). On first show it takes its size and, 1 ms later, lists the rows by itself.
//
// The dialog keeps no settings. The opener hands in the size stored under
// oid_index_window_size with setStoredSize() before showing it, and stores size() again once
// finished(int) has been emitted (every way of closing emits it):
//
//     auto* dialog = new OidIndexSelectionDialog(node, device, this);
//     dialog->setTreeModel(model);
//     dialog->setStoredSize(settings.oidIndexWindowSize());
//     connect(dialog, &QDialog::finished, this, [=](int result) {
//         settings.setOidIndexWindowSize(dialog->size());
//         if (result == QDialog::Accepted) monitor(dialog->selectedOid());
//     });
//
// Child object names: "indexSelection" (the widget), "getValuesButton", "monitorButton".
class OidIndexSelectionDialog final : public QDialog
{
    Q_OBJECT

public:
    OidIndexSelectionDialog(const OidPtr& node, const SnmpOidUtils::Device& device, QWidget* parent = nullptr);

    // The MIB database for the column's title (not owned; may be null).
    void setTreeModel(const TreeModel* model);
    // The size to take on first show; an invalid or non-positive one gives a square whose side
    // is the height of the half-screen rectangle (centeredFractionRect(this, 0.5)).
    void setStoredSize(const QSize& size);

    OidIndexSelectionWidget* widget() const { return m_widget; }
    QString selectedOid() const;
    OidPtr node() const { return m_node; }

    QPushButton* getValuesButton() const { return m_getValuesButton; }
    QPushButton* monitorButton() const { return m_monitorButton; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void updateMonitorButton();

    OidPtr m_node;
    SnmpOidUtils::Device m_device;
    QSize m_storedSize;
    bool m_firstShow = true;
    OidIndexSelectionWidget* m_widget;
    QPushButton* m_getValuesButton;
    QPushButton* m_monitorButton;
};
