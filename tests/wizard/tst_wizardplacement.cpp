// Where the wizard's script goes, end to end against the demo server: a
// file written whole (from memory or from the generator's temporary file),
// a question before a big script goes into the editor, the batch option.

#include "Controller.h"
#include "DataFacade.h"
#include "Domain.h"
#include "Model.h"
#include "OneTableCreationWizard.h"
#include "Parser.h"
#include "RowSet.h"
#include "ScriptBuilder.h"
#include "ScriptManager.h"
#include "ScriptSpool.h"
#include "ShopServerFixture.h"
#include "TableScriptRoutine.h"
#include "WherePutScriptDialogForm.h"
#include "WizardFlowHelpers.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestWizardPlacement : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void scriptToFile_data();
    void scriptToFile();
    void cancelledFileDialogAsksAgain();
    void bigScriptAsksFirst_data();
    void bigScriptAsksFirst();
    void batchOptionReachesScript_data();
    void batchOptionReachesScript();

private:
    // The generator's own text for Goods with default choices and Settings.
    QString generatorText(const IParseSettings &settings);
    // Runs the command on Table with Choices; Answers handle the modal
    // widgets that come after the wizard, in order (placement dialogs and
    // message boxes alike).
    void runCommand(const WizardChoices &choices, QList<std::function<void(QWidget *)>> answers);

    QTemporaryDir m_temp;
    ShopServer m_shop;
};

void TestWizardPlacement::initTestCase()
{
    m_shop.Connect();
    if (QTest::currentTestFailed())
        return;
    // Temporary files of the generator go here, where the tests see them.
    qputenv("TMPDIR", QFile::encodeName(m_temp.path()));
}

void TestWizardPlacement::init()
{
    ShopServer::CloseScripts();
    for (const QString &name : filesIn(m_temp.path()))
        QFile::remove(m_temp.filePath(name));
}

void TestWizardPlacement::cleanup()
{
    TScriptCreatorParser::SetSpoolChars(TScriptSpoolSink::DefaultMemoryChars);
    TableScriptEditorLimits() = TTableScriptEditorLimits();
    TableScriptFileNameHook() = nullptr;
}

void TestWizardPlacement::cleanupTestCase()
{
    ShopServer::Release();
}

QString TestWizardPlacement::generatorText(const IParseSettings &settings)
{
    const QStringList lines = generatorLines(QStringLiteral("Goods"), &settings);
    if (lines.isEmpty())
        return {};
    return masked(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

void TestWizardPlacement::runCommand(const WizardChoices &choices, QList<std::function<void(QWidget *)>> answers)
{
    // Each answer waits for the next modal widget not answered yet (a new
    // dialog may take the place in memory of the one before).
    auto queue = std::make_shared<QList<std::function<void(QWidget *)>>>(std::move(answers));
    // The poller holds itself weakly: it ends with this command.
    auto next = std::make_shared<std::function<void(int)>>();
    std::weak_ptr<std::function<void(int)>> self = next;
    *next = [self, queue](int triesLeft) {
        if (queue->isEmpty())
            return;
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && !modal->property("answered").toBool() && !qobject_cast<TOneStepCreatinWizard *>(modal)) {
            modal->setProperty("answered", true);
            auto answer = queue->takeFirst();
            QTimer::singleShot(0, qApp, [self] {
                if (auto poll = self.lock())
                    (*poll)(3000);
            });
            answer(modal);
            return;
        }
        if (triesLeft > 0)
            QTimer::singleShot(5, qApp, [self, triesLeft] {
                if (auto poll = self.lock())
                    (*poll)(triesLeft - 1);
            });
    };
    whenModal<TOneStepCreatinWizard>([&](TOneStepCreatinWizard *w) {
        (*next)(3000);
        driveToProgress(w, choices);
    });
    CreateOneTableScript();
    ++pollEpoch;
    QVERIFY2(queue->isEmpty(), "a dialog the test expected did not come");
}

void TestWizardPlacement::scriptToFile_data()
{
    QTest::addColumn<bool>("spooled");
    QTest::newRow("from memory") << false;
    QTest::newRow("from the generator's temporary file") << true;
}

void TestWizardPlacement::scriptToFile()
{
    QFETCH(bool, spooled);
    if (spooled)
        TScriptCreatorParser::SetSpoolChars(100);
    QTemporaryDir target;
    const QString fileName = target.filePath(QStringLiteral("goods.sql"));
    TableScriptFileNameHook() = [&] { return fileName; };
    runCommand({}, {[](QWidget *d) { child<QPushButton>(d, "ToFileButton")->click(); }});
    QCOMPARE(ScriptManager()->Count(), 0);
    // The file holds the whole script, byte for byte, and nothing else is left.
    TParseSettings settings;
    const QString expected = generatorText(settings);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(masked(QString::fromUtf8(readAll(fileName))), expected);
    QCOMPARE(filesIn(target.path()), QStringList{QStringLiteral("goods.sql")});
    QCOMPARE(filesIn(m_temp.path()), QStringList());
}

void TestWizardPlacement::cancelledFileDialogAsksAgain()
{
    TableScriptFileNameHook() = [] { return QString(); };
    runCommand({}, {[](QWidget *d) { child<QPushButton>(d, "ToFileButton")->click(); },
                    [](QWidget *d) { child<QPushButton>(d, "InNewButton")->click(); }});
    QCOMPARE(ScriptManager()->Count(), 1);
    QVERIFY(ScriptManager()->Current()->Lines.join(QString()).contains(QStringLiteral("UPDATE Goods ")));
}

void TestWizardPlacement::bigScriptAsksFirst_data()
{
    QTest::addColumn<bool>("spooled");
    QTest::addColumn<bool>("open");
    QTest::newRow("in memory, opened") << false << true;
    QTest::newRow("in memory, declined") << false << false;
    QTest::newRow("spooled, opened") << true << true;
    QTest::newRow("spooled, declined") << true << false;
}

void TestWizardPlacement::bigScriptAsksFirst()
{
    QFETCH(bool, spooled);
    QFETCH(bool, open);
    if (spooled)
        TScriptCreatorParser::SetSpoolChars(100);
    TableScriptEditorLimits().Lines = 10;
    QString question;
    QList<std::function<void(QWidget *)>> answers{
        [](QWidget *d) { child<QPushButton>(d, "InNewButton")->click(); },
        [&](QWidget *box) {
            auto *message = qobject_cast<QMessageBox *>(box);
            QVERIFY(message);
            QCOMPARE(message->objectName(), QStringLiteral("BigScriptQuestion"));
            question = message->text();
            message->button(open ? QMessageBox::Yes : QMessageBox::No)->click();
        }};
    // Declined: the placement comes again.
    if (!open)
        answers << [](QWidget *d) { child<QPushButton>(d, "ThrowIntoShredderButton")->click(); };
    runCommand({}, answers);
    QVERIFY2(question.contains(QStringLiteral("строк")), qPrintable(question));
    QCOMPARE(ScriptManager()->Count(), open ? 1 : 0);
    if (open) {
        TParseSettings settings;
        const QString text = ScriptManager()->Current()->Lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
        QCOMPARE(masked(text), generatorText(settings));
    }
    QCOMPARE(filesIn(m_temp.path()), QStringList());
}

void TestWizardPlacement::batchOptionReachesScript_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("rows");
    QTest::addColumn<qint64>("batchRows");
    QTest::newRow("automatic") << 0 << 0 << BatchRowsAutomatic;
    QTest::newRow("one batch") << 1 << 0 << qint64(0);
    QTest::newRow("batches of 2") << 2 << 2 << qint64(2);
}

void TestWizardPlacement::batchOptionReachesScript()
{
    QFETCH(int, mode);
    QFETCH(int, rows);
    QFETCH(qint64, batchRows);
    WizardChoices choices;
    choices.options = true;
    choices.nickname = QStringLiteral("Goods");
    choices.batchMode = mode;
    choices.batchRows = rows;
    runCommand(choices, {[](QWidget *d) { child<QPushButton>(d, "InNewButton")->click(); }});
    QCOMPARE(ScriptManager()->Count(), 1);
    const QStringList lines = ScriptManager()->Current()->Lines;
    TParseSettings settings;
    settings.SetBatchRows(batchRows);
    QCOMPARE(masked(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")), generatorText(settings));
    QCOMPARE(lines.contains(QStringLiteral("GO")), batchRows > 0);
}

QTEST_MAIN(TestWizardPlacement)
#include "tst_wizardplacement.moc"
