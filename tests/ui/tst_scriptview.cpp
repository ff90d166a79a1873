// The script view keeps the current script's lines in step with the editor
// edit by edit, from the few lines around each edit: the cases where line
// breaks meet (CR + LF), edits at the ends, undo, and a long random run.
#include "WorkbenchFixture.h"

#include "Domain.h"
#include "MainForm.h"
#include "ScriptManager.h"
#include "ScriptMemo.h"
#include "ScriptRoutinesController.h"
#include "StartUpController.h"
#include "View.h"
#include "WorkbenchPorts.h"
#include "WorkbenchUi.h"

#include <QRandomGenerator>
#include <QtTest>

class TestScriptView : public QObject
{
    Q_OBJECT

    std::unique_ptr<WorkbenchFixture> m_fixture;

    TScriptMemo *Memo() { return m_fixture->Form().ScriptMemo; }

    // The script's lines as the editor's text gives them.
    static QStringList Expected(TScriptMemo *Memo) { return TextLines(Memo->text()); }

    // Replaces the bytes [Start, Start + Length) of the editor's text with
    // Text, typed-like (QuickEdit) or as a program does it.
    void Replace(int Start, int Length, const QString &Text, bool Quick)
    {
        auto edit = [&] {
            Memo()->SendScintilla(QsciScintillaBase::SCI_SETSEL, Start, Start + Length);
            Memo()->replaceSelectedText(Text);
        };
        if (Quick)
            Memo()->QuickEdit(edit);
        else
            edit();
    }

private slots:
    void init()
    {
        m_fixture = std::make_unique<WorkbenchFixture>();
        m_fixture->Form().OnFirstShow = [] {
            TStartUpController startUp;
            startUp.SetUpSettingsLocation();
            RequireWorkbenchUi().BindResultView();
            RequireWorkbenchUi().HideEditor();
            (void)ScriptRoutinesController();
            return true;
        };
        m_fixture->Form().show();
        m_fixture->Ui().SaveChangesHook = [](const QString &) { return TSaveChangesAnswer::Discard; };
    }

    void cleanup() { m_fixture.reset(); }

    void oneEdit_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("a letter") << "SELECT 1\r\nSELECT 2\r\n" << 8 << 0 << "0" << QStringList{"SELECT 10", "SELECT 2"};
        QTest::newRow("a line break") << "ab\r\ncd" << 1 << 0 << "\r\n" << QStringList{"a", "b", "cd"};
        QTest::newRow("LF after a lone CR joins it") << "a\rb" << 2 << 0 << "\n" << QStringList{"a", "b"};
        QTest::newRow("CR before a lone LF joins it") << "a\nb" << 1 << 0 << "\r" << QStringList{"a", "b"};
        QTest::newRow("text between CR and LF") << "a\r\nb" << 2 << 0 << "x" << QStringList{"a", "x", "b"};
        QTest::newRow("deleting between CR and LF") << "a\rx\nb" << 2 << 1 << "" << QStringList{"a", "b"};
        QTest::newRow("deleting a line break") << "one\r\ntwo\r\nthree" << 3 << 2 << "" << QStringList{"onetwo", "three"};
        QTest::newRow("deleting across lines") << "one\r\ntwo\r\nthree\r\n" << 1 << 9 << "-" << QStringList{"o-three"};
        QTest::newRow("the final line break") << "x\r\n" << 1 << 2 << "" << QStringList{"x"};
        QTest::newRow("a final line break") << "x" << 1 << 0 << "\r\n" << QStringList{"x"};
        QTest::newRow("an empty last line kept") << "x\r\n" << 3 << 0 << "\r\n" << QStringList{"x", ""};
        QTest::newRow("many lines at the start") << "end" << 0 << 0 << "a\rb\nc\r\n" << QStringList{"a", "b", "c", "end"};
        QTest::newRow("everything") << "a\r\nb\r\n" << 0 << 6 << "" << QStringList{};
        QTest::newRow("Cyrillic") << "Жук\r\nёж" << 1 << 0 << "ЩЩ\r\n" << QStringList{"ЖЩЩ", "ук", "ёж"};
    }

    void oneEdit()
    {
        QFETCH(QString, before);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(QString, text);
        QFETCH(QStringList, after);
        for (const bool quick : {true, false}) {
            // The editor's own text, line breaks as given.
            ScriptManager()->AddScriptFromText(QString());
            Memo()->setText(before);
            QCOMPARE(ScriptManager()->Current()->Lines, Expected(Memo()));
            // Positions count bytes; the Cyrillic row counts its two-byte letters.
            const int byteStart = before.left(start).toUtf8().size();
            const int byteLength = before.mid(start, length).toUtf8().size();
            Replace(byteStart, byteLength, text, quick);
            QCOMPARE(Expected(Memo()), after);
            QCOMPARE(ScriptManager()->Current()->Lines, after);
        }
    }

    // Keys typed into the editor: letters, Enter, Backspace, Delete, and
    // undo through the window's command.
    void typing()
    {
        m_fixture->Form().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&m_fixture->Form()));
        ScriptManager()->AddScriptFromText(QStringLiteral("SELECT 1\r\nFROM t\r\n"));
        Memo()->setFocus();
        QTRY_VERIFY(Memo()->hasFocus());
        Memo()->setCursorPosition(0, 6);
        QTest::keyClicks(Memo(), QStringLiteral(" TOP"));
        QTest::keyClick(Memo(), Qt::Key_Return);
        QTest::keyClick(Memo(), Qt::Key_Backspace);
        QTest::keyClick(Memo(), Qt::Key_Return);
        QTest::keyClick(Memo(), Qt::Key_Delete);
        QCOMPARE(ScriptManager()->Current()->Lines, Expected(Memo()));
        QCOMPARE(ScriptManager()->Current()->Lines, QStringList({"SELECT TOP", "1", "FROM t"}));
        m_fixture->Form().EditUndo->trigger();
        QCOMPARE(ScriptManager()->Current()->Lines, Expected(Memo()));
        QCOMPARE(ScriptManager()->Current()->Lines, QStringList({"SELECT TOP", " 1", "FROM t"}));
    }

    // Many random edits, typed-like and programmatic, with undo and redo:
    // after each one the script equals the editor's text.
    void randomEditsStayInStep()
    {
        ScriptManager()->AddScriptFromText(QStringLiteral("SELECT 1\r\nGO\r\nPRINT 'ж'\r\n"));
        QRandomGenerator random(20240607);
        const QStringList pieces{"x", "Ж", "\r\n", "\n", "\r", "a\r\nb", "\r\n\r\n", "GO\r\n", "'\r", "\nz", ""};
        for (int step = 0; step < 600; ++step) {
            const int length = int(Memo()->SendScintilla(QsciScintillaBase::SCI_GETLENGTH));
            const int choice = random.bounded(10);
            if (choice == 0) {
                Memo()->QuickEdit([this] { Memo()->undo(); });
            } else if (choice == 1) {
                Memo()->redo();
            } else {
                int start = random.bounded(length + 1);
                int end = qMin(length, start + random.bounded(6));
                // Whole characters only: positions inside a two-byte letter
                // are moved out of it by the editor itself.
                start = int(Memo()->SendScintilla(QsciScintillaBase::SCI_POSITIONBEFORE,
                                                  Memo()->SendScintilla(QsciScintillaBase::SCI_POSITIONAFTER, start)));
                end = qMax(start, end);
                Replace(start, end - start, pieces.at(random.bounded(int(pieces.size()))), choice % 2 == 0);
            }
            const QStringList expected = Expected(Memo());
            if (ScriptManager()->Current()->Lines != expected)
                QFAIL(qPrintable(QStringLiteral("step %1: %2").arg(step).arg(QString(Memo()->text()).toHtmlEscaped())));
        }
    }

    // Find and replace edits the text many times over; the script follows.
    void replacingFollowsEveryReplacement()
    {
        ScriptManager()->AddScriptFromText(QStringLiteral("a\r\nba\r\nc"));
        TSearchOptions options;
        options.Text = QStringLiteral("a");
        QCOMPARE(Memo()->ReplaceAll(options, QStringLiteral("x\r\ny")), 2);
        QCOMPARE(ScriptManager()->Current()->Lines, QStringList({"x", "y", "bx", "y", "c"}));
        Memo()->setCursorPosition(0, 0);
        options.Text = QStringLiteral("y");
        QVERIFY(Memo()->FindNext(options));
        QVERIFY(Memo()->ReplaceNext(options, QString()));
        QCOMPARE(ScriptManager()->Current()->Lines, QStringList({"x", "", "bx", "y", "c"}));
        QCOMPARE(ScriptManager()->Current()->Lines, Expected(Memo()));
    }

    // Switching scripts replaces the editor's text; the script that was
    // shown keeps its own lines, the new one is not touched.
    void switchingScriptsTouchesNoLines()
    {
        ScriptManager()->AddScriptFromText(QStringLiteral("first\r\nscript"));
        Replace(0, 0, QStringLiteral("-- "), true);
        ScriptManager()->AddScriptFromText(QStringLiteral("second"));
        QCOMPARE(ScriptManager()->Items(0)->Lines, QStringList({"-- first", "script"}));
        QCOMPARE(ScriptManager()->Items(1)->Lines, QStringList{"second"});
        ScriptManager()->SetItemIndex(0);
        QCOMPARE(ScriptManager()->Items(0)->Lines, QStringList({"-- first", "script"}));
        QCOMPARE(Memo()->text(), QStringLiteral("-- first\r\nscript\r\n"));
    }
};

QTEST_MAIN(TestScriptView)
#include "tst_scriptview.moc"
