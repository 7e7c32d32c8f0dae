// The OID monitoring dialogs: the Save rules and result of the add/edit dialog (against the
// snmpd test agent where a device must answer), the transform tester, and the list's modify
// and delete.

#include "LoadedMib.h"
#include "ModalDialogs.h"
#include "ScriptedPrompts.h"
#include "SnmpdFixture.h"
#include "ui/monitor/OidIndexSelectionWidget.h"
#include "ui/oids/OidListDialog.h"
#include "ui/oids/OidSettingsDialog.h"
#include "ui/oids/OidTableWidget.h"
#include "ui/oids/TransformTestDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTextBrowser>
#include <QtTest>

namespace {

const QString kColumn = "1.3.6.1.2.1.2.2.1.10"; // ifInOctets
const QString kClosed = "127.0.0.1:" + QString::number(SnmpdFixture::closedPort());
const QString kRed = "background: rgb(255, 175, 175);";

VelmoraFile::Entry device(const QString& ip)
{
    return {ip, {}, {}, {}, {}, {}, {}, {2, SnmpdFixture::kCommunity, {}, 0, {}, 0, {}}, false};
}

OidEntry oidEntry(const QString& index, const QString& interface, const QString& legend)
{
    const QString oid = kColumn + "." + index;
    return {kClosed, interface,  OidEntry::fileNameFor(oid, kClosed, interface, legend),
            "in",    "bytes",    legend,
            oid,     "UCOUNTER", {},
            "90",    {}};
}

const auto field = [](QWidget* dialog, const char* name) { return dialog->findChild<QLineEdit*>(name); };

} // namespace

class TestOidDialogs final : public QObject
{
    Q_OBJECT

    SnmpdFixture m_agent;
    LoadedMib m_mib;

private slots:
    void initTestCase()
    {
        SNMPD_FIXTURE_START(m_agent);
        QVERIFY(m_mib.load(MibTestDb::sampleNodes() + MibTestDb::parse("40 14 ifInOctets 10 6 18")));
    }

    void saveRules_data()
    {
        QTest::addColumn<QString>("oid");
        QTest::addColumn<bool>("column");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("useInterface");
        QTest::addColumn<QString>("problem"); // "*": the entry's own problem

        const QString row = kColumn + ".2";
        const QList<std::tuple<const char*, QString, bool, int, const char*, bool, const char*>> rows{
            {"octet string", "1.3.6.1.2.1.1.1.0", false, Oid::OctetString, "", false,
             "Only OIDs with numeric data types can be set for monitoring"},
            {"column without a row", kColumn, true, Oid::Counter, "", false,
             "Press \"Get Value\" and select specific entry for monitoring"},
            {"no interface chosen", row, false, Oid::Counter, "", true, "Select specific interface"},
            {"';' in the description", row, false, Oid::Counter, "a;b", false, "*"},
            {"fine", row, false, Oid::Gauge, "", false, ""}};
        for (const auto& [name, oid, column, type, description, useInterface, problem] : rows)
            QTest::newRow(name) << oid << column << type << QString(description) << useInterface << QString(problem);
    }

    void saveRules()
    {
        QFETCH(QString, oid);
        QFETCH(QString, problem);
        OidSettingsDialog dialog(device(kClosed), {}, m_mib.model.get(), nullptr);
        QFETCH(bool, column);
        QFETCH(int, type);
        dialog.setNewOid(oid, column, type);
        QFETCH(QString, description);
        if (!description.isEmpty())
            field(&dialog, "descriptionEdit")->setText(description);
        QFETCH(bool, useInterface);
        dialog.useInterfaceBox()->setChecked(useInterface);
        if (problem == "*") {
            problem = dialog.entry().problem();
            QVERIFY(!problem.isEmpty());
        }
        QCOMPARE(dialog.saveButton()->toolTip(), problem);
        QCOMPARE(dialog.saveButton()->isEnabled(), problem.isEmpty());
        QCOMPARE(dialog.saveButton()->text(), problem.isEmpty() ? "Save" : "Save*");
    }

    // The main case: ifInOctets of a device that answers; its interfaces and rows are read.
    void addColumnOfAnsweringDevice()
    {
        OidSettingsDialog dialog(device(m_agent.address()), {}, m_mib.model.get(), nullptr);
        dialog.setNewOid(kColumn, true, Oid::Counter);
        QCOMPARE(field(&dialog, "descriptionEdit")->text(), "ifInOctets");
        QTRY_COMPARE_WITH_TIMEOUT(dialog.interfaceList()->count(), 5, 20000);
        QCOMPARE(dialog.interfaceList()->item(1)->text(), "2: eth0");
        QCOMPARE(dialog.windowTitle(), QString("Add OID to monitoring / %1 - fixture-agent").arg(m_agent.address()));

        dialog.show();
        QTableWidget* rows = dialog.indexWidget()->resultsTable();
        QTRY_COMPARE_WITH_TIMEOUT(rows->rowCount(), 5, 20000);
        rows->selectRow(1);
        QVERIFY(dialog.saveButton()->isEnabled());
        dialog.useInterfaceBox()->setChecked(true);
        dialog.interfaceList()->setCurrentRow(1);
        field(&dialog, "legendEdit")->setText("  in  ");
        const OidEntry entry = dialog.entry();
        QCOMPARE(QStringList({entry.oid, entry.typeWord, entry.interfaceNumber, entry.fileName}),
                 QStringList({kColumn + ".2", "UCOUNTER", "2", kColumn + ".2-" + m_agent.address() + "-2-in"}));
        dialog.useInterfaceBox()->setChecked(false);
        QCOMPARE(dialog.entry().fileName, kColumn + ".2-" + m_agent.address() + "-0-in");
        dialog.saveButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void editOfSilentDevice()
    {
        SnmpReader::HostInfoResult info;
        info.sysName = "quiet";
        OidSettingsDialog dialog(device(kClosed), info, m_mib.model.get(), nullptr);
        dialog.setEntry(oidEntry("3", "17", "in"));
        QCOMPARE(dialog.windowTitle(), "Edit monitoring OID / " + kClosed + " - quiet");
        QVERIFY(dialog.interfaceList()->count() == 1 && dialog.interfaceList()->item(0)->text() == "17" &&
                dialog.interfaceList()->item(0)->isSelected());
        QVERIFY(dialog.useInterfaceBox()->isChecked() && dialog.interfaceList()->isEnabled());
        QCOMPARE(dialog.entry(), oidEntry("3", "17", "in"));
        // A type word of the file's own stays as it was, known to the MIB or not.
        OidEntry ownWord = oidEntry("3", "17", "in");
        ownWord.typeWord = "UCOUNTER8";
        dialog.setEntry(ownWord);
        QCOMPARE(dialog.entry(), ownWord);

        // A formula that does not compute is shown, with its reason, but does not keep Save off.
        field(&dialog, "transformEdit")->setText("V+(");
        QCOMPARE(field(&dialog, "transformEdit")->styleSheet(), kRed);
        QVERIFY(!dialog.findChild<QLabel*>("transformProblem")->text().isEmpty() && dialog.saveButton()->isEnabled());
    }

    void transform_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("formulaRed");
        QTest::addColumn<bool>("inputRed");
        // The formulas themselves: test_transformformula.
        const QList<std::tuple<const char*, const char*, const char*, bool, bool>> rows{
            {"V/3", "1", "0.333333", false, false}, {"V+(", "1", "", true, false}, {"*8", "x", "", false, true}};
        for (const auto& [formula, input, output, formulaRed, inputRed] : rows)
            QTest::addRow("%s with %s", formula, input)
                << QString(formula) << QString(input) << QString(output) << formulaRed << inputRed;
    }

    void transform()
    {
        QFETCH(QString, formula);
        TransformTestDialog dialog("");
        QCOMPARE(dialog.inputEdit()->text(), "1");
        dialog.formulaEdit()->setText(formula);
        QFETCH(QString, input);
        dialog.inputEdit()->setText(input);
        QTEST(dialog.outputEdit()->text(), "output");
        QFETCH(bool, formulaRed);
        QFETCH(bool, inputRed);
        QCOMPARE(dialog.formulaEdit()->styleSheet(), formulaRed ? kRed : QString());
        QCOMPARE(dialog.inputEdit()->styleSheet(), inputRed ? kRed : QString());
        QCOMPARE(dialog.findChild<QLabel*>("formulaProblem")->isHidden(), !formulaRed);
    }

    void listModify_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("action") << 3;
        QTest::newRow("double-click") << 1;
        QTest::newRow("Enter") << 2;
    }

    void listModify()
    {
        const QList<OidEntry> entries{oidEntry("2", "", "in"), oidEntry("3", "17", "x")};
        OidListDialog dialog({}, {}, entries, m_mib.model.get(), nullptr);
        QTableView* view = dialog.table()->view();
        // The first entry is shown from the start.
        QVERIFY(dialog.modifyAction()->isEnabled() && dialog.details()->toPlainText().contains("ifInOctets.2"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.table()->selectRows({1});
        QVERIFY(dialog.details()->toPlainText().contains(QRegularExpression("(?s)ifInOctets\\.3.*on interface #17")));

        whenModal<OidSettingsDialog>([](OidSettingsDialog* settings) {
            field(settings, "legendEdit")->setText("out");
            settings->saveButton()->click();
        });
        QFETCH(int, how);
        const QPoint row = view->visualRect(view->model()->index(1, 0)).center();
        if (how == 1) {
            // A double-click counts where the press was: the widget form sends the double-click alone.
            QTest::mousePress(view->viewport(), Qt::LeftButton, {}, row);
            QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, row);
        } else if (how == 2)
            QTest::keyClick(view, Qt::Key_Return);
        else
            dialog.modifyAction()->trigger();
        QCOMPARE(dialog.entries().at(1).legendLabel, "out");
        QCOMPARE(dialog.changedFileNames(), QSet<QString>({entries.at(1).fileName, dialog.entries().at(1).fileName}));
        QVERIFY(dialog.entries().at(1).fileName.endsWith("-17-out"));
    }

    void listDelete()
    {
        ScriptedPrompts prompts;
        const QList<OidEntry> entries{oidEntry("2", "", "in"), oidEntry("3", "17", "x")};
        OidListDialog dialog({}, {}, entries, m_mib.model.get(), nullptr);
        QVERIFY(dialog.table()->placeholder()->isHidden());
        prompts.answer(QMessageBox::No);
        dialog.deleteAction()->trigger();
        QCOMPARE(prompts.asked.last().text, "Are you sure you want to delete OID\n\"" + kClosed + " - " + kColumn +
                                                ".2 (ifInOctets) Alert threshold: 90\"?");
        QCOMPARE(dialog.entries().size(), 2);
        prompts.answer(QMessageBox::Yes);
        dialog.deleteAction()->trigger();
        dialog.table()->selectRows({0});
        prompts.answer(QMessageBox::Yes);
        QTest::keyClick(dialog.table()->view(), Qt::Key_Delete);
        QVERIFY(dialog.entries().isEmpty() && dialog.table()->view()->model()->rowCount() == 0);
        QCOMPARE(dialog.changedFileNames(), QSet<QString>({entries.at(0).fileName, entries.at(1).fileName}));
        QVERIFY(!dialog.table()->placeholder()->isHidden());
    }
};

QTEST_MAIN(TestOidDialogs)
#include "test_oiddialogs.moc"
