#include "windows/ShortcutsTabModel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "desktop/HotkeyManager.h"
#include "platform/UndecodableValue.h"

namespace windows {

using desktop::HotkeyManager;

const std::array<ShortcutsTabModel::Row, 4>& ShortcutsTabModel::rows() {
    static const std::array<Row, 4> rows{{
        {"Toggle Quillary Window", "Opens Quillary for text generation or editing highlighted text",
         &HotkeyManager::toggleQuillary, 24},
        {"Instant Audio Mode", "Opens Quillary and immediately starts voice recording", &HotkeyManager::toggleVoiceInput,
         44},
        {"Chat Mode", "Opens Quillary in chat mode for continuous conversation", &HotkeyManager::toggleChatMode, 44},
        {"Chat Voice Mode", "Opens Quillary in chat mode and immediately starts voice recording",
         &HotkeyManager::toggleChatVoiceMode, 44},
    }};
    return rows;
}

ShortcutsTabModel::ShortcutsTabModel(std::shared_ptr<platform::UserDefaults> defaults)
    : defaults_(std::move(defaults)) {}

double ShortcutsTabModel::silenceDuration() const {
    // A text or data value under the key is no delay at all.
    if (!platform::holdsReadable<double, std::int64_t, bool>(*defaults_, kSilenceDurationKey, "not a number"))
        return kDefaultDelay;
    return defaults_->double_(kSilenceDurationKey);
}

void ShortcutsTabModel::setSilenceDuration(double seconds) { defaults_->setDouble(kSilenceDurationKey, seconds); }

int ShortcutsTabModel::sliderPosition() const {
    const double seconds = silenceDuration();
    const double steps = std::isfinite(seconds) ? (seconds - kMinimumDelay) * 2.0 : (kDefaultDelay - kMinimumDelay) * 2.0;
    return static_cast<int>(std::lround(std::clamp(steps, 0.0, double(kSliderSteps))));
}

void ShortcutsTabModel::setSliderPosition(int position) {
    // position / 2.0, never position * 0.5 summed up: every value is exact.
    setSilenceDuration(kMinimumDelay + std::clamp(position, 0, kSliderSteps) / 2.0);
}

QString ShortcutsTabModel::delayText(double seconds) {
    return QString::number(seconds, 'f', 1) + QStringLiteral(" seconds");
}

}  // namespace windows
