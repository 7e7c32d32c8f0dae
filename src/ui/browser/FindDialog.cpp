#include "ui/browser/FindDialog.h"

#include "platform/AppSettings.h"
#include "platform/Icons.h"
#include "mib/TreeModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <initializer_list>

namespace {

// By name as well, for string-based and queued connections made elsewhere.
void registerParameters()
{
    qRegisterMetaType<FindDialog::Parameters>("FindDialog::Parameters");
}
Q_COREAPP_STARTUP_FUNCTION(registerParameters)

QRadioButton* addRadioButton(QGroupBox* box, const QString& text, const QIcon& icon = QIcon())
{
    auto* button = new QRadioButton(text, box);
    button->setIcon(icon);
    box->layout()->addWidget(button);
    return button;
}

int firstChecked(std::initializer_list<const QRadioButton*> buttons, int none)
{
    int code = 0;
    for (const QRadioButton* button : buttons) {
        if (button->isChecked())
            return code;
        ++code;
    }
    return none;
}

} // namespace

FindDialog::FindDialog(const Parameters& parameters, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_history(parameters.history)
    , m_textBox(new QComboBox(this))
    , m_matchCase(new QCheckBox(tr("Match case"), this))
    , m_searchInDescriptions(new QCheckBox(tr("Search in descriptions"), this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Find OID by name or path"));

    m_textBox->setEditable(true);
    m_textBox->setMinimumContentsLength(30);
    m_textBox->setMaxVisibleItems(20);
    m_textBox->setInsertPolicy(QComboBox::NoInsert);
    m_textBox->lineEdit()->setClearButtonEnabled(true);
    // The request comes from the line edit, which otherwise shows its own menu.
    m_textBox->lineEdit()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_textBox->lineEdit(), &QWidget::customContextMenuRequested, this, &FindDialog::onCustomMenu);

    auto* findLabel = new QLabel(tr("Find:"), this);
    findLabel->setBuddy(m_textBox);
    auto* textRow = new QHBoxLayout;
    textRow->addWidget(findLabel);
    textRow->addWidget(m_textBox, 1);

    auto* fromBox = new QGroupBox(tr("Search from"), this);
    fromBox->setLayout(new QVBoxLayout);
    m_fromCurrent = addRadioButton(fromBox, tr("Current"));
    m_fromRoot = addRadioButton(fromBox, tr("Root"));
    m_fromVendor = addRadioButton(fromBox, tr("Vendor MIBs"));
    auto* forBox = new QGroupBox(tr("Search for"), this);
    forBox->setLayout(new QVBoxLayout);
    m_forLeaves = addRadioButton(forBox, tr("OID Name"), loadIcon(QStringLiteral("leaf")));
    m_forGroups = addRadioButton(forBox, tr("Group Name"), loadIcon(QStringLiteral("open")));
    m_forBoth = addRadioButton(forBox, tr("Both"), loadIcon(QStringLiteral("open-leaf")));
    auto* boxRow = new QHBoxLayout;
    boxRow->addWidget(fromBox);
    boxRow->addWidget(forBox);

    auto* fields = new QVBoxLayout;
    fields->addLayout(textRow);
    fields->addWidget(m_matchCase);
    fields->addWidget(m_searchInDescriptions);
    fields->addLayout(boxRow);

    // "Find Next" is the default button: Return in the text field searches once, through it.
    auto* findButton = new QPushButton(tr("Find Next"), this);
    findButton->setDefault(true);
    auto* cancelButton = new QPushButton(tr("Cancel"), this);
    cancelButton->setAutoDefault(false);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(findButton);
    buttons->addWidget(cancelButton);
    buttons->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);

    setTabOrder(m_textBox, findButton);
    setTabOrder(findButton, cancelButton);
    setTabOrder(cancelButton, m_matchCase);
    setTabOrder(m_matchCase, m_searchInDescriptions);
    setTabOrder(m_searchInDescriptions, m_fromCurrent);
    setTabOrder(m_fromCurrent, m_fromRoot);
    setTabOrder(m_fromRoot, m_fromVendor);
    setTabOrder(m_fromVendor, m_forLeaves);
    setTabOrder(m_forLeaves, m_forGroups);
    setTabOrder(m_forGroups, m_forBoth);

    fillHistory();
    m_textBox->setEditText(parameters.text);
    m_textBox->lineEdit()->selectAll();
    m_matchCase->setChecked(parameters.matchCase);
    m_searchInDescriptions->setChecked(parameters.searchInDescriptions);
    // A code outside 0..2 leaves its group unchecked.
    QRadioButton* const fromButtons[] = {m_fromCurrent, m_fromRoot, m_fromVendor};
    if (parameters.searchFrom >= 0 && parameters.searchFrom < 3)
        fromButtons[parameters.searchFrom]->setChecked(true);
    QRadioButton* const forButtons[] = {m_forLeaves, m_forGroups, m_forBoth};
    if (parameters.searchFor >= 0 && parameters.searchFor < 3)
        forButtons[parameters.searchFor]->setChecked(true);
    m_textBox->setFocus();

    connect(findButton, &QPushButton::clicked, this, &FindDialog::onFindNext);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::finished, this, &FindDialog::onFinished);
    adjustSize();
}

FindDialog::~FindDialog() = default;

FindDialog::Parameters FindDialog::parameters() const
{
    Parameters parameters;
    parameters.text = m_textBox->currentText();
    parameters.history = m_history;
    parameters.matchCase = m_matchCase->isChecked();
    parameters.searchInDescriptions = m_searchInDescriptions->isChecked();
    parameters.searchFrom = firstChecked({m_fromCurrent, m_fromRoot, m_fromVendor}, FromCurrent);
    parameters.searchFor = firstChecked({m_forLeaves, m_forGroups, m_forBoth}, ForBoth);
    return parameters;
}

FindDialog::Parameters FindDialog::storedParameters(const AppSettings& settings)
{
    Parameters parameters;
    parameters.text = settings.mainWindowSearchText();
    parameters.history = settings.mainWindowSearchHistory();
    parameters.matchCase = settings.mainWindowSearchMatchCase();
    parameters.searchInDescriptions = settings.mainWindowSearchInDescriptions();
    parameters.searchFrom = settings.mainWindowSearchFrom();
    parameters.searchFor = settings.mainWindowSearchFor();
    return parameters;
}

void FindDialog::storeParameters(AppSettings& settings, const Parameters& parameters)
{
    settings.setMainWindowSearchText(parameters.text);
    settings.setMainWindowSearchHistory(parameters.history);
    settings.setMainWindowSearchMatchCase(parameters.matchCase);
    settings.setMainWindowSearchInDescriptions(parameters.searchInDescriptions);
    settings.setMainWindowSearchFrom(parameters.searchFrom);
    settings.setMainWindowSearchFor(parameters.searchFor);
}

QModelIndex FindDialog::search(const TreeModel& model, const Parameters& parameters, const OidPtr& current)
{
    if (!OidPath::parse(parameters.text).isEmpty())
        return model.indexFromOid(model.findByPath(parameters.text));

    OidPtr start; // none: the root
    if (parameters.searchFrom == FromCurrent && current)
        start = model.nextOid(current);
    else if (parameters.searchFrom == FromVendorMibs)
        start = model.findByPath(QStringLiteral("1.3.6.1.4.1"));
    const bool leaves = parameters.searchFor == ForLeaves || parameters.searchFor == ForBoth;
    const bool groups = parameters.searchFor == ForGroups || parameters.searchFor == ForBoth;
    return model.find(start, parameters.text.trimmed(), parameters.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive,
                      parameters.searchInDescriptions, leaves, groups);
}

void FindDialog::onFindNext()
{
    const QString text = m_textBox->currentText().trimmed();
    if (text.isEmpty())
        return;
    m_history.removeOne(text);
    m_history.prepend(text);
    while (m_history.size() > MaxHistory)
        m_history.removeLast();
    fillHistory();
    emit findNext(parameters());
}

void FindDialog::onFinished()
{
    emit closed(parameters());
}

void FindDialog::onCustomMenu(const QPoint& point)
{
    QLineEdit* lineEdit = m_textBox->lineEdit();
    QMenu* menu = lineEdit->createStandardContextMenu();
    menu->addSeparator();
    menu->addAction(tr("Clear History"), this, &FindDialog::onClearHistory);
    connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    menu->popup(lineEdit->mapToGlobal(point));
}

void FindDialog::onClearHistory()
{
    m_history.clear();
    m_textBox->clear();
}

void FindDialog::fillHistory()
{
    m_textBox->clear();
    m_textBox->addItems(m_history);
}
