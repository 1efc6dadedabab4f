// The IM SDK's parts that face the outside on their own: user signatures (also those the class
// server's script makes), server addresses, the wire decoder under forged stanzas, the loopback
// file server, and the order of calls made from many threads.
#include "FileServer.h"
#include "Message.h"
#include "Sdk.h"
#include "UserSig.h"
#include "Xmpp.h"
#include "XmppWire.h"
#include "brv_im.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpSocket>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace {

const char *const muc = "conference.im.local";

struct Ctx
{
    Ctx() { xmpp_initialize(); }
    ~Ctx() { xmpp_ctx_free(ctx); }
    xmpp_ctx_t *ctx = xmpp_ctx_new(nullptr, nullptr);
    brvim::WireMessage decode(const std::string &xml)
    {
        xmpp_stanza_t *st = xmpp_stanza_new_from_string(ctx, xml.c_str());
        brvim::WireMessage w = brvim::decodeMessageStanza(ctx, st, muc);
        if (st)
            xmpp_stanza_release(st);
        return w;
    }
};

std::string groupStanza(const std::string &from, const std::string &body)
{
    return "<message type='groupchat' from='" + from +
           "'><brv xmlns='urn:brimvale:im:1' id='brv-1' rand='4294967295' ct='5'>" + body +
           "</brv><srv xmlns='urn:brimvale:im:1' ts='1700000000999' seq='12'/></message>";
}

QByteArray httpGet(int port, const QByteArray &request)
{
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    if (!s.waitForConnected(5000))
        return {};
    s.write(request);
    QByteArray out;
    while (s.waitForReadyRead(5000))
        out += s.readAll();
    return out;
}

} // namespace

class ImPartsTest : public QObject
{
    Q_OBJECT

private slots:
    void userSignatures()
    {
        const std::string key = brvim::demoUserSigKey();
        const int64_t now = brvim::nowSeconds();
        brvim::UserSigClaims c;
        const std::string good = brvim::signUserSig("u1", 60, key, now);
        QCOMPARE(brvim::judgeUserSig(good, key, "u1", 7, now, c), int(TIM_SUCC));
        QCOMPARE(brvim::judgeUserSig(good, key, "u2", 7, now, c), int(TIM_ERR_USERSIG_INVALID));
        QCOMPARE(brvim::judgeUserSig(good, key, "u1", 7, now + 61, c),
                 int(TIM_ERR_USERSIG_EXPIRED));
        QCOMPARE(brvim::judgeUserSig(good, "other-key-0123456789", "u1", 7, now, c),
                 int(TIM_ERR_USERSIG_INVALID));
        // An "app" claim binds the signature to that app.
        const std::string bound = brvim::signUserSig("u1", 60, key, now, 7);
        QCOMPARE(brvim::judgeUserSig(bound, key, "u1", 7, now, c), int(TIM_SUCC));
        QCOMPARE(brvim::judgeUserSig(bound, key, "u1", 8, now, c), int(TIM_ERR_USERSIG_INVALID));

        // A payload swapped under a good signature, "alg": "none", junk: all refused.
        const auto parts = QByteArray::fromStdString(good).split('.');
        const QByteArray other =
            QByteArray::fromStdString(brvim::signUserSig("admin", 60, "x", now)).split('.')[1];
        QCOMPARE(brvim::judgeUserSig((parts[0] + '.' + other + '.' + parts[2]).toStdString(), key,
                                     "admin", 7, now, c),
                 int(TIM_ERR_USERSIG_INVALID));
        const QByteArray none =
            QByteArray("{\"alg\":\"none\"}")
                .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
        QCOMPARE(
            brvim::judgeUserSig((none + '.' + parts[1] + '.').toStdString(), key, "u1", 7, now, c),
            int(TIM_ERR_USERSIG_INVALID));
        for (const char *junk : {"", ".", "..", "a.b.c", "a.b", "x.y.z.w"})
            QCOMPARE(brvim::judgeUserSig(junk, key, "u1", 7, now, c), int(TIM_ERR_USERSIG_INVALID));
    }

    void scriptSignaturesAreAccepted()
    {
        // The class server's script and the SDK must agree on the token, byte for byte.
        QProcess p;
        p.start(QStringLiteral(BRV_TEST_SOURCE_DIR "/scripts/class-servers.sh"),
                {QStringLiteral("sign"), QStringLiteral("学生01"), QStringLiteral("120")});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 0);
        const std::string token = p.readAllStandardOutput().trimmed().toStdString();
        brvim::UserSigClaims c;
        QCOMPARE(brvim::judgeUserSig(token, brvim::demoUserSigKey(), "学生01", 1400000001,
                                     brvim::nowSeconds(), c),
                 int(TIM_SUCC));
        QVERIFY(c.exp > brvim::nowSeconds() + 100 && c.exp <= brvim::nowSeconds() + 121);
    }

    void serverAddresses()
    {
        brvim::ServerAddress a;
        const std::string pin(64, 'a');
        QVERIFY(brvim::parseServerAddress("xmpp://127.0.0.1:5333/im.local?pin=sha256:" + pin, a));
        QCOMPARE(a.port, 5333);
        QCOMPARE(a.domain, std::string("im.local"));
        QCOMPARE(a.mucDomain, std::string("conference.im.local"));
        QCOMPARE(a.pinSha256, std::string(64, 'A'));
        QVERIFY(brvim::parseServerAddress(
            "xmpp://host/im.example?muc=rooms.example&cafile=%2Fetc%2Fca.pem", a));
        QCOMPARE(a.port, 5222);
        QCOMPARE(a.mucDomain, std::string("rooms.example"));
        QCOMPARE(a.caFile, std::string("/etc/ca.pem"));
        for (const char *bad : {"", "http://h/d", "xmpp://h", "xmpp://h/", "xmpp://h/a/b",
                                "xmpp://h/d?pin=md5:00", "xmpp://h/d?pin=sha256:00"})
            QVERIFY2(!brvim::parseServerAddress(bad, a), bad);
        std::unique_ptr<brvim::Sdk> sdk;
        QCOMPARE(brvim::Sdk::create(1, "{\"brv_server\":\"xmpp://\"}", sdk),
                 int(TIM_ERR_SERVER_ADDRESS));
        QCOMPARE(brvim::Sdk::create(1, "{", sdk), int(TIM_ERR_PARAM));
    }

    void wireRoundTripAndForgeries()
    {
        Ctx c;
        brvim::Message m;
        m.convType = TIM_CONV_GROUP;
        m.msgId = "brv-'\"<&>";
        m.rand = 77;
        m.clientTime = 123;
        const std::string bytes = "\x01\x02 \xE8\xAF\xBE </e> ]]> &amp;";
        m.elems.push_back(brvim::Element{TIM_ELEM_CUSTOM, bytes, "Chat'Msg", "ext"});
        m.elems.push_back(brvim::Element{TIM_ELEM_TEXT, "", "", ""});
        // What the server relays: our stanza with its stamp added.
        std::string xml = brvim::encodeMessageStanza(m, std::string("c1@") + muc);
        xml.replace(xml.find("type='groupchat'"), 16,
                    std::string("type='groupchat' from='c1@") + muc + "/bob'");
        xml.insert(xml.find("</message>"),
                   "<srv xmlns='urn:brimvale:im:1' ts='1700000000999' seq='12'/>");
        const brvim::WireMessage w = c.decode(xml);
        QCOMPARE(int(w.kind), int(brvim::WireKind::Group));
        QCOMPARE(w.msg.sender, std::string("bob"));
        QCOMPARE(w.room, std::string("c1"));
        QCOMPARE(w.msg.msgId, m.msgId);
        QCOMPARE(w.msg.seq, int64_t(12));
        QCOMPARE(w.msg.serverTime, int64_t(1700000000));
        QCOMPARE(w.msg.elems.size(), size_t(2));
        QCOMPARE(w.msg.elems[0].text, bytes);
        QCOMPARE(w.msg.elems[0].desc, std::string("Chat'Msg"));
        QCOMPARE(w.msg.elems[0].ext, std::string("ext"));

        // Ids as JID parts: lower-case ASCII only, reversible, malformed escapes refused.
        for (const std::string id : {"Teacher01", "王老师 a@b/c", "x_y", "a.b-c"}) {
            const std::string e = brvim::jidEscape(id);
            QVERIFY(std::all_of(e.begin(), e.end(), [](char ch) {
                return (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '.' ||
                       ch == '-' || ch == '_';
            }));
            QCOMPARE(brvim::jidUnescape(e), id);
        }
        for (const char *bad : {"_", "_4", "_zz", "a_4"})
            QVERIFY2(brvim::jidUnescape(bad).empty(), bad);

        const std::string body = "<e t='3' d='QQ=='>e30=</e>";
        // A random above the signed 32-bit range still reads as a valid one.
        QVERIFY(c.decode(groupStanza(std::string("c1@") + muc + "/bob", body)).msg.rand <=
                0x7fffffff);
        // Group messages from anywhere but the rooms, without a sender, with broken base64, an
        // unknown element type or no element: dropped.
        QCOMPARE(int(c.decode(groupStanza("c1@evil.example/bob", body)).kind),
                 int(brvim::WireKind::None));
        QCOMPARE(int(c.decode(groupStanza(std::string("c1@") + muc, body)).kind),
                 int(brvim::WireKind::None));
        QCOMPARE(
            int(c.decode(groupStanza(std::string("c1@") + muc + "/bob", "<e t='3'>@@@</e>")).kind),
            int(brvim::WireKind::None));
        QCOMPARE(
            int(c.decode(groupStanza(std::string("c1@") + muc + "/bob", "<e t='1'>e30=</e>")).kind),
            int(brvim::WireKind::None));
        QCOMPARE(int(c.decode(groupStanza(std::string("c1@") + muc + "/bob", "")).kind),
                 int(brvim::WireKind::None));
        // A receipt is believed only from the server itself, never from a user.
        const std::string ack =
            "<ack xmlns='urn:brimvale:im:1' id='brv-1' ts='1700000000000' seq='3'/></message>";
        QCOMPARE(int(c.decode("<message type='headline' from='im.local'>" + ack).kind),
                 int(brvim::WireKind::Ack));
        QCOMPARE(int(c.decode("<message type='headline' from='mallory@im.local/x'>" + ack).kind),
                 int(brvim::WireKind::None));
        QCOMPARE(int(c.decode("<message type='chat' from='im.local'>" + ack).kind),
                 int(brvim::WireKind::None));
    }

    void fileServer()
    {
        brvim::FileServer files;
        QVERIFY(files.start());
        const std::string url = files.publish("chat-r{1}.json", "application/json", "[1,2]");
        QVERIFY(url.rfind("http://127.0.0.1:", 0) == 0);
        const QByteArray path = QByteArray::fromStdString(url.substr(url.find('/', 8)));
        const QByteArray ok =
            httpGet(files.port(), "GET " + path + "?x=1 HTTP/1.1\r\nHost: a\r\n\r\n");
        QVERIFY(ok.startsWith("HTTP/1.1 200 OK"));
        QVERIFY(ok.contains("Access-Control-Allow-Origin: *"));
        QVERIFY(ok.endsWith("\r\n\r\n[1,2]"));
        QVERIFY(
            httpGet(files.port(), "GET /im/nothing HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 404"));
        QVERIFY(httpGet(files.port(), "DELETE " + path + " HTTP/1.1\r\n\r\n")
                    .startsWith("HTTP/1.1 400"));
        // A client that never finishes its request does not hold up the next one.
        QTcpSocket idle;
        idle.connectToHost(QStringLiteral("127.0.0.1"), quint16(files.port()));
        QVERIFY(idle.waitForConnected(5000));
        idle.write("GET / HTT");
        QVERIFY(
            httpGet(files.port(), "HEAD " + path + " HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 200"));
        // Only the newest few hundred files are kept.
        for (int i = 0; i < 300; ++i)
            files.publish("f.json", "application/json", "{}");
        QVERIFY(
            httpGet(files.port(), "GET " + path + " HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 404"));
    }

    void callsFromManyThreadsKeepTheirOrder()
    {
        // Embedded mode: four threads send to a second instance; each thread's messages arrive in
        // the order that thread sent them.
        std::unique_ptr<brvim::Sdk> a, b;
        QCOMPARE(brvim::Sdk::create(1, "{}", a), 0);
        QCOMPARE(brvim::Sdk::create(1, "{}", b), 0);
        struct Got
        {
            std::mutex m;
            std::vector<std::string> data;
        } got;
        b->addRecv(
            [](const char *json, const void *ud) {
                auto *g = static_cast<Got *>(const_cast<void *>(ud));
                const QJsonArray arr = QJsonDocument::fromJson(QByteArray(json)).array();
                std::lock_guard<std::mutex> lock(g->m);
                for (const auto &v : arr)
                    g->data.push_back(v.toObject()[QStringLiteral("message_elem_array")]
                                          .toArray()[0]
                                          .toObject()[QStringLiteral("custom_elem_data")]
                                          .toString()
                                          .toStdString());
            },
            &got);
        std::atomic<int> ready{0};
        auto done = [](int code, const char *, const char *, const void *ud) {
            if (code == 0)
                ++*static_cast<std::atomic<int> *>(const_cast<void *>(ud));
        };
        const int64_t now = brvim::nowSeconds();
        const std::string key = brvim::demoUserSigKey();
        QCOMPARE(
            a->login("ordera", brvim::signUserSig("ordera", 60, key, now).c_str(), done, &ready),
            0);
        QCOMPARE(
            b->login("orderb", brvim::signUserSig("orderb", 60, key, now).c_str(), done, &ready),
            0);
        QTRY_COMPARE(ready.load(), 2);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&a, t] {
                for (int i = 0; i < 250; ++i) {
                    const std::string data = std::to_string(t) + ":" + std::to_string(i);
                    const std::string json =
                        "{\"message_elem_array\":[{\"elem_type\":3,\"custom_elem_data\":\"" + data +
                        "\"}]}";
                    a->send("orderb", TIM_CONV_C2C, json.c_str(), nullptr, nullptr, nullptr);
                }
            });
        for (auto &th : threads)
            th.join();
        QTRY_COMPARE_WITH_TIMEOUT(
            [&] {
                std::lock_guard<std::mutex> lock(got.m);
                return got.data.size();
            }(),
            size_t(1000), 10000);
        int next[4] = {0, 0, 0, 0};
        std::lock_guard<std::mutex> lock(got.m);
        for (const std::string &d : got.data) {
            const int t = d[0] - '0';
            QCOMPARE(d, std::to_string(t) + ":" + std::to_string(next[t]++));
        }
    }
};

QTEST_GUILESS_MAIN(ImPartsTest)
#include "tst_imparts.moc"
