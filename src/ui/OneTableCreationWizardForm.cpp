// Building the table script wizard's widgets and steps.

#include "OneTableCreationWizard.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QLabel *label(const QString &text, QWidget *parent, const QFont &font = QFont())
{
    auto *result = new QLabel(text, parent);
    if (font != QFont())
        result->setFont(font);
    return result;
}

// The greeting's decorative picture: a blue band with the program's mark.
QPixmap decorativePicture(const QStyle *style)
{
    QPixmap picture(200, 352);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, 0, picture.height());
    gradient.setColorAt(0, QColor(32, 64, 140));
    gradient.setColorAt(1, QColor(120, 160, 220));
    painter.fillRect(picture.rect(), gradient);
    const QPixmap mark = style->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(64, 64);
    painter.drawPixmap((picture.width() - 64) / 2, 60, mark);
    return picture;
}

} // namespace

void TOneStepCreatinWizard::BuildForm()
{
    setObjectName(QStringLiteral("OneStepCreatinWizard"));
    setWindowTitle(OneTableWizardTexts::NoticeCaption);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
    setFixedSize(521, 393);
    setAutoFillBackground(true);

    ImagePanel = new QWidget(this);
    ImagePanel->setObjectName(QStringLiteral("ImagePanel"));
    ImagePanel->setFixedWidth(200);
    Image1 = new QLabel(ImagePanel);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(decorativePicture(style()));
    Image1->setScaledContents(true);
    auto *imageLayout = new QVBoxLayout(ImagePanel);
    imageLayout->setContentsMargins(0, 0, 0, 0);
    imageLayout->addWidget(Image1);

    GreetingsTabSheet = BuildGreetingsPage();
    TableSelectTabSheet = BuildTableSelectPage();
    ColumnsSelectTabSheet = BuildColumnsSelectPage();
    PrimaryColumnsSelectTabSheet = BuildPrimaryColumnsSelectPage();
    BuildFrame({GreetingsTabSheet, TableSelectTabSheet, ColumnsSelectTabSheet, PrimaryColumnsSelectTabSheet,
                BuildProgressPage()},
               ImagePanel);
    // The greeting turns the form white; the buttons keep their own colour.
    BottomPanel->setAutoFillBackground(true);
    BottomPanel->setBackgroundRole(QPalette::Button);
}

QWidget *TOneStepCreatinWizard::BuildGreetingsPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("GreetingsTabSheet"));
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(label(QStringLiteral("Вас приветствует "), page, TahomaFont(19)));
    auto *title = label(QStringLiteral("Мастер генерации скриптов"), page, TahomaFont(19));
    title->setWordWrap(true);
    layout->addWidget(title);
    layout->addSpacing(24);
    auto *help = label(QStringLiteral("Мастер поможет вам создать скрипт."), page, TahomaFont(12));
    help->setWordWrap(true);
    layout->addWidget(help);
    layout->addStretch(1);
    auto *next = label(QStringLiteral("Нажмите «Далее», чтобы продолжить, или «Отмена», чтобы выйти из мастера."),
                       page, TahomaFont(12));
    next->setWordWrap(true);
    layout->addWidget(next);
    return page;
}

QWidget *TOneStepCreatinWizard::BuildTableSelectPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TableSelectTabSheet"));
    TablesTreeView = new QTreeWidget(page);
    TablesTreeView->setObjectName(QStringLiteral("TablesTreeView"));
    TablesTreeView->setHeaderHidden(true);
    TablesTreeView->setRootIsDecorated(false);
    TablesTreeView->setSelectionMode(QAbstractItemView::SingleSelection);
    // The selection stays visible while the tree has no focus.
    QPalette keep = TablesTreeView->palette();
    keep.setColor(QPalette::Inactive, QPalette::Highlight, keep.color(QPalette::Active, QPalette::Highlight));
    keep.setColor(QPalette::Inactive, QPalette::HighlightedText,
                  keep.color(QPalette::Active, QPalette::HighlightedText));
    TablesTreeView->setPalette(keep);

    AdditionalParamsCheckBox = new QCheckBox(QStringLiteral("Дополнительные параметры"), page);
    AdditionalParamsCheckBox->setObjectName(QStringLiteral("AdditionalParamsCheckBox"));
    AdditionalTableParamsPanel = new QWidget(page);
    AdditionalTableParamsPanel->setObjectName(QStringLiteral("AdditionalTableParamsPanel"));
    TableNicknameEdit = new QLineEdit(AdditionalTableParamsPanel);
    TableNicknameEdit->setObjectName(QStringLiteral("TableNicknameEdit"));
    DeleteTableCheckBox = new QCheckBox(QStringLiteral("Удалить таблицу"), AdditionalTableParamsPanel);
    DeleteTableCheckBox->setObjectName(QStringLiteral("DeleteTableCheckBox"));
    auto *params = new QVBoxLayout(AdditionalTableParamsPanel);
    params->setContentsMargins(0, 0, 0, 0);
    params->addWidget(label(QStringLiteral("Использовать имя:"), AdditionalTableParamsPanel));
    params->addWidget(TableNicknameEdit);
    params->addWidget(DeleteTableCheckBox);
    DeleteFilterNoteLabel = new QLabel(OneTableWizardTexts::DeleteFilterNote, AdditionalTableParamsPanel);
    DeleteFilterNoteLabel->setObjectName(QStringLiteral("DeleteFilterNoteLabel"));
    DeleteFilterNoteLabel->setWordWrap(true);
    DeleteFilterNoteLabel->hide();
    params->addWidget(DeleteFilterNoteLabel);
    RowFilterEdit = new QLineEdit(AdditionalTableParamsPanel);
    RowFilterEdit->setObjectName(QStringLiteral("RowFilterEdit"));
    RowFilterEdit->setPlaceholderText(QStringLiteral("все строки"));
    params->addWidget(label(QStringLiteral("Условие отбора строк (WHERE):"), AdditionalTableParamsPanel));
    params->addWidget(RowFilterEdit);
    connect(RowFilterEdit, &QLineEdit::textChanged, this, &TOneStepCreatinWizard::RowFilterEditChange);
    BuildBatchEdits(AdditionalTableParamsPanel);
    params->addWidget(label(QStringLiteral("Строки в скрипте:"), AdditionalTableParamsPanel));
    params->addWidget(BatchModeComboBox);
    params->addWidget(BatchRowsSpinBox);
    params->addStretch(1);
    AdditionalTableParamsPanel->hide();

    BuildOnlyChangedCheckBox(page);

    auto *side = new QVBoxLayout;
    side->addWidget(OnlyChangedCheckBox);
    side->addWidget(AdditionalParamsCheckBox);
    side->addWidget(AdditionalTableParamsPanel);
    side->addStretch(1);
    auto *layout = new QHBoxLayout(page);
    layout->addWidget(TablesTreeView, 1);
    layout->addLayout(side, 1);

    connect(TablesTreeView, &QTreeWidget::itemSelectionChanged, this, &TOneStepCreatinWizard::TablesTreeViewChange);
    connect(TablesTreeView, &QTreeWidget::itemDoubleClicked, this,
            [this] { RunGuarded([this] { ServersTreeViewDblClick(); }); });
    connect(AdditionalParamsCheckBox, &QCheckBox::clicked, this,
            &TOneStepCreatinWizard::AdditionalParamsCheckBoxClick);
    return page;
}

QWidget *TOneStepCreatinWizard::BuildColumnsSelectPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("ColumnsSelectTabSheet"));
    AllColumnsListBox = new QListWidget(page);
    AllColumnsListBox->setObjectName(QStringLiteral("AllColumnsListBox"));
    UsedColumnsListBox = new QListWidget(page);
    UsedColumnsListBox->setObjectName(QStringLiteral("UsedColumnsListBox"));
    for (QListWidget *list : {AllColumnsListBox, UsedColumnsListBox})
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    UsedColumnsListBox->installEventFilter(this);

    const auto makeAction = [this](const QString &name, const QString &text, void (TOneStepCreatinWizard::*slot)()) {
        auto *action = new QAction(text, this);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    UseSelectedColumnAction = makeAction(QStringLiteral("UseSelectedColumnAction"), QStringLiteral(">"),
                                         &TOneStepCreatinWizard::UseSelectedColumnActionExecute);
    DoNotUseSelectedColumnAction = makeAction(QStringLiteral("DoNotUseSelectedColumnAction"), QStringLiteral("<"),
                                              &TOneStepCreatinWizard::DoNotUseSelectedColumnActionExecute);
    UseAllColumnsAction = makeAction(QStringLiteral("UseAllColumnsAction"), QStringLiteral(">>"),
                                     &TOneStepCreatinWizard::UseAllColumnsActionExecute);
    DoNotUseAllColumnsAction = makeAction(QStringLiteral("DoNotUseAllColumnsAction"), QStringLiteral("<<"),
                                          &TOneStepCreatinWizard::DoNotUseAllColumnsActionExecute);

    auto *moves = new QVBoxLayout;
    moves->addStretch(1);
    for (QAction *action : {UseSelectedColumnAction, DoNotUseSelectedColumnAction, UseAllColumnsAction,
                            DoNotUseAllColumnsAction}) {
        auto *button = new QToolButton(page);
        button->setObjectName(action->objectName().replace(QStringLiteral("Action"), QStringLiteral("Button")));
        button->setDefaultAction(action);
        button->setFixedSize(32, 25);
        moves->addWidget(button);
    }
    moves->addStretch(1);

    auto *all = new QVBoxLayout;
    all->addWidget(label(QStringLiteral("Доступные столбцы:"), page));
    all->addWidget(AllColumnsListBox);
    auto *used = new QVBoxLayout;
    used->addWidget(label(QStringLiteral("Используемые столбцы:"), page));
    used->addWidget(UsedColumnsListBox);
    auto *layout = new QHBoxLayout(page);
    layout->addLayout(all, 1);
    layout->addLayout(moves);
    layout->addLayout(used, 1);

    connect(AllColumnsListBox, &QListWidget::itemDoubleClicked, this,
            &TOneStepCreatinWizard::UseSelectedColumnActionExecute);
    connect(UsedColumnsListBox, &QListWidget::itemDoubleClicked, this,
            &TOneStepCreatinWizard::DoNotUseSelectedColumnActionExecute);
    return page;
}

QWidget *TOneStepCreatinWizard::BuildPrimaryColumnsSelectPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("PrimaryColumnsSelectTabSheet"));
    ColumnsCheckListBox = new QListWidget(page);
    ColumnsCheckListBox->setObjectName(QStringLiteral("ColumnsCheckListBox"));
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(14);
    ColumnsCheckListBox->setFont(arial);
    auto *hint = label(QStringLiteral("Для того, чтобы корректно создать скрипт, мастеру нужно знать какие "
                                      "колонки считать ключевыми."),
                       page);
    hint->setWordWrap(true);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(ColumnsCheckListBox, 1);
    layout->addWidget(hint);
    connect(ColumnsCheckListBox, &QListWidget::itemChanged, this,
            &TOneStepCreatinWizard::ColumnsCheckListBoxClickCheck);
    return page;
}

void TOneStepCreatinWizard::BuildSteps()
{
    BuildWizzard();
    GreetingsWizzardStep = MakeStep(QStringLiteral("GreetingsWizzardStep"), GreetingsTabSheet, QString(), QString());
    TableCoosingWizzardStep = MakeStep(QStringLiteral("TableCoosingWizzardStep"), TableSelectTabSheet,
                                       QStringLiteral("Выбор таблицы"),
                                       QStringLiteral("Для какой таблицы сгенерировать скрипт?"));
    ColumnsSelectWizzardStep = MakeStep(QStringLiteral("ColumnsSelectWizzardStep"), ColumnsSelectTabSheet,
                                        QStringLiteral("Выбор колонок"),
                                        QStringLiteral("Какие колонки использовать для генерации скрипта?"));
    PrimaryColumnsSelectWizzardStep = MakeStep(QStringLiteral("PrimaryColumnsSelectWizzardStep"),
                                               PrimaryColumnsSelectTabSheet, QStringLiteral("Выбор столбцов"),
                                               QStringLiteral("Какие столбцы использовать в качестве ключевых?"));
    AddProgressStep(PrimaryColumnsSelectWizzardStep);

    GreetingsWizzardStep->SetNextStep(TableCoosingWizzardStep);
    TableCoosingWizzardStep->SetPreviousStep(GreetingsWizzardStep);
    TableCoosingWizzardStep->SetNextStep(ColumnsSelectWizzardStep);
    ColumnsSelectWizzardStep->SetPreviousStep(TableCoosingWizzardStep);
    ColumnsSelectWizzardStep->SetNextStep(PrimaryColumnsSelectWizzardStep);
    PrimaryColumnsSelectWizzardStep->SetPreviousStep(ColumnsSelectWizzardStep);

    GreetingsWizzardStep->PreviousActionState()->SetVisible(false);
    TableCoosingWizzardStep->NextActionState()->SetEnabled(false);

    GreetingsWizzardStep->OnShow = [this](TPageControlWizzardStep *s) { GreetingsWizzardStepShow(s); };
    GreetingsWizzardStep->OnExecute = [this](TPageControlWizzardStep *s) { GreetingsWizzardStepExecute(s); };
    TableCoosingWizzardStep->OnShow = [this](TPageControlWizzardStep *s) { TableCoosingWizzardStepShow(s); };
    TableCoosingWizzardStep->OnExecute = [this](TPageControlWizzardStep *s) { TableCoosingWizzardStepExecute(s); };
    ColumnsSelectWizzardStep->OnExecute = [this](TPageControlWizzardStep *s) { ColumnsSelectWizzardStepExecute(s); };
    PrimaryColumnsSelectWizzardStep->OnExecute = [this](TPageControlWizzardStep *s) {
        PrimaryColumnsSelectWizzardStepExecute(s);
    };

    PageControlWizzard->SetFirstStep(GreetingsWizzardStep);
}
