#include "windows/HistoryDateFormat.h"

#include <unicode/datefmt.h>
#include <unicode/unistr.h>

#include <cmath>
#include <memory>

#include "platform/Clock.h"

namespace windows {

std::string formatHistoryDate(double timestamp) {
    const double millisSince1970 = (timestamp + platform::kReferenceDateOffset) * 1000.0;
    if (!std::isfinite(millisSince1970)) return {};
    std::unique_ptr<icu::DateFormat> format(
        icu::DateFormat::createDateTimeInstance(icu::DateFormat::kMedium, icu::DateFormat::kShort));
    if (!format) return {};
    icu::UnicodeString text;
    format->format(static_cast<UDate>(millisSince1970), text);
    std::string out;
    text.toUTF8String(out);
    return out;
}

}  // namespace windows
