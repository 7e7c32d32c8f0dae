#pragma once

#include "config/TrapAlertFile.h"
#include "mib/Oid.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class TreeModel;

// One trap alert rule: the trap's source, OID and value, each of which may be any, the
// e-mail address the alert goes to and its description. "Save" accepts only a rule that
// buildEntry finds no fault with; the fault is shown otherwise.
//
// Child object names: "ipEdit", "oidEdit", "valueEdit", "emailEdit", "descriptionEdit",
// "anyIpBox", "anyOidBox", "anyValueBox", "nameLabel", "saveButton", "cancelButton".
class TrapEditDialog final : public QDialog
{
    Q_OBJECT

public:
    // treeModel names the OID typed (not owned; may be null).
    explicit TrapEditDialog(const TreeModel* treeModel, QWidget* parent = nullptr);

    // A new rule for the notification node and the device at ip, run modally.
    int add(const QString& ip, const OidPtr& node);
    void setNew(const QString& ip, const OidPtr& node);
    // An existing rule, run modally.
    int edit(const TrapAlertFile::Entry& entry);
    void setEntry(const TrapAlertFile::Entry& entry);

    // The rule as the fields give it; error gets the first reason it cannot be saved, empty
    // when it can.
    TrapAlertFile::Entry buildEntry(QString* error) const;

private:
    void onOidTextChanged(const QString& text);
    void onSave();

    const TreeModel* m_treeModel;
    QLineEdit* m_ip;
    QLineEdit* m_oid;
    QLineEdit* m_value;
    QLineEdit* m_email;
    QLineEdit* m_description;
    QCheckBox* m_anyIp;
    QCheckBox* m_anyOid;
    QCheckBox* m_anyValue;
    QLabel* m_name;
};
