#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class TSettingsList;

// One named string value of the settings file. The list that holds it owns it.
class TSetting
{
public:
    using TNotifyEvent = std::function<void(TSetting *Sender)>;

    TSetting(QString Section, QString Name);

    [[nodiscard]] const QString &Section() const { return m_section; }
    [[nodiscard]] const QString &Name() const { return m_name; }
    [[nodiscard]] const QString &Value() const { return m_value; }
    // True when the value must be written at save time.
    [[nodiscard]] bool Modified() const { return m_modified; }
    void SetModified(bool Modified) { m_modified = Modified; }

    // A value equal to the current one (letter case counts) changes nothing;
    // any other is stored, marks the setting modified and raises OnChange.
    void SetValue(const QString &Value);

    TNotifyEvent OnChange;

private:
    QString m_section;
    QString m_name;
    QString m_value;
    bool m_modified = false;
};

using TSettingChangeEvent = std::function<void(TSettingsList *Sender, TSetting *Setting)>;

// Owning list of settings in the order they were added.
class TSettingsList
{
public:
    using TNotifyEvent = std::function<void(TSettingsList *Sender)>;

    TSetting *Add(std::unique_ptr<TSetting> Setting);
    // The first member with exactly this section and name (letter case counts).
    [[nodiscard]] TSetting *FindSetting(const QString &Section, const QString &Name) const;
    [[nodiscard]] int Count() const { return static_cast<int>(m_items.size()); }
    [[nodiscard]] TSetting *Items(int Index) const { return m_items.at(static_cast<size_t>(Index)).get(); }

    // Raised after every Add.
    TNotifyEvent OnChange;
    // Raised when a member's value changes through SetValue.
    TSettingChangeEvent OnSettingChange;

private:
    void SettingChanged(TSetting *Sender);

    std::vector<std::unique_ptr<TSetting>> m_items;
};

// Decides where a file lies. When a composer attached to a settings store
// goes away, the store keeps its file name: concrete composers therefore
// call NotifyRemoval() first thing in their destructor, while the whole
// object can still compose.
class TCustomFileNameComposer : public QObject
{
    Q_OBJECT
public:
    explicit TCustomFileNameComposer(QObject *Owner = nullptr);

    [[nodiscard]] const QString &JustFileName() const { return m_justFileName; }
    void SetJustFileName(const QString &Name) { m_justFileName = Name; }

    // The folder, ending with a path delimiter.
    [[nodiscard]] virtual QString GetDirectory() const = 0;
    [[nodiscard]] QString GetFileName() const;

Q_SIGNALS:
    void Removing(TCustomFileNameComposer *Composer);

protected:
    void NotifyRemoval();

private:
    QString m_justFileName;
    bool m_removalNotified = false;
};

// Root folder, then the company, product and version folders (each skipped
// when empty).
class TFileNameComposer : public TCustomFileNameComposer
{
    Q_OBJECT
public:
    using TCustomFileNameComposer::TCustomFileNameComposer;

    [[nodiscard]] const QString &CompanyName() const { return m_companyName; }
    void SetCompanyName(const QString &Name) { m_companyName = Name; }
    [[nodiscard]] const QString &ProductName() const { return m_productName; }
    void SetProductName(const QString &Name) { m_productName = Name; }
    [[nodiscard]] const QString &Version() const { return m_version; }
    void SetVersion(const QString &Version) { m_version = Version; }

    [[nodiscard]] QString GetDirectory() const override;
    // Empty means the executable's folder.
    [[nodiscard]] virtual QString GetRootDirectory() const = 0;

private:
    QString m_companyName;
    QString m_productName;
    QString m_version;
};

// The per-user configuration folder: APPDATA when set (as on Windows), else
// XDG_CONFIG_HOME, else ~/.config.
class TApplicationDataFileNameComposer final : public TFileNameComposer
{
    Q_OBJECT
public:
    using TFileNameComposer::TFileNameComposer;
    ~TApplicationDataFileNameComposer() override;

    [[nodiscard]] QString GetRootDirectory() const override;
};

// The folder of the running executable, with a trailing '/'.
[[nodiscard]] QString ExecutableDirectory();

// Named string values in sections of an ini file. Lazy both ways: a value
// is read from the file when it is first asked for, and the modified ones
// are written back in one pass when the store is destroyed.
//
// Main (GUI) thread only.
class TSimpleSettingsManager : public QObject
{
    Q_OBJECT
public:
    explicit TSimpleSettingsManager(QObject *Owner = nullptr);
    // Saves the modified settings.
    ~TSimpleSettingsManager() override;

    // Never null; the setting belongs to the store. A value read from the
    // file or already asked for wins over Default.
    TSetting *GetSetting(const QString &Section, const QString &Name, const QString &Default);
    void SetSetting(const QString &Section, const QString &Name, const QString &Value);

    // Overwritten by every file read; SaveSettings writes here.
    [[nodiscard]] const QString &FileName() const { return m_fileName; }
    void SetFileName(const QString &FileName) { m_fileName = FileName; }

    // Not owned. When set it decides the file path.
    [[nodiscard]] TCustomFileNameComposer *FileNameComposer() const { return m_composer; }
    void SetFileNameComposer(TCustomFileNameComposer *Composer);

    [[nodiscard]] QString ResolveFileName() const;

    [[nodiscard]] const TSettingsList::TNotifyEvent &OnChange() const { return m_settings.OnChange; }
    void SetOnChange(TSettingsList::TNotifyEvent Handler) { m_settings.OnChange = std::move(Handler); }
    [[nodiscard]] const TSettingChangeEvent &OnSettingChange() const { return m_settings.OnSettingChange; }
    void SetOnSettingChange(TSettingChangeEvent Handler) { m_settings.OnSettingChange = std::move(Handler); }

    [[nodiscard]] const TSettingsList &Settings() const { return m_settings; }

    // Writes the modified settings; any failure is swallowed and the values
    // not written are lost. Run by the destructor.
    void SaveSettings();

protected:
    virtual std::unique_ptr<TSetting> CreateSetting(const QString &Section, const QString &Name);
    std::unique_ptr<TSetting> LoadSetting(const QString &Section, const QString &Name);

private:
    void Notification(TCustomFileNameComposer *Composer);
    void detachComposer();

    QString m_fileName;
    QPointer<TCustomFileNameComposer> m_composer;
    QMetaObject::Connection m_removingConnection;
    QMetaObject::Connection m_destroyedConnection;
    // The composer's last answer, kept for a composer that goes away
    // without notice.
    mutable QString m_lastComposedName;
    TSettingsList m_settings;
};

// The process-wide store, created on first use.
TSimpleSettingsManager *SettingsManager();
// Destroys the process-wide store, which saves it. Called at the end of main
// (before the application object goes); harmless when none was created.
void DestroySettingsManager();
