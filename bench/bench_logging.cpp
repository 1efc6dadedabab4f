// Our log call and writer against spdlog doing the same work: an async logger on a daily file
// sink that flushes every message.
#include "LogUtil.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <spdlog/async.h>
#include <spdlog/sinks/daily_file_sink.h>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

// Bursts stay below spdlog's queue size (8192) so that both sides measure the call, not a full
// queue; the writers drain between bursts, outside the timing.
constexpr int burst = 4096;

// Runs one burst of calls, recording how long each one took.
template <typename Call> void timeBurst(std::vector<double> &ns, Call call)
{
    for (int i = 0; i < burst; ++i) {
        const auto t0 = Clock::now();
        call(i);
        ns.push_back(std::chrono::duration<double, std::nano>(Clock::now() - t0).count());
    }
}

void reportLatencies(benchmark::State &state, std::vector<double> &ns)
{
    std::sort(ns.begin(), ns.end());
    state.counters["median_ns"] = ns[ns.size() / 2];
    state.counters["p99_ns"] = ns[ns.size() * 99 / 100];
}

void BM_LogUtilCall(benchmark::State &state)
{
    LogUtil::init(5);
    std::vector<double> ns;
    ns.reserve(1 << 20);
    for (auto _ : state) {
        timeBurst(ns, [&](int i) { qInfo("lesson %d started for class %s", i, "demo-class"); });
        state.PauseTiming();
        LogUtil::release();
        LogUtil::init(5);
        state.ResumeTiming();
    }
    LogUtil::release();
    state.SetItemsProcessed(state.iterations() * burst);
    reportLatencies(state, ns);
}

void BM_SpdlogCall(benchmark::State &state)
{
    QTemporaryDir dir;
    std::vector<double> ns;
    ns.reserve(1 << 20);
    for (auto _ : state) {
        state.PauseTiming();
        spdlog::init_thread_pool(8192, 1);
        auto logger = spdlog::daily_logger_mt<spdlog::async_factory>(
            "bench", (dir.path() + QStringLiteral("/spd.log")).toStdString());
        logger->flush_on(spdlog::level::trace);
        state.ResumeTiming();
        timeBurst(ns,
                  [&](int i) { logger->info("lesson {} started for class {}", i, "demo-class"); });
        state.PauseTiming();
        spdlog::shutdown();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * burst);
    reportLatencies(state, ns);
}

// What Qt's message macros cost before any handler runs (printf-style formatting into a
// QString): the floor under every Qt log call.
void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}
void BM_QtMacroOnly(benchmark::State &state)
{
    const QtMessageHandler previous = qInstallMessageHandler(quiet);
    std::vector<double> ns;
    ns.reserve(1 << 20);
    for (auto _ : state) {
        timeBurst(ns, [&](int i) { qInfo("lesson %d started for class %s", i, "demo-class"); });
    }
    qInstallMessageHandler(previous);
    state.SetItemsProcessed(state.iterations() * burst);
    reportLatencies(state, ns);
}

// Sustained writing: from the first call until every line is on disk.
constexpr int sustained = 200000;

void BM_LogUtilWriter(benchmark::State &state)
{
    for (auto _ : state) {
        QDir(LogUtil::logDir()).removeRecursively();
        LogUtil::init(5);
        for (int i = 0; i < sustained; ++i) {
            qInfo("lesson %d started for class %s", i, "demo-class");
        }
        LogUtil::release();
    }
    state.SetItemsProcessed(state.iterations() * sustained);
}

void BM_SpdlogWriter(benchmark::State &state)
{
    QTemporaryDir dir;
    for (auto _ : state) {
        spdlog::init_thread_pool(8192, 1);
        auto logger = spdlog::daily_logger_mt<spdlog::async_factory>(
            "bench", (dir.path() + QStringLiteral("/spd.log")).toStdString());
        logger->flush_on(spdlog::level::trace);
        for (int i = 0; i < sustained; ++i) {
            logger->info("lesson {} started for class {}", i, "demo-class");
        }
        spdlog::shutdown();
    }
    state.SetItemsProcessed(state.iterations() * sustained);
}

BENCHMARK(BM_LogUtilCall)->Unit(benchmark::kMicrosecond)->Iterations(100);
BENCHMARK(BM_SpdlogCall)->Unit(benchmark::kMicrosecond)->Iterations(100);
BENCHMARK(BM_QtMacroOnly)->Unit(benchmark::kMicrosecond)->Iterations(100);
BENCHMARK(BM_LogUtilWriter)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_SpdlogWriter)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brimvale-bench"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
