#include "PageControlWizzard.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QWidget>

#include <memory>
#include <stdexcept>

// A host with three pages and three steps chained A <-> B <-> C, every
// notification written to a log.
struct Host
{
    QWidget form;
    QStackedWidget *pages = new QStackedWidget(&form);
    QPushButton *next = new QPushButton(QStringLiteral("x"), &form);
    QPushButton *previous = new QPushButton(QStringLiteral("x"), &form);
    QPushButton *cancel = new QPushButton(QStringLiteral("x"), &form);
    TPageControlWizzard *wizzard = new TPageControlWizzard(&form);
    QList<TPageControlWizzardStep *> steps;
    QStringList log;

    explicit Host(int count = 3)
    {
        pages->addWidget(new QWidget); // no step's page is showing before the first show
        wizzard->SetNextButton(next);
        wizzard->SetPreviousButton(previous);
        wizzard->SetCancelButton(cancel);
        wizzard->OnShow = [this](TPageControlWizzardStep *s) { log << "wizard.show " + s->StepName(); };
        wizzard->OnExecute = [this](TPageControlWizzardStep *s) { log << "wizard.execute " + s->StepName(); };
        wizzard->OnUnExecute = [this](TPageControlWizzardStep *s) { log << "wizard.unexecute " + s->StepName(); };
        wizzard->OnCancel = [this](TPageControlWizzardStep *s) { log << "wizard.cancel " + s->StepName(); };
        for (int i = 0; i < count; ++i) {
            auto *step = new TPageControlWizzardStep(&form);
            step->SetStepName(QString(QChar('A' + i)));
            auto *page = new QWidget;
            pages->addWidget(page);
            step->SetTabSheet(page);
            step->OnShow = [this](TPageControlWizzardStep *s) {
                log << QStringLiteral("step.show %1 page=%2 next=%3")
                           .arg(s->StepName())
                           .arg(pages->currentWidget() == s->TabSheet() ? "on" : "off")
                           .arg(next->isEnabled() ? "enabled" : "disabled");
            };
            step->OnExecute = [this](TPageControlWizzardStep *s) { log << "step.execute " + s->StepName(); };
            step->OnUnExecute = [this](TPageControlWizzardStep *s) { log << "step.unexecute " + s->StepName(); };
            step->SetWizzard(wizzard);
            steps << step;
        }
        for (int i = 0; i < count; ++i) {
            if (i > 0)
                steps[i]->SetPreviousStep(steps[i - 1]);
            if (i + 1 < count)
                steps[i]->SetNextStep(steps[i + 1]);
        }
    }
};

class TestWizardFramework : public QObject
{
    Q_OBJECT
private slots:
    void loadedShowsFirstStep_data();
    void loadedShowsFirstStep();
    void notificationOrder_data();
    void notificationOrder();
    void wrongIndex_data();
    void wrongIndex();
    void emptyWizardFailsOnLoad();
    void statesAppliedOnEachStep();
    void nonCurrentStateReachesButtonAtOnce();
    void checkedNeverTouchesButton();
    void assignFiresFourChanges();
    void assignRejectsOtherClasses();
    void settingButtonReplacesClickHandler();
    void clickingButtonsDrivesWizard();
    void failingExecuteKeepsStep();
    void stepsOwnedByWizard();
    void stepMovesBetweenWizards();
    void tabWidgetPagesFollow();
};

void TestWizardFramework::loadedShowsFirstStep_data()
{
    QTest::addColumn<int>("firstStep");
    QTest::addColumn<int>("expectedIndex");
    QTest::newRow("no first step: first registered") << -1 << 0;
    QTest::newRow("first step set") << 1 << 1;
    QTest::newRow("last step set") << 2 << 2;
}

void TestWizardFramework::loadedShowsFirstStep()
{
    QFETCH(int, firstStep);
    QFETCH(int, expectedIndex);
    Host host;
    if (firstStep >= 0)
        host.wizzard->SetFirstStep(host.steps[firstStep]);
    host.wizzard->Loaded();
    QCOMPARE(host.wizzard->CurrentIndex(), expectedIndex);
    QCOMPARE(host.pages->currentWidget(), host.steps[expectedIndex]->TabSheet());
    const QString name = host.steps[expectedIndex]->StepName();
    QCOMPARE(host.log, (QStringList{"step.show " + name + " page=off next=enabled", "wizard.show " + name}));
    QCOMPARE(host.next->text(), QStringLiteral("Далее >"));
    QCOMPARE(host.previous->text(), QStringLiteral("< Назад"));
    QCOMPARE(host.cancel->text(), QStringLiteral("Отмена"));
}

void TestWizardFramework::notificationOrder_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("endIndex");
    QTest::newRow("next") << 0 << "next"
                          << QStringList{"step.execute A", "wizard.execute A",
                                         "step.show B page=off next=enabled", "wizard.show B"}
                          << 1;
    QTest::newRow("next on last step stays") << 2 << "next"
                                             << QStringList{"step.execute C", "wizard.execute C"} << 2;
    QTest::newRow("previous") << 2 << "previous"
                              << QStringList{"step.unexecute C", "wizard.unexecute C",
                                             "step.show B page=off next=enabled", "wizard.show B"}
                              << 1;
    QTest::newRow("previous on first step stays") << 0 << "previous"
                                                  << QStringList{"step.unexecute A", "wizard.unexecute A"} << 0;
    QTest::newRow("cancel neither moves nor executes") << 1 << "cancel" << QStringList{"wizard.cancel B"} << 1;
}

void TestWizardFramework::notificationOrder()
{
    QFETCH(int, start);
    QFETCH(QString, button);
    QFETCH(QStringList, expected);
    QFETCH(int, endIndex);
    Host host;
    host.wizzard->Loaded();
    host.wizzard->SetCurrentIndex(start);
    host.log.clear();
    if (button == "next")
        host.wizzard->NextButtonClick();
    else if (button == "previous")
        host.wizzard->PreviousButtonClick();
    else
        host.wizzard->CancelButtonClick();
    QCOMPARE(host.log, expected);
    QCOMPARE(host.wizzard->CurrentIndex(), endIndex);
    QCOMPARE(host.pages->currentWidget(), host.steps[endIndex]->TabSheet());
}

void TestWizardFramework::wrongIndex_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("message");
    QTest::newRow("one past the end") << 4 << 4 << "Индекс 4 не лежит в допустимом диапазоне от 0 до 3.";
    QTest::newRow("far past the end") << 4 << 5 << "Индекс 5 не лежит в допустимом диапазоне от 0 до 3.";
    QTest::newRow("negative") << 4 << -1 << "Индекс -1 не лежит в допустимом диапазоне от 0 до 3.";
    QTest::newRow("no steps") << 0 << 0 << "Индекс 0 не лежит в допустимом диапазоне от 0 до -1.";
}

void TestWizardFramework::wrongIndex()
{
    QFETCH(int, steps);
    QFETCH(int, index);
    QFETCH(QString, message);
    Host host(steps);
    if (steps > 0) {
        host.wizzard->Loaded();
        host.wizzard->SetCurrentIndex(1);
    }
    host.log.clear();
    const int before = host.wizzard->CurrentIndex();
    try {
        host.wizzard->SetCurrentIndex(index);
        QFAIL("no exception");
    } catch (const EWrongIndexException &e) {
        QCOMPARE(e.Message(), message);
    }
    QCOMPARE(host.wizzard->CurrentIndex(), before);
    QVERIFY(host.log.isEmpty());
}

void TestWizardFramework::emptyWizardFailsOnLoad()
{
    Host host(0);
    try {
        host.wizzard->Loaded();
        QFAIL("no exception");
    } catch (const EWizzardException &e) {
        QCOMPARE(e.Message(), QStringLiteral("Индекс 0 не лежит в допустимом диапазоне от 0 до -1."));
    }
}

void TestWizardFramework::statesAppliedOnEachStep()
{
    Host host;
    host.steps[0]->PreviousActionState()->SetVisible(false);
    host.steps[1]->NextActionState()->SetCaption(QStringLiteral("Готово"));
    host.steps[1]->CancelActionState()->SetEnabled(false);
    host.wizzard->Loaded();
    QVERIFY(host.previous->isHidden());
    QCOMPARE(host.next->text(), QStringLiteral("Далее >"));
    QVERIFY(host.cancel->isEnabled());

    host.wizzard->NextButtonClick();
    QVERIFY(!host.previous->isHidden());
    QCOMPARE(host.next->text(), QStringLiteral("Готово"));
    QVERIFY(!host.cancel->isEnabled());

    host.wizzard->PreviousButtonClick();
    QVERIFY(host.previous->isHidden());
    QCOMPARE(host.next->text(), QStringLiteral("Далее >"));
    QVERIFY(host.cancel->isEnabled());
}

void TestWizardFramework::nonCurrentStateReachesButtonAtOnce()
{
    Host host;
    host.wizzard->Loaded();
    QVERIFY(host.next->isEnabled());
    host.steps[2]->NextActionState()->SetEnabled(false);
    QVERIFY(!host.next->isEnabled()); // the button follows at once, current step or not
    host.wizzard->GoToStep(host.steps[1]);
    QVERIFY(host.next->isEnabled());
    host.wizzard->GoToStep(host.steps[2]);
    QVERIFY(!host.next->isEnabled());
}

void TestWizardFramework::checkedNeverTouchesButton()
{
    Host host;
    host.next->setCheckable(true);
    host.wizzard->Loaded();
    host.steps[0]->NextActionState()->SetChecked(true);
    QVERIFY(!host.next->isChecked());
    host.wizzard->SetCurrentIndex(0);
    QVERIFY(!host.next->isChecked());
    QVERIFY(host.steps[0]->NextActionState()->Checked());
}

void TestWizardFramework::assignFiresFourChanges()
{
    Host host;
    host.wizzard->Loaded();
    TActionState source(false, false, true, QStringLiteral("Готово"));
    TActionState *target = host.steps[0]->NextActionState();
    QStringList seen;
    const auto bound = target->OnChange;
    target->OnChange = [&](TActionState *s) {
        seen << QStringLiteral("%1 %2 %3 %4").arg(s->Visible()).arg(s->Enabled()).arg(s->Checked()).arg(s->Caption());
        bound(s);
    };
    host.steps[0]->SetNextActionState(&source);
    QCOMPARE(seen, (QStringList{"0 1 0 Далее >", "0 0 0 Далее >", "0 0 1 Далее >", "0 0 1 Готово"}));
    QCOMPARE(target->Caption(), QStringLiteral("Готово"));
    QVERIFY(target != &source);
    QCOMPARE(host.next->text(), QStringLiteral("Готово"));
    QVERIFY(!host.next->isEnabled());
    QVERIFY(host.next->isHidden());

    seen.clear();
    target->SetEnabled(false); // an unchanged value still notifies
    QCOMPARE(seen.size(), 1);
}

void TestWizardFramework::assignRejectsOtherClasses()
{
    TActionState state;
    QObject other;
    try {
        state.Assign(&other);
        QFAIL("no exception");
    } catch (const EConvertError &e) {
        QCOMPARE(e.Message(), QStringLiteral("Cannot assign a QObject to a TActionState"));
    }
    QVERIFY(state.Visible());
    QVERIFY(state.Enabled());
}

void TestWizardFramework::settingButtonReplacesClickHandler()
{
    QPushButton button(QStringLiteral("Старый"));
    int foreignClicks = 0;
    QObject context;
    connect(&button, &QPushButton::clicked, &context, [&] { ++foreignClicks; });
    Host host;
    host.wizzard->Loaded();
    host.wizzard->SetNextButton(&button);
    QCOMPARE(button.text(), QStringLiteral("Далее >"));
    host.log.clear();
    button.click();
    QCOMPARE(foreignClicks, 0);
    QCOMPARE(host.wizzard->CurrentIndex(), 1);

    host.wizzard->SetNextButton(nullptr);
    QVERIFY(!host.wizzard->NextButton());
    button.click();
    QCOMPARE(host.wizzard->CurrentIndex(), 1);
}

void TestWizardFramework::clickingButtonsDrivesWizard()
{
    Host host;
    host.wizzard->Loaded();
    host.next->click();
    host.next->click();
    QCOMPARE(host.wizzard->CurrentIndex(), 2);
    host.previous->click();
    QCOMPARE(host.wizzard->CurrentIndex(), 1);
    host.log.clear();
    host.cancel->click();
    QCOMPARE(host.log, QStringList{"wizard.cancel B"});
}

void TestWizardFramework::failingExecuteKeepsStep()
{
    Host host;
    host.wizzard->Loaded();
    host.steps[0]->OnExecute = [](TPageControlWizzardStep *) { throw std::runtime_error("нет связи"); };
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, host.wizzard->NextButtonClick());
    QCOMPARE(host.wizzard->CurrentIndex(), 0);

    // Through the button the failure goes to the error display, not the event loop.
    QStringList shown;
    const TErrorDisplay previous = SetErrorDisplay([&](const QString &m) { shown << m; });
    host.next->click();
    SetErrorDisplay(previous);
    QCOMPARE(shown, QStringList{"нет связи"});
    QCOMPARE(host.wizzard->CurrentIndex(), 0);
}

void TestWizardFramework::stepsOwnedByWizard()
{
    auto wizzard = std::make_unique<TPageControlWizzard>();
    QPointer<TPageControlWizzardStep> a = new TPageControlWizzardStep;
    QPointer<TPageControlWizzardStep> b = new TPageControlWizzardStep;
    a->SetWizzard(wizzard.get());
    b->SetWizzard(wizzard.get());
    b->SetWizzard(wizzard.get()); // held once
    QCOMPARE(wizzard->StepCount(), 2);
    QCOMPARE(wizzard->AddStep(nullptr), -1);

    delete a.data(); // a step destroyed first drops out
    QCOMPARE(wizzard->StepCount(), 1);
    QCOMPARE(wizzard->IndexOfStep(b), 0);

    wizzard.reset(); // the rest go with the wizard
    QVERIFY(b.isNull());
}

void TestWizardFramework::stepMovesBetweenWizards()
{
    TPageControlWizzard first;
    TPageControlWizzard second;
    auto *step = new TPageControlWizzardStep(&first);
    step->SetWizzard(&first);
    step->SetWizzard(&second);
    QCOMPARE(first.StepCount(), 0);
    QCOMPARE(second.IndexOfStep(step), 0);
    QCOMPARE(step->Wizzard(), &second);

    // A destroyed neighbour or page is forgotten.
    auto *other = new TPageControlWizzardStep;
    auto *page = new QWidget;
    step->SetNextStep(other);
    step->SetTabSheet(page);
    delete other;
    delete page;
    QVERIFY(!step->NextStep());
    QVERIFY(!step->TabSheet());
}

void TestWizardFramework::tabWidgetPagesFollow()
{
    QTabWidget tabs;
    tabs.tabBar()->hide();
    TPageControlWizzard wizzard;
    QList<QWidget *> pages;
    for (int i = 0; i < 3; ++i) {
        auto *page = new QWidget;
        tabs.addTab(page, QString());
        auto *step = new TPageControlWizzardStep;
        step->SetTabSheet(page);
        step->SetWizzard(&wizzard);
        pages << page;
    }
    wizzard.SetFirstStep(wizzard.CurrentStep());
    wizzard.Loaded();
    wizzard.SetCurrentIndex(2);
    QCOMPARE(tabs.currentWidget(), pages[2]);
    QCOMPARE(tabs.currentIndex(), 2);
}

QTEST_MAIN(TestWizardFramework)
#include "tst_wizardframework.moc"
