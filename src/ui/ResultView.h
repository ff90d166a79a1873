#pragma once

#include "WorkbenchPorts.h"

#include <QAbstractTableModel>

class QTableView;
class TColorRichEdit;

// The rows of the last result set, behind ResultDBGrid. NULLs read "NULL".
class TResultGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetGrid(TResultGrid Grid);
    void Clear();
    [[nodiscard]] bool IsEmpty() const { return m_grid.Columns.isEmpty(); }

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    TResultGrid m_grid;
};

// The result panel's presentation: the message log, and the grid that is
// hidden whenever a message is added.
class TScriptResultView : public IScriptResultView
{
public:
    TColorRichEdit *Log = nullptr;
    QTableView *Grid = nullptr;

    void Clear() override;
    void ShowLog();
    void AddMessage(const QString &Text, TRgbColor Color) override;
    void ShowRows(const TResultGrid &Rows) override;
    void ClearRows() override;
};

TScriptResultView &ScriptResultView();
void FreeScriptResultView();
