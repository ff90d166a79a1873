#pragma once

// A main window wired as main() wires it, with a temporary settings root,
// and helpers that answer the modal dialogs the flows open.

#include <QApplication>
#include <QColor>
#include <QPointer>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>

class TMainForm;
class TMainFormUi;
class QWidget;

class WorkbenchFixture
{
public:
    // AppData: the settings root; empty, a temporary folder of its own. A
    // second fixture on the same root starts as the program does again.
    explicit WorkbenchFixture(const QString &AppData = QString());
    ~WorkbenchFixture();

    TMainForm &Form() { return *m_form; }
    TMainFormUi &Ui() { return *m_ui; }
    QString SettingsFile() const;
    QString AppData() const { return m_appDataPath; }
    // Tears the singletons down as main() does (the settings are written).
    void TearDown();

private:
    QTemporaryDir m_appData;
    QString m_appDataPath;
    std::unique_ptr<TMainForm> m_form;
    std::unique_ptr<TMainFormUi> m_ui;
    bool m_tornDown = false;
};

// Answers the modal dialogs that open from now on, one handler per dialog in
// order; each handler gets the dialog and must close it. Polls on the event
// loop the modal dialog runs, so no test sleeps.
class ModalScript : public QObject
{
public:
    using Handler = std::function<void(QWidget *Dialog)>;
    explicit ModalScript(QList<Handler> Handlers);
    [[nodiscard]] int Answered() const { return m_answered; }
    // Every dialog answered and none more opened.
    [[nodiscard]] bool Done() const { return m_answered == m_handlers.size() && m_unexpected == 0; }

private:
    void Poll();
    QList<Handler> m_handlers;
    int m_answered = 0;
    int m_unexpected = 0;
    QPointer<QWidget> m_last;
    QTimer m_timer;
};

// Handlers for the login dialog and the connect flow's error box.
ModalScript::Handler LoginWith(const QString &Server, const QString &User, const QString &Password,
                               QString *SeenUser = nullptr, QString *SeenServer = nullptr);
ModalScript::Handler CancelLogin(QString *SeenUser = nullptr, QString *SeenServer = nullptr,
                                 QString *SeenPassword = nullptr);
ModalScript::Handler AcknowledgeError(QStringList *Texts);

// Waits (turning the event loop) until no script runs; false when one still
// runs after TimeoutMs.
bool WaitForExecution(int TimeoutMs = 30000);

// The colour of the log line that contains Text; invalid when none does.
QColor LogLineColor(TMainForm &Form, const QString &Text);
QStringList LogLines(TMainForm &Form);
