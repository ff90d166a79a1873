#pragma once

#include "ConnectionString.h"

#include <QDialog>
#include <QHostAddress>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QThread;
class TSQLServersList;

// Asks the SQL Server Browser at an address which servers it knows
// (TSqrversEnumerator::SearchNetwork by default).
using TServerSearch =
    std::function<std::unique_ptr<TSQLServersList>(const QHostAddress &Address, quint16 Port, int TimeoutMs)>;

// The login form: server, user name, password, encryption and trust in the
// server's certificate. Enter confirms and Esc
// cancels wherever the focus is; the close box cancels too.
//
// "Найти в сети..." asks the SQL Server Browser for servers (only when
// pressed) at the address of the settings entries Connection/BrowserAddress
// (default the broadcast address) and Connection/BrowserPort (default 1434),
// and adds the answers that are not listed yet to the server box. The
// search runs on a worker thread; the form waits for it when destroyed.
class TServerChooseForm : public QDialog
{
    Q_OBJECT
public:
    explicit TServerChooseForm(QWidget *Parent = nullptr);
    ~TServerChooseForm() override;

    QLabel *Image3;
    QLabel *Label3;
    QPushButton *SearchNetworkButton;
    QComboBox *ServersComboBoxEx;
    QFrame *Bevel2;
    QLabel *Image1;
    QLabel *Label1;
    QLineEdit *UserNameEdit;
    QLabel *LoginNotifyLabel;
    QLabel *Image2;
    QLabel *Label2;
    QLineEdit *PasswordEdit;
    QLabel *PasswordNotifyLabel;
    QFrame *Bevel3;
    QLabel *EncryptionLabel;
    // "нет", "если сервер поддерживает", "обязательно", in TEncryption's order.
    QComboBox *EncryptionComboBox;
    QCheckBox *TrustServerCertificateCheckBox;
    QFrame *Bevel1;
    QPushButton *BitBtnOK;
    QPushButton *BitBtn1;
    QAction *OKAction;
    QAction *CancelAction;
    // 0: a database, 1: a table, 2: a server.
    QList<QIcon> TreeViewImageList;

    void FormShow();
    void OKActionExecute();
    void CancelActionExecute();
    void SearchNetworkButtonClick();

    [[nodiscard]] QString UserNameText() const;
    void SetUserNameText(const QString &Text);
    [[nodiscard]] QString PasswordText() const;
    void SetPasswordText(const QString &Text);
    [[nodiscard]] TEncryption EncryptionValue() const;
    void SetEncryptionValue(TEncryption Encryption);
    [[nodiscard]] bool TrustServerCertificateValue() const;
    void SetTrustServerCertificateValue(bool Trust);
    // The chosen item; -1 when the box holds text that names no item.
    [[nodiscard]] int ServerItemIndex() const;
    void SetServerItemIndex(int Index);
    // The text of the server box, also when it names no item.
    [[nodiscard]] QString ServerText() const;
    // Refills the server box.
    void SetServers(const QStringList &Names);
    // Puts the name into the user name edit, shows the form modally and
    // returns the modal result.
    int ShowWithUserName(const QString &UserName);

    // The network search, run on a worker thread; tests aim it elsewhere.
    TServerSearch SearchServers;
    // Raised on the GUI thread when a search has finished and its servers
    // are in the box.
    std::function<void(TServerChooseForm *Sender)> OnSearchFinished;
    // Runs the form modally (exec() when empty); tests drive the form here.
    std::function<int(TServerChooseForm *Form)> ShowModal;

protected:
    void showEvent(QShowEvent *Event) override;

private:
    void createWidgets();
    void searchFinished(std::unique_ptr<TSQLServersList> Found);
    void showSearchReport(const QString &Report);

    std::unique_ptr<QThread> FSearchThread;
};

// Keeps the login values between showings and moves them into and out of
// the form; the connect flow may run Execute any number of times.
//
// Servers found by the network search are not in ServerNames: choosing one
// reads back like a typed name (ServerIndex -1, its name in ServerText).
class TServerChooseDialog
{
public:
    TServerChooseDialog();
    // Frees the form unless KeepForm is set.
    ~TServerChooseDialog();
    TServerChooseDialog(const TServerChooseDialog &) = delete;
    TServerChooseDialog &operator=(const TServerChooseDialog &) = delete;

    // Shows the form with the stored values and reads them back afterwards,
    // whatever the result; true when closed with OK.
    bool Execute();

    [[nodiscard]] QString UserName();
    void SetUserName(const QString &Name);
    [[nodiscard]] QString Password();
    [[nodiscard]] int ServerIndex();
    void SetServerIndex(int Index);
    [[nodiscard]] const QStringList &ServerNames() const { return FServerNames; }
    void SetServerNames(const QStringList &Names);
    [[nodiscard]] QString ServerText() const;
    [[nodiscard]] TEncryption Encryption();
    void SetEncryption(TEncryption Encryption);
    [[nodiscard]] bool TrustServerCertificate();
    void SetTrustServerCertificate(bool Trust);
    void SetKeepForm(bool Keep) { FKeepForm = Keep; }

    [[nodiscard]] TServerChooseForm *Form() const { return FForm; }

private:
    QString FUserName;
    QString FPassword;
    QStringList FServerNames;
    TEncryption FEncryption = TEncryption::Request;
    bool FTrustServerCertificate = false;
    QPointer<TServerChooseForm> FForm;
    int FServerIndex = 0;
    bool FKeepForm = false;
};

// Frees the form a KeepForm wrapper left behind (end of main).
void FreeKeptServerChooseForm();
