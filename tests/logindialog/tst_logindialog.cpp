#include "Domain.h"
#include "ServerChooseDialog.h"
#include "SimpleSettingsManager.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <thread>

namespace {

template <typename T>
T *child(QWidget *form, const char *name)
{
    T *widget = form->findChild<T *>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no child %s", name);
    return widget;
}

// Runs Execute with the form shown (not modal) and Steps acting on it in
// place of the user; a form still open afterwards is cancelled.
bool executeWith(TServerChooseDialog &dialog, const std::function<void(TServerChooseForm *)> &steps)
{
    dialog.Form()->ShowModal = [&](TServerChooseForm *form) {
        form->show();
        form->activateWindow();
        if (!QTest::qWaitForWindowActive(form))
            qWarning("login form not active");
        steps(form);
        if (form->isVisible())
            form->reject();
        return form->result();
    };
    return dialog.Execute();
}

// The search the form is given in these tests: records the question and
// answers with fixed servers.
struct FakeSearch
{
    int calls = 0;
    QHostAddress address;
    quint16 port = 0;
    QStringList answer;

    TServerSearch function()
    {
        return [this](const QHostAddress &a, quint16 p, int) {
            ++calls;
            address = a;
            port = p;
            auto list = std::make_unique<TSQLServersList>();
            for (const QString &name : answer)
                list->Add(std::make_unique<TSQLServer>(name));
            return list;
        };
    }
};

// A SQL Server Browser on 127.0.0.1 that answers one question.
class FakeBrowser
{
public:
    FakeBrowser()
    {
        m_socket = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_socket, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        socklen_t len = sizeof addr;
        ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        timeval timeout{10, 0};
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        m_thread = std::thread([this] { answerOnce(); });
    }
    ~FakeBrowser()
    {
        m_thread.join();
        ::close(m_socket);
    }
    [[nodiscard]] quint16 port() const { return m_port; }
    QByteArray question;

private:
    void answerOnce()
    {
        char buffer[64];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n = ::recvfrom(m_socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from), &len);
        if (n <= 0)
            return;
        question = QByteArray(buffer, int(n));
        const QByteArray body("ServerName;DEMO;InstanceName;MSSQLSERVER;IsClustered;No;Version;8.00.194;tcp;14330;;");
        QByteArray reply;
        reply.append(char(0x05)).append(char(body.size() & 0xFF)).append(char(body.size() >> 8)).append(body);
        ::sendto(m_socket, reply.constData(), size_t(reply.size()), 0, reinterpret_cast<sockaddr *>(&from), len);
    }

    int m_socket = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};

} // namespace

class LoginDialogTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        // Save the previous test's store while its folder still exists.
        DestroySettingsManager();
        m_dir = std::make_unique<QTemporaryDir>();
        SettingsManager()->SetFileName(m_dir->filePath("Settings.ini"));
    }
    void cleanupTestCase() { DestroySettingsManager(); }

    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("server box") << "ServersComboBoxEx" << QRect(48, 24, 201, 22);
        QTest::newRow("user name") << "UserNameEdit" << QRect(48, 80, 201, 21);
        QTest::newRow("password") << "PasswordEdit" << QRect(48, 136, 201, 21);
        // The encryption choice sits under the password, under its caption; the buttons moved down for it.
        QTest::newRow("encryption") << "EncryptionComboBox" << QRect(8, 196, 241, 22);
        QTest::newRow("trust") << "TrustServerCertificateCheckBox" << QRect(8, 222, 241, 20);
        QTest::newRow("OK") << "BitBtnOK" << QRect(85, 255, 75, 25);
        QTest::newRow("cancel") << "BitBtn1" << QRect(173, 255, 75, 25);
        QTest::newRow("computer") << "Image3" << QRect(8, 18, 32, 32);
        QTest::newRow("persons") << "Image1" << QRect(8, 74, 32, 32);
        QTest::newRow("keys") << "Image2" << QRect(8, 130, 32, 41);
    }
    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        TServerChooseDialog dialog;
        TServerChooseForm *form = dialog.Form();
        QCOMPARE(form->findChild<QWidget *>(name)->geometry(), geometry);
        QCOMPARE(form->size(), QSize(257, 288));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QCOMPARE(form->windowTitle(), QStringLiteral("Регистрация пользователя"));
    }

    // No choice of the encryption box is cut short.
    void encryptionChoicesFit()
    {
        TServerChooseDialog dialog;
        auto *encryption = dialog.Form()->findChild<QComboBox *>("EncryptionComboBox");
        QVERIFY(encryption);
        encryption->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        QVERIFY2(encryption->sizeHint().width() <= encryption->width(),
                 qPrintable(QStringLiteral("needs %1 px, has %2").arg(encryption->sizeHint().width()).arg(encryption->width())));
    }

    void captionsAndPassword()
    {
        TServerChooseDialog dialog;
        TServerChooseForm *form = dialog.Form();
        QCOMPARE(child<QLabel>(form, "Label3")->text(), QStringLiteral("Сервер:"));
        QCOMPARE(child<QLabel>(form, "Label1")->text(), QStringLiteral("Пользователь:"));
        QCOMPARE(child<QLabel>(form, "Label2")->text(), QStringLiteral("Пароль:"));
        QCOMPARE(child<QPushButton>(form, "BitBtnOK")->text(), QStringLiteral("OK"));
        QCOMPARE(child<QPushButton>(form, "BitBtn1")->text(), QStringLiteral("Отмена"));
        auto *password = child<QLineEdit>(form, "PasswordEdit");
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QCOMPARE(password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, password), int('*'));
        QCOMPARE(form->TreeViewImageList.size(), 3);
        QCOMPARE(child<QLabel>(form, "EncryptionLabel")->text(), QStringLiteral("Шифрование:"));
        auto *encryption = child<QComboBox>(form, "EncryptionComboBox");
        QCOMPARE(encryption->count(), 3);
        QCOMPARE(encryption->itemText(0), QStringLiteral("нет"));
        QCOMPARE(encryption->itemText(1), QStringLiteral("если сервер поддерживает"));
        QCOMPARE(encryption->itemText(2), QStringLiteral("обязательно"));
        QVERIFY(!encryption->isEditable());
        // Nothing changes for whoever never touches it.
        QCOMPARE(encryption->currentIndex(), 1);
        QCOMPARE(child<QCheckBox>(form, "TrustServerCertificateCheckBox")->text(), QStringLiteral("Доверять сертификату сервера"));
        QVERIFY(!child<QCheckBox>(form, "TrustServerCertificateCheckBox")->isChecked());
    }

    void encryptionReadsBackLikeTheRest_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }
    void encryptionReadsBackLikeTheRest()
    {
        QFETCH(bool, confirm);
        TServerChooseDialog dialog;
        dialog.SetEncryption(TEncryption::No);
        dialog.SetTrustServerCertificate(true);
        executeWith(dialog, [&](TServerChooseForm *form) {
            QCOMPARE(child<QComboBox>(form, "EncryptionComboBox")->currentText(), QStringLiteral("нет"));
            QVERIFY(child<QCheckBox>(form, "TrustServerCertificateCheckBox")->isChecked());
            child<QComboBox>(form, "EncryptionComboBox")->setCurrentIndex(2);
            QTest::mouseClick(child<QCheckBox>(form, "TrustServerCertificateCheckBox"), Qt::LeftButton);
            QTest::mouseClick(child<QPushButton>(form, confirm ? "BitBtnOK" : "BitBtn1"), Qt::LeftButton);
        });
        QCOMPARE(dialog.Encryption(), TEncryption::Require);
        QVERIFY(!dialog.TrustServerCertificate());
        executeWith(dialog, [](TServerChooseForm *form) {
            QCOMPARE(child<QComboBox>(form, "EncryptionComboBox")->currentText(), QStringLiteral("обязательно"));
            QVERIFY(!child<QCheckBox>(form, "TrustServerCertificateCheckBox")->isChecked());
        });
    }

    void showClearsNotesFocusesLoginAndKeepsTabOrder()
    {
        TServerChooseDialog dialog;
        TServerChooseForm *form = dialog.Form();
        child<QLabel>(form, "LoginNotifyLabel")->setText("old note");
        child<QLabel>(form, "PasswordNotifyLabel")->setText("old note");
        QStringList chain;
        executeWith(dialog, [&](TServerChooseForm *f) {
            QCOMPARE(QApplication::focusWidget(), child<QWidget>(f, "UserNameEdit"));
            QWidget *w = QApplication::focusWidget();
            for (int i = 0; i < 5; ++i) {
                chain << w->objectName();
                QTest::keyClick(w, Qt::Key_Tab);
                w = QApplication::focusWidget();
            }
        });
        QVERIFY(child<QLabel>(form, "LoginNotifyLabel")->text().isEmpty());
        QVERIFY(child<QLabel>(form, "PasswordNotifyLabel")->text().isEmpty());
        QCOMPARE(chain, (QStringList{"UserNameEdit", "PasswordEdit", "BitBtnOK", "BitBtn1", "ServersComboBoxEx"}));
    }

    void shortcuts_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("Enter in password") << "PasswordEdit" << int(Qt::Key_Return) << true;
        QTest::newRow("keypad Enter in login") << "UserNameEdit" << int(Qt::Key_Enter) << true;
        QTest::newRow("Enter in server box") << "ServersComboBoxEx" << int(Qt::Key_Return) << true;
        QTest::newRow("Enter on cancel button") << "BitBtn1" << int(Qt::Key_Return) << true;
        QTest::newRow("Esc in login") << "UserNameEdit" << int(Qt::Key_Escape) << false;
        QTest::newRow("Esc in password") << "PasswordEdit" << int(Qt::Key_Escape) << false;
        QTest::newRow("Esc in server box") << "ServersComboBoxEx" << int(Qt::Key_Escape) << false;
        QTest::newRow("Esc on OK button") << "BitBtnOK" << int(Qt::Key_Escape) << false;
    }
    void shortcuts()
    {
        QFETCH(QString, widget);
        QFETCH(int, key);
        QFETCH(bool, accepted);
        TServerChooseDialog dialog;
        dialog.SetServerNames({"(local)", "db1"});
        bool closedByKey = false;
        const bool result = executeWith(dialog, [&](TServerChooseForm *form) {
            QWidget *target = form->findChild<QWidget *>(widget);
            target->setFocus();
            QTest::keyClick(target, Qt::Key(key));
            closedByKey = !form->isVisible();
        });
        QVERIFY(closedByKey);
        QCOMPARE(result, accepted);
    }

    void closeBoxCancels()
    {
        TServerChooseDialog dialog;
        QVERIFY(!executeWith(dialog, [](TServerChooseForm *form) {
            QVERIFY(form->close());
        }));
    }

    void readsBackWhateverTheResult_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }
    void readsBackWhateverTheResult()
    {
        QFETCH(bool, confirm);
        TServerChooseDialog dialog;
        dialog.SetUserName("sa");
        dialog.SetServerNames({"(local)", "db1", "db2"});
        const bool result = executeWith(dialog, [&](TServerChooseForm *form) {
            QCOMPARE(child<QLineEdit>(form, "UserNameEdit")->text(), QStringLiteral("sa"));
            QCOMPARE(child<QComboBox>(form, "ServersComboBoxEx")->currentIndex(), 0);
            child<QLineEdit>(form, "UserNameEdit")->setText("admin");
            QTest::keyClicks(child<QLineEdit>(form, "PasswordEdit"), "secret");
            child<QComboBox>(form, "ServersComboBoxEx")->setCurrentIndex(2);
            QTest::mouseClick(child<QPushButton>(form, confirm ? "BitBtnOK" : "BitBtn1"), Qt::LeftButton);
        });
        QCOMPARE(result, confirm);
        QCOMPARE(dialog.UserName(), QStringLiteral("admin"));
        QCOMPARE(dialog.Password(), QStringLiteral("secret"));
        QCOMPARE(dialog.ServerIndex(), 2);

        // The next showing starts as the user left it, password included.
        executeWith(dialog, [](TServerChooseForm *form) {
            QCOMPARE(child<QLineEdit>(form, "UserNameEdit")->text(), QStringLiteral("admin"));
            QCOMPARE(child<QLineEdit>(form, "PasswordEdit")->text(), QStringLiteral("secret"));
            QCOMPARE(child<QComboBox>(form, "ServersComboBoxEx")->currentIndex(), 2);
        });
    }

    void serverIndexBeforeNamesIsAppliedAtExecute()
    {
        TServerChooseDialog dialog;
        dialog.SetServerIndex(2);
        dialog.SetServerNames({"(local)", "db1", "db2"});
        QVERIFY(executeWith(dialog, [](TServerChooseForm *form) { form->OKAction->trigger(); }));
        QCOMPARE(dialog.ServerIndex(), 2);
    }

    void typedServerNames_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("index");
        QTest::newRow("names no entry") << QStringList{"(local)", "db1"} << "10.0.0.5,1433" << -1;
        QTest::newRow("names an entry") << QStringList{"(local)", "db1"} << "db1" << 1;
        QTest::newRow("differs in case") << QStringList{"(local)", "db1"} << "DB1" << -1;
        QTest::newRow("empty list") << QStringList{} << "" << -1;
    }
    void typedServerNames()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, typed);
        QFETCH(int, index);
        TServerChooseDialog dialog;
        dialog.SetServerNames(names);
        executeWith(dialog, [&](TServerChooseForm *form) {
            auto *box = child<QComboBox>(form, "ServersComboBoxEx");
            box->lineEdit()->selectAll();
            QTest::keyClicks(box->lineEdit(), typed);
            QTest::keyClick(box, Qt::Key_Return);
            QCOMPARE(box->count(), names.size());
        });
        QCOMPARE(dialog.ServerIndex(), index);
        QCOMPARE(dialog.ServerText(), typed);
    }

    void neverSearchesUnasked()
    {
        FakeSearch search;
        TServerChooseDialog dialog;
        dialog.Form()->SearchServers = search.function();
        dialog.SetServerNames({"(local)"});
        executeWith(dialog, [](TServerChooseForm *form) { QTest::keyClick(form, Qt::Key_Return); });
        executeWith(dialog, [](TServerChooseForm *) {});
        QCOMPARE(search.calls, 0);
    }

    void searchAsksTheConfiguredAddress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("expectedAddress");
        QTest::addColumn<int>("expectedPort");
        QTest::newRow("defaults: broadcast") << QString() << QString() << "255.255.255.255" << 1434;
        QTest::newRow("loopback") << "127.0.0.1" << "14340" << "127.0.0.1" << 14340;
    }
    void searchAsksTheConfiguredAddress()
    {
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(QString, expectedAddress);
        QFETCH(int, expectedPort);
        if (!address.isEmpty())
            SettingsManager()->SetSetting("Connection", "BrowserAddress", address);
        if (!port.isEmpty())
            SettingsManager()->SetSetting("Connection", "BrowserPort", port);
        FakeSearch search;
        search.answer = {"db1", "10.0.0.7,1433", "10.0.0.8,1433"};
        TServerChooseDialog dialog;
        dialog.Form()->SearchServers = search.function();
        dialog.SetServerNames({"(local)", "db1"});
        executeWith(dialog, [](TServerChooseForm *form) {
            QTest::mouseClick(child<QPushButton>(form, "SearchNetworkButton"), Qt::LeftButton);
            auto *box = child<QComboBox>(form, "ServersComboBoxEx");
            QTRY_COMPARE(box->count(), 4);
            QCOMPARE(box->itemText(2), QStringLiteral("10.0.0.7,1433"));
            QCOMPARE(box->itemText(3), QStringLiteral("10.0.0.8,1433"));
            box->setCurrentIndex(3);
            form->OKAction->trigger();
        });
        QCOMPARE(search.calls, 1);
        QCOMPARE(search.address, QHostAddress(expectedAddress));
        QCOMPARE(int(search.port), expectedPort);
        // A found server is offered like a typed name.
        QCOMPARE(dialog.ServerIndex(), -1);
        QCOMPARE(dialog.ServerText(), QStringLiteral("10.0.0.8,1433"));
        QCOMPARE(dialog.ServerNames(), (QStringList{"(local)", "db1"}));
    }

    void badSearchAddressAsksNobody()
    {
        SettingsManager()->SetSetting("Connection", "BrowserAddress", "not an address");
        FakeSearch search;
        TServerChooseDialog dialog;
        dialog.Form()->SearchServers = search.function();
        dialog.Form()->SearchNetworkButtonClick();
        QCOMPARE(search.calls, 0);
        QVERIFY(dialog.Form()->SearchNetworkButton->statusTip().contains("not an address"));
    }

    // The real search against a browser on loopback.
    void searchFindsALoopbackBrowser()
    {
        FakeBrowser browser;
        SettingsManager()->SetSetting("Connection", "BrowserAddress", "127.0.0.1");
        SettingsManager()->SetSetting("Connection", "BrowserPort", QString::number(browser.port()));
        TServerChooseDialog dialog;
        dialog.SetServerNames({"(local)"});
        dialog.Form()->SearchNetworkButtonClick();
        auto *box = dialog.Form()->ServersComboBoxEx;
        QTRY_COMPARE(box->count(), 2);
        QCOMPARE(box->itemText(1), QStringLiteral("127.0.0.1,14330"));
        QVERIFY(box->itemData(1, Qt::ToolTipRole).toString().contains("8.00.194"));
    }

    // The search runs on a worker: the form goes on while it waits, and the
    // button cannot start a second one meanwhile.
    void searchRunsAside()
    {
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        std::atomic<int> calls{0};
        TServerChooseDialog dialog;
        dialog.Form()->SearchServers = [&](const QHostAddress &, quint16, int) {
            ++calls;
            released.wait();
            auto list = std::make_unique<TSQLServersList>();
            list->Add(std::make_unique<TSQLServer>(QStringLiteral("10.0.0.9,1433")));
            return list;
        };
        int finished = 0;
        dialog.Form()->OnSearchFinished = [&](TServerChooseForm *) { ++finished; };
        QPushButton *button = dialog.Form()->SearchNetworkButton;
        dialog.Form()->SearchNetworkButtonClick();
        QVERIFY(!button->isEnabled());
        QCOMPARE(button->text(), QStringLiteral("Поиск..."));
        dialog.Form()->SearchNetworkButtonClick();
        QCOMPARE(dialog.Form()->ServersComboBoxEx->count(), 0);
        release.set_value();
        QTRY_COMPARE(finished, 1);
        QCOMPARE(calls.load(), 1);
        QVERIFY(button->isEnabled());
        QCOMPARE(button->text(), QStringLiteral("Найти в сети..."));
        QCOMPARE(dialog.Form()->ServersComboBoxEx->itemText(0), QStringLiteral("10.0.0.9,1433"));
    }

    void keptFormOutlivesItsWrapper()
    {
        QPointer<TServerChooseForm> dropped;
        {
            TServerChooseDialog dialog;
            dropped = dialog.Form();
        }
        QVERIFY(dropped.isNull());

        QPointer<TServerChooseForm> first;
        QPointer<TServerChooseForm> second;
        {
            TServerChooseDialog dialog;
            dialog.SetKeepForm(true);
            first = dialog.Form();
        }
        QVERIFY(!first.isNull());
        QVERIFY(!first->isVisible());
        {
            TServerChooseDialog dialog;
            dialog.SetKeepForm(true);
            second = dialog.Form();
        }
        QVERIFY(first.isNull());
        QVERIFY(!second.isNull());
        FreeKeptServerChooseForm();
        QVERIFY(second.isNull());
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(LoginDialogTest)
#include "tst_logindialog.moc"
