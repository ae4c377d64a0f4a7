#pragma once

// The floating panel's content: the error line, the chat transcript and the
// input row (model button, chat button, prompt, microphone, send), stacked
// 8 apart, padded 16 at the sides and 12 above and below, 500 wide and as
// tall as its content, on a rounded grey background under the rotating
// border. It draws a PanelModel and forwards the user's input to it; it
// holds no state of its own beyond what is on screen.
//
//   auto model = std::make_unique<panel::PanelModel>(settings, history, options, services);
//   auto view = std::make_unique<panel::FloatingWindowView>(std::move(model), pasteboard);
//   // hosted by the panel window, which takes view->sizeHint() and follows it
//
// Showing the view tells the model it appeared; hiding it, that it went.

#include <QWidget>
#include <memory>

#include "core/ObserverList.h"
#include "panel/PanelModel.h"

class QVBoxLayout;
class QVariantAnimation;

namespace platform {
class Pasteboard;
}
namespace ui {
class PlainLabel;
class SymbolButton;
}

namespace panel {

class ChatView;
class LoadingSpinner;
class ModelPickerButton;
class ModelPickerPopup;
class PanelAppearanceEffect;
class PromptField;
class RotatingBorder;
class SlotOverlay;
class VoiceWaveform;

class FloatingWindowView final : public QWidget {
public:
    static constexpr int kWidth = 500;
    static constexpr int kHorizontalPadding = 16;
    static constexpr int kVerticalPadding = 12;
    static constexpr int kSpacing = 8;
    static constexpr int kRowSpacing = 12;
    static constexpr int kCornerRadius = 24;
    static constexpr int kTranscriptMaxHeight = 400;
    static constexpr double kBackgroundGrey = 0.12;
    // The chat button's change of mode moves on this spring: the button's
    // colour and the transcript coming or going (height and opacity).
    static constexpr double kChatSpringResponse = 0.5;
    static constexpr double kChatSpringDamping = 1.0;

    static constexpr const char* kEnterChatMode = "Enter Chat Mode";
    static constexpr const char* kExitChatMode = "Exit Chat Mode";
    static constexpr const char* kStartVoiceInput = "Start Voice Input";
    static constexpr const char* kStopRecording = "Stop Recording";

    // `pasteboard` is the program's clipboard, for the transcript's copy buttons.
    FloatingWindowView(std::unique_ptr<PanelModel> model, std::shared_ptr<platform::Pasteboard> pasteboard,
                       QWidget* parent = nullptr);
    ~FloatingWindowView() override;

    PanelModel& model() { return *model_; }

    // The parts, for tests.
    ui::PlainLabel* errorLine() const { return errorLine_; }
    ChatView* transcript() const { return transcript_; }
    QWidget* inputRow() const { return inputRow_; }
    ModelPickerButton* modelButton() const { return modelButton_; }
    // Made when first opened: most panels never open it, and making it is
    // a good part of what showing a panel costs.
    ModelPickerPopup* picker();
    ui::SymbolButton* chatButton() const { return chatButton_; }
    PromptField* promptField() const { return prompt_; }
    ui::SymbolButton* micButton() const { return micButton_; }
    ui::SymbolButton* sendButton() const { return sendButton_; }
    VoiceWaveform* waveform() const { return waveform_; }
    LoadingSpinner* spinner() const { return spinner_; }
    RotatingBorder* border() const { return border_; }
    // The appear or disappear effect while one runs, else none.
    PanelAppearanceEffect* appearanceEffect() const;
    // The chat button's spring while it runs, else none.
    QVariantAnimation* chatModeMotion() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    bool hasHeightForWidth() const override { return false; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildInputRow();
    void changed(PanelModel::Change change);
    void showError();
    void showTranscript();
    void showChatMode();
    // Moves the chat button's colour and the transcript to the chat mode's
    // state along the spring.
    void springToChatMode();
    void settleChatMode();
    void showRecording();
    void showLoading();
    void showModel();
    void showPicker();
    void showFocus();
    void showAppearance();
    void finishAppearance();

    std::unique_ptr<PanelModel> model_;
    core::ObserverToken token_{};
    QVBoxLayout* stack_;
    ui::PlainLabel* errorLine_;
    ChatView* transcript_;
    QWidget* inputRow_ = nullptr;
    ModelPickerButton* modelButton_ = nullptr;
    ModelPickerPopup* picker_ = nullptr;
    ui::SymbolButton* chatButton_ = nullptr;
    PromptField* prompt_ = nullptr;
    ui::SymbolButton* micButton_ = nullptr;
    ui::SymbolButton* sendButton_ = nullptr;
    VoiceWaveform* waveform_ = nullptr;
    SlotOverlay* waveformOverlay_ = nullptr;
    LoadingSpinner* spinner_ = nullptr;
    SlotOverlay* spinnerOverlay_ = nullptr;
    RotatingBorder* border_;
    // Owned by the view while set on it.
    PanelAppearanceEffect* effect_ = nullptr;
    // Running appearance animations; the effect goes when none is left.
    int runningAnimations_ = 0;
    bool appeared_ = false;
    // Set while the chat button's own toggle runs.
    bool chatButtonToggling_ = false;
    QVariantAnimation* chatMotion_ = nullptr;
};

}  // namespace panel
