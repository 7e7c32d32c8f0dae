#include "ui/browser/FindDialog.h"
#include "LoadedMib.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

class TestFindDialog final : public QObject
{
    Q_OBJECT

private slots:
    // The line edit's clear button fades with animations that only the event loop ends.
    void cleanupTestCase() { QTest::qWait(400); }
    void search_data();
    void search();
    void initialState();
    void history_data();
    void history();
    void returnAndClose();

private:
    static QComboBox* textBox(FindDialog* dialog) { return dialog->findChild<QComboBox*>(); }
    template <typename T> static T* widget(FindDialog* dialog, const char* text)
    {
        for (T* candidate : dialog->findChildren<T*>()) {
            if (candidate->text() == QLatin1String(text))
                return candidate;
        }
        return nullptr;
    }
    static void findNext(FindDialog* dialog, const QString& text)
    {
        textBox(dialog)->setEditText(text);
        widget<QPushButton>(dialog, "Find Next")->click();
    }
    static QString describe(const FindDialog::Parameters& p)
    {
        return QStringLiteral("%1|%2|%3%4|%5|%6")
            .arg(p.text, p.history.join(','))
            .arg(p.matchCase)
            .arg(p.searchInDescriptions)
            .arg(p.searchFrom)
            .arg(p.searchFor);
    }
};

void TestFindDialog::search_data()
{
    // The sample tree in pre-order: iso org dod internet mgmt mib-2 system sysDescr sysObjectID
    // sysName interfaces ifNumber ifTable ifEntry ifIndex ifDescr private enterprises vendorTrap snmpV2.
    // Text | options (1: match case, 2: in descriptions) | from | for | current node | found.
    QTest::addColumn<QStringList>("row");
    for (const char* row : {"1.3.6.1.2.1.1.5|1|2|1|1.3|sysName",     // a path ignores the options
                            " .1.3.6.1.2.1.1.5 |0|0|2||sysName",     // blanks around a path
                            "sys|0|1|0|1.3.6.1.2.1.1.2|sysDescr",    // leaves, from the root
                            "sys|0|1|1||system",                     // groups
                            "  Name |1|1|2||sysName",                // trimmed, with case
                            "e|0|2|2||enterprises",                  // vendor MIBs
                            "sys|0|0|0|1.3.6.1.2.1.1.1|sysObjectID", // after the current node
                            "sysName|0|0|2|1.3.6.1.2.1.1.5|sysName", // the current node is the only match
                            "e|0|0|2||internet",                     // no current node: the root
                            "textual|0|1|2||",                       // names only
                            "TEXTUAL|2|1|2||sysDescr",               // descriptions too
                            "sys|0|1|7||"})                          // no such node kind
        QTest::newRow(row) << QString(row).split('|');
}

void TestFindDialog::search()
{
    QFETCH(QStringList, row);
    LoadedMib mib;
    QVERIFY(mib.load());
    const OidPtr current = mib.model->findByPath(row.at(4));
    QVERIFY(row.at(4).isEmpty() || current);
    const int options = row.at(1).toInt();
    const FindDialog::Parameters parameters{
        row.at(0), {}, bool(options & 1), bool(options & 2), row.at(2).toInt(), row.at(3).toInt()};
    QCOMPARE(FindDialog::search(*mib.model, parameters, current).data().toString(), row.at(5));
}

void TestFindDialog::initialState()
{
    const FindDialog::Parameters given{"CPU", {"temperature", "CPU", "memory"}, true, true, 2, 1};
    FindDialog dialog(given);
    QComboBox* box = textBox(&dialog);
    QCOMPARE(box->count(), 3);
    QCOMPARE(box->currentText(), QStringLiteral("CPU"));
    QCOMPARE(box->lineEdit()->selectedText(), QStringLiteral("CPU"));
    QVERIFY(widget<QRadioButton>(&dialog, "Vendor MIBs")->isChecked());
    QVERIFY(widget<QRadioButton>(&dialog, "Group Name")->isChecked());
    QCOMPARE(describe(dialog.parameters()), describe(given));

    // Codes outside 0..2 check no button, which reads back as the defaults.
    FindDialog outside({"CPU", {}, false, false, 5, -1});
    for (const QRadioButton* radio : outside.findChildren<QRadioButton*>())
        QVERIFY2(!radio->isChecked(), qPrintable(radio->text()));
    QCOMPARE(describe(outside.parameters()), describe({"CPU", {}, false, false, 0, 2}));
}

void TestFindDialog::history_data()
{
    QTest::addColumn<QStringList>("start");
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QStringList>("expected");
    QStringList full;
    for (int i = 0; i < FindDialog::MaxHistory; ++i)
        full << QStringLiteral("text%1").arg(i);
    QStringList moved = full;
    moved.move(moved.size() - 1, 0);
    auto split = [](const char* list) { return QString(list).split(',', Qt::SkipEmptyParts); };
    const char* const rows[][4] = {{"most recent first", "old", "a,b", "b,a,old"},
                                   {"repeat moves to front", "x,y,z", "z", "z,x,y"},
                                   {"same text twice", "", "a,a", "a"},
                                   {"case makes entries distinct", "", "CPU,cpu", "cpu,CPU"},
                                   {"trimmed", "ifTable", "  ifTable\t", "ifTable"},
                                   {"blank does nothing", "a", "   ,", "a"}};
    for (const auto& row : rows)
        QTest::newRow(row[0]) << split(row[1]) << split(row[2]) << split(row[3]);
    QTest::newRow("one more drops the oldest") << full << QStringList{"new"} << QStringList{"new"} + full.mid(0, 49);
    QTest::newRow("full, repeat of the oldest") << full << QStringList{full.last()} << moved;
}

void TestFindDialog::history()
{
    QFETCH(QStringList, start);
    QFETCH(QStringList, typed);
    QFETCH(QStringList, expected);
    FindDialog dialog({{}, start});
    QSignalSpy spy(&dialog, &FindDialog::findNext);
    for (const QString& text : typed)
        findNext(&dialog, text);
    QStringList shown;
    for (int i = 0; i < textBox(&dialog)->count(); ++i)
        shown << textBox(&dialog)->itemText(i);
    QCOMPARE(shown, expected);
    QCOMPARE(spy.count(), typed.first().trimmed().isEmpty() ? 0 : typed.size());
    if (!spy.isEmpty()) {
        const auto sent = spy.last().first().value<FindDialog::Parameters>();
        QCOMPARE(sent.text, expected.first());
        QCOMPARE(sent.history, expected);
    }
}

void TestFindDialog::returnAndClose()
{
    QPointer<FindDialog> dialog = new FindDialog({{}, {"a"}, false, false, 1, 2});
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    // Return searches once, also through the queued connection the main window may use.
    QObject receiver;
    QStringList received;
    connect(
        dialog.data(), &FindDialog::findNext, &receiver,
        [&received](const FindDialog::Parameters& parameters) { received << describe(parameters); },
        Qt::QueuedConnection);
    QSignalSpy closed(dialog.data(), &FindDialog::closed);
    textBox(dialog)->lineEdit()->setText(QStringLiteral("sysName"));
    QTest::keyClick(textBox(dialog)->lineEdit(), Qt::Key_Return);
    QTRY_COMPARE(received, QStringList{"sysName|sysName,a|00|1|2"});
    QTest::qWait(20);
    QCOMPARE(received.size(), 1);

    // Clear History is the last entry of the text's context menu; closing reports the options.
    widget<QCheckBox>(dialog, "Match case")->setChecked(true);
    widget<QRadioButton>(dialog, "OID Name")->setChecked(true);
    emit textBox(dialog)->lineEdit()->customContextMenuRequested(QPoint(2, 2));
    QPointer<QMenu> menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(menu && menu->actions().size() > 2); // the line edit's own entries come first
    QCOMPARE(menu->actions().last()->text(), QStringLiteral("Clear History"));
    menu->actions().last()->trigger();
    menu->hide();
    QTRY_VERIFY(!menu);
    QCOMPARE(textBox(dialog)->count(), 0);
    widget<QPushButton>(dialog, "Cancel")->click();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(describe(closed.first().first().value<FindDialog::Parameters>()).section('|', 1), "|10|1|0");
    QTRY_VERIFY(!dialog); // deletes itself
}

QTEST_MAIN(TestFindDialog)
#include "test_finddialog.moc"
