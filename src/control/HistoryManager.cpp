#include "HistoryManager.h"

#include "IndexedObjectList.h"
#include "SimpleSettingsManager.h"
#include "TextFile.h"

#include <QDir>
#include <QFileInfo>

#include <memory>

void THistoryManager::Add(const QString &FileName)
{
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        if (m_files.at(i).compare(FileName, Qt::CaseInsensitive) == 0) {
            m_files.removeAt(i);
            break;
        }
    }
    m_files.append(FileName);
    while (m_files.size() > std::max(m_maxCount, 0))
        m_files.removeFirst();
    DoChange();
}

QString THistoryManager::Get(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw EListIndexError(Index);
    return m_files.at(Index);
}

void THistoryManager::LoadFromFile(const QString &Path)
{
    const QFileInfo file(Path);
    // Something else in the file's place cannot be read either.
    if (file.exists() && !file.isFile())
        throw ETextFileError(QStringLiteral("Cannot read \"%1\": not a file").arg(Path));
    if (file.isFile()) {
        TTextFileContent content = ReadTextFile(Path, CodePage);
        m_files = std::move(content.Lines);
        m_format = content.Format;
    }
    DoChange();
}

void THistoryManager::SaveToFile(const QString &Path) const
{
    const QString folder = QFileInfo(Path).absolutePath();
    if (!QDir().mkpath(folder))
        throw ETextFileError(QStringLiteral("Cannot create the folder \"%1\"").arg(folder));
    try {
        WriteTextFile(Path, m_files, m_format);
    } catch (const EUnencodableText &) {
        // Written at the end of the process, with nobody to ask: a path is
        // worth more than the file's old encoding.
        WriteTextFile(Path, m_files, TTextFormat::Utf8());
    }
}

void THistoryManager::DoChange()
{
    if (OnChange)
        OnChange(this, m_files);
}

namespace {

// The folders a package installs programs into belong to every user of the
// machine (and to the package manager): an administrator running the
// workbench must not leave a file of his own among the programs.
bool isSystemProgramFolder(const QString &Folder)
{
    static const char *const systemFolders[] = {"/bin", "/sbin", "/usr/bin", "/usr/sbin", "/usr/local/bin",
                                                "/usr/local/sbin", "/usr/games"};
    const QString clean = QDir::cleanPath(QFileInfo(Folder).absoluteFilePath());
    for (const char *system : systemFolders)
        if (clean == QLatin1String(system))
            return true;
    return false;
}

} // namespace

QString HistoryFileName(const QString &ApplicationFolder, const QString &SettingsFolder)
{
    const QFileInfo application(ApplicationFolder);
    const bool ownFolder =
        application.isDir() && application.isWritable() && !isSystemProgramFolder(ApplicationFolder);
    const QString folder = ownFolder || SettingsFolder.isEmpty() ? ApplicationFolder : SettingsFolder;
    return QDir(folder).filePath(QString::fromLatin1(HistoryFileTitle));
}

QString HistoryFileName()
{
    const QString settingsFile = SettingsManager()->ResolveFileName();
    const QString settingsFolder = settingsFile.isEmpty() ? QString() : QFileInfo(settingsFile).absolutePath();
    return HistoryFileName(ExecutableDirectory(), settingsFolder);
}

namespace {
std::unique_ptr<THistoryManager> &historyCell()
{
    static std::unique_ptr<THistoryManager> history;
    return history;
}
} // namespace

THistoryManager *HistoryManager()
{
    auto &history = historyCell();
    if (!history)
        history = std::make_unique<THistoryManager>();
    return history.get();
}

void DestroyHistoryManager()
{
    std::unique_ptr<THistoryManager> history = std::move(historyCell());
}
