#include "Model.h"

TScriptCreatorModel::~TScriptCreatorModel()
{
    m_tables.reset();
    m_dataBases.reset();
    m_servers.reset();
}

void TScriptCreatorModel::SetServers(std::unique_ptr<TSQLServersList> List)
{
    if (!List)
        return;
    m_servers.reset();
    m_servers = std::move(List);
}

void TScriptCreatorModel::SetDataBases(std::unique_ptr<TDataBaseList> List)
{
    if (!List)
        return;
    m_tables.reset();
    m_dataBases.reset();
    m_dataBases = std::move(List);
}

void TScriptCreatorModel::SetTables(std::unique_ptr<TTableList> List)
{
    if (!List)
        return;
    m_tables.reset();
    m_tables = std::move(List);
}

void TScriptCreatorModel::ClearTables()
{
    m_tables.reset();
}

namespace {
std::unique_ptr<TScriptCreatorModel> &modelCell()
{
    static std::unique_ptr<TScriptCreatorModel> model;
    return model;
}
} // namespace

TScriptCreatorModel *ScriptCreatorModel()
{
    auto &model = modelCell();
    if (!model)
        model = std::make_unique<TScriptCreatorModel>();
    return model.get();
}

void DestroyScriptCreatorModel()
{
    modelCell().reset();
}
