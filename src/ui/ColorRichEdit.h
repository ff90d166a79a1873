#pragma once

#include <QColor>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTextEdit>

#include <functional>

class TColorRichEdit;

// Raised with the line text, which the handler may change.
using TLineAddEvent = std::function<void(TColorRichEdit *Sender, QString &Line)>;

// An append-only log: whole lines, each in its own colour, optionally
// prefixed with a running number, the date and the time. The finished line
// reads: number, NumberDelimiter, date, DateDelimiter, time, TimeDelimiter,
// Delimiter, text (parts switched off or empty are left out).
//
// clear() empties the log and restarts the numbering. GUI thread only.
class TColorRichEdit : public QTextEdit
{
    Q_OBJECT
public:
    explicit TColorRichEdit(QWidget *Parent = nullptr);

    [[nodiscard]] bool IsScrollToBottom() const { return FIsScrollToBottom; }
    void SetIsScrollToBottom(bool Value) { FIsScrollToBottom = Value; }
    [[nodiscard]] bool IsNumberLines() const { return FIsNumberLines; }
    void SetIsNumberLines(bool Value) { FIsNumberLines = Value; }
    [[nodiscard]] bool IsAddTime() const { return FIsAddTime; }
    void SetIsAddTime(bool Value) { FIsAddTime = Value; }
    [[nodiscard]] bool IsAddDate() const { return FIsAddDate; }
    void SetIsAddDate(bool Value) { FIsAddDate = Value; }

    [[nodiscard]] const QString &Delimiter() const { return FDelimiter; }
    void SetDelimiter(const QString &Value) { FDelimiter = Value; }
    [[nodiscard]] const QString &NumberDelimiter() const { return FNumberDelimiter; }
    void SetNumberDelimiter(const QString &Value) { FNumberDelimiter = Value; }
    [[nodiscard]] const QString &TimeDelimiter() const { return FTimeDelimiter; }
    void SetTimeDelimiter(const QString &Value) { FTimeDelimiter = Value; }
    [[nodiscard]] const QString &DateDelimiter() const { return FDateDelimiter; }
    void SetDateDelimiter(const QString &Value) { FDateDelimiter = Value; }

    // The locale whose short date and long time formats the prefixes use;
    // the user's own by default.
    [[nodiscard]] const QLocale &FormatLocale() const { return FFormatLocale; }
    void SetFormatLocale(const QLocale &Locale) { FFormatLocale = Locale; }

    // Number of lines in the box (0 when it is empty).
    [[nodiscard]] int LineCount() const;

    // Appends Line, with its prefixes, as a new last line in Color. Only
    // the new text takes the colour; a selection the user made stays.
    virtual void AddLine(QString Line, const QColor &Color);

    TLineAddEvent OnBeforeLineAdd;
    // Gets the finished line; changes made here have no effect.
    TLineAddEvent OnAfterLineAdd;

protected:
    virtual void PrependTime(QString &Line);
    virtual void PrependDate(QString &Line);
    virtual void PrependNumber(QString &Line);
    virtual void PrependDelimiter(QString &Line);

    // The clock, read once per prefix.
    [[nodiscard]] virtual QDateTime CurrentDateTime() const;

private:
    bool FIsScrollToBottom = true;
    bool FIsNumberLines = true;
    bool FIsAddTime = true;
    bool FIsAddDate = true;
    QString FDelimiter;
    QString FNumberDelimiter;
    QString FTimeDelimiter;
    QString FDateDelimiter;
    QLocale FFormatLocale = QLocale::system();
};

// The locale's long time format without its time-zone part ("HH:mm:ss").
[[nodiscard]] QString LongTimeFormat(const QLocale &Locale);
