// The alert e-mail settings dialog on the service's key in a temporary folder.

#include "ModalDialogs.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"
#include "platform/RegistryStore.h"
#include "ui/service/SettingsDialog.h"

#include <QtTest>

namespace {

const QString kSender = "alerts@sender.example";
const QString kDefaults = "+|25+|" + kSender + "+|false+|-|-|TLS+|false+";

// The form's controls in order: each one's value, then "+" when enabled.
QString shown(QWidget* dialog)
{
    QStringList shown;
    for (QWidget* w : dialog->findChildren<QWidget*>(QRegularExpression("(Edit|Spin|Combo|Check)$")))
        shown << w->metaObject()->userProperty().read(w).toString() + (w->isEnabled() ? "+" : "-");
    return shown.join('|');
}

// The values as the service reads them; "#" and the text for one stored encrypted.
QString stored()
{
    QStringList values;
    for (const QString name : {"DestEmailServer", "SMTPPort", "DestEmailFrom", "SMTPUseAuthentication",
                               "DestEmailUsername", "DestEmailPassword", "SMTPEncryption", "SMTPIgnoreSslErrors"}) {
        const auto value = ServiceRegistry::readEncryptedValue(name);
        values << (value.isDecodable() && !value.stored.isEmpty() ? "#" + *value.text : value.stored);
    }
    return values.join('|');
}

} // namespace

class TestSettingsDialog final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;

private slots:
    void init() // a plain file where the "failing" key's folder should be: nothing can be stored
    {
        const QString root = m_root.filePath(QTest::currentDataTag());
        QVERIFY(qstrcmp(QTest::currentDataTag(), "failing") || writeBytes(root, "x"));
        qputenv("TESSARO_REGISTRY_ROOT", QFile::encodeName(root));
    }

    void saves_data()
    {
        QTest::addColumn<QVariantMap>("values"); // stored in the native view; "*": encrypted as the program does
        QTest::addColumn<QVariantMap>("edits");  // by object name: its value
        QTest::addColumn<int>("key");            // 0: "Save" clicked
        QTest::addColumn<QString>("form");       // after closing
        QTest::addColumn<QString>("saved");      // and the warning shown
        const QVariantMap none;
        const QString written = "|25|" + kSender + "|0|||2|0";
        QTest::newRow("none") << none << none << 0 << kDefaults << written;
        QTest::newRow("escape") << none << none << int(Qt::Key_Escape) << kDefaults << "|||||||";
        QTest::newRow("0, 5") << QVariantMap{{"SMTPPort", 0}, {"SMTPEncryption", 5}} << none << int(Qt::Key_Return)
                              << kDefaults << written;
        const QVariantMap all{{"DestEmailServer", "smtp.example"}, {"SMTPPort", 587},
                              {"DestEmailFrom", "noc@x"},          {"SMTPUseAuthentication", 2},
                              {"DestEmailUsername*", "bob"},       {"SMTPEncryption", 0},
                              {"SMTPIgnoreSslErrors", 1}};
        QTest::newRow("all") << all << none << 0 << "smtp.example+|587+|noc@x+|true+|bob+|+|None+|true-"
                             << "smtp.example|587|noc@x|1|#bob||0|1";
        const QVariantMap undecodable{
            {"DestEmailUsername", "zz"}, {"DestEmailPassword", "0123"}, {"SMTPPort", 70000}, {"SMTPEncryption", -1}};
        QTest::newRow("undecodable") << undecodable << none << 0 << kDefaults << "|25|" + kSender + "|0|zz|0123|2|0";
        const QVariantMap typed{{"serverEdit", " smtp.example "}, {"senderEdit", " noc@x "},
                                {"authenticationCheck", true},    {"userNameEdit", " bob "},
                                {"passwordEdit", " pw "},         {"encryptionCombo", "None"},
                                {"ignoreSslErrorsCheck", true}};
        const QString typedForm = " smtp.example +|25+| noc@x +|true+| bob +| pw +|None+|true-";
        QTest::newRow("typed") << undecodable << typed << 0 << typedForm << "smtp.example|25| noc@x |1|#bob|# pw |0|1";
        QTest::newRow("failing") << none << typed << 0 << typedForm
                                 << "|||||||warning" // nothing stored
                                    "The settings were not all saved: DestEmailServer, SMTPPort, "
                                    "DestEmailFrom, SMTPUseAuthentication, DestEmailUsername, DestEmailPassword, "
                                    "SMTPEncryption, SMTPIgnoreSslErrors";
    }

    // Cancel has the focus; Enter saves and Escape cancels. A failed save keeps the dialog open.
    void saves()
    {
        QFETCH(QVariantMap, values);
        QFETCH(QVariantMap, edits);
        QFETCH(int, key);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            QVERIFY(it.key().endsWith('*')
                        ? ServiceRegistry::writeEncryptedValue(it.key().chopped(1), {{}, it->toString(), true})
                        : RegistryStore(RegistryStore::View::Native).setValue(it.key(), *it));
        ScriptedPrompts prompts;
        SettingsDialog dialog(kSender);
        dialog.show();
        for (auto it = edits.cbegin(); it != edits.cend(); ++it) {
            QWidget* control = dialog.findChild<QWidget*>(it.key());
            control->metaObject()->userProperty().write(control, *it);
        }
        QCOMPARE(dialog.focusWidget(), buttonWithText(&dialog, "Cancel"));
        dialog.setResult(-1);
        key ? QTest::keyClick(dialog.focusWidget(), Qt::Key(key)) : buttonWithText(&dialog, "Save")->click();
        QCOMPARE(dialog.result(), key == Qt::Key_Escape ? 0 : prompts.asked.isEmpty() ? 1 : -1);
        QTEST(shown(&dialog), "form");
        const ScriptedPrompts::Asked warning = prompts.asked.value(0);
        QTEST(QString(stored() + warning.kind + warning.text.section(" could not", 0, 0)), "saved");
    }
};

QTEST_MAIN(TestSettingsDialog)
#include "test_settingsdialog.moc"
