#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/Analytics.h"
#include "core/HistoryService.h"
#include "core/Settings.h"
#include "desktop/PanelHistory.h"
#include "core/tests/RecordingSinks.h"
#include "fakes/FakeSelectionAccess.h"
#include "fakes/FakeSpeechInput.h"
#include "fakes/FakeVoiceAuthorization.h"
#include "fakes/QueuedRequestExecutor.h"
#include "fakes/RecordingAlertPresenter.h"
#include "fakes/ScriptedAIService.h"
#include "panel/PanelModel.h"
#include "platform/fake/InMemoryUserDefaults.h"
#include "platform/fake/ManualMainLoop.h"

namespace panel::testing {

// Everything a PanelModel works with, as fakes: an in-memory store, a manual
// main loop, recording analytics, a scripted provider behind a queued
// worker, a fake selection, recogniser, authorisation and alert. Build the
// settings' state first, then call make().
struct PanelHarness {
    using RecordingSink = core::testing::RecordingAnalyticsSink;

    PanelHarness() { analytics.setSink(events); }

    PanelModel::Services services() {
        PanelModel::Services s;
        s.mainLoop = loop;
        s.executor = executor;
        s.selection = selection;
        s.voiceAuthorization = voice;
        s.makeSpeechInput = [this] {
            auto input = std::make_unique<FakeSpeechInput>();
            speech = input.get();
            return input;
        };
        s.makeAIService = [script = script](core::RequestSettings copy) {
            return std::make_unique<ScriptedAIService>(std::move(copy), script);
        };
        s.defaults = defaults;
        s.analytics = &analytics;
        s.telemetry = telemetry;
        s.alerts = alerts;
        return s;
    }

    // A panel as the window manager opens it: constant visibility, onSubmit
    // recorded, current while `current` is true.
    std::unique_ptr<PanelModel> make(bool startWithVoiceInput = false, bool startWithChat = false) {
        PanelModel::Options options;
        options.startWithVoiceInput = startWithVoiceInput;
        options.startWithChat = startWithChat;
        options.onSubmit = [this](const std::string& summary) { submitted.push_back(summary); };
        options.isCurrent = [this] { return current; };
        return std::make_unique<PanelModel>(settings(), history, std::move(options), services());
    }

    // Made on first use, so a test can store keys and a catalogue first.
    core::Settings& settings() {
        if (!settings_) settings_ = std::make_unique<core::Settings>(defaults, analytics);
        return *settings_;
    }

    // Runs every queued provider call, then what they posted back.
    void finishRequests() {
        executor->runAll();
        loop->runPending();
    }

    const std::vector<core::HistoryEntry>& entries() { return history->get().entries(); }

    std::vector<std::string> eventNames() const {
        std::vector<std::string> names;
        for (const auto& e : events->events) names.push_back(e.name);
        return names;
    }
    const core::testing::RecordedEvent* lastEvent(const std::string& name) const {
        for (auto it = events->events.rbegin(); it != events->events.rend(); ++it)
            if (it->name == name) return &*it;
        return nullptr;
    }

    std::shared_ptr<platform::ManualMainLoop> loop = std::make_shared<platform::ManualMainLoop>();
    std::shared_ptr<platform::InMemoryUserDefaults> defaults = std::make_shared<platform::InMemoryUserDefaults>();
    std::shared_ptr<RecordingSink> events = std::make_shared<RecordingSink>();
    core::Analytics analytics;
    std::shared_ptr<RecordingSink> telemetry = std::make_shared<RecordingSink>();
    // Every showing of one harness shares one history store (made when an
    // answer is first recorded, as in the program).
    std::shared_ptr<desktop::PanelHistory> history = std::make_shared<desktop::PanelHistory>(
        [defaults = defaults] { return std::make_unique<core::HistoryService>(defaults); });
    std::shared_ptr<QueuedRequestExecutor> executor = std::make_shared<QueuedRequestExecutor>();
    std::shared_ptr<FakeSelectionAccess> selection = std::make_shared<FakeSelectionAccess>();
    std::shared_ptr<FakeVoiceAuthorization> voice = std::make_shared<FakeVoiceAuthorization>();
    std::shared_ptr<RecordingAlertPresenter> alerts = std::make_shared<RecordingAlertPresenter>();
    std::shared_ptr<AIScript> script = std::make_shared<AIScript>();
    FakeSpeechInput* speech = nullptr;  // the last panel's recogniser, once made
    std::vector<std::string> submitted;
    bool current = true;

private:
    std::unique_ptr<core::Settings> settings_;
};

}  // namespace panel::testing
