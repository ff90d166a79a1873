// What both script wizards share, checked on each of them with a fake
// controller: a generation that yields no script comes back to the step that
// started it with a notice under the wizard's own title and a fresh progress
// page for the next run; one that yields a script ends the wizard with it;
// leaving during a generation breaks it off and detaches the handlers once.

#include "FakeSeveralTablesController.h"
#include "FakeWizzardController.h"
#include "OneTableCreationWizard.h"
#include "SeveralTablesWizard.h"
#include "WizardFlowHelpers.h"

#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTreeWidget>

namespace {

// One wizard with its fake controller, seen through what the two share.
struct Subject
{
    std::unique_ptr<TTableList> tables = std::make_unique<TTableList>();
    std::shared_ptr<IWizzardController> controller;
    std::unique_ptr<TCustomScriptWizard> form;
    QStringList *calls = nullptr;
    std::function<void(int, const QString &)> progress;
    std::function<void(std::unique_ptr<TScript>, const TGenerationResult &)> finish;
    // From the first page to the progress page, the generation started.
    std::function<void()> toProgress;
    // The page whose Next starts the generation.
    QString startPage;

    [[nodiscard]] QString page() const { return child<QStackedWidget>(form.get(), "PageControl")->currentWidget()->objectName(); }
    [[nodiscard]] QPushButton *next() const { return child<QPushButton>(form.get(), "NextButton"); }
    [[nodiscard]] int starts() const
    {
        int count = 0;
        for (const QString &call : *calls)
            if (call.startsWith(QStringLiteral("Create")))
                ++count;
        return count;
    }
};

// The subject reaches the wizard through the fake's recorded calls and reports.
template <typename TFake>
std::unique_ptr<Subject> attach(std::unique_ptr<Subject> subject, const std::shared_ptr<TFake> &controller,
                              std::unique_ptr<TCustomScriptWizard> form)
{
    subject->calls = &controller->Calls;
    subject->progress = [c = controller.get()](int percent, const QString &text) { c->Progress(percent, text); };
    subject->finish = [c = controller.get()](std::unique_ptr<TScript> script, const TGenerationResult &result) {
        c->Finish(std::move(script), result);
    };
    subject->controller = controller;
    subject->form = std::move(form);
    return subject;
}

std::unique_ptr<Subject> oneTable()
{
    auto subject = std::make_unique<Subject>();
    subject->tables->Add(std::make_unique<TTable>(QStringLiteral("Goods"), soUserTable, 101));
    auto controller = std::make_shared<FakeWizzardController>();
    controller->Columns = {{"Id", 56, true, true}, {"Title", 167}};
    auto form = std::make_unique<TOneStepCreatinWizard>();
    form->SetTables(subject->tables.get());
    form->SetWizzardController(controller);
    TOneStepCreatinWizard *wizard = form.get();
    subject->toProgress = [wizard] {
        auto *next = child<QPushButton>(wizard, "NextButton");
        next->click();
        auto *tree = child<QTreeWidget>(wizard, "TablesTreeView");
        tree->setCurrentItem(tree->topLevelItem(0));
        next->click();
        next->click();
        next->click();
    };
    subject->startPage = QStringLiteral("PrimaryColumnsSelectTabSheet");
    return attach(std::move(subject), controller, std::move(form));
}

std::unique_ptr<Subject> severalTables()
{
    auto subject = std::make_unique<Subject>();
    subject->tables->Add(std::make_unique<TTable>(QStringLiteral("Customers"), soUserTable, 201));
    subject->tables->Add(std::make_unique<TTable>(QStringLiteral("Orders"), soUserTable, 202));
    auto controller = std::make_shared<FakeSeveralTablesController>();
    for (const QString &name : {QStringLiteral("Customers"), QStringLiteral("Orders")})
        controller->Columns[name] = {{QStringLiteral("Id"), 56, true}, {QStringLiteral("Title"), 167}};
    auto form = std::make_unique<TSeveralTablesCreationWizard>();
    form->SetTables(subject->tables.get());
    form->SetWizzardController(controller);
    TSeveralTablesCreationWizard *wizard = form.get();
    subject->toProgress = [wizard] {
        auto *list = child<QListWidget>(wizard, "TablesCheckListBox");
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setCheckState(Qt::Checked);
        auto *next = child<QPushButton>(wizard, "NextButton");
        next->click();
        next->click();
        next->click();
    };
    subject->startPage = QStringLiteral("OptionsTabSheet");
    return attach(std::move(subject), controller, std::move(form));
}

std::unique_ptr<Subject> makeSubject(const QString &kind)
{
    auto subject = kind == QLatin1String("one table") ? oneTable() : severalTables();
    subject->form->show();
    return subject;
}

void addKinds()
{
    QTest::addColumn<QString>("kind");
}

} // namespace

class TestScriptWizard : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void endWithoutScriptComesBack_data();
    void endWithoutScriptComesBack();
    void scriptEndsTheWizard_data();
    void scriptEndsTheWizard();
    void leavingBreaksOffOnce_data();
    void leavingBreaksOffOnce();

private:
    QStringList m_errors;
};

void TestScriptWizard::init()
{
    m_errors.clear();
    SetErrorDisplay([this](const QString &message) { m_errors << message; });
}

void TestScriptWizard::cleanup()
{
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
}

void TestScriptWizard::endWithoutScriptComesBack_data()
{
    addKinds();
    QTest::addColumn<bool>("brokenOff");
    for (const char *kind : {"one table", "several tables"}) {
        QTest::addRow("%s, broken off", kind) << QString::fromLatin1(kind) << true;
        QTest::addRow("%s, failed", kind) << QString::fromLatin1(kind) << false;
    }
}

void TestScriptWizard::endWithoutScriptComesBack()
{
    QFETCH(QString, kind);
    QFETCH(bool, brokenOff);
    const std::unique_ptr<Subject> s = makeSubject(kind);
    s->toProgress();
    QCOMPARE(s->page(), QStringLiteral("ProgressTabSheet"));
    QVERIFY(s->form->IsGenerating());
    QVERIFY(!s->next()->isEnabled());
    s->progress(42, QStringLiteral("half way"));
    QCOMPARE(child<QProgressBar>(s->form.get(), "ProgressBar")->value(), 42);

    s->finish(nullptr, brokenOff ? TGenerationResult::BrokenOff()
                                 : TGenerationResult::Failed(QStringLiteral("server gone")));
    QVERIFY(!s->form->IsGenerating());
    QVERIFY(!s->form->ResultScript());
    QVERIFY(s->form->isVisible());
    QCOMPARE(s->page(), s->startPage);
    QVERIFY(s->next()->isEnabled());
    auto *notice = s->form->findChild<QMessageBox *>(QStringLiteral("GenerationEndNotice"));
    QVERIFY(notice);
    QCOMPARE(notice->windowTitle(), s->form->windowTitle());
    QCOMPARE(notice->icon(), brokenOff ? QMessageBox::Information : QMessageBox::Warning);
    if (brokenOff)
        QCOMPARE(notice->text(), ScriptWizardTexts::BrokenOff);
    else
        QVERIFY2(notice->text().contains(QStringLiteral("server gone")), qPrintable(notice->text()));
    notice->accept();

    // The next run starts on a fresh progress page.
    s->next()->click();
    QCOMPARE(s->page(), QStringLiteral("ProgressTabSheet"));
    QCOMPARE(s->starts(), 2);
    QVERIFY(s->form->IsGenerating());
    QCOMPARE(child<QLabel>(s->form.get(), "ProgressLabel")->text(), QStringLiteral("Прогресс:"));
    QCOMPARE(child<QProgressBar>(s->form.get(), "ProgressBar")->value(), 0);
    QVERIFY(child<QLabel>(s->form.get(), "ProgressInfoLabel")->text().isEmpty());
}

void TestScriptWizard::scriptEndsTheWizard_data()
{
    addKinds();
    QTest::newRow("one table") << QStringLiteral("one table");
    QTest::newRow("several tables") << QStringLiteral("several tables");
}

void TestScriptWizard::scriptEndsTheWizard()
{
    QFETCH(QString, kind);
    const std::unique_ptr<Subject> s = makeSubject(kind);
    s->toProgress();
    auto script = std::make_unique<TScript>();
    script->Lines = QStringList{QStringLiteral("-- done")};
    const TScript *delivered = script.get();
    s->finish(std::move(script), TGenerationResult::Completed());
    QCOMPARE(s->form->result(), int(QDialog::Accepted));
    QVERIFY(!s->form->isVisible());
    QCOMPARE(s->form->ResultScript(), delivered);
    QVERIFY(!s->form->IsGenerating());
    // The handlers stay: the controller is done with them, nothing breaks off.
    QVERIFY(!s->calls->contains(QStringLiteral("BreakScriptCreation")));
}

void TestScriptWizard::leavingBreaksOffOnce_data()
{
    addKinds();
    QTest::addColumn<QString>("how");
    for (const char *kind : {"one table", "several tables"})
        for (const char *how : {"Esc", "close", "gone"})
            QTest::addRow("%s, %s", kind, how) << QString::fromLatin1(kind) << QString::fromLatin1(how);
}

void TestScriptWizard::leavingBreaksOffOnce()
{
    QFETCH(QString, kind);
    QFETCH(QString, how);
    std::unique_ptr<Subject> s = makeSubject(kind);
    s->toProgress();
    QVERIFY(s->form->IsGenerating());
    const qsizetype before = s->calls->size();
    if (how == QLatin1String("Esc"))
        QTest::keyClick(s->form.get(), Qt::Key_Escape);
    else if (how == QLatin1String("close"))
        s->form->close();
    else
        s->form.reset();
    if (s->form) {
        QCOMPARE(s->form->result(), int(QDialog::Rejected));
        QVERIFY(!s->form->IsGenerating());
        // Leaving again, and the form going, break nothing off a second time.
        s->form->reject();
        s->form.reset();
    }
    QCOMPARE(s->calls->mid(before),
             (QStringList{"SetOnScriptCreated(none)", "SetOnProgress(none)", "BreakScriptCreation"}));
}

QTEST_MAIN(TestScriptWizard)
#include "tst_scriptwizard.moc"
