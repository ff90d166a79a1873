#include "ResultView.h"

#include "ColorRichEdit.h"

#include <QColor>
#include <QFont>
#include <QHeaderView>
#include <QSplitter>
#include <QTableView>

#include <memory>

void TResultGridModel::SetGrid(TResultGrid Grid)
{
    beginResetModel();
    m_grid = std::move(Grid);
    endResetModel();
}

void TResultGridModel::Clear()
{
    SetGrid({});
}

int TResultGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_grid.Rows.size());
}

int TResultGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_grid.Columns.size());
}

QVariant TResultGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_grid.Rows.size())
        return {};
    const QStringList &row = m_grid.Rows.at(index.row());
    const bool isNull = index.row() < m_grid.Nulls.size() && index.column() < m_grid.Nulls.at(index.row()).size()
                        && m_grid.Nulls.at(index.row()).at(index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (isNull)
            return QStringLiteral("NULL");
        return index.column() < row.size() ? row.at(index.column()) : QString();
    case Qt::ForegroundRole:
        return isNull ? QVariant(QColor(128, 128, 128)) : QVariant();
    case Qt::FontRole:
        if (isNull) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        return {};
    default:
        return {};
    }
}

QVariant TResultGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section < m_grid.Columns.size() ? m_grid.Columns.at(section) : QVariant();
    return section + 1;
}

void TScriptResultView::Clear()
{
    if (Log)
        Log->clear();
}

void TScriptResultView::ShowLog()
{
    if (!Grid || !Log)
        return;
    Grid->hide();
    Log->show();
}

void TScriptResultView::AddMessage(const QString &Text, TRgbColor Color)
{
    if (!Grid || !Log)
        return;
    Log->AddLine(Text, QColor::fromRgb(Color));
    ShowLog();
}

void TScriptResultView::ShowRows(const TResultGrid &Rows)
{
    if (!Grid || !Log)
        return;
    if (auto *model = qobject_cast<TResultGridModel *>(Grid->model()))
        model->SetGrid(Rows);
    Grid->show();
    Grid->resizeColumnsToContents();
    for (int column = 0; column < Grid->horizontalHeader()->count(); ++column)
        Grid->setColumnWidth(column, std::min(Grid->columnWidth(column), 400));
    // Rows above, the log below: give the rows most of the panel.
    if (auto *splitter = qobject_cast<QSplitter *>(Grid->parentWidget())) {
        const int total = splitter->height();
        splitter->setSizes({total * 2 / 3, total - total * 2 / 3});
    }
}

void TScriptResultView::ClearRows()
{
    if (Grid)
        if (auto *model = qobject_cast<TResultGridModel *>(Grid->model()))
            model->Clear();
}

namespace {
std::unique_ptr<TScriptResultView> theResultView;
}

TScriptResultView &ScriptResultView()
{
    if (!theResultView)
        theResultView = std::make_unique<TScriptResultView>();
    return *theResultView;
}

void FreeScriptResultView()
{
    theResultView.reset();
}
