#pragma once

#include "IndexedObjectList.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>

class TRowSet;

// syscolumns.xtype codes of the type catalogue (sys.types.system_type_id
// from SQL Server 2005 on). A code is read as a whole number: a server may
// report codes this catalogue does not know, and none of them may pass for
// a known one.
namespace XType {
inline constexpr int Image = 34;
inline constexpr int Text = 35;
inline constexpr int UniqueIdentifier = 36;
inline constexpr int Date = 40;           // SQL Server 2008 on
inline constexpr int Time = 41;           // time(n), 2008 on
inline constexpr int DateTime2 = 42;      // datetime2(n), 2008 on
inline constexpr int DateTimeOffset = 43; // datetimeoffset(n), 2008 on
inline constexpr int TinyInt = 48;
inline constexpr int SmallInt = 52;
inline constexpr int Int = 56;
inline constexpr int SmallDateTime = 58;
inline constexpr int Real = 59;
inline constexpr int Money = 60;
inline constexpr int DateTime = 61;
inline constexpr int Float = 62;
inline constexpr int SqlVariant = 98;
inline constexpr int NText = 99;
inline constexpr int Bit = 104;
inline constexpr int Decimal = 106;
inline constexpr int Numeric = 108;
inline constexpr int SmallMoney = 122;
inline constexpr int BigInt = 127;
inline constexpr int VarBinary = 165;
inline constexpr int VarChar = 167;
inline constexpr int Binary = 173;
inline constexpr int Char = 175;
inline constexpr int Timestamp = 189;
inline constexpr int NVarChar = 231;
inline constexpr int NChar = 239;
// The CLR types share one code and are told apart by their names; of them
// the catalogue knows hierarchyid, geometry and geography (2008 on).
inline constexpr int Clr = 240;
inline constexpr int Xml = 241; // 2005 on
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
    TCustomCoulumnType(int XType, const QString &Name) : XType(XType), Name(Name) {}

    int XType;
    QString Name;
};

class TColumnType : public TCustomCoulumnType
{
public:
    explicit TColumnType(int XType) : TCustomCoulumnType(XType, GetTypeName(XType)) {}

    // The catalogue's type name; empty for a code outside the catalogue.
    static QString GetTypeName(int XType);
};

// The code is one of the catalogue's. The CLR code is not: whether a CLR
// column is known goes by its type's name (TCustomColumn::IsOfKnownType).
bool IsKnownType(int XType);
// hierarchyid, geometry or geography (any letter case): the CLR types whose
// binary form the script carries.
bool IsSystemClrTypeName(const QString &Name);
// The catalogue's code for a type name ("int", "NVARCHAR"); -1 when none.
int XTypeFromName(const QString &Name);

// One column of a table (Id is the owning table's object id). Abstract: the
// kinds below differ only in how a value's text becomes a literal.
class TCustomColumn : public TCustomIdObject
{
public:
    TCustomColumn(const QString &Name, int XType, qint32 Id, bool IsIdentity, qint32 Length);

    // The literal for the text of a non-NULL value (TRowSet text forms).
    [[nodiscard]] QString GetSQLValue(const QString &Text) const;
    // The same literal appended to Out; the generator's row loop uses this
    // so that it builds each row in one reused buffer.
    virtual void AppendSQLValue(QString &Out, QStringView Text) const = 0;
    // The same literal in UTF-8 for the text in UTF-8: the generator writes
    // rows this way, without a QString per value.
    virtual void AppendSQLValue(QByteArray &Out, QByteArrayView Text) const = 0;

    // The column's type is in the catalogue, or is one of the CLR types the
    // catalogue carries through their binary form.
    [[nodiscard]] bool IsOfKnownType() const;
    // False for timestamp and computed columns (the server refuses explicit
    // values for them) and for types outside the catalogue (no literal is
    // known to be right for them): a script never carries them.
    [[nodiscard]] bool IsCarriable() const;
    // False for text, ntext, image, xml, geometry and geography: the server
    // cannot compare them with =.
    [[nodiscard]] bool IsComparable() const;
    // nchar, nvarchar and ntext.
    [[nodiscard]] bool IsNational() const;
    // char, varchar, text and their national kin: the types with a collation.
    [[nodiscard]] bool IsCharacter() const;
    // hierarchyid, geometry, geography: carried as varbinary(max) and made
    // the column's type again by CAST when they reach the target.
    [[nodiscard]] bool IsClr() const;

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
    // syscolumns.isnullable: a key that may hold NULL is matched NULL-safely.
    bool IsNullable = false;
    // syscolumns.collation; empty for types without one.
    QString Collation;
    // sys.columns.is_rowguidcol and is_sparse (SQL Server 2005 and 2008 on).
    bool IsRowGuidCol = false;
    bool IsSparse = false;
};

// Why a column cannot be a match key; krNone when it can.
enum TKeyRefusal : quint8 {
    krNone,
    krNotUsed,        // the script does not carry it
    krNotComparable,  // text, ntext, image, xml, geometry, geography
    krNotCarriable,   // timestamp or computed
    krUnknownType,    // outside the catalogue
};
TKeyRefusal KeyRefusal(const TCustomColumn &Column);

// A copy of the column with every field, of the same kind.
std::unique_ptr<TCustomColumn> CloneColumn(const TCustomColumn &Column);

// Writes the text bare, with the locale's decimal separator turned into '.'.
class TNumericColumn : public TCustomColumn
{
public:
    using TCustomColumn::TCustomColumn;
    void AppendSQLValue(QString &Out, QStringView Text) const override;
    void AppendSQLValue(QByteArray &Out, QByteArrayView Text) const override;
};

// Writes the text in single quotes, quotes doubled.
class TStringColumn : public TCustomColumn
{
public:
    using TCustomColumn::TCustomColumn;
    void AppendSQLValue(QString &Out, QStringView Text) const override;
    void AppendSQLValue(QByteArray &Out, QByteArrayView Text) const override;
};

// nchar, nvarchar, ntext: N'...', so characters outside the server's code
// page survive.
class TNationalStringColumn : public TStringColumn
{
public:
    using TStringColumn::TStringColumn;
    void AppendSQLValue(QString &Out, QStringView Text) const override;
    void AppendSQLValue(QByteArray &Out, QByteArrayView Text) const override;
};

// date, time(n), datetime2(n), datetimeoffset(n): the server's own text of
// the value ("2024-02-29 13:45:07.1234567 +03:00") made the ISO 8601 literal
// '2024-02-29T13:45:07.1234567+03:00', which the server reads the same way
// whatever the session's language and DATEFORMAT, to the 100 ns.
class TTemporalColumn : public TCustomColumn
{
public:
    using TCustomColumn::TCustomColumn;
    void AppendSQLValue(QString &Out, QStringView Text) const override;
    void AppendSQLValue(QByteArray &Out, QByteArrayView Text) const override;
};

// Writes the text inside CONVERT(DATETIME, '...',105) (day before month).
class TDateTimeColumn : public TCustomColumn
{
public:
    using TCustomColumn::TCustomColumn;
    void AppendSQLValue(QString &Out, QStringView Text) const override;
    void AppendSQLValue(QByteArray &Out, QByteArrayView Text) const override;
};

// binary, varbinary, image (and timestamp), and the CLR types' binary form:
// the hex text as a 0x... literal.
class TBinaryColumn : public TCustomColumn
{
public:
    using TCustomColumn::TCustomColumn;
    void AppendSQLValue(QString &Out, QStringView Text) const override;
    void AppendSQLValue(QByteArray &Out, QByteArrayView Text) const override;
};

// The kind to instantiate for an xtype code: a constructor function.
using TColumnClass = std::unique_ptr<TCustomColumn> (*)(const QString &Name, int XType, qint32 Id,
                                                         bool IsIdentity, qint32 Length);
// The kind for a code. Codes outside the catalogue get the string kind, but
// such a column is never carried (IsCarriable); the CLR code gets the
// binary kind.
TColumnClass GetColumnClass(int XType);
// GetColumnClass(XType) applied to the arguments.
std::unique_ptr<TCustomColumn> CreateColumn(const QString &Name, int XType, qint32 Id, bool IsIdentity,
                                            qint32 Length);

// The catalogue says the type is declared with its length ("varchar(50)").
bool IsDeclaredWithLength(int XType);
// The type as the table variable declares it: "int", "varchar(50)",
// "nvarchar(25)" (the catalogue's length is in bytes), "varbinary(max)"
// (length -1), "decimal(18,4)", "datetime2(7)", "xml", "varbinary(max)"
// for a CLR type (its binary form); a character column whose collation is not
// DefaultCollation gets " COLLATE" and its collation (an empty
// DefaultCollation means none is known, and none is written). Empty for a
// type outside the catalogue.
QString GetDeclaredType(const TCustomColumn &Column, const QString &DefaultCollation = QString());
// The value of the table variable's column Reference as the target takes
// it: Reference itself, or CAST(Reference AS hierarchyid) for a CLR type.
QString TargetValue(const TCustomColumn &Column, const QString &Reference);
// The text form the rows are read in for a column of this type, as a
// select-list item named Field: the field itself, or CAST(Field AS ...)
// for the types read through their text or binary form (date and time
// types as nvarchar, xml as nvarchar(max), CLR types as varbinary(max)).
QString ReadExpression(const TCustomColumn &Column, const QString &Field);
// Name + Suffix (bracketed when needed), a blank and the declared type.
QString GetColumnDeclaration(const TCustomColumn &Column, const QString &Suffix,
                             const QString &DefaultCollation = QString());

// "NULL" for a NULL field, else the column's literal for the field's text.
// A sql_variant value goes inside CAST(... AS its base type) when the row set
// knows the base type (TRowSet::VariantBase).
QString GetFieldLiteral(const TRowSet &RowSet, int Index, const TCustomColumn &Column,
                        const QString &DefaultCollation = QString());
void AppendFieldLiteral(QString &Out, const TRowSet &RowSet, int Index, const TCustomColumn &Column,
                        const QString &DefaultCollation = QString());
// The same in UTF-8; Scratch is a buffer the caller reuses for the field's
// text (TRowSet::AppendUtf8).
void AppendFieldLiteral(QByteArray &Out, const TRowSet &RowSet, int Index, const TCustomColumn &Column,
                        const QString &DefaultCollation, QByteArray &Scratch);

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
    // The default collation of the table's database, read with its columns;
    // empty when the server did not say (no column is then declared with one).
    QString DataBaseCollation;
};

// A table detached from the lists it came from: its own copy of the columns
// (with their flags) and of its database. Work that may outlive those lists
// (a generation left to finish on its own) reads a snapshot.
class TTableSnapshot
{
public:
    explicit TTableSnapshot(const TTable &Source);

    [[nodiscard]] TTable &Table() const { return *m_table; }

private:
    std::unique_ptr<TDataBase> m_dataBase;
    std::unique_ptr<TTable> m_table;
};

class TSQLServer
{
public:
    explicit TSQLServer(const QString &Name) : Name(Name) {}

    QString Name;
    QString Comment;
};

class TScriptSpool;

// One script document; Lines items may hold CR LF themselves.
class TScript
{
public:
    TScript() = default;

    QString Name = QStringLiteral("(Без имени)");
    QStringList Lines;
    QString FileName;
    // A generated script too long to keep in memory: its text is in the
    // spool's file and Lines is empty (ScriptSpool.h).
    std::shared_ptr<TScriptSpool> Spool;
};

// Rows per batch of a data script: 0 keeps the rows in one batch (a table
// variable); a positive count fills a temporary table in GO-separated
// batches of at most that many rows; BatchRowsAutomatic batches only a
// script too long to go to the server as one batch.
constexpr qint64 BatchRowsAutomatic = -1;
// The rows per batch of an automatically batched script.
constexpr qint64 DefaultBatchRows = 10000;

class IParseSettings
{
public:
    virtual ~IParseSettings() = default;
    // The user's own condition on the rows carried (Transact-SQL, sent as
    // written); empty for every row. With it the delete flag deletes only
    // the target's rows that meet the same condition.
    [[nodiscard]] virtual QString GetRowFilter() const { return QString(); }
    // The UPDATE changes only rows where some carried column differs.
    [[nodiscard]] virtual bool GetOnlyChanged() const { return false; }
    [[nodiscard]] virtual bool GetDeleteTable() const = 0;
    virtual void SetDeleteTable(bool Value) = 0;
    [[nodiscard]] virtual qint64 GetBatchRows() const { return BatchRowsAutomatic; }
};

// Held through std::shared_ptr<IParseSettings>.
class TParseSettings : public IParseSettings
{
public:
    [[nodiscard]] QString GetRowFilter() const override { return RowFilter; }
    void SetRowFilter(const QString &Value) { RowFilter = Value; }
    [[nodiscard]] bool GetOnlyChanged() const override { return OnlyChanged; }
    void SetOnlyChanged(bool Value) { OnlyChanged = Value; }
    [[nodiscard]] bool GetDeleteTable() const override { return DeleteTable; }
    void SetDeleteTable(bool Value) override { DeleteTable = Value; }
    [[nodiscard]] qint64 GetBatchRows() const override { return BatchRows; }
    void SetBatchRows(qint64 Value) { BatchRows = Value; }

    QString RowFilter;
    bool OnlyChanged = false;
    bool DeleteTable = false;
    qint64 BatchRows = BatchRowsAutomatic;
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
