// The table script wizard's refusals and its ends without a script, with a
// fake controller: what it will not carry or match on, and where it leaves
// the user when a generation yields nothing.

#include "WizardFormFixture.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

class TestWizardChoices : public QObject
{
    Q_OBJECT
private slots:
    void runWithoutScriptReturnsToKeys_data();
    void runWithoutScriptReturnsToKeys();
    void unknownTypeIsShownAndRefused();
    void nothingCarriableIsRefused();
    void uncomparableColumnsAreNotOffered();
    void keyOnComputedColumnIsRefused();
    void withoutKeysDeleteNeedsNoCheck();
    void withoutKeysOrDeleteAsksFirst_data();
    void withoutKeysOrDeleteAsksFirst();
};

// A run broken off or failed yields no script: the wizard says why, goes
// back to the key page and stays usable; a second run can succeed.
void TestWizardChoices::runWithoutScriptReturnsToKeys_data()
{
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("notice");
    QTest::newRow("broken off") << int(goBrokenOff) << QString()
                                << "Создание скрипта прервано, поэтому скрипт не создан.";
    QTest::newRow("rows unreadable") << int(goFailed) << "Invalid object name 'Goods'."
                                     << "Не удалось прочитать строки таблицы «Goods», поэтому скрипт не создан.\n\n"
                                        "Invalid object name 'Goods'.";
}

void TestWizardChoices::runWithoutScriptReturnsToKeys()
{
    QFETCH(int, outcome);
    QFETCH(QString, reason);
    QFETCH(QString, notice);
    Wizard w;
    w.form->hide();
    QString shown, page;
    bool nextEnabled = false, previousEnabled = false, cancelEnabled = false, generating = true;
    QTimer::singleShot(0, w.form, [&] {
        w.toColumns();
        w.next()->click();
        w.next()->click();
        w.controller->Progress(40, QStringLiteral("Формирую данные."));
        w.controller->Finish(nullptr, {TGenerationOutcome(outcome), reason});
        // the notice does not hold up the caller of the handler
        auto *box = w.form->findChild<QMessageBox *>(QStringLiteral("GenerationEndNotice"));
        shown = box ? box->text() : QString();
        page = w.page();
        nextEnabled = w.next()->isEnabled();
        previousEnabled = w.previous()->isEnabled();
        cancelEnabled = w.cancel()->isEnabled();
        generating = w.form->IsGenerating();
        if (box)
            box->accept();
        // try again: this time it works
        w.controller->Calls.clear();
        w.next()->click();
        auto script = std::make_unique<TScript>();
        script->Lines << QStringLiteral("--");
        w.controller->Finish(std::move(script));
    });
    QVERIFY(w.dialog.Execute());
    QCOMPARE(shown, notice);
    QCOMPARE(page, QStringLiteral("PrimaryColumnsSelectTabSheet"));
    QVERIFY(nextEnabled && previousEnabled && cancelEnabled);
    QVERIFY(!generating);
    QCOMPARE(w.controller->Calls, (QStringList{"SetOnScriptCreated", "SetOnProgress", "CreateScript Goods"}));
    QCOMPARE(*w.dialog.Script(), QStringList{"--"});
}

// A column of a type the program does not know is shown, marked, and
// refused with its name and code until it is left out.
void TestWizardChoices::unknownTypeIsShownAndRefused()
{
    Wizard w;
    w.controller->Columns = {{"Id", 56, false, true}, {"Odd", 701}};
    QStringList shown;
    const TErrorDisplay previous = SetErrorDisplay([&](const QString &m) { shown << m; });
    w.toColumns();
    auto *all = w.get<QListWidget>("AllColumnsListBox");
    QCOMPARE(all->item(1)->text(), QStringLiteral("Odd"));
    QVERIFY(all->item(1)->toolTip().contains(QLatin1String("701")));
    w.next()->click();
    QCOMPARE(w.page(), QStringLiteral("ColumnsSelectTabSheet"));
    w.selectIn("UsedColumnsListBox", {"Odd"});
    w.press("DoNotUseSelectedColumnButton");
    w.next()->click();
    SetErrorDisplay(previous);
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first().contains(QStringLiteral("«Odd»")) && shown.first().contains(QLatin1String("701")));
    QCOMPARE(w.page(), QStringLiteral("PrimaryColumnsSelectTabSheet"));
}

void TestWizardChoices::nothingCarriableIsRefused()
{
    Wizard w;
    w.controller->Columns = {{"Id", 56, false, true}, {"Total", 56, false, false, true}};
    QStringList shown;
    const TErrorDisplay previous = SetErrorDisplay([&](const QString &m) { shown << m; });
    w.toColumns();
    w.selectIn("UsedColumnsListBox", {"Id"});
    w.press("DoNotUseSelectedColumnButton");
    w.next()->click();
    SetErrorDisplay(previous);
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first().contains(QLatin1String("Total")));
    QCOMPARE(w.page(), QStringLiteral("ColumnsSelectTabSheet"));
}

// text, ntext and image cannot be compared: never offered as keys.
void TestWizardChoices::uncomparableColumnsAreNotOffered()
{
    Wizard w;
    w.controller->Columns = {{"Id", 56, false, true}, {"Body", 35}, {"Note", 99}, {"Picture", 34}, {"Title", 167}};
    w.toColumns();
    w.next()->click();
    QCOMPARE(texts(w.get<QListWidget>("ColumnsCheckListBox")), (QStringList{"Id [int, PK]", "Title [varchar]"}));
}

// A key the script cannot carry is refused with the reason, not dropped.
void TestWizardChoices::keyOnComputedColumnIsRefused()
{
    Wizard w;
    w.controller->Columns = {{"Id", 56, false, false, true}, {"Title", 167}};
    w.tables->Items(0)->Columns.Clear();
    QStringList shown;
    const TErrorDisplay previous = SetErrorDisplay([&](const QString &m) { shown << m; });
    w.toColumns();
    w.next()->click();
    auto *keys = w.get<QListWidget>("ColumnsCheckListBox");
    keys->item(0)->setCheckState(Qt::Checked);
    w.next()->click();
    SetErrorDisplay(previous);
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first().contains(QStringLiteral("«Id»")));
    QCOMPARE(w.page(), QStringLiteral("PrimaryColumnsSelectTabSheet"));
    QVERIFY(!w.controller->Calls.contains(QStringLiteral("CreateScript Goods")));
}

// With the target's rows deleted first every row goes in: no key needed.
void TestWizardChoices::withoutKeysDeleteNeedsNoCheck()
{
    Wizard w;
    w.controller->Columns = {{"Line", 56}, {"Text", 167}};
    w.next()->click();
    w.selectTable(1);
    w.get<QCheckBox>("AdditionalParamsCheckBox")->setChecked(true);
    w.get<QCheckBox>("DeleteTableCheckBox")->setChecked(true);
    w.next()->click();
    w.next()->click();
    QVERIFY(checkedTexts(w.get<QListWidget>("ColumnsCheckListBox")).isEmpty());
    QVERIFY(w.next()->isEnabled());
    w.next()->click();
    QCOMPARE(w.page(), QStringLiteral("ProgressTabSheet"));
    QVERIFY(w.controller->Calls.contains(QStringLiteral("CreateScript Notes")));
}

// No key to choose and no delete: the wizard says the script would change
// nothing and goes on only when told to.
void TestWizardChoices::withoutKeysOrDeleteAsksFirst_data()
{
    QTest::addColumn<bool>("answerYes");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TestWizardChoices::withoutKeysOrDeleteAsksFirst()
{
    QFETCH(bool, answerYes);
    Wizard w;
    w.controller->Columns = {{"Body", 35}};
    w.toColumns(1);
    w.next()->click();
    QCOMPARE(w.get<QListWidget>("ColumnsCheckListBox")->count(), 0);
    QVERIFY(w.next()->isEnabled());
    QString question;
    QTimer::singleShot(0, w.form, [&] {
        auto *box = w.form->findChild<QMessageBox *>(QStringLiteral("ChangesNothingQuestion"));
        QVERIFY(box);
        question = box->text();
        box->done(answerYes ? QMessageBox::Yes : QMessageBox::No);
    });
    w.next()->click();
    QVERIFY(question.contains(QStringLiteral("ничего не изменит в таблице «Notes»")));
    QCOMPARE(w.page(), answerYes ? QStringLiteral("ProgressTabSheet") : QStringLiteral("PrimaryColumnsSelectTabSheet"));
    QCOMPARE(w.controller->Calls.contains(QStringLiteral("CreateScript Notes")), answerYes);
}

QTEST_MAIN(TestWizardChoices)
#include "tst_wizardchoices.moc"
