#include "View.h"

#include "CommandGuard.h"
#include "Controller.h"
#include "Domain.h"
#include "MainForm.h"
#include "ResultView.h"
#include "ScriptManager.h"
#include "ScriptMemo.h"

#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QSignalBlocker>
#include <QTabBar>

#include <memory>
#include <stdexcept>

QString ScriptText(const QStringList &Lines)
{
    QString text;
    qsizetype size = 0;
    for (const QString &line : Lines)
        size += line.size() + 2;
    text.reserve(size);
    for (const QString &line : Lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    return text;
}

QStringList TextLines(const QString &Text)
{
    QStringList lines;
    const qsizetype size = Text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = Text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(Text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < size && Text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < size)
        lines.append(Text.mid(start));
    return lines;
}

// ---- TScriptView

TScriptView::TScriptView(QTabBar *TabControl, TScriptManager *Scripts, TScriptMemo *Memo)
    : m_tabControl(TabControl)
    , m_scripts(Scripts)
    , m_memo(Memo)
{
    if (m_tabControl)
        QObject::connect(m_tabControl, &QTabBar::currentChanged, m_tabControl,
                         [this](int) { RunCommand([this] { TabChange(m_tabControl); }); });
    if (m_scripts)
        m_scripts->OnChange = [this](TScriptManager *Sender) { ManagerChanged(Sender); };
    if (m_memo)
        QObject::connect(m_memo, &TScriptMemo::LinesChanged, m_memo,
                         [this](int first, int count, const QStringList &lines, int lineCount) {
                             MemoLinesChange(first, count, lines, lineCount);
                         });
}

TScriptView::~TScriptView()
{
    if (m_tabControl)
        QObject::disconnect(m_tabControl, &QTabBar::currentChanged, m_tabControl, nullptr);
    if (m_memo)
        QObject::disconnect(m_memo, &TScriptMemo::LinesChanged, m_memo, nullptr);
    if (m_scripts)
        m_scripts->OnChange = nullptr;
}

void TScriptView::ShowEditor()
{
    m_tabControl->setEnabled(true);
    m_memo->show();
}

void TScriptView::HideEditor()
{
    m_tabControl->setEnabled(false);
    m_memo->hide();
}

void TScriptView::RebuildTabs()
{
    // Tabs changed from code raise no change event.
    const QSignalBlocker blocker(m_tabControl);
    while (m_tabControl->count() > 0)
        m_tabControl->removeTab(m_tabControl->count() - 1);
    for (int i = 0; i < m_scripts->Count(); ++i) {
        const TScript *script = m_scripts->Items(i);
        const int tab = m_tabControl->addTab(script->Name);
        m_tabControl->setTabToolTip(tab, script->FileName.isEmpty() ? script->Name : script->FileName);
    }
}

void TScriptView::ManagerChanged(TScriptManager *Sender)
{
    if (!Sender || Sender != m_scripts)
        return;
    if (m_scripts->Count() == 0)
        HideEditor();
    else
        ShowEditor();
    RebuildTabs();
    if (m_tabControl->currentIndex() != m_scripts->ItemIndex()) {
        const QSignalBlocker blocker(m_tabControl);
        m_tabControl->setCurrentIndex(m_scripts->ItemIndex());
    }
    TScript *current = m_scripts->Current();
    if (!current) {
        m_shownScript = nullptr;
        return;
    }
    m_tabControl->setTabText(m_tabControl->currentIndex(), current->Name);
    const QString text = ScriptText(current->Lines);
    // The script already holds this text: the editor follows it, not the
    // other way round.
    m_replacingText = true;
    struct Restore
    {
        bool &Flag;
        ~Restore() { Flag = false; }
    } restore{m_replacingText};
    if (current == m_shownScript) {
        // Same script, text changed from outside (e.g. a generated script
        // appended): replace it as one step the user can undo.
        if (ScriptText(TextLines(m_memo->text())) != text) {
            m_memo->beginUndoAction();
            m_memo->selectAll();
            m_memo->replaceSelectedText(text);
            m_memo->endUndoAction();
            m_memo->setCursorPosition(0, 0);
        }
    } else {
        m_shownScript = current;
        m_memo->SetTextAndForgetUndo(text);
        // Another script in the editor: what the user types next belongs
        // there, not in the control that happened to have the focus.
        m_memo->setFocus();
    }
}

void TScriptView::MemoChange(QObject *Sender)
{
    if (Sender != m_memo)
        return;
    TScript *current = m_scripts->Current();
    if (!current)
        return;
    const QStringList editorLines = TextLines(m_memo->text());
    if (editorLines != current->Lines && ScriptText(editorLines) != ScriptText(current->Lines))
        current->Lines = editorLines;
}

void TScriptView::MemoLinesChange(int FirstLine, int OldCount, const QStringList &NewLines, int OldLineCount)
{
    if (m_replacingText)
        return;
    TScript *current = m_scripts->Current();
    if (!current)
        return;
    QStringList &lines = current->Lines;
    // The script leaves out the editor's last line when it is empty (the
    // text ends with a line break); mirror the editor in full meanwhile.
    if (lines.size() == OldLineCount - 1)
        lines.append(QString());
    if (lines.size() != OldLineCount || current != m_shownScript || FirstLine < 0 || OldCount < 0
        || FirstLine + OldCount > lines.size()) {
        lines = TextLines(m_memo->text()); // out of step: start again from the editor
        return;
    }
    const int common = int(qMin<qsizetype>(OldCount, NewLines.size()));
    for (int i = 0; i < common; ++i)
        lines[FirstLine + i] = NewLines.at(i);
    if (OldCount > common)
        lines.remove(FirstLine + common, OldCount - common);
    else if (NewLines.size() > common) {
        lines.insert(FirstLine + common, NewLines.size() - common, QString());
        for (qsizetype i = common; i < NewLines.size(); ++i)
            lines[FirstLine + i] = NewLines.at(i);
    }
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
}

void TScriptView::TabChange(QObject *Sender)
{
    if (Sender != m_tabControl)
        return;
    m_scripts->SetItemIndex(m_tabControl->currentIndex());
}

// ---- TDataBasesView

TDataBasesView::TDataBasesView(QComboBox *Combo)
    : m_combo(Combo)
{
    if (m_combo)
        QObject::connect(m_combo, &QComboBox::currentIndexChanged, m_combo,
                         [this](int) { RunCommand([this] { ComboChange(m_combo); }); });
    ReactToChanges = true;
}

TDataBasesView::~TDataBasesView()
{
    if (m_combo)
        QObject::disconnect(m_combo, &QComboBox::currentIndexChanged, m_combo, nullptr);
}

void TDataBasesView::ShowDataBases(TDataBaseList *DataBases)
{
    if (!DataBases || !m_combo)
        return;
    ReactToChanges = false;
    struct Restore
    {
        bool &Flag;
        ~Restore() { Flag = true; }
    } restore{ReactToChanges};
    m_combo->clear();
    const QIcon icon = QIcon::fromTheme(QStringLiteral("server-database"));
    for (int i = 0; i < DataBases->Count(); ++i) {
        TDataBase *dataBase = DataBases->Items(i);
        m_combo->addItem(icon, dataBase->Name, QVariant::fromValue(reinterpret_cast<quintptr>(dataBase)));
    }
    m_combo->setCurrentIndex(DataBases->IsValidIndex(DataBases->ItemIndex()) ? DataBases->ItemIndex() : -1);
}

void TDataBasesView::SetItemIndex(int Index)
{
    if (!m_combo || m_combo->currentIndex() == Index)
        return;
    // The controller is already selecting this database.
    const bool react = ReactToChanges;
    ReactToChanges = false;
    m_combo->setCurrentIndex(Index);
    ReactToChanges = react;
}

void TDataBasesView::ComboChange(QObject *Sender)
{
    if (!ReactToChanges || Sender != m_combo)
        return;
    ScriptCreationController().SelectDataBase(m_combo->currentIndex());
}

// ---- TServerNameView

void TServerNameView::SetServerName(const QString &Name)
{
    if (m_label)
        m_label->setText(Name);
}

// ---- accessors

namespace {

std::unique_ptr<TScriptView> theScriptView;
std::unique_ptr<TDataBasesView> theDataBasesView;
std::unique_ptr<TServerNameView> theServerNameView;

TMainForm &RequireMainForm()
{
    TMainForm *form = MainForm();
    if (!form)
        throw std::logic_error("The main window does not exist.");
    return *form;
}

} // namespace

TScriptView &ScriptView()
{
    if (!theScriptView) {
        TMainForm &form = RequireMainForm();
        theScriptView = std::make_unique<TScriptView>(form.TabControl, ScriptManager(), form.ScriptMemo);
    }
    return *theScriptView;
}

TDataBasesView &DataBasesView()
{
    if (!theDataBasesView)
        theDataBasesView = std::make_unique<TDataBasesView>(RequireMainForm().DataBasesComboBoxEx);
    return *theDataBasesView;
}

TServerNameView &ServerNameView()
{
    if (!theServerNameView)
        theServerNameView = std::make_unique<TServerNameView>(RequireMainForm().ServerLabel);
    return *theServerNameView;
}

void FreeViews()
{
    theScriptView.reset();
    theDataBasesView.reset();
    theServerNameView.reset();
    FreeScriptResultView();
}
