#pragma once

// Driving the wizard command from a test: modal widgets answered from the
// event loop, widgets found by name, the pages walked with given choices.

#include "OneTableCreationWizard.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

// Bumped when a command ends: a poller still waiting for a modal widget that
// never came must not fire in a later command, with its captures gone.
inline int pollEpoch = 0;

// Runs Body once a modal widget of type T is up (polled from the event loop).
template <typename T> inline void whenModal(std::function<void(T *)> body, int triesLeft = 3000, int epoch = pollEpoch)
{
    QTimer::singleShot(5, qApp, [body = std::move(body), triesLeft, epoch]() mutable {
        if (epoch != pollEpoch)
            return;
        if (auto *widget = qobject_cast<T *>(QApplication::activeModalWidget())) {
            body(widget);
            return;
        }
        if (triesLeft > 0)
            whenModal<T>(std::move(body), triesLeft - 1, epoch);
    });
}

// Runs Action once Bar shows at least Percent; the polling timer belongs to
// Owner and goes with it.
inline void whenProgressAtLeast(QWidget *owner, QProgressBar *bar, int percent, std::function<void()> action)
{
    auto *timer = new QTimer(owner);
    timer->setInterval(1);
    QObject::connect(timer, &QTimer::timeout, owner, [timer, bar, percent, action = std::move(action)] {
        if (bar->value() < percent)
            return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start();
}

template <typename T> inline T *child(QWidget *form, const char *name)
{
    T *found = form->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

struct WizardChoices
{
    QString table = QStringLiteral("Goods");
    bool options = false;
    QString nickname;
    bool deleteTable = false;
    int batchMode = 0; // BatchModeComboBox: automatic, one batch, batches of batchRows
    int batchRows = 0;
};

inline WizardChoices onTable(const QString &table)
{
    WizardChoices choices;
    choices.table = table;
    return choices;
}

// Greeting -> table -> columns (all) -> keys (as offered) -> progress.
inline void driveToProgress(TOneStepCreatinWizard *w, const WizardChoices &choices)
{
    auto *next = child<QPushButton>(w, "NextButton");
    next->click();
    auto *tree = child<QTreeWidget>(w, "TablesTreeView");
    const QList<QTreeWidgetItem *> found = tree->findItems(choices.table, Qt::MatchExactly);
    QVERIFY(!found.isEmpty());
    tree->setCurrentItem(found.first());
    if (choices.options) {
        child<QCheckBox>(w, "AdditionalParamsCheckBox")->setChecked(true);
        child<QLineEdit>(w, "TableNicknameEdit")->setText(choices.nickname);
        child<QCheckBox>(w, "DeleteTableCheckBox")->setChecked(choices.deleteTable);
        child<QComboBox>(w, "BatchModeComboBox")->setCurrentIndex(choices.batchMode);
        if (choices.batchRows > 0)
            child<QSpinBox>(w, "BatchRowsSpinBox")->setValue(choices.batchRows);
    }
    next->click();
    next->click();
    next->click();
}

