#include "gemini/PartsRepresentable.h"

namespace gemini {

std::vector<ModelContent::Part> PartsValue::convertToParts() const {
    return std::visit(
        [](const auto& v) -> std::vector<ModelContent::Part> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return {ModelContent::Part::text(v)};
            } else if constexpr (std::is_same_v<T, ModelContent::Part>) {
                return {v};
            } else if constexpr (std::is_same_v<T, Image>) {
                return {ModelContent::Part::jpeg(v.jpegData())};
            } else if constexpr (std::is_same_v<T, std::vector<PartsValue>>) {
                std::vector<ModelContent::Part> parts;
                for (const auto& element : v) {
                    auto converted = element.convertToParts();
                    parts.insert(parts.end(), std::make_move_iterator(converted.begin()),
                                 std::make_move_iterator(converted.end()));
                }
                return parts;
            } else {
                if (!v) return {};
                return v->convertToParts();
            }
        },
        value_);
}

}  // namespace gemini
