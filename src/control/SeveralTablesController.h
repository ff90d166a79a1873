#pragma once

// What the several-tables wizard sees of the controller: the table wizard's
// side (columns, break-off and the two reports, with the same handler
// types) plus the current database's foreign keys and one generation over
// several tables. Both reports come on the GUI thread.

#include "TableOrder.h"
#include "WizzardController.h"

#include <QList>

#include <memory>
#include <vector>

class ISeveralTablesController : public IWizzardController
{
public:
    // The FOREIGN KEY constraints of the current database; throws what the
    // data layer throws.
    [[nodiscard]] virtual std::vector<TForeignKey> GetForeignKeys() = 0;
    // Starts one script over Tables (their columns loaded, IsUsed and IsKey
    // marked) in foreign-key order and returns at once. DisableConstraints:
    // tables that reference each other in a ring have their constraints
    // switched off while the script changes rows and checked again after;
    // without it a ring gives no script. The end is reported through
    // OnScriptCreated like a one-table generation.
    virtual void CreateSeveralTablesScript(const QList<TTable *> &Tables, std::shared_ptr<IParseSettings> Settings,
                                           bool DisableConstraints) = 0;
};
