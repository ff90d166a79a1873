#include "TableScriptRoutine.h"

#include "Controller.h"
#include "Domain.h"
#include "Model.h"
#include "OneTableCreationWizard.h"
#include "ScriptManager.h"
#include "SimpleSettingsManager.h"
#include "WherePutScriptDialogForm.h"

#include <QApplication>
#include <QMessageBox>

void CreateOneTableScript()
{
    TOneTableScriptCreationDialog dialog;
    ScriptCreationController().LoadTables();
    if (!ScriptCreatorModel()->Tables()) {
        // Say why there is nothing to choose from, rather than the wizard's
        // own "no table list" error.
        const TDataBaseList *dataBases = ScriptCreatorModel()->DataBases();
        const TDataBase *dataBase = dataBases ? dataBases->CurrentDataBase() : nullptr;
        QMessageBox::information(QApplication::activeWindow(), QString::fromUtf8(TableScriptRoutineTexts::NoTablesCaption),
                                 dataBase ? QString::fromUtf8(TableScriptRoutineTexts::NoTablesText).arg(dataBase->Name)
                                          : QString::fromUtf8(TableScriptRoutineTexts::NoDataBaseText));
        return;
    }
    dialog.SetTables(ScriptCreatorModel()->Tables());
    // A fresh controller per run; it goes with the dialog.
    dialog.SetWizzardController(std::make_shared<TScriptCreationController>());
    // "Обновлять только изменившиеся строки" is remembered between runs.
    const QString wizardSection = QStringLiteral("Wizard");
    const QString onlyChangedKey = QStringLiteral("OnlyChangedRows");
    dialog.Form()->SetOnlyChanged(
        SettingsManager()->GetSetting(wizardSection, onlyChangedKey, QStringLiteral("0"))->Value().trimmed() ==
        QLatin1String("1"));
    const bool accepted = dialog.Execute();
    SettingsManager()->SetSetting(wizardSection, onlyChangedKey,
                                  dialog.Form()->OnlyChanged() ? QStringLiteral("1") : QStringLiteral("0"));
    if (!accepted)
        return;

    const QStringList *lines = dialog.Script();
    if (!lines) {
        // The generation finished without rows to read: nothing to place.
        QMessageBox::warning(QApplication::activeWindow(), QString::fromUtf8(TableScriptRoutineTexts::NoScriptCaption),
                             QString::fromUtf8(TableScriptRoutineTexts::NoScriptText));
        return;
    }

    TWherePutScripts offered{wpsInNew, wpsThrowIntoShredder};
    if (ScriptManager()->Count() > 0)
        offered.Include(wpsInCurrent);
    TWherePutScriptDialogForm placement;
    switch (placement.Execute(offered)) {
    case wpsInNew:
        // The text form ends every line with a break, so the script's closing
        // empty lines reach the tab as well.
        ScriptManager()->AddScriptFromText(lines->join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        break;
    case wpsInCurrent:
        if (TScript *current = ScriptManager()->Current()) {
            current->Lines.append(*lines);
            ScriptManager()->DoChange();
        }
        break;
    case wpsThrowIntoShredder:
        break;
    }
}
