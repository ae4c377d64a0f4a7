#include "core/HistoryEntry.h"

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

}  // namespace

std::string encode(const std::vector<HistoryEntry>& entries) {
    ordered_json array = ordered_json::array();
    for (const auto& entry : entries) {
        ordered_json object{
            {"id", entry.id.uuidString()},
            {"timestamp", entry.timestamp},
            {"modelName", entry.modelName},
            {"input", entry.input},
        };
        if (entry.selectedText) object["selectedText"] = *entry.selectedText;
        object["output"] = entry.output;
        object["applicationName"] = entry.applicationName;
        array.push_back(std::move(object));
    }
    return array.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

std::optional<std::vector<HistoryEntry>> decode(std::string_view bytes, std::string* error) {
    try {
        json parsed = json::parse(bytes);
        if (!parsed.is_array()) throw json::type_error::create(302, "the history is not an array", &parsed);
        std::vector<HistoryEntry> entries;
        entries.reserve(parsed.size());
        for (auto& object : parsed) entries.push_back(takeEntry(object));
        return entries;
    } catch (const json::exception& e) {
        if (error) *error = e.what();
        return std::nullopt;
    }
}

}  // namespace core::history
