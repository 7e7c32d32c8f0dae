// The trap alert dialogs: the editor's checks and how it fills, and the list's texts, summary,
// modify, delete and a save the disk refuses.

#include "LoadedMib.h"
#include "ModalDialogs.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"
#include "config/ConfigFile.h"
#include "ui/traps/TrapEditDialog.h"
#include "ui/traps/TrapListDialog.h"
#include "ui/traps/TrapTableWidget.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTextBrowser>
#include <QtTest>

using Entry = TrapAlertFile::Entry;

namespace {

const QString kTrap = "1.3.6.1.4.1.7"; // vendorTrap

const auto field = [](QWidget* dialog, const char* name) { return dialog->findChild<QLineEdit*>(name); };
const auto button = [](QWidget* dialog, const char* name) { return dialog->findChild<QAbstractButton*>(name); };

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

QTEST_MAIN(TestTrapDialogs)
#include "test_trapdialogs.moc"
