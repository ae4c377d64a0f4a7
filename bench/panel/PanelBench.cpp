// One submission round of the panel as the main thread lives it: submit, the
// provider call handed to a worker of the program's executor, and the answer
// handled back on the main loop (the "model_used" event, a history entry
// added to a full 1000-entry history in the settings file, the paste on a
// fake, onSubmit), against a bare round trip to the same worker and back
// through the same Qt main loop. CPU time is the main thread's own; real time
// includes the wait for the worker.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "bench/common/FullHistory.h"
#include "core/Analytics.h"
#include "core/Settings.h"
#include "desktop/PanelHistory.h"
#include "panel/PanelModel.h"
#include "panel/PlatformRequestExecutor.h"
#include "panel/tests/fakes/FakeSelectionAccess.h"
#include "panel/tests/fakes/FakeSpeechInput.h"
#include "panel/tests/fakes/FakeVoiceAuthorization.h"
#include "platform/Executor.h"
#include "platform/LastActiveApplication.h"
#include "platform/fake/FakeHttpClient.h"
#include "platform/linux/JsonFileUserDefaults.h"
#include "platform/qt/QtMainLoop.h"

namespace {

// A provider that answers after `latency` with an answer of a realistic size.
class FixedAnswerService final : public core::AIService {
public:
    FixedAnswerService(core::RequestSettings settings, std::chrono::milliseconds latency)
        : AIService(std::move(settings), std::make_shared<platform::FakeHttpClient>()), latency_(latency) {}
    std::string sendMessage(const core::ModelInfo&, std::string_view, const std::optional<std::string>&,
                            const std::vector<core::ChatMessage>&) const override {
        static const std::string answer = bench::text(1700, 99);
        if (latency_.count() > 0) std::this_thread::sleep_for(latency_);
        return answer;
    }

private:
    std::chrono::milliseconds latency_;
};

struct NoSink final : platform::AnalyticsSink {
    void capture(const std::string&, const platform::AnalyticsProperties&) override {}
};

// The program's pieces, made once: the settings file with a full history,
// the executor, the main loop.
struct Program {
    Program() {
        store->setData(core::HistoryService::kStorageKey, bench::fullHistoryBytes());
        store->flush();
        settings.setOpenaiKey("sk-bench");
        platform::LastActiveApplication::set(platform::RunningApplicationInfo{"Text Editor", "org.example.editor"});
    }

    std::shared_ptr<desktop::PanelHistory> newHistory() {
        return std::make_shared<desktop::PanelHistory>(
            [store = store] { return std::make_unique<core::HistoryService>(store); });
    }

    panel::PanelModel::Services services(std::chrono::milliseconds providerLatency) {
        panel::PanelModel::Services s;
        s.mainLoop = loop;
        s.executor = requests;
        s.selection = selection;
        s.voiceAuthorization = std::make_shared<panel::testing::FakeVoiceAuthorization>();
        s.makeSpeechInput = [] { return std::make_unique<panel::testing::FakeSpeechInput>(); };
        s.makeAIService = [providerLatency](core::RequestSettings copy) {
            return std::make_unique<FixedAnswerService>(std::move(copy), providerLatency);
        };
        s.defaults = store;
        s.analytics = &analytics;
        s.telemetry = std::make_shared<NoSink>();
        return s;
    }

    bench::ScratchFolder folder;
    std::shared_ptr<platform::QtMainLoop> loop = std::make_shared<platform::QtMainLoop>();
    std::shared_ptr<platform::JsonFileUserDefaults> store =
        std::make_shared<platform::JsonFileUserDefaults>(folder.path() / "defaults.json");
    core::Analytics analytics;
    core::Settings settings{store, analytics};
    std::shared_ptr<platform::Executor> executor =
        std::make_shared<platform::Executor>(std::make_shared<platform::FakeHttpClient>());
    std::shared_ptr<panel::PlatformRequestExecutor> requests =
        std::make_shared<panel::PlatformRequestExecutor>(executor, loop);
    std::shared_ptr<panel::testing::FakeSelectionAccess> selection =
        std::make_shared<panel::testing::FakeSelectionAccess>();
};

// Made in main after the application object and gone before it.
Program* theProgram = nullptr;
Program& program() { return *theProgram; }

// One one-shot submission, from Return to onSubmit.
void submissionRounds(benchmark::State& state, bool historyOfItsOwn, std::chrono::milliseconds providerLatency) {
    Program& p = program();
    auto shared = p.newHistory();
    shared->get();  // a showing that answered before: its list is loaded
    for (auto _ : state) {
        state.PauseTiming();
        QEventLoop wait;
        bool done = false;
        panel::PanelModel::Options options;
        options.onSubmit = [&](const std::string&) {
            done = true;
            wait.quit();
        };
        auto panel = std::make_unique<panel::PanelModel>(p.settings, historyOfItsOwn ? p.newHistory() : shared,
                                                         options, p.services(providerLatency));
        panel->setText("Rewrite this paragraph in a friendlier tone, keep it short.");
        state.ResumeTiming();

        panel->submit();
        if (!done) wait.exec();

        state.PauseTiming();
        panel.reset();
        p.selection->pasted.clear();
        state.ResumeTiming();
    }
    p.store->flush();
}

// The provider answers at once; the showing's history is loaded already.
void BM_PanelSubmissionRound(benchmark::State& state) { submissionRounds(state, false, {}); }
BENCHMARK(BM_PanelSubmissionRound)->Unit(benchmark::kMillisecond);

// As the one answer of a one-shot showing: its history store is made now
// (on a worker, beside a provider call of 50 ms) and reads the stored list.
void BM_PanelSubmissionRound_FirstAnswerOfAShowing(benchmark::State& state) {
    submissionRounds(state, true, std::chrono::milliseconds(50));
}
BENCHMARK(BM_PanelSubmissionRound_FirstAnswerOfAShowing)->Unit(benchmark::kMillisecond);

// Baseline: an empty job posted to the same executor that posts back to the
// same main loop.
void BM_Baseline_PostToWorkerAndBack(benchmark::State& state) {
    Program& p = program();
    for (auto _ : state) {
        QEventLoop wait;
        bool done = false;
        p.requests->execute([&] {
            p.loop->post([&] {
                done = true;
                wait.quit();
            });
        });
        if (!done) wait.exec();
    }
}
BENCHMARK(BM_Baseline_PostToWorkerAndBack)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    QCoreApplication application(argc, argv);
    auto made = std::make_unique<Program>();
    theProgram = made.get();
    benchmark::RunSpecifiedBenchmarks();
    made.reset();
    benchmark::Shutdown();
    return 0;
}
