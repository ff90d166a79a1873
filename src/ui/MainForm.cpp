#include "MainForm.h"

#include "ColorRichEdit.h"
#include "CommandGuard.h"
#include "FindDialogs.h"
#include "ResultView.h"
#include "ScriptMemo.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

TMainForm *theMainForm = nullptr;

// An icon of the desktop's theme (Breeze when the desktop names none),
// else a stock icon of the widget style.
QIcon ThemeIcon(const char *Name, QStyle::StandardPixmap Fallback)
{
    const QIcon icon = QIcon::fromTheme(QString::fromLatin1(Name));
    return icon.isNull() ? QApplication::style()->standardIcon(Fallback) : icon;
}

QAction *MakeAction(QObject *Owner, const char *Name, const QKeySequence &ShortCut, const QString &ToolTip)
{
    auto *action = new QAction(Owner);
    action->setObjectName(QString::fromLatin1(Name));
    action->setShortcut(ShortCut);
    // "Short|long": the short hint is the tool tip; the status bar shows no hints.
    const int bar = ToolTip.indexOf(QLatin1Char('|'));
    action->setToolTip(bar < 0 ? ToolTip : ToolTip.left(bar));
    if (bar >= 0)
        action->setWhatsThis(ToolTip.mid(bar + 1));
    return action;
}

} // namespace

TMainForm *MainForm()
{
    return theMainForm;
}

TMainForm::TMainForm(QWidget *parent)
    : QMainWindow(parent)
{
    theMainForm = this;
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Генератор скриптов"));
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
        QIcon::setFallbackThemeName(QStringLiteral("breeze"));
    setWindowIcon(ThemeIcon("server-database", QStyle::SP_ComputerIcon));

    CreateActions();
    CreateWidgets();
    CreateMenus();
    CreateToolBar();

    resize(865, 642);
    if (const QScreen *screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormCreate();
}

TMainForm::~TMainForm()
{
    if (theMainForm == this)
        theMainForm = nullptr;
}

void TMainForm::CreateActions()
{
    NewEmptyAction = MakeAction(this, "NewEmptyAction", QKeySequence(QStringLiteral("Ctrl+N")),
                                QStringLiteral("Создать пустой скрипт"));
    CreateOneTableScriptAction =
        MakeAction(this, "CreateOneTableScriptAction", QKeySequence(QStringLiteral("Ctrl+Shift+N")), {});
    CreateSeveralTablesScriptAction =
        MakeAction(this, "CreateSeveralTablesScriptAction", QKeySequence(QStringLiteral("Ctrl+Alt+N")), {});
    OpenAction = MakeAction(this, "OpenAction", QKeySequence(QStringLiteral("Ctrl+O")), QStringLiteral("Открыть скрипт"));
    SaveAsAction = MakeAction(this, "SaveAsAction", {}, QStringLiteral("Сохранить скрипт как..."));
    ExecuteAction = MakeAction(this, "ExecuteAction", QKeySequence(Qt::Key_F5), QStringLiteral("Выполнить скрипт"));
    // Alt+Break as in SQL Server's own tools; Qt calls the Break key Pause.
    StopAction = MakeAction(this, "StopAction", QKeySequence(Qt::AltModifier | Qt::Key_Pause),
                            QStringLiteral("Остановить выполнение скрипта"));
    StopAction->setEnabled(false);
    CloseCurretnTabAction = MakeAction(this, "CloseCurretnTabAction", QKeySequence(QStringLiteral("Ctrl+W")), {});
    ConnectToServerAction = MakeAction(this, "ConnectToServerAction", {}, {});
    ExitAction = MakeAction(this, "ExitAction", QKeySequence(QStringLiteral("Alt+F4")), {});

    connect(NewEmptyAction, &QAction::triggered, this, &TMainForm::NewEmptyActionExecute);
    connect(CreateOneTableScriptAction, &QAction::triggered, this, &TMainForm::CreateOneTableScriptActionExecute);
    connect(CreateSeveralTablesScriptAction, &QAction::triggered, this,
            &TMainForm::CreateSeveralTablesScriptActionExecute);
    connect(OpenAction, &QAction::triggered, this, &TMainForm::OpenActionExecute);
    connect(SaveAsAction, &QAction::triggered, this, &TMainForm::SaveAsActionExecute);
    connect(ExecuteAction, &QAction::triggered, this, &TMainForm::ExecuteActionExecute);
    connect(StopAction, &QAction::triggered, this, &TMainForm::StopActionExecute);
    connect(CloseCurretnTabAction, &QAction::triggered, this, &TMainForm::CloseCurretnTabActionExecute);
    connect(ConnectToServerAction, &QAction::triggered, this, &TMainForm::ConnectToServerActionExecute);
    connect(ExitAction, &QAction::triggered, this, &TMainForm::ExitActionExecute);

    struct StockCommand
    {
        QAction **Target;
        const char *Name;
        const char *Caption;
        QKeySequence ShortCut;
        const char *ToolTip;
        const char *Icon;
    };
    const StockCommand stock[] = {
        {&EditUndo, "EditUndo", "Отменить", QKeySequence(QStringLiteral("Ctrl+Z")), "Undo|Reverts the last action",
         "edit-undo"},
        {&EditCut, "EditCut", "Вырезать", QKeySequence(QStringLiteral("Ctrl+X")),
         "Cut|Cuts the selection and puts it on the Clipboard", "edit-cut"},
        {&EditCopy, "EditCopy", "Копировать", QKeySequence(QStringLiteral("Ctrl+C")),
         "Copy|Copies the selection and puts it on the Clipboard", "edit-copy"},
        {&EditPaste, "EditPaste", "Вставить", QKeySequence(QStringLiteral("Ctrl+V")), "Paste|Inserts Clipboard contents",
         "edit-paste"},
        {&EditDelete, "EditDelete", "Удалить", QKeySequence(Qt::Key_Delete), "Delete|Erases the selection",
         "edit-delete"},
        {&EditSelectAll, "EditSelectAll", "Выделить всё", QKeySequence(QStringLiteral("Ctrl+A")),
         "Select All|Selects the entire document", "edit-select-all"},
        {&SearchFind, "SearchFind", "&Найти...", QKeySequence(QStringLiteral("Ctrl+F")),
         "Найти|Находит указаный текст", "edit-find"},
        {&SearchFindNext, "SearchFindNext", "Найти &еще раз...", QKeySequence(Qt::Key_F3),
         "Найти еще|Повторяет предыдущий поиск", "go-down-search"},
        {&SearchReplace, "SearchReplace", "&Заменить...", QKeySequence(QStringLiteral("Ctrl+R")),
         "Заменить|Заменяет указаные текст другим", "edit-find-replace"},
    };
    for (const StockCommand &command : stock) {
        QAction *action = MakeAction(this, command.Name, command.ShortCut, QString::fromUtf8(command.ToolTip));
        action->setText(QString::fromUtf8(command.Caption));
        action->setIcon(ThemeIcon(command.Icon, QStyle::SP_FileIcon));
        *command.Target = action;
    }
    for (QAction *action : {EditUndo, EditCut, EditCopy, EditPaste, EditDelete, EditSelectAll})
        connect(action, &QAction::triggered, this, [this, action] { RunEditCommand(action); });
    connect(SearchFind, &QAction::triggered, this, [this] { RunCommand([this] { ShowSearchDialog(false); }); });
    connect(SearchReplace, &QAction::triggered, this, [this] { RunCommand([this] { ShowSearchDialog(true); }); });
    connect(SearchFindNext, &QAction::triggered, this, [this] { RunCommand([this] { SearchFindNextExecute(); }); });

    // Short-cuts work whenever the window has focus, shown in a menu or not.
    addActions({NewEmptyAction, CreateOneTableScriptAction, CreateSeveralTablesScriptAction, OpenAction, SaveAsAction, ExecuteAction, StopAction,
                CloseCurretnTabAction, ConnectToServerAction, ExitAction, EditUndo, EditCut, EditCopy, EditPaste,
                EditDelete, EditSelectAll, SearchFind, SearchFindNext, SearchReplace});
}

void TMainForm::CreateWidgets()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("CentralWidget"));
    auto *centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    centralLayout->setSpacing(0);

    // The strip with the database list and the server's name.
    Panel1 = new QWidget(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(33);
    auto *stripLayout = new QHBoxLayout(Panel1);
    stripLayout->setContentsMargins(8, 4, 8, 4);
    stripLayout->setSpacing(0);
    DataBasesComboBoxEx = new QComboBox(Panel1);
    DataBasesComboBoxEx->setObjectName(QStringLiteral("DataBasesComboBoxEx"));
    DataBasesComboBoxEx->setFixedWidth(209);
    DataBasesComboBoxEx->setMaxVisibleItems(8);
    DataBasesComboBoxEx->setIconSize(QSize(16, 16));
    DataBasesComboBoxEx->setToolTip(QStringLiteral("База данных"));
    QFont labelFont(QStringLiteral("Tahoma"), 9);
    Label2 = new QLabel(QStringLiteral("Сервер:"), Panel1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(labelFont);
    ServerLabel = new QLabel(QStringLiteral("(нет подключения)"), Panel1);
    ServerLabel->setObjectName(QStringLiteral("ServerLabel"));
    ServerLabel->setFont(labelFont);
    QPalette linkPalette = ServerLabel->palette();
    linkPalette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    ServerLabel->setPalette(linkPalette);
    ServerLabel->setCursor(Qt::PointingHandCursor);
    ServerLabel->setToolTip(QStringLiteral("Выбрать другой сервер"));
    ServerLabel->installEventFilter(this);
    stripLayout->addWidget(DataBasesComboBoxEx);
    stripLayout->addSpacing(13);
    stripLayout->addWidget(Label2);
    stripLayout->addSpacing(6);
    stripLayout->addWidget(ServerLabel);
    stripLayout->addStretch();
    centralLayout->addWidget(Panel1);

    Splitter1 = new QSplitter(Qt::Vertical, central);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);

    // The tab strip with the editor in its page area.
    auto *tabArea = new QWidget(Splitter1);
    tabArea->setObjectName(QStringLiteral("TabArea"));
    auto *tabLayout = new QVBoxLayout(tabArea);
    tabLayout->setContentsMargins(0, 0, 0, 0);
    tabLayout->setSpacing(0);
    TabControl = new QTabBar(tabArea);
    TabControl->setObjectName(QStringLiteral("TabControl"));
    TabControl->setDocumentMode(true);
    TabControl->setExpanding(false);
    TabControl->setDrawBase(true);
    TabControl->setUsesScrollButtons(true);
    TabControl->setElideMode(Qt::ElideNone);
    TabControl->installEventFilter(this);
    ScriptMemo = new TScriptMemo(tabArea);
    ScriptMemo->setObjectName(QStringLiteral("ScriptMemo"));
    ScriptMemo->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ScriptMemo, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { EditPopupMenu->popup(ScriptMemo->mapToGlobal(pos)); });
    tabLayout->addWidget(TabControl);
    tabLayout->addWidget(ScriptMemo, 1);
    Splitter1->addWidget(tabArea);

    // The result panel: result grid over the message log.
    QueryPanel = new QWidget(Splitter1);
    QueryPanel->setObjectName(QStringLiteral("QueryPanel"));
    auto *queryLayout = new QVBoxLayout(QueryPanel);
    queryLayout->setContentsMargins(0, 0, 0, 0);
    queryLayout->setSpacing(0);
    auto *querySplitter = new QSplitter(Qt::Vertical, QueryPanel);
    querySplitter->setObjectName(QStringLiteral("QuerySplitter"));
    querySplitter->setHandleWidth(3);
    querySplitter->setChildrenCollapsible(false);
    DataSource = new TResultGridModel(this);
    DataSource->setObjectName(QStringLiteral("DataSource"));
    ResultDBGrid = new QTableView(querySplitter);
    ResultDBGrid->setObjectName(QStringLiteral("ResultDBGrid"));
    ResultDBGrid->setFrameShape(QFrame::NoFrame);
    ResultDBGrid->setModel(DataSource);
    ResultDBGrid->setAlternatingRowColors(true);
    ResultDBGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
    ResultDBGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ResultDBGrid->verticalHeader()->setDefaultSectionSize(ResultDBGrid->fontMetrics().height() + 6);
    ResultDBGrid->horizontalHeader()->setHighlightSections(false);
    ResultColorRichEdit = new TColorRichEdit(querySplitter);
    ResultColorRichEdit->setObjectName(QStringLiteral("ResultColorRichEdit"));
    ResultColorRichEdit->setFrameShape(QFrame::NoFrame);
    ResultColorRichEdit->setReadOnly(true);
    QFont logFont(QStringLiteral("Courier New"), 10);
    logFont.setStyleHint(QFont::TypeWriter);
    ResultColorRichEdit->setFont(logFont);
    ResultColorRichEdit->SetIsScrollToBottom(true);
    ResultColorRichEdit->SetIsNumberLines(false);
    ResultColorRichEdit->SetIsAddTime(true);
    ResultColorRichEdit->SetIsAddDate(false);
    ResultColorRichEdit->SetNumberDelimiter(QStringLiteral(". "));
    ResultColorRichEdit->SetTimeDelimiter(QStringLiteral(" "));
    ResultColorRichEdit->SetDelimiter(QString());
    ResultColorRichEdit->SetDateDelimiter(QString());
    querySplitter->addWidget(ResultDBGrid);
    querySplitter->addWidget(ResultColorRichEdit);
    queryLayout->addWidget(querySplitter);
    Splitter1->addWidget(QueryPanel);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({642 - 231, 231});
    centralLayout->addWidget(Splitter1, 1);
    setCentralWidget(central);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(19);
    setStatusBar(StatusBar1);
}
