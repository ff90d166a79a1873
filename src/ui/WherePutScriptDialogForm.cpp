#include "WherePutScriptDialogForm.h"

#include "DialogKeys.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TWherePutScriptDialogForm::TWherePutScriptDialogForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("WherePutScriptDialogForm"));
    setWindowTitle(QStringLiteral("Скрипт успешно создан."));
    // Fixed border, no title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    // 609 x 89 at the design's font; larger when the captions need it.

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(32, 32);
    Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));

    Label1 = new QLabel(QStringLiteral("Что сделать с созданным скриптом?"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont questionFont(QStringLiteral("Tahoma"));
    questionFont.setPixelSize(15);
    Label1->setFont(questionFont);

    auto *bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);

    InNewButton = new QPushButton(QStringLiteral("Открыть в новой закладке"), this);
    InNewButton->setObjectName(QStringLiteral("InNewButton"));
    InNewButton->setMinimumWidth(155);
    InNewButton->setFixedHeight(25);
    InCurrentButton = new QPushButton(QStringLiteral("Добавить в текущий скрипт"), this);
    InCurrentButton->setObjectName(QStringLiteral("InCurrentButton"));
    InCurrentButton->setMinimumWidth(155);
    InCurrentButton->setFixedHeight(25);
    ThrowIntoShredderButton = new QPushButton(QStringLiteral("Отправить в измельчитель"), this);
    ThrowIntoShredderButton->setObjectName(QStringLiteral("ThrowIntoShredderButton"));
    ThrowIntoShredderButton->setMinimumWidth(169);
    ThrowIntoShredderButton->setFixedHeight(25);
    ThrowIntoShredderButton->setIcon(QIcon::fromTheme(QStringLiteral("edit-delete"),
                                                      style()->standardIcon(QStyle::SP_TrashIcon)));
    ToFileButton = new QPushButton(QStringLiteral("Сохранить в файл…"), this);
    ToFileButton->setObjectName(QStringLiteral("ToFileButton"));
    ToFileButton->setMinimumWidth(135);
    ToFileButton->setFixedHeight(25);
    for (QPushButton *button : {InNewButton, InCurrentButton, ToFileButton, ThrowIntoShredderButton})
        button->setAutoDefault(false);

    auto *top = new QHBoxLayout;
    top->addWidget(Image1);
    top->addWidget(Label1, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(InNewButton);
    bottom->addWidget(InCurrentButton);
    bottom->addWidget(ToFileButton);
    bottom->addStretch(1);
    bottom->addWidget(ThrowIntoShredderButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addLayout(top);
    layout->addWidget(bevel);
    layout->addLayout(bottom);
    setFixedSize(sizeHint().expandedTo(QSize(609, 89)));

    // The middle button comes first in the tab order.
    setTabOrder(InCurrentButton, InNewButton);
    setTabOrder(InNewButton, ToFileButton);
    setTabOrder(ToFileButton, ThrowIntoShredderButton);

    connect(InNewButton, &QPushButton::clicked, this, &TWherePutScriptDialogForm::InNewButtonClick);
    connect(InCurrentButton, &QPushButton::clicked, this, &TWherePutScriptDialogForm::InCurrentButtonClick);
    connect(ThrowIntoShredderButton, &QPushButton::clicked, this,
            &TWherePutScriptDialogForm::ThrowIntoShredderButtonClick);
    connect(ToFileButton, &QPushButton::clicked, this, &TWherePutScriptDialogForm::ToFileButtonClick);
}

void TWherePutScriptDialogForm::Offer(TWherePutScripts offered)
{
    InNewButton->setEnabled(offered.Contains(wpsInNew));
    InCurrentButton->setEnabled(offered.Contains(wpsInCurrent));
    ThrowIntoShredderButton->setEnabled(offered.Contains(wpsThrowIntoShredder));
    ToFileButton->setEnabled(offered.Contains(wpsToFile));
}

TWherePutScript TWherePutScriptDialogForm::Execute(TWherePutScripts offered)
{
    Offer(offered);
    // Made without an owner: centre it on the main window by hand.
    if (!parentWidget())
        if (QWidget *main = QApplication::activeWindow())
            move(main->frameGeometry().center() - rect().center());
    exec();
    return FChoice;
}

void TWherePutScriptDialogForm::keyPressEvent(QKeyEvent *event)
{
    if (!PressFocusedButton(this, event))
        QDialog::keyPressEvent(event);
}

void TWherePutScriptDialogForm::InNewButtonClick()
{
    FChoice = wpsInNew;
    done(QDialog::Accepted);
}

void TWherePutScriptDialogForm::InCurrentButtonClick()
{
    FChoice = wpsInCurrent;
    done(QDialog::Accepted);
}

void TWherePutScriptDialogForm::ThrowIntoShredderButtonClick()
{
    FChoice = wpsThrowIntoShredder;
    done(QDialog::Accepted);
}

void TWherePutScriptDialogForm::ToFileButtonClick()
{
    FChoice = wpsToFile;
    done(QDialog::Accepted);
}
