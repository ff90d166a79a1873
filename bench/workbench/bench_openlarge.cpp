// Opens a large script file (100 MB by default) in a tab of the main window,
// through the script routines, as the Open command does. Prints the time
// and the process's peak resident memory before and after.
//   bench_openlarge [megabytes]   (QT_QPA_PLATFORM=offscreen works)
#include "MainForm.h"
#include "ResultView.h"
#include "ScriptManager.h"
#include "ScriptMemo.h"
#include "ScriptRoutinesController.h"
#include "View.h"
#include "WorkbenchUi.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <memory>

namespace {

long PeakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QString WriteScript(const QString &Path, qint64 Bytes)
{
    QFile file(Path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(Path));
    const QByteArray line =
        "INSERT INTO @Goods (Id, Title, Price, Created) VALUES (12345, 'Чайник электрический', 1499.90, '20240101 10:00:00')\r\n";
    QByteArray block;
    while (block.size() < 1 << 20)
        block += line;
    qint64 written = 0;
    while (written < Bytes)
        written += file.write(block);
    return Path;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 100;
    QTemporaryDir dir;
    qputenv("APPDATA", dir.path().toLocal8Bit());
    const QString path = WriteScript(dir.filePath(QStringLiteral("large.sql")), megabytes << 20);
    const qint64 size = QFile(path).size();

    auto form = std::make_unique<TMainForm>();
    TMainFormUi ui(form.get());
    SetWorkbenchUi(&ui);
    ui.BindResultView();
    ui.HideEditor();
    ui.OpenFileNameHook = [path](const QString &) { return path; };
    form->show();
    QApplication::processEvents();

    const long rssBefore = PeakRssKb();
    QElapsedTimer timer;
    timer.start();
    form->OpenAction->trigger();
    const qint64 openMs = timer.elapsed();
    QApplication::processEvents(); // first paint of the editor
    const qint64 paintedMs = timer.elapsed();
    const long rssAfter = PeakRssKb();

    // One keystroke at the end: the edit is copied into the script.
    timer.restart();
    form->ScriptMemo->setCursorPosition(form->ScriptMemo->lines() - 1, 0);
    form->ScriptMemo->insert(QStringLiteral("-- x"));
    const qint64 keystrokeMs = timer.elapsed();

    std::printf("file: %.1f MB, %d lines\n", size / 1048576.0, form->ScriptMemo->lines());
    std::printf("open in a tab: %lld ms (shown after first paint: %lld ms)\n", static_cast<long long>(openMs),
                static_cast<long long>(paintedMs));
    std::printf("one edit copied into the script: %lld ms\n", static_cast<long long>(keystrokeMs));
    std::printf("peak RSS: %.0f MB before, %.0f MB after (%.0f MB for the open)\n", rssBefore / 1024.0,
                rssAfter / 1024.0, (rssAfter - rssBefore) / 1024.0);

    FreeScriptRoutinesController();
    FreeViews();
    DestroyScriptManager();
    SetWorkbenchUi(nullptr);
    return 0;
}
