#pragma once

#include "Domain.h"
#include "LocaleFormat.h"
#include "MemoryRowSet.h"
#include "ScriptBuilder.h"

#include <QList>
#include <QPair>

// Tables and runs of the data script generator for the tests.
struct TColumnSpec
{
    const char *name;
    int xtype;
    int length;
    bool identity = false;
    bool used = true;
    bool key = false;
};

inline std::unique_ptr<TTable> MakeTable(const QString &name, std::initializer_list<TColumnSpec> columns)
{
    auto table = std::make_unique<TTable>(name, soUserTable, 42);
    for (const TColumnSpec &spec : columns) {
        auto column = CreateColumn(QString::fromUtf8(spec.name), spec.xtype, 42, spec.identity, spec.length);
        column->IsUsed = spec.used;
        column->IsKey = spec.key;
        table->Columns.Add(std::move(column));
    }
    return table;
}

inline QDateTime FixedNow()
{
    return QDateTime(QDate(2004, 3, 5), QTime(14, 20, 7));
}

// The table of the worked example: Goods of Shop with two rows.
struct TGoodsFixture
{
    TDataBase dataBase{QStringLiteral("Shop"), 7};
    std::unique_ptr<TTable> table = MakeTable(QStringLiteral("Goods"),
                                              {{"Id", XType::Int, 4, true, true, true},
                                               {"Title", XType::VarChar, 50},
                                               {"Price", XType::Money, 8},
                                               {"Created", XType::DateTime, 8}});
    TMemoryRowSet rows{{QStringLiteral("Id"), QStringLiteral("Title"), QStringLiteral("Price"), QStringLiteral("Created")},
                       {{QString("1"), QString("Tea"), QString("2,5"), QString("01.03.2004 10:00:00")},
                        {QString("2"), QVariant(), QString("3"), QString("02.03.2004 09:30:00")}}};

    TGoodsFixture() { table->DataBase = &dataBase; }
};

using TReports = QList<QPair<int, QString>>;

struct TBuildResult
{
    QStringList lines;
    TReports reports;
    TGenerationResult outcome;
    [[nodiscard]] QString text() const { return lines.join(QStringLiteral("\r\n")); }
    [[nodiscard]] QList<int> percents() const
    {
        QList<int> out;
        for (const auto &r : reports)
            out.append(r.first);
        return out;
    }
};

inline TBuildResult RunBuild(const TTable &table, TRowSet &rows, bool deleteTable = false,
                             std::function<bool()> stop = {})
{
    TBuildResult result;
    TParseSettings settings;
    settings.SetDeleteTable(deleteTable);
    TScriptLinesCollector sink(result.lines);
    TScriptBuildControl control;
    control.Now = FixedNow();
    control.Progress = [&result](int percent, const QString &text) { result.reports.append({percent, text}); };
    control.StopRequested = std::move(stop);
    result.outcome = BuildScript(table, rows, &settings, sink, control);
    return result;
}

// The worked example's text, lines ended by CR LF.
inline QString WorkedExampleText()
{
    QString text = QString::fromUtf8(R"(/*
Created by Quorvane.
Creation date and time „05_03_2004 14-20-07“
Used data base „Shop“
Used table „Goods“
*/

--Script for table „Goods“ start.--

DECLARE @GoodsTempTable TABLE (Id1 int, Title1 varchar(50), Price1 money, Created1 datetime);

INSERT INTO @GoodsTempTable(Id1, Title1, Price1, Created1) 
  VALUES(1, 'Tea', 2.5, CONVERT(DATETIME, '01.03.2004 10:00:00',105));

INSERT INTO @GoodsTempTable(Id1, Title1, Price1, Created1) 
  VALUES(2, NULL, 3, CONVERT(DATETIME, '02.03.2004 09:30:00',105));

SET IDENTITY_INSERT Goods ON;

UPDATE Goods 
  SET Title = T.Title1, Price = T.Price1, Created = T.Created1 
  FROM @GoodsTempTable AS T 
  WHERE (Id = T.Id1);

INSERT INTO Goods(Id, Title, Price, Created) 
  SELECT Id1, Title1, Price1, Created1 FROM @GoodsTempTable AS T
  WHERE NOT EXISTS(SELECT * FROM Goods WHERE (Id = T.Id1))

SET IDENTITY_INSERT Goods OFF;
DBCC CHECKIDENT(Goods, RESEED);

--Script for table „Goods“ end.--

/*

*/

)");
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text;
}

inline QString RowText(int n, int done)
{
    return QStringLiteral("Формирую данные. Всего строк в таблице: %1. Сформировано строк: %2. Осталось сформировать: %3.")
        .arg(n)
        .arg(done)
        .arg(n - done);
}
