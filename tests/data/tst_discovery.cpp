#include "DataFacade.h"
#include "TestServer.h"

#include <QTest>

class TestDiscovery : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() { QVERIFY(true); }
};

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
