#pragma once

// The level meter that stands in for the microphone symbol while the panel
// records: three thin coloured bars whose heights follow the recogniser's
// audio level, moved by a short spring. It always takes 24 x 24 pixels (the
// panel centres it on the microphone's 16 x 16 slot) and takes no clicks.
//
//   auto* meter = new panel::VoiceWaveform(row);
//   meter->setLevel(/*isRecording=*/true, model.audioLevel());   // on every new level
//   double h = panel::VoiceWaveform::barHeight(true, 0.3f, 2);      // 16.8

#include <QColor>
#include <QWidget>
#include <array>

namespace ui {
class SpringAnimation;
}

namespace panel {

class VoiceWaveform final : public QWidget {
public:
    static constexpr int kNumberOfBars = 3;
    static constexpr double kBarWidth = 2.0;
    static constexpr double kSpacing = 2.0;
    static constexpr double kMaxHeight = 20.0;
    static constexpr double kMinHeight = 4.0;
    static constexpr int kSide = 24;

    // The height of bar `index` for a level (0..1; a level that is not a
    // finite number counts as 0).
    static double barHeight(bool isRecording, float audioLevel, int index);
    static QColor barColour(int index);

    explicit VoiceWaveform(QWidget* parent = nullptr);

    // New inputs; the bars move to their new heights with the spring
    // (response 0.2 s, critically damped), at once with animations off.
    void setLevel(bool isRecording, float audioLevel);

    bool isRecording() const { return isRecording_; }
    float audioLevel() const { return audioLevel_; }
    // The heights drawn now.
    const std::array<double, kNumberOfBars>& shownHeights() const { return shown_; }

    QSize sizeHint() const override { return {kSide, kSide}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool isRecording_ = false;
    float audioLevel_ = 0.0f;
    std::array<double, kNumberOfBars> shown_;
    std::array<double, kNumberOfBars> from_;
    std::array<double, kNumberOfBars> to_;
    ui::SpringAnimation* spring_;
};

}  // namespace panel
