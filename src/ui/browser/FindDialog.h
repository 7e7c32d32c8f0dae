#pragma once

#include "mib/Oid.h"

#include <QDialog>
#include <QMetaType>
#include <QModelIndex>
#include <QString>
#include <QStringList>

class AppSettings;

class QCheckBox;
class QComboBox;
class QRadioButton;
class TreeModel;

// The modeless search dialog: collects a search text (a name or a numeric path) with its
// options and keeps the history of searched texts. It does not search itself; its owner
// runs search() on the tree model.
class FindDialog final : public QDialog
{
    Q_OBJECT

public:
    enum SearchFrom
    {
        FromCurrent = 0,
        FromRoot = 1,
        FromVendorMibs = 2
    };
    enum SearchFor
    {
        ForLeaves = 0,
        ForGroups = 1,
        ForBoth = 2
    };

    static constexpr int MaxHistory = 50;

    struct Parameters
    {
        QString text;
        QStringList history; // most recent first, at most MaxHistory, no duplicates
        bool matchCase = false;
        bool searchInDescriptions = false;
        int searchFrom = FromCurrent;
        int searchFor = ForBoth;
    };

    explicit FindDialog(const Parameters& parameters, QWidget* parent = nullptr);
    ~FindDialog() override;

    // The parameters as the dialog shows them now.
    Parameters parameters() const;

    // The node the parameters find: a numeric path is looked up as such and every option
    // is ignored; a name is searched from the node after current (searchFrom 0), the
    // root (1) or the vendor MIBs (2), wrapping around the whole tree. Invalid when
    // nothing matches.
    static QModelIndex search(const TreeModel& model, const Parameters& parameters, const OidPtr& current);

    // The parameters kept between runs in the settings (the main_window_search_* keys).
    static Parameters storedParameters(const AppSettings& settings);
    static void storeParameters(AppSettings& settings, const Parameters& parameters);

signals:
    void findNext(const FindDialog::Parameters& parameters);
    // The dialog finished; carries the history and options for the next dialog.
    void closed(const FindDialog::Parameters& parameters);

private slots:
    void onFindNext();
    void onFinished();
    void onCustomMenu(const QPoint& point);
    void onClearHistory();

private:
    void fillHistory();

    QStringList m_history;
    QComboBox* m_textBox;
    QCheckBox* m_matchCase;
    QCheckBox* m_searchInDescriptions;
    QRadioButton* m_fromCurrent;
    QRadioButton* m_fromRoot;
    QRadioButton* m_fromVendor;
    QRadioButton* m_forLeaves;
    QRadioButton* m_forGroups;
    QRadioButton* m_forBoth;
};

Q_DECLARE_METATYPE(FindDialog::Parameters)
