#pragma once

#include "Domain.h"
#include "IndexedObjectList.h"
#include "TextFile.h"

#include <QString>

#include <QStringList>

#include <functional>
#include <memory>
#include <unordered_map>

// The open script documents, one of them current. The script view shows
// them as tabs; the script routines add, change and remove them. Scripts
// still open when the list goes are freed unsaved.
//
// ItemIndex is 0 at creation and -1 once the list has been emptied by
// Delete; there is a current script exactly when ItemIndex names one.
//
// Main (GUI) thread only.
class TScriptManager : public TObjectList<TScript>
{
public:
    using TNotifyEvent = std::function<void(TScriptManager *Sender)>;
    using TItemIndexChangeEvent = std::function<void(TScriptManager *Sender, int Index)>;

    TScriptManager() : TObjectList<TScript>(true) {}

    // Takes the script. A script read from a file that is already open is
    // dropped and the open one becomes current (its edits win over the
    // file); any other script is appended and becomes current.
    void AddScript(std::unique_ptr<TScript> Script);
    // A new "(Без имени)" script holding Text, split at its line breaks.
    void AddScriptFromText(const QString &Text);
    // Frees the script at Index; the script after the old current one
    // becomes current (the last one when there is none after it).
    void Delete(int Index);

    [[nodiscard]] TScript *Current() const;
    [[nodiscard]] int ItemIndex() const { return m_itemIndex; }
    // Ignores invalid indices and the index already current.
    void SetItemIndex(int Index);
    // First script whose FileName equals FileName exactly; -1 when none.
    [[nodiscard]] int IndexOfFileName(const QString &FileName) const;
    [[nodiscard]] bool IsValidIndex(int Index) const { return Index >= 0 && Index < Count(); }

    // Raises OnChange; for callers that changed a script's name or text.
    void DoChange();

    // The text as last read from or written to its file, so that closing
    // can tell whether work would be lost.
    void MarkSaved(const TScript *Script);
    // True when Script holds text that no file has: changed since MarkSaved,
    // or, never saved, anything but blank lines.
    [[nodiscard]] bool IsModified(const TScript *Script) const;

    // The encoding Script's file was read in, so saving writes it back the
    // same way; UTF-8 for a script that never came from a file.
    void SetTextFormat(const TScript *Script, const TTextFormat &Format);
    [[nodiscard]] TTextFormat TextFormat(const TScript *Script) const;

    // Raised by SetItemIndex only.
    TItemIndexChangeEvent OnItemIndexChange;
    // Raised after every change of the list or of its current script.
    TNotifyEvent OnChange;

private:
    int m_itemIndex = 0;
    std::unordered_map<const TScript *, QStringList> m_savedLines;
    std::unordered_map<const TScript *, TTextFormat> m_formats;
};

// The process-wide documents list, created on first use.
TScriptManager *ScriptManager();
// Frees it (end of main); the scripts go unsaved.
void DestroyScriptManager();
