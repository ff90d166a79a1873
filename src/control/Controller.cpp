// The connect flow and the database switch of TScriptCreationController.
// The wizard side is in ControllerWizard.cpp.
#include "Controller.h"

#include "DataFacade.h"
#include "ErrorText.h"
#include "Domain.h"
#include "Model.h"
#include "QuorvaneException.h"
#include "ServerDiscovery.h"
#include "SimpleSettingsManager.h"
#include "WorkbenchPorts.h"

#include <memory>

namespace {

const QString connectionSection = QStringLiteral("Connection");
const QString loginKey = QStringLiteral("Login");
const QString serverNameKey = QStringLiteral("ServerName");
// The last server name the user typed (it is in no list the program finds):
// offered again at the next start, and chosen when it is ServerName.
const QString typedServerNameKey = QStringLiteral("TypedServerName");
// Encryption and trust go with the other connection settings; CaFile is
// only read (the dialog does not show it).
const QString encryptKey = QStringLiteral("Encrypt");
const QString trustKey = QStringLiteral("TrustServerCertificate");

std::unique_ptr<TScriptCreationController> theController;

struct TConnectionState
{
    QString DataSource;
    QString UserId;
    QString Password;
    QString DataBase;
    TConnectionSecurity Security;
};

TConnectionState SaveConnectionState()
{
    const TDataAccessFacade *facade = DataAccessFacade();
    TConnectionState state;
    state.DataSource = facade->ConnectionProperty(TDataAccessFacade::DataSourceProperty);
    state.UserId = facade->ConnectionProperty(TDataAccessFacade::UserIdProperty);
    state.Password = facade->ConnectionProperty(TDataAccessFacade::PasswordProperty);
    state.DataBase = facade->GetDataBaseName();
    state.Security = facade->Security();
    return state;
}

// Puts the facade back on the server, login and database it had before the
// failed attempts; the views never left them. With no earlier connection
// there is nothing to go back to.
void RestoreConnectionState(const TConnectionState &State)
{
    if (State.DataSource.isEmpty())
        return;
    TDataAccessFacade *facade = DataAccessFacade();
    try {
        facade->SetSecurity(State.Security);
        facade->SetLogin(State.UserId, State.Password);
        const TSQLServer server(State.DataSource);
        facade->SetServer(&server);
        if (!State.DataBase.isEmpty())
            facade->UseDataBase(State.DataBase);
    } catch (const std::exception &) {
        // The old server is gone as well: the next command reports it.
    }
    TSQLServersList *servers = ScriptCreatorModel()->Servers();
    if (servers)
        if (TSQLServer *server = servers->FindByName(State.DataSource))
            servers->SetItemIndex(servers->IndexOf(server));
}

} // namespace

TScriptCreationController &ScriptCreationController()
{
    if (!theController)
        theController = std::make_unique<TScriptCreationController>();
    return *theController;
}

void FreeScriptCreationController()
{
    theController.reset();
}

TScriptCreationController::TScriptCreationController() = default;

bool TScriptCreationController::Connect()
{
    IWorkbenchUi &ui = RequireWorkbenchUi();
    std::unique_ptr<IServerChooser> dialog = ui.CreateServerChooser();
    dialog->SetKeepForm(true);
    dialog->SetUserName(SettingsManager()->GetSetting(connectionSection, loginKey, QString())->Value());
    const QString rememberedServer = SettingsManager()->GetSetting(connectionSection, serverNameKey, QString())->Value();
    const QString typedServer = SettingsManager()->GetSetting(connectionSection, typedServerNameKey, QString())->Value();

    LoadServers();
    TSQLServersList *servers = ScriptCreatorModel()->Servers();
    if (!typedServer.trimmed().isEmpty() && !servers->FindByName(typedServer))
        servers->Add(std::make_unique<TSQLServer>(typedServer));
    // Names the user types from now on join the list after these.
    const int offeredCount = servers->Count();
    if (!rememberedServer.isEmpty())
        if (TSQLServer *server = servers->FindByName(rememberedServer))
            dialog->SetServerIndex(servers->IndexOf(server));
    dialog->SetServerNames(servers->GetNames());
    const TConnectionSecurity stored = DataAccessFacade()->Security();
    dialog->SetEncryption(stored.Encryption);
    dialog->SetTrustServerCertificate(stored.TrustServerCertificate);

    // What the connection stands on now: a reconnect that fails and is
    // then cancelled goes back to it instead of leaving the workbench on
    // the failed attempt while it still shows the old server.
    const TConnectionState previous = SaveConnectionState();
    bool attempted = false;

    bool connected = false;
    while (!connected) {
        if (!dialog->Execute())
            break;
        try {
            int index = dialog->ServerIndex();
            if (index < 0) {
                // A name typed into the box that matches no entry is used as
                // typed: it joins the list, so it can be chosen again.
                const QString typed = dialog->ServerText().trimmed();
                if (typed.isEmpty())
                    throw EQuorvaneException(QStringLiteral("Сервер не выбран."));
                if (TSQLServer *known = servers->FindByName(typed))
                    index = servers->IndexOf(known);
                else
                    index = servers->Add(std::make_unique<TSQLServer>(typed));
                dialog->SetServerNames(servers->GetNames());
                dialog->SetServerIndex(index);
            }
            servers->SetItemIndex(index);
            attempted = true;
            TConnectionSecurity security = stored;
            security.Encryption = dialog->Encryption();
            security.TrustServerCertificate = dialog->TrustServerCertificate();
            DataAccessFacade()->SetSecurity(security);
            SetLogin(dialog->UserName(), dialog->Password());
            ConnectToServer(servers->ItemIndex());
            connected = true;
        } catch (const std::exception &error) {
            ui.ShowConnectError(QStringLiteral("Ошибка подключения к серверу:\r\n«") + ErrorText(error)
                                    + QStringLiteral("»."),
                                QStringLiteral("Подключиться к серверу не удалось."));
        }
    }
    if (!connected) {
        if (attempted)
            RestoreConnectionState(previous);
        return false;
    }

    ui.ServerNameView().SetServerName(servers->CurrentServer()->Name);
    SettingsManager()->SetSetting(connectionSection, loginKey, dialog->UserName());
    const QString serverName = dialog->ServerNames().value(dialog->ServerIndex());
    SettingsManager()->SetSetting(connectionSection, serverNameKey, serverName);
    if (servers->ItemIndex() >= offeredCount)
        SettingsManager()->SetSetting(connectionSection, typedServerNameKey, serverName);
    SettingsManager()->SetSetting(connectionSection, encryptKey, EncryptionText(dialog->Encryption()));
    SettingsManager()->SetSetting(connectionSection, trustKey,
                                  dialog->TrustServerCertificate() ? QStringLiteral("1") : QStringLiteral("0"));
    return true;
}

void TScriptCreationController::LoadServers()
{
    TSqrversEnumerator enumerator;
    ScriptCreatorModel()->SetServers(enumerator.GetServers());
}

void TScriptCreationController::ConnectToServer(int Index)
{
    TSQLServersList *servers = ScriptCreatorModel()->Servers();
    if (!servers || !servers->IsValidIndex(Index))
        return;
    TSQLServer *server = servers->Items(Index);
    TDataAccessFacade *facade = DataAccessFacade();
    facade->ResetDataBase();
    facade->SetServer(server);
    ScriptCreatorModel()->SetDataBases(facade->GetDataBases());
    TDataBaseList *dataBases = ScriptCreatorModel()->DataBases();
    RequireWorkbenchUi().DataBasesView().ShowDataBases(dataBases);
    if (dataBases && dataBases->Count() > 0)
        SelectDataBase(0);
}

void TScriptCreationController::SelectDataBase(int Index)
{
    TDataBaseList *dataBases = ScriptCreatorModel()->DataBases();
    if (!dataBases)
        throw EIndexOutOfBoudsException(Index);
    dataBases->SetItemIndex(Index);
    RequireWorkbenchUi().DataBasesView().SetItemIndex(Index);
    DataAccessFacade()->SwitchToDataBase(dataBases->CurrentDataBase());
}

void TScriptCreationController::LoadTables()
{
    TDataBaseList *dataBases = ScriptCreatorModel()->DataBases();
    auto tables = DataAccessFacade()->GetTables(dataBases ? dataBases->CurrentDataBase() : nullptr);
    // A database without user tables gives no list; the previous database's
    // tables must not be offered for this one.
    if (tables)
        ScriptCreatorModel()->SetTables(std::move(tables));
    else
        ScriptCreatorModel()->ClearTables();
}

void TScriptCreationController::SetLogin(const QString &UserName, const QString &Password)
{
    DataAccessFacade()->SetLogin(UserName, Password);
}
