#pragma once

#include "ScriptMemo.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The search dialog behind "Найти..." and, with the replace row, behind
// "Заменить...". Modeless: it stays open while the user edits; every button
// acts on the editor it was opened for. A miss is told in the dialog itself.
class TFindDialog : public QDialog
{
    Q_OBJECT
public:
    enum class TMode { Find, Replace };
    TFindDialog(TMode Mode, TScriptMemo *Memo, QWidget *parent = nullptr);

    [[nodiscard]] TSearchOptions Options() const;
    void SetOptions(const TSearchOptions &Options);
    void SetMemo(TScriptMemo *Memo) { m_memo = Memo; }
    [[nodiscard]] TMode Mode() const { return m_mode; }

    // Runs on every search so F3 can repeat the last one.
    std::function<void(const TSearchOptions &)> OnSearch;

    void FindNextClicked();
    void ReplaceClicked();
    void ReplaceAllClicked();

private:
    void Report(bool Found);

    TMode m_mode;
    TScriptMemo *m_memo;
    QLineEdit *m_findEdit;
    QLineEdit *m_replaceEdit = nullptr;
    QCheckBox *m_wholeWord;
    QCheckBox *m_matchCase;
    QRadioButton *m_up;
    QRadioButton *m_down;
    QLabel *m_status;
    QPushButton *m_findNextButton;
};
