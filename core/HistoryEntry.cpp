#include "core/HistoryEntry.h"

#include <cstddef>
#include <iterator>

#include <nlohmann/json.hpp>

namespace core::history {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;

// Takes the text out of the parsed document instead of copying it: a full
// history is a few megabytes of text.
std::string takeString(json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end()) throw json::out_of_range::create(403, std::string("missing key \"") + key + "\"", &object);
    if (!it->is_string()) throw json::type_error::create(302, std::string("\"") + key + "\" is not a string", &*it);
    return std::move(it->get_ref<std::string&>());
}

HistoryEntry takeEntry(json& object) {
    if (!object.is_object()) throw json::type_error::create(302, "a history entry is not an object", &object);
    HistoryEntry entry;
    const std::string idText = takeString(object, "id");
    const auto id = platform::Uuid::parse(idText);
    if (!id) throw json::type_error::create(302, "\"id\" is not a UUID: " + idText, &object);
    entry.id = *id;

    const auto timestamp = object.find("timestamp");
    if (timestamp == object.end()) throw json::out_of_range::create(403, "missing key \"timestamp\"", &object);
    if (!timestamp->is_number())
        throw json::type_error::create(302, "\"timestamp\" is not a number", &*timestamp);
    entry.timestamp = timestamp->get<double>();

    entry.modelName = takeString(object, "modelName");
    entry.input = takeString(object, "input");
    if (const auto selected = object.find("selectedText"); selected != object.end() && !selected->is_null())
        entry.selectedText = takeString(object, "selectedText");
    entry.output = takeString(object, "output");
    entry.applicationName = takeString(object, "applicationName");
    return entry;
}

// Hands the text to the parser while counting how much of it the parser has
// taken: the parse callback turns that count into where each entry's object
// begins and ends.
class CountingIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator(const char* at, std::size_t* taken) : at_(at), taken_(taken) {}
    reference operator*() const { return *at_; }
    CountingIterator& operator++() {
        ++at_;
        ++*taken_;
        return *this;
    }
    CountingIterator operator++(int) {
        auto before = *this;
        ++*this;
        return before;
    }
    friend bool operator==(const CountingIterator& a, const CountingIterator& b) { return a.at_ == b.at_; }

private:
    const char* at_;
    std::size_t* taken_;
};

// Whether `gap` is white space around exactly one `punctuation`.
bool separatedBy(std::string_view gap, char punctuation) {
    int marks = 0;
    for (const char c : gap) {
        if (c == punctuation)
            ++marks;
        else if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            return false;
    }
    return marks == 1;
}

// The count above relies on how far the parser has read when it reports an
// object. The spans are only trusted when each runs from a '{' to a '}' and
// nothing but the array's own punctuation lies around them.
bool plausible(std::string_view bytes, const std::vector<EntrySpan>& spans) {
    std::size_t previousEnd = 0;
    char punctuation = '[';
    for (const auto& span : spans) {
        if (span.begin < previousEnd || span.end <= span.begin || span.end > bytes.size()) return false;
        if (bytes[span.begin] != '{' || bytes[span.end - 1] != '}') return false;
        if (!separatedBy(bytes.substr(previousEnd, span.begin - previousEnd), punctuation)) return false;
        previousEnd = span.end;
        punctuation = ',';
    }
    return spans.empty() || separatedBy(bytes.substr(previousEnd), ']');
}

}  // namespace

std::string encodeEntry(const HistoryEntry& entry) {
    ordered_json object{
        {"id", entry.id.uuidString()},
        {"timestamp", entry.timestamp},
        {"modelName", entry.modelName},
        {"input", entry.input},
    };
    if (entry.selectedText) object["selectedText"] = *entry.selectedText;
    object["output"] = entry.output;
    object["applicationName"] = entry.applicationName;
    return object.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

std::string encode(const std::vector<HistoryEntry>& entries, std::vector<EntrySpan>* spans) {
    if (spans) spans->clear();
    std::string out = "[";
    for (const auto& entry : entries) {
        if (out.size() > 1) out += ',';
        const std::size_t begin = out.size();
        out += encodeEntry(entry);
        if (spans) spans->push_back({begin, out.size()});
    }
    out += ']';
    return out;
}

std::optional<std::vector<HistoryEntry>> decode(std::string_view bytes, std::string* error,
                                                std::vector<EntrySpan>* spans) {
    try {
        json parsed;
        if (spans) {
            spans->clear();
            std::size_t taken = 0;
            const json::parser_callback_t noteEntries = [&](int depth, json::parse_event_t event, json&) {
                // Depth 1 is an element of the top-level array.
                if (depth == 1 && event == json::parse_event_t::object_start) spans->push_back({taken - 1, 0});
                if (depth == 1 && event == json::parse_event_t::object_end) spans->back().end = taken;
                return true;
            };
            parsed = json::parse(CountingIterator(bytes.data(), &taken),
                                 CountingIterator(bytes.data() + bytes.size(), &taken), noteEntries);
        } else {
            parsed = json::parse(bytes);
        }
        if (!parsed.is_array()) throw json::type_error::create(302, "the history is not an array", &parsed);
        std::vector<HistoryEntry> entries;
        entries.reserve(parsed.size());
        for (auto& object : parsed) entries.push_back(takeEntry(object));
        if (spans && (spans->size() != entries.size() || !plausible(bytes, *spans))) spans->clear();
        return entries;
    } catch (const json::exception& e) {
        if (error) *error = e.what();
        if (spans) spans->clear();
        return std::nullopt;
    }
}

}  // namespace core::history
