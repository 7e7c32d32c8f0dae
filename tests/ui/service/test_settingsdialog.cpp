// The alert e-mail settings dialog on the service's key in a temporary folder: what it shows
// for stored values, what "Save" writes, the keys, and a write that fails.

#include "ModalDialogs.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"
#include "platform/RegistryStore.h"
#include "ui/service/SettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

namespace {

const QString kSender = "alerts@sender.example";
const QString kDefaults = "+|25+|" + kSender + "+|false+|-|-|TLS+|false+";

// The form's controls in order: each one's text or check, then "+" when enabled.
QString shown(QWidget* dialog)
{
    QStringList shown;
    for (QWidget* w : dialog->findChild<QGroupBox*>()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const char* value = qobject_cast<QComboBox*>(w)   ? "currentText"
                            : qobject_cast<QCheckBox*>(w) ? "checked"
                                                          : "text";
        if (!qobject_cast<QLabel*>(w))
            shown << w->property(value).toString() + (w->isEnabled() ? "+" : "-");
    }
    return shown.join('|');
}

// Stored in the native view; a name ending in "*" is encrypted as the program writes it.
void store(const QVariantMap& values)
{
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        ServiceRegistry::EncryptedValue value;
        value.setText(it.value().toString());
        QVERIFY(it.key().endsWith('*') ? ServiceRegistry::writeEncryptedValue(it.key().chopped(1), value)
                                       : RegistryStore(RegistryStore::View::Native).setValue(it.key(), it.value()));
    }
}

// The values as the service reads them, joined by "|".
QString stored(const QStringList& names)
{
    QStringList values;
    for (const QString& name : names)
        values << ServiceRegistry::readValue(name).toString();
    return values.join('|');
}

} // namespace

class TestSettingsDialog final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        qputenv("TESSARO_REGISTRY_ROOT", QFile::encodeName(m_root->path()));
    }

    void loads_data()
    {
        QTest::addColumn<QVariantMap>("values");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << QVariantMap() << kDefaults;
        QTest::newRow("0, 5") << QVariantMap{{"SMTPPort", 0}, {"SMTPEncryption", 5}} << kDefaults;
        QTest::newRow("70000, -1, on") << QVariantMap{{"SMTPPort", 70000},
                                                      {"SMTPEncryption", -1},
                                                      {"SMTPUseAuthentication", "on"}}
                                       << kDefaults;
        QTest::newRow("all") << QVariantMap{{"DestEmailServer", "smtp.example"}, {"SMTPPort", 587},
                                            {"DestEmailFrom", "noc@x"},          {"SMTPUseAuthentication", 2},
                                            {"DestEmailUsername*", "bob"},       {"SMTPEncryption", 0},
                                            {"SMTPIgnoreSslErrors", 1}}
                             << "smtp.example+|587+|noc@x+|true+|bob+|+|None+|true-";
    }

    void loads()
    {
        QFETCH(QVariantMap, values);
        QFETCH(QString, expected);
        store(values);
        SettingsDialog dialog(kSender);
        QCOMPARE(shown(&dialog), expected);
    }

    // Saved as shown, then edited: values it cannot show keep their bytes, the server and user
    // name are trimmed, and the SSL choice is written while encryption is off.
    void saves()
    {
        store({{"SMTPEncryption", 5},
               {"SMTPIgnoreSslErrors", 1},
               {"DestEmailUsername", "zz"},
               {"DestEmailPassword", "0123"}});
        SettingsDialog asShown(kSender);
        buttonWithText(&asShown, "Save")->click();
        QCOMPARE(asShown.result(), QDialog::Accepted);
        const QStringList names{"SMTPEncryption", "DestEmailUsername", "DestEmailPassword",     "DestEmailServer",
                                "DestEmailFrom",  "SMTPPort",          "SMTPUseAuthentication", "SMTPIgnoreSslErrors"};
        QCOMPARE(stored(names), QString("2|zz|0123||" + kSender + "|25|0|1"));

        SettingsDialog dialog(kSender);
        const auto type = [&dialog](const char* name, const QString& text) {
            dialog.findChild<QLineEdit*>(name)->setText(text);
        };
        type("serverEdit", " smtp.example ");
        type("senderEdit", " noc@x ");
        type("userNameEdit", " bob ");
        type("passwordEdit", " pw ");
        dialog.findChild<QCheckBox*>("authenticationCheck")->click();
        dialog.findChild<QComboBox*>()->setCurrentIndex(0);
        QCOMPARE(shown(&dialog), " smtp.example +|25+| noc@x +|true+| bob +| pw +|None+|true-");
        buttonWithText(&dialog, "Save")->click();
        QCOMPARE(stored(names), "0|" + stored(names.mid(1, 2)) + "|smtp.example| noc@x |25|1|1");
        QCOMPARE(ServiceRegistry::readEncryptedValue("DestEmailUsername").text, QString("bob"));
        const ServiceRegistry::EncryptedValue password = ServiceRegistry::readEncryptedValue("DestEmailPassword");
        QVERIFY(password.text == QString(" pw ") && password.stored.size() == 32);
    }

    // Cancel has the focus; Escape cancels, Enter saves.
    void keys()
    {
        for (const int key : {Qt::Key_Escape, Qt::Key_Return}) {
            SettingsDialog dialog(kSender);
            dialog.show();
            QCOMPARE(dialog.focusWidget(), buttonWithText(&dialog, "Cancel"));
            dialog.setResult(-1);
            QTest::keyClick(dialog.focusWidget(), Qt::Key(key));
            QCOMPARE(dialog.result(), key == Qt::Key_Return ? QDialog::Accepted : QDialog::Rejected);
            QCOMPARE(stored({"SMTPPort"}), key == Qt::Key_Return ? "25" : "");
        }
    }

    // A plain file where the key's folder should be: the user is told which values were not
    // stored, and the dialog stays open with what was typed.
    void failedWrite()
    {
        QVERIFY(writeBytes(m_root->filePath("file"), "x"));
        qputenv("TESSARO_REGISTRY_ROOT", QFile::encodeName(m_root->filePath("file")));
        ScriptedPrompts prompts;
        SettingsDialog dialog(kSender);
        dialog.show();
        dialog.findChild<QLineEdit*>("serverEdit")->setText("smtp.example");
        buttonWithText(&dialog, "Save")->click();
        QVERIFY(dialog.isVisible() && shown(&dialog).startsWith("smtp.example+|"));
        QCOMPARE(prompts.asked.size(), 1);
        QVERIFY(prompts.asked[0].kind == "warning" &&
                prompts.asked[0].text.contains(
                    "not all saved: DestEmailServer, SMTPPort, DestEmailFrom, SMTPUseAuthentication, SMTPEncryption, "
                    "SMTPIgnoreSslErrors could not be stored"));
    }
};

QTEST_MAIN(TestSettingsDialog)
#include "test_settingsdialog.moc"
