#pragma once

// What the program currently knows about the connected server: the servers
// found, the databases of the connected server, the user tables of the
// current database. The current server and database are the current items
// of their lists.
//
// A table refers to the database list it was read with, so replacing the
// database list drops the tables too: the model never hands out a table
// whose database is gone.
//
// Thread rules: GUI thread only. A generation reads one table on its worker
// thread; the tables are not replaced meanwhile (the wizard is modal).

#include "Domain.h"

#include <memory>

class TScriptCreatorModel
{
public:
    TScriptCreatorModel() = default;
    ~TScriptCreatorModel();
    TScriptCreatorModel(const TScriptCreatorModel &) = delete;
    TScriptCreatorModel &operator=(const TScriptCreatorModel &) = delete;

    // Null until first set.
    [[nodiscard]] TSQLServersList *Servers() const { return m_servers.get(); }
    [[nodiscard]] TDataBaseList *DataBases() const { return m_dataBases.get(); }
    [[nodiscard]] TTableList *Tables() const { return m_tables.get(); }

    // Each replaces its list and frees the old one with all it owns; a null
    // list changes nothing.
    void SetServers(std::unique_ptr<TSQLServersList> List);
    void SetDataBases(std::unique_ptr<TDataBaseList> List);
    void SetTables(std::unique_ptr<TTableList> List);
    // Drops the tables (for a database that has none: the reader then gives
    // no list, and the old database's tables must not stay).
    void ClearTables();

private:
    // Declared last, so destroyed first: tables point into the database list.
    std::unique_ptr<TSQLServersList> m_servers;
    std::unique_ptr<TDataBaseList> m_dataBases;
    std::unique_ptr<TTableList> m_tables;
};

// The process-wide model, created on first use.
TScriptCreatorModel *ScriptCreatorModel();
// Frees it with every list; called at the end of main.
void DestroyScriptCreatorModel();
