// The connect flow from the main window's first show: the login dialog,
// retries with the error box, what is remembered, and the database list.
#include "WorkbenchFixture.h"

#include "Controller.h"
#include "DataFacade.h"
#include "Domain.h"
#include "MainForm.h"
#include "Model.h"
#include "ScriptManager.h"
#include "SimpleSettingsManager.h"
#include "TestServer.h"
#include "UiErrors.h"
#include "View.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QLabel>
#include <QTableView>
#include <QElapsedTimer>
#include <QtTest>

class TestConnect : public QObject
{
    Q_OBJECT

    TestServer m_server{QStringList{QStringLiteral("--demo")}};
    bool m_engine = false;

    static QString ReadFile(const QString &Path)
    {
        QFile file(Path);
        return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
    }

    static QString Setting(const QString &Path, const QString &Key)
    {
        // Read by hand: QSettings would take "host,port" for a list.
        const QStringList lines = ReadFile(Path).split(QStringLiteral("\r\n"));
        for (const QString &line : lines)
            if (line.startsWith(Key + QLatin1Char('=')))
                return line.mid(Key.size() + 1);
        return QStringLiteral("<missing>");
    }

    // Shows the window and answers the login dialog with the test server's login.
    bool logIn(WorkbenchFixture &fixture)
    {
        ModalScript login({LoginWith(m_server.dataSource(), QStringLiteral("sa"),
                                     QString::fromLatin1(TestServer::password))});
        fixture.Form().show();
        return login.Done();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_server.start(), qPrintable(m_server.errorText()));
        TDataAccessFacade facade;
        facade.SetDriver(QStringLiteral("FreeTDS"));
        facade.SetLogin(QString::fromLatin1(TestServer::login), QString::fromLatin1(TestServer::password));
        const TSQLServer server(m_server.dataSource());
        try {
            facade.SetServer(&server);
            m_engine = !facade.ExecuteScriptText(QStringLiteral("SELECT 1"), 10).HasErrors();
        } catch (const std::exception &) {
            m_engine = false;
        }
        QVERIFY2(m_engine, "the test server answers no query");
    }

    void firstStartCancelledEndsTheApplication()
    {
        WorkbenchFixture fixture;
        QString user = QStringLiteral("?"), server, password = QStringLiteral("?");
        ModalScript answers({CancelLogin(&user, &server, &password)});
        fixture.Form().show();
        QVERIFY(answers.Done());
        QCOMPARE(user, QString());
        QCOMPARE(password, QString());
        QCOMPARE(server, QStringLiteral("(local)"));
        QVERIFY(fixture.Form().TerminateRequested());
        fixture.TearDown();
        // Only the defaults read at start are written; no login was accepted.
        QCOMPARE(Setting(fixture.SettingsFile(), QStringLiteral("Login")), QString());
        QCOMPARE(Setting(fixture.SettingsFile(), QStringLiteral("ServerName")), QString());
    }

    void threeFailuresThenCancelWriteNothing()
    {
        WorkbenchFixture fixture;
        QStringList errors;
        const QString wrong = QStringLiteral("wrong-password");
        ModalScript answers({LoginWith(m_server.dataSource(), QStringLiteral("sa"), wrong), AcknowledgeError(&errors),
                             LoginWith(m_server.dataSource(), QStringLiteral("sa"), wrong), AcknowledgeError(&errors),
                             LoginWith(m_server.dataSource(), QStringLiteral("nobody"), wrong),
                             AcknowledgeError(&errors), CancelLogin()});
        fixture.Form().show();
        QVERIFY(answers.Done());
        QCOMPARE(errors.size(), 3);
        for (const QString &error : errors) {
            QVERIFY2(error.startsWith(QStringLiteral("Подключиться к серверу не удалось.|Ошибка подключения к серверу:\r\n«")),
                     qPrintable(error));
            QVERIFY(error.endsWith(QStringLiteral("».")));
        }
        QVERIFY(fixture.Form().TerminateRequested());
        fixture.TearDown();
        QCOMPARE(Setting(fixture.SettingsFile(), QStringLiteral("Login")), QString());
        QCOMPARE(Setting(fixture.SettingsFile(), QStringLiteral("ServerName")), QString());
    }

    void successRemembersLoginAndServerButNeverThePassword()
    {
        WorkbenchFixture fixture;
        QStringList errors;
        // A failed attempt first: the values of the successful one are kept.
        ModalScript answers({LoginWith(m_server.dataSource(), QStringLiteral("sa"), QStringLiteral("bad")),
                             AcknowledgeError(&errors),
                             LoginWith(m_server.dataSource(), QStringLiteral("sa"),
                                       QString::fromLatin1(TestServer::password))});
        fixture.Form().show();
        QVERIFY(answers.Done());
        QCOMPARE(errors.size(), 1);
        QVERIFY(!fixture.Form().TerminateRequested());
        QCOMPARE(fixture.Form().ServerLabel->text(), m_server.dataSource());
        QVERIFY(fixture.Form().DataBasesComboBoxEx->count() >= 2);
        QCOMPARE(fixture.Form().DataBasesComboBoxEx->currentIndex(), 0);
        fixture.TearDown();
        QCOMPARE(Setting(fixture.SettingsFile(), QStringLiteral("Login")), QStringLiteral("sa"));
        QCOMPARE(Setting(fixture.SettingsFile(), QStringLiteral("ServerName")), m_server.dataSource());
        QVERIFY(!ReadFile(fixture.SettingsFile()).contains(QString::fromLatin1(TestServer::password)));
    }

    // "Шифрование" and "Доверять сертификату сервера" go into the attempt
    // and, once it succeeds, into [Connection] with the login; the next
    // start shows them again.
    void encryptionChoiceIsUsedAndRemembered()
    {
        struct Seen
        {
            QString encryption;
            bool trust = false;
        };
        const auto answer = [this](int encryption, bool trust, Seen *seen) -> ModalScript::Handler {
            return [=, this](QWidget *dialog) {
                auto *box = dialog->findChild<QComboBox *>(QStringLiteral("EncryptionComboBox"));
                auto *check = dialog->findChild<QCheckBox *>(QStringLiteral("TrustServerCertificateCheckBox"));
                if (!box || !check)
                    qFatal("the login dialog has no encryption choice");
                if (seen) {
                    seen->encryption = box->currentText();
                    seen->trust = check->isChecked();
                }
                box->setCurrentIndex(encryption);
                check->setChecked(trust);
                auto *servers = dialog->findChild<QComboBox *>(QStringLiteral("ServersComboBoxEx"));
                servers->setEditText(m_server.dataSource());
                dialog->findChild<QLineEdit *>(QStringLiteral("UserNameEdit"))->setText(QStringLiteral("sa"));
                dialog->findChild<QLineEdit *>(QStringLiteral("PasswordEdit"))->setText(QString::fromLatin1(TestServer::password));
                dialog->findChild<QPushButton *>(QStringLiteral("BitBtnOK"))->click();
            };
        };
        QTemporaryDir appData;
        QString settingsFile;
        Seen first, second;
        {
            WorkbenchFixture fixture(appData.path());
            settingsFile = fixture.SettingsFile();
            QStringList errors;
            // The test server here has no certificate: "обязательно" is refused, "нет" goes through.
            ModalScript answers({answer(int(TEncryption::Require), true, &first), AcknowledgeError(&errors),
                                 answer(int(TEncryption::No), true, nullptr)});
            fixture.Form().show();
            QVERIFY(answers.Done());
            QCOMPARE(errors.size(), 1);
            QVERIFY2(errors.first().contains(QStringLiteral("Сервер не поддерживает шифрование")), qPrintable(errors.first()));
            QCOMPARE(DataAccessFacade()->Security().Encryption, TEncryption::No);
            fixture.TearDown();
        }
        QCOMPARE(first.encryption, QStringLiteral("если сервер поддерживает"));
        QVERIFY(!first.trust);
        QCOMPARE(Setting(settingsFile, QStringLiteral("Encrypt")), QStringLiteral("no"));
        QCOMPARE(Setting(settingsFile, QStringLiteral("TrustServerCertificate")), QStringLiteral("1"));
        {
            WorkbenchFixture fixture(appData.path());
            ModalScript answers({answer(int(TEncryption::Request), false, &second)});
            fixture.Form().show();
            QVERIFY(answers.Done());
            fixture.TearDown();
        }
        QCOMPARE(second.encryption, QStringLiteral("нет"));
        QVERIFY(second.trust);
        QCOMPARE(Setting(settingsFile, QStringLiteral("Encrypt")), QStringLiteral("request"));
        QCOMPARE(Setting(settingsFile, QStringLiteral("TrustServerCertificate")), QStringLiteral("0"));
    }

    void rememberedServerThatIsGoneSelectsLocal()
    {
        WorkbenchFixture fixture;
        QDir().mkpath(QFileInfo(fixture.SettingsFile()).path());
        QFile file(fixture.SettingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Connection]\r\nLogin=bob\r\nServerName=gone-server\r\n");
        file.close();
        QString user, server;
        ModalScript answers({CancelLogin(&user, &server)});
        fixture.Form().show();
        QVERIFY(answers.Done());
        QCOMPARE(user, QStringLiteral("bob"));
        QCOMPARE(server, QStringLiteral("(local)"));
    }

    // A server name typed into the box ("127.0.0.1,PORT") is in no list the
    // program finds; the next start offers it again, chosen.
    void typedServerIsPreselectedAfterARestart()
    {
        QTemporaryDir appData;
        QString settingsFile;
        {
            WorkbenchFixture first(appData.path());
            QString shown;
            ModalScript login({LoginWith(m_server.dataSource(), QStringLiteral("sa"),
                                         QString::fromLatin1(TestServer::password), nullptr, &shown)});
            first.Form().show();
            QVERIFY(login.Done());
            QCOMPARE(shown, QStringLiteral("(local)"));
            settingsFile = first.SettingsFile();
            first.TearDown();
        }
        QCOMPARE(Setting(settingsFile, QStringLiteral("TypedServerName")), m_server.dataSource());
        WorkbenchFixture second(appData.path());
        QString user, server;
        ModalScript answers({CancelLogin(&user, &server)});
        second.Form().show();
        QVERIFY(answers.Done());
        QCOMPARE(user, QStringLiteral("sa"));
        QCOMPARE(server, m_server.dataSource());
    }

    void databaseComboSwitchesTheConnectionAndFillingDoesNotCallBack()
    {
        WorkbenchFixture fixture;
        QVERIFY(logIn(fixture));
        QComboBox *combo = fixture.Form().DataBasesComboBoxEx;
        const int shop = combo->findText(QStringLiteral("Shop"));
        QVERIFY(shop > 0);
        TDataBaseList *dataBases = ScriptCreatorModel()->DataBases();
        QCOMPARE(DataAccessFacade()->GetDataBaseName(), dataBases->Items(0)->Name);

        combo->setCurrentIndex(shop); // the user's choice
        QCOMPARE(dataBases->ItemIndex(), shop);
        QCOMPARE(DataAccessFacade()->GetDataBaseName(), QStringLiteral("Shop"));

        // Refilling from the model selects its current database without
        // going back to the controller: the connection is not touched.
        const int opens = DataAccessFacade()->OpenCount();
        dataBases->SetItemIndex(0);
        DataBasesView().ShowDataBases(dataBases);
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(DataAccessFacade()->OpenCount(), opens);
        QCOMPARE(DataAccessFacade()->GetDataBaseName(), QStringLiteral("Shop"));
        QVERIFY(DataBasesView().ReactToChanges);
    }

    // A database without user tables must not keep offering the tables of
    // the database chosen before it.
    void tablesFollowTheCurrentDataBase()
    {
        WorkbenchFixture fixture;
        QVERIFY(logIn(fixture));
        QComboBox *combo = fixture.Form().DataBasesComboBoxEx;
        const int shop = combo->findText(QStringLiteral("Shop"));
        const int master = combo->findText(QStringLiteral("master"));
        QVERIFY(shop >= 0 && master >= 0);

        combo->setCurrentIndex(shop);
        ScriptCreationController().LoadTables();
        QVERIFY(ScriptCreatorModel()->Tables());
        QVERIFY(ScriptCreatorModel()->Tables()->Count() > 0);

        combo->setCurrentIndex(master);
        ScriptCreationController().LoadTables();
        QVERIFY(!ScriptCreatorModel()->Tables());
    }

    // Choosing another server, failing and cancelling must leave the
    // workbench on the connection it showed all along.
    void failedReconnectThenCancelKeepsTheConnection()
    {
        WorkbenchFixture fixture;
        QVERIFY(logIn(fixture));
        QComboBox *combo = fixture.Form().DataBasesComboBoxEx;
        combo->setCurrentIndex(combo->findText(QStringLiteral("Shop")));

        QStringList errors;
        ModalScript reconnect({LoginWith(m_server.dataSource(), QStringLiteral("sa"), QStringLiteral("bad")),
                               AcknowledgeError(&errors), CancelLogin()});
        fixture.Form().ConnectToServerAction->trigger();
        QVERIFY(reconnect.Done());
        QCOMPARE(errors.size(), 1);
        QCOMPARE(fixture.Form().ServerLabel->text(), m_server.dataSource());
        QCOMPARE(combo->currentText(), QStringLiteral("Shop"));

        ScriptManager()->AddScriptFromText(QStringLiteral("UPDATE Goods SET Price = Price WHERE Id = 1"));
        fixture.Form().ExecuteAction->trigger();
        QVERIFY(WaitForExecution());
        const QStringList lines = LogLines(fixture.Form());
        QVERIFY2(lines.size() == 1 && lines.first().endsWith(QStringLiteral("Одна строка изменина")),
                 qPrintable(lines.join(QLatin1Char('\n'))));
        QCOMPARE(DataAccessFacade()->GetDataBaseName(), QStringLiteral("Shop"));
    }

    // A result longer than the grid takes is cut short, and the log says so.
    void executeSaysWhenTheGridHoldsOnlyTheFirstRows()
    {
        WorkbenchFixture fixture;
        QVERIFY(logIn(fixture));
        QComboBox *combo = fixture.Form().DataBasesComboBoxEx;
        combo->setCurrentIndex(combo->findText(QStringLiteral("Shop")));
        ScriptManager()->AddScriptFromText(QStringLiteral("SELECT Id FROM Sales"));
        fixture.Form().ExecuteAction->trigger();
        QVERIFY(WaitForExecution());
        const int shown = fixture.Form().ResultDBGrid->model()->rowCount();
        QVERIFY(shown > 0 && shown < 100000);
        const QString notice = QStringLiteral("Показаны первые %1 строк из 100000.").arg(shown);
        QCOMPARE(LogLineColor(fixture.Form(), notice), QColor(0, 0, 255));
        QVERIFY(fixture.Form().ResultDBGrid->isVisible());
    }

    // USE in a script moves the session: the database box follows, and
    // choosing the old database again switches back to it.
    void databaseBoxFollowsUseInAScript()
    {
        WorkbenchFixture fixture;
        QVERIFY(logIn(fixture));
        QComboBox *combo = fixture.Form().DataBasesComboBoxEx;
        combo->setCurrentIndex(combo->findText(QStringLiteral("master")));
        QCOMPARE(DataAccessFacade()->GetDataBaseName(), QStringLiteral("master"));

        ScriptManager()->AddScriptFromText(QStringLiteral("USE Shop"));
        fixture.Form().ExecuteAction->trigger();
        QVERIFY(WaitForExecution());
        QCOMPARE(DataAccessFacade()->GetDataBaseName(), QStringLiteral("Shop"));
        QCOMPARE(combo->currentText(), QStringLiteral("Shop"));
        QCOMPARE(ScriptCreatorModel()->DataBases()->CurrentDataBase()->Name, QStringLiteral("Shop"));

        combo->setCurrentIndex(combo->findText(QStringLiteral("master")));
        QCOMPARE(DataAccessFacade()->GetDataBaseName(), QStringLiteral("master"));
    }

    // A server that stops answering (SIGSTOP) fails the catalogue reads and
    // the database switch with a Russian message after the time-outs, the
    // window waiting no longer; once it answers again, so does the workbench.
    void stalledServerIsReportedNotWaitedFor()
    {
        WorkbenchFixture fixture;
        QVERIFY(logIn(fixture));
        QComboBox *combo = fixture.Form().DataBasesComboBoxEx;
        combo->setCurrentIndex(combo->findText(QStringLiteral("Shop")));
        SettingsManager()->SetSetting(QStringLiteral("Connection"), QStringLiteral("QueryTimeout"), QStringLiteral("1"));
        DataAccessFacade()->SetLoginTimeout(2);
        QStringList errors;
        const TErrorDisplay previous = SetErrorDisplay([&errors](const QString &Message) { errors << Message; });
        struct Resume
        {
            TestServer &Server;
            TErrorDisplay Display;
            ~Resume()
            {
                Server.resume();
                SetErrorDisplay(Display);
            }
        } resume{m_server, previous};
        QVERIFY(m_server.suspend());

        QElapsedTimer timer;
        timer.start();
        QVERIFY_THROWS_EXCEPTION(EQueryTimeout, ScriptCreationController().LoadTables());
        combo->setCurrentIndex(combo->findText(QStringLiteral("master")));
        qInfo("two reads gave up after %lld ms", timer.elapsed());
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.at(0), QStringLiteral("Сервер не ответил на подключение за 2 с."));

        m_server.resume();
        combo->setCurrentIndex(combo->findText(QStringLiteral("Shop")));
        QCOMPARE(errors.size(), 1);
        QCOMPARE(DataAccessFacade()->GetDataBaseName(), QStringLiteral("Shop"));
        ScriptCreationController().LoadTables();
        QVERIFY(ScriptCreatorModel()->Tables());
    }

    void serverLabelActsAsALink()
    {
        WorkbenchFixture fixture;
        QLabel *label = fixture.Form().ServerLabel;
        QCOMPARE(label->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(label->toolTip(), QStringLiteral("Выбрать другой сервер"));
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(label, &enter);
        QVERIFY(label->font().underline());
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(label, &leave);
        QVERIFY(!label->font().underline());
        // A click runs the connect flow: its dialog opens (and is cancelled).
        ModalScript answers({CancelLogin()});
        QTest::mouseClick(label, Qt::LeftButton);
        QVERIFY(answers.Done());
    }
};

QTEST_MAIN(TestConnect)
#include "tst_connect.moc"
