#include "WorkbenchFixture.h"

#include "ColorRichEdit.h"
#include "Controller.h"
#include "DataFacade.h"
#include "HistoryManager.h"
#include "MainForm.h"
#include "Model.h"
#include "ScriptManager.h"
#include "ScriptRoutinesController.h"
#include "ServerChooseDialog.h"
#include "SimpleSettingsManager.h"
#include "StartUpController.h"
#include "View.h"
#include "WorkbenchShutdown.h"
#include "WorkbenchUi.h"

#include <QAbstractButton>
#include <QDialog>
#include <QFile>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

WorkbenchFixture::WorkbenchFixture(const QString &AppData)
    : m_appDataPath(AppData.isEmpty() ? m_appData.path() : AppData)
{
    qputenv("APPDATA", m_appDataPath.toLocal8Bit());
    // The history file lies beside the test program: start each test without one.
    QFile::remove(HistoryFileName());
    m_form = std::make_unique<TMainForm>();
    m_ui = std::make_unique<TMainFormUi>(m_form.get());
    SetWorkbenchUi(m_ui.get());
    m_form->OnFirstShow = [] {
        TStartUpController startUp;
        return startUp.Run();
    };
}

WorkbenchFixture::~WorkbenchFixture()
{
    TearDown();
}

QString WorkbenchFixture::SettingsFile() const
{
    return m_appDataPath + QStringLiteral("/Velquist/Quorvane/1.0/Settings.ini");
}

void WorkbenchFixture::TearDown()
{
    if (m_tornDown)
        return;
    m_tornDown = true;
    FreeWorkbenchSingletons();
    SetWorkbenchUi(nullptr);
    QFile::remove(HistoryFileName());
    m_ui.reset();
    m_form.reset();
}

ModalScript::ModalScript(QList<Handler> Handlers)
    : m_handlers(std::move(Handlers))
{
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &ModalScript::Poll);
    m_timer.start();
}

void ModalScript::Poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || modal == m_last)
        return;
    m_last = modal;
    if (m_answered >= m_handlers.size()) {
        // Not in the script: refuse it so the test fails instead of hanging.
        ++m_unexpected;
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
        return;
    }
    const Handler handler = m_handlers.at(m_answered++);
    handler(modal);
}

namespace {

template <typename T>
T *Child(QWidget *Dialog, const char *Name)
{
    T *child = Dialog->findChild<T *>(QString::fromLatin1(Name));
    if (!child)
        qFatal("no %s in %s", Name, qPrintable(Dialog->objectName()));
    return child;
}

void Fill(QWidget *Dialog, const QString &Server, const QString &User, const QString &Password)
{
    auto *servers = Child<QComboBox>(Dialog, "ServersComboBoxEx");
    const int index = servers->findText(Server);
    if (index >= 0)
        servers->setCurrentIndex(index);
    else
        servers->setEditText(Server);
    Child<QLineEdit>(Dialog, "UserNameEdit")->setText(User);
    Child<QLineEdit>(Dialog, "PasswordEdit")->setText(Password);
}

} // namespace

ModalScript::Handler LoginWith(const QString &Server, const QString &User, const QString &Password, QString *SeenUser,
                               QString *SeenServer)
{
    return [=](QWidget *dialog) {
        if (dialog->objectName() != QLatin1String("ServerChooseForm"))
            qFatal("expected the login dialog, got %s", qPrintable(dialog->objectName()));
        if (SeenUser)
            *SeenUser = Child<QLineEdit>(dialog, "UserNameEdit")->text();
        if (SeenServer)
            *SeenServer = Child<QComboBox>(dialog, "ServersComboBoxEx")->currentText();
        Fill(dialog, Server, User, Password);
        Child<QAbstractButton>(dialog, "BitBtnOK")->click();
    };
}

ModalScript::Handler CancelLogin(QString *SeenUser, QString *SeenServer, QString *SeenPassword)
{
    return [=](QWidget *dialog) {
        if (dialog->objectName() != QLatin1String("ServerChooseForm"))
            qFatal("expected the login dialog, got %s", qPrintable(dialog->objectName()));
        if (SeenUser)
            *SeenUser = Child<QLineEdit>(dialog, "UserNameEdit")->text();
        if (SeenServer)
            *SeenServer = Child<QComboBox>(dialog, "ServersComboBoxEx")->currentText();
        if (SeenPassword)
            *SeenPassword = Child<QLineEdit>(dialog, "PasswordEdit")->text();
        Child<QAbstractButton>(dialog, "BitBtn1")->click();
    };
}

ModalScript::Handler AcknowledgeError(QStringList *Texts)
{
    return [=](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        if (!box || box->objectName() != QLatin1String("ConnectErrorBox"))
            qFatal("expected the connect error box, got %s", qPrintable(dialog->objectName()));
        Texts->append(box->windowTitle() + QLatin1Char('|') + box->text());
        box->button(QMessageBox::Ok)->click();
    };
}

bool WaitForExecution(int TimeoutMs)
{
    return QTest::qWaitFor([] { return !ScriptIsExecuting(); }, TimeoutMs);
}

QStringList LogLines(TMainForm &Form)
{
    QStringList lines;
    for (QTextBlock block = Form.ResultColorRichEdit->document()->begin(); block.isValid(); block = block.next())
        if (!block.text().isEmpty())
            lines.append(block.text());
    return lines;
}

QColor LogLineColor(TMainForm &Form, const QString &Text)
{
    for (QTextBlock block = Form.ResultColorRichEdit->document()->begin(); block.isValid(); block = block.next()) {
        const int at = block.text().indexOf(Text);
        if (at < 0)
            continue;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.position() - block.position() + fragment.length() > at)
                return fragment.charFormat().foreground().color();
        }
    }
    return {};
}
