#pragma once

#include <QDialog>
#include <QMap>
#include <QString>
#include <QStringList>

class QListWidget;
class QPushButton;

// Lists the imported MIB modules, each with the file it came from, for the user to tick the
// ones to remove (Space ticks the current one).
class RemoveMibModulesDialog : public QDialog
{
    Q_OBJECT

public:
    // modules: module name -> kept file
    explicit RemoveMibModulesDialog(const QMap<QString, QString>& modules, QWidget* parent = nullptr);

    QStringList chosenModules() const;

private:
    QListWidget* m_list;
    QPushButton* m_remove;
};
