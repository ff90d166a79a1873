#include "InsideHintEdit.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

TInsideHintEdit::TInsideHintEdit(QWidget *parent)
    : QLineEdit(parent)
{
    // Connected first, so the change handling runs before any outside slot.
    connect(this, &QLineEdit::textChanged, this, [this] { Change(); });
}

TInsideHintEdit::~TInsideHintEdit() = default;

void TInsideHintEdit::SetInsideHint(const QString &value)
{
    FInsideHint = value;
    if (text().isEmpty())
        DrawInsideHint();
}

void TInsideHintEdit::SetInsideHintColor(const QColor &value)
{
    FInsideHintColor = value;
    if (text().isEmpty())
        DrawInsideHint();
}

bool TInsideHintEdit::IsInsideHintShown() const
{
    return !FInsideHint.isEmpty() && text().isEmpty() && !(FHasFocus && FIsClearOnEnter);
}

void TInsideHintEdit::DrawInsideHint()
{
    if (FInsideHint.isEmpty() || (FHasFocus && FIsClearOnEnter))
        return;
    update();
}

void TInsideHintEdit::ClearBackground()
{
    update();
}

void TInsideHintEdit::Change()
{
    if (OnChange)
        OnChange(this);
    if (text().isEmpty())
        DrawInsideHint();
    else
        update();
}

QRect TInsideHintEdit::ClientRect() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
}

void TInsideHintEdit::PaintInsideHint(QPainter &painter) const
{
    const QRect client = ClientRect();
    painter.fillRect(client, palette().brush(QPalette::Base));
    painter.setFont(font());
    painter.setPen(FInsideHintColor);
    painter.setClipRect(client);
    // Two pixels in from the left like the typed text; centred in height,
    // as the line edit centres its own text.
    painter.drawText(client.adjusted(2, 1, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, FInsideHint);
}

void TInsideHintEdit::paintEvent(QPaintEvent *event)
{
    QLineEdit::paintEvent(event);
    if (!IsInsideHintShown())
        return;
    QPainter painter(this);
    PaintInsideHint(painter);
}

void TInsideHintEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (FIsClearOnEnter)
        ClearBackground();
    FHasFocus = true;
}

void TInsideHintEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    FHasFocus = false;
    if (text().isEmpty())
        DrawInsideHint();
}
