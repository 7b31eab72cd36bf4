#include "platform/Platform.h"

#include <QtTest>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

// The network question's fallback (the routing table) and what the program arranges for the engine.
class TestNetwork : public QObject
{
    Q_OBJECT
private slots:
    void defaultRoute_data();
    void defaultRoute();
    void prepareEmbeddedBrowser();
};

namespace {
const QByteArray kV4Heading =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
QByteArray v4(const char* iface, const char* dest, const char* flags, const char* mask)
{
    return QByteArray(iface) + '\t' + dest + "\t0101A8C0\t" + flags + "\t0\t0\t100\t" + mask + "\t0\t0\t0\n";
}
const QByteArray kAny6(32, '0');
QByteArray v6(const QByteArray& dest, const char* prefix, const char* flags, const char* dev)
{
    return dest + ' ' + prefix + ' ' + kAny6 +
           " 00 fe800000000000000000000000000001 00000400 00000001 00000000 " + flags + ' ' + dev + '\n';
}
} // namespace

void TestNetwork::defaultRoute_data()
{
    QTest::addColumn<QByteArray>("ipv4");
    QTest::addColumn<QByteArray>("ipv6");
    QTest::addColumn<bool>("connected");

    const QByteArray lan = v4("eth0", "0001A8C0", "0001", "00FFFFFF");
    QTest::newRow("no tables") << QByteArray() << QByteArray() << false;
    QTest::newRow("only the heading") << kV4Heading << QByteArray() << false;
    QTest::newRow("local network only") << kV4Heading + lan << QByteArray() << false;
    QTest::newRow("ipv4 default route via gateway")
        << kV4Heading + lan + v4("eth0", "00000000", "0003", "00000000") << QByteArray() << true;
    QTest::newRow("ipv4 default route on a point-to-point link")
        << kV4Heading + v4("ppp0", "00000000", "0001", "00000000") << QByteArray() << true;
    QTest::newRow("ipv4 default route that is down")
        << kV4Heading + v4("eth0", "00000000", "0002", "00000000") << QByteArray() << false;
    QTest::newRow("ipv4 unreachable default route")
        << kV4Heading + v4("eth0", "00000000", "0201", "00000000") << QByteArray() << false;
    QTest::newRow("destination zero but not a default mask")
        << kV4Heading + v4("eth0", "00000000", "0001", "000000FF") << QByteArray() << false;
    QTest::newRow("heading alone is never read as a route")
        << QByteArray("eth0\t00000000\t00000000\t0003\t0\t0\t0\t00000000\n") << QByteArray() << false;
    QTest::newRow("ipv6 default route") << kV4Heading << v6(kAny6, "00", "00000003", "eth0") << true;
    QTest::newRow("ipv6 kernel's unreachable route on lo")
        << kV4Heading << v6(kAny6, "00", "00200200", "lo") << false;
    QTest::newRow("ipv6 reject route on a device")
        << kV4Heading << v6(kAny6, "00", "00200201", "eth0") << false;
    QTest::newRow("ipv6 link-local only")
        << kV4Heading << v6("fe800000000000000000000000000000", "40", "00000001", "eth0") << false;
    QTest::newRow("garbage") << QByteArray("\x01\x02 zz\n\n") << QByteArray("not a table") << false;
}

void TestNetwork::defaultRoute()
{
    QFETCH(QByteArray, ipv4);
    QFETCH(QByteArray, ipv6);
    QFETCH(bool, connected);
    QCOMPARE(Platform::hasDefaultRoute(ipv4, ipv6), connected);
}

void TestNetwork::prepareEmbeddedBrowser()
{
    const QByteArray savedSandbox = qgetenv("QTWEBENGINE_DISABLE_SANDBOX");
    const QByteArray savedFlags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
#ifndef Q_OS_WIN
    qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    Platform::prepareEmbeddedBrowser();
    QCOMPARE(qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"), ::geteuid() == 0);
    // A value the user set is left alone.
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "0");
    Platform::prepareEmbeddedBrowser();
    QCOMPARE(qgetenv("QTWEBENGINE_DISABLE_SANDBOX"), QByteArray("0"));
#endif
    // The engine's language is added to the user's flags, once, and never replaces the user's choice.
    const QList<QPair<QByteArray, QByteArray>> cases = {
        {"", "--lang=zh-CN"},
        {"--disable-gpu", "--disable-gpu --lang=zh-CN"},
        {"--disable-gpu --lang=zh-CN", "--disable-gpu --lang=zh-CN"},
        {"--lang=en-US", "--lang=en-US"},
    };
    for (const auto& [given, expected] : cases) {
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", given);
        Platform::prepareEmbeddedBrowser();
        QCOMPARE(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), expected);
    }
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", savedSandbox);
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", savedFlags);
}

QTEST_GUILESS_MAIN(TestNetwork)
#include "tst_network.moc"
