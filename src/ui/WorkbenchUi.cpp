#include "WorkbenchUi.h"

#include "ColorRichEdit.h"
#include "MainForm.h"
#include "ResultView.h"
#include "ServerChooseDialog.h"
#include "UiErrors.h"
#include "View.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>

namespace {

// The login dialog wrapper as the connect flow drives it.
class TServerChooserAdapter : public IServerChooser
{
public:
    void SetKeepForm(bool Keep) override { m_dialog.SetKeepForm(Keep); }
    QString UserName() override { return m_dialog.UserName(); }
    void SetUserName(const QString &Name) override { m_dialog.SetUserName(Name); }
    QString Password() override { return m_dialog.Password(); }
    int ServerIndex() override { return m_dialog.ServerIndex(); }
    void SetServerIndex(int Index) override { m_dialog.SetServerIndex(Index); }
    QStringList ServerNames() override { return m_dialog.ServerNames(); }
    void SetServerNames(const QStringList &Names) override { m_dialog.SetServerNames(Names); }
    QString ServerText() override { return m_dialog.ServerText(); }
    TEncryption Encryption() override { return m_dialog.Encryption(); }
    void SetEncryption(TEncryption Encryption) override { m_dialog.SetEncryption(Encryption); }
    bool TrustServerCertificate() override { return m_dialog.TrustServerCertificate(); }
    void SetTrustServerCertificate(bool Trust) override { m_dialog.SetTrustServerCertificate(Trust); }
    bool Execute() override { return m_dialog.Execute(); }

private:
    TServerChooseDialog m_dialog;
};

} // namespace

QString QtFileFilter(const QString &DelphiFilter)
{
    const QStringList parts = DelphiFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts.at(i);
        // The description may repeat its pattern in parentheses; Qt reads
        // the patterns from the last parentheses, so drop them here.
        description.remove(QRegularExpression(QStringLiteral("\\s*\\([^()]*\\)\\s*$")));
        QStringList patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &pattern : patterns)
            if (pattern == QLatin1String("*.*"))
                pattern = QStringLiteral("*"); // every file, with or without a dot
        filters.append(QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' '))));
    }
    return filters.join(QStringLiteral(";;"));
}

IDataBasesView &TMainFormUi::DataBasesView()
{
    return ::DataBasesView();
}

IServerNameView &TMainFormUi::ServerNameView()
{
    return ::ServerNameView();
}

IScriptResultView &TMainFormUi::ScriptResultView()
{
    return ::ScriptResultView();
}

std::unique_ptr<IServerChooser> TMainFormUi::CreateServerChooser()
{
    return std::make_unique<TServerChooserAdapter>();
}

void TMainFormUi::ShowConnectError(const QString &Text, const QString &Caption)
{
    QMessageBox box(QMessageBox::Critical, Caption, Text, QMessageBox::Ok, m_form);
    box.setObjectName(QStringLiteral("ConnectErrorBox"));
    box.exec();
}

QString TMainFormUi::AskOpenFileName(const QString &Filter)
{
    if (OpenFileNameHook)
        return OpenFileNameHook(Filter);
    return QFileDialog::getOpenFileName(m_form, QStringLiteral("Открыть"), QString(), QtFileFilter(Filter));
}

QString TMainFormUi::AskSaveFileName(const QString &Filter, const QString &FileName)
{
    if (SaveFileNameHook)
        return SaveFileNameHook(Filter, FileName);
    return QFileDialog::getSaveFileName(m_form, QStringLiteral("Сохранить как"), FileName, QtFileFilter(Filter),
                                        nullptr, QFileDialog::DontConfirmOverwrite);
}

TSaveChangesAnswer TMainFormUi::AskSaveChanges(const QString &ScriptName)
{
    if (SaveChangesHook)
        return SaveChangesHook(ScriptName);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Генератор скриптов"),
                    QStringLiteral("Скрипт «%1» изменён. Сохранить изменения?").arg(ScriptName), QMessageBox::NoButton,
                    m_form);
    box.setObjectName(QStringLiteral("SaveChangesBox"));
    QPushButton *save = box.addButton(QStringLiteral("Сохранить"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(QStringLiteral("Не сохранять"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(QStringLiteral("Отмена"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save)
        return TSaveChangesAnswer::Save;
    if (box.clickedButton() == discard)
        return TSaveChangesAnswer::Discard;
    return TSaveChangesAnswer::Cancel;
}

bool TMainFormUi::AskReplaceFile(const QString &FileName)
{
    if (ReplaceFileHook)
        return ReplaceFileHook(FileName);
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Генератор скриптов"),
                    QStringLiteral("Файл «%1» уже существует. Заменить его?").arg(FileName), QMessageBox::NoButton,
                    m_form);
    box.setObjectName(QStringLiteral("ReplaceFileBox"));
    QPushButton *replace = box.addButton(QStringLiteral("Заменить"), QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(QStringLiteral("Отмена"), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == replace;
}

bool TMainFormUi::AskSaveInUtf8(const QString &FileName, const QString &Encoding, const QString &Characters)
{
    if (SaveInUtf8Hook)
        return SaveInUtf8Hook(FileName, Encoding, Characters);
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Генератор скриптов"),
                    QStringLiteral("В кодировке %1 файла «%2» нет символов «%3». Сохранить файл в UTF-8?")
                        .arg(Encoding, FileName, Characters),
                    QMessageBox::NoButton, m_form);
    box.setObjectName(QStringLiteral("SaveInUtf8Box"));
    QPushButton *utf8 = box.addButton(QStringLiteral("Сохранить в UTF-8"), QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(QStringLiteral("Не сохранять"), QMessageBox::RejectRole);
    box.setDefaultButton(utf8);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == utf8;
}

bool TMainFormUi::AskStopExecution(const QString &ScriptName)
{
    if (StopExecutionHook)
        return StopExecutionHook(ScriptName);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Генератор скриптов"),
                    QStringLiteral("Скрипт «%1» ещё выполняется. Остановить его?").arg(ScriptName),
                    QMessageBox::NoButton, m_form);
    box.setObjectName(QStringLiteral("StopExecutionBox"));
    QPushButton *stop = box.addButton(QStringLiteral("Остановить"), QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(QStringLiteral("Отмена"), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == stop;
}

void TMainFormUi::ReportError(const QString &Text)
{
    ShowError(Text);
}

void TMainFormUi::ShowStatus(const QString &Text)
{
    if (!m_form)
        return;
    if (Text.isEmpty())
        m_form->StatusBar1->clearMessage();
    else
        m_form->StatusBar1->showMessage(Text);
}

void TMainFormUi::ExecutionStateChanged(bool Running)
{
    if (!m_form)
        return;
    m_form->StopAction->setEnabled(Running);
    // Choosing a database while the script holds the connection could only fail.
    m_form->DataBasesComboBoxEx->setEnabled(!Running);
}

void TMainFormUi::HistoryChanged(const QStringList &Files)
{
    if (m_form)
        m_form->HistoryChanged(&Files);
}

void TMainFormUi::BindResultView()
{
    TScriptResultView &view = ::ScriptResultView();
    view.Log = m_form->ResultColorRichEdit;
    view.Grid = m_form->ResultDBGrid;
    view.ShowLog();
}

void TMainFormUi::HideEditor()
{
    ::ScriptView().HideEditor();
}

void TMainFormUi::EnsureScriptView()
{
    (void)::ScriptView();
}
