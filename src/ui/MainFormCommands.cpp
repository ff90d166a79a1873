// The main window's menus, tool bar and command handlers.
#include "MainForm.h"

#include "CommandGuard.h"
#include "Controller.h"
#include "FindDialogs.h"
#include "ScriptMemo.h"
#include "ScriptManager.h"
#include "ScriptRoutinesController.h"
#include "WorkbenchPorts.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QStyle>
#include <QTabBar>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

namespace {

QIcon ThemeIcon(const char *Name, QStyle::StandardPixmap Fallback)
{
    const QIcon icon = QIcon::fromTheme(QString::fromLatin1(Name));
    return icon.isNull() ? QApplication::style()->standardIcon(Fallback) : icon;
}

// The name SQL Server's tools give the key Qt calls Pause.
QString ShortCutText(const QKeySequence &ShortCut)
{
    return ShortCut.toString(QKeySequence::NativeText).replace(QStringLiteral("Pause"), QStringLiteral("Break"));
}

QAction *MakeEntry(QObject *Owner, const QString &Caption, QAction *Command, const QIcon &Icon = {})
{
    QString text = Caption;
    if (!Command->shortcut().isEmpty())
        text += QLatin1Char('\t') + ShortCutText(Command->shortcut());
    auto *entry = new QAction(Icon, text, Owner);
    entry->setIconText(Caption);
    entry->setToolTip(Command->toolTip().isEmpty() ? QString(Caption).remove(QLatin1Char('&')) : Command->toolTip());
    entry->setEnabled(Command->isEnabled());
    QObject::connect(entry, &QAction::triggered, Command, [Command] { Command->trigger(); });
    QObject::connect(Command, &QAction::enabledChanged, entry, &QAction::setEnabled);
    return entry;
}

// A tool bar button: caption under a 32 x 32 icon, 63 x 52, optionally with
// a drop-down menu beside the button proper.
QToolButton *MakeButton(QToolBar *Bar, const char *Name, const QString &Caption, QAction *Command, const QIcon &Icon,
                        QMenu *DropDown = nullptr)
{
    auto *button = new QToolButton(Bar);
    button->setObjectName(QString::fromLatin1(Name));
    button->setDefaultAction(MakeEntry(button, Caption, Command, Icon));
    button->setText(Caption);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIconSize(QSize(32, 32));
    button->setMinimumSize(63, 52);
    button->setAutoRaise(true);
    if (DropDown) {
        button->setMenu(DropDown);
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
    Bar->addWidget(button);
    return button;
}

} // namespace

void TMainForm::CreateMenus()
{
    const QIcon newIcon = ThemeIcon("document-new", QStyle::SP_FileIcon);
    const QIcon wizardIcon = ThemeIcon("tools-wizard", QStyle::SP_FileDialogDetailedView);
    const QIcon openIcon = ThemeIcon("document-open", QStyle::SP_DialogOpenButton);
    const QIcon saveIcon = ThemeIcon("document-save-as", QStyle::SP_DialogSaveButton);
    const QIcon exitIcon = ThemeIcon("application-exit", QStyle::SP_DialogCloseButton);
    const QIcon executeIcon = ThemeIcon("media-playback-start", QStyle::SP_MediaPlay);
    const QIcon stopIcon = ThemeIcon("media-playback-stop", QStyle::SP_MediaStop);

    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));

    QMenu *file = bar->addMenu(QStringLiteral("Файл"));
    file->setObjectName(QStringLiteral("FileMenuItem"));
    file->addAction(MakeEntry(file, QStringLiteral("Новый пустой"), NewEmptyAction, newIcon));
    file->addAction(MakeEntry(file, QStringLiteral("Новый с помощью мастера"), CreateOneTableScriptAction, wizardIcon));
    file->addAction(MakeEntry(file, QStringLiteral("Скрипт для нескольких таблиц…"), CreateSeveralTablesScriptAction,
                              wizardIcon));
    file->addSeparator();
    // The menu's "Открыть" does what the tool bar's "Открыть" does.
    file->addAction(MakeEntry(file, QStringLiteral("Открыть"), OpenAction, openIcon));
    HistoryMenuItem = file->addMenu(ThemeIcon("document-open-recent", QStyle::SP_FileDialogBack),
                                    QStringLiteral("Открыть снова"));
    HistoryMenuItem->setObjectName(QStringLiteral("HistoryMenuItem"));
    HistoryMenuItem->setEnabled(false);
    file->addSeparator();
    file->addAction(MakeEntry(file, QStringLiteral("Сохранить как..."), SaveAsAction, saveIcon));
    file->addSeparator();
    file->addAction(MakeEntry(file, QStringLiteral("Выход"), ExitAction, exitIcon));

    QMenu *edit = bar->addMenu(QStringLiteral("Правка"));
    edit->setObjectName(QStringLiteral("EditMenuItem"));
    edit->addAction(EditUndo);
    edit->addSeparator();
    edit->addActions({EditCut, EditCopy, EditPaste, EditDelete, EditSelectAll});

    QMenu *search = bar->addMenu(QStringLiteral("Найти"));
    search->setObjectName(QStringLiteral("SearchMenuItem"));
    search->addActions({SearchFind, SearchFindNext, SearchReplace});

    QMenu *commands = bar->addMenu(QStringLiteral("Команды"));
    commands->setObjectName(QStringLiteral("CommandsMenuItem"));
    commands->addAction(MakeEntry(commands, QStringLiteral("Выполнить"), ExecuteAction, executeIcon));
    commands->addAction(MakeEntry(commands, QStringLiteral("Остановить"), StopAction, stopIcon));

    QMenu *help = bar->addMenu(QStringLiteral("Помощь"));
    help->setObjectName(QStringLiteral("HelpMenuItem"));
    QAction *helpEntry = help->addAction(ThemeIcon("help-contents", QStyle::SP_DialogHelpButton), QStringLiteral("Помощь"));
    connect(helpEntry, &QAction::triggered, this, &TMainForm::ShowHelp);
    help->addSeparator();
    QAction *aboutEntry = help->addAction(ThemeIcon("help-about", QStyle::SP_MessageBoxInformation),
                                          QStringLiteral("О программе..."));
    aboutEntry->setMenuRole(QAction::NoRole);
    connect(aboutEntry, &QAction::triggered, this, &TMainForm::ShowAbout);

    NewPopupMenu = new QMenu(this);
    NewPopupMenu->setObjectName(QStringLiteral("NewPopupMenu"));
    NewPopupMenu->addAction(MakeEntry(NewPopupMenu, QStringLiteral("Пустой"), NewEmptyAction, newIcon));
    NewPopupMenu->addAction(
        MakeEntry(NewPopupMenu, QStringLiteral("С помощью мастера"), CreateOneTableScriptAction, wizardIcon));
    NewPopupMenu->addAction(MakeEntry(NewPopupMenu, QStringLiteral("Скрипт для нескольких таблиц…"),
                                      CreateSeveralTablesScriptAction, wizardIcon));

    ToolBarOpenPopupMenu = new QMenu(this);
    ToolBarOpenPopupMenu->setObjectName(QStringLiteral("ToolBarOpenPopupMenu"));

    EditPopupMenu = new QMenu(this);
    EditPopupMenu->setObjectName(QStringLiteral("EditPopupMenu"));
    EditPopupMenu->addActions({EditCut, EditCopy, EditPaste, EditDelete});
    EditPopupMenu->addSeparator();
    EditPopupMenu->addAction(EditSelectAll);
}

void TMainForm::CreateToolBar()
{
    ToolBar1 = new QToolBar(QStringLiteral("Панель инструментов"), this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(32, 32));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar1->toggleViewAction()->setEnabled(false);
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    setContextMenuPolicy(Qt::NoContextMenu);

    MakeButton(ToolBar1, "NewToolButton", QStringLiteral("Новый"), NewEmptyAction,
               ThemeIcon("document-new", QStyle::SP_FileIcon), NewPopupMenu);
    MakeButton(ToolBar1, "SaveToolButton", QStringLiteral("Сохранить"), SaveAsAction,
               ThemeIcon("document-save-as", QStyle::SP_DialogSaveButton));
    MakeButton(ToolBar1, "OpenToolButton", QStringLiteral("Открыть"), OpenAction,
               ThemeIcon("document-open", QStyle::SP_DialogOpenButton), ToolBarOpenPopupMenu);
    auto *gap = new QWidget(ToolBar1);
    gap->setFixedWidth(8);
    ToolBar1->addWidget(gap);
    ToolBar1->addSeparator();
    MakeButton(ToolBar1, "ExecuteToolButton", QStringLiteral("Выполнить"), ExecuteAction,
               ThemeIcon("media-playback-start", QStyle::SP_MediaPlay));
    MakeButton(ToolBar1, "StopToolButton", QStringLiteral("Остановить"), StopAction,
               ThemeIcon("media-playback-stop", QStyle::SP_MediaStop));
}

void TMainForm::FormCreate()
{
    ScriptMemo->ClearAll();
    FirstShow = true;
}

void TMainForm::showEvent(QShowEvent *Event)
{
    QMainWindow::showEvent(Event);
    FormShow();
}

void TMainForm::FormShow()
{
    if (!FirstShow)
        return;
    FirstShow = false;
    if (!OnFirstShow)
        return;
    bool connected = true;
    // An error here leaves the window open without a connection.
    RunCommand([this, &connected] { connected = OnFirstShow(); });
    if (!connected) {
        m_terminateRequested = true;
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
}

bool TMainForm::eventFilter(QObject *Watched, QEvent *Event)
{
    if (Watched == TabControl && Event->type() == QEvent::MouseButtonRelease) {
        TabControlMouseUp(static_cast<QMouseEvent *>(Event)->button());
    } else if (Watched == ServerLabel) {
        switch (Event->type()) {
        case QEvent::Enter:
            ServerLabelMouseEnter();
            break;
        case QEvent::Leave:
            ServerLabelMouseLeave();
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent *>(Event)->button() == Qt::LeftButton
                && ServerLabel->rect().contains(static_cast<QMouseEvent *>(Event)->position().toPoint()))
                ServerLabelClick();
            break;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(Watched, Event);
}

void TMainForm::ServerLabelClick()
{
    ConnectToServerAction->trigger();
}

void TMainForm::ServerLabelMouseEnter()
{
    QFont font = ServerLabel->font();
    font.setUnderline(true);
    ServerLabel->setFont(font);
}

void TMainForm::ServerLabelMouseLeave()
{
    QFont font = ServerLabel->font();
    font.setUnderline(false);
    ServerLabel->setFont(font);
}

void TMainForm::TabControlMouseUp(Qt::MouseButton Button)
{
    // The middle button closes the current script, whichever tab is under the pointer.
    if (Button == Qt::MiddleButton)
        CloseCurretnTabAction->trigger();
}

void TMainForm::HistoryChanged(const QStringList *Files)
{
    if (!Files)
        return;
    HistoryMenuItem->setEnabled(!Files->isEmpty());
    // The clicked entry may be the one being replaced: let it live until
    // its click handler has returned.
    for (QMenu *menu : {HistoryMenuItem, ToolBarOpenPopupMenu}) {
        const QList<QAction *> old = menu->actions();
        for (QAction *entry : old) {
            menu->removeAction(entry);
            entry->deleteLater();
        }
    }
    for (qsizetype i = Files->size() - 1; i >= 0; --i) {
        QString caption = Files->at(i);
        caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
        for (QMenu *menu : {HistoryMenuItem, ToolBarOpenPopupMenu}) {
            auto *entry = new QAction(caption, menu);
            entry->setData(static_cast<int>(i));
            connect(entry, &QAction::triggered, this, [this, entry] { HistoryItemClick(entry); });
            menu->addAction(entry);
        }
    }
}

void TMainForm::HistoryItemClick(QAction *Sender)
{
    if (!Sender)
        return;
    const int index = Sender->data().toInt();
    RunCommand([index] { ScriptRoutinesController().OpenFromHistory(index); });
}

void TMainForm::NewEmptyActionExecute()
{
    RunCommand([] { ScriptRoutinesController().NewEmptyScript(); });
}

namespace {

// Commands that need the connection wait for the running script.
bool RefusedWhileExecuting()
{
    if (!ScriptIsExecuting())
        return false;
    RequireWorkbenchUi().ShowStatus(
        QStringLiteral("Скрипт ещё выполняется: дождитесь его конца или остановите его (Alt+Break)."));
    return true;
}

} // namespace

void TMainForm::CreateOneTableScriptActionExecute()
{
    if (RefusedWhileExecuting())
        return;
    RunCommand([this] {
        if (OnCreateOneTableScript)
            OnCreateOneTableScript();
    });
}

void TMainForm::CreateSeveralTablesScriptActionExecute()
{
    if (RefusedWhileExecuting())
        return;
    RunCommand([this] {
        if (OnCreateSeveralTablesScript)
            OnCreateSeveralTablesScript();
    });
}

void TMainForm::OpenActionExecute()
{
    RunCommand([] { ScriptRoutinesController().OpenScript(); });
}

void TMainForm::SaveAsActionExecute()
{
    RunCommand([] { ScriptRoutinesController().SaveScriptAs(); });
}

void TMainForm::ExecuteActionExecute()
{
    RunCommand([] { ScriptRoutinesController().ExecuteScript(); });
}

void TMainForm::StopActionExecute()
{
    RunCommand([] { ScriptRoutinesController().StopExecution(); });
}

void TMainForm::CloseCurretnTabActionExecute()
{
    RunCommand([] { ScriptRoutinesController().CloseCurrentScript(); });
}

void TMainForm::ConnectToServerActionExecute()
{
    if (RefusedWhileExecuting())
        return;
    RunCommand([] { (void)ScriptCreationController().Connect(); });
}

void TMainForm::ExitActionExecute()
{
    close();
}

void TMainForm::closeEvent(QCloseEvent *Event)
{
    bool mayClose = true;
    // A running script is stopped first (the user is asked).
    if (ScriptIsExecuting()
        && !RunCommand([&mayClose] { mayClose = ScriptRoutinesController().QueryStopExecution(nullptr); }))
        mayClose = false;
    // A failed save keeps the window open (the error is shown) with the text.
    if (mayClose && ScriptManager()->Count() > 0
        && !RunCommand([&mayClose] { mayClose = ScriptRoutinesController().QuerySaveAllScripts(); }))
        mayClose = false;
    if (!mayClose) {
        Event->ignore();
        return;
    }
    QMainWindow::closeEvent(Event);
}

void TMainForm::RunEditCommand(QAction *Command)
{
    QWidget *focus = QApplication::focusWidget();
    if (auto *memo = qobject_cast<TScriptMemo *>(focus)) {
        // As fast as typing in a large script.
        memo->QuickEdit([memo, Command, this] {
            if (Command == EditUndo)
                memo->undo();
            else if (Command == EditCut)
                memo->cut();
            else if (Command == EditCopy)
                memo->copy();
            else if (Command == EditPaste)
                memo->paste();
            else if (Command == EditDelete)
                memo->SendScintilla(QsciScintillaBase::SCI_CLEAR); // the selection, or the character after the caret
            else if (Command == EditSelectAll)
                memo->selectAll();
        });
        return;
    }
    QLineEdit *line = qobject_cast<QLineEdit *>(focus);
    if (!line)
        if (auto *combo = qobject_cast<QComboBox *>(focus))
            line = combo->lineEdit();
    if (line) {
        if (Command == EditUndo)
            line->undo();
        else if (Command == EditCut)
            line->cut();
        else if (Command == EditCopy)
            line->copy();
        else if (Command == EditPaste)
            line->paste();
        else if (Command == EditDelete)
            line->del();
        else if (Command == EditSelectAll)
            line->selectAll();
        return;
    }
    if (auto *text = qobject_cast<QTextEdit *>(focus)) {
        if (Command == EditUndo)
            text->undo();
        else if (Command == EditCut)
            text->cut();
        else if (Command == EditCopy)
            text->copy();
        else if (Command == EditPaste)
            text->paste();
        else if (Command == EditDelete && !text->isReadOnly())
            text->textCursor().deleteChar();
        else if (Command == EditSelectAll)
            text->selectAll();
    }
}

void TMainForm::ShowSearchDialog(bool Replacing)
{
    if (!ScriptMemo->isVisible())
        return;
    TFindDialog *&dialog = Replacing ? m_replaceDialog : m_findDialog;
    if (!dialog) {
        dialog = new TFindDialog(Replacing ? TFindDialog::TMode::Replace : TFindDialog::TMode::Find, ScriptMemo, this);
        dialog->OnSearch = [this](const TSearchOptions &options) {
            m_lastSearch = std::make_unique<TSearchOptions>(options);
        };
    }
    TSearchOptions options = m_lastSearch ? *m_lastSearch : TSearchOptions{};
    if (ScriptMemo->hasSelectedText() && !ScriptMemo->selectedText().contains(QLatin1Char('\n')))
        options.Text = ScriptMemo->selectedText();
    dialog->SetOptions(options);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void TMainForm::SearchFindNextExecute()
{
    if (!ScriptMemo->isVisible())
        return;
    if (!m_lastSearch || m_lastSearch->Text.isEmpty()) {
        ShowSearchDialog(false);
        return;
    }
    if (!ScriptMemo->FindNext(*m_lastSearch))
        QMessageBox::information(this, windowTitle(), QStringLiteral("Текст «%1» не найден.").arg(m_lastSearch->Text));
}

void TMainForm::ShowHelp()
{
    QMessageBox::information(
        this, QStringLiteral("Помощь"),
        QStringLiteral("<p><b>Генератор скриптов</b> пишет для таблицы скрипт данных и выполняет скрипты "
                       "на текущей базе данных.</p>"
                       "<table>"
                       "<tr><td>Ctrl+N</td><td>новый пустой скрипт</td></tr>"
                       "<tr><td>Ctrl+Shift+N&nbsp;&nbsp;</td><td>новый скрипт с помощью мастера</td></tr>"
                       "<tr><td>Ctrl+Alt+N</td><td>скрипт для нескольких таблиц</td></tr>"
                       "<tr><td>Ctrl+O</td><td>открыть скрипт</td></tr>"
                       "<tr><td>F5</td><td>выполнить скрипт (пакеты делятся строками GO)</td></tr>"
                       "<tr><td>Alt+Break</td><td>остановить выполнение</td></tr>"
                       "<tr><td>Ctrl+W</td><td>закрыть скрипт (или средняя кнопка мыши на закладках)</td></tr>"
                       "<tr><td>Ctrl+F, F3, Ctrl+R</td><td>найти, найти еще раз, заменить</td></tr>"
                       "</table>"
                       "<p>Другой сервер выбирается щелчком по его имени.</p>"));
}

void TMainForm::ShowAbout()
{
    QMessageBox::about(this, QStringLiteral("О программе"),
                       QStringLiteral("<p><b>Quorvane %1</b></p><p>Генератор скриптов данных для Microsoft SQL "
                                      "Server 2000.</p><p>© Velquist</p>")
                           .arg(QApplication::applicationVersion().isEmpty() ? QStringLiteral("1.0")
                                                                            : QApplication::applicationVersion()));
}
