#pragma once

// Asks where a freshly generated script goes: a new tab, the end of the
// current script, a file, or nowhere. The caller offers the answers and acts on the
// one chosen; the dialog touches no script.

#include <QDialog>

#include <cstdint>
#include <initializer_list>

class QLabel;
class QPushButton;

enum TWherePutScript { wpsInNew, wpsInCurrent, wpsThrowIntoShredder, wpsToFile };

// A set of TWherePutScript.
class TWherePutScripts
{
public:
    constexpr TWherePutScripts() = default;
    constexpr TWherePutScripts(std::initializer_list<TWherePutScript> items)
    {
        for (TWherePutScript item : items)
            FBits |= Bit(item);
    }
    [[nodiscard]] constexpr bool Contains(TWherePutScript item) const { return (FBits & Bit(item)) != 0; }
    constexpr void Include(TWherePutScript item) { FBits |= Bit(item); }

private:
    static constexpr std::uint8_t Bit(TWherePutScript item) { return std::uint8_t(1u << int(item)); }
    std::uint8_t FBits = 0;
};

class TWherePutScriptDialogForm : public QDialog
{
    Q_OBJECT
public:
    explicit TWherePutScriptDialogForm(QWidget *parent = nullptr);

    // Enables the offered answers, runs the dialog modally, returns Choice.
    TWherePutScript Execute(TWherePutScripts offered);
    // Enables the buttons of the offered answers (the first step of Execute).
    void Offer(TWherePutScripts offered);

    [[nodiscard]] TWherePutScript Choice() const { return FChoice; }

    void InNewButtonClick();
    void InCurrentButtonClick();
    void ThrowIntoShredderButtonClick();
    void ToFileButtonClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    TWherePutScript FChoice = wpsInNew;
    QLabel *Image1;
    QLabel *Label1;
    QPushButton *InNewButton;
    QPushButton *InCurrentButton;
    QPushButton *ThrowIntoShredderButton;
    QPushButton *ToFileButton;
};
