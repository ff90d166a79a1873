#include "ScriptManager.h"

#include "TextFile.h"

void TScriptManager::AddScript(std::unique_ptr<TScript> Script)
{
    if (!Script)
        return;
    const int open = Script->FileName.isEmpty() ? -1 : IndexOfFileName(Script->FileName);
    if (open >= 0) {
        m_itemIndex = open;
        m_savedLines.erase(Script.get());
        m_formats.erase(Script.get());
        Script.reset();
    } else {
        Add(std::move(Script));
        m_itemIndex = Count() - 1;
    }
    DoChange();
}

void TScriptManager::AddScriptFromText(const QString &Text)
{
    auto script = std::make_unique<TScript>();
    script->Lines = SplitTextLines(Text);
    AddScript(std::move(script));
}

void TScriptManager::Delete(int Index)
{
    if (IsValidIndex(Index)) {
        m_savedLines.erase(Items(Index));
        m_formats.erase(Items(Index));
    }
    TObjectList<TScript>::Delete(Index);
    ++m_itemIndex;
    if (m_itemIndex > Count() - 1)
        m_itemIndex = Count() > 0 ? Count() - 1 : -1;
    DoChange();
}

TScript *TScriptManager::Current() const
{
    return IsValidIndex(m_itemIndex) ? Items(m_itemIndex) : nullptr;
}

void TScriptManager::SetItemIndex(int Index)
{
    if (Index == m_itemIndex || !IsValidIndex(Index))
        return;
    m_itemIndex = Index;
    if (OnItemIndexChange)
        OnItemIndexChange(this, Index);
    DoChange();
}

int TScriptManager::IndexOfFileName(const QString &FileName) const
{
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->FileName == FileName)
            return i;
    return -1;
}

void TScriptManager::DoChange()
{
    if (OnChange)
        OnChange(this);
}

void TScriptManager::MarkSaved(const TScript *Script)
{
    if (!Script)
        return;
    // A copy of its own: sharing the list with the script would make the
    // first key press after opening copy all of a large script's lines.
    QStringList saved = Script->Lines;
    saved.detach();
    m_savedLines[Script] = std::move(saved);
}

bool TScriptManager::IsModified(const TScript *Script) const
{
    if (!Script)
        return false;
    const auto saved = m_savedLines.find(Script);
    if (saved != m_savedLines.end())
        return saved->second != Script->Lines;
    for (const QString &line : Script->Lines)
        if (!line.trimmed().isEmpty())
            return true;
    return false;
}

void TScriptManager::SetTextFormat(const TScript *Script, const TTextFormat &Format)
{
    if (Script)
        m_formats[Script] = Format;
}

TTextFormat TScriptManager::TextFormat(const TScript *Script) const
{
    const auto found = m_formats.find(Script);
    return found != m_formats.end() ? found->second : TTextFormat::Utf8();
}

namespace {
std::unique_ptr<TScriptManager> &managerCell()
{
    static std::unique_ptr<TScriptManager> manager;
    return manager;
}
} // namespace

TScriptManager *ScriptManager()
{
    auto &manager = managerCell();
    if (!manager)
        manager = std::make_unique<TScriptManager>();
    return manager.get();
}

void DestroyScriptManager()
{
    std::unique_ptr<TScriptManager> manager = std::move(managerCell());
}
