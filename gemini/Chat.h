#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "gemini/GenerativeModel.h"

namespace gemini {

// One conversation with one model. Each message goes out with the whole
// history; the message and the reply join the history only when the exchange
// succeeded. Made by GenerativeModel::startChat.
class Chat {
public:
    Chat(GenerativeModel model, std::vector<ModelContent> history);

    const GenerativeModel& model() const { return model_; }

    // A copy of the transcript; replacing it takes effect from the next
    // exchange.
    std::vector<ModelContent> history() const;
    void setHistory(std::vector<ModelContent> history);

    // Sends the new contents after the history. Throws GenerateContentError
    // (the model's errors unchanged; a reply without candidates as
    // internalError); the history is unchanged then.
    GenerateContentResponse sendMessage(const std::vector<PartsValue>& parts);
    GenerateContentResponse sendMessage(const GenerativeModel::ContentsProducer& contents);
    GenerateContentResponse sendMessage(const std::vector<ModelContent>& contents);

    // The chunks as they arrive; at the normal end the history gains the new
    // contents and one reply merged from the chunks. The exchange runs to its
    // end on one of the model's executor's workers even when nobody reads.
    GenerateContentStream sendMessageStream(const std::vector<PartsValue>& parts);
    GenerateContentStream sendMessageStream(const GenerativeModel::ContentsProducer& contents);
    GenerateContentStream sendMessageStream(const std::vector<ModelContent>& contents);

    // Runs of text, also across chunks, become one text part; other parts
    // keep their place between them. Role "model".
    static ModelContent mergeStreamedReply(const std::vector<ModelContent>& received);

private:
    // Shared with the worker of a streamed exchange, which must be able to
    // append after the Chat itself is gone.
    struct Transcript {
        std::mutex mutex;
        std::vector<ModelContent> contents;
    };

    GenerateContentResponse send(const std::function<std::vector<ModelContent>()>& contents);
    GenerateContentStream sendStream(const std::function<std::vector<ModelContent>()>& contents);

    GenerativeModel model_;
    std::shared_ptr<Transcript> transcript_;
};

}  // namespace gemini
