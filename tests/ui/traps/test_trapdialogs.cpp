// The trap alert dialogs: the editor's checks and how it fills, and the list's texts, summary,
// modify, delete and a save the disk refuses.

#include "LoadedMib.h"
#include "ModalDialogs.h"
#include "ScriptedPrompts.h"
#include "config/ConfigFile.h"
#include "ui/traps/TrapEditDialog.h"
#include "ui/traps/TrapListDialog.h"
#include "ui/traps/TrapTableWidget.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTextBrowser>
#include <QtTest>

using Entry = TrapAlertFile::Entry;

namespace {

const QString kTrap = "1.3.6.1.4.1.7"; // vendorTrap

QLineEdit* field(QWidget* dialog, const char* name)
{
    return dialog->findChild<QLineEdit*>(name);
}

} // namespace

class TestTrapDialogs final : public QObject
{
    Q_OBJECT

    LoadedMib m_mib;
    QTemporaryDir m_dir;
    const QString m_path = m_dir.filePath("TrapAlert.cfg");

private slots:
    void initTestCase()
    {
        QVector<MibTestDb::Node> nodes = MibTestDb::sampleNodes();
        nodes[18].description = "Sent when <power> fails.";
        QVERIFY(m_mib.load(nodes));
    }

    void editor_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("oid");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("error"); // "*": the entry's own problem
        const QString mail = "Specify email to receive messages when the trap alert occurs";
        const QList<std::tuple<const char*, const char*, const char*, const char*, const char*, QString>> rows{
            {"fine", "10.0.0.9", " 1.3.6 ", "007", "ops@x.org", ""},
            {"OID with a letter", "", "1.3.x", "", "ops@x.org", "Trap OID is not valid"},
            {"negative OID component", "", "1.-3", "", "ops@x.org", "Trap OID is not valid"},
            {"value 1e3", "", "1.3", "1e3", "ops@x.org", "Trap value must be a number or empty"},
            {"two addresses", "", "1.3", "", "a@x.org,b@x.org", mail},
            {"no address", "", "1.3", "", "", mail},
            {"';' in the source", "10.0.0.9;x", "1.3", "", "ops@x.org", "*"},
            {"'\"' in the e-mail", "", "1.3", "", "\"ops\"@x.org", "*"}};
        for (const auto& [name, ip, oid, value, email, error] : rows)
            QTest::newRow(name) << QString(ip) << QString(oid) << QString(value) << QString(email) << error;
    }

    void editor()
    {
        ScriptedPrompts prompts;
        TrapEditDialog dialog(m_mib.model.get());
        dialog.setNew(QString(), m_mib.at("1.3.6.1.4.1.7"));
        dialog.findChild<QCheckBox*>("anyValueBox")->setChecked(false);
        QFETCH(QString, ip);
        QFETCH(QString, oid);
        QFETCH(QString, value);
        QFETCH(QString, email);
        const std::pair<const char*, QString> texts[] = {
            {"ipEdit", ip}, {"oidEdit", oid}, {"valueEdit", value}, {"emailEdit", email}};
        for (const auto& [name, text] : texts)
            field(&dialog, name)->setText(text);
        QFETCH(QString, error);
        QString got;
        const Entry entry = dialog.buildEntry(&got);
        if (error == "*")
            error = entry.problem();
        QVERIFY(!error.isEmpty() || QTest::currentDataTag() == QLatin1String("fine"));
        QCOMPARE(got, error);
        if (error.isEmpty())
            QVERIFY(entry.ip == "10.0.0.9" && entry.oidText() == "1.3.6" && entry.value == "7");
        dialog.findChild<QPushButton*>("saveButton")->click();
        QCOMPARE(dialog.result(), error.isEmpty() ? int(QDialog::Accepted) : int(QDialog::Rejected));
        QCOMPARE(prompts.asked.size(), error.isEmpty() ? 0 : 1);
        if (!error.isEmpty())
            QVERIFY(prompts.asked.last().title == "Trap alert parameters" && prompts.asked.last().text == error);
    }

    void editorFills()
    {
        TrapEditDialog dialog(m_mib.model.get());
        dialog.setNew("10.0.0.9", m_mib.at("1.3.6.1.4.1.7"));
        QCOMPARE(dialog.windowTitle(), "Add new trap alert");
        QVERIFY(field(&dialog, "ipEdit")->text() == "10.0.0.9" && field(&dialog, "oidEdit")->text() == kTrap);
        const auto* name = dialog.findChild<QLabel*>("nameLabel");
        QVERIFY(name->text() == "vendorTrap" && name->toolTip() == "Sent when <power> fails.");
        QVERIFY(dialog.findChild<QCheckBox*>("anyValueBox")->isChecked() && !field(&dialog, "valueEdit")->isEnabled());
        QVERIFY(!dialog.findChild<QCheckBox*>("anyIpBox")->isChecked() && field(&dialog, "ipEdit")->isEnabled());

        const Entry entry{"", {1, 3, 9}, "5", "ops@x.org", "down"};
        dialog.setEntry(entry);
        QCOMPARE(dialog.windowTitle(), "Edit trap alert");
        QVERIFY(dialog.findChild<QCheckBox*>("anyIpBox")->isChecked() && !field(&dialog, "ipEdit")->isEnabled());
        QVERIFY(field(&dialog, "oidEdit")->text() == "1.3.9" && name->text().isEmpty());
        QString error;
        QVERIFY(dialog.buildEntry(&error) == entry && error.isEmpty());
    }

    void list()
    {
        ScriptedPrompts prompts;
        const auto reset = qScopeGuard([] { setSaveStepFilter(nullptr); });
        QVERIFY(TrapAlertFile::writeEntries(
            m_path, {{"", {1, 3, 6, 1, 4, 1, 7}, "", "<ops@x.org>", "power"}, {"10.0.0.1", {}, "5", "a@x.org", ""}}));
        TrapListDialog dialog(m_path, m_mib.model.get(), nullptr);
        QCOMPARE(dialog.windowTitle(), "Tessaro - Trap Alerts");
        TrapTableWidget* table = dialog.table();
        QCOMPARE(table->entryText(table->entries().at(0)), "Any IP - vendorTrap (" + kTrap + ") - Any value");
        QCOMPARE(table->entryText(table->entries().at(1)), "10.0.0.1 - Any OID - 5");
        QVERIFY(!dialog.modifyAction()->isEnabled() && table->placeholder()->isHidden());
        table->selectRows({0});
        QCOMPARE(dialog.details()->toPlainText().replace(QChar::LineSeparator, '\n'),
                 "From any IP\nTrap OID: vendorTrap (" + kTrap +
                     ")\nWith any value\nSend email to: <ops@x.org>\nDescription: power\n\nSent when <power> fails.");

        // Modified through the action and through Enter; each change is saved at once.
        for (const QString value : {"9", "10"}) {
            whenModal<TrapEditDialog>([value](TrapEditDialog* editor) {
                editor->findChild<QCheckBox*>("anyValueBox")->setChecked(false);
                field(editor, "valueEdit")->setText(value);
                editor->findChild<QPushButton*>("saveButton")->click();
            });
            if (value == "9")
                dialog.modifyAction()->trigger();
            else
                QTest::keyClick(table->view(), Qt::Key_Return);
            QCOMPARE(TrapAlertFile::readEntries(m_path).at(0).value, value);
        }
        QVERIFY(dialog.details()->toPlainText().contains("When value equals: 10"));

        // A delete the disk refuses stays in the list, and closing then asks first.
        setSaveStepFilter([](SaveStep) { return false; });
        prompts.answer(QMessageBox::No);
        dialog.deleteAction()->trigger();
        QCOMPARE(prompts.asked.last().text,
                 "Are you sure you want to delete trap alert\n\"Any IP - vendorTrap (" + kTrap + ") - 10\"?");
        QCOMPARE(table->entries().size(), 2);
        prompts.answer(QMessageBox::Yes);
        dialog.deleteAction()->trigger();
        QVERIFY(prompts.asked.last().title == "Trap Alerts Not Saved" && prompts.asked.last().text.contains(m_path));
        QCOMPARE(table->entries().size(), 1);
        QCOMPARE(TrapAlertFile::readEntries(m_path).size(), 2);
        QSignalSpy finished(&dialog, &QDialog::finished);
        prompts.answer(QMessageBox::No);
        dialog.reject();
        QVERIFY(finished.isEmpty() && prompts.asked.last().text.contains("Close anyway"));

        // The next change saves the whole list: the last rule gone leaves the header alone.
        setSaveStepFilter(nullptr);
        table->selectRows({0});
        prompts.answer(QMessageBox::Yes);
        QTest::keyClick(table->view(), Qt::Key_Delete);
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == TrapAlertFile::header());
        QVERIFY(!table->placeholder()->isHidden() && dialog.details()->toPlainText().isEmpty());
        dialog.reject();
        QCOMPARE(finished.size(), 1);
    }
};

QTEST_MAIN(TestTrapDialogs)
#include "test_trapdialogs.moc"
