#include "gemini/Chat.h"

#include "gemini/ImageConversionError.h"
#include "gemini/Logging.h"

namespace gemini {
namespace {

// Turns of the caller without a role speak as the user.
std::vector<ModelContent> withDefaultRoles(std::vector<ModelContent> contents) {
    for (auto& content : contents)
        if (!content.role) content.role = "user";
    return contents;
}

// The failure of obtaining the new contents, as the caller sees it.
GenerateContentError contentsError(const std::exception_ptr& error) {
    if (exceptionAs<ImageConversionError>(error)) return GenerateContentError::promptImageContentError(error);
    return GenerateContentError::internalError(error);
}

std::vector<ModelContent> obtain(const std::function<std::vector<ModelContent>()>& contents) {
    try {
        return contents();
    } catch (...) {
        throw contentsError(std::current_exception());
    }
}

}  // namespace

Chat::Chat(GenerativeModel model, std::vector<ModelContent> history)
    : model_(std::move(model)), transcript_(std::make_shared<Transcript>()) {
    transcript_->contents = std::move(history);
}

std::vector<ModelContent> Chat::history() const {
    std::lock_guard lock(transcript_->mutex);
    return transcript_->contents;
}

void Chat::setHistory(std::vector<ModelContent> history) {
    std::lock_guard lock(transcript_->mutex);
    transcript_->contents = std::move(history);
}

GenerateContentResponse Chat::send(const std::function<std::vector<ModelContent>()>& contents) {
    auto newContents = withDefaultRoles(obtain(contents));
    auto request = history();
    request.insert(request.end(), newContents.begin(), newContents.end());

    auto response = model_.generateContent(request);
    if (response.candidates.empty())
        throw GenerateContentError::internalError(std::make_exception_ptr(
            platform::Error(std::string(kClientIdentifier), -1, "No candidates with content available.")));

    ModelContent reply("model", response.candidates.front().content.parts);
    std::lock_guard lock(transcript_->mutex);
    auto& history = transcript_->contents;
    history.insert(history.end(), std::make_move_iterator(newContents.begin()),
                   std::make_move_iterator(newContents.end()));
    history.push_back(std::move(reply));
    return response;
}

GenerateContentResponse Chat::sendMessage(const std::vector<PartsValue>& parts) {
    return send([&parts] { return std::vector<ModelContent>{ModelContent::fromValues(parts)}; });
}
GenerateContentResponse Chat::sendMessage(const GenerativeModel::ContentsProducer& contents) { return send(contents); }
GenerateContentResponse Chat::sendMessage(const std::vector<ModelContent>& contents) {
    return send([&contents] { return contents; });
}

GenerateContentStream Chat::sendStream(const std::function<std::vector<ModelContent>()>& contents) {
    platform::Executor& executor = model_.streamExecutor();
    std::vector<ModelContent> newContents;
    try {
        newContents = contents();
    } catch (...) {
        return GenerateContentStream::failed(std::make_exception_ptr(contentsError(std::current_exception())));
    }

    auto [stream, continuation] = GenerateContentStream::make();
    auto end = std::make_shared<GenerateContentStream::Continuation>(std::move(continuation));
    // The job reads the model's answer itself, on its worker: no second
    // thread, and nothing of the Chat but its transcript, which the job
    // extends at the end of the answer even when nobody reads any more.
    const bool started = executor.submit(
        [state = model_.state_, transcript = transcript_, newContents = withDefaultRoles(std::move(newContents)),
         end](const platform::Executor::Token& token) {
            try {
                std::vector<ModelContent> request;
                {
                    std::lock_guard lock(transcript->mutex);
                    request = transcript->contents;
                }
                request.insert(request.end(), newContents.begin(), newContents.end());

                std::vector<ModelContent> received;
                state->service.loadRequestStream(
                    state->makeRequest(std::move(request), true),
                    [&](GenerateContentResponse chunk) {
                        GenerativeModel::checkResponse(chunk);
                        if (!chunk.candidates.empty()) received.push_back(chunk.candidates.front().content);
                        end->yield(std::move(chunk));
                    },
                    token);
                {
                    std::lock_guard lock(transcript->mutex);
                    auto& history = transcript->contents;
                    history.insert(history.end(), newContents.begin(), newContents.end());
                    history.push_back(mergeStreamedReply(received));
                }
                end->finish();
            } catch (...) {
                end->finish(std::make_exception_ptr(GenerativeModel::generateContentError(std::current_exception())));
            }
        });
    if (!started)
        end->finish(std::make_exception_ptr(GenerateContentError::internalError(
            std::make_exception_ptr(platform::URLError(platform::URLError::Cancelled)))));
    return std::move(stream);
}

GenerateContentStream Chat::sendMessageStream(const std::vector<PartsValue>& parts) {
    return sendStream([&parts] { return std::vector<ModelContent>{ModelContent::fromValues(parts)}; });
}
GenerateContentStream Chat::sendMessageStream(const GenerativeModel::ContentsProducer& contents) {
    return sendStream(contents);
}
GenerateContentStream Chat::sendMessageStream(const std::vector<ModelContent>& contents) {
    return sendStream([&contents] { return contents; });
}

ModelContent Chat::mergeStreamedReply(const std::vector<ModelContent>& received) {
    std::vector<ModelContent::Part> parts;
    std::string text;
    for (const auto& content : received) {
        for (const auto& part : content.parts) {
            if (const auto* t = part.get<ModelContent::Part::Text>()) {
                text += t->text;
                continue;
            }
            if (!text.empty()) parts.push_back(ModelContent::Part::text(std::exchange(text, {})));
            parts.push_back(part);
        }
    }
    if (!text.empty()) parts.push_back(ModelContent::Part::text(std::move(text)));
    return ModelContent("model", std::move(parts));
}

}  // namespace gemini
