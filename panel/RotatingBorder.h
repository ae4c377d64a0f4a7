#pragma once

#include <QWidget>

namespace panel {

class LegacyRotatingBorder;
class ModernRotatingBorder;

// The panel's decorative moving outline, laid over the panel and filling
// whatever frame it is given. Clicks go through it to the controls under it.
// Two forms exist, chosen when the program is built (`usesModernBorder`): it
// always uses the conic one; the linear one is kept beside it, and nothing
// switches to it while the program runs.
class RotatingBorder final : public QWidget {
public:
    explicit RotatingBorder(QWidget* parent = nullptr);

    static bool usesModernBorder() { return kUseModernBorder; }

    ModernRotatingBorder* modern() const { return modern_; }  // none when the legacy one is used
    LegacyRotatingBorder* legacy() const { return legacy_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    static constexpr bool kUseModernBorder = true;

    ModernRotatingBorder* modern_ = nullptr;
    LegacyRotatingBorder* legacy_ = nullptr;
};

}  // namespace panel
