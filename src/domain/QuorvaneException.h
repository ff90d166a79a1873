#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// Base of every exception the program raises. The message is shown to the
// user as it stands, so it is kept as a QString; what() gives it in UTF-8
// for code that only knows std::exception.
class EQuorvaneException : public std::exception
{
public:
    explicit EQuorvaneException(const QString &Message)
        : m_message(Message), m_utf8(Message.toUtf8())
    {
    }

    [[nodiscard]] const QString &Message() const noexcept { return m_message; }
    [[nodiscard]] const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};
