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
    void initTestCase() { QVERIFY(m_mib.load()); }
    // The line edit's clear button fades in and out with animations that only the event loop
    // ends and frees.
    void cleanupTestCase() { QTest::qWait(400); }
    void search();
    void initialState();
    void history_data();
    void history();
    void returnSearchesOnce();
    void closeReportsAndDeletes_data();
    void closeReportsAndDeletes();

private:
    static QComboBox* textBox(FindDialog* dialog) { return dialog->findChild<QComboBox*>(); }
    template <typename T> static T* widget(FindDialog* dialog, const char* text)
    {
        for (T* candidate : dialog->findChildren<T*>())
            if (candidate->text() == QLatin1String(text))
                return candidate;
        return nullptr;
    }
    static void findNext(FindDialog* dialog, const QString& text)
    {
        textBox(dialog)->setEditText(text);
        widget<QPushButton>(dialog, "Find Next")->click();
    }
    static FindDialog::Parameters parameters(const QString& text, bool matchCase, bool inDescriptions, int from,
                                             int searchFor)
    {
        FindDialog::Parameters p;
        p.text = text;
        p.matchCase = matchCase;
        p.searchInDescriptions = inDescriptions;
        p.searchFrom = from;
        p.searchFor = searchFor;
        return p;
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

    LoadedMib m_mib;
};

void TestFindDialog::search()
{
    // Sample tree in pre-order: iso org dod internet mgmt mib-2 system sysDescr sysObjectID
    // sysName interfaces ifNumber ifTable ifEntry ifIndex ifDescr private enterprises
    // vendorTrap snmpV2.
    struct Row
    {
        const char* text;
        int from;
        int searchFor;
        const char* current;
        const char* found;
        bool matchCase;
        bool inDescriptions;
    };
    const Row rows[] = {{"1.3.6.1.2.1.1.5", 2, 1, "1.3", "sysName", true, false}, // a path ignores the options
                        {" .1.3.6.1.2.1.1.5 ", 0, 2, "", "sysName", false, false},
                        {"sys", 1, 0, "1.3.6.1.2.1.1.2", "sysDescr", false, false}, // leaf names, from the root
                        {"sys", 1, 1, "", "system", false, false},
                        {"  Name ", 1, 2, "", "sysName", true, false}, // the text is trimmed
                        {"e", 1, 2, "1.3.6.1.4.1", "internet", false, false},
                        {"e", 2, 2, "", "enterprises", false, false}, // vendor MIBs
                        {"sys", 0, 0, "1.3.6.1.2.1.1.1", "sysObjectID", false, false},
                        {"sysName", 0, 2, "1.3.6.1.2.1.1.5", "sysName", false, false}, // current is the only match
                        {"e", 0, 2, "", "internet", false, false},                     // no current: from the root
                        {"textual", 1, 2, "", "", false, false},
                        {"TEXTUAL", 1, 2, "", "sysDescr", false, true},
                        {"sys", 1, 7, "", "", false, false}}; // unknown node kind
    for (const Row& row : rows) {
        const OidPtr current = *row.current ? m_mib.at(row.current) : OidPtr();
        QVERIFY(!*row.current || current);
        const QModelIndex index = FindDialog::search(
            *m_mib.model, parameters(row.text, row.matchCase, row.inDescriptions, row.from, row.searchFor), current);
        QVERIFY2(index.data().toString() == QLatin1String(row.found), qPrintable(row.text + index.data().toString()));
    }
}

void TestFindDialog::initialState()
{
    FindDialog::Parameters given = parameters("CPU", true, true, 2, 1);
    given.history = QStringList{"temperature", "CPU", "memory"};
    FindDialog dialog(given);
    QComboBox* box = textBox(&dialog);
    QCOMPARE(box->count(), 3);
    QCOMPARE(box->itemText(0), QStringLiteral("temperature"));
    QCOMPARE(box->currentText(), QStringLiteral("CPU"));
    QCOMPARE(box->lineEdit()->selectedText(), QStringLiteral("CPU"));
    QVERIFY(widget<QRadioButton>(&dialog, "Vendor MIBs")->isChecked());
    QVERIFY(widget<QRadioButton>(&dialog, "Group Name")->isChecked());
    for (const char* kind : {"OID Name", "Group Name", "Both"})
        QVERIFY2(!widget<QRadioButton>(&dialog, kind)->icon().isNull(), kind);
    QCOMPARE(describe(dialog.parameters()), describe(given));

    // Codes outside 0..2 leave both groups unchecked, which reads back as the defaults.
    given.searchFrom = 5;
    given.searchFor = -1;
    FindDialog outside(given);
    const QList<QRadioButton*> radios = outside.findChildren<QRadioButton*>();
    QCOMPARE(radios.size(), 6);
    for (const QRadioButton* radio : radios)
        QVERIFY2(!radio->isChecked(), qPrintable(radio->text()));
    given.searchFrom = 0;
    given.searchFor = 2;
    QCOMPARE(describe(outside.parameters()), describe(given));
}

void TestFindDialog::history_data()
{
    QTest::addColumn<QStringList>("start");
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("searches");

    QStringList full;
    for (int i = 0; i < FindDialog::MaxHistory; ++i)
        full << QStringLiteral("text%1").arg(i);

    QTest::newRow("most recent first") << QStringList{"old"} << QStringList{"a", "b"} << QStringList{"b", "a", "old"}
                                       << 2;
    QTest::newRow("repeat moves to front")
        << QStringList{"x", "y", "z"} << QStringList{"z"} << QStringList{"z", "x", "y"} << 1;
    QTest::newRow("same text twice") << QStringList() << QStringList{"a", "a"} << QStringList{"a"} << 2;
    QTest::newRow("case makes entries distinct")
        << QStringList() << QStringList{"CPU", "cpu"} << QStringList{"cpu", "CPU"} << 2;
    QTest::newRow("trimmed") << QStringList{"ifTable"} << QStringList{"  ifTable\t"} << QStringList{"ifTable"} << 1;
    QTest::newRow("blank does nothing") << QStringList{"a"} << QStringList{"   ", ""} << QStringList{"a"} << 0;
    QStringList dropped = full;
    dropped.removeLast();
    dropped.prepend(QStringLiteral("new"));
    QTest::newRow("51st drops the oldest") << full << QStringList{"new"} << dropped << 1;
    QStringList moved = full;
    moved.move(moved.size() - 1, 0);
    QTest::newRow("full history, repeat of the oldest") << full << QStringList{full.last()} << moved << 1;
}

void TestFindDialog::history()
{
    QFETCH(QStringList, start);
    QFETCH(QStringList, typed);
    QFETCH(QStringList, expected);
    QFETCH(int, searches);

    FindDialog::Parameters given;
    given.history = start;
    FindDialog dialog(given);
    QSignalSpy spy(&dialog, &FindDialog::findNext);
    for (const QString& text : typed)
        findNext(&dialog, text);

    QCOMPARE(spy.count(), searches);
    QCOMPARE(dialog.parameters().history, expected);
    QComboBox* box = textBox(&dialog);
    QStringList shown;
    for (int i = 0; i < box->count(); ++i)
        shown << box->itemText(i);
    QCOMPARE(shown, expected);
    if (searches > 0) {
        const auto sent = spy.last().first().value<FindDialog::Parameters>();
        QCOMPARE(sent.text, expected.first());
        QCOMPARE(sent.history, expected);
        QCOMPARE(box->currentText(), expected.first());
    }
}

void TestFindDialog::returnSearchesOnce()
{
    FindDialog::Parameters given;
    given.searchFrom = 1;
    FindDialog dialog(given);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // The main window may take the parameters through a queued connection.
    QVERIFY(QMetaType::type("FindDialog::Parameters") != QMetaType::UnknownType);
    QObject receiver;
    FindDialog::Parameters received;
    int calls = 0;
    connect(
        &dialog, &FindDialog::findNext, &receiver,
        [&](const FindDialog::Parameters& parameters) {
            received = parameters;
            ++calls;
        },
        Qt::QueuedConnection);
    QLineEdit* edit = textBox(&dialog)->lineEdit();
    edit->setText(QStringLiteral("sysName"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_COMPARE(calls, 1);
    QCOMPARE(received.text, QStringLiteral("sysName"));
    QCOMPARE(received.searchFrom, 1);
    QTest::qWait(20);
    QCOMPARE(calls, 1);
}

void TestFindDialog::closeReportsAndDeletes_data()
{
    QTest::addColumn<bool>("cancel"); // else: Clear History from the text's context menu, then close the window
    QTest::newRow("Clear History, then close") << false;
    QTest::newRow("Cancel") << true;
}

void TestFindDialog::closeReportsAndDeletes()
{
    QFETCH(bool, cancel);
    FindDialog::Parameters given;
    given.history = QStringList{"a"};
    QPointer<FindDialog> dialog = new FindDialog(given);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QSignalSpy closed(dialog.data(), &FindDialog::closed);
    QSignalSpy searched(dialog.data(), &FindDialog::findNext);
    findNext(dialog, QStringLiteral("b"));
    widget<QCheckBox>(dialog, "Match case")->setChecked(true);
    widget<QRadioButton>(dialog, "OID Name")->setChecked(true);
    if (cancel) {
        widget<QPushButton>(dialog, "Cancel")->click();
    } else {
        emit textBox(dialog)->lineEdit()->customContextMenuRequested(QPoint(2, 2));
        QPointer<QMenu> menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        const QList<QAction*> actions = menu->actions();
        QVERIFY(actions.size() > 2); // the line edit's own entries come first
        QCOMPARE(actions.last()->text(), QStringLiteral("Clear History"));
        QVERIFY(actions.at(actions.size() - 2)->isSeparator());
        actions.last()->trigger();
        menu->hide();
        QTRY_VERIFY(!menu);
        QCOMPARE(textBox(dialog)->count(), 0);
        dialog->close();
    }
    QCOMPARE(searched.count(), 1);
    QCOMPARE(closed.count(), 1);
    // All but the text, which Clear History may take along.
    QCOMPARE(describe(closed.first().first().value<FindDialog::Parameters>()).section('|', 1),
             cancel ? QStringLiteral("b,a|10|0|0") : QStringLiteral("|10|0|0"));
    QTRY_VERIFY(!dialog);
}

QTEST_MAIN(TestFindDialog)
#include "test_finddialog.moc"
