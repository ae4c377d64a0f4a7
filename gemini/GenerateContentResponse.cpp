#include "gemini/GenerateContentResponse.h"

#include "gemini/EnumCoding.h"
#include "gemini/InvalidCandidateError.h"
#include "gemini/JsonReader.h"

namespace gemini {
namespace {

std::vector<SafetyRating> decodeRatings(const JsonReader& reader) {
    return reader.array<SafetyRating>([](const JsonReader& r) { return SafetyRating::decode(r); });
}

// The second look at unusable content: an object whose members are all
// strings, and how many.
std::optional<std::size_t> stringMapSize(const nlohmann::json& value) {
    if (!value.is_object()) return std::nullopt;
    for (const auto& member : value)
        if (!member.is_string()) return std::nullopt;
    return value.size();
}

std::string lowercased(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

Citation Citation::decode(const JsonReader& r) {
    Citation c;
    if (auto v = r.optionalMember("startIndex")) c.startIndex = v->integer();
    if (auto v = r.optionalMember("endIndex")) c.endIndex = v->integer();
    if (auto v = r.optionalMember("uri")) c.uri = v->string();
    if (auto v = r.optionalMember("license")) {
        auto license = v->string();
        if (!license.empty()) c.license = std::move(license);
    }
    return c;
}

CitationMetadata CitationMetadata::decode(const JsonReader& r) {
    CitationMetadata m;
    m.citationSources = r.member("citationSources").array<Citation>([](const JsonReader& c) {
        return Citation::decode(c);
    });
    return m;
}

PromptFeedback PromptFeedback::decode(const JsonReader& r) {
    PromptFeedback f;
    if (auto v = r.optionalMember("blockReason")) f.blockReason = decodeLenient<BlockReason>(*v);
    if (auto v = r.optionalMember("safetyRatings")) f.safetyRatings = decodeRatings(*v);
    return f;
}

GenerateContentResponse::UsageMetadata GenerateContentResponse::UsageMetadata::decode(const JsonReader& r) {
    UsageMetadata u;
    if (auto v = r.optionalMember("promptTokenCount")) u.promptTokenCount = v->integer();
    if (auto v = r.optionalMember("candidatesTokenCount")) u.candidatesTokenCount = v->integer();
    if (auto v = r.optionalMember("totalTokenCount")) u.totalTokenCount = v->integer();
    return u;
}

CandidateResponse CandidateResponse::decode(const JsonReader& r) {
    CandidateResponse c;
    if (auto content = r.optionalMember("content")) {
        try {
            c.content = ModelContent::decode(*content);
        } catch (const DecodingError& e) {
            const auto size = stringMapSize(content->value());
            throw InvalidCandidateError(size && *size == 0 ? InvalidCandidateError::Kind::emptyContent
                                                           : InvalidCandidateError::Kind::malformedContent,
                                        e);
        }
    }
    if (auto v = r.optionalMember("safetyRatings")) c.safetyRatings = decodeRatings(*v);
    if (auto v = r.optionalMember("finishReason")) c.finishReason = decodeLenient<FinishReason>(*v);
    if (auto v = r.optionalMember("citationMetadata")) c.citationMetadata = CitationMetadata::decode(*v);
    return c;
}

GenerateContentResponse GenerateContentResponse::decode(const JsonReader& r) {
    if (!r.contains("candidates") && !r.contains("promptFeedback"))
        throw DecodingError(DecodingError::Kind::dataCorrupted, {},
                            "Failed to decode GenerateContentResponse; missing keys 'candidates' and "
                            "'promptFeedback'.");
    GenerateContentResponse response;
    if (auto v = r.optionalMember("candidates"))
        response.candidates = v->array<CandidateResponse>([](const JsonReader& c) { return CandidateResponse::decode(c); });
    if (auto v = r.optionalMember("promptFeedback")) response.promptFeedback = PromptFeedback::decode(*v);
    if (auto v = r.optionalMember("usageMetadata")) response.usageMetadata = UsageMetadata::decode(*v);
    return response;
}

GenerateContentResponse GenerateContentResponse::decode(std::string_view jsonText) {
    const auto document = JsonReader::parse(jsonText);
    return decode(JsonReader(document));
}

std::optional<std::string> GenerateContentResponse::text() const {
    if (candidates.empty()) {
        Logging::default_()->error("Could not get text from a response that had no candidates.");
        return std::nullopt;
    }
    std::vector<std::string> pieces;
    for (const auto& part : candidates.front().content.parts) {
        if (const auto* t = part.get<ModelContent::Part::Text>()) {
            pieces.push_back(t->text);
        } else if (const auto* code = part.get<ExecutableCode>()) {
            const std::string language = code->language == "LANGUAGE_UNSPECIFIED" ? "" : lowercased(code->language);
            pieces.push_back("```" + language + "\n" + code->code + "\n```");
        } else if (const auto* result = part.get<CodeExecutionResult>()) {
            if (!result->output.empty()) pieces.push_back("```\n" + result->output + "\n```");
        }
    }
    if (pieces.empty()) {
        Logging::default_()->error("Could not get a text part from the first candidate.");
        return std::nullopt;
    }
    std::string joined = std::move(pieces.front());
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        joined += '\n';
        joined += pieces[i];
    }
    return joined;
}

std::vector<FunctionCall> GenerateContentResponse::functionCalls() const {
    std::vector<FunctionCall> calls;
    if (candidates.empty()) return calls;
    for (const auto& part : candidates.front().content.parts)
        if (const auto* call = part.get<FunctionCall>()) calls.push_back(*call);
    return calls;
}

}  // namespace gemini
