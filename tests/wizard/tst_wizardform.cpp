// The table script wizard driven through its widgets, with a fake controller.

#include "FakeWizzardController.h"
#include "OneTableCreationWizard.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace {

// Shop-like tables: Goods with a key, Notes without one.
std::unique_ptr<TTableList> makeTables()
{
    auto tables = std::make_unique<TTableList>();
    tables->Add(std::make_unique<TTable>(QStringLiteral("Goods"), soUserTable, 101));
    tables->Add(std::make_unique<TTable>(QStringLiteral("Notes"), soUserTable, 102));
    return tables;
}

QList<FakeWizzardController::ColumnSpec> goodsColumns()
{
    return {{"Id", 56, true, true}, {"Title", 167}, {"Price", 60}, {"Created", 61}};
}

QStringList texts(const QListWidget *list)
{
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result << list->item(i)->text();
    return result;
}

QStringList checkedTexts(const QListWidget *list)
{
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked)
            result << list->item(i)->text();
    return result;
}

struct Wizard
{
    std::unique_ptr<TTableList> tables = makeTables();
    std::shared_ptr<FakeWizzardController> controller = std::make_shared<FakeWizzardController>();
    TOneTableScriptCreationDialog dialog;
    TOneStepCreatinWizard *form = dialog.Form();

    Wizard()
    {
        controller->Columns = goodsColumns();
        dialog.SetTables(tables.get());
        dialog.SetWizzardController(controller);
        form->show();
    }
    template <typename T> T *get(const char *name) const
    {
        T *child = form->findChild<T *>(QString::fromLatin1(name));
        if (!child)
            qFatal("no child %s", name);
        return child;
    }
    QPushButton *next() const { return get<QPushButton>("NextButton"); }
    QPushButton *previous() const { return get<QPushButton>("PreviosButton"); }
    QPushButton *cancel() const { return get<QPushButton>("CancelButton"); }
    QString page() const { return get<QStackedWidget>("PageControl")->currentWidget()->objectName(); }
    void selectTable(int index) const
    {
        auto *tree = get<QTreeWidget>("TablesTreeView");
        tree->setCurrentItem(tree->topLevelItem(index));
    }
    void press(const char *tool) const { get<QToolButton>(tool)->click(); }
    void selectIn(const char *list, const QStringList &names) const
    {
        auto *box = get<QListWidget>(list);
        box->clearSelection();
        for (int i = 0; i < box->count(); ++i)
            if (names.contains(box->item(i)->text()))
                box->item(i)->setSelected(true);
    }
    // Greeting -> table (selected) -> columns.
    void toColumns(int table = 0) const
    {
        next()->click();
        selectTable(table);
        next()->click();
    }
};

} // namespace

class TestWizardForm : public QObject
{
    Q_OBJECT
private slots:
    void greetingAndStepLayouts();
    void tablePageNeedsSelection();
    void selectionOverwritesNickname();
    void doubleClickActsAsNext();
    void enterPressesTheFocusedButton();
    void columnMoves();
    void removedColumnNeverKey();
    void keyListItems_data();
    void keyListItems();
    void tableWithoutKeyNeedsCheck();
    void backAndForwardResetsKeys();
    void tableOptionsReachTheScriptRequest_data();
    void tableOptionsReachTheScriptRequest();
    void progressPage();
    void finishedRunGivesScript();
    void runWithoutScriptReturnsToKeys_data();
    void runWithoutScriptReturnsToKeys();
    void unknownTypeIsShownAndRefused();
    void nothingCarriableIsRefused();
    void uncomparableColumnsAreNotOffered();
    void keyOnComputedColumnIsRefused();
    void withoutKeysDeleteNeedsNoCheck();
    void withoutKeysOrDeleteAsksFirst_data();
    void withoutKeysOrDeleteAsksFirst();
    void leavingWithoutScript_data();
    void leavingWithoutScript();
    void failingLoadColumnsKeepsTablePage();
    void executeNeedsTablesThenController();
};

void TestWizardForm::greetingAndStepLayouts()
{
    Wizard w;
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Мастер создания скриптов"));
    QCOMPARE(w.page(), QStringLiteral("GreetingsTabSheet"));
    QVERIFY(w.previous()->isHidden());
    QVERIFY(w.next()->isEnabled());
    QVERIFY(w.cancel()->isEnabled());
    QVERIFY(!w.get<QWidget>("ImagePanel")->isHidden());
    QVERIFY(w.get<QWidget>("TopPanel")->isHidden());

    w.next()->click();
    QCOMPARE(w.page(), QStringLiteral("TableSelectTabSheet"));
    QVERIFY(w.get<QWidget>("ImagePanel")->isHidden());
    QVERIFY(!w.get<QWidget>("TopPanel")->isHidden());
    QCOMPARE(w.get<QLabel>("StepNameLabel")->text(), QStringLiteral("Выбор таблицы"));
    QCOMPARE(w.get<QLabel>("StepDiscriptionLabel")->text(), QStringLiteral("Для какой таблицы сгенерировать скрипт?"));
    QVERIFY(!w.previous()->isHidden());

    w.previous()->click();
    QCOMPARE(w.page(), QStringLiteral("GreetingsTabSheet"));
    QVERIFY(!w.get<QWidget>("ImagePanel")->isHidden());
    QVERIFY(w.get<QWidget>("TopPanel")->isHidden());
}

void TestWizardForm::tablePageNeedsSelection()
{
    Wizard w;
    w.next()->click();
    QVERIFY(!w.next()->isEnabled());
    w.previous()->click();
    QVERIFY(w.next()->isEnabled());
    w.next()->click();
    QVERIFY(!w.next()->isEnabled());
    w.selectTable(1);
    QVERIFY(w.next()->isEnabled());
    QCOMPARE(w.form->SelectedTable(), w.tables->Items(1));
    w.next()->click();
    QCOMPARE(w.page(), QStringLiteral("ColumnsSelectTabSheet"));
    QCOMPARE(w.controller->Calls, QStringList{"LoadColumns Notes"});
}

void TestWizardForm::selectionOverwritesNickname()
{
    Wizard w;
    w.next()->click();
    w.selectTable(0);
    auto *nickname = w.get<QLineEdit>("TableNicknameEdit");
    QCOMPARE(nickname->text(), QStringLiteral("Goods"));
    nickname->setText(QStringLiteral("Товары"));
    w.selectTable(1);
    QCOMPARE(nickname->text(), QStringLiteral("Notes"));

    auto *params = w.get<QCheckBox>("AdditionalParamsCheckBox");
    QVERIFY(w.get<QWidget>("AdditionalTableParamsPanel")->isHidden());
    params->click();
    QVERIFY(!w.get<QWidget>("AdditionalTableParamsPanel")->isHidden());
    params->click();
    QVERIFY(w.get<QWidget>("AdditionalTableParamsPanel")->isHidden());
}

void TestWizardForm::doubleClickActsAsNext()
{
    Wizard w;
    w.next()->click();
    auto *tree = w.get<QTreeWidget>("TablesTreeView");
    emit tree->itemDoubleClicked(tree->topLevelItem(0), 0); // nothing selected yet
    QCOMPARE(w.page(), QStringLiteral("TableSelectTabSheet"));
    w.selectTable(0);
    emit tree->itemDoubleClicked(tree->topLevelItem(0), 0);
    QCOMPARE(w.page(), QStringLiteral("ColumnsSelectTabSheet"));
    QCOMPARE(w.controller->Calls, QStringList{"LoadColumns Goods"});
}

// Enter presses the button that has the focus; in an edit it ends nothing.
void TestWizardForm::enterPressesTheFocusedButton()
{
    Wizard w;
    w.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.form));
    QTRY_VERIFY(w.next()->hasFocus());
    QTest::keyClick(w.next(), Qt::Key_Return);
    QCOMPARE(w.page(), QStringLiteral("TableSelectTabSheet"));

    w.selectTable(0);
    w.get<QCheckBox>("AdditionalParamsCheckBox")->click();
    auto *nickname = w.get<QLineEdit>("TableNicknameEdit");
    nickname->setFocus();
    QTest::keyClick(nickname, Qt::Key_Return);
    QCOMPARE(w.page(), QStringLiteral("TableSelectTabSheet"));
    QVERIFY(w.form->isVisible());

    w.previous()->setFocus();
    QTest::keyClick(w.previous(), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(w.page(), QStringLiteral("GreetingsTabSheet"));
}

void TestWizardForm::columnMoves()
{
    Wizard w;
    w.toColumns();
    auto *all = w.get<QListWidget>("AllColumnsListBox");
    auto *used = w.get<QListWidget>("UsedColumnsListBox");
    const QStringList names{"Id", "Title", "Price", "Created"};
    QCOMPARE(texts(all), names);
    QCOMPARE(texts(used), names); // all used at first
    QVERIFY(w.next()->isEnabled());

    w.selectIn("AllColumnsListBox", {"Id", "Price"});
    w.press("UseSelectedColumnButton");
    QCOMPARE(texts(used), names); // nothing twice

    w.press("DoNotUseAllColumnsButton");
    QVERIFY(texts(used).isEmpty());
    QVERIFY(!w.next()->isEnabled());

    w.selectIn("AllColumnsListBox", {"Price", "Id"});
    w.press("UseSelectedColumnButton");
    QCOMPARE(texts(used), (QStringList{"Id", "Price"}));
    QVERIFY(w.next()->isEnabled());
    w.selectIn("AllColumnsListBox", {"Created"});
    emit all->itemDoubleClicked(all->item(3));
    QCOMPARE(texts(used), (QStringList{"Id", "Price", "Created"}));

    w.selectIn("UsedColumnsListBox", {"Id", "Created"});
    w.press("DoNotUseSelectedColumnButton");
    QCOMPARE(texts(used), QStringList{"Price"});
    w.selectIn("UsedColumnsListBox", {"Price"});
    QTest::keyClick(used, Qt::Key_Delete, Qt::ShiftModifier);
    QVERIFY(texts(used).isEmpty());
    QVERIFY(!w.next()->isEnabled());

    w.press("UseAllColumnsButton");
    QCOMPARE(texts(used), names);
    QVERIFY(w.next()->isEnabled());
    QCOMPARE(texts(all), names); // the available list never changes
}

void TestWizardForm::removedColumnNeverKey()
{
    Wizard w;
    w.toColumns();
    w.selectIn("UsedColumnsListBox", {"Id"});
    w.press("DoNotUseSelectedColumnButton");
    w.next()->click();
    auto *keys = w.get<QListWidget>("ColumnsCheckListBox");
    QCOMPARE(texts(keys), (QStringList{"Title [varchar]", "Price [money]", "Created [datetime]"}));
    QVERIFY(!w.next()->isEnabled()); // the only PK column is gone
    keys->item(1)->setCheckState(Qt::Checked);
    QVERIFY(w.next()->isEnabled());
    w.next()->click();
    TTable *goods = w.tables->Items(0);
    QStringList flags;
    for (int i = 0; i < goods->Columns.Count(); ++i) {
        const TCustomColumn *c = goods->Columns.Items(i);
        flags << QStringLiteral("%1 used=%2 key=%3").arg(c->Name).arg(c->IsUsed).arg(c->IsKey);
    }
    QCOMPARE(flags, (QStringList{"Id used=0 key=0", "Title used=1 key=0", "Price used=1 key=1",
                                 "Created used=1 key=0"}));
}

void TestWizardForm::keyListItems_data()
{
    QTest::addColumn<bool>("identity");
    QTest::addColumn<bool>("primaryKey");
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("checked");
    QTest::newRow("plain") << false << false << "Id [int]" << false;
    QTest::newRow("primary key") << false << true << "Id [int, PK]" << true;
    QTest::newRow("identity") << true << false << "Id [int, Identity]" << false;
    QTest::newRow("both") << true << true << "Id [int, PK, Identity]" << true;
}

void TestWizardForm::keyListItems()
{
    QFETCH(bool, identity);
    QFETCH(bool, primaryKey);
    QFETCH(QString, item);
    QFETCH(bool, checked);
    Wizard w;
    w.controller->Columns = {{"Id", 56, identity, primaryKey}, {"Name", 231}};
    w.toColumns();
    w.next()->click();
    auto *keys = w.get<QListWidget>("ColumnsCheckListBox");
    QCOMPARE(texts(keys), (QStringList{item, "Name [nvarchar]"}));
    QCOMPARE(keys->item(0)->checkState() == Qt::Checked, checked);
    QCOMPARE(w.next()->isEnabled(), checked);
}

void TestWizardForm::tableWithoutKeyNeedsCheck()
{
    Wizard w;
    w.controller->Columns = {{"Line", 56}, {"Text", 167}};
    w.toColumns(1);
    w.next()->click();
    auto *keys = w.get<QListWidget>("ColumnsCheckListBox");
    QVERIFY(checkedTexts(keys).isEmpty());
    QVERIFY(!w.next()->isEnabled());
    keys->item(0)->setCheckState(Qt::Checked);
    QVERIFY(w.next()->isEnabled());
    keys->item(0)->setCheckState(Qt::Unchecked);
    QVERIFY(!w.next()->isEnabled());
}

void TestWizardForm::backAndForwardResetsKeys()
{
    Wizard w;
    w.toColumns();
    w.next()->click();
    auto *keys = w.get<QListWidget>("ColumnsCheckListBox");
    keys->item(0)->setCheckState(Qt::Unchecked);
    keys->item(1)->setCheckState(Qt::Checked);
    w.previous()->click();
    QCOMPARE(w.page(), QStringLiteral("ColumnsSelectTabSheet"));
    QCOMPARE(texts(w.get<QListWidget>("UsedColumnsListBox")).size(), 4);
    w.next()->click();
    QCOMPARE(checkedTexts(keys), QStringList{"Id [int, PK, Identity]"});

    // Back to the table page and forward again reloads the columns.
    w.previous()->click();
    w.previous()->click();
    QCOMPARE(w.page(), QStringLiteral("TableSelectTabSheet"));
    QCOMPARE(w.form->SelectedTable(), w.tables->Items(0));
    w.next()->click();
    QCOMPARE(w.controller->Calls, (QStringList{"LoadColumns Goods", "LoadColumns Goods"}));
}

void TestWizardForm::tableOptionsReachTheScriptRequest_data()
{
    QTest::addColumn<bool>("additional");
    QTest::addColumn<bool>("deleteTable");
    QTest::addColumn<QString>("nickname");
    QTest::addColumn<bool>("expectedDelete");
    QTest::addColumn<QString>("expectedNickname");
    QTest::newRow("options off: hidden values ignored") << false << true << "dbo.Goods2" << false << "";
    QTest::newRow("nickname only") << true << false << "dbo.Goods2" << false << "dbo.Goods2";
    QTest::newRow("nickname and delete") << true << true << "Goods2" << true << "Goods2";
}

void TestWizardForm::tableOptionsReachTheScriptRequest()
{
    QFETCH(bool, additional);
    QFETCH(bool, deleteTable);
    QFETCH(QString, nickname);
    QFETCH(bool, expectedDelete);
    QFETCH(QString, expectedNickname);
    Wizard w;
    w.tables->Items(0)->Nickname = QStringLiteral("stale");
    w.next()->click();
    w.selectTable(0);
    w.get<QCheckBox>("AdditionalParamsCheckBox")->setChecked(additional);
    w.get<QLineEdit>("TableNicknameEdit")->setText(nickname);
    w.get<QCheckBox>("DeleteTableCheckBox")->setChecked(deleteTable);
    w.next()->click();
    w.next()->click();
    w.next()->click();
    QCOMPARE(w.page(), QStringLiteral("ProgressTabSheet"));
    QCOMPARE(w.controller->CreatedFor, w.tables->Items(0));
    QVERIFY(w.controller->Settings);
    QCOMPARE(w.controller->Settings->GetDeleteTable(), expectedDelete);
    QCOMPARE(w.tables->Items(0)->Nickname, expectedNickname);
    QCOMPARE(w.controller->Calls,
             (QStringList{"LoadColumns Goods", "SetOnScriptCreated", "SetOnProgress", "CreateScript Goods"}));
}

void TestWizardForm::progressPage()
{
    Wizard w;
    w.toColumns();
    w.next()->click();
    w.next()->click();
    QVERIFY(!w.next()->isEnabled());
    QVERIFY(!w.previous()->isEnabled());
    QVERIFY(!w.cancel()->isEnabled());
    QCOMPARE(w.get<QLabel>("StepNameLabel")->text(), QStringLiteral("Генерация скрипта"));
    auto *label = w.get<QLabel>("ProgressLabel");
    QCOMPARE(label->text(), QStringLiteral("Прогресс:"));
    QVERIFY(w.get<QLabel>("ProgressInfoLabel")->text().isEmpty());
    w.controller->Progress(42, QStringLiteral("Формирую данные."));
    QCOMPARE(label->text(), QStringLiteral("Прогресс 42%:"));
    QCOMPARE(w.get<QProgressBar>("ProgressBar")->value(), 42);
    QCOMPARE(w.get<QLabel>("ProgressInfoLabel")->text(), QStringLiteral("Формирую данные."));
    w.get<QPushButton>("BreakSriptGenerationButton")->click();
    QCOMPARE(w.controller->Calls.last(), QStringLiteral("BreakScriptCreation"));
    QVERIFY(w.form->isVisible()); // breaking off does not close: the script still comes
}

void TestWizardForm::finishedRunGivesScript()
{
    Wizard w;
    w.form->hide();
    bool result = false;
    QTimer::singleShot(0, w.form, [&] {
        w.toColumns();
        w.next()->click();
        w.next()->click();
        w.controller->Progress(100, QStringLiteral("Скрипт создан."));
        auto script = std::make_unique<TScript>();
        script->Lines << QStringLiteral("/*") << QStringLiteral("*/");
        w.controller->Finish(std::move(script));
    });
    result = w.dialog.Execute();
    QVERIFY(result);
    QCOMPARE(*w.dialog.Script(), (QStringList{"/*", "*/"}));
}

// A run broken off or failed yields no script: the wizard says why, goes
// back to the key page and stays usable; a second run can succeed.
void TestWizardForm::runWithoutScriptReturnsToKeys_data()
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

void TestWizardForm::runWithoutScriptReturnsToKeys()
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
void TestWizardForm::unknownTypeIsShownAndRefused()
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

void TestWizardForm::nothingCarriableIsRefused()
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
void TestWizardForm::uncomparableColumnsAreNotOffered()
{
    Wizard w;
    w.controller->Columns = {{"Id", 56, false, true}, {"Body", 35}, {"Note", 99}, {"Picture", 34}, {"Title", 167}};
    w.toColumns();
    w.next()->click();
    QCOMPARE(texts(w.get<QListWidget>("ColumnsCheckListBox")), (QStringList{"Id [int, PK]", "Title [varchar]"}));
}

// A key the script cannot carry is refused with the reason, not dropped.
void TestWizardForm::keyOnComputedColumnIsRefused()
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
void TestWizardForm::withoutKeysDeleteNeedsNoCheck()
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
void TestWizardForm::withoutKeysOrDeleteAsksFirst_data()
{
    QTest::addColumn<bool>("answerYes");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TestWizardForm::withoutKeysOrDeleteAsksFirst()
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

void TestWizardForm::leavingWithoutScript_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("generating");
    QTest::newRow("Cancel button") << "cancel" << false;
    QTest::newRow("Esc") << "esc" << false;
    QTest::newRow("close button") << "close" << false;
    QTest::newRow("Esc while generating") << "esc" << true;
    QTest::newRow("close button while generating") << "close" << true;
}

void TestWizardForm::leavingWithoutScript()
{
    QFETCH(QString, how);
    QFETCH(bool, generating);
    Wizard w;
    w.form->hide();
    QTimer::singleShot(0, w.form, [&] {
        w.toColumns();
        if (generating) {
            w.next()->click();
            w.next()->click();
            w.controller->Calls.clear();
        }
        if (how == "cancel")
            w.cancel()->click();
        else if (how == "esc")
            QTest::keyClick(w.form, Qt::Key_Escape);
        else
            w.form->close();
    });
    QVERIFY(!w.dialog.Execute());
    QVERIFY(!w.dialog.Script());
    if (generating) {
        QCOMPARE(w.controller->Calls,
                 (QStringList{"SetOnScriptCreated(none)", "SetOnProgress(none)", "BreakScriptCreation"}));
        QVERIFY(!w.controller->OnScriptCreated);
        QVERIFY(!w.controller->OnProgress);
    } else {
        QVERIFY(!w.controller->Calls.contains("BreakScriptCreation"));
    }
}

void TestWizardForm::failingLoadColumnsKeepsTablePage()
{
    Wizard w;
    QStringList shown;
    const TErrorDisplay previous = SetErrorDisplay([&](const QString &m) { shown << m; });
    w.controller->FailLoad = [] { throw EQuorvaneException(QStringLiteral("Связь с сервером потеряна.")); };
    w.next()->click();
    w.selectTable(0);
    w.next()->click();
    SetErrorDisplay(previous);
    QCOMPARE(shown, QStringList{"Связь с сервером потеряна."});
    QCOMPARE(w.page(), QStringLiteral("TableSelectTabSheet"));
}

void TestWizardForm::executeNeedsTablesThenController()
{
    TOneTableScriptCreationDialog dialog;
    try {
        dialog.Execute();
        QFAIL("no exception");
    } catch (const ETablesNotAssignedException &e) {
        QCOMPARE(e.Message(), QStringLiteral("Список таблиц не задан."));
    }
    auto tables = makeTables();
    dialog.SetTables(tables.get());
    try {
        dialog.Execute();
        QFAIL("no exception");
    } catch (const EOneTableScriptCreationDialogException &e) {
        QVERIFY(dynamic_cast<const EWizzardControllerNotAssignedException *>(&e));
        QCOMPARE(e.Message(), QStringLiteral("Контроллер мастера создания скриптов не задан."));
    }
    QVERIFY(!dialog.Form()->isVisible());
}

QTEST_MAIN(TestWizardForm)
#include "tst_wizardform.moc"
