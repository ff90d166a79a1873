// Building the several-tables wizard's widgets and steps.

#include "SeveralTablesWizard.h"

#include "Domain.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QFont tahoma(int pixelSize, bool bold = false)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QFrame *lineBevel(QWidget *parent, const QString &name)
{
    auto *bevel = new QFrame(parent);
    bevel->setObjectName(name);
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    return bevel;
}

QLabel *wrappedLabel(const QString &text, QWidget *parent, const QString &name = QString())
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    if (!name.isEmpty())
        label->setObjectName(name);
    return label;
}

} // namespace

void TSeveralTablesCreationWizard::BuildForm()
{
    setObjectName(QStringLiteral("SeveralTablesCreationWizard"));
    setWindowTitle(SeveralTablesWizardTexts::Caption);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    // Room for the table list beside the order it takes.
    setFixedSize(660, 500);

    TopPanel = new QWidget(this);
    TopPanel->setObjectName(QStringLiteral("TopPanel"));
    TopPanel->setFixedHeight(55);
    TopPanel->setAutoFillBackground(true);
    QPalette white = TopPanel->palette();
    white.setColor(QPalette::Window, Qt::white);
    TopPanel->setPalette(white);
    StepNameLabel = new QLabel(TopPanel);
    StepNameLabel->setObjectName(QStringLiteral("StepNameLabel"));
    StepNameLabel->setFont(tahoma(11, true));
    StepDiscriptionLabel = new QLabel(TopPanel);
    StepDiscriptionLabel->setObjectName(QStringLiteral("StepDiscriptionLabel"));
    StepDiscriptionLabel->setFont(tahoma(11));
    auto *topLayout = new QVBoxLayout(TopPanel);
    topLayout->setContentsMargins(16, 8, 8, 8);
    topLayout->addWidget(StepNameLabel);
    topLayout->addWidget(StepDiscriptionLabel);

    PageControl = new QStackedWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    TablesSelectTabSheet = BuildTablesSelectPage();
    DefaultsTabSheet = BuildDefaultsPage();
    OptionsTabSheet = BuildOptionsPage();
    ProgressTabSheet = BuildProgressPage();
    for (QWidget *page : {TablesSelectTabSheet, DefaultsTabSheet, OptionsTabSheet, ProgressTabSheet})
        PageControl->addWidget(page);

    auto *bottom = new QWidget(this);
    bottom->setObjectName(QStringLiteral("BottomPanel"));
    bottom->setFixedHeight(41);
    PreviosButton = new QPushButton(bottom);
    PreviosButton->setObjectName(QStringLiteral("PreviosButton"));
    NextButton = new QPushButton(bottom);
    NextButton->setObjectName(QStringLiteral("NextButton"));
    CancelButton = new QPushButton(bottom);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    auto *buttons = new QHBoxLayout(bottom);
    buttons->setContentsMargins(8, 8, 8, 8);
    buttons->addStretch(1);
    for (QPushButton *button : {PreviosButton, NextButton, CancelButton}) {
        button->setFixedSize(75, 25);
        button->setEnabled(false);
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }

    auto *form = new QVBoxLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->setSpacing(0);
    form->addWidget(TopPanel);
    form->addWidget(lineBevel(this, QStringLiteral("TopBevel")));
    form->addWidget(PageControl, 1);
    form->addWidget(lineBevel(this, QStringLiteral("Bevel1")));
    form->addWidget(bottom);

    ExitAction = new QAction(this);
    ExitAction->setObjectName(QStringLiteral("ExitAction"));
    ExitAction->setShortcut(Qt::Key_Escape);
    addAction(ExitAction);
    connect(ExitAction, &QAction::triggered, this, &TSeveralTablesCreationWizard::ExitActionExecute);
}

QWidget *TSeveralTablesCreationWizard::BuildTablesSelectPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TablesSelectTabSheet"));

    TablesFilterEdit = new QLineEdit(page);
    TablesFilterEdit->setObjectName(QStringLiteral("TablesFilterEdit"));
    TablesFilterEdit->setPlaceholderText(QStringLiteral("Найти таблицу по имени"));
    TablesFilterEdit->setClearButtonEnabled(true);
    TablesCheckListBox = new QListWidget(page);
    TablesCheckListBox->setObjectName(QStringLiteral("TablesCheckListBox"));
    CheckAllTablesButton = new QPushButton(QStringLiteral("Отметить все"), page);
    CheckAllTablesButton->setObjectName(QStringLiteral("CheckAllTablesButton"));
    UncheckAllTablesButton = new QPushButton(QStringLiteral("Снять все"), page);
    UncheckAllTablesButton->setObjectName(QStringLiteral("UncheckAllTablesButton"));
    for (QPushButton *button : {CheckAllTablesButton, UncheckAllTablesButton})
        button->setAutoDefault(false);
    CheckedCountLabel = new QLabel(page);
    CheckedCountLabel->setObjectName(QStringLiteral("CheckedCountLabel"));

    auto *marks = new QHBoxLayout;
    marks->addWidget(CheckAllTablesButton);
    marks->addWidget(UncheckAllTablesButton);
    marks->addStretch(1);
    auto *left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Таблицы базы данных:"), page));
    left->addWidget(TablesFilterEdit);
    left->addWidget(TablesCheckListBox, 1);
    left->addLayout(marks);
    left->addWidget(CheckedCountLabel);

    OrderListBox = new QListWidget(page);
    OrderListBox->setObjectName(QStringLiteral("OrderListBox"));
    OrderListBox->setSelectionMode(QAbstractItemView::NoSelection);
    OrderListBox->setFocusPolicy(Qt::NoFocus);
    // The ring's message takes what it needs from the list's height.
    OrderListBox->setMinimumHeight(60);
    CycleLabel = wrappedLabel(QString(), page, QStringLiteral("CycleLabel"));
    QPalette warning = CycleLabel->palette();
    warning.setColor(QPalette::WindowText, QColor(176, 0, 0));
    CycleLabel->setPalette(warning);
    CycleLabel->hide();
    DisableConstraintsCheckBox = new QCheckBox(SeveralTablesWizardTexts::DisableConstraints, page);
    DisableConstraintsCheckBox->setObjectName(QStringLiteral("DisableConstraintsCheckBox"));
    DisableConstraintsCheckBox->setToolTip(SeveralTablesWizardTexts::DisableConstraintsNote);

    auto *right = new QVBoxLayout;
    right->addWidget(wrappedLabel(SeveralTablesWizardTexts::OrderHint, page));
    right->addWidget(OrderListBox, 1);
    right->addWidget(CycleLabel);
    CycleLabel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    right->addWidget(DisableConstraintsCheckBox);

    auto *layout = new QHBoxLayout(page);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);

    connect(TablesCheckListBox, &QListWidget::itemChanged, this,
            &TSeveralTablesCreationWizard::TablesCheckListBoxClickCheck);
    connect(TablesFilterEdit, &QLineEdit::textChanged, this, &TSeveralTablesCreationWizard::TablesFilterEditChange);
    connect(CheckAllTablesButton, &QPushButton::clicked, this,
            &TSeveralTablesCreationWizard::CheckAllTablesActionExecute);
    connect(UncheckAllTablesButton, &QPushButton::clicked, this,
            &TSeveralTablesCreationWizard::UncheckAllTablesActionExecute);
    connect(DisableConstraintsCheckBox, &QCheckBox::toggled, this,
            &TSeveralTablesCreationWizard::DisableConstraintsCheckBoxClick);
    return page;
}

QWidget *TSeveralTablesCreationWizard::BuildDefaultsPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("DefaultsTabSheet"));
    DefaultsTreeView = new QTreeWidget(page);
    DefaultsTreeView->setObjectName(QStringLiteral("DefaultsTreeView"));
    DefaultsTreeView->setRootIsDecorated(false);
    DefaultsTreeView->setSelectionMode(QAbstractItemView::NoSelection);
    DefaultsTreeView->setHeaderLabels({QStringLiteral("№"), QStringLiteral("Таблица"), QStringLiteral("Столбцы"),
                                       QStringLiteral("Ключевые столбцы")});
    DefaultsTreeView->header()->setStretchLastSection(true);
    DefaultsTreeView->setColumnWidth(0, 36);
    DefaultsTreeView->setColumnWidth(1, 180);
    DefaultsTreeView->setColumnWidth(2, 90);
    NoKeyNoteLabel = wrappedLabel(SeveralTablesWizardTexts::NoKeyNote, page, QStringLiteral("NoKeyNoteLabel"));
    NoKeyNoteLabel->hide();
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(DefaultsTreeView, 1);
    layout->addWidget(NoKeyNoteLabel);
    layout->addWidget(wrappedLabel(QStringLiteral("Другие столбцы и ключи можно выбрать в мастере для одной таблицы."),
                                   page));
    return page;
}

QWidget *TSeveralTablesCreationWizard::BuildOptionsPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("OptionsTabSheet"));
    OnlyChangedCheckBox = new QCheckBox(QStringLiteral("Обновлять только изменившиеся строки"), page);
    OnlyChangedCheckBox->setObjectName(QStringLiteral("OnlyChangedCheckBox"));
    DeleteTablesCheckBox = new QCheckBox(SeveralTablesWizardTexts::DeleteTables, page);
    DeleteTablesCheckBox->setObjectName(QStringLiteral("DeleteTablesCheckBox"));
    auto *deleteNote = wrappedLabel(SeveralTablesWizardTexts::DeleteOrderNote, page, QStringLiteral("DeleteOrderNoteLabel"));
    deleteNote->setIndent(20);
    BatchModeComboBox = new QComboBox(page);
    BatchModeComboBox->setObjectName(QStringLiteral("BatchModeComboBox"));
    BatchModeComboBox->addItems({QStringLiteral("Пакеты: автоматически"), QStringLiteral("Все строки одним пакетом"),
                                 QStringLiteral("Пакеты по числу строк")});
    BatchRowsSpinBox = new QSpinBox(page);
    BatchRowsSpinBox->setObjectName(QStringLiteral("BatchRowsSpinBox"));
    BatchRowsSpinBox->setRange(1, 100000000);
    BatchRowsSpinBox->setValue(int(DefaultBatchRows));
    BatchRowsSpinBox->setSuffix(QStringLiteral(" строк в пакете"));
    BatchRowsSpinBox->setEnabled(false);
    connect(BatchModeComboBox, &QComboBox::currentIndexChanged, BatchRowsSpinBox,
            [this](int index) { BatchRowsSpinBox->setEnabled(index == 2); });
    RowFilterNoteLabel = wrappedLabel(SeveralTablesWizardTexts::RowFilterNote, page, QStringLiteral("RowFilterNoteLabel"));

    auto *batches = new QHBoxLayout;
    batches->addWidget(BatchModeComboBox, 1);
    batches->addWidget(BatchRowsSpinBox, 1);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->addWidget(OnlyChangedCheckBox);
    layout->addSpacing(8);
    layout->addWidget(DeleteTablesCheckBox);
    layout->addWidget(deleteNote);
    layout->addSpacing(8);
    layout->addWidget(new QLabel(QStringLiteral("Строки в скрипте:"), page));
    layout->addLayout(batches);
    layout->addSpacing(12);
    layout->addWidget(RowFilterNoteLabel);
    layout->addStretch(1);
    return page;
}

QWidget *TSeveralTablesCreationWizard::BuildProgressPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("ProgressTabSheet"));
    ProgressLabel = new QLabel(QStringLiteral("Прогресс:"), page);
    ProgressLabel->setObjectName(QStringLiteral("ProgressLabel"));
    ProgressBar = new QProgressBar(page);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressInfoLabel = wrappedLabel(QString(), page, QStringLiteral("ProgressInfoLabel"));
    ProgressInfoLabel->setFont(tahoma(9));
    BreakSriptGenerationButton = new QPushButton(QStringLiteral("Прервать"), page);
    BreakSriptGenerationButton->setObjectName(QStringLiteral("BreakSriptGenerationButton"));
    BreakSriptGenerationButton->setAutoDefault(false);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(ProgressLabel);
    layout->addWidget(ProgressBar);
    layout->addWidget(ProgressInfoLabel);
    layout->addStretch(1);
    layout->addWidget(BreakSriptGenerationButton, 0, Qt::AlignRight);
    connect(BreakSriptGenerationButton, &QPushButton::clicked, this,
            &TSeveralTablesCreationWizard::BreakSriptGenerationButtonClick);
    return page;
}

void TSeveralTablesCreationWizard::BuildSteps()
{
    PageControlWizzard = new TPageControlWizzard(this);
    PageControlWizzard->setObjectName(QStringLiteral("PageControlWizzard"));
    PageControlWizzard->SetNextButton(NextButton);
    PageControlWizzard->SetPreviousButton(PreviosButton);
    PageControlWizzard->SetCancelButton(CancelButton);
    PageControlWizzard->OnShow = [this](TPageControlWizzardStep *s) { PageControlWizzardShow(s); };
    PageControlWizzard->OnCancel = [this](TPageControlWizzardStep *) { ExitAction->trigger(); };

    const auto makeStep = [this](const QString &name, QWidget *page, const QString &title,
                                 const QString &description) {
        auto *step = new TPageControlWizzardStep(this);
        step->setObjectName(name);
        step->SetTabSheet(page);
        step->SetStepName(title);
        step->SetStepDescription(description);
        step->SetWizzard(PageControlWizzard);
        return step;
    };
    using namespace SeveralTablesWizardTexts;
    TablesSelectWizzardStep = makeStep(QStringLiteral("TablesSelectWizzardStep"), TablesSelectTabSheet,
                                       TablesStepName, TablesStepDescription);
    DefaultsWizzardStep = makeStep(QStringLiteral("DefaultsWizzardStep"), DefaultsTabSheet, DefaultsStepName,
                                   DefaultsStepDescription);
    OptionsWizzardStep = makeStep(QStringLiteral("OptionsWizzardStep"), OptionsTabSheet, OptionsStepName,
                                  OptionsStepDescription);
    ProgressWizzardStep = makeStep(QStringLiteral("ProgressWizzardStep"), ProgressTabSheet, ProgressStepName,
                                   ProgressStepDescription);

    TablesSelectWizzardStep->SetNextStep(DefaultsWizzardStep);
    DefaultsWizzardStep->SetPreviousStep(TablesSelectWizzardStep);
    DefaultsWizzardStep->SetNextStep(OptionsWizzardStep);
    OptionsWizzardStep->SetPreviousStep(DefaultsWizzardStep);
    OptionsWizzardStep->SetNextStep(ProgressWizzardStep);

    TablesSelectWizzardStep->PreviousActionState()->SetVisible(false);
    TablesSelectWizzardStep->NextActionState()->SetEnabled(false);
    OptionsWizzardStep->NextActionState()->SetCaption(QStringLiteral("Создать"));
    ProgressWizzardStep->NextActionState()->SetEnabled(false);
    ProgressWizzardStep->PreviousActionState()->SetEnabled(false);
    ProgressWizzardStep->CancelActionState()->SetEnabled(false);

    TablesSelectWizzardStep->OnShow = [this](TPageControlWizzardStep *s) { TablesSelectWizzardStepShow(s); };
    TablesSelectWizzardStep->OnExecute = [this](TPageControlWizzardStep *s) { TablesSelectWizzardStepExecute(s); };
    OptionsWizzardStep->OnExecute = [this](TPageControlWizzardStep *s) { OptionsWizzardStepExecute(s); };

    PageControlWizzard->SetFirstStep(TablesSelectWizzardStep);
}
