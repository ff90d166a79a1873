#include "WherePutScriptDialogForm.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

Q_DECLARE_METATYPE(TWherePutScripts)
Q_DECLARE_METATYPE(TWherePutScript)

class TestPlacementDialog : public QObject
{
    Q_OBJECT
private slots:
    void looks();
    void answers_data();
    void answers();
};

void TestPlacementDialog::looks()
{
    TWherePutScriptDialogForm dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Скрипт успешно создан."));
    QCOMPARE(dialog.Choice(), wpsInNew);
    QCOMPARE(dialog.findChild<QPushButton *>("InNewButton")->text(), QStringLiteral("Открыть в новой закладке"));
    QCOMPARE(dialog.findChild<QPushButton *>("InCurrentButton")->text(), QStringLiteral("Добавить в текущий скрипт"));
    QCOMPARE(dialog.findChild<QPushButton *>("ThrowIntoShredderButton")->text(),
             QStringLiteral("Отправить в измельчитель"));
    QCOMPARE(dialog.findChild<QPushButton *>("ToFileButton")->text(), QStringLiteral("Сохранить в файл…"));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
}

void TestPlacementDialog::answers_data()
{
    QTest::addColumn<TWherePutScripts>("offered");
    QTest::addColumn<QString>("press"); // a button's name, or "Esc"
    QTest::addColumn<QString>("disabled");
    QTest::addColumn<TWherePutScript>("expected");

    const TWherePutScripts all{wpsInNew, wpsInCurrent, wpsThrowIntoShredder, wpsToFile};
    const TWherePutScripts noCurrent{wpsInNew, wpsThrowIntoShredder, wpsToFile};
    const TWherePutScripts noFile{wpsInNew, wpsInCurrent, wpsThrowIntoShredder};
    QTest::newRow("new tab") << all << "InNewButton" << "" << wpsInNew;
    QTest::newRow("current script") << all << "InCurrentButton" << "" << wpsInCurrent;
    QTest::newRow("shredder") << all << "ThrowIntoShredderButton" << "" << wpsThrowIntoShredder;
    QTest::newRow("file") << all << "ToFileButton" << "" << wpsToFile;
    QTest::newRow("no script open: file") << noCurrent << "ToFileButton" << "InCurrentButton" << wpsToFile;
    QTest::newRow("file not offered") << noFile << "ToFileButton,Esc" << "ToFileButton" << wpsInNew;
    QTest::newRow("Enter on the file button") << all << "Enter@ToFileButton" << "" << wpsToFile;
    QTest::newRow("no script open: new tab") << noCurrent << "InNewButton" << "InCurrentButton" << wpsInNew;
    QTest::newRow("no script open: shredder")
        << noCurrent << "ThrowIntoShredderButton" << "InCurrentButton" << wpsThrowIntoShredder;
    QTest::newRow("no script open: disabled middle does nothing, Esc keeps new tab")
        << noCurrent << "InCurrentButton,Esc" << "InCurrentButton" << wpsInNew;
    QTest::newRow("Esc keeps the default") << all << "Esc" << "" << wpsInNew;
    QTest::newRow("Enter presses the focused button")
        << all << "Enter@ThrowIntoShredderButton" << "" << wpsThrowIntoShredder;
    QTest::newRow("Enter on the first button in the tab order")
        << all << "Enter@InCurrentButton" << "" << wpsInCurrent;
}

void TestPlacementDialog::answers()
{
    QFETCH(TWherePutScripts, offered);
    QFETCH(QString, press);
    QFETCH(QString, disabled);
    QFETCH(TWherePutScript, expected);

    TWherePutScriptDialogForm dialog;
    QStringList disabledSeen;
    bool stillOpenAfterDisabled = true;
    QTimer::singleShot(0, &dialog, [&] {
        for (auto *button : dialog.findChildren<QPushButton *>())
            if (!button->isEnabled())
                disabledSeen << button->objectName();
        for (const QString &step : press.split(',')) {
            if (step == "Esc") {
                QTest::keyClick(&dialog, Qt::Key_Escape);
            } else if (step.startsWith("Enter@")) {
                auto *button = dialog.findChild<QPushButton *>(step.mid(6));
                dialog.activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(&dialog));
                button->setFocus();
                QTest::keyClick(button, Qt::Key_Return);
                if (dialog.isVisible())
                    dialog.reject(); // Enter did nothing: fail, do not hang
            } else {
                auto *button = dialog.findChild<QPushButton *>(step);
                QTest::mouseClick(button, Qt::LeftButton);
                if (!button->isEnabled())
                    stillOpenAfterDisabled = dialog.isVisible();
            }
        }
    });
    QCOMPARE(dialog.Execute(offered), expected);
    QCOMPARE(disabledSeen.join(','), disabled);
    QVERIFY(stillOpenAfterDisabled);
    QVERIFY(!dialog.isVisible());
}

QTEST_MAIN(TestPlacementDialog)
#include "tst_placementdialog.moc"
