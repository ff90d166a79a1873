#include "SimpleSettingsManager.h"

#include "IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QString withDelimiter(const QString &path)
{
    if (path.isEmpty() || path.endsWith(u'/'))
        return path;
    return path + u'/';
}

QString environmentFolder(const char *name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

} // namespace

// ---- TSetting ----

TSetting::TSetting(QString Section, QString Name) : m_section(std::move(Section)), m_name(std::move(Name)) {}

void TSetting::SetValue(const QString &Value)
{
    if (Value == m_value)
        return;
    m_value = Value;
    m_modified = true;
    if (OnChange)
        OnChange(this);
}

// ---- TSettingsList ----

TSetting *TSettingsList::Add(std::unique_ptr<TSetting> Setting)
{
    TSetting *setting = Setting.get();
    m_items.push_back(std::move(Setting));
    setting->OnChange = [this](TSetting *sender) { SettingChanged(sender); };
    if (OnChange)
        OnChange(this);
    return setting;
}

TSetting *TSettingsList::FindSetting(const QString &Section, const QString &Name) const
{
    for (const auto &item : m_items)
        if (item->Section() == Section && item->Name() == Name)
            return item.get();
    return nullptr;
}

void TSettingsList::SettingChanged(TSetting *Sender)
{
    if (Sender && OnSettingChange)
        OnSettingChange(this, Sender);
}

// ---- composers ----

TCustomFileNameComposer::TCustomFileNameComposer(QObject *Owner) : QObject(Owner) {}

QString TCustomFileNameComposer::GetFileName() const
{
    return withDelimiter(GetDirectory()) + m_justFileName;
}

void TCustomFileNameComposer::NotifyRemoval()
{
    if (m_removalNotified)
        return;
    m_removalNotified = true;
    Q_EMIT Removing(this);
}

QString TFileNameComposer::GetDirectory() const
{
    const QString root = GetRootDirectory();
    QString result = root.isEmpty() ? ExecutableDirectory() : withDelimiter(root);
    for (const QString &part : {m_companyName, m_productName, m_version})
        if (!part.isEmpty())
            result += withDelimiter(part);
    return result;
}

TApplicationDataFileNameComposer::~TApplicationDataFileNameComposer()
{
    NotifyRemoval();
}

QString TApplicationDataFileNameComposer::GetRootDirectory() const
{
    const QString appData = environmentFolder("APPDATA");
    if (!appData.isEmpty())
        return appData;
    // Relative values are invalid by the XDG rules and are ignored.
    const QString xdg = environmentFolder("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.config");
}

QString ExecutableDirectory()
{
    QString dir;
    if (QCoreApplication::instance())
        dir = QCoreApplication::applicationDirPath();
    else
        dir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(u'/', 0, -2);
    return withDelimiter(dir.isEmpty() ? QDir::currentPath() : dir);
}

// ---- TSimpleSettingsManager ----

TSimpleSettingsManager::TSimpleSettingsManager(QObject *Owner) : QObject(Owner) {}

TSimpleSettingsManager::~TSimpleSettingsManager()
{
    detachComposer();
    SaveSettings();
}

TSetting *TSimpleSettingsManager::GetSetting(const QString &Section, const QString &Name, const QString &Default)
{
    if (TSetting *found = m_settings.FindSetting(Section, Name))
        return found;
    if (auto loaded = LoadSetting(Section, Name)) {
        TSetting *setting = m_settings.Add(std::move(loaded));
        setting->SetModified(false);
        return setting;
    }
    auto created = CreateSetting(Section, Name);
    // Set before it joins the list, so the default raises no list event.
    created->SetValue(Default);
    TSetting *setting = m_settings.Add(std::move(created));
    // Written at save time even if nobody changes it.
    setting->SetModified(true);
    return setting;
}

void TSimpleSettingsManager::SetSetting(const QString &Section, const QString &Name, const QString &Value)
{
    GetSetting(Section, Name, QString())->SetValue(Value);
}

void TSimpleSettingsManager::SetFileNameComposer(TCustomFileNameComposer *Composer)
{
    if (Composer == m_composer)
        return;
    detachComposer();
    m_composer = Composer;
    if (!Composer)
        return;
    m_removingConnection =
        connect(Composer, &TCustomFileNameComposer::Removing, this, &TSimpleSettingsManager::Notification);
    m_destroyedConnection = connect(Composer, &QObject::destroyed, this, [this] {
        // Gone without notice: keep the name it gave last.
        detachComposer();
        if (!m_lastComposedName.isEmpty())
            m_fileName = m_lastComposedName;
    });
}

void TSimpleSettingsManager::Notification(TCustomFileNameComposer *Composer)
{
    if (Composer != m_composer)
        return;
    m_fileName = Composer->GetFileName();
    detachComposer();
}

void TSimpleSettingsManager::detachComposer()
{
    disconnect(m_removingConnection);
    disconnect(m_destroyedConnection);
    m_composer = nullptr;
}

QString TSimpleSettingsManager::ResolveFileName() const
{
    if (m_composer) {
        m_lastComposedName = m_composer->GetFileName();
        return m_lastComposedName;
    }
    return m_fileName;
}

std::unique_ptr<TSetting> TSimpleSettingsManager::CreateSetting(const QString &Section, const QString &Name)
{
    return std::make_unique<TSetting>(Section, Name);
}

std::unique_ptr<TSetting> TSimpleSettingsManager::LoadSetting(const QString &Section, const QString &Name)
{
    m_fileName = ResolveFileName();
    if (m_fileName.isEmpty() || !QFileInfo(m_fileName).isFile())
        return nullptr;
    QString value;
    try {
        if (!TIniFile(m_fileName).ReadString(Section, Name, &value))
            return nullptr;
    } catch (const ETextFileError &) {
        // An unreadable file reads like a missing entry; saving will refuse
        // to replace it (it cannot be read there either).
        return nullptr;
    }
    auto setting = std::make_unique<TSetting>(Section, Name);
    setting->SetValue(value);
    return setting;
}

void TSimpleSettingsManager::SaveSettings()
{
    if (m_fileName.isEmpty())
        return;
    bool anyModified = false;
    for (int i = 0; i < m_settings.Count(); ++i)
        anyModified = anyModified || m_settings.Items(i)->Modified();
    if (!anyModified)
        return;
    try {
        const QString folder = QFileInfo(m_fileName).absolutePath();
        if (!QDir().mkpath(folder))
            return;
        TIniFile ini(m_fileName);
        for (int i = 0; i < m_settings.Count(); ++i) {
            const TSetting *setting = m_settings.Items(i);
            if (setting->Modified())
                ini.WriteString(setting->Section(), setting->Name(), setting->Value());
        }
        ini.UpdateFile();
    } catch (...) {
        // Settings are a convenience: a failed save must not stop the
        // program from ending, and there is nobody left to tell.
    }
}

// ---- the process-wide store ----

namespace {
std::unique_ptr<TSimpleSettingsManager> &storeCell()
{
    static std::unique_ptr<TSimpleSettingsManager> store;
    return store;
}
} // namespace

TSimpleSettingsManager *SettingsManager()
{
    auto &store = storeCell();
    if (!store)
        store = std::make_unique<TSimpleSettingsManager>();
    return store.get();
}

void DestroySettingsManager()
{
    // Reset before the destructor runs, so a save that asks for the store
    // cannot find a half-destroyed one.
    std::unique_ptr<TSimpleSettingsManager> store = std::move(storeCell());
    store.reset();
}
