#include "GlobalSignal.h"

#include "LogCapture.h"

#include <QMutexLocker>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <QtTest>

#include <atomic>

// Reads the bus's tables; the bus names this class its friend.
class GlobalSignalInspector
{
public:
    static int registrations()
    {
        GlobalSignal *bus = GlobalSignal::Instance();
        QMutexLocker locker(&bus->mutex);
        return bus->registrations.size();
    }
    static int indexedReceivers()
    {
        GlobalSignal *bus = GlobalSignal::Instance();
        QMutexLocker locker(&bus->mutex);
        return bus->receiverIndex.size();
    }
    static int operations()
    {
        GlobalSignal *bus = GlobalSignal::Instance();
        QMutexLocker locker(&bus->mutex);
        return bus->operationCount;
    }
};

class Receiver : public QObject
{
    Q_OBJECT

public:
    explicit Receiver(const QString &tag = QString()) : tag(tag) {}

    struct Delivery {
        QString tag;
        QString payload;
        QThread *thread;
    };

    QList<Delivery> received() const
    {
        QMutexLocker locker(&mutex);
        return deliveries;
    }
    int count() const
    {
        QMutexLocker locker(&mutex);
        return deliveries.size();
    }

    // Everything that reached any receiver, in the order it arrived.
    static QStringList &arrivalOrder()
    {
        static QStringList order;
        return order;
    }

public slots:
    void slotEvent(const QString &payload)
    {
        QMutexLocker locker(&mutex);
        deliveries.append({tag, payload, QThread::currentThread()});
        if (QThread::currentThread() == qApp->thread()) {
            arrivalOrder().append(tag);
        }
    }
    void slotOther(const QString &payload) { slotEvent(QStringLiteral("other:") + payload); }

private:
    QString tag;
    mutable QMutex mutex;
    QList<Delivery> deliveries;
};

class TestGlobalSignal : public QObject
{
    Q_OBJECT

private slots:
    void init() { Receiver::arrivalOrder().clear(); }

    void invalidArgumentsAreRefusedWithoutCounting()
    {
        LogCapture capture;
        Receiver r;
        const int before = GlobalSignalInspector::operations();
        QVERIFY(!GlobalSignal::Instance()->add(QStringLiteral("X"), nullptr, SLOT(slotEvent(QString))));
        QVERIFY(!GlobalSignal::Instance()->add(QStringLiteral("X"), &r, nullptr));
        QCOMPARE(GlobalSignalInspector::operations(), before);
        QCOMPARE(capture.messages().count(QStringLiteral("GlobalSignal::add: Invalid receiver or method")), 2);
        QVERIFY(!GlobalSignal::Instance()->hasListener(QStringLiteral("X")));
    }

    void oneRegistrationPerReceiverAndName()
    {
        LogCapture capture;
        Receiver r;
        GlobalSignal *bus = GlobalSignal::Instance();
        QVERIFY(bus->add(QStringLiteral("Dup"), &r, SLOT(slotEvent(QString))));
        QVERIFY(!bus->add(QStringLiteral("Dup"), &r, SLOT(slotOther(QString))));
        QVERIFY(capture.contains(
            QStringLiteral("GlobalSignal::add: Connection already exists for signal: \"Dup\"")));
        bus->notify(QStringLiteral("Dup"), QStringLiteral("p"));
        QTRY_COMPARE(r.count(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(r.received().first().payload, QStringLiteral("p"));
        bus->removeAll(&r);
    }

    void unknownMethodLeavesNoRegistration()
    {
        LogCapture capture;
        Receiver r;
        const int before = GlobalSignalInspector::registrations();
        QVERIFY(!GlobalSignal::Instance()->add(QStringLiteral("Nope"), &r, SLOT(noSuchSlot(QString))));
        QVERIFY(capture.contains(QStringLiteral("GlobalSignal::add: Failed to connect signal: \"Nope\"")));
        QVERIFY(!GlobalSignal::Instance()->hasListener(QStringLiteral("Nope")));
        QCOMPARE(GlobalSignalInspector::registrations(), before);
    }

    void deliveryIsQueuedAndNewestFirst()
    {
        Receiver first(QStringLiteral("first"));
        Receiver second(QStringLiteral("second"));
        GlobalSignal *bus = GlobalSignal::Instance();
        QVERIFY(bus->add(QStringLiteral("Order"), &first, SLOT(slotEvent(QString))));
        QVERIFY(bus->add(QStringLiteral("Order"), &second, SLOT(slotEvent(QString))));
        bus->notify(QStringLiteral("Order"), QStringLiteral("one"));
        // Nothing runs inside the publishing call, even in the receivers' own thread.
        QCOMPARE(first.count() + second.count(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(first.count(), 1);
        QCOMPARE(second.count(), 1);
        QCOMPARE(Receiver::arrivalOrder(), (QStringList{QStringLiteral("second"), QStringLiteral("first")}));
        bus->removeAll(&first);
        bus->removeAll(&second);
    }

    void payloadOverloads()
    {
        Receiver r;
        GlobalSignal *bus = GlobalSignal::Instance();
        QVERIFY(bus->add(QStringLiteral("Payload"), &r, SLOT(slotEvent(QString))));
        bus->notify(QStringLiteral("Payload"));
        QJsonObject obj{{QStringLiteral("subDlgId"), QString()},
                        {QStringLiteral("closeMsg"), QStringLiteral("bye now")},
                        {QStringLiteral("n"), 2}};
        bus->notify(QStringLiteral("Payload"), obj);
        QTRY_COMPARE(r.count(), 2);
        QCOMPARE(r.received().at(0).payload, QString());
        QCOMPARE(r.received().at(1).payload, QStringLiteral("{\"closeMsg\":\"bye now\",\"n\":2}"));
        bus->remove(QStringLiteral("Payload"), &r);
    }

    void removeAndHasListener()
    {
        Receiver a;
        Receiver b;
        GlobalSignal *bus = GlobalSignal::Instance();
        QVERIFY(!bus->hasListener(QStringLiteral("L")));
        QVERIFY(bus->add(QStringLiteral("L"), &a, SLOT(slotEvent(QString))));
        QVERIFY(bus->add(QStringLiteral("L"), &b, SLOT(slotEvent(QString))));
        QVERIFY(bus->add(QStringLiteral("M"), &a, SLOT(slotEvent(QString))));
        QVERIFY(bus->hasListener(QStringLiteral("L")));
        bus->remove(QStringLiteral("Unknown"), &a);
        bus->remove(QStringLiteral("L"), nullptr);
        bus->remove(QStringLiteral("L"), &a);
        QVERIFY(bus->hasListener(QStringLiteral("L")));
        bus->notify(QStringLiteral("L"), QStringLiteral("x"));
        bus->notify(QStringLiteral("M"), QStringLiteral("y"));
        QTRY_COMPARE(b.count(), 1);
        QTRY_COMPARE(a.count(), 1);
        QCOMPARE(a.received().first().payload, QStringLiteral("y"));
        bus->remove(QStringLiteral("L"), &b);
        QVERIFY(!bus->hasListener(QStringLiteral("L")));
        bus->removeAll(&a);
        QVERIFY(!bus->hasListener(QStringLiteral("M")));
        bus->removeAll(nullptr);
    }

    void acrossThreads()
    {
        // One receiver on the GUI thread, one on a worker thread with its own event loop; the
        // publisher runs on the global thread pool.
        QThread worker;
        worker.start();
        Receiver gui(QStringLiteral("gui"));
        auto *remote = new Receiver(QStringLiteral("worker"));
        remote->moveToThread(&worker);
        GlobalSignal *bus = GlobalSignal::Instance();
        QVERIFY(bus->add(QStringLiteral("Cross"), &gui, SLOT(slotEvent(QString))));
        QVERIFY(bus->add(QStringLiteral("Cross"), remote, SLOT(slotEvent(QString))));

        const int messages = 500;
        QThreadPool::globalInstance()->start([&]() {
            for (int i = 0; i < messages; ++i) {
                bus->notify(QStringLiteral("Cross"), QString::number(i));
            }
        });
        QThreadPool::globalInstance()->waitForDone();
        QTRY_COMPARE(gui.count(), messages);
        QTRY_COMPARE(remote->count(), messages);

        const auto guiDeliveries = gui.received();
        const auto remoteDeliveries = remote->received();
        for (int i = 0; i < messages; ++i) {
            QCOMPARE(guiDeliveries.at(i).payload, QString::number(i));
            QCOMPARE(guiDeliveries.at(i).thread, qApp->thread());
            QCOMPARE(remoteDeliveries.at(i).payload, QString::number(i));
            QCOMPARE(remoteDeliveries.at(i).thread, &worker);
        }

        bus->removeAll(&gui);
        // Destroyed in its own thread: its registrations go with it.
        QMetaObject::invokeMethod(remote, [remote]() { delete remote; }, Qt::BlockingQueuedConnection);
        QVERIFY(!bus->hasListener(QStringLiteral("Cross")));
        worker.quit();
        worker.wait();
    }

    void destroyedReceiverLeavesNothingBehind()
    {
        GlobalSignal *bus = GlobalSignal::Instance();
        const int registrationsBefore = GlobalSignalInspector::registrations();
        const int receiversBefore = GlobalSignalInspector::indexedReceivers();
        Receiver survivor;
        QVERIFY(bus->add(QStringLiteral("Gone"), &survivor, SLOT(slotEvent(QString))));
        {
            Receiver doomed;
            QVERIFY(bus->add(QStringLiteral("Gone"), &doomed, SLOT(slotEvent(QString))));
            QVERIFY(bus->add(QStringLiteral("Gone2"), &doomed, SLOT(slotEvent(QString))));
            bus->notify(QStringLiteral("Gone"), QStringLiteral("pending"));
            // doomed dies with an event still posted to it.
        }
        QCoreApplication::processEvents();
        QCOMPARE(survivor.count(), 1);
        QVERIFY(!bus->hasListener(QStringLiteral("Gone2")));

        // Keep the bus busy past a clean-up round.
        for (int i = 0; i < 120; ++i) {
            bus->notify(QStringLiteral("Unheard"));
        }
        QVERIFY(GlobalSignalInspector::operations() < 100);
        QCOMPARE(GlobalSignalInspector::registrations(), registrationsBefore + 1);
        QCOMPARE(GlobalSignalInspector::indexedReceivers(), receiversBefore + 1);
        bus->removeAll(&survivor);
        QCOMPARE(GlobalSignalInspector::registrations(), registrationsBefore);
        QCOMPARE(GlobalSignalInspector::indexedReceivers(), receiversBefore);
    }

    void concurrentPublishersAndSubscribers()
    {
        // Many threads adding, notifying and removing at once must neither deadlock nor lose a
        // delivery to a receiver that stays registered.
        GlobalSignal *bus = GlobalSignal::Instance();
        Receiver steady;
        QVERIFY(bus->add(QStringLiteral("Busy"), &steady, SLOT(slotEvent(QString))));
        const int threads = 4;
        const int rounds = 200;
        QThreadPool pool;
        pool.setMaxThreadCount(threads);
        for (int t = 0; t < threads; ++t) {
            pool.start([bus]() {
                for (int i = 0; i < rounds; ++i) {
                    Receiver transient;
                    bus->add(QStringLiteral("Busy"), &transient, SLOT(slotEvent(QString)));
                    bus->notify(QStringLiteral("Busy"), QString::number(i));
                    if (i % 2) {
                        bus->remove(QStringLiteral("Busy"), &transient);
                    }
                }
            });
        }
        pool.waitForDone();
        QTRY_COMPARE(steady.count(), threads * rounds);
        bus->removeAll(&steady);
        QVERIFY(!bus->hasListener(QStringLiteral("Busy")));
    }
};

QTEST_MAIN(TestGlobalSignal)
#include "tst_globalsignal.moc"
