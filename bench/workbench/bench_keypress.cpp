// Typing in a large script: opens a script of 300,000 lines (the size of a
// generated 100,000-row data script and more) as the Open command does, then
// presses 100 keys in the middle of it (every tenth an Enter, which adds a
// line) and prints the time to open and the median and maximum time per key
// press, each measured from the key event to the end of the event processing
// it caused (the repaint included).
//   bench_keypress [lines]   (QT_QPA_PLATFORM=offscreen works)
#include "MainForm.h"
#include "ScriptManager.h"
#include "ScriptMemo.h"
#include "ScriptRoutinesController.h"
#include "View.h"
#include "WorkbenchUi.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

QString WriteScript(const QString &Path, int Lines)
{
    QFile file(Path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(Path));
    QByteArray text;
    for (int i = 0; i < Lines; ++i)
        text += QStringLiteral("INSERT INTO @Sales (Id, Customer, Amount, Sold) VALUES (%1, N'Покупатель %1', %2.50, "
                               "'20240101 10:00:00')\r\n")
                    .arg(i)
                    .arg(i % 1000)
                    .toUtf8();
    file.write(text);
    return Path;
}

double Milliseconds(qint64 Nanoseconds)
{
    return Nanoseconds / 1e6;
}

void Press(QWidget *Target, int Key, const QString &Text)
{
    QKeyEvent press(QEvent::KeyPress, Key, Qt::NoModifier, Text);
    QApplication::sendEvent(Target, &press);
    QKeyEvent release(QEvent::KeyRelease, Key, Qt::NoModifier, Text);
    QApplication::sendEvent(Target, &release);
    QApplication::processEvents();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int lineCount = argc > 1 ? QByteArray(argv[1]).toInt() : 300000;
    QTemporaryDir dir;
    qputenv("APPDATA", dir.path().toLocal8Bit());
    const QString path = WriteScript(dir.filePath(QStringLiteral("large.sql")), lineCount);

    auto form = std::make_unique<TMainForm>();
    TMainFormUi ui(form.get());
    SetWorkbenchUi(&ui);
    ui.BindResultView();
    ui.HideEditor();
    ui.OpenFileNameHook = [path](const QString &) { return path; };
    form->resize(1200, 900);
    form->show();
    QApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    form->OpenAction->trigger();
    QApplication::processEvents(); // the first paint
    const qint64 openNs = timer.nsecsElapsed();

    TScriptMemo *memo = form->ScriptMemo;
    memo->setFocus();
    memo->setCursorPosition(lineCount / 2, 20);
    memo->ensureCursorVisible();
    QApplication::processEvents();

    std::vector<qint64> presses;
    for (int i = 0; i < 100; ++i) {
        timer.restart();
        if (i % 10 == 9)
            Press(memo, Qt::Key_Return, QStringLiteral("\r"));
        else
            Press(memo, Qt::Key_X, QStringLiteral("x"));
        presses.push_back(timer.nsecsElapsed());
    }
    std::vector<qint64> sorted = presses;
    std::sort(sorted.begin(), sorted.end());
    const double median = (Milliseconds(sorted[49]) + Milliseconds(sorted[50])) / 2;

    const TScript *script = ScriptManager()->Current();
    const bool inStep = script && script->Lines == TextLines(memo->text());
    std::printf("script: %d lines, %.1f MB\n", lineCount, QFile(path).size() / 1048576.0);
    std::printf("open in a tab, first paint included: %.0f ms\n", Milliseconds(openNs));
    std::printf("key press (100, every tenth Enter): median %.2f ms, max %.2f ms\n", median,
                Milliseconds(sorted.back()));
    std::printf("script in step with the editor afterwards: %s\n", inStep ? "yes" : "NO");

    FreeScriptRoutinesController();
    FreeViews();
    DestroyScriptManager();
    SetWorkbenchUi(nullptr);
    return inStep ? 0 : 1;
}
