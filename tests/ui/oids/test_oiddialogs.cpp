// The OID monitoring dialogs: the Save rules and result of the add/edit dialog (against the
// snmpd test agent where a device must answer), the transform tester, the list's modify and
// delete, the table index selection, and the live chart on a fake clock with fabricated answers.
// The trap alert dialogs: the editor's checks and how it fills, and the list's texts, summary,
// modify, delete and a save the disk refuses.

#include "LoadedMib.h"
#include "ModalDialogs.h"
#include "ScriptedPrompts.h"
#include "SnmpdFixture.h"
#include "TestFiles.h"
#include "config/ConfigFile.h"
#include "platform/AppSettings.h"
#include "snmp/SnmpAsyncReader.h"
#include "ui/monitor/OidChartDialog.h"
#include "ui/monitor/OidIndexSelectionDialog.h"
#include "ui/monitor/OidIndexSelectionWidget.h"
#include "ui/oids/OidListDialog.h"
#include "ui/oids/OidSettingsDialog.h"
#include "ui/oids/OidTableWidget.h"
#include "ui/oids/TransformTestDialog.h"
#include "ui/traps/TrapEditDialog.h"
#include "ui/traps/TrapListDialog.h"
#include "ui/traps/TrapTableWidget.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTextBrowser>
#include <QtTest>

#include <qwt_plot.h>
#include <qwt_scale_div.h>

#include <limits>
#include <memory>

using Entry = TrapAlertFile::Entry;

namespace {

const QString kTrap = "1.3.6.1.4.1.7";          // vendorTrap
const QString kColumn = "1.3.6.1.2.1.2.2.1.10"; // ifInOctets
const QString kClosed = "127.0.0.1:" + QString::number(SnmpdFixture::closedPort());
const QString kRed = "background: rgb(255, 175, 175);";
const QString kRoot = SnmpdFixture::kFixtureRoot;
const QString kStrColumn = kRoot + ".2.1.1"; // rows 1, 2, 10: "one", "two", "ten"
constexpr char kOid[] = "1.3.6.1.4.1.32473.1.5.0";
constexpr qint64 kT0 = 1700000000;

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
const auto button = [](QWidget* dialog, const char* name) { return dialog->findChild<QAbstractButton*>(name); };

SnmpOidUtils::Device target(const QString& ip, int version = 2)
{
    return {ip, {version, SnmpdFixture::kCommunity, {}, 0, {}, 0, {}}};
}

QPair<double, double> axisRange(const OidChartDialog& dialog, int axis)
{
    const QwtScaleDiv& div = dialog.plot()->axisScaleDiv(axis);
    return {div.lowerBound(), div.upperBound()};
}

// The OID, whether it names a row, the rows shown ("index=value"), the row selected (-1: none).
using Listing = std::tuple<QString, bool, QStringList, int>;
// The OID, whether it is a column, its type, the description typed, "use interface", the Save
// problem ("*": the entry's own).
using SaveCase = std::tuple<QString, bool, int, QString, bool, QString>;

} // namespace

Q_DECLARE_METATYPE(Listing)
Q_DECLARE_METATYPE(SaveCase)

class TestOidDialogs final : public QObject
{
    Q_OBJECT

    SnmpdFixture m_agent;
    LoadedMib m_mib;
    QTemporaryDir m_dir;
    const QString m_path = m_dir.filePath("TrapAlert.cfg");
    QDateTime m_now;

    // A chart of a device that never answers, on the fake clock.
    std::unique_ptr<OidChartDialog> offlineChart(bool differenceMode)
    {
        auto dialog = std::make_unique<OidChartDialog>(target(kClosed, 1), QString(), kOid, differenceMode);
        dialog->setClock([this] { return m_now; });
        return dialog;
    }

    // Answers with value at kT0 + seconds; an invalid value is a failed poll (no answer).
    void answerAt(OidChartDialog& dialog, qint64 seconds, const QVariant& value)
    {
        m_now = QDateTime::fromSecsSinceEpoch(kT0 + seconds);
        const SnmpOidUtils::OidValue result{kOid, 0, value, {}, {}};
        dialog.onGetValueFinished(
            QString(), kOid, value.isValid() ? QList<SnmpOidUtils::OidValue>{result} : QList<SnmpOidUtils::OidValue>{});
    }

private slots:
    void initTestCase()
    {
        SNMPD_FIXTURE_START(m_agent);
        QVector<MibTestDb::Node> nodes =
            MibTestDb::sampleNodes() +
            MibTestDb::parse("40 14 ifInOctets 10 6 18; 21 18 fixture 32473; 22 21 fixtureRoot 1;"
                             "23 22 strTable 2; 24 23 strEntry 1; 25 24 strValue 1 2 18");
        nodes[18].description = "Sent when <power> fails.";
        QVERIFY(m_mib.load(nodes));
    }

    void saveRules_data()
    {
        QTest::addColumn<SaveCase>("c");
        const QString row = kColumn + ".2", numeric = "Only OIDs with numeric data types can be set for monitoring";
        QTest::newRow("octet string") << SaveCase{"1.3.6.1.2.1.1.1.0", false, Oid::OctetString, "", false, numeric};
        QTest::newRow("column without a row") << SaveCase{
            kColumn, true, Oid::Counter, "", false, "Press \"Get Value\" and select specific entry for monitoring"};
        QTest::newRow("no interface chosen")
            << SaveCase{row, false, Oid::Counter, "", true, "Select specific interface"};
        QTest::newRow("';' in the description") << SaveCase{row, false, Oid::Counter, "a;b", false, "*"};
        QTest::newRow("fine") << SaveCase{row, false, Oid::Gauge, "", false, ""};
    }

    void saveRules()
    {
        QFETCH(SaveCase, c);
        auto [oid, column, type, description, useInterface, problem] = c;
        OidSettingsDialog dialog(device(kClosed), {}, m_mib.model.get(), nullptr);
        dialog.setNewOid(oid, column, type);
        if (!description.isEmpty())
            field(&dialog, "descriptionEdit")->setText(description);
        dialog.useInterfaceBox()->setChecked(useInterface);
        if (problem == "*") {
            problem = dialog.entry().problem();
            QVERIFY(!problem.isEmpty());
        }
        QCOMPARE(dialog.saveButton()->toolTip(), problem);
        QCOMPARE(dialog.saveButton()->isEnabled(), problem.isEmpty());
        QCOMPARE(dialog.saveButton()->text(), problem.isEmpty() ? "Save" : "Save*");
    }

    // The main case: ifInOctets of a device that answers; its interfaces and rows are read (the
    // entry with an interface, as saved: test_mainwindow).
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
        field(&dialog, "legendEdit")->setText("  in  ");
        dialog.useInterfaceBox()->setChecked(false);
        QCOMPARE(dialog.entry().fileName, kColumn + ".2-" + m_agent.address() + "-0-in");
        dialog.saveButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void editOfSilentDevice()
    {
        SnmpReader::HostInfoResult info;
        info.sysName = "quiet";
        info.stopNote = "Walk stopped"; // shown below the interfaces, not choosable
        OidSettingsDialog dialog(device(kClosed), info, m_mib.model.get(), nullptr);
        dialog.setEntry(oidEntry("3", "17", "in"));
        QCOMPARE(dialog.windowTitle(), "Edit monitoring OID / " + kClosed + " - quiet");
        QVERIFY(dialog.interfaceList()->count() == 2 && dialog.interfaceList()->item(0)->text() == "17" &&
                dialog.interfaceList()->item(0)->isSelected());
        QVERIFY(dialog.interfaceList()->item(1)->text() == info.stopNote && !dialog.interfaceList()->item(1)->flags());
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
        prompts.answer(QMessageBox::No);
        dialog.deleteAction()->trigger();
        QCOMPARE(prompts.asked.last().text, "Are you sure you want to delete OID\n\"" + kClosed + " - " + kColumn +
                                                ".2 (ifInOctets) Alert threshold: 90\"?");
        QCOMPARE(dialog.entries().size(), 2);
        prompts.answer(QMessageBox::Yes); // the key and the empty list: the trap alert list
        dialog.deleteAction()->trigger();
        QCOMPARE(dialog.entries(), QList<OidEntry>{entries.at(1)});
        QCOMPARE(dialog.changedFileNames(), QSet<QString>{entries.at(0).fileName});
    }

    // Rows and values, the requested one selected (else the first); where listings end; a GET for .0.
    void listings_data()
    {
        QTest::addColumn<Listing>("c");
        QTest::newRow("column") << Listing{kStrColumn, false, {"1=one", "2=two", "10=ten"}, 1};
        QTest::newRow("requested row") << Listing{kStrColumn + ".10", true, {"1=one", "2=two", "10=ten"}, 10};
        QTest::newRow("instance .0") << Listing{kRoot + ".1.4.0", true, {"0=-42"}, 0};
        QTest::newRow("two-part index 1.5") << Listing{kRoot + ".3.1.1", false, {}, -1};
    }

    void listings()
    {
        QFETCH(Listing, c);
        const auto& [oid, hasIndex, rows, selected] = c;
        OidIndexSelectionWidget widget;
        widget.setDevice(target(m_agent.address()));
        widget.setOid(oid, hasIndex, Oid::OctetString);
        QSignalSpy finished(&widget, &OidIndexSelectionWidget::listingFinished);
        widget.onGetIndices(); // returns at once; the rows come in the background
        QVERIFY(widget.isListing() && finished.wait(10000) && !widget.isListing());
        QVERIFY(widget.progressLabel()->isVisibleTo(&widget) == rows.isEmpty() && widget.cancelButton()->isHidden());
        const QTableWidget* table = widget.resultsTable();
        QStringList shown;
        for (int row = 0; row < table->rowCount(); ++row)
            shown << table->item(row, 0)->text() + "=" + table->item(row, 1)->text();
        QCOMPARE(shown, rows);
        QCOMPARE(widget.selectedOid(), selected < 0 ? QString() : widget.columnOid() + "." + QString::number(selected));
    }

    // Cancel ends a long listing at once; the rows read stay, and none come after it.
    void listingCancelled()
    {
        OidIndexSelectionWidget widget;
        widget.setDevice(target(m_agent.address()));
        widget.setOid(SnmpdFixture::kOidBulkColumn, false, Oid::OctetString);
        widget.onGetIndices();
        QTRY_VERIFY_WITH_TIMEOUT(widget.resultsTable()->rowCount() > 0, 10000);
        QVERIFY(widget.isListing() && widget.cancelButton()->isVisibleTo(&widget));
        QSignalSpy finished(&widget, &OidIndexSelectionWidget::listingFinished);
        widget.cancelButton()->click();
        const int rows = widget.resultsTable()->rowCount();
        QVERIFY(finished.size() == 1 && !widget.isListing() && rows < SnmpdFixture::kBulkRows &&
                widget.selectedIndex() == 1);
        QCOMPARE(widget.progressLabel()->text(), QString("Cancelled after %1 row(s)").arg(rows));
        QTest::qWait(200);
        QCOMPARE(widget.resultsTable()->rowCount(), rows);
    }

    // "Monitor OID" follows the selection; a typed OID counts once it has a parent and an index.
    void dialog()
    {
        OidIndexSelectionDialog dialog(m_mib.model->findByPath(kStrColumn), target(m_agent.address()));
        QTemporaryDir dir;
        AppSettings settings(dir.filePath("Tessaro.ini"));
        settings.setOidIndexWindowSize(QSize(420, 350));
        dialog.setSettings(&settings); // the dialog keeps its own size
        dialog.show();
        QCOMPARE(dialog.size(), QSize(420, 350));
        OidIndexSelectionWidget* widget = dialog.widget();
        widget->editButton()->click();
        widget->entryEdit()->setText("5");
        QVERIFY(widget->selectedIndex() == -1 && !dialog.monitorButton()->isEnabled());
        widget->entryEdit()->setText(kStrColumn + ".7");
        QVERIFY(widget->selectedIndex() == 7 && dialog.monitorButton()->isEnabled());
        widget->editButton()->click();
        QVERIFY(!dialog.monitorButton()->isEnabled()); // back to a table without a selection
    }

    // Values plotted as they are, or as the increase per poll (a counter reset shows as one
    // negative step, which the axis keeps in view); answers that are no integer are skipped.
    void samples_data()
    {
        QTest::addColumn<bool>("difference");
        QTest::addColumn<QVariantList>("values"); // one poll each 5 s
        QTest::addColumn<QVector<QPointF>>("plotted");
        QTest::newRow("gauge") << false << QVariantList{10, 12, 11}
                               << QVector<QPointF>{{0, 10}, {1, 10}, {5, 12}, {10, 11}};
        QTest::newRow("counter") << true << QVariantList{100u, 150u, 175u}
                                 << QVector<QPointF>{{0, 0}, {1, 0}, {5, 50}, {10, 25}};
        QTest::newRow("counter reset") << true << QVariantList{100u, 150u, 20u, 30u}
                                       << QVector<QPointF>{{0, 0}, {1, 0}, {5, 50}, {10, -130}, {15, 10}};
        QTest::newRow("not integers") << false
                                      << QVariantList{QByteArray("123"), "1.3.6.1.4.1.32473.1", QVariant(),
                                                      quint64(std::numeric_limits<qint64>::max()) + 1, 7}
                                      << QVector<QPointF>{{20, 7}, {21, 7}};
    }

    void samples()
    {
        QFETCH(bool, difference);
        QFETCH(QVariantList, values);
        QFETCH(QVector<QPointF>, plotted);
        const auto dialog = offlineChart(difference);
        double lowest = std::numeric_limits<double>::max();
        for (int i = 0; i < values.size(); ++i)
            answerAt(*dialog, 5 * i, values.at(i));
        for (QPointF& point : plotted) {
            point.rx() += kT0;
            lowest = std::min(lowest, point.y());
        }
        QCOMPARE(dialog->samples(), plotted);
        QVERIFY(axisRange(*dialog, QwtPlot::yLeft).first <= lowest);
        QVERIFY(dialog->pollTimer()->isActive()); // polling goes on
    }

    // The value axis moves only once its ends leave the bands around them; an hour is kept.
    void axesAndHistory()
    {
        auto dialog = offlineChart(false);
        for (int i = 0; i < 3; ++i)
            answerAt(*dialog, 5 * i, 5);
        QCOMPARE(axisRange(*dialog, QwtPlot::yLeft), qMakePair(0.0, 12.0));
        answerAt(*dialog, 15, 6);
        QCOMPARE(axisRange(*dialog, QwtPlot::yLeft), qMakePair(0.0, 12.0));
        answerAt(*dialog, 20, 100);
        QCOMPARE(axisRange(*dialog, QwtPlot::yLeft), qMakePair(0.0, 109.0));
        for (int s = 60; s <= 61 * 60; s += 60)
            answerAt(*dialog, s, s);
        QCOMPARE(dialog->samples().first(), QPointF(kT0 + 60, 60));
        QCOMPARE(axisRange(*dialog, QwtPlot::xBottom), qMakePair(double(kT0 + 60), double(kT0 + 60 + 3600)));
    }
    // Against the agent: an answer to a poll issued before an interval change, or before the
    // close, adds nothing and starts no second timer chain (and reaches no deleted chart).
    void stalePollsDropped()
    {
        QPointer<OidChartDialog> dialog =
            new OidChartDialog(target(m_agent.address()), "sysUpTime", SnmpdFixture::kOidSysUpTime, true);
        dialog->show();
        QTRY_VERIFY_WITH_TIMEOUT(dialog->samples().size() >= 2, 20000);
        dialog->pollTimer()->stop();
        dialog->onReadValue(); // outstanding across the change
        dialog->intervalBox()->setCurrentIndex(4);
        QVERIFY(dialog->samples().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(dialog->samples().size(), 2, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(SnmpAsyncReader::instance()->queuedRequests(), 0, 20000);
        QCOMPARE(dialog->samples().size(), 2);
        QVERIFY(dialog->pollTimer()->remainingTime() > 55000);

        dialog->pollTimer()->stop();
        dialog->onReadValue();
        dialog->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(dialog.isNull());
        QTRY_COMPARE_WITH_TIMEOUT(SnmpAsyncReader::instance()->queuedRequests(), 0, 20000);
    }

    void editor_data()
    {
        QTest::addColumn<QString>("fields"); // IP, OID, value, e-mail
        QTest::addColumn<QString>("error");  // "*": the entry's own problem
        const QString mail = "Specify email to receive messages when the trap alert occurs";
        const QList<std::pair<const char*, QString>> rows{
            {"10.0.0.9| 1.3.6 |007|ops@x.org", ""},
            {"|1.3.x||ops@x.org", "Trap OID is not valid"},
            {"|1.-3||ops@x.org", "Trap OID is not valid"},
            {"|1.3|1e3|ops@x.org", "Trap value must be a number or empty"},
            {"|1.3||a@x.org,b@x.org", mail},
            {"|1.3||", mail},
            {"10.0.0.9;x|1.3||ops@x.org", "*"}};
        for (const auto& [fields, error] : rows)
            QTest::newRow(fields) << QString(fields) << error;
    }

    void editor()
    {
        ScriptedPrompts prompts;
        TrapEditDialog dialog(m_mib.model.get());
        QFETCH(QString, fields);
        const char* const edits[] = {"ipEdit", "oidEdit", "valueEdit", "emailEdit"};
        for (int i = 0; i < 4; ++i)
            field(&dialog, edits[i])->setText(fields.section('|', i, i));
        QFETCH(QString, error);
        QString got;
        const Entry entry = dialog.buildEntry(&got);
        if (error == "*")
            error = entry.problem();
        QCOMPARE(got, error);
        QCOMPARE(error.isEmpty(), entry.ip == "10.0.0.9" && entry.oidText() == "1.3.6" && entry.value == "7");
        button(&dialog, "saveButton")->click();
        QCOMPARE(dialog.result(), int(error.isEmpty() ? QDialog::Accepted : QDialog::Rejected));
        const QString shown =
            prompts.asked.isEmpty() ? QString() : prompts.asked.last().title + ": " + prompts.asked.last().text;
        QCOMPARE(shown, error.isEmpty() ? QString() : "Trap alert parameters: " + error);
    }

    void editorFills()
    {
        TrapEditDialog dialog(m_mib.model.get());
        dialog.setNew("10.0.0.9", m_mib.at("1.3.6.1.4.1.7"));
        QVERIFY(dialog.windowTitle() == "Add new trap alert" && field(&dialog, "ipEdit")->text() == "10.0.0.9");
        const auto* name = dialog.findChild<QLabel*>("nameLabel");
        QVERIFY(field(&dialog, "oidEdit")->text() == kTrap && name->text() == "vendorTrap" &&
                name->toolTip() == "Sent when <power> fails.");
        QVERIFY(button(&dialog, "anyValueBox")->isChecked() && !field(&dialog, "valueEdit")->isEnabled() &&
                !button(&dialog, "anyIpBox")->isChecked() && field(&dialog, "ipEdit")->isEnabled());

        const Entry entry{"", {1, 3, 9}, "5", "ops@x.org", "down"};
        dialog.setEntry(entry);
        QVERIFY(dialog.windowTitle() == "Edit trap alert" && !field(&dialog, "ipEdit")->isEnabled() &&
                field(&dialog, "oidEdit")->text() == "1.3.9" && name->text().isEmpty());
        QString error;
        QVERIFY(dialog.buildEntry(&error) == entry && error.isEmpty());
    }

    void list()
    {
        ScriptedPrompts prompts;
        QVERIFY(TrapAlertFile::writeEntries(
            m_path, {{"", {1, 3, 6, 1, 4, 1, 7}, "", "<ops@x.org>", "power"}, {"10.0.0.1", {}, "5", "a@x.org", ""}}));
        TrapListDialog dialog(m_path, m_mib.model.get(), nullptr);
        TrapTableWidget* table = dialog.table();
        QCOMPARE(table->entryText(table->entries().at(0)), "Any IP - vendorTrap (" + kTrap + ") - Any value");
        QCOMPARE(table->entryText(table->entries().at(1)), "10.0.0.1 - Any OID - 5");
        // The first rule is shown from the start.
        QVERIFY(dialog.windowTitle() == "Tessaro - Trap Alerts" && dialog.modifyAction()->isEnabled() &&
                table->placeholder()->isHidden());
        QCOMPARE(dialog.details()->toPlainText().replace(QChar::LineSeparator, '\n'),
                 "From any IP\nTrap OID: vendorTrap (" + kTrap +
                     ")\nWith any value\nSend email to: <ops@x.org>\nDescription: power\n\nSent when <power> fails.");

        // Each change is saved at once.
        whenModal<TrapEditDialog>([](TrapEditDialog* editor) {
            button(editor, "anyValueBox")->setChecked(false);
            field(editor, "valueEdit")->setText("10");
            button(editor, "saveButton")->click();
        });
        dialog.modifyAction()->trigger();
        QVERIFY(readBytes(m_path).contains("\t10\t") &&
                dialog.details()->toPlainText().contains("When value equals: 10"));

        // A delete the disk refuses stays in the list, and closing then asks first.
        setSaveStepFilter([](SaveStep) { return false; });
        prompts.answer(QMessageBox::No);
        dialog.deleteAction()->trigger();
        QCOMPARE(prompts.asked.last().text,
                 "Are you sure you want to delete trap alert\n\"Any IP - vendorTrap (" + kTrap + ") - 10\"?");
        prompts.answer(QMessageBox::Yes);
        dialog.deleteAction()->trigger();
        QVERIFY(prompts.asked.last().title == "Trap Alerts Not Saved" && prompts.asked.last().text.contains(m_path));
        QVERIFY(table->entries().size() == 1 && TrapAlertFile::readEntries(m_path).size() == 2);
        QSignalSpy finished(&dialog, &QDialog::finished);
        prompts.answer(QMessageBox::No);
        dialog.reject();
        QVERIFY(finished.isEmpty() && prompts.asked.last().text.contains("Close anyway"));

        // The next change saves the whole list: the last rule gone leaves the header alone.
        setSaveStepFilter(nullptr);
        table->selectRows({0});
        prompts.answer(QMessageBox::Yes);
        QTest::keyClick(table->view(), Qt::Key_Delete);
        QCOMPARE(readBytes(m_path), TrapAlertFile::header());
        QVERIFY(!table->placeholder()->isHidden() && dialog.details()->toPlainText().isEmpty());
        dialog.reject();
        QCOMPARE(finished.size(), 1);
    }
};

QTEST_MAIN(TestOidDialogs)
#include "test_oiddialogs.moc"
