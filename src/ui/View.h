#pragma once

#include "WorkbenchPorts.h"

#include <QString>
#include <QStringList>

class QComboBox;
class QObject;
class QLabel;
class QTabBar;
class TScript;
class TScriptManager;
class TScriptMemo;

// Keeps the tab strip and the editor in step with the open scripts: one tab
// per script in list order, the current script's text in the editor, and
// every edit copied into that script at once. An edit touches only the
// script's lines it changes (the editor says which lines become what), so
// typing costs the same in a script of 300,000 lines as in one of ten.
class TScriptView
{
public:
    TScriptView(QTabBar *TabControl, TScriptManager *Scripts, TScriptMemo *Memo);
    ~TScriptView();
    TScriptView(const TScriptView &) = delete;
    TScriptView &operator=(const TScriptView &) = delete;

    void ShowEditor();
    void HideEditor();

    void ManagerChanged(TScriptManager *Sender);
    // Copies the editor's whole text into the current script when they
    // differ; the fallback when an edit cannot be followed line by line.
    void MemoChange(QObject *Sender);
    // The editor's lines FirstLine .. FirstLine + OldCount - 1 (of
    // OldLineCount) have become NewLines (TScriptMemo::LinesChanged).
    void MemoLinesChange(int FirstLine, int OldCount, const QStringList &NewLines, int OldLineCount);
    void TabChange(QObject *Sender);
    void RebuildTabs();

private:
    QTabBar *m_tabControl;
    TScriptManager *m_scripts;
    TScriptMemo *m_memo;
    // The script whose text the editor shows, so switching scripts starts a
    // fresh undo history while a change to the same script stays undoable.
    const TScript *m_shownScript = nullptr;
    // Set while the view itself replaces the editor's text.
    bool m_replacingText = false;
};

// The database combo box.
class TDataBasesView : public IDataBasesView
{
public:
    explicit TDataBasesView(QComboBox *Combo);
    ~TDataBasesView() override;

    void ShowDataBases(TDataBaseList *DataBases) override;
    void SetItemIndex(int Index) override;
    void ComboChange(QObject *Sender);

    // False only while the list is filled (or selected from code).
    bool ReactToChanges = true;

private:
    QComboBox *m_combo;
};

// The label with the current server's name.
class TServerNameView : public IServerNameView
{
public:
    explicit TServerNameView(QLabel *Label) : m_label(Label) {}
    void SetServerName(const QString &Name) override;

private:
    QLabel *m_label;
};

// Accessors, each creating its view on first use over the main window's widgets.
TScriptView &ScriptView();
TDataBasesView &DataBasesView();
TServerNameView &ServerNameView();
// End of main, or a test's main window going away.
void FreeViews();

// The script text as the editor shows it: every line followed by CR LF.
[[nodiscard]] QString ScriptText(const QStringList &Lines);
// The editor's text as lines (a line break at the very end adds no line).
[[nodiscard]] QStringList TextLines(const QString &Text);
