#pragma once

// The floating panel's state and flows, without a display. One PanelModel
// lives for one opening of the panel; the panel's widgets draw it and drive
// it. Usage from a view:
//
//   panel::PanelModel model(settings, context.history, options, services);
//   auto token = model.subscribe([&](panel::PanelModel::Change c) { redraw(c); });
//   model.handleAppear();                        // when the panel is shown
//   model.setText(field.text());                 // on every edit of the prompt
//   model.submit();                              // Return or the send button
//   model.toggleChatMode();                      // chat button
//   model.toggleVoiceInput();                    // microphone button
//   model.toggleModelPicker(); model.selectModel(row.model);   // model button, picker rows
//   model.handleEscapeKey();                     // Escape reaching the view
//   model.handleDisappear();                     // when the panel is hidden
//   model.unsubscribe(token);
//
// Draw from the getters: errorMessage() (red line), isChatMode() and
// messages() (transcript), modelButton() and pickerRows() (picker),
// isLoading() (spinner, send disabled), isRecording() and audioLevel()
// (waveform), text() and isFocused() (prompt field), appearance() and
// appearanceAnimation() (opacity, scale and blur, animated as told). Push a
// value into a control only when it differs from what the control shows.
//
// Main thread only. Provider calls run on the services' executor and come
// back through the main loop; timers and posted work use the main loop too.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/AIService.h"
#include "core/Analytics.h"
#include "core/ChatMessage.h"
#include "core/ModelInfo.h"
#include "core/ObserverList.h"
#include "core/Settings.h"
#include "desktop/PanelHistory.h"
#include "panel/BackgroundHistory.h"
#include "panel/ModelPickerList.h"
#include "panel/ProviderRequest.h"
#include "panel/RequestExecutor.h"
#include "panel/SelectionAccess.h"
#include "panel/SpeechInput.h"
#include "panel/VoiceAuthorization.h"
#include "platform/AnalyticsSink.h"
#include "platform/MainLoop.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/Uuid.h"

namespace GlobalShortcuts {
class AlertPresenter;
}
namespace desktop {
struct PanelViewContext;
}

namespace panel {

class PanelModel {
public:
    // Which part of the state changed; observers read the new value.
    enum class Change {
        text,
        selectedModel,
        modelPickerVisible,
        originalText,
        loading,
        errorMessage,
        focused,
        appearance,
        visible,
        recording,
        audioLevel,
        chatMode,
        messages,
    };

    // Opacity, uniform scale about the centre, and blur radius in points of
    // the whole panel content.
    struct Appearance {
        double opacity;
        double scale;
        double blurRadius;
        friend bool operator==(const Appearance&, const Appearance&) = default;
    };
    // How the view moves to a new appearance():
    //  - in: opacity and scale by a spring (response 0.4 s, damping 0.8),
    //    blur by an ease-out of 0.3 s, both starting together;
    //  - out: all three by an ease-in of 0.2 s.
    enum class AppearanceAnimation { none, in, out };
    static constexpr Appearance kHidden{0.0, 0.9, 10.0};
    static constexpr Appearance kShown{1.0, 1.0, 0.0};

    // What the model button shows: the selected model's name and icon, or
    // nothing of either when there is no model at all.
    struct ModelButton {
        std::string title;
        std::optional<std::string_view> iconName;
    };

    // One opening of the panel, as its owner sets it up.
    struct Options {
        bool startWithVoiceInput = false;
        bool startWithChat = false;
        // The selection, if the owner already has it; the panel reads it
        // itself when it appears.
        std::optional<std::string> originalText;
        // Called after a one-shot answer was pasted, with a summary
        // ("model: prompt -> answer"); the owner closes this panel.
        std::function<void(const std::string&)> onSubmit;
        // Whether this panel is still the one its owner shows. Null: always.
        // A panel that was replaced delivers no answer into the application.
        // Under the panel window manager: its currentGeneration() equals the
        // generation of the context this panel was made for.
        std::function<bool()> isCurrent;
        // The owner's visibility flag. Null: a constant "visible" that
        // ignores writes (the panel window manager closes the panel itself).
        std::function<void(bool)> setVisible;
        // Brings the program to the front before the prompt takes focus.
        std::function<void()> activateApplication;
    };

    // What the panel works with, every member required but `alerts`. The
    // program's are a PlatformRequestExecutor, TextReplacerSelection,
    // LinuxVoiceAuthorization, a RecognizerSpeechInput over a new
    // SpeechRecognizer, core::AIService over the executor's transport, and
    // the program's settings store, analytics and telemetry client.
    struct Services {
        std::shared_ptr<platform::MainLoop> mainLoop;
        std::shared_ptr<RequestExecutor> executor;
        std::shared_ptr<SelectionAccess> selection;
        std::shared_ptr<VoiceAuthorization> voiceAuthorization;
        // Makes the panel's recogniser, once, when the panel first appears.
        std::function<std::unique_ptr<SpeechInput>()> makeSpeechInput;
        // Makes the provider dispatcher of one submission from a settings copy.
        std::function<std::unique_ptr<core::AIService>(core::RequestSettings)> makeAIService;
        std::shared_ptr<platform::UserDefaults> defaults;
        core::Analytics* analytics = nullptr;
        // The analytics client, for the panel's own shown/dismissed events.
        std::shared_ptr<platform::AnalyticsSink> telemetry;
        std::shared_ptr<GlobalShortcuts::AlertPresenter> alerts;  // null: AlertPresenter::current()
    };

    // The options of a panel that the panel window manager shows, from the
    // context it hands the view: the start modes and its bound onSubmit.
    // `isCurrent`: the manager's currentGeneration() is context.generation.
    static Options optionsFor(const desktop::PanelViewContext& context, std::function<bool()> isCurrent);

    static constexpr std::string_view kLastSelectedModelKey = "last_selected_model";
    static constexpr std::string_view kNoKeyRequired = "no_key_required";
    static constexpr std::string_view kNoModelMessage = "Add a model in Settings > Models to send a prompt.";
    static constexpr std::string_view kVoiceStartFailedPrefix = "Voice input could not start: ";
    static constexpr std::string_view kMicrophoneAlertTitle = "Microphone Access Required";
    static constexpr std::string_view kMicrophoneAlertText =
        "Please check your microphone in your desktop's Sound settings to use voice features.";

    // `history` is this showing's store; it is loaded on a worker while the
    // first request runs, never when the panel opens nor on the main thread.
    PanelModel(core::Settings& settings, std::shared_ptr<desktop::PanelHistory> history, Options options,
               Services services);
    // Does what hiding does (stops recording, cancels pending work); an
    // answer still on its way is recorded in the history, nothing more.
    ~PanelModel();
    PanelModel(const PanelModel&) = delete;
    PanelModel& operator=(const PanelModel&) = delete;

    core::ObserverToken subscribe(std::function<void(Change)> observer);
    void unsubscribe(core::ObserverToken token);

    // --- state ---
    const std::string& text() const { return text_; }
    bool isVisible() const { return isVisible_; }
    // Absent only when the catalogue holds no model at all.
    const std::optional<core::ModelInfo>& selectedModel() const { return selectedModel_; }
    bool isModelPickerVisible() const { return isModelPickerVisible_; }
    const std::optional<std::string>& originalText() const { return originalText_; }
    bool isLoading() const { return isLoading_; }
    const std::optional<std::string>& errorMessage() const { return errorMessage_; }
    bool isFocused() const { return isFocused_; }
    Appearance appearance() const { return appearance_; }
    AppearanceAnimation appearanceAnimation() const { return appearanceAnimation_; }
    bool startWithVoiceInput() const { return options_.startWithVoiceInput; }
    bool startWithChat() const { return options_.startWithChat; }
    bool isRecording() const { return isRecording_; }
    // The recogniser's level while recording, else 0.
    float audioLevel() const;
    bool isChatMode() const { return isChatMode_; }
    const std::vector<core::ChatMessage>& messages() const { return messages_; }

    // Names the end of the chat transcript, for scrolling to it; fresh for
    // every panel.
    const platform::Uuid& bottomID() const { return bottomID_; }

    ModelButton modelButton() const;
    // The visible models, flat, in catalogue order, read from the settings
    // now (so they follow edits in the settings window).
    std::vector<ModelPickerList::Row> pickerRows() const;

    // --- the view's inputs ---
    void setText(std::string text);
    void setFocused(bool focused);
    void setModelPickerVisible(bool visible);

    // --- lifecycle ---
    void handleAppear();
    void handleVisibilityChange(bool visible);
    // Closes the picker if open, else asks the owner to hide the panel.
    // Always handled (true).
    bool handleEscapeKey();
    void handleDisappear();

    // --- actions ---
    void toggleModelPicker();
    void selectModel(const core::ModelInfo& model);
    void submit();
    void toggleChatMode();
    void toggleVoiceInput();
    void requestMicrophoneAndRecord(bool autoSubmit);
    void handleSilenceNotification(const platform::Notification& notification);
    void submitTranscript(const std::string& transcript);

    // --- rules, public for the widgets and the tests ---
    // The model a new panel starts on: the remembered one when it is still
    // visible, else the first visible model, else the first model of the
    // first group; nothing when there is no model at all.
    static std::optional<core::ModelInfo> startModel(const core::Settings& settings,
                                                     platform::UserDefaults& defaults);
    // "no_key_required", or the key the model's provider needs (maybe empty).
    static std::string apiKeyRequirement(const core::Settings& settings, std::string_view displayName);
    std::string apiKeyRequirement(std::string_view displayName) const;
    // The provider that answers the model, as its error messages name it.
    std::string providerName(std::string_view displayName) const;

private:
    struct Guard;
    struct PendingRequest;

    void notify(Change change) const;
    // Sets `field` and tells the observers, when the value differs.
    template <class T, class V>
    void assign(T& field, V&& value, Change change);
    void setLoading(bool loading);
    void setErrorMessage(std::optional<std::string> message);
    void setRecording(bool recording);
    void setMessages(std::vector<core::ChatMessage> messages);
    void appendMessage(std::string content, core::MessageRole role);
    void setAppearance(Appearance appearance, AppearanceAnimation animation);
    void requestHide();

    void animateIn();
    void activateAndFocus();
    void checkApiKeyAtAppear();
    void sendRequest();
    void startRecording(bool autoSubmit);
    void handleMicrophoneAccess(bool granted, bool autoSubmit);
    void showMicrophoneDeniedAlert();
    // Runs `task` after `delay` on the main loop unless the panel hides first.
    void schedule(std::chrono::milliseconds delay, std::function<void()> task);
    // Runs `task` on a later turn of the main loop if this model still lives.
    void postWhileAlive(std::function<void()> task);
    // The panel's recogniser, made on first use.
    SpeechInput& speech();

    static void handleCompletion(PendingRequest& request, std::string answer);
    static void handleError(PendingRequest& request, std::string description);
    // The model behind a guard, or null once it is gone.
    static PanelModel* alive(const std::weak_ptr<Guard>& guard);

    core::Settings& settings_;
    std::shared_ptr<BackgroundHistory> history_;
    Options options_;
    Services services_;
    std::shared_ptr<Guard> guard_;
    core::ObserverList<Change> observers_;

    std::string text_;
    bool isVisible_ = true;
    std::optional<core::ModelInfo> selectedModel_;
    bool isModelPickerVisible_ = false;
    std::optional<std::string> originalText_;
    bool isLoading_ = false;
    std::optional<std::string> errorMessage_;
    bool isFocused_ = false;
    Appearance appearance_ = kHidden;
    AppearanceAnimation appearanceAnimation_ = AppearanceAnimation::none;
    std::unique_ptr<SpeechInput> speechInput_;
    bool isRecording_ = false;
    bool isChatMode_ = false;
    std::vector<core::ChatMessage> messages_;
    platform::Uuid bottomID_ = platform::Uuid::random();

    // Set once a one-shot answer went into the application: a later answer
    // of this panel is only recorded.
    bool deliveredAnswer_ = false;
    // Between handleDisappear and the next handleAppear.
    bool hidden_ = false;
    std::vector<platform::MainLoop::Id> timers_;
};

}  // namespace panel
