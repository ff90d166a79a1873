#pragma once

#include "IndexedObjectList.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>

class TRowSet;

// syscolumns.xtype codes of the type catalogue.
namespace XType {
inline constexpr quint8 Image = 34;
inline constexpr quint8 Text = 35;
inline constexpr quint8 UniqueIdentifier = 36;
inline constexpr quint8 TinyInt = 48;
inline constexpr quint8 SmallInt = 52;
inline constexpr quint8 Int = 56;
inline constexpr quint8 SmallDateTime = 58;
inline constexpr quint8 Real = 59;
inline constexpr quint8 Money = 60;
inline constexpr quint8 DateTime = 61;
inline constexpr quint8 Float = 62;
inline constexpr quint8 SqlVariant = 98;
inline constexpr quint8 NText = 99;
inline constexpr quint8 Bit = 104;
inline constexpr quint8 Decimal = 106;
inline constexpr quint8 Numeric = 108;
inline constexpr quint8 SmallMoney = 122;
inline constexpr quint8 BigInt = 127;
inline constexpr quint8 VarBinary = 165;
inline constexpr quint8 VarChar = 167;
inline constexpr quint8 Binary = 173;
inline constexpr quint8 Char = 175;
inline constexpr quint8 Timestamp = 189;
inline constexpr quint8 NVarChar = 231;
inline constexpr quint8 NChar = 239;
} // namespace XType

class TCustomIdObject
{
public:
    explicit TCustomIdObject(qint32 Id = 0) : Id(Id) {}
    virtual ~TCustomIdObject() = default;
    TCustomIdObject(const TCustomIdObject &) = delete;
    TCustomIdObject &operator=(const TCustomIdObject &) = delete;

    qint32 Id;
};

// A database of the connected server (Id is sysdatabases.dbid).
class TDataBase : public TCustomIdObject
{
public:
    TDataBase(const QString &Name, qint32 Id) : TCustomIdObject(Id), Name(Name) {}

    QString Name;
};

// Kind of a sysobjects row; the order is fixed (ordinals are compared).
enum TSysObjectType : quint8 {
    soCheck,
    soDefault,
    soLog,
    soScalarFunction,
    soInlineFunction,
    soProcedure,
    soPrimaryKey,
    soReplicationFilter,
    soSystemTable,
    soTableFunction,
    soTrigger,
    soUserTable,
    soUniqueKey,
    soView,
    soExtendedProcedure,
};

// The object type for a sysobjects.xtype code ("U " and "U" both give
// soUserTable; the comparison is case-sensitive). Throws EQuorvaneException
// for a code that names no object type.
TSysObjectType SysObjectTypeFromCode(const QString &Code);

// The SQL type of a column: its syscolumns.xtype and the catalogue's name.
class TCustomCoulumnType
{
public:
    TCustomCoulumnType(quint8 XType, const QString &Name) : XType(XType), Name(Name) {}

    quint8 XType;
    QString Name;
};

class TColumnType : public TCustomCoulumnType
{
public:
    explicit TColumnType(quint8 XType) : TCustomCoulumnType(XType, GetTypeName(XType)) {}

    // The catalogue's type name; empty for a code outside the catalogue.
    static QString GetTypeName(quint8 XType);
};

// One column of a table (Id is the owning table's object id). Abstract: the
// kinds below differ only in how a value's text becomes a literal.
class TCustomColumn : public TCustomIdObject
{
public:
    TCustomColumn(const QString &Name, quint8 XType, qint32 Id, bool IsIdentity, qint32 Length);

    // The literal for the text of a non-NULL value (TRowSet text forms).
    [[nodiscard]] QString GetSQLValue(const QString &Text) const;
    // The same literal appended to Out; the generator's row loop uses this
    // so that it builds each row in one reused buffer.
    virtual void AppendSQLValue(QString &Out, QStringView Text) const = 0;

    // False for timestamp and computed columns: the server refuses explicit
    // values for them, so a script never carries them.
    [[nodiscard]] bool IsCarriable() const;

    QString Name;
    TColumnType ColumnType;
    bool IsIdentity;
    bool IsPrimaryKey = false;
    qint32 Length;
    bool IsKey = false;
    bool IsUsed = false;
    // syscolumns.xprec / xscale; the declaration of decimal and numeric needs them.
    int Precision = 0;
    int Scale = 0;
    // A computed column (syscolumns.iscomputed).
    bool IsComputed = false;
};

// Writes the text bare, with the locale's decimal separator turned into '.'.
class TNumericColumn : public TCustomColumn
{
public:
    using TCustomColumn::TCustomColumn;
    void AppendSQLValue(QString &Out, QStringView Text) const override;
};

// Writes the text in single quotes, quotes doubled.
class TStringColumn : public TCustomColumn
{
public:
    using TCustomColumn::TCustomColumn;
    void AppendSQLValue(QString &Out, QStringView Text) const override;
};

// nchar, nvarchar, ntext: N'...', so characters outside the server's code
// page survive.
class TNationalStringColumn : public TStringColumn
{
public:
    using TStringColumn::TStringColumn;
    void AppendSQLValue(QString &Out, QStringView Text) const override;
};

// Writes the text inside CONVERT(DATETIME, '...',105) (day before month).
class TDateTimeColumn : public TCustomColumn
{
public:
    using TCustomColumn::TCustomColumn;
    void AppendSQLValue(QString &Out, QStringView Text) const override;
};

// binary, varbinary, image (and timestamp): the hex text as a 0x... literal.
class TBinaryColumn : public TCustomColumn
{
public:
    using TCustomColumn::TCustomColumn;
    void AppendSQLValue(QString &Out, QStringView Text) const override;
};

// The kind to instantiate for an xtype code: a constructor function.
using TColumnClass = std::unique_ptr<TCustomColumn> (*)(const QString &Name, quint8 XType, qint32 Id,
                                                         bool IsIdentity, qint32 Length);
// The kind for a code. Codes outside the catalogue are carried as strings.
TColumnClass GetColumnClass(quint8 XType);
// GetColumnClass(XType) applied to the arguments.
std::unique_ptr<TCustomColumn> CreateColumn(const QString &Name, quint8 XType, qint32 Id, bool IsIdentity,
                                            qint32 Length);

// The catalogue says the type is declared with its length ("varchar(50)").
bool IsDeclaredWithLength(quint8 XType);
// The type as the table variable declares it: "int", "varchar(50)",
// "decimal(18,4)"; nvarchar(4000) for a code outside the catalogue.
QString GetDeclaredType(const TCustomColumn &Column);
// Name + Suffix (bracketed when needed), a blank and the declared type.
QString GetColumnDeclaration(const TCustomColumn &Column, const QString &Suffix);

// "NULL" for a NULL field, else the column's literal for the field's text.
QString GetFieldLiteral(const TRowSet &RowSet, int Index, const TCustomColumn &Column);
void AppendFieldLiteral(QString &Out, const TRowSet &RowSet, int Index, const TCustomColumn &Column);

class TColumnList : public TObjectList<TCustomColumn>
{
public:
    TColumnList() : TObjectList<TCustomColumn>(true) {}
};

// A user table of the current database (Id is its sysobjects.id).
class TTable : public TCustomIdObject
{
public:
    TTable(const QString &Name, TSysObjectType ObjectType, qint32 Id);
    // XTypeCode is the sysobjects.xtype text ("U ").
    TTable(const QString &Name, const QString &XTypeCode, qint32 Id);

    // The name the script addresses the target by: the nickname, or the
    // table's name (which is then stored as the nickname).
    QString GetScriptName();
    [[nodiscard]] bool HasIdentityColumn() const;
    [[nodiscard]] bool HasKeyColumns() const;

    QString Name;
    TSysObjectType ObjectType;
    TColumnList Columns;
    TDataBase *DataBase = nullptr; // not owned
    QString Nickname;
};

class TSQLServer
{
public:
    explicit TSQLServer(const QString &Name) : Name(Name) {}

    QString Name;
    QString Comment;
};

// One script document; Lines items may hold CR LF themselves.
class TScript
{
public:
    TScript() = default;

    QString Name = QStringLiteral("(Без имени)");
    QStringList Lines;
    QString FileName;
};

class IParseSettings
{
public:
    virtual ~IParseSettings() = default;
    [[nodiscard]] virtual bool GetDeleteTable() const = 0;
    virtual void SetDeleteTable(bool Value) = 0;
};

// Held through std::shared_ptr<IParseSettings>.
class TParseSettings : public IParseSettings
{
public:
    [[nodiscard]] bool GetDeleteTable() const override { return DeleteTable; }
    void SetDeleteTable(bool Value) override { DeleteTable = Value; }

    bool DeleteTable = false;
};

class TSQLServersList : public TIndexedObjecList<TSQLServer>
{
public:
    TSQLServersList() : TIndexedObjecList<TSQLServer>(true) {}

    [[nodiscard]] TSQLServer *CurrentServer() const { return CurrentItem(); }
    // The last server whose name equals Name exactly; null when none.
    [[nodiscard]] TSQLServer *FindByName(const QString &Name) const;
    // The servers' names in list order. Always the same list object, owned
    // here and refilled by every call.
    QStringList &GetNames();

private:
    std::unique_ptr<QStringList> Names;
};

class TDataBaseList : public TIndexedObjecList<TDataBase>
{
public:
    TDataBaseList() : TIndexedObjecList<TDataBase>(true) {}

    [[nodiscard]] TDataBase *CurrentDataBase() const { return CurrentItem(); }
};

class TTableList : public TObjectList<TTable>
{
public:
    TTableList() : TObjectList<TTable>(true) {}
};
