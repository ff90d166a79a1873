// The table script wizard driven through its widgets, with a fake controller.

#include "WizardFormFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

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
