// Building the table script wizard's widgets and steps.

#include "OneTableCreationWizard.h"

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
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
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
    setWindowTitle(QStringLiteral("Мастер создания скриптов"));
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

    TopPanel = new QWidget(this);
    TopPanel->setObjectName(QStringLiteral("TopPanel"));
    TopPanel->setFixedHeight(55);
    TopPanel->setAutoFillBackground(true);
    QPalette white = TopPanel->palette();
    white.setColor(QPalette::Window, Qt::white);
    TopPanel->setPalette(white);
    StepNameLabel = label(QString(), TopPanel, tahoma(11, true));
    StepNameLabel->setObjectName(QStringLiteral("StepNameLabel"));
    StepDiscriptionLabel = label(QString(), TopPanel, tahoma(11));
    StepDiscriptionLabel->setObjectName(QStringLiteral("StepDiscriptionLabel"));
    auto *topLayout = new QVBoxLayout(TopPanel);
    topLayout->setContentsMargins(16, 8, 8, 8);
    topLayout->addWidget(StepNameLabel);
    topLayout->addWidget(StepDiscriptionLabel);
    TopBevel = lineBevel(this, QStringLiteral("TopBevel"));

    PageControl = new QStackedWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    GreetingsTabSheet = BuildGreetingsPage();
    TableSelectTabSheet = BuildTableSelectPage();
    ColumnsSelectTabSheet = BuildColumnsSelectPage();
    PrimaryColumnsSelectTabSheet = BuildPrimaryColumnsSelectPage();
    ProgressTabSheet = BuildProgressPage();
    for (QWidget *page : {GreetingsTabSheet, TableSelectTabSheet, ColumnsSelectTabSheet,
                          PrimaryColumnsSelectTabSheet, ProgressTabSheet})
        PageControl->addWidget(page);

    BottomPanel = new QWidget(this);
    BottomPanel->setObjectName(QStringLiteral("BottomPanel"));
    BottomPanel->setFixedHeight(41);
    BottomPanel->setAutoFillBackground(true);
    BottomPanel->setBackgroundRole(QPalette::Button);
    PreviosButton = new QPushButton(BottomPanel);
    PreviosButton->setObjectName(QStringLiteral("PreviosButton"));
    NextButton = new QPushButton(BottomPanel);
    NextButton->setObjectName(QStringLiteral("NextButton"));
    CancelButton = new QPushButton(BottomPanel);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    auto *buttons = new QHBoxLayout(BottomPanel);
    buttons->setContentsMargins(8, 8, 8, 8);
    buttons->addStretch(1);
    for (QPushButton *button : {PreviosButton, NextButton, CancelButton}) {
        button->setFixedSize(75, 25);
        button->setEnabled(false);
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }

    auto *right = new QVBoxLayout;
    right->setSpacing(0);
    right->addWidget(TopPanel);
    right->addWidget(TopBevel);
    right->addWidget(PageControl, 1);
    auto *middle = new QHBoxLayout;
    middle->setSpacing(0);
    middle->addWidget(ImagePanel);
    middle->addLayout(right, 1);
    auto *form = new QVBoxLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->setSpacing(0);
    form->addLayout(middle, 1);
    form->addWidget(lineBevel(this, QStringLiteral("Bevel1")));
    form->addWidget(BottomPanel);

    ExitAction = new QAction(this);
    ExitAction->setObjectName(QStringLiteral("ExitAction"));
    ExitAction->setShortcut(Qt::Key_Escape);
    addAction(ExitAction);
    connect(ExitAction, &QAction::triggered, this, &TOneStepCreatinWizard::ExitActionExecute);
}

QWidget *TOneStepCreatinWizard::BuildGreetingsPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("GreetingsTabSheet"));
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(label(QStringLiteral("Вас приветствует "), page, tahoma(19)));
    auto *title = label(QStringLiteral("Мастер генерации скриптов"), page, tahoma(19));
    title->setWordWrap(true);
    layout->addWidget(title);
    layout->addSpacing(24);
    auto *help = label(QStringLiteral("Мастер поможет вам создать скрипт."), page, tahoma(12));
    help->setWordWrap(true);
    layout->addWidget(help);
    layout->addStretch(1);
    auto *next = label(QStringLiteral("Нажмите «Далее», чтобы продолжить, или «Отмена», чтобы выйти из мастера."),
                       page, tahoma(12));
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
    BatchModeComboBox = new QComboBox(AdditionalTableParamsPanel);
    BatchModeComboBox->setObjectName(QStringLiteral("BatchModeComboBox"));
    BatchModeComboBox->addItems({QStringLiteral("Пакеты: автоматически"), QStringLiteral("Все строки одним пакетом"),
                                 QStringLiteral("Пакеты по числу строк")});
    BatchRowsSpinBox = new QSpinBox(AdditionalTableParamsPanel);
    BatchRowsSpinBox->setObjectName(QStringLiteral("BatchRowsSpinBox"));
    BatchRowsSpinBox->setRange(1, 100000000);
    BatchRowsSpinBox->setValue(int(DefaultBatchRows));
    BatchRowsSpinBox->setSuffix(QStringLiteral(" строк в пакете"));
    BatchRowsSpinBox->setEnabled(false);
    params->addWidget(label(QStringLiteral("Строки в скрипте:"), AdditionalTableParamsPanel));
    params->addWidget(BatchModeComboBox);
    params->addWidget(BatchRowsSpinBox);
    params->addStretch(1);
    connect(BatchModeComboBox, &QComboBox::currentIndexChanged, BatchRowsSpinBox,
            [this](int index) { BatchRowsSpinBox->setEnabled(index == 2); });
    AdditionalTableParamsPanel->hide();

    OnlyChangedCheckBox = new QCheckBox(QStringLiteral("Обновлять только изменившиеся строки"), page);
    OnlyChangedCheckBox->setObjectName(QStringLiteral("OnlyChangedCheckBox"));

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

QWidget *TOneStepCreatinWizard::BuildProgressPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("ProgressTabSheet"));
    ProgressLabel = label(QStringLiteral("Прогресс:"), page);
    ProgressLabel->setObjectName(QStringLiteral("ProgressLabel"));
    ProgressBar = new QProgressBar(page);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressInfoLabel = label(QString(), page, tahoma(9));
    ProgressInfoLabel->setObjectName(QStringLiteral("ProgressInfoLabel"));
    ProgressInfoLabel->setWordWrap(true);
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
            &TOneStepCreatinWizard::BreakSriptGenerationButtonClick);
    return page;
}

void TOneStepCreatinWizard::BuildSteps()
{
    PageControlWizzard = new TPageControlWizzard(this);
    PageControlWizzard->setObjectName(QStringLiteral("PageControlWizzard"));
    PageControlWizzard->SetNextButton(NextButton);
    PageControlWizzard->SetPreviousButton(PreviosButton);
    PageControlWizzard->SetCancelButton(CancelButton);
    PageControlWizzard->OnShow = [this](TPageControlWizzardStep *s) { PageControlWizzardShow(s); };
    PageControlWizzard->OnCancel = [this](TPageControlWizzardStep *s) { PageControlWizzardCancel(s); };

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
    GreetingsWizzardStep = makeStep(QStringLiteral("GreetingsWizzardStep"), GreetingsTabSheet, QString(), QString());
    TableCoosingWizzardStep = makeStep(QStringLiteral("TableCoosingWizzardStep"), TableSelectTabSheet,
                                       QStringLiteral("Выбор таблицы"),
                                       QStringLiteral("Для какой таблицы сгенерировать скрипт?"));
    ColumnsSelectWizzardStep = makeStep(QStringLiteral("ColumnsSelectWizzardStep"), ColumnsSelectTabSheet,
                                        QStringLiteral("Выбор колонок"),
                                        QStringLiteral("Какие колонки использовать для генерации скрипта?"));
    PrimaryColumnsSelectWizzardStep = makeStep(QStringLiteral("PrimaryColumnsSelectWizzardStep"),
                                               PrimaryColumnsSelectTabSheet, QStringLiteral("Выбор столбцов"),
                                               QStringLiteral("Какие столбцы использовать в качестве ключевых?"));
    ProgressWizzardStep = makeStep(QStringLiteral("ProgressWizzardStep"), ProgressTabSheet,
                                   QStringLiteral("Генерация скрипта"),
                                   QStringLiteral("Дождитесь завершения генерации скрипта."));

    GreetingsWizzardStep->SetNextStep(TableCoosingWizzardStep);
    TableCoosingWizzardStep->SetPreviousStep(GreetingsWizzardStep);
    TableCoosingWizzardStep->SetNextStep(ColumnsSelectWizzardStep);
    ColumnsSelectWizzardStep->SetPreviousStep(TableCoosingWizzardStep);
    ColumnsSelectWizzardStep->SetNextStep(PrimaryColumnsSelectWizzardStep);
    PrimaryColumnsSelectWizzardStep->SetPreviousStep(ColumnsSelectWizzardStep);
    PrimaryColumnsSelectWizzardStep->SetNextStep(ProgressWizzardStep);

    GreetingsWizzardStep->PreviousActionState()->SetVisible(false);
    TableCoosingWizzardStep->NextActionState()->SetEnabled(false);
    ProgressWizzardStep->NextActionState()->SetEnabled(false);
    ProgressWizzardStep->PreviousActionState()->SetEnabled(false);
    ProgressWizzardStep->CancelActionState()->SetEnabled(false);

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
