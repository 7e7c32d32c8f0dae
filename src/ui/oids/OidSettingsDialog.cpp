#include "ui/oids/OidSettingsDialog.h"

#include "mib/Oid.h"
#include "mib/TreeModel.h"
#include "platform/AppSettings.h"
#include "ui/monitor/OidIndexSelectionWidget.h"
#include "ui/oids/TransformTestDialog.h"
#include "ui/widgets/DialogGeometry.h"
#include "ui/widgets/ScreenGeometry.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The key of the dialog's geometry in the settings (oid_settings_window_geometry).
const QString kGeometryName = QStringLiteral("oid_settings_window");

QLineEdit* lineEdit(const char* name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QLabel* richLabel(const QString& html, QWidget* parent)
{
    auto* label = new QLabel(html, parent);
    label->setTextFormat(Qt::RichText);
    return label;
}

} // namespace

OidSettingsDialog::OidSettingsDialog(const VelmoraFile::Entry& device, const SnmpReader::HostInfoResult& deviceInfo,
                                     const TreeModel* treeModel, AppSettings* settings, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMaximizeButtonHint)
    , m_device(device)
    , m_deviceInfo(deviceInfo)
    , m_treeModel(treeModel)
    , m_settings(settings)
    , m_requestId(SnmpReader::newRequestId())
{
    setSizeGripEnabled(true);
    if (m_deviceInfo.ip.isEmpty())
        m_deviceInfo.ip = device.ipAddress;
    buildForm();
    m_index->setDevice({device.ipAddress, device.credentials});
    m_index->setTreeModel(treeModel);
    fillInterfaces(-1);
    onUseInterfaceToggled(false);
    onTransformChanged();
    updateTitle();

    connect(this, &QDialog::finished, this, &OidSettingsDialog::onFinished);
    connect(SnmpReader::instance(), &SnmpReader::HostResolved, this, &OidSettingsDialog::onHostResolved);
    if (!m_deviceInfo.ok || m_deviceInfo.interfaces.isEmpty())
        SnmpReader::instance()->requestHostInfo(device.ipAddress, device.credentials,
                                                SnmpReader::SystemInfo | SnmpReader::Interfaces, m_requestId);
}

OidSettingsDialog::~OidSettingsDialog() = default;

void OidSettingsDialog::buildForm()
{
    auto* deviceGroup = new QGroupBox(tr("Device"), this);
    m_ip = new QLabel(m_device.ipAddress, deviceGroup);
    m_ip->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_useInterface = new QCheckBox(tr("Use specific interface"), deviceGroup);
    m_useInterface->setObjectName(QStringLiteral("useInterfaceBox"));
    m_interfaces = new QListWidget(deviceGroup);
    m_interfaces->setObjectName(QStringLiteral("interfaceList"));
    m_interfaces->setMaximumHeight(m_interfaces->fontMetrics().height() * 6);
    m_index = new OidIndexSelectionWidget(deviceGroup);
    m_index->setObjectName(QStringLiteral("indexSelection"));
    m_getValue = new QPushButton(tr("Get Value"), deviceGroup);
    m_getValue->setObjectName(QStringLiteral("getValueButton"));
    m_getValue->setToolTip(tr("Get OID value.\nEntries of table end with .1, .2, etc."));
    m_getValue->setAutoDefault(false);
    auto* deviceForm = new QFormLayout;
    deviceForm->addRow(tr("IP address"), m_ip);
    deviceForm->addRow(m_useInterface, m_interfaces);
    auto* getRow = new QHBoxLayout;
    getRow->addStretch();
    getRow->addWidget(m_getValue);
    auto* deviceLayout = new QVBoxLayout(deviceGroup);
    deviceLayout->addLayout(deviceForm);
    deviceLayout->addWidget(m_index, 1);
    deviceLayout->addLayout(getRow);

    auto* graphGroup = new QGroupBox(tr("Graph"), this);
    m_description = lineEdit("descriptionEdit", graphGroup);
    m_yAxis = lineEdit("yAxisEdit", graphGroup);
    m_legend = lineEdit("legendEdit", graphGroup);
    m_transform = lineEdit("transformEdit", graphGroup);
    m_transformButton = new QToolButton(graphGroup);
    m_transformButton->setObjectName(QStringLiteral("transformButton"));
    m_transformButton->setIcon(QIcon(QStringLiteral(":/images/edit-40.png")));
    m_transformButton->setToolTip(tr("Edit transform formula"));
    m_transformProblem = new QLabel(graphGroup);
    m_transformProblem->setObjectName(QStringLiteral("transformProblem"));
    m_transformProblem->setStyleSheet(QStringLiteral("color: red;"));
    m_transformProblem->setWordWrap(true);
    auto* transformRow = new QHBoxLayout;
    transformRow->addWidget(m_transform, 1);
    transformRow->addWidget(m_transformButton);
    auto* graphForm = new QFormLayout;
    graphForm->addRow(tr("Description for graph"), m_description);
    graphForm->addRow(tr("Y-Axis label"), m_yAxis);
    graphForm->addRow(tr("Legend label"), m_legend);
    graphForm->addRow(tr("Transform"), transformRow);
    graphForm->addRow(QString(), m_transformProblem);
    auto* graphLayout = new QHBoxLayout(graphGroup);
    graphLayout->addLayout(graphForm, 1);
    graphLayout->addWidget(richLabel(tr("<u>Examples</u><br>*5 = Multiply result by 5<br>F = Convert value to "
                                        "Fahrenheit<br>C = Convert value to Celsius"),
                                     graphGroup),
                           0, Qt::AlignBottom);

    auto* alertGroup = new QGroupBox(tr("Alert"), this);
    m_threshold = lineEdit("thresholdEdit", alertGroup);
    m_email = lineEdit("emailEdit", alertGroup);
    auto* alertForm = new QFormLayout;
    alertForm->addRow(tr("Treshold value"), m_threshold);
    alertForm->addRow(tr("Notification e-mail"), m_email);
    auto* alertLayout = new QHBoxLayout(alertGroup);
    alertLayout->addLayout(alertForm, 1);
    alertLayout->addWidget(richLabel(tr("<u>Examples</u><br><nobr>90 &nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;Trigger if "
                                        "value exceeds 90</nobr><br><nobr>40,90 &nbsp;Trigger if value is below 40 or "
                                        "exceeds 90</nobr>"),
                                     alertGroup));

    m_saveProblem = new QLabel(this);
    m_saveProblem->setObjectName(QStringLiteral("saveProblem"));
    m_saveProblem->setStyleSheet(QStringLiteral("color: red;"));
    m_saveProblem->setWordWrap(true);
    m_save = new QPushButton(tr("Save"), this);
    m_save->setObjectName(QStringLiteral("saveButton"));
    m_save->setDefault(true);
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_saveProblem, 1);
    buttons->addWidget(m_save);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(deviceGroup, 1);
    layout->addWidget(graphGroup);
    layout->addWidget(alertGroup);
    layout->addLayout(buttons);

    QWidget* order[] = {m_useInterface, m_interfaces,      m_index,     m_getValue, m_description, m_yAxis, m_legend,
                        m_transform,    m_transformButton, m_threshold, m_email,    m_save,        m_cancel};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(m_getValue, &QPushButton::clicked, m_index, &OidIndexSelectionWidget::onGetIndices);
    connect(m_index, &OidIndexSelectionWidget::indexChanged, this, &OidSettingsDialog::updateSaveButton);
    connect(m_useInterface, &QCheckBox::toggled, this, &OidSettingsDialog::onUseInterfaceToggled);
    connect(m_interfaces, &QListWidget::itemSelectionChanged, this, &OidSettingsDialog::updateSaveButton);
    connect(m_transform, &QLineEdit::textChanged, this, &OidSettingsDialog::onTransformChanged);
    connect(m_transformButton, &QToolButton::clicked, this, &OidSettingsDialog::onTransformEditClicked);
    for (QLineEdit* edit : {m_description, m_yAxis, m_legend, m_threshold, m_email})
        connect(edit, &QLineEdit::textChanged, this, &OidSettingsDialog::updateSaveButton);
    connect(m_save, &QPushButton::clicked, this, &OidSettingsDialog::onSaveClicked);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void OidSettingsDialog::setNewOid(const QString& oid, bool isTableColumn, int typeCode, const QString& label)
{
    m_editMode = false;
    m_tableColumn = isTableColumn;
    m_typeWord = typeWordForMibType(typeCode);
    m_interfaceIndex = -1;
    m_index->setOid(oid, !isTableColumn, typeCode);
    QString description = label;
    if (description.isEmpty() && m_treeModel) {
        OidPtr node = m_treeModel->findByPath(oid);
        if (!node)
            node = m_treeModel->findByPath(OidPath::parentPath(oid));
        if (node)
            description = node->name;
    }
    m_description->setText(description);
    m_useInterface->setChecked(false);
    fillInterfaces(-1);
    updateTitle();
    updateSaveButton();
}

void OidSettingsDialog::setEntry(const OidEntry& entry)
{
    m_editMode = true;
    m_tableColumn = false;
    const OidPtr node = m_treeModel ? m_treeModel->findByPath(OidPath::parentPath(entry.oid)) : OidPtr();
    const int typeCode = node ? int(node->type) : mibTypeForTypeWord(entry.typeWord);
    // A word the file already has stays: the service knows more of them ("SCOUNTER", or
    // "UCOUNTER8" as in the file's header) than the MIB types give.
    m_typeWord = entry.typeWord.trimmed().isEmpty() ? typeWordForMibType(typeCode) : entry.typeWord;
    m_index->setOid(entry.oid, true, typeCode);
    const std::pair<QLineEdit*, QString> fields[] = {
        {m_description, entry.graphDescription}, {m_yAxis, entry.yAxisLabel},         {m_legend, entry.legendLabel},
        {m_transform, entry.transform},          {m_threshold, entry.alertThreshold}, {m_email, entry.alertEmail}};
    for (const auto& [edit, text] : fields)
        edit->setText(text);
    bool number = false;
    const int index = entry.interfaceNumber.trimmed().toInt(&number, 10);
    m_interfaceIndex = number ? index : -1;
    m_useInterface->setChecked(m_interfaceIndex != -1);
    fillInterfaces(m_interfaceIndex);
    updateTitle();
    updateSaveButton();
}

int OidSettingsDialog::addOid(const QString& oid, bool isTableColumn, int typeCode, const QString& label)
{
    setNewOid(oid, isTableColumn, typeCode, label);
    return exec();
}

int OidSettingsDialog::editEntry(const OidEntry& entry)
{
    setEntry(entry);
    return exec();
}

OidEntry OidSettingsDialog::entry() const
{
    OidEntry entry;
    entry.ipAddress = m_device.ipAddress;
    entry.oid = m_index->selectedOid();
    entry.typeWord = m_typeWord;
    const int interface = selectedInterface();
    if (m_useInterface->isChecked() && interface != -1)
        entry.interfaceNumber = QString::number(interface);
    entry.graphDescription = m_description->text().trimmed();
    entry.yAxisLabel = m_yAxis->text().trimmed();
    entry.legendLabel = m_legend->text().trimmed();
    entry.transform = m_transform->text().trimmed();
    entry.alertThreshold = m_threshold->text().trimmed();
    entry.alertEmail = m_email->text().trimmed();
    entry.fileName = OidEntry::fileNameFor(entry.oid, entry.ipAddress, entry.interfaceNumber, entry.legendLabel);
    return entry;
}

QString OidSettingsDialog::saveProblem() const
{
    if (m_typeWord.isEmpty())
        return tr("Only OIDs with numeric data types can be set for monitoring\n");
    if (m_tableColumn && m_index->selectedIndex() == -1)
        return tr("Press \"%1\" and select specific entry for monitoring\n").arg(m_getValue->text());
    if (m_useInterface->isChecked() && selectedInterface() == -1)
        return tr("Select specific interface\n");
    const QString problem = entry().problem();
    return problem.isEmpty() ? QString() : problem + QLatin1Char('\n');
}

void OidSettingsDialog::updateSaveButton()
{
    const QString problem = saveProblem();
    m_save->setEnabled(problem.isEmpty());
    m_save->setText(problem.isEmpty() ? tr("Save") : tr("Save") + QLatin1Char('*'));
    m_save->setToolTip(problem.left(problem.size() - 1));
    m_saveProblem->setText(m_save->toolTip());
}

void OidSettingsDialog::updateTitle()
{
    QString title = (m_editMode ? tr("Edit monitoring OID") : tr("Add OID to monitoring")) + QLatin1String(" / ") +
                    m_device.ipAddress;
    if (!m_deviceInfo.sysName.isEmpty())
        title += QLatin1String(" - ") + m_deviceInfo.sysName;
    setWindowTitle(title);
}

void OidSettingsDialog::fillInterfaces(int wanted)
{
    const QSignalBlocker blocker(m_interfaces);
    m_interfaces->clear();
    for (const SnmpReader::InterfaceInfo& info : qAsConst(m_deviceInfo.interfaces)) {
        auto* item = new QListWidgetItem(QStringLiteral("%1: %2").arg(info.index).arg(info.description), m_interfaces);
        item->setData(Qt::UserRole, int(info.index));
    }
    if (wanted != -1 && !m_deviceInfo.interfaces.contains(quint32(wanted))) {
        auto* item = new QListWidgetItem(QString::number(wanted));
        item->setData(Qt::UserRole, wanted);
        m_interfaces->insertItem(0, item);
    }
    // An interface table cut off by the walk's bound says so below the interfaces it has.
    if (!m_deviceInfo.stopNote.isEmpty()) {
        auto* note = new QListWidgetItem(m_deviceInfo.stopNote, m_interfaces);
        note->setFlags(Qt::NoItemFlags);
        note->setData(Qt::UserRole, -1);
    }
    for (int row = 0; row < m_interfaces->count(); ++row) {
        if (wanted != -1 && m_interfaces->item(row)->data(Qt::UserRole).toInt() == wanted)
            m_interfaces->setCurrentRow(row);
    }
    updateSaveButton();
}

int OidSettingsDialog::selectedInterface() const
{
    const QList<QListWidgetItem*> selected = m_interfaces->selectedItems();
    return selected.isEmpty() ? -1 : selected.first()->data(Qt::UserRole).toInt();
}

void OidSettingsDialog::onSaveClicked()
{
    if (saveProblem().isEmpty())
        accept();
}

void OidSettingsDialog::onUseInterfaceToggled(bool on)
{
    m_interfaces->setEnabled(on);
    updateSaveButton();
}

void OidSettingsDialog::onTransformChanged()
{
    TransformTestDialog::checkFormula(m_transform->text(), m_transform, m_transformProblem);
    updateSaveButton();
}

void OidSettingsDialog::onTransformEditClicked()
{
    TransformTestDialog dialog(m_transform->text(), this);
    if (dialog.exec() == QDialog::Accepted)
        m_transform->setText(dialog.formula());
}

void OidSettingsDialog::onHostResolved(const SnmpReader::HostInfoResult& result, int requestId)
{
    if (requestId != m_requestId || !result.ok)
        return;
    m_deviceInfo = result;
    fillInterfaces(selectedInterface());
    updateTitle();
}

void OidSettingsDialog::onFinished()
{
    if (m_settings)
        DialogGeometry(*m_settings).save(this, kGeometryName);
}

void OidSettingsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_firstShow)
        return;
    m_firstShow = false;
    if (m_settings && !m_settings->oidSettingsWindowGeometry().isEmpty())
        DialogGeometry(*m_settings).restore(this, kGeometryName);
    else
        setGeometry(centeredFractionRect(this, 0.7));
    QTimer::singleShot(1, m_index, &OidIndexSelectionWidget::onGetIndices);
}
