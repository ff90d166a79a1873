#include "DataFacade.h"
#include "TestServer.h"

#include <QTest>

class TestFacade : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() { QVERIFY(true); }
};

QTEST_GUILESS_MAIN(TestFacade)
#include "tst_facade.moc"
