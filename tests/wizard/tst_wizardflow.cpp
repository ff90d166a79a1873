// The wizard command end to end: the test server's demo database, the real
// data layer, controller and generator, the wizard and the placement dialog
// driven through their widgets.

#include "Controller.h"
#include "DataFacade.h"
#include "Domain.h"
#include "Model.h"
#include "OneTableCreationWizard.h"
#include "Parser.h"
#include "RowSet.h"
#include "ScriptBuilder.h"
#include "ScriptManager.h"
#include "ShopServerFixture.h"
#include "TableScriptRoutine.h"
#include "WherePutScriptDialogForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <chrono>
#include <csignal>

#include "WizardFlowHelpers.h"

namespace {

// The first line where the script differs from the generator's own output,
// or nothing when they are the same.
QString firstDifference(const QStringList &actual, const QStringList &expected)
{
    for (qsizetype i = 0; i < qMax(actual.size(), expected.size()); ++i) {
        const QString a = i < actual.size() ? actual[i] : QStringLiteral("<none>");
        const QString e = i < expected.size() ? expected[i] : QStringLiteral("<none>");
        if (a != e)
            return QStringLiteral("line %1: got \"%2\", expected \"%3\"").arg(i + 1).arg(a, e);
    }
    return {};
}

QStringList withoutTimeStamp(QStringList lines)
{
    if (lines.size() > 2 && lines[2].startsWith(QStringLiteral("Creation date and time")))
        lines[2].clear();
    return lines;
}

} // namespace

class TestWizardFlow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void goodsIntoNewTab();
    void optionsReachScript();
    void prefilledNicknameIsQuoted();
    void appendToCurrentScript();
    void shredderLeavesDocuments();
    void leavingWithoutScriptShowsNoPlacement_data();
    void leavingWithoutScriptShowsNoPlacement();
    void breakGivesNoScript();
    void unreadableRowsGiveNotice();
    void closingWhileTheServerIsStoppedReturnsAtOnce();
    void dataBaseWithoutTablesSaysSo();
    void closingMidGenerationIsSafe_data();
    void closingMidGenerationIsSafe();
    void badRowFilterGivesTheServersText();
    void rowFilterAndOnlyChangedReachScript();

private:
    // Cancel on a wizard that stays usable after a generation that yielded
    // no script; the notice it showed is handed to Notice.
    static void leaveAfterNotice(TOneStepCreatinWizard *w, QString &notice, QString &page);
    QStringList generatorOutput(const QString &tableName, const IParseSettings *settings);
    // Runs the command; Drive works the wizard; Place answers the placement
    // dialog (or is never called). Returns whether the placement dialog came.
    bool runCommand(const std::function<void(TOneStepCreatinWizard *)> &drive,
                    const std::function<void(TWherePutScriptDialogForm *)> &place);

    ShopServer m_shop;
};

void TestWizardFlow::initTestCase()
{
    m_shop.Connect();
}

void TestWizardFlow::init()
{
    ShopServer::CloseScripts();
}

void TestWizardFlow::cleanupTestCase()
{
    ShopServer::Release();
}

QStringList TestWizardFlow::generatorOutput(const QString &tableName, const IParseSettings *settings)
{
    return withoutTimeStamp(generatorLines(tableName, settings));
}

bool TestWizardFlow::runCommand(const std::function<void(TOneStepCreatinWizard *)> &drive,
                                const std::function<void(TWherePutScriptDialogForm *)> &place)
{
    bool placementShown = false;
    whenModal<TOneStepCreatinWizard>([&](TOneStepCreatinWizard *w) {
        whenModal<TWherePutScriptDialogForm>([&](TWherePutScriptDialogForm *d) {
            placementShown = true;
            place(d);
        });
        drive(w);
    });
    CreateOneTableScript();
    ++pollEpoch;
    return placementShown;
}

void TestWizardFlow::goodsIntoNewTab()
{
    bool middleEnabled = true;
    const bool placed = runCommand([](TOneStepCreatinWizard *w) { driveToProgress(w, {}); },
                                   [&](TWherePutScriptDialogForm *d) {
                                       middleEnabled = child<QPushButton>(d, "InCurrentButton")->isEnabled();
                                       child<QPushButton>(d, "InNewButton")->click();
                                   });
    QVERIFY(placed);
    QVERIFY(!middleEnabled); // no script was open
    QCOMPARE(ScriptManager()->Count(), 1);
    TScript *script = ScriptManager()->Current();
    QCOMPARE(script->Name, QStringLiteral("(Без имени)"));
    QVERIFY(script->FileName.isEmpty());
    const QString text = script->Lines.join(QStringLiteral("\r\n"));
    QVERIFY(text.contains(QStringLiteral("UPDATE Goods ")));
    QVERIFY(text.contains(QStringLiteral("VALUES(1, 'Tea', 2.5,")));

    TParseSettings settings;
    const QStringList expected = generatorOutput(QStringLiteral("Goods"), &settings);
    QVERIFY(!expected.isEmpty());
    const QString difference = firstDifference(withoutTimeStamp(text.split(QStringLiteral("\r\n"))),
                                               expected.join(QStringLiteral("\r\n")).split(QStringLiteral("\r\n")));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestWizardFlow::optionsReachScript()
{
    runCommand(
        [](TOneStepCreatinWizard *w) {
            driveToProgress(w, {QStringLiteral("Goods"), true, QStringLiteral("GoodsCopy"), true});
        },
        [](TWherePutScriptDialogForm *d) { child<QPushButton>(d, "InNewButton")->click(); });
    QCOMPARE(ScriptManager()->Count(), 1);
    const QStringList lines = ScriptManager()->Current()->Lines;
    QVERIFY(lines.contains(QStringLiteral("DELETE FROM GoodsCopy;")));
    QVERIFY(lines.contains(QStringLiteral("SET IDENTITY_INSERT GoodsCopy ON;")));
    QVERIFY(lines.join('\n').contains(QStringLiteral("DECLARE @GoodsTempTable TABLE")));
    TParseSettings settings;
    settings.SetDeleteTable(true);
    const QString difference =
        firstDifference(withoutTimeStamp(lines.join(QStringLiteral("\r\n")).split(QStringLiteral("\r\n"))),
                        generatorOutput(QStringLiteral("Goods"), &settings).join(QStringLiteral("\r\n")).split(QStringLiteral("\r\n")));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

// The nickname edit holds the table's own name once options are ticked; a
// name that needs brackets gets them in every statement.
void TestWizardFlow::prefilledNicknameIsQuoted()
{
    QString prefilled;
    runCommand(
        [&prefilled](TOneStepCreatinWizard *w) {
            auto *next = child<QPushButton>(w, "NextButton");
            next->click();
            auto *tree = child<QTreeWidget>(w, "TablesTreeView");
            tree->setCurrentItem(tree->findItems(QStringLiteral("Order Lines"), Qt::MatchExactly).value(0));
            child<QCheckBox>(w, "AdditionalParamsCheckBox")->click();
            child<QCheckBox>(w, "DeleteTableCheckBox")->setChecked(true);
            prefilled = child<QLineEdit>(w, "TableNicknameEdit")->text();
            next->click();
            next->click();
            next->click();
        },
        [](TWherePutScriptDialogForm *d) { child<QPushButton>(d, "InNewButton")->click(); });
    QCOMPARE(prefilled, QStringLiteral("Order Lines"));
    QCOMPARE(ScriptManager()->Count(), 1);
    const QStringList lines = ScriptManager()->Current()->Lines;
    QVERIFY(lines.contains(QStringLiteral("DELETE FROM [Order Lines];")));
    QString text = lines.join(QStringLiteral("\r\n"));
    QVERIFY(text.contains(QStringLiteral("UPDATE [Order Lines] \r\n")));
    // outside the comments' quotes and the row-count check's message
    // argument the name is nowhere without brackets
    text.remove(QStringLiteral("[Order Lines]")).remove(QStringLiteral("„Order Lines“")).remove(QStringLiteral(", N'Order Lines', "));
    QVERIFY2(!text.contains(QStringLiteral("Order Lines")), qPrintable(text));
}

void TestWizardFlow::appendToCurrentScript()
{
    ScriptManager()->AddScriptFromText(QStringLiteral("SELECT 1"));
    TScript *current = ScriptManager()->Current();
    current->Name = QStringLiteral("mine.sql");
    int changes = 0;
    const auto previous = ScriptManager()->OnChange;
    ScriptManager()->OnChange = [&](TScriptManager *) { ++changes; };
    bool middleEnabled = false;
    runCommand([](TOneStepCreatinWizard *w) { driveToProgress(w, onTable(QStringLiteral("Stock"))); },
               [&](TWherePutScriptDialogForm *d) {
                   middleEnabled = child<QPushButton>(d, "InCurrentButton")->isEnabled();
                   child<QPushButton>(d, "InCurrentButton")->click();
               });
    ScriptManager()->OnChange = previous;
    QVERIFY(middleEnabled);
    QCOMPARE(ScriptManager()->Count(), 1);
    QCOMPARE(ScriptManager()->Current(), current);
    QCOMPARE(current->Name, QStringLiteral("mine.sql"));
    QCOMPARE(current->Lines.first(), QStringLiteral("SELECT 1"));
    QVERIFY(current->Lines.join('\n').contains(QStringLiteral("--Script for table „Stock“ end.--")));
    QVERIFY(changes >= 1);
}

void TestWizardFlow::shredderLeavesDocuments()
{
    ScriptManager()->AddScriptFromText(QStringLiteral("SELECT 2"));
    const bool placed = runCommand([](TOneStepCreatinWizard *w) { driveToProgress(w, {}); },
                                   [](TWherePutScriptDialogForm *d) {
                                       child<QPushButton>(d, "ThrowIntoShredderButton")->click();
                                   });
    QVERIFY(placed);
    QCOMPARE(ScriptManager()->Count(), 1);
    QCOMPARE(ScriptManager()->Current()->Lines, QStringList{"SELECT 2"});
}

void TestWizardFlow::leavingWithoutScriptShowsNoPlacement_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel on the greeting") << "cancel";
    QTest::newRow("Esc on the columns page") << "esc";
}

void TestWizardFlow::leavingWithoutScriptShowsNoPlacement()
{
    QFETCH(QString, how);
    const bool placed = runCommand(
        [how](TOneStepCreatinWizard *w) {
            if (how == "cancel") {
                child<QPushButton>(w, "CancelButton")->click();
                return;
            }
            auto *next = child<QPushButton>(w, "NextButton");
            next->click();
            child<QTreeWidget>(w, "TablesTreeView")->setCurrentItem(
                child<QTreeWidget>(w, "TablesTreeView")->topLevelItem(0));
            next->click();
            QTest::keyClick(w, Qt::Key_Escape);
        },
        [](TWherePutScriptDialogForm *d) { d->reject(); });
    QVERIFY(!placed);
    QCOMPARE(ScriptManager()->Count(), 0);
}

void TestWizardFlow::leaveAfterNotice(TOneStepCreatinWizard *w, QString &notice, QString &page)
{
    auto *poll = new QTimer(w);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, w, [w, poll, &notice, &page] {
        auto *box = w->findChild<QMessageBox *>(QStringLiteral("GenerationEndNotice"));
        if (!box)
            return;
        poll->stop();
        notice = box->text();
        page = w->findChild<QStackedWidget *>(QStringLiteral("PageControl"))->currentWidget()->objectName();
        box->accept();
        child<QPushButton>(w, "CancelButton")->click();
    });
    poll->start();
}

// "Прервать": no script, a notice, the key page again; leaving then places nothing.
void TestWizardFlow::breakGivesNoScript()
{
    int percentAtBreak = -1;
    QString notice, page;
    const bool placed = runCommand(
        [&](TOneStepCreatinWizard *w) {
            driveToProgress(w, onTable(QStringLiteral("Sales")));
            auto *bar = child<QProgressBar>(w, "ProgressBar");
            // Break off once the rows have begun.
            whenProgressAtLeast(w, bar, 2, [w, bar, &percentAtBreak] {
                percentAtBreak = bar->value();
                child<QPushButton>(w, "BreakSriptGenerationButton")->click();
            });
            leaveAfterNotice(w, notice, page);
        },
        [](TWherePutScriptDialogForm *d) { child<QPushButton>(d, "InNewButton")->click(); });
    QVERIFY(!placed);
    QVERIFY(percentAtBreak >= 2);
    QCOMPARE(notice, OneTableWizardTexts::BrokenOff);
    QCOMPARE(page, QStringLiteral("PrimaryColumnsSelectTabSheet"));
    QCOMPARE(ScriptManager()->Count(), 0);
}

void TestWizardFlow::unreadableRowsGiveNotice()
{
    TScriptCommand(DataAccessFacade(), QStringLiteral("CREATE TABLE Scratch (Note varchar(10) NULL)\r\n")).Execute();
    QString notice, page;
    bool keyNextWasDisabled = false;
    const bool placed = runCommand(
        [&](TOneStepCreatinWizard *w) {
            auto *next = child<QPushButton>(w, "NextButton");
            next->click();
            auto *tree = child<QTreeWidget>(w, "TablesTreeView");
            tree->setCurrentItem(tree->findItems(QStringLiteral("Scratch"), Qt::MatchExactly).value(0));
            next->click();
            next->click();
            // No primary key: nothing is checked and Next waits for a choice.
            keyNextWasDisabled = !next->isEnabled();
            child<QListWidget>(w, "ColumnsCheckListBox")->item(0)->setCheckState(Qt::Checked);
            // The table goes away before its rows are read.
            TScriptCommand(DataAccessFacade(), QStringLiteral("DROP TABLE Scratch\r\n")).Execute();
            leaveAfterNotice(w, notice, page);
            next->click();
        },
        [](TWherePutScriptDialogForm *d) { child<QPushButton>(d, "InNewButton")->click(); });
    QVERIFY(keyNextWasDisabled);
    QVERIFY(!placed);
    // the server's reason follows the wizard's words
    QVERIFY2(notice.startsWith(QStringLiteral("Не удалось прочитать строки таблицы «Scratch», поэтому скрипт не создан.\n\n")),
             qPrintable(notice));
    QVERIFY2(notice.contains(QLatin1String("Scratch'")), qPrintable(notice));
    QCOMPARE(page, QStringLiteral("PrimaryColumnsSelectTabSheet"));
    QCOMPARE(ScriptManager()->Count(), 0);
}

// A server that stops answering mid-generation does not hold the window:
// closing the wizard returns at once, and the generation, cancelled, ends
// and frees itself once the server answers again.
void TestWizardFlow::closingWhileTheServerIsStoppedReturnsAtOnce()
{
    const qint64 pid = m_shop.server.processId();
    QVERIFY(pid > 0);
    std::chrono::steady_clock::time_point closedAt;
    bool stopped = false;
    runCommand(
        [&](TOneStepCreatinWizard *w) {
            driveToProgress(w, onTable(QStringLiteral("Sales")));
            auto *bar = child<QProgressBar>(w, "ProgressBar");
            whenProgressAtLeast(w, bar, 2, [w, pid, &closedAt, &stopped] {
                stopped = ::kill(pid_t(pid), SIGSTOP) == 0;
                closedAt = std::chrono::steady_clock::now();
                QTest::keyClick(w, Qt::Key_Escape);
            });
        },
        [](TWherePutScriptDialogForm *d) { child<QPushButton>(d, "InNewButton")->click(); });
    const auto took = std::chrono::steady_clock::now() - closedAt;
    ::kill(pid_t(pid), SIGCONT);
    QVERIFY(stopped);
    QVERIFY2(took < std::chrono::seconds(1),
             qPrintable(QStringLiteral("closing took %1 ms")
                            .arg(std::chrono::duration_cast<std::chrono::milliseconds>(took).count())));
    QCOMPARE(ScriptManager()->Count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(TScriptCreatorParser::Running(), 0, 30000);
    // and the next run works
    runCommand([](TOneStepCreatinWizard *w) { driveToProgress(w, {}); },
               [](TWherePutScriptDialogForm *d) { child<QPushButton>(d, "InNewButton")->click(); });
    QCOMPARE(ScriptManager()->Count(), 1);
}

// A database without user tables: the user is told so, no wizard opens.
void TestWizardFlow::dataBaseWithoutTablesSaysSo()
{
    TDataBaseList *dataBases = ScriptCreatorModel()->DataBases();
    const int shop = dataBases->ItemIndex();
    int master = -1;
    for (int i = 0; i < dataBases->Count(); ++i)
        if (dataBases->Items(i)->Name == QStringLiteral("master"))
            master = i;
    QVERIFY(master >= 0);
    dataBases->SetItemIndex(master);
    DataAccessFacade()->SwitchToDataBase(dataBases->CurrentDataBase());

    QString notice;
    bool wizardShown = false;
    whenModal<QMessageBox>([&](QMessageBox *box) {
        notice = box->text();
        box->accept();
    });
    whenModal<TOneStepCreatinWizard>([&](TOneStepCreatinWizard *w) {
        wizardShown = true;
        w->reject();
    });
    bool raised = false;
    try {
        CreateOneTableScript();
    } catch (const std::exception &) {
        raised = true;
    }
    ++pollEpoch;
    dataBases->SetItemIndex(shop);
    DataAccessFacade()->SwitchToDataBase(dataBases->CurrentDataBase());
    QVERIFY(!raised);
    QVERIFY(!wizardShown);
    QCOMPARE(notice, QStringLiteral("В базе данных «master» нет пользовательских таблиц."));
    QCOMPARE(ScriptManager()->Count(), 0);
}

void TestWizardFlow::closingMidGenerationIsSafe_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Esc") << "esc";
    QTest::newRow("close button") << "close";
}

void TestWizardFlow::closingMidGenerationIsSafe()
{
    QFETCH(QString, how);
    bool closedWhileGenerating = false;
    const bool placed = runCommand(
        [&](TOneStepCreatinWizard *w) {
            driveToProgress(w, onTable(QStringLiteral("Sales")));
            auto *bar = child<QProgressBar>(w, "ProgressBar");
            whenProgressAtLeast(w, bar, 2, [w, how, &closedWhileGenerating] {
                closedWhileGenerating = w->IsGenerating();
                if (how == "esc")
                    QTest::keyClick(w, Qt::Key_Escape);
                else
                    w->close();
            });
        },
        [](TWherePutScriptDialogForm *d) { child<QPushButton>(d, "InNewButton")->click(); });
    QVERIFY(closedWhileGenerating);
    QVERIFY(!placed);
    QCOMPARE(ScriptManager()->Count(), 0);

    // The wizard, its controller and the rows are gone; the next run works.
    runCommand([](TOneStepCreatinWizard *w) { driveToProgress(w, {}); },
               [](TWherePutScriptDialogForm *d) { child<QPushButton>(d, "InNewButton")->click(); });
    QCOMPARE(ScriptManager()->Count(), 1);
}

// A condition the server refuses: the notice gives the server's words and
// the condition, and no script is placed.
void TestWizardFlow::badRowFilterGivesTheServersText()
{
    QString notice, page;
    const bool placed = runCommand(
        [&](TOneStepCreatinWizard *w) {
            auto *next = child<QPushButton>(w, "NextButton");
            next->click();
            auto *tree = child<QTreeWidget>(w, "TablesTreeView");
            tree->setCurrentItem(tree->findItems(QStringLiteral("Goods"), Qt::MatchExactly).value(0));
            child<QCheckBox>(w, "AdditionalParamsCheckBox")->click();
            child<QLineEdit>(w, "RowFilterEdit")->setText(QStringLiteral("Colour = 'red'"));
            next->click();
            next->click();
            leaveAfterNotice(w, notice, page);
            next->click();
        },
        [](TWherePutScriptDialogForm *d) { child<QPushButton>(d, "InNewButton")->click(); });
    QVERIFY(!placed);
    QVERIFY2(notice.startsWith(QStringLiteral("Не удалось прочитать строки таблицы «Goods», поэтому скрипт не создан.\n\n")),
             qPrintable(notice));
    QVERIFY2(notice.contains(QLatin1String("Invalid column name 'Colour'")), qPrintable(notice));
    QVERIFY2(notice.endsWith(QStringLiteral("Условие отбора строк: Colour = 'red'")), qPrintable(notice));
    QCOMPARE(page, QStringLiteral("PrimaryColumnsSelectTabSheet"));
    QCOMPARE(ScriptManager()->Count(), 0);
}

// The condition, the delete kept to it and the UPDATE kept to changed rows
// reach the script; the note beside the delete option shows while a
// condition is typed; "only changed" is there again at the next run.
void TestWizardFlow::rowFilterAndOnlyChangedReachScript()
{
    bool noteWithout = true, noteWith = false, rememberedBefore = true;
    runCommand(
        [&](TOneStepCreatinWizard *w) {
            auto *next = child<QPushButton>(w, "NextButton");
            next->click();
            auto *tree = child<QTreeWidget>(w, "TablesTreeView");
            tree->setCurrentItem(tree->findItems(QStringLiteral("Goods"), Qt::MatchExactly).value(0));
            rememberedBefore = child<QCheckBox>(w, "OnlyChangedCheckBox")->isChecked();
            child<QCheckBox>(w, "OnlyChangedCheckBox")->setChecked(true);
            child<QCheckBox>(w, "AdditionalParamsCheckBox")->click();
            child<QCheckBox>(w, "DeleteTableCheckBox")->setChecked(true);
            auto *note = child<QLabel>(w, "DeleteFilterNoteLabel");
            noteWithout = note->isVisible();
            child<QLineEdit>(w, "RowFilterEdit")->setText(QStringLiteral(" Price > 2 "));
            noteWith = note->isVisible();
            next->click();
            next->click();
            next->click();
        },
        [](TWherePutScriptDialogForm *d) { child<QPushButton>(d, "InNewButton")->click(); });
    QVERIFY(!rememberedBefore);
    QVERIFY(!noteWithout);
    QVERIFY(noteWith);
    QCOMPARE(ScriptManager()->Count(), 1);
    const QStringList lines = ScriptManager()->Current()->Lines;
    QVERIFY(lines.contains(QStringLiteral("Used row filter „Price > 2“")));
    QVERIFY(lines.contains(QStringLiteral("DELETE FROM Goods WHERE (Price > 2);")));
    QVERIFY(lines.contains(
        QStringLiteral("--Обновляются только строки, в которых отличается хотя бы один переносимый столбец.--")));

    bool rememberedAfter = false;
    runCommand(
        [&](TOneStepCreatinWizard *w) {
            child<QPushButton>(w, "NextButton")->click();
            rememberedAfter = child<QCheckBox>(w, "OnlyChangedCheckBox")->isChecked();
            // Leaving keeps the choice as it stands: off again.
            child<QCheckBox>(w, "OnlyChangedCheckBox")->setChecked(false);
            child<QPushButton>(w, "CancelButton")->click();
        },
        [](TWherePutScriptDialogForm *) {});
    QVERIFY(rememberedAfter);
}

QTEST_MAIN(TestWizardFlow)
#include "tst_wizardflow.moc"
