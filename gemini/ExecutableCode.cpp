#include "gemini/ExecutableCode.h"

#include "gemini/EnumCoding.h"
#include "gemini/JsonReader.h"

namespace gemini {

ExecutableCode ExecutableCode::decode(const JsonReader& reader) {
    ExecutableCode code;
    code.language = reader.member("language").string();
    code.code = reader.member("code").string();
    return code;
}

nlohmann::json ExecutableCode::toJson() const { return {{"language", language}, {"code", code}}; }

CodeExecutionResult CodeExecutionResult::decode(const JsonReader& reader) {
    CodeExecutionResult result;
    result.outcome = decodeLenient<Outcome>(reader.member("outcome"));
    if (auto output = reader.optionalMember("output")) result.output = output->string();
    return result;
}

nlohmann::json CodeExecutionResult::toJson() const {
    return {{"outcome", rawValue(outcome)}, {"output", output}};
}

}  // namespace gemini
