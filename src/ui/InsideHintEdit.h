#pragma once

// A single-line edit that paints a hint inside itself while it is empty.
// GUI thread only.

#include <QColor>
#include <QLineEdit>
#include <QString>

#include <functional>

class QPainter;

class TInsideHintEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit TInsideHintEdit(QWidget *parent = nullptr);
    ~TInsideHintEdit() override;

    [[nodiscard]] QString InsideHint() const { return FInsideHint; }
    void SetInsideHint(const QString &value);
    [[nodiscard]] QColor InsideHintColor() const { return FInsideHintColor; }
    void SetInsideHintColor(const QColor &value);
    // True: the hint goes away while the edit has the focus.
    [[nodiscard]] bool IsClearOnEnter() const { return FIsClearOnEnter; }
    void SetIsClearOnEnter(bool value) { FIsClearOnEnter = value; }

    [[nodiscard]] bool HasFocus() const { return FHasFocus; }
    // Whether the next paint puts the hint into the edit.
    [[nodiscard]] bool IsInsideHintShown() const;

    // The edit's own change notification; runs before the hint and any check.
    std::function<void(TInsideHintEdit *sender)> OnChange;

    // Asks for the hint to be painted (Qt paints only inside paintEvent).
    virtual void DrawInsideHint();
    // Asks for the client area to be wiped to the control's colour.
    void ClearBackground();

protected:
    virtual void Change();
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    [[nodiscard]] QRect ClientRect() const;
    void PaintInsideHint(QPainter &painter) const;

    QString FInsideHint;
    QColor FInsideHintColor{192, 192, 192};
    bool FIsClearOnEnter = false;
    bool FHasFocus = false;
};
