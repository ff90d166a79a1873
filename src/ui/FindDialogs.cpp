#include "FindDialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TFindDialog::TFindDialog(TMode Mode, TScriptMemo *Memo, QWidget *parent)
    : QDialog(parent)
    , m_mode(Mode)
    , m_memo(Memo)
{
    const bool replacing = Mode == TMode::Replace;
    setObjectName(replacing ? QStringLiteral("ReplaceDialog") : QStringLiteral("FindDialog"));
    setWindowTitle(replacing ? QStringLiteral("Заменить") : QStringLiteral("Найти"));
    setModal(false);

    m_findEdit = new QLineEdit(this);
    m_findEdit->setObjectName(QStringLiteral("FindTextEdit"));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Образец:"), m_findEdit);
    if (replacing) {
        m_replaceEdit = new QLineEdit(this);
        m_replaceEdit->setObjectName(QStringLiteral("ReplaceTextEdit"));
        form->addRow(QStringLiteral("Заменить &на:"), m_replaceEdit);
    }

    m_wholeWord = new QCheckBox(QStringLiteral("Только &слово целиком"), this);
    m_wholeWord->setObjectName(QStringLiteral("WholeWordCheckBox"));
    m_matchCase = new QCheckBox(QStringLiteral("С учетом &регистра"), this);
    m_matchCase->setObjectName(QStringLiteral("MatchCaseCheckBox"));
    auto *checks = new QVBoxLayout;
    checks->addWidget(m_wholeWord);
    checks->addWidget(m_matchCase);
    checks->addStretch();

    auto *direction = new QGroupBox(QStringLiteral("Направление"), this);
    m_up = new QRadioButton(QStringLiteral("&Вверх"), direction);
    m_up->setObjectName(QStringLiteral("UpRadioButton"));
    m_down = new QRadioButton(QStringLiteral("Вн&из"), direction);
    m_down->setObjectName(QStringLiteral("DownRadioButton"));
    m_down->setChecked(true);
    auto *directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(m_up);
    directionLayout->addWidget(m_down);
    if (replacing)
        direction->hide(); // replacing always walks forward

    auto *optionsRow = new QHBoxLayout;
    optionsRow->addLayout(checks);
    optionsRow->addWidget(direction);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("StatusLabel"));
    m_status->setStyleSheet(QStringLiteral("color: #a00000"));

    auto *left = new QVBoxLayout;
    left->addLayout(form);
    left->addLayout(optionsRow);
    left->addWidget(m_status);

    auto *buttons = new QVBoxLayout;
    m_findNextButton = new QPushButton(QStringLiteral("Найти &далее"), this);
    m_findNextButton->setObjectName(QStringLiteral("FindNextButton"));
    m_findNextButton->setDefault(true);
    buttons->addWidget(m_findNextButton);
    connect(m_findNextButton, &QPushButton::clicked, this, &TFindDialog::FindNextClicked);
    if (replacing) {
        auto *replaceButton = new QPushButton(QStringLiteral("&Заменить"), this);
        replaceButton->setObjectName(QStringLiteral("ReplaceButton"));
        auto *replaceAllButton = new QPushButton(QStringLiteral("Заменить &все"), this);
        replaceAllButton->setObjectName(QStringLiteral("ReplaceAllButton"));
        buttons->addWidget(replaceButton);
        buttons->addWidget(replaceAllButton);
        connect(replaceButton, &QPushButton::clicked, this, &TFindDialog::ReplaceClicked);
        connect(replaceAllButton, &QPushButton::clicked, this, &TFindDialog::ReplaceAllClicked);
    }
    auto *cancelButton = new QPushButton(QStringLiteral("Отмена"), this);
    cancelButton->setObjectName(QStringLiteral("CancelButton"));
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(cancelButton);
    buttons->addStretch();

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
    connect(m_findEdit, &QLineEdit::textChanged, m_status, &QLabel::clear);
}

TSearchOptions TFindDialog::Options() const
{
    TSearchOptions options;
    options.Text = m_findEdit->text();
    options.MatchCase = m_matchCase->isChecked();
    options.WholeWord = m_wholeWord->isChecked();
    options.Forward = m_mode == TMode::Replace || m_down->isChecked();
    return options;
}

void TFindDialog::SetOptions(const TSearchOptions &Options)
{
    m_findEdit->setText(Options.Text);
    m_findEdit->selectAll();
    m_matchCase->setChecked(Options.MatchCase);
    m_wholeWord->setChecked(Options.WholeWord);
    (Options.Forward ? m_down : m_up)->setChecked(true);
}

void TFindDialog::Report(bool Found)
{
    m_status->setText(Found ? QString() : QStringLiteral("Текст «%1» не найден.").arg(m_findEdit->text()));
}

void TFindDialog::FindNextClicked()
{
    const TSearchOptions options = Options();
    if (OnSearch)
        OnSearch(options);
    if (m_memo)
        Report(m_memo->FindNext(options));
}

void TFindDialog::ReplaceClicked()
{
    const TSearchOptions options = Options();
    if (OnSearch)
        OnSearch(options);
    if (m_memo && m_replaceEdit)
        Report(m_memo->ReplaceNext(options, m_replaceEdit->text()));
}

void TFindDialog::ReplaceAllClicked()
{
    const TSearchOptions options = Options();
    if (OnSearch)
        OnSearch(options);
    if (!m_memo || !m_replaceEdit)
        return;
    const int count = m_memo->ReplaceAll(options, m_replaceEdit->text());
    m_status->setText(count ? QStringLiteral("Заменено: %1.").arg(count)
                            : QStringLiteral("Текст «%1» не найден.").arg(options.Text));
}
