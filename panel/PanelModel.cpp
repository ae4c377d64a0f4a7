#include "panel/PanelModel.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "GlobalShortcuts/Alert.h"
#include "GlobalShortcuts/AlertPresenter.h"
#include "desktop/FloatingWindowManager.h"
#include "platform/LastActiveApplication.h"
#include "platform/Logger.h"
#include "platform/Required.h"
#include "platform/UndecodableValue.h"
#include "platform/Unicode.h"
#include "ui/ModelIconName.h"

namespace panel {

using namespace std::chrono_literals;

// Owned by the panel; the callbacks it schedules hold it weakly. `model` is
// cleared when the panel goes, also while a callback holds the guard.
struct PanelModel::Guard {
    PanelModel* model;
};

// What an answer needs when it arrives, also after its panel is gone.
struct PanelModel::PendingRequest {
    core::ModelInfo model;  // selected when the request started
    std::string prompt;
    std::optional<std::string> originalText;
    std::shared_ptr<BackgroundHistory> history;
    core::Analytics* analytics;
    std::weak_ptr<Guard> guard;
};

namespace {

constexpr auto kAnimateInDelay = 100ms;
constexpr auto kFocusDelay = 100ms;
constexpr auto kVoiceStartDelay = 300ms;

std::optional<std::string_view> view(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    return std::string_view(*text);
}

}  // namespace

PanelModel::PanelModel(core::Settings& settings, std::shared_ptr<desktop::PanelHistory> history, Options options,
                       Services services)
    : settings_(settings),
      options_(std::move(options)),
      services_(std::move(services)),
      guard_(std::make_shared<Guard>(Guard{this})) {
    if (!history || !services_.executor) throw std::invalid_argument("PanelModel needs a history and an executor");
    platform::required(services_.selection, "PanelModel: the selection access");
    platform::required(services_.voiceAuthorization, "PanelModel: the voice authorisation");
    platform::required(services_.makeSpeechInput, "PanelModel: the speech input factory");
    platform::required(services_.mainLoop, "PanelModel: the main loop");
    platform::required(services_.makeAIService, "PanelModel: the provider factory");
    platform::required(services_.defaults, "PanelModel: the settings store");
    platform::required(services_.analytics, "PanelModel: the analytics");
    platform::required(services_.telemetry, "PanelModel: the telemetry client");
    history_ = std::make_shared<BackgroundHistory>(std::move(history), services_.executor, services_.mainLoop);
    originalText_ = options_.originalText;
    selectedModel_ = startModel(settings_, *services_.defaults);
}

PanelModel::Options PanelModel::optionsFor(const desktop::PanelViewContext& context, std::function<bool()> isCurrent) {
    Options options;
    options.startWithVoiceInput = context.startWithVoiceInput;
    options.startWithChat = context.startWithChat;
    options.onSubmit = context.onSubmit;
    options.isCurrent = std::move(isCurrent);
    return options;
}

PanelModel::~PanelModel() {
    // The view may already be half gone: nobody hears the last changes.
    observers_ = {};
    handleDisappear();
    guard_->model = nullptr;
}

core::ObserverToken PanelModel::subscribe(std::function<void(Change)> observer) {
    return observers_.subscribe(std::move(observer));
}

void PanelModel::unsubscribe(core::ObserverToken token) { observers_.unsubscribe(token); }

void PanelModel::notify(Change change) const { observers_.notify(change); }

// --- state ---

float PanelModel::audioLevel() const { return speechInput_ ? speechInput_->audioLevel() : 0.0f; }

PanelModel::ModelButton PanelModel::modelButton() const {
    if (!selectedModel_) return {};
    return {selectedModel_->displayName, ui::iconName(*selectedModel_)};
}

std::vector<ModelPickerList::Row> PanelModel::pickerRows() const {
    return ModelPickerList::rows(settings_.availableModels(), selectedModel_);
}

template <class T, class V>
void PanelModel::assign(T& field, V&& value, Change change) {
    if (field == value) return;
    field = std::forward<V>(value);
    notify(change);
}

void PanelModel::setText(std::string text) { assign(text_, std::move(text), Change::text); }
void PanelModel::setFocused(bool focused) { assign(isFocused_, focused, Change::focused); }
void PanelModel::setModelPickerVisible(bool visible) {
    assign(isModelPickerVisible_, visible, Change::modelPickerVisible);
}
void PanelModel::setLoading(bool loading) { assign(isLoading_, loading, Change::loading); }
void PanelModel::setErrorMessage(std::optional<std::string> message) {
    assign(errorMessage_, std::move(message), Change::errorMessage);
}
void PanelModel::setRecording(bool recording) { assign(isRecording_, recording, Change::recording); }

void PanelModel::setMessages(std::vector<core::ChatMessage> messages) {
    messages_ = std::move(messages);
    notify(Change::messages);
}

void PanelModel::appendMessage(std::string content, core::MessageRole role) {
    messages_.push_back(core::ChatMessage::make(std::move(content), role));
    notify(Change::messages);
}

void PanelModel::setAppearance(Appearance appearance, AppearanceAnimation animation) {
    appearance_ = appearance;
    appearanceAnimation_ = animation;
    notify(Change::appearance);
}

void PanelModel::requestHide() {
    if (options_.setVisible) options_.setVisible(false);
}

SpeechInput& PanelModel::speech() {
    if (!speechInput_) {
        speechInput_ = services_.makeSpeechInput();
        speechInput_->setAudioLevelHandler([this](float) { notify(Change::audioLevel); });
    }
    return *speechInput_;
}

// --- lifecycle ---

void PanelModel::handleAppear() {
    hidden_ = false;
    services_.telemetry->capture("floating_window_shown", {});
    speech();
    // The answers only print; voice input asks again when it is used.
    services_.voiceAuthorization->requestSpeechRecognitionAuthorization([](bool authorized) {
        if (!authorized) platform::consoleLine("Speech recognition not authorized");
    });
    services_.voiceAuthorization->requestMicrophoneAccess([](bool granted) {
        if (!granted) platform::consoleLine("Microphone access denied");
    });
    schedule(kAnimateInDelay, [this] { animateIn(); });

    if (auto selected = services_.selection->getSelectedText()) {
        originalText_ = std::move(selected);
        notify(Change::originalText);
    }
    if (options_.startWithChat) {
        isChatMode_ = true;
        notify(Change::chatMode);
        if (originalText_) appendMessage(*originalText_, core::MessageRole::system);
        services_.analytics->trackChatModeUsed(options_.startWithVoiceInput, view(originalText_));
    }
    if (options_.startWithVoiceInput) schedule(kVoiceStartDelay, [this] { requestMicrophoneAndRecord(true); });

    // Only this panel's recogniser: a silence heard by an earlier panel's
    // recogniser is not this panel's transcript.
    speechInput_->setSilenceHandler([this](const platform::Notification& n) { handleSilenceNotification(n); });
    checkApiKeyAtAppear();
    // Same delay as the animation and made after it: runs after it.
    schedule(kFocusDelay, [this] { activateAndFocus(); });
}

void PanelModel::checkApiKeyAtAppear() {
    if (!selectedModel_) {
        setErrorMessage(std::string(kNoModelMessage));
        return;
    }
    const std::string key = apiKeyRequirement(selectedModel_->displayName);
    if (key == kNoKeyRequired || !key.empty()) return;
    const std::string provider = providerName(selectedModel_->displayName);
    setErrorMessage("Please set your " + provider + " API key in Settings");
    services_.analytics->trackError("missing_api_keys", "No API key configured for " + provider);
}

void PanelModel::animateIn() { setAppearance(kShown, AppearanceAnimation::in); }

void PanelModel::activateAndFocus() {
    if (options_.activateApplication) options_.activateApplication();
    setFocused(true);
}

void PanelModel::handleVisibilityChange(bool visible) {
    isVisible_ = visible;
    notify(Change::visible);
    if (visible) {
        animateIn();
        return;
    }
    services_.telemetry->capture("floating_window_dismissed", {{"reason", std::string("user_dismissed")}});
    setAppearance(kHidden, AppearanceAnimation::out);
}

bool PanelModel::handleEscapeKey() {
    if (isModelPickerVisible_)
        setModelPickerVisible(false);
    else
        requestHide();
    return true;
}

void PanelModel::handleDisappear() {
    hidden_ = true;
    for (const auto id : timers_) services_.mainLoop->cancel(id);
    timers_.clear();
    if (!speechInput_) return;
    speechInput_->setSilenceHandler(nullptr);
    // A hidden panel must not keep the microphone open.
    if (isRecording_) {
        speechInput_->stopRecording();
        setRecording(false);
    }
}

void PanelModel::schedule(std::chrono::milliseconds delay, std::function<void()> task) {
    auto id = std::make_shared<platform::MainLoop::Id>(0);
    *id = services_.mainLoop->addTimer(delay, false, [this, id, task = std::move(task)] {
        std::erase(timers_, *id);
        task();
    });
    timers_.push_back(*id);
}

void PanelModel::postWhileAlive(std::function<void()> task) {
    services_.mainLoop->post(std::weak_ptr<Guard>(guard_), std::move(task));
}

PanelModel* PanelModel::alive(const std::weak_ptr<Guard>& guard) {
    const auto locked = guard.lock();
    return locked ? locked->model : nullptr;
}

// --- model picker ---

void PanelModel::toggleModelPicker() { setModelPickerVisible(!isModelPickerVisible_); }

void PanelModel::selectModel(const core::ModelInfo& model) {
    selectedModel_ = model;
    notify(Change::selectedModel);
    services_.defaults->setString(kLastSelectedModelKey, model.displayName);
    setModelPickerVisible(false);
    setFocused(true);
}

std::optional<core::ModelInfo> PanelModel::startModel(const core::Settings& settings,
                                                      platform::UserDefaults& defaults) {
    if (platform::holdsReadable<std::string>(defaults, kLastSelectedModelKey, "not a text value")) {
        auto model = settings.findModel(defaults.string(kLastSelectedModelKey).value_or(""));
        if (model && model->isVisible) return model;
    }
    const auto available = settings.availableModels();
    if (!available.empty()) return available.front();
    // Every model hidden: the first one anyway, so the panel can still send.
    for (const auto& group : settings.modelGroups())
        if (!group.models.empty()) return group.models.front();
    return std::nullopt;
}

// --- submission ---

std::string PanelModel::apiKeyRequirement(const core::Settings& settings, std::string_view displayName) {
    switch (core::AIService::providerFor(settings.modelGroups(), displayName)) {
        case core::AIService::Provider::openai: return settings.openaiKey();
        case core::AIService::Provider::anthropic: return settings.claudeKey();
        case core::AIService::Provider::gemini: return settings.geminiKey();
        case core::AIService::Provider::ollama: break;
    }
    return std::string(kNoKeyRequired);
}

std::string PanelModel::providerName(std::string_view displayName) const {
    return std::string(core::AIService::providerName(core::AIService::providerFor(settings_.modelGroups(), displayName)));
}

std::string PanelModel::apiKeyRequirement(std::string_view displayName) const {
    return apiKeyRequirement(settings_, displayName);
}

void PanelModel::submit() {
    // Only a prompt with no characters at all is ignored; spaces are sent.
    if (text_.empty()) return;
    if (isChatMode_) {
        appendMessage(text_, core::MessageRole::user);
        services_.analytics->trackChatMessageSent(isRecording_,
                                                  static_cast<std::int64_t>(platform::unicode::characterCount(text_)));
    }
    if (!selectedModel_) {
        setErrorMessage(std::string(kNoModelMessage));
        return;
    }
    const std::string key = apiKeyRequirement(selectedModel_->displayName);
    if (key == kNoKeyRequired || !key.empty()) {
        sendRequest();
        return;
    }
    // An empty key comes only from a provider that needs one.
    const std::string provider = providerName(selectedModel_->displayName);
    setErrorMessage("Please set your " + provider + " API key in Settings");
    services_.analytics->trackError("missing_api_key", "Missing " + provider + " API key");
}

void PanelModel::sendRequest() {
    setErrorMessage(std::nullopt);
    std::string prompt = text_;
    setLoading(true);

    auto request = std::make_shared<PendingRequest>(
        PendingRequest{*selectedModel_, prompt, originalText_, history_, services_.analytics, guard_});
    std::vector<core::ChatMessage> history;
    if (isChatMode_) {
        history = messages_;
        // The transcript already shows the question just asked; it goes to
        // the provider once, as the prompt, not also as the last turn.
        if (!history.empty() && history.back().role == core::MessageRole::user && history.back().content == prompt)
            history.pop_back();
    }
    ProviderRequest::Call call{*selectedModel_, std::move(prompt), originalText_, std::move(history)};
    // The answer will be pasted over the selection: the clipboard it
    // borrows is read while the provider thinks.
    if (!isChatMode_) services_.selection->keepClipboardForAnswer();
    // The stored list loads beside the provider call, off the main thread.
    history_->prefetch();
    // The copy is taken here, on the main thread; the worker reads only it.
    auto service = services_.makeAIService(settings_.requestSettings());
    ProviderRequest::start(*services_.executor, std::weak_ptr<Guard>(guard_), services_.mainLoop, std::move(service),
                           std::move(call),
                           [request](ProviderRequest::Outcome outcome) {
                               if (auto* answer = std::get_if<std::string>(&outcome))
                                   handleCompletion(*request, std::move(*answer));
                               else
                                   handleError(*request, std::get<ProviderRequest::Failure>(outcome).description);
                           });
}

void PanelModel::handleCompletion(PendingRequest& request, std::string answer) {
    PanelModel* model = alive(request.guard);
    // Recorded whatever became of the panel: the answer was given.
    const core::ModelInfo used = model && model->selectedModel_ ? *model->selectedModel_ : request.model;
    const std::optional<std::string>& originalText = model ? model->originalText_ : request.originalText;
    request.analytics->trackModelUsed(used.displayName, used.apiName, request.prompt, view(originalText));
    const auto app = platform::LastActiveApplication::get();
    std::string applicationName = app && app->localizedName ? *app->localizedName : "unknown";
    request.history->use([name = used.displayName, prompt = request.prompt, originalText, answer,
                          applicationName = std::move(applicationName)](core::HistoryService& store) {
        store.addEntry(name, prompt, originalText, answer, applicationName);
    });
    // A panel closed before its answer came (Escape, the keyboard gone to
    // another window, the main shortcut) types nothing: the user may be
    // writing somewhere else by now.
    const auto closedBeforeAnswer = [] {
        platform::Logger("quillary", "panel")
            .info("The answer came after its panel was closed: it is in the history, nothing is typed");
    };
    if (!model) return closedBeforeAnswer();

    if (model->isChatMode_) {
        model->appendMessage(std::move(answer), core::MessageRole::assistant);
        model->setText("");
    } else if (model->hidden_) {
        closedBeforeAnswer();
    } else if (!model->deliveredAnswer_ && (!model->options_.isCurrent || model->options_.isCurrent())) {
        // One answer per panel goes into the application, and only while the
        // panel is still the one shown: a newer capture remembers another
        // application, and onSubmit would close the newer panel.
        model->deliveredAnswer_ = true;
        model->services_.selection->replaceSelectedText(answer);
        // The paste waits in a nested event loop, and the owner may close
        // the panel: check it is still there after each such call.
        if (!alive(request.guard)) return;
        if (model->options_.onSubmit) model->options_.onSubmit(used.displayName + ": " + request.prompt + " -> " + answer);
        if (!alive(request.guard)) return;
        model->setText("");
        model->requestHide();
        if (!alive(request.guard)) return;
    }
    model->setLoading(false);
}

void PanelModel::handleError(PendingRequest& request, std::string description) {
    request.analytics->trackError("completion_error", description);
    PanelModel* model = alive(request.guard);
    if (!model) return;
    model->postWhileAlive([model, description = std::move(description)] {
        model->setLoading(false);
        model->setErrorMessage(description);
    });
}

// --- chat ---

void PanelModel::toggleChatMode() {
    isChatMode_ = !isChatMode_;
    notify(Change::chatMode);
    if (isChatMode_ && originalText_) appendMessage(*originalText_, core::MessageRole::system);
    if (!isChatMode_) setMessages({});
}

// --- voice ---

void PanelModel::toggleVoiceInput() {
    if (isRecording_) {
        platform::consoleLine("Stopping recording");
        speech().stopRecording();
        setText(speech().transcript());
        // Still recording here, so a chat message counts as voice input.
        submit();
        setRecording(false);
        return;
    }
    platform::consoleLine("Starting microphone request flow");
    requestMicrophoneAndRecord(false);
}

void PanelModel::requestMicrophoneAndRecord(bool autoSubmit) {
    switch (services_.voiceAuthorization->microphoneStatus()) {
        case MicrophoneStatus::authorized:
            platform::consoleLine("✅ Microphone already authorized");
            startRecording(autoSubmit);
            return;
        case MicrophoneStatus::notDetermined:
            platform::consoleLine("Requesting microphone access for the first time");
            // The answer may come on any thread; only the main loop and the
            // guard travel with it.
            services_.voiceAuthorization->requestMicrophoneAccess(
                [loop = services_.mainLoop, guard = std::weak_ptr<Guard>(guard_), autoSubmit](bool granted) {
                    loop->post([guard, granted, autoSubmit] {
                        if (PanelModel* model = alive(guard)) model->handleMicrophoneAccess(granted, autoSubmit);
                    });
                });
            return;
        case MicrophoneStatus::restricted:
        case MicrophoneStatus::denied:
            platform::consoleLine("Microphone access previously denied, showing alert");
            postWhileAlive([this] { showMicrophoneDeniedAlert(); });
            return;
    }
}

void PanelModel::startRecording(bool autoSubmit) {
    if (auto failure = speech().startRecording(autoSubmit)) {
        setRecording(false);
        setErrorMessage(std::string(kVoiceStartFailedPrefix) + *failure);
        return;
    }
    setRecording(true);
}

void PanelModel::handleMicrophoneAccess(bool granted, bool autoSubmit) {
    if (granted) {
        platform::consoleLine("✅ Microphone access granted");
        // A grant that arrives after the panel hid opens no microphone.
        if (!hidden_) startRecording(autoSubmit);
        return;
    }
    platform::consoleLine("❌ Microphone access denied");
    postWhileAlive([this] { showMicrophoneDeniedAlert(); });
}

void PanelModel::showMicrophoneDeniedAlert() {
    const auto presenter = services_.alerts ? services_.alerts : GlobalShortcuts::AlertPresenter::current();
    // The alert runs its own event loop, in which this panel may go away.
    const auto authorization = services_.voiceAuthorization;
    const GlobalShortcuts::Alert alert(std::string(kMicrophoneAlertTitle), std::string(kMicrophoneAlertText),
                                       GlobalShortcuts::AlertStyle::warning, {"Open Settings", "Cancel"});
    if (presenter->runModal(alert, nullptr) == GlobalShortcuts::Alert::firstButtonReturn)
        authorization->openMicrophoneSettings();
}

void PanelModel::handleSilenceNotification(const platform::Notification& notification) {
    if (!isRecording_) return;
    if (const auto* transcript = notification.value<std::string>("transcript")) {
        platform::consoleLine("📝 Received transcript: \"" + platform::outsideText(*transcript) + "\"");
        submitTranscript(*transcript);
    }
    setRecording(false);
}

void PanelModel::submitTranscript(const std::string& transcript) {
    setText(transcript);
    // In chat mode a dictation is only placed in the field, unless the panel
    // was opened to talk.
    if (!isChatMode_ || options_.startWithVoiceInput) submit();
    setRecording(false);
}

}  // namespace panel
