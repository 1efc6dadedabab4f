// The event bus from publisher to slot across threads, against a bare queued
// QMetaObject::invokeMethod carrying the same string.
#include "GlobalSignal.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>

#include <benchmark/benchmark.h>

namespace {
class Sink : public QObject
{
    Q_OBJECT

public:
    QSemaphore done;
    int expected = 0;
    int seen = 0;

public slots:
    void slotEvent(const QString &payload)
    {
        benchmark::DoNotOptimize(payload.size());
        if (++seen == expected) {
            seen = 0;
            done.release();
        }
    }
};

constexpr int batch = 10000;
const QString payload = QStringLiteral("{\"cmd\":\"pb_camera_rotate_90\",\"userId\":\"u123456\"}");

struct Fixture {
    QThread thread;
    Sink *sink = new Sink;
    Fixture()
    {
        sink->expected = batch;
        sink->moveToThread(&thread);
        thread.start();
    }
    ~Fixture()
    {
        QMetaObject::invokeMethod(sink, [this]() { delete sink; }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    }
};

void BM_GlobalSignalNotify(benchmark::State &state)
{
    Fixture f;
    GlobalSignal::Instance()->add(QStringLiteral("Signal_Bench"), f.sink, SLOT(slotEvent(QString)));
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i) {
            GlobalSignal::Instance()->notify(QStringLiteral("Signal_Bench"), payload);
        }
        f.sink->done.acquire();
    }
    GlobalSignal::Instance()->removeAll(f.sink);
    state.SetItemsProcessed(state.iterations() * batch);
}

void BM_QueuedInvokeMethod(benchmark::State &state)
{
    Fixture f;
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i) {
            QMetaObject::invokeMethod(f.sink, "slotEvent", Qt::QueuedConnection,
                                      Q_ARG(QString, payload));
        }
        f.sink->done.acquire();
    }
    state.SetItemsProcessed(state.iterations() * batch);
}

BENCHMARK(BM_GlobalSignalNotify)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_QueuedInvokeMethod)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

#include "bench_eventbus.moc"
