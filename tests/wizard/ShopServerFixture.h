#pragma once

// The wizard commands end to end: the demo server's Shop database behind the
// real data layer, settings in a folder of the test's own.

#include "Controller.h"
#include "DataFacade.h"
#include "Domain.h"
#include "Model.h"
#include "RowSet.h"
#include "ScriptBuilder.h"
#include "ScriptManager.h"
#include "TestServer.h"

#include <QDateTime>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

struct ShopServer
{
    QTemporaryDir appData;
    TestServer server{{QStringLiteral("--demo")}};
    TSQLServer serverEntry{QString()};

    // From initTestCase: starts the server, connects the facade and makes
    // Shop the current database. A failure is recorded in the test.
    void Connect()
    {
        qputenv("APPDATA", appData.path().toLocal8Bit());
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        serverEntry.Name = server.dataSource();
        TDataAccessFacade *facade = DataAccessFacade();
        facade->SetDriver(QStringLiteral("FreeTDS"));
        facade->SetLogin(QString::fromLatin1(TestServer::login), QString::fromLatin1(TestServer::password));
        facade->SetServer(&serverEntry);
        ScriptCreatorModel()->SetDataBases(facade->GetDataBases());
        TDataBaseList *dataBases = ScriptCreatorModel()->DataBases();
        QVERIFY(dataBases);
        int shop = -1;
        for (int i = 0; i < dataBases->Count(); ++i)
            if (dataBases->Items(i)->Name == QStringLiteral("Shop"))
                shop = i;
        QVERIFY(shop >= 0);
        dataBases->SetItemIndex(shop);
        facade->SwitchToDataBase(dataBases->CurrentDataBase());
    }

    // Every test starts without open scripts.
    static void CloseScripts()
    {
        while (ScriptManager()->Count() > 0)
            ScriptManager()->Delete(0);
    }

    // From cleanupTestCase, while the server still runs.
    static void Release()
    {
        FreeScriptCreationController();
        DestroyScriptCreatorModel();
        DestroyDataAccessFacade();
    }
};

// The generator's own lines for the model's table of that name as the wizard
// left it (its columns, flags and nickname), with Settings; none when the
// table or its rows are not there or the script is not complete.
inline QStringList generatorLines(const QString &tableName, const IParseSettings *settings)
{
    TTableList *tables = ScriptCreatorModel()->Tables();
    TTable *table = nullptr;
    for (int i = 0; tables && i < tables->Count(); ++i)
        if (tables->Items(i)->Name == tableName)
            table = tables->Items(i);
    if (!table)
        return {};
    std::unique_ptr<TRowSet> rows = DataAccessFacade()->OpenTableRows(table);
    if (!rows)
        return {};
    QStringList lines;
    TScriptLinesCollector sink(lines);
    TScriptBuildControl control;
    control.Now = QDateTime::currentDateTime();
    if (!BuildScript(*table, *rows, settings, sink, control).Complete())
        return {};
    return lines;
}

// The text with the creation time (header and temporary tables) blanked.
inline QString masked(QString text)
{
    static const QRegularExpression time(QStringLiteral("Creation date and time „[^“\r\n]*“"));
    static const QRegularExpression temporary(QStringLiteral("TempTable_\\d{8}_\\d{9}"));
    return text.replace(time, QStringLiteral("(time)")).replace(temporary, QStringLiteral("TempTable_(time)"));
}
