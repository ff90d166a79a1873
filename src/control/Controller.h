#pragma once

#include "RowSet.h"
#include "SeveralTablesController.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class TScriptCreatorParser;

// Connects the application to a server and serves the table wizard.
//
// One process-wide instance (ScriptCreationController()) runs the connect
// flow, the database switch and the table listing. The table script routine
// creates one more instance per wizard run and hands it over as
// IWizzardController (or ISeveralTablesController to the several-tables
// wizard); that one ends with the wizard's last reference.
//
// The connect flow shows the login dialog and its error box through the
// ports of WorkbenchPorts.h, so this class needs no widgets.
//
// The IWizzardController side (LoadColumns .. SetOnProgress, the two
// Generator* handlers and the destructor's handling of a running generation)
// lives in ControllerWizard.cpp.
class TScriptCreationController : public ISeveralTablesController
{
public:
    TScriptCreationController();
    ~TScriptCreationController() override;
    TScriptCreationController(const TScriptCreationController &) = delete;
    TScriptCreationController &operator=(const TScriptCreationController &) = delete;

    // Asks for server, login and password until a connection succeeds (true)
    // or the user cancels (false). Remembers login and server on success.
    bool Connect();
    // Enumerates the servers into the model.
    void LoadServers();
    // Opens the server at Index of the model's servers, lists its databases
    // and makes the first one current.
    void ConnectToServer(int Index);
    // Makes the database at Index current in the model, the combo box and
    // the connection. An index outside the list throws.
    void SelectDataBase(int Index);
    // Reads the current database's user tables into the model.
    void LoadTables();
    void SetLogin(const QString &UserName, const QString &Password);

    // IWizzardController (ControllerWizard.cpp)
    void LoadColumns(TTable *Table) override;
    void CreateScript(TTable *Table, std::shared_ptr<IParseSettings> Settings) override;
    void BreakScriptCreation() override;
    [[nodiscard]] TScriptCreatedEvent GetOnScriptCreated() const override;
    void SetOnScriptCreated(TScriptCreatedEvent Handler) override;
    [[nodiscard]] TScriptProgressEvent GetOnProgress() const override;
    void SetOnProgress(TScriptProgressEvent Handler) override;
    // ISeveralTablesController (ControllerSeveralTables.cpp)
    [[nodiscard]] std::vector<TForeignKey> GetForeignKeys() override;
    void CreateSeveralTablesScript(const QList<TTable *> &Tables, std::shared_ptr<IParseSettings> Settings,
                                   bool DisableConstraints) override;

private:
    // The generator's reports, passed on to OnScriptCreated / OnProgress with
    // this controller as sender (ControllerWizard.cpp; the wizard side may
    // adjust their parameter types to the generator's event types).
    void GeneratorScriptCreated(TScriptCreatorParser *Sender, std::unique_ptr<TScript> Script,
                                const TGenerationResult &Result);
    void GeneratorProgress(TScriptCreatorParser *Sender, int Percent, const QString &Text);
    // A generator reporting to the two above, held as the running one.
    TScriptCreatorParser *NewGenerator();
    // Drops the running generation without waiting: its worker owns the
    // rows and a snapshot of the table and frees them when it ends.
    void AbandonGeneration();

    TScriptCreatedEvent OnScriptCreated;
    // The generation started last, until its end report; it frees itself
    // (with the rows it reads), and the QPointer notices.
    QPointer<TScriptCreatorParser> Parser;
    TScriptProgressEvent OnProgress;
    // Context of reports posted to the GUI thread by this controller; they
    // go with it.
    QObject m_context;
};

// The process-wide instance, created on first use.
TScriptCreationController &ScriptCreationController();
// Destroys the process-wide instance (end of main).
void FreeScriptCreationController();
