#include "ServerChooseDialog.h"

#include "Domain.h"
#include "ServerDiscovery.h"
#include "SimpleSettingsManager.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStandardPaths>
#include <QStyle>
#include <QThread>
#include <QToolTip>

namespace {

constexpr int browserTimeoutMs = 2000;

QIcon themeIcon(const char *name, QStyle::StandardPixmap fallback)
{
    // Without a desktop theme (bare X servers, offscreen) the icons come
    // from breeze, which set-up installs.
    if (QIcon::themeName().isEmpty()) {
        QStringList paths = QIcon::themeSearchPaths();
        for (const QString &dir :
             QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                       QStandardPaths::LocateDirectory))
            if (!paths.contains(dir))
                paths << dir;
        QIcon::setThemeSearchPaths(paths);
        QIcon::setThemeName(QStringLiteral("breeze"));
    }
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
        QIcon::setFallbackThemeName(QStringLiteral("breeze"));
    QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(fallback);
    return icon;
}

QLabel *picture(QWidget *parent, const char *objectName, const QIcon &icon, const QRect &geometry)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignCenter);
    label->setPixmap(icon.pixmap(32, 32));
    return label;
}

QLabel *caption(QWidget *parent, const char *objectName, const QString &text, int x, int y)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->move(x, y);
    label->adjustSize();
    return label;
}

QLabel *notifyLabel(QWidget *parent, const char *objectName, int x, int y)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setGeometry(x, y, 201, 12);
    label->setFont(QFont(QStringLiteral("Tahoma"), 7));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::gray);
    label->setPalette(palette);
    return label;
}

QFrame *bevel(QWidget *parent, const char *objectName, int y)
{
    auto *line = new QFrame(parent);
    line->setObjectName(QString::fromLatin1(objectName));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(0, y - 1, 257, 3);
    return line;
}

// Shows every password character as '*'.
class TAsteriskStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QPointer<TServerChooseForm> &keptForm()
{
    static QPointer<TServerChooseForm> form;
    return form;
}

} // namespace

// ---- TServerChooseForm ----

TServerChooseForm::TServerChooseForm(QWidget *Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      SearchServers(&TSqrversEnumerator::SearchNetwork)
{
    setObjectName(QStringLiteral("ServerChooseForm"));
    setWindowTitle(QStringLiteral("Регистрация пользователя"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFixedSize(257, 288);
    TreeViewImageList = {themeIcon("server-database", QStyle::SP_DriveHDIcon),
                         themeIcon("table", QStyle::SP_FileDialogDetailedView),
                         themeIcon("network-server", QStyle::SP_ComputerIcon)};
    createWidgets();
}

TServerChooseForm::~TServerChooseForm()
{
    // A search still running reports to nobody; it ends within its time limit.
    if (FSearchThread) {
        FSearchThread->disconnect(this);
        FSearchThread->wait();
    }
}

void TServerChooseForm::createWidgets()
{
    Image3 = picture(this, "Image3", themeIcon("computer", QStyle::SP_ComputerIcon), QRect(8, 18, 32, 32));
    Label3 = caption(this, "Label3", QStringLiteral("Сервер:"), 48, 8);

    SearchNetworkButton = new QPushButton(QStringLiteral("Найти в сети..."), this);
    SearchNetworkButton->setObjectName(QStringLiteral("SearchNetworkButton"));
    SearchNetworkButton->setFlat(true);
    SearchNetworkButton->setAutoDefault(false);
    SearchNetworkButton->setGeometry(139, 2, 110, 20);
    SearchNetworkButton->setToolTip(QStringLiteral("Спросить серверы в сети (служба SQL Server Browser)"));

    ServersComboBoxEx = new QComboBox(this);
    ServersComboBoxEx->setObjectName(QStringLiteral("ServersComboBoxEx"));
    ServersComboBoxEx->setGeometry(48, 24, 201, 22);
    ServersComboBoxEx->setEditable(true);
    // A typed name stays typed: it must not turn into a list entry.
    ServersComboBoxEx->setInsertPolicy(QComboBox::NoInsert);
    ServersComboBoxEx->setMaxVisibleItems(8);
    ServersComboBoxEx->setIconSize(QSize(16, 16));

    Bevel2 = bevel(this, "Bevel2", 55);

    Image1 = picture(this, "Image1", themeIcon("system-users", QStyle::SP_DirHomeIcon), QRect(8, 74, 32, 32));
    Label1 = caption(this, "Label1", QStringLiteral("Пользователь:"), 48, 63);
    UserNameEdit = new QLineEdit(this);
    UserNameEdit->setObjectName(QStringLiteral("UserNameEdit"));
    UserNameEdit->setGeometry(48, 80, 201, 21);
    LoginNotifyLabel = notifyLabel(this, "LoginNotifyLabel", 48, 103);

    Image2 = picture(this, "Image2", themeIcon("dialog-password", QStyle::SP_DialogApplyButton), QRect(8, 130, 32, 41));
    Label2 = caption(this, "Label2", QStringLiteral("Пароль:"), 48, 119);
    PasswordEdit = new QLineEdit(this);
    PasswordEdit->setObjectName(QStringLiteral("PasswordEdit"));
    PasswordEdit->setGeometry(48, 136, 201, 21);
    PasswordEdit->setEchoMode(QLineEdit::Password);
    auto *asterisks = new TAsteriskStyle;
    asterisks->setParent(PasswordEdit);
    PasswordEdit->setStyle(asterisks);
    PasswordNotifyLabel = notifyLabel(this, "PasswordNotifyLabel", 48, 159);

    Bevel3 = bevel(this, "Bevel3", 175);
    // The choice gets the dialog's whole width under its caption: "если сервер
    // поддерживает" does not fit beside it.
    EncryptionLabel = caption(this, "EncryptionLabel", QStringLiteral("Шифрование:"), 8, 180);
    EncryptionComboBox = new QComboBox(this);
    EncryptionComboBox->setObjectName(QStringLiteral("EncryptionComboBox"));
    EncryptionComboBox->setGeometry(8, 196, 241, 22);
    EncryptionComboBox->addItems({QStringLiteral("нет"), QStringLiteral("если сервер поддерживает"),
                                  QStringLiteral("обязательно")});
    EncryptionComboBox->setCurrentIndex(int(TEncryption::Request));
    TrustServerCertificateCheckBox = new QCheckBox(QStringLiteral("Доверять сертификату сервера"), this);
    TrustServerCertificateCheckBox->setObjectName(QStringLiteral("TrustServerCertificateCheckBox"));
    TrustServerCertificateCheckBox->setGeometry(8, 222, 241, 20);
    TrustServerCertificateCheckBox->setToolTip(
        QStringLiteral("Не проверять сертификат сервера при обязательном шифровании"));

    Bevel1 = bevel(this, "Bevel1", 247);

    BitBtnOK = new QPushButton(QStringLiteral("OK"), this);
    BitBtnOK->setObjectName(QStringLiteral("BitBtnOK"));
    BitBtnOK->setGeometry(85, 255, 75, 25);
    BitBtnOK->setIcon(QApplication::style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtn1 = new QPushButton(QStringLiteral("Отмена"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(173, 255, 75, 25);
    BitBtn1->setIcon(QApplication::style()->standardIcon(QStyle::SP_DialogCancelButton));
    // The actions carry Enter and Esc; no button may take them first.
    for (QPushButton *button : {BitBtnOK, BitBtn1}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    OKAction = new QAction(QStringLiteral("OK"), this);
    OKAction->setObjectName(QStringLiteral("OKAction"));
    OKAction->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    OKAction->setShortcutContext(Qt::WindowShortcut);
    addAction(OKAction);
    CancelAction = new QAction(QStringLiteral("Отмена"), this);
    CancelAction->setObjectName(QStringLiteral("CancelAction"));
    CancelAction->setShortcut(QKeySequence(Qt::Key_Escape));
    CancelAction->setShortcutContext(Qt::WindowShortcut);
    addAction(CancelAction);

    connect(OKAction, &QAction::triggered, this, &TServerChooseForm::OKActionExecute);
    connect(CancelAction, &QAction::triggered, this, &TServerChooseForm::CancelActionExecute);
    connect(BitBtnOK, &QPushButton::clicked, OKAction, &QAction::trigger);
    connect(BitBtn1, &QPushButton::clicked, CancelAction, &QAction::trigger);
    connect(SearchNetworkButton, &QPushButton::clicked, this, &TServerChooseForm::SearchNetworkButtonClick);

    setTabOrder(UserNameEdit, PasswordEdit);
    setTabOrder(PasswordEdit, BitBtnOK);
    setTabOrder(BitBtnOK, BitBtn1);
    setTabOrder(BitBtn1, ServersComboBoxEx);
    setTabOrder(ServersComboBoxEx, SearchNetworkButton);
    // The encryption choice comes last: the login's own order stays as it was.
    setTabOrder(SearchNetworkButton, EncryptionComboBox);
    setTabOrder(EncryptionComboBox, TrustServerCertificateCheckBox);
}

void TServerChooseForm::showEvent(QShowEvent *Event)
{
    QDialog::showEvent(Event);
    if (!Event->spontaneous())
        FormShow();
}

void TServerChooseForm::FormShow()
{
    LoginNotifyLabel->clear();
    PasswordNotifyLabel->clear();
    UserNameEdit->setFocus();
}

void TServerChooseForm::OKActionExecute()
{
    accept();
}

void TServerChooseForm::CancelActionExecute()
{
    reject();
}

void TServerChooseForm::SearchNetworkButtonClick()
{
    if (!SearchServers || (FSearchThread && FSearchThread->isRunning()))
        return;
    TSimpleSettingsManager *settings = SettingsManager();
    const QString addressText =
        settings->GetSetting(QStringLiteral("Connection"), QStringLiteral("BrowserAddress"),
                             QStringLiteral("255.255.255.255"))->Value().trimmed();
    const QString portText =
        settings->GetSetting(QStringLiteral("Connection"), QStringLiteral("BrowserPort"), QStringLiteral("1434"))
            ->Value().trimmed();
    bool portOk = false;
    const quint16 port = portText.toUShort(&portOk);
    const QHostAddress address(addressText);
    if (address.isNull() || !portOk || port == 0) {
        showSearchReport(QStringLiteral("Неверный адрес поиска серверов: «%1», порт «%2».").arg(addressText, portText));
        return;
    }

    // The browser may take its whole time limit to answer (a broadcast
    // always does): ask on a worker so the form stays responsive.
    SearchNetworkButton->setEnabled(false);
    SearchNetworkButton->setText(QStringLiteral("Поиск..."));
    auto result = std::make_shared<std::unique_ptr<TSQLServersList>>();
    FSearchThread.reset(QThread::create([search = SearchServers, address, port, result] {
        try {
            *result = search(address, port, browserTimeoutMs);
        } catch (...) {
            // The search is a convenience: a failure finds nothing.
        }
    }));
    connect(FSearchThread.get(), &QThread::finished, this, [this, result] { searchFinished(std::move(*result)); });
    FSearchThread->start();
}

void TServerChooseForm::searchFinished(std::unique_ptr<TSQLServersList> Found)
{
    SearchNetworkButton->setText(QStringLiteral("Найти в сети..."));
    SearchNetworkButton->setEnabled(true);
    int added = 0;
    if (Found) {
        for (TSQLServer *server : *Found) {
            if (server->Name.isEmpty()
                || ServersComboBoxEx->findText(server->Name, Qt::MatchFixedString | Qt::MatchCaseSensitive) >= 0)
                continue;
            ServersComboBoxEx->addItem(TreeViewImageList.value(2), server->Name);
            ServersComboBoxEx->setItemData(ServersComboBoxEx->count() - 1, server->Comment, Qt::ToolTipRole);
            ++added;
        }
    }
    const int answered = Found ? Found->Count() : 0;
    showSearchReport(answered == 0
                         ? QStringLiteral("Серверы в сети не найдены.")
                         : QStringLiteral("Ответили серверов: %1, добавлено в список: %2.").arg(answered).arg(added));
    if (OnSearchFinished)
        OnSearchFinished(this);
}

void TServerChooseForm::showSearchReport(const QString &Report)
{
    SearchNetworkButton->setStatusTip(Report);
    if (isVisible())
        QToolTip::showText(SearchNetworkButton->mapToGlobal(QPoint(0, SearchNetworkButton->height())), Report,
                           SearchNetworkButton);
}

QString TServerChooseForm::UserNameText() const
{
    return UserNameEdit->text();
}

void TServerChooseForm::SetUserNameText(const QString &Text)
{
    UserNameEdit->setText(Text);
}

QString TServerChooseForm::PasswordText() const
{
    return PasswordEdit->text();
}

void TServerChooseForm::SetPasswordText(const QString &Text)
{
    PasswordEdit->setText(Text);
}

TEncryption TServerChooseForm::EncryptionValue() const
{
    const int index = EncryptionComboBox->currentIndex();
    return index == int(TEncryption::No) ? TEncryption::No
           : index == int(TEncryption::Require) ? TEncryption::Require
                                                 : TEncryption::Request;
}

void TServerChooseForm::SetEncryptionValue(TEncryption Encryption)
{
    EncryptionComboBox->setCurrentIndex(int(Encryption));
}

bool TServerChooseForm::TrustServerCertificateValue() const
{
    return TrustServerCertificateCheckBox->isChecked();
}

void TServerChooseForm::SetTrustServerCertificateValue(bool Trust)
{
    TrustServerCertificateCheckBox->setChecked(Trust);
}

int TServerChooseForm::ServerItemIndex() const
{
    const int index = ServersComboBoxEx->currentIndex();
    const QString text = ServersComboBoxEx->currentText();
    if (index >= 0 && ServersComboBoxEx->itemText(index) == text)
        return index;
    // Text typed over the selection: it counts only when it names an item.
    return ServersComboBoxEx->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
}

void TServerChooseForm::SetServerItemIndex(int Index)
{
    ServersComboBoxEx->setCurrentIndex(Index >= 0 && Index < ServersComboBoxEx->count() ? Index : -1);
}

QString TServerChooseForm::ServerText() const
{
    return ServersComboBoxEx->currentText();
}

void TServerChooseForm::SetServers(const QStringList &Names)
{
    ServersComboBoxEx->clear();
    for (const QString &name : Names)
        ServersComboBoxEx->addItem(TreeViewImageList.value(2), name);
}

int TServerChooseForm::ShowWithUserName(const QString &UserName)
{
    SetUserNameText(UserName);
    if (ShowModal)
        return ShowModal(this);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    return exec();
}

// ---- TServerChooseDialog ----

TServerChooseDialog::TServerChooseDialog() : FForm(new TServerChooseForm) {}

TServerChooseDialog::~TServerChooseDialog()
{
    if (!FForm)
        return;
    if (!FKeepForm) {
        delete FForm.data();
        return;
    }
    // A kept form stays hidden until the end; only the latest one is kept,
    // so reconnecting again and again does not pile forms up.
    FForm->hide();
    QPointer<TServerChooseForm> &kept = keptForm();
    if (kept && kept != FForm)
        delete kept.data();
    kept = FForm;
}

bool TServerChooseDialog::Execute()
{
    FForm->SetUserNameText(FUserName);
    FForm->SetPasswordText(FPassword);
    FForm->SetServers(FServerNames);
    FForm->SetServerItemIndex(FServerIndex);
    FForm->SetEncryptionValue(FEncryption);
    FForm->SetTrustServerCertificateValue(FTrustServerCertificate);
    const int result = FForm->ShowWithUserName(FUserName);
    (void)UserName();
    (void)Password();
    (void)ServerIndex();
    (void)Encryption();
    (void)TrustServerCertificate();
    return result == QDialog::Accepted;
}

QString TServerChooseDialog::UserName()
{
    FUserName = FForm->UserNameText();
    return FUserName;
}

void TServerChooseDialog::SetUserName(const QString &Name)
{
    FUserName = Name;
    FForm->SetUserNameText(Name);
}

QString TServerChooseDialog::Password()
{
    FPassword = FForm->PasswordText();
    return FPassword;
}

int TServerChooseDialog::ServerIndex()
{
    const int index = FForm->ServerItemIndex();
    // Entries the network search added are not among ServerNames.
    FServerIndex = index < FServerNames.size() ? index : -1;
    return FServerIndex;
}

void TServerChooseDialog::SetServerIndex(int Index)
{
    FServerIndex = Index;
    FForm->SetServerItemIndex(Index);
}

void TServerChooseDialog::SetServerNames(const QStringList &Names)
{
    FServerNames = Names;
    FForm->SetServers(FServerNames);
}

TEncryption TServerChooseDialog::Encryption()
{
    FEncryption = FForm->EncryptionValue();
    return FEncryption;
}

void TServerChooseDialog::SetEncryption(TEncryption Encryption)
{
    FEncryption = Encryption;
    FForm->SetEncryptionValue(Encryption);
}

bool TServerChooseDialog::TrustServerCertificate()
{
    FTrustServerCertificate = FForm->TrustServerCertificateValue();
    return FTrustServerCertificate;
}

void TServerChooseDialog::SetTrustServerCertificate(bool Trust)
{
    FTrustServerCertificate = Trust;
    FForm->SetTrustServerCertificateValue(Trust);
}

QString TServerChooseDialog::ServerText() const
{
    return FForm->ServerText();
}

void FreeKeptServerChooseForm()
{
    delete keptForm().data();
}
