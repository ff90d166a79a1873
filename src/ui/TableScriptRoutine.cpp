#include "TableScriptRoutine.h"

#include "Controller.h"
#include "Domain.h"
#include "Model.h"
#include "OneTableCreationWizard.h"
#include "SeveralTablesWizard.h"
#include "QuorvaneException.h"
#include "ScriptBuilder.h"
#include "ScriptManager.h"
#include "ScriptSpool.h"
#include "SimpleSettingsManager.h"
#include "WherePutScriptDialogForm.h"
#include "WorkbenchUi.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryFile>

#include <cstdio>

namespace {

// Bytes (as UTF-8, items followed by CR LF) and lines of a script in memory.
void measure(const QStringList &items, qint64 &bytes, qint64 &lines)
{
    bytes = 0;
    lines = 0;
    for (const QString &item : items) {
        bytes += item.size() + 2;
        ++lines;
        for (const QChar c : item) {
            if (c.isSurrogate())
                bytes += 1; // a pair takes four bytes
            else if (c.unicode() >= 0x80)
                bytes += c.unicode() >= 0x800 ? 2 : 1;
            if (c == u'\n')
                ++lines;
        }
    }
}

// True when the script may go into the editor: small enough, or the user
// says so.
bool confirmEditorLoad(const TScript &script)
{
    qint64 bytes = 0, lines = 0;
    if (script.Spool) {
        bytes = script.Spool->Bytes();
        lines = script.Spool->Lines();
    } else {
        measure(script.Lines, bytes, lines);
    }
    const TTableScriptEditorLimits &limits = TableScriptEditorLimits();
    if (bytes <= limits.Bytes && lines <= limits.Lines)
        return true;
    QMessageBox question(QMessageBox::Question, QString::fromUtf8(TableScriptRoutineTexts::BigScriptCaption),
                         QString::fromUtf8(TableScriptRoutineTexts::BigScriptText)
                             .arg(QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1))
                             .arg(lines),
                         QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    question.setObjectName(QStringLiteral("BigScriptQuestion"));
    question.setDefaultButton(QMessageBox::No);
    return question.exec() == QMessageBox::Yes;
}

// The script's lines for the editor, read from its spool when it has one.
QStringList editorLines(const TScript &script)
{
    return script.Spool ? script.Spool->ReadLines() : script.Lines;
}

QString askFileName()
{
    if (const auto &hook = TableScriptFileNameHook())
        return hook();
    QString name = QFileDialog::getSaveFileName(QApplication::activeWindow(),
                                                QString::fromUtf8(TableScriptRoutineTexts::SaveCaption), QString(),
                                                QtFileFilter(QStringLiteral("SQL Файлы (*.sql)|*.sql|Все файлы(*.*)|*.*")));
    if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".sql");
    return name;
}

// The placement the user chose, done; false when it was called off (the
// question about a big script answered No, the file dialog cancelled, the
// file not written) and the user chooses again.
bool place(TWherePutScript choice, TScript &script)
{
    switch (choice) {
    case wpsInNew: {
        if (!confirmEditorLoad(script))
            return false;
        // The text form ends every line with a break, so the script's closing
        // empty lines reach the tab as well.
        const QStringList lines = editorLines(script);
        ScriptManager()->AddScriptFromText(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        return true;
    }
    case wpsInCurrent:
        if (!confirmEditorLoad(script))
            return false;
        if (TScript *current = ScriptManager()->Current()) {
            current->Lines.append(editorLines(script));
            ScriptManager()->DoChange();
        }
        return true;
    case wpsToFile: {
        const QString fileName = askFileName();
        if (fileName.isEmpty())
            return false;
        try {
            SaveGeneratedScript(script, fileName);
        } catch (const EQuorvaneException &error) {
            QMessageBox::critical(QApplication::activeWindow(), QString::fromUtf8(TableScriptRoutineTexts::SaveFailedCaption),
                                  error.Message());
            return false;
        }
        return true;
    }
    case wpsThrowIntoShredder:
        return true;
    }
    return true;
}

// Reads the current database's tables into the model; false (the user told
// why) when there are none to choose from.
bool currentTables()
{
    ScriptCreationController().LoadTables();
    if (ScriptCreatorModel()->Tables())
        return true;
    // Say why there is nothing to choose from, rather than the wizard's own
    // "no table list" error.
    const TDataBaseList *dataBases = ScriptCreatorModel()->DataBases();
    const TDataBase *dataBase = dataBases ? dataBases->CurrentDataBase() : nullptr;
    QMessageBox::information(QApplication::activeWindow(), QString::fromUtf8(TableScriptRoutineTexts::NoTablesCaption),
                             dataBase ? QString::fromUtf8(TableScriptRoutineTexts::NoTablesText).arg(dataBase->Name)
                                      : QString::fromUtf8(TableScriptRoutineTexts::NoDataBaseText));
    return false;
}

// "Обновлять только изменившиеся строки" is remembered between runs, for
// both wizards alike.
const QString wizardSection = QStringLiteral("Wizard");
const QString onlyChangedKey = QStringLiteral("OnlyChangedRows");

bool rememberedOnlyChanged()
{
    return SettingsManager()->GetSetting(wizardSection, onlyChangedKey, QStringLiteral("0"))->Value().trimmed() ==
           QLatin1String("1");
}

void rememberOnlyChanged(bool value)
{
    SettingsManager()->SetSetting(wizardSection, onlyChangedKey, value ? QStringLiteral("1") : QStringLiteral("0"));
}

// Runs Dialog's wizard over the current database's tables; true when it
// closed with OK. The only-changed choice is kept whatever the outcome.
template <typename TDialog> bool runWizard(TDialog &dialog)
{
    if (!currentTables())
        return false;
    dialog.SetTables(ScriptCreatorModel()->Tables());
    // A fresh controller per run; it goes with the dialog.
    dialog.SetWizzardController(std::make_shared<TScriptCreationController>());
    dialog.Form()->SetOnlyChanged(rememberedOnlyChanged());
    const bool accepted = dialog.Execute();
    rememberOnlyChanged(dialog.Form()->OnlyChanged());
    return accepted;
}

// Asks where the script goes, again until a choice is carried out.
void placeScript(TScript &script)
{
    TWherePutScripts offered{wpsInNew, wpsToFile, wpsThrowIntoShredder};
    if (ScriptManager()->Count() > 0)
        offered.Include(wpsInCurrent);
    for (;;) {
        TWherePutScriptDialogForm placement;
        if (place(placement.Execute(offered), script))
            return;
    }
}

} // namespace

TTableScriptEditorLimits &TableScriptEditorLimits()
{
    static TTableScriptEditorLimits limits;
    return limits;
}

std::function<QString()> &TableScriptFileNameHook()
{
    static std::function<QString()> hook;
    return hook;
}

void SaveGeneratedScript(TScript &Script, const QString &FileName)
{
    if (Script.Spool) {
        Script.Spool->MoveTo(FileName);
        Script.Spool.reset();
        return;
    }
    const QFileInfo target(FileName);
    const QString failed = QStringLiteral("Не удалось записать файл «%1».").arg(QDir::toNativeSeparators(FileName));
    QTemporaryFile part(target.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX.part").arg(target.fileName())));
    if (!part.open())
        throw EQuorvaneException(failed);
    part.close();
    std::FILE *file = std::fopen(QFile::encodeName(part.fileName()).constData(), "wb");
    if (!file)
        throw EQuorvaneException(failed);
    bool written = true;
    try {
        TScriptFileSink sink(file);
        for (const QString &item : std::as_const(Script.Lines))
            sink.AddLine(item);
        sink.Flush();
    } catch (const EQuorvaneException &) {
        written = false;
    }
    written = std::fclose(file) == 0 && written;
    if (!written || std::rename(QFile::encodeName(part.fileName()).constData(), QFile::encodeName(FileName).constData()) != 0)
        throw EQuorvaneException(failed);
    part.setAutoRemove(false);
}

void CreateOneTableScript()
{
    TOneTableScriptCreationDialog dialog;
    if (!runWizard(dialog))
        return;

    TScript *script = dialog.Form()->ResultScript();
    if (!script) {
        // The generation finished without rows to read: nothing to place.
        QMessageBox::warning(QApplication::activeWindow(), QString::fromUtf8(TableScriptRoutineTexts::NoScriptCaption),
                             QString::fromUtf8(TableScriptRoutineTexts::NoScriptText));
        return;
    }

    placeScript(*script);
}

void CreateSeveralTablesScript()
{
    TSeveralTablesScriptCreationDialog dialog;
    if (runWizard(dialog) && dialog.Form()->ResultScript())
        placeScript(*dialog.Form()->ResultScript());
}
