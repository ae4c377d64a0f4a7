// The hand-off of a provider call to a worker thread and back, and the
// descriptions the panel shows for real provider failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "core/ProviderError.h"
#include "fakes/PanelHarness.h"
#include "panel/PlatformRequestExecutor.h"
#include "panel/ProviderRequest.h"
#include "platform/fake/FakeHttpClient.h"
#include "testsupport/LogCapture.h"

namespace panel {
namespace {

// A worker thread per job, joined when asked.
class ThreadPerJobExecutor final : public RequestExecutor {
public:
    explicit ThreadPerJobExecutor(std::shared_ptr<platform::HttpClient> transport = nullptr)
        : transport_(std::move(transport)) {}
    ~ThreadPerJobExecutor() override { join(); }
    void execute(std::function<void()> job) override { threads_.emplace_back(std::move(job)); }
    std::shared_ptr<platform::HttpClient> transport() const override { return transport_; }
    void join() {
        for (auto& t : threads_) t.join();
        threads_.clear();
    }

private:
    std::shared_ptr<platform::HttpClient> transport_;
    std::vector<std::thread> threads_;
};

// Notes the thread it answers and is destroyed on.
class ThreadNotingService final : public core::AIService {
public:
    ThreadNotingService(std::thread::id* calledOn, std::thread::id* destroyedOn)
        : AIService({}, std::make_shared<platform::FakeHttpClient>()), calledOn_(calledOn), destroyedOn_(destroyedOn) {}
    ~ThreadNotingService() override { *destroyedOn_ = std::this_thread::get_id(); }
    std::string sendMessage(const core::ModelInfo& model, std::string_view prompt, const std::optional<std::string>&,
                            const std::vector<core::ChatMessage>& history) const override {
        *calledOn_ = std::this_thread::get_id();
        return model.apiName + ":" + std::string(prompt) + ":" + std::to_string(history.size());
    }

private:
    std::thread::id* calledOn_;
    std::thread::id* destroyedOn_;
};

TEST(ProviderRequest, CallsOnTheWorkerAndAnswersOnTheMainLoop) {
    auto loop = std::make_shared<platform::ManualMainLoop>();
    ThreadPerJobExecutor executor;
    std::thread::id calledOn, destroyedOn, answeredOn;
    std::optional<ProviderRequest::Outcome> outcome;
    ProviderRequest::Call call{{"M", "m", true}, "p", "sel", {core::ChatMessage::make("x", core::MessageRole::user)}};
    auto panel = std::make_shared<int>();
    ProviderRequest::start(executor, panel, loop, std::make_unique<ThreadNotingService>(&calledOn, &destroyedOn), call,
                           [&](ProviderRequest::Outcome o) {
                               answeredOn = std::this_thread::get_id();
                               outcome = std::move(o);
                           });
    executor.join();
    EXPECT_FALSE(outcome);
    EXPECT_EQ(loop->runPending(), 1);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(std::get<std::string>(*outcome), "m:p:1");
    EXPECT_NE(calledOn, std::this_thread::get_id());
    EXPECT_EQ(destroyedOn, calledOn);
    EXPECT_EQ(answeredOn, std::this_thread::get_id());
}

TEST(ProviderRequest, EveryFailureBecomesItsUserFacingText) {
    auto script = std::make_shared<testing::AIScript>();
    const testing::ScriptedAIService service({}, script);
    const ProviderRequest::Call call{{"M", "m", true}, "p", std::nullopt, {}};
    script->fail(core::ProviderError("Claude", 401, "Invalid API key"));
    script->fail(std::runtime_error("plain"));
    script->fail(42);
    for (const char* expected : {"Invalid API key", "plain", "An unknown error occurred."}) {
        const auto outcome = ProviderRequest::run(service, call);
        ASSERT_TRUE(std::holds_alternative<ProviderRequest::Failure>(outcome));
        EXPECT_EQ(std::get<ProviderRequest::Failure>(outcome).description, expected);
    }
}

TEST(ProviderRequest, TheProgramsExecutorRunsCallsOnItsWorkersUntilItShutsDown) {
    auto executor = std::make_shared<platform::Executor>(std::make_shared<platform::FakeHttpClient>());
    PlatformRequestExecutor requests(executor, std::make_shared<platform::ManualMainLoop>());
    EXPECT_EQ(requests.transport(), executor->http());
    std::promise<std::thread::id> ranOn;
    requests.execute([&] { ranOn.set_value(std::this_thread::get_id()); });
    EXPECT_NE(ranOn.get_future().get(), std::this_thread::get_id());

    executor->shutdown();
    testsupport::LogCapture log;
    bool ran = false;
    requests.execute([&] { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_TRUE(log.contains("Provider call not started: the program is quitting"));
}

TEST(ProviderRequest, TheProgramRunsEightCallsAtOnceAndTheRestWaitUnlessTheirPanelOrTheProgramGoes) {
    auto loop = std::make_shared<platform::ManualMainLoop>();
    auto executor = std::make_shared<platform::Executor>(std::make_shared<platform::FakeHttpClient>());
    PlatformRequestExecutor requests(executor, loop);
    // Calls that hold their worker until the test lets them end.
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> started;
    int mayEnd = 0;
    const auto call = [&](int id, std::shared_ptr<int> held = nullptr) {
        return [&, id, held] {
            std::unique_lock lock(mutex);
            started.push_back(id);
            changed.notify_all();
            changed.wait(lock, [&] { return mayEnd > 0; });
            --mayEnd;
        };
    };
    const auto startedCount = [&] {
        std::lock_guard lock(mutex);
        return started.size();
    };
    const auto letEnd = [&](int count) {
        std::lock_guard lock(mutex);
        mayEnd += count;
        changed.notify_all();
    };
    // Whatever fails, no call is left waiting for the executor's shutdown.
    const std::shared_ptr<void> endAll(nullptr, [&](void*) {
        letEnd(1000);
        executor->shutdown();
    });
    // Runs the ends that the workers post until `done`; bounded, so a fault
    // fails instead of hanging.
    const auto serveUntil = [&](const std::function<bool()>& done) {
        for (int i = 0; i < 10000 && !done(); ++i) {
            loop->runPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    };

    auto panel = std::make_shared<int>();
    auto replaced = std::make_shared<int>();
    auto heldByDropped = std::make_shared<int>();
    const std::weak_ptr<int> dropped = heldByDropped;
    for (int id = 0; id < 8; ++id) requests.executeRequest(panel, call(id));
    ASSERT_TRUE(serveUntil([&] { return startedCount() == 8; }));
    requests.executeRequest(replaced, call(8, std::move(heldByDropped)));
    requests.executeRequest(panel, call(9));
    requests.execute([&] {  // not a provider call: never waits here
        std::lock_guard lock(mutex);
        started.push_back(100);
    });
    ASSERT_TRUE(serveUntil([&] { return startedCount() == 9; }));
    EXPECT_EQ(requests.runningRequests(), 8u);
    EXPECT_EQ(requests.waitingRequests(), 2u);

    // The replaced panel's call is let go, keys and all, and the next one
    // starts in the room an ended call leaves.
    replaced.reset();
    letEnd(1);
    ASSERT_TRUE(serveUntil([&] { return startedCount() == 10; }));
    EXPECT_EQ(std::count(started.begin(), started.end(), 9), 1);
    EXPECT_TRUE(dropped.expired());
    EXPECT_EQ(requests.waitingRequests(), 0u);

    // At quit the calls still waiting are dropped unrun.
    requests.executeRequest(panel, call(10));
    EXPECT_EQ(requests.waitingRequests(), 1u);
    letEnd(100);
    executor->shutdown();
    loop->runPending();
    EXPECT_EQ(requests.waitingRequests(), 0u);
    EXPECT_EQ(std::count(started.begin(), started.end(), 10), 0);
}

TEST(ProviderRequest, APanelOnRealThreadsLoadsItsHistoryOnAWorkerAndPastesOnTheMainThread) {
    testing::PanelHarness h;
    h.settings().setOpenaiKey("sk");
    std::thread::id loadedOn;
    auto history = std::make_shared<desktop::PanelHistory>([&] {
        loadedOn = std::this_thread::get_id();
        return std::make_unique<core::HistoryService>(h.defaults);
    });
    auto executor = std::make_shared<ThreadPerJobExecutor>();
    auto services = h.services();
    services.executor = executor;
    PanelModel panel(h.settings(), history, {}, services);
    panel.handleAppear();
    panel.setText("hello");
    panel.submit();
    executor->join();
    h.loop->runPending();

    EXPECT_NE(loadedOn, std::thread::id());
    EXPECT_NE(loadedOn, std::this_thread::get_id());
    ASSERT_EQ(history->get().entries().size(), 1u);
    EXPECT_EQ(history->get().entries()[0].input, "hello");
    EXPECT_EQ(h.selection->pasted, std::vector<std::string>{"answer"});
}

TEST(ProviderRequest, APanelOnARealThreadShowsAGeminiKeyRefusalInTheServicesOwnWords) {
    testing::PanelHarness h;
    auto http = std::make_shared<platform::FakeHttpClient>();
    http->enqueue(400, R"({"error":{"code":400,"message":"API key not valid. Please pass a valid API key.",)"
                       R"("status":"INVALID_ARGUMENT","details":[{"@type":"type.googleapis.com/google.rpc.ErrorInfo",)"
                       R"("reason":"API_KEY_INVALID","domain":"googleapis.com"}]}})",
                  {{"Content-Type", "application/json"}});
    // The program's own service, over the executor's transport.
    auto executor = std::make_shared<ThreadPerJobExecutor>(http);
    auto services = h.services();
    services.executor = executor;
    services.makeAIService = [transport = executor->transport()](core::RequestSettings copy) {
        return std::make_unique<core::AIService>(std::move(copy), transport);
    };
    h.settings().setGeminiKey("not-a-key");
    h.defaults->setString("last_selected_model", "Gemini 1.5 Flash");
    PanelModel panel(h.settings(), h.history, {}, services);
    panel.handleAppear();
    panel.setText("hello");
    panel.submit();
    executor->join();
    h.loop->runPending();

    ASSERT_EQ(http->requests().size(), 1u);
    EXPECT_NE(http->requests()[0].url.find("gemini-1.5-flash"), std::string::npos);
    EXPECT_EQ(panel.errorMessage(), "API key not valid. Please pass a valid API key.");
    EXPECT_FALSE(panel.isLoading());
}

}  // namespace
}  // namespace panel
