#pragma once

#include "TextFile.h"

#include <QString>
#include <QStringList>

#include <functional>

// The recently opened script files: full paths, oldest first, at most
// MaxCount after an Add. Lookups ignore letter case. The main window shows
// the list as its two recent-files menus.
//
// Main (GUI) thread only.
class THistoryManager
{
public:
    using TChangeEvent = std::function<void(THistoryManager *Sender, const QStringList &Files)>;

    THistoryManager() = default;

    // Records FileName as the newest entry: an entry equal to it ignoring
    // case moves to the end (in the form given now), and the oldest entries
    // beyond MaxCount go.
    void Add(const QString &FileName);
    // The entry at Index, 0 being the oldest. Throws EListIndexError for an
    // index outside the list.
    [[nodiscard]] QString Get(int Index) const;
    [[nodiscard]] int Count() const { return static_cast<int>(m_files.size()); }
    [[nodiscard]] const QStringList &Files() const { return m_files; }

    [[nodiscard]] int MaxCount() const { return m_maxCount; }
    void SetMaxCount(int Count) { m_maxCount = Count; }

    // Replaces the entries with the file's lines when the file exists
    // (neither trimmed nor de-duplicated: the next Add does that), then
    // raises OnChange in every case. Throws ETextFileError when the file
    // exists but cannot be read (or is not a file); the entries stay as
    // they were, and OnChange is not raised. The file's
    // encoding is found as TextFile.h says, 8-bit text in CodePage.
    void LoadFromFile(const QString &Path);
    // Writes every entry, one per line, replacing the file, in the encoding
    // it was read in (UTF-8 for a new file, or when a path needs characters
    // that encoding lacks); a missing folder is created. Throws
    // ETextFileError on failure.
    void SaveToFile(const QString &Path) const;

    // The code page of a history file that is neither UTF-8 nor marked;
    // empty: windows-1251.
    QString CodePage;
    [[nodiscard]] const TTextFormat &Format() const { return m_format; }

    // Raised after Add and after LoadFromFile.
    TChangeEvent OnChange;

private:
    void DoChange();

    QStringList m_files;
    int m_maxCount = 8;
    TTextFormat m_format;
};

inline constexpr const char *HistoryFileTitle = "Histroy.txt";

// Where the history file lives: in ApplicationFolder when that folder is
// writable and not one of the system's program folders (/usr/bin, ...),
// else in SettingsFolder (the folder of the settings file), so a program
// installed read-only, or by a package, keeps its history per user.
[[nodiscard]] QString HistoryFileName(const QString &ApplicationFolder, const QString &SettingsFolder);
// The same for this process: the executable's folder, else the folder of
// the settings store's file.
[[nodiscard]] QString HistoryFileName();

// The process-wide history, created on first use.
THistoryManager *HistoryManager();
// Frees it (end of main). Saving is the script routines' business.
void DestroyHistoryManager();
