#pragma once

// The table script wizard with a fake controller, driven through its
// widgets: Shop-like tables, Goods with a key and Notes without one.

#include "FakeWizzardController.h"
#include "OneTableCreationWizard.h"

#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>

namespace {

// Shop-like tables: Goods with a key, Notes without one.
std::unique_ptr<TTableList> makeTables()
{
    auto tables = std::make_unique<TTableList>();
    tables->Add(std::make_unique<TTable>(QStringLiteral("Goods"), soUserTable, 101));
    tables->Add(std::make_unique<TTable>(QStringLiteral("Notes"), soUserTable, 102));
    return tables;
}

QList<FakeWizzardController::ColumnSpec> goodsColumns()
{
    return {{"Id", 56, true, true}, {"Title", 167}, {"Price", 60}, {"Created", 61}};
}

QStringList texts(const QListWidget *list)
{
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result << list->item(i)->text();
    return result;
}

QStringList checkedTexts(const QListWidget *list)
{
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked)
            result << list->item(i)->text();
    return result;
}

struct Wizard
{
    std::unique_ptr<TTableList> tables = makeTables();
    std::shared_ptr<FakeWizzardController> controller = std::make_shared<FakeWizzardController>();
    TOneTableScriptCreationDialog dialog;
    TOneStepCreatinWizard *form = dialog.Form();

    Wizard()
    {
        controller->Columns = goodsColumns();
        dialog.SetTables(tables.get());
        dialog.SetWizzardController(controller);
        form->show();
    }
    template <typename T> T *get(const char *name) const
    {
        T *child = form->findChild<T *>(QString::fromLatin1(name));
        if (!child)
            qFatal("no child %s", name);
        return child;
    }
    QPushButton *next() const { return get<QPushButton>("NextButton"); }
    QPushButton *previous() const { return get<QPushButton>("PreviosButton"); }
    QPushButton *cancel() const { return get<QPushButton>("CancelButton"); }
    QString page() const { return get<QStackedWidget>("PageControl")->currentWidget()->objectName(); }
    void selectTable(int index) const
    {
        auto *tree = get<QTreeWidget>("TablesTreeView");
        tree->setCurrentItem(tree->topLevelItem(index));
    }
    void press(const char *tool) const { get<QToolButton>(tool)->click(); }
    void selectIn(const char *list, const QStringList &names) const
    {
        auto *box = get<QListWidget>(list);
        box->clearSelection();
        for (int i = 0; i < box->count(); ++i)
            if (names.contains(box->item(i)->text()))
                box->item(i)->setSelected(true);
    }
    // Greeting -> table (selected) -> columns.
    void toColumns(int table = 0) const
    {
        next()->click();
        selectTable(table);
        next()->click();
    }
};

} // namespace
