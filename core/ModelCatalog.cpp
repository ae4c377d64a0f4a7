#include "core/ModelCatalog.h"

#include <algorithm>

namespace core {
namespace {

using nlohmann::json;

const json& requireMember(const json& object, const char* key, json::value_t kind, const char* kindName) {
    if (!object.is_object()) throw json::type_error::create(302, "expected an object", &object);
    const auto it = object.find(key);
    if (it == object.end())
        throw json::out_of_range::create(403, std::string("missing key \"") + key + "\"", &object);
    if (it->type() != kind)
        throw json::type_error::create(302, std::string("\"") + key + "\" is not " + kindName, &*it);
    return *it;
}

}  // namespace

void to_json(nlohmann::ordered_json& j, const ModelInfo& model) {
    j = nlohmann::ordered_json{
        {"displayName", model.displayName}, {"apiName", model.apiName}, {"isVisible", model.isVisible}};
}

void from_json(const json& j, ModelInfo& model) {
    model.displayName = requireMember(j, "displayName", json::value_t::string, "a string").get<std::string>();
    model.apiName = requireMember(j, "apiName", json::value_t::string, "a string").get<std::string>();
    model.isVisible = requireMember(j, "isVisible", json::value_t::boolean, "a Boolean").get<bool>();
}

void to_json(nlohmann::ordered_json& j, const ModelGroup& group) {
    j = nlohmann::ordered_json{{"name", group.name}, {"models", group.models}};
}

void from_json(const json& j, ModelGroup& group) {
    group.name = requireMember(j, "name", json::value_t::string, "a string").get<std::string>();
    group.models = requireMember(j, "models", json::value_t::array, "an array").get<std::vector<ModelInfo>>();
}

namespace catalog {

const std::vector<ModelGroup>& defaultModelGroups() {
    static const std::vector<ModelGroup> groups{
        {"OpenAI",
         {{"GPT-4o", "gpt-4o", true},
          {"GPT-4o-mini", "gpt-4o-mini", true},
          {"o1", "o1", true},
          {"o1-mini", "o1-mini", true},
          {"o1 Preview", "o1-preview", true},
          {"o3-mini", "o3-mini", true}}},
        {"Anthropic",
         {{"Claude 3.5 Sonnet", "claude-3-5-sonnet-latest", true},
          {"Claude 3.5 Haiku", "claude-3-5-haiku-latest", true},
          {"Claude 3 Opus", "claude-3-opus-latest", true}}},
        {"Gemini",
         {{"Gemini 2.0 Flash", "gemini-2.0-flash", true},
          {"Gemini 2.0 Flash-Lite", "gemini-2.0-flash-lite-preview-02-05", true},
          {"Gemini 1.5 Flash", "gemini-1.5-flash", true},
          {"Gemini 1.5 Flash-8B", "gemini-1.5-flash-8b", true},
          {"Gemini 1.5 Pro", "gemini-1.5-pro", true}}},
        {"Ollama", {{"Llama 3.2", "llama3.2", true}, {"Mistral", "mistral", true}, {"CodeLlama", "codellama", true}}},
    };
    return groups;
}

std::string encode(const std::vector<ModelGroup>& groups) {
    return nlohmann::ordered_json(groups).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::optional<std::vector<ModelGroup>> decode(std::string_view bytes, std::string* error) {
    try {
        const json parsed = json::parse(bytes);
        if (!parsed.is_array()) throw json::type_error::create(302, "the catalogue is not an array", &parsed);
        return parsed.get<std::vector<ModelGroup>>();
    } catch (const json::exception& e) {
        if (error) *error = e.what();
        return std::nullopt;
    }
}

std::vector<ModelGroup> mergingDefaultGroups(std::vector<ModelGroup> groups) {
    for (const std::string_view provider : kProviderNames) {
        const bool present =
            std::any_of(groups.begin(), groups.end(), [&](const ModelGroup& g) { return g.name == provider; });
        if (present) continue;
        const auto& defaults = defaultModelGroups();
        const auto it = std::find_if(defaults.begin(), defaults.end(),
                                     [&](const ModelGroup& g) { return g.name == provider; });
        groups.push_back(*it);
    }
    return groups;
}

}  // namespace catalog
}  // namespace core
