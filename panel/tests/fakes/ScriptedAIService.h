#pragma once

#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/AIService.h"
#include "platform/fake/FakeHttpClient.h"

namespace panel::testing {

// What the scripted services answer, in order, and what they were asked.
// Shared by every service one factory makes; safe from worker threads.
struct AIScript {
    struct Call {
        core::ModelInfo model;
        std::string prompt;
        std::optional<std::string> selectedText;
        std::vector<core::ChatMessage> history;
        core::RequestSettings settings;
    };

    void answer(std::string text) {
        std::lock_guard lock(mutex);
        outcomes.emplace_back(std::move(text));
    }
    template <class E>
    void fail(E error) {
        std::lock_guard lock(mutex);
        outcomes.emplace_back(std::make_exception_ptr(std::move(error)));
    }
    std::vector<Call> calls() const {
        std::lock_guard lock(mutex);
        return recorded;
    }

    mutable std::mutex mutex;
    std::deque<std::variant<std::string, std::exception_ptr>> outcomes;
    std::vector<Call> recorded;
};

// An AIService that answers from the script instead of the network; with
// nothing scripted it answers "answer".
class ScriptedAIService final : public core::AIService {
public:
    ScriptedAIService(core::RequestSettings settings, std::shared_ptr<AIScript> script)
        : AIService(std::move(settings), std::make_shared<platform::FakeHttpClient>()), script_(std::move(script)) {}

    std::string sendMessage(const core::ModelInfo& model, std::string_view prompt,
                            const std::optional<std::string>& selectedText,
                            const std::vector<core::ChatMessage>& history) const override {
        std::variant<std::string, std::exception_ptr> outcome = std::string("answer");
        {
            std::lock_guard lock(script_->mutex);
            script_->recorded.push_back({model, std::string(prompt), selectedText, history, settings()});
            if (!script_->outcomes.empty()) {
                outcome = std::move(script_->outcomes.front());
                script_->outcomes.pop_front();
            }
        }
        if (auto* error = std::get_if<std::exception_ptr>(&outcome)) std::rethrow_exception(*error);
        return std::get<std::string>(outcome);
    }

private:
    std::shared_ptr<AIScript> script_;
};

}  // namespace panel::testing
