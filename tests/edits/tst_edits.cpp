#include "ConstraintedEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QImage>
#include <QLabel>
#include <QTest>

namespace {

int pixelsOf(QWidget &widget, const QColor &color)
{
    const QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (QColor(image.pixel(x, y)) == color)
                ++count;
    return count;
}

void sendFocus(QWidget &widget, QEvent::Type type)
{
    QFocusEvent event(type, Qt::OtherFocusReason);
    QApplication::sendEvent(&widget, &event);
}

QColor textColor(const QWidget &w) { return w.palette().color(QPalette::Text); }
QColor labelColor(const QLabel &l) { return l.palette().color(QPalette::WindowText); }

} // namespace

class TestEdits : public QObject
{
    Q_OBJECT
private slots:
    void hintPainting_data();
    void hintPainting();
    void labelMessages_data();
    void labelMessages();
    void beforeShowSeesEveryMessage();
    void checkMoments_data();
    void checkMoments();
    void removedLabelIsForgotten();
};

void TestEdits::hintPainting_data()
{
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<bool>("clearOnEnter");
    QTest::addColumn<QString>("steps"); // t: type "ab", d: delete all, i: enter, o: leave
    QTest::addColumn<bool>("shown");

    const QColor silver(192, 192, 192);
    const QColor blue(0, 0, 255);
    QTest::newRow("empty edit shows silver hint") << "Имя таблицы" << QColor() << false << "" << true;
    QTest::newRow("own colour") << "Имя таблицы" << blue << false << "" << true;
    QTest::newRow("typing removes it") << "Имя таблицы" << silver << false << "t" << false;
    QTest::newRow("deleting the last character brings it back") << "Имя таблицы" << silver << false << "td" << true;
    QTest::newRow("empty hint never paints") << "" << blue << false << "" << false;
    QTest::newRow("focused, kept on enter") << "Имя таблицы" << silver << false << "i" << true;
    QTest::newRow("focused, cleared on enter") << "Имя таблицы" << silver << true << "i" << false;
    QTest::newRow("back after leaving") << "Имя таблицы" << silver << true << "io" << true;
    QTest::newRow("focused and typed") << "Имя таблицы" << silver << false << "it" << false;
}

void TestEdits::hintPainting()
{
    QFETCH(QString, hint);
    QFETCH(QColor, color);
    QFETCH(bool, clearOnEnter);
    QFETCH(QString, steps);
    QFETCH(bool, shown);

    TInsideHintEdit edit;
    QFont font = edit.font();
    font.setPixelSize(22);
    font.setBold(true);
    edit.setFont(font);
    edit.resize(260, 36);
    QCOMPARE(edit.InsideHintColor(), QColor(192, 192, 192));
    if (color.isValid())
        edit.SetInsideHintColor(color);
    edit.SetIsClearOnEnter(clearOnEnter);
    edit.SetInsideHint(hint);
    for (const QChar step : steps) {
        if (step == 't')
            QTest::keyClicks(&edit, QStringLiteral("ab"));
        else if (step == 'd')
            while (!edit.text().isEmpty())
                QTest::keyClick(&edit, Qt::Key_Backspace);
        else if (step == 'i')
            sendFocus(edit, QEvent::FocusIn);
        else if (step == 'o')
            sendFocus(edit, QEvent::FocusOut);
    }
    QCOMPARE(edit.IsInsideHintShown(), shown);
    const QColor painted = color.isValid() ? color : QColor(192, 192, 192);
    const int pixels = pixelsOf(edit, painted);
    if (shown)
        QVERIFY2(pixels > 20, qPrintable(QString::number(pixels)));
    else
        QCOMPARE(pixels, 0);
}

void TestEdits::labelMessages_data()
{
    QTest::addColumn<bool>("withCheck");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<bool>("colorSelf");
    QTest::addColumn<QString>("exceptionMessage");

    QTest::newRow("no check: text passes, label empty and black")
        << false << true << "" << QColor(Qt::black) << false << "";
    QTest::newRow("failing check shows red message")
        << true << false << "Слишком коротко" << QColor(Qt::red) << false << "";
    QTest::newRow("failing check, edit follows colour")
        << true << false << "Слишком коротко" << QColor(Qt::red) << true << "";
    QTest::newRow("failing check, own exception message")
        << true << false << "Нельзя" << QColor(Qt::red) << false << "Имя не годится.";
    QTest::newRow("passing check with a green note")
        << true << true << "Годится" << QColor(Qt::darkGreen) << true << "";
}

void TestEdits::labelMessages()
{
    QFETCH(bool, withCheck);
    QFETCH(bool, answer);
    QFETCH(QString, message);
    QFETCH(QColor, color);
    QFETCH(bool, colorSelf);
    QFETCH(QString, exceptionMessage);

    QLabel label(QStringLiteral("старое"));
    QPalette stale = label.palette();
    stale.setColor(QPalette::WindowText, Qt::magenta);
    label.setPalette(stale);
    TConstraintedEdit edit;
    edit.setText(QStringLiteral("Goods"));
    edit.SetNotifyLabel(&label);
    edit.SetIsColorSelfAsLabel(colorSelf);
    if (!exceptionMessage.isEmpty())
        edit.SetConstraintEditExceptionMessage(exceptionMessage);
    QString seenText;
    if (withCheck)
        edit.OnConstraintCheck = [&](TConstraintedEdit *, const QString &text, bool &a, QString &m, QColor &c) {
            seenText = text;
            QVERIFY(a);
            QVERIFY(m.isEmpty());
            QCOMPARE(c, QColor(Qt::black));
            a = answer;
            m = message;
            c = color;
        };

    if (answer) {
        QCOMPARE(edit.CheckedText(), QStringLiteral("Goods"));
    } else {
        try {
            (void)edit.CheckedText();
            QFAIL("no exception");
        } catch (const EConstraintEditException &e) {
            QCOMPARE(e.Message(), exceptionMessage.isEmpty()
                                      ? QStringLiteral("Не соблюдены ограничения, наложенные на поле ввода.")
                                      : exceptionMessage);
        }
    }
    if (withCheck)
        QCOMPARE(seenText, QStringLiteral("Goods"));
    QCOMPARE(label.text(), message);
    QCOMPARE(labelColor(label), color);
    if (colorSelf)
        QCOMPARE(textColor(edit), color);
    else
        QCOMPARE(textColor(edit), TConstraintedEdit().palette().color(QPalette::Text));
}

void TestEdits::beforeShowSeesEveryMessage()
{
    QLabel label;
    TConstraintedEdit edit;
    edit.SetNotifyLabel(&label);
    edit.SetIsColorSelfAsLabel(true);
    edit.OnConstraintCheck = [](TConstraintedEdit *, const QString &, bool &a, QString &m, QColor &c) {
        a = false;
        m = QStringLiteral("Пусто");
        c = Qt::red;
    };
    QStringList seen;
    edit.OnBeforeShowStringOnLabelEvent = [&](TExtLabeledEdit *sender, QString &s, QColor &c) {
        QCOMPARE(sender, &edit);
        seen << QStringLiteral("%1/%2").arg(s, c.name());
        if (!s.isEmpty()) {
            s = "«" + s + "»";
            c = Qt::blue;
        }
    };
    QVERIFY(!edit.CheckConstraint());
    QCOMPARE(seen, (QStringList{"/#000000", "Пусто/#ff0000"}));
    QCOMPARE(label.text(), QStringLiteral("«Пусто»"));
    QCOMPARE(labelColor(label), QColor(Qt::blue));
    QCOMPARE(textColor(edit), QColor(Qt::blue));
}

void TestEdits::checkMoments_data()
{
    QTest::addColumn<bool>("onChange");
    QTest::addColumn<bool>("onCreate");
    QTest::addColumn<QString>("steps"); // c: set IsCheckOnCreate, l: set label, t: type "ab"
    QTest::addColumn<int>("checks");

    QTest::newRow("typing without check on change") << false << false << "lt" << 0;
    QTest::newRow("each typed character checks") << true << false << "lt" << 2;
    QTest::newRow("setting check-on-create checks") << false << true << "c" << 1;
    QTest::newRow("label set after check-on-create checks again") << false << true << "cl" << 2;
    QTest::newRow("label alone does not check") << false << false << "l" << 0;
}

void TestEdits::checkMoments()
{
    QFETCH(bool, onChange);
    QFETCH(bool, onCreate);
    QFETCH(QString, steps);
    QFETCH(int, checks);

    QLabel label;
    TConstraintedEdit edit;
    int count = 0;
    QStringList order;
    edit.OnChange = [&](TInsideHintEdit *) { order << "change"; };
    edit.OnConstraintCheck = [&](TConstraintedEdit *, const QString &text, bool &, QString &m, QColor &) {
        ++count;
        order << "check";
        m = QStringLiteral("длина %1").arg(text.size());
    };
    edit.SetIsCheckOnChange(onChange);
    for (const QChar step : steps) {
        if (step == 'c')
            edit.SetIsCheckOnCreate(onCreate);
        else if (step == 'l')
            edit.SetNotifyLabel(&label);
        else if (step == 't')
            QTest::keyClicks(&edit, QStringLiteral("ab"));
    }
    QCOMPARE(count, checks);
    if (onChange && steps.contains('t')) {
        QCOMPARE(order, (QStringList{"change", "check", "change", "check"}));
        QCOMPARE(label.text(), QStringLiteral("длина 2"));
    }
}

void TestEdits::removedLabelIsForgotten()
{
    TConstraintedEdit edit;
    auto *label = new QLabel;
    edit.SetNotifyLabel(label);
    delete label;
    QVERIFY(!edit.NotifyLabel());
    edit.ShowStringOnLabel(QStringLiteral("никуда"), Qt::red);
    QCOMPARE(edit.CheckedText(), QString());
}

QTEST_MAIN(TestEdits)
#include "tst_edits.moc"
