// Building the several-tables wizard's widgets and steps.

#include "SeveralTablesWizard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

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

    TablesSelectTabSheet = BuildTablesSelectPage();
    DefaultsTabSheet = BuildDefaultsPage();
    OptionsTabSheet = BuildOptionsPage();
    BuildFrame({TablesSelectTabSheet, DefaultsTabSheet, OptionsTabSheet, BuildProgressPage()});
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
    BuildOnlyChangedCheckBox(page);
    DeleteTablesCheckBox = new QCheckBox(SeveralTablesWizardTexts::DeleteTables, page);
    DeleteTablesCheckBox->setObjectName(QStringLiteral("DeleteTablesCheckBox"));
    auto *deleteNote = wrappedLabel(SeveralTablesWizardTexts::DeleteOrderNote, page, QStringLiteral("DeleteOrderNoteLabel"));
    deleteNote->setIndent(20);
    BuildBatchEdits(page);
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

void TSeveralTablesCreationWizard::BuildSteps()
{
    BuildWizzard();
    using namespace SeveralTablesWizardTexts;
    TablesSelectWizzardStep = MakeStep(QStringLiteral("TablesSelectWizzardStep"), TablesSelectTabSheet,
                                       TablesStepName, TablesStepDescription);
    DefaultsWizzardStep = MakeStep(QStringLiteral("DefaultsWizzardStep"), DefaultsTabSheet, DefaultsStepName,
                                   DefaultsStepDescription);
    OptionsWizzardStep = MakeStep(QStringLiteral("OptionsWizzardStep"), OptionsTabSheet, OptionsStepName,
                                  OptionsStepDescription);
    AddProgressStep(OptionsWizzardStep);

    TablesSelectWizzardStep->SetNextStep(DefaultsWizzardStep);
    DefaultsWizzardStep->SetPreviousStep(TablesSelectWizzardStep);
    DefaultsWizzardStep->SetNextStep(OptionsWizzardStep);
    OptionsWizzardStep->SetPreviousStep(DefaultsWizzardStep);

    TablesSelectWizzardStep->PreviousActionState()->SetVisible(false);
    TablesSelectWizzardStep->NextActionState()->SetEnabled(false);
    OptionsWizzardStep->NextActionState()->SetCaption(QStringLiteral("Создать"));

    TablesSelectWizzardStep->OnShow = [this](TPageControlWizzardStep *s) { TablesSelectWizzardStepShow(s); };
    TablesSelectWizzardStep->OnExecute = [this](TPageControlWizzardStep *s) { TablesSelectWizzardStepExecute(s); };
    OptionsWizzardStep->OnExecute = [this](TPageControlWizzardStep *s) { OptionsWizzardStepExecute(s); };

    PageControlWizzard->SetFirstStep(TablesSelectWizzardStep);
}
