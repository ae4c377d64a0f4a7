#include "panel/FloatingWindowView.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>
#include <utility>

#include "desktop/FloatingPanel.h"
#include "panel/ChatView.h"
#include "panel/LoadingSpinner.h"
#include "panel/ModelPickerButton.h"
#include "panel/ModelPickerPopup.h"
#include "panel/PanelAppearanceEffect.h"
#include "panel/PromptField.h"
#include "panel/RotatingBorder.h"
#include "panel/SlotOverlay.h"
#include "ui/SymbolButton.h"
#include "panel/VoiceWaveform.h"
#include "ui/Animations.h"
#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "ui/RoundedSurface.h"
#include "ui/SpringEasing.h"

namespace panel {

namespace {

constexpr const char* kChatSymbol = "bubble.left.and.bubble.right";
constexpr const char* kChatSymbolFilled = "bubble.left.and.bubble.right.fill";
constexpr const char* kMicSymbol = "mic";
constexpr const char* kSendSymbol = "arrow.up";

QColor grey() { return ui::Palette::color(ui::Colour::Grey); }

QColor chatColour(bool chat) { return chat ? ui::Palette::color(ui::Colour::Blue) : grey(); }

QColor mixColour(const QColor& from, const QColor& to, double progress) {
    const auto lerp = [progress](float a, float b) { return a + (b - a) * static_cast<float>(progress); };
    return QColor::fromRgbF(lerp(from.redF(), to.redF()), lerp(from.greenF(), to.greenF()),
                            lerp(from.blueF(), to.blueF()), lerp(from.alphaF(), to.alphaF()));
}

PanelModel::Appearance mix(const PanelModel::Appearance& from, const PanelModel::Appearance& to, double progress) {
    const auto lerp = [progress](double a, double b) { return a + (b - a) * progress; };
    return {lerp(from.opacity, to.opacity), lerp(from.scale, to.scale), lerp(from.blurRadius, to.blurRadius)};
}

}  // namespace

FloatingWindowView::FloatingWindowView(std::unique_ptr<PanelModel> model,
                                       std::shared_ptr<platform::Pasteboard> pasteboard, QWidget* parent)
    : QWidget(parent),
      model_(std::move(model)),
      stack_(new QVBoxLayout(this)),
      errorLine_(new ui::PlainLabel(QString(), ui::TextStyle::Caption, ui::Palette::color(ui::Colour::Red), this)),
      transcript_(new ChatView(std::move(pasteboard), this)),
      border_(nullptr) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedWidth(kWidth);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    stack_->setContentsMargins(kHorizontalPadding, kVerticalPadding, kHorizontalPadding, kVerticalPadding);
    stack_->setSpacing(kSpacing);

    // Centred as a block: a short message stands in the middle, a long one
    // wraps over the panel's width.
    errorLine_->setWordWrap(true);
    errorLine_->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    errorLine_->setContentsMargins(8, 0, 8, 0);
    errorLine_->hide();
    stack_->addWidget(errorLine_);

    transcript_->setMaxHeight(kTranscriptMaxHeight);
    transcript_->hide();
    stack_->addWidget(transcript_);

    buildInputRow();
    stack_->addWidget(inputRow_);

    // Over everything, and clicks pass through it to the controls.
    border_ = new RotatingBorder(this);
    border_->setAttribute(Qt::WA_TransparentForMouseEvents);
    border_->setGeometry(rect());
    border_->raise();

    // Drawn hidden until the model animates it in.
    effect_ = new PanelAppearanceEffect;
    const PanelModel::Appearance start = model_->appearance();
    effect_->setAppearance(start.opacity, start.scale, start.blurRadius);
    setGraphicsEffect(effect_);

    token_ = model_->subscribe([this](PanelModel::Change change) { changed(change); });
    showError();
    showTranscript();
    showChatMode();
    showRecording();
    showLoading();
    showModel();
    prompt_->setTextIfDifferent(QString::fromStdString(model_->text()));
}

FloatingWindowView::~FloatingWindowView() {
    model_->unsubscribe(token_);
    // The model may still tell the popup's handlers something while it goes.
    if (!picker_) return;
    picker_->setOnPick(nullptr);
    picker_->setOnDismiss(nullptr);
    delete picker_;
}

ModelPickerPopup* FloatingWindowView::picker() {
    if (picker_) return picker_;
    // A window of its own: the panel's popup, closed by a click elsewhere.
    picker_ = new ModelPickerPopup(this);
    picker_->setOnPick([this](const core::ModelInfo& model) { model_->selectModel(model); });
    picker_->setOnDismiss([this] { model_->setModelPickerVisible(false); });
    return picker_;
}

void FloatingWindowView::buildInputRow() {
    inputRow_ = new QWidget(this);
    auto* row = new QHBoxLayout(inputRow_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(kRowSpacing);

    modelButton_ = new ModelPickerButton(inputRow_);
    QObject::connect(modelButton_, &QAbstractButton::clicked, this, [this] { model_->toggleModelPicker(); });

    chatButton_ = new ui::SymbolButton(kChatSymbol, grey(), 12, QSize(18, 16), inputRow_);
    QObject::connect(chatButton_, &QAbstractButton::clicked, this, [this] {
        // Only the button's change moves on the spring; a panel opened in
        // chat mode shows it at once.
        chatButtonToggling_ = true;
        model_->toggleChatMode();
        chatButtonToggling_ = false;
        springToChatMode();
    });

    prompt_ = new PromptField(inputRow_);
    prompt_->setOnSubmit([this] { model_->submit(); });
    prompt_->setOnTextChanged([this](const QString& text) { model_->setText(text.toStdString()); });
    prompt_->installEventFilter(this);

    micButton_ = new ui::SymbolButton(kMicSymbol, grey(), 14, QSize(16, 16), inputRow_);
    QObject::connect(micButton_, &QAbstractButton::clicked, this, [this] { model_->toggleVoiceInput(); });

    sendButton_ = new ui::SymbolButton(kSendSymbol, grey(), 14, QSize(16, 16), inputRow_);
    QObject::connect(sendButton_, &QAbstractButton::clicked, this, [this] { model_->submit(); });

    row->addWidget(modelButton_, 0, Qt::AlignVCenter);
    row->addWidget(chatButton_, 0, Qt::AlignVCenter);
    // The spacer and the prompt share the free width.
    row->addStretch(1);
    row->addWidget(prompt_, 1, Qt::AlignVCenter);
    row->addWidget(micButton_, 0, Qt::AlignVCenter);
    row->addWidget(sendButton_, 0, Qt::AlignVCenter);

    waveform_ = new VoiceWaveform(inputRow_);
    waveformOverlay_ = new SlotOverlay(*waveform_, *micButton_);
    spinner_ = new LoadingSpinner(inputRow_);
    spinnerOverlay_ = new SlotOverlay(*spinner_, *sendButton_);
}

PanelAppearanceEffect* FloatingWindowView::appearanceEffect() const { return effect_; }

QVariantAnimation* FloatingWindowView::chatModeMotion() const { return chatMotion_; }

void FloatingWindowView::changed(PanelModel::Change change) {
    using Change = PanelModel::Change;
    switch (change) {
        case Change::text:
            prompt_->setTextIfDifferent(QString::fromStdString(model_->text()));
            break;
        case Change::selectedModel:
            showModel();
            break;
        case Change::modelPickerVisible:
            showPicker();
            break;
        case Change::loading:
            showLoading();
            break;
        case Change::errorMessage:
            showError();
            break;
        case Change::focused:
            showFocus();
            break;
        case Change::appearance:
            showAppearance();
            break;
        case Change::recording:
        case Change::audioLevel:
            showRecording();
            break;
        case Change::chatMode:
            if (chatButtonToggling_) break;  // the button's handler moves it
            settleChatMode();
            showChatMode();
            showTranscript();
            break;
        case Change::messages:
            showTranscript();
            break;
        case Change::originalText:
        case Change::visible:
            break;
    }
}

void FloatingWindowView::showError() {
    const auto& message = model_->errorMessage();
    const QString text = message ? QString::fromStdString(*message) : QString();
    if (errorLine_->text() != text) errorLine_->setText(text);
    errorLine_->setVisible(message.has_value());
}

void FloatingWindowView::showTranscript() {
    const bool shown = model_->isChatMode() && !model_->messages().empty();
    if (shown) transcript_->setMessages(model_->messages());
    // A transcript on its way in or out is shown by the spring.
    if (!chatMotion_ && !chatButtonToggling_) transcript_->setVisible(shown);
}

void FloatingWindowView::springToChatMode() {
    // From where the button and the transcript stand now.
    if (chatMotion_) {
        chatMotion_->disconnect(this);
        chatMotion_->stop();
        chatMotion_ = nullptr;
    }
    const bool transcriptShown = model_->isChatMode() && !model_->messages().empty();
    const bool chat = model_->isChatMode();
    const QColor fromColour = chatButton_->colour();
    const QColor toColour = chatColour(chat);
    chatButton_->setSymbol(chat ? kChatSymbolFilled : kChatSymbol, fromColour);
    chatButton_->setToolTip(QString::fromLatin1(chat ? kExitChatMode : kEnterChatMode));

    // The transcript grows to its own height, or shrinks to nothing, from
    // the height and opacity it has (a motion it replaces may have left it
    // halfway), fading with it; the window follows the layout.
    auto* fade = qobject_cast<QGraphicsOpacityEffect*>(transcript_->graphicsEffect());
    const bool wasShown = transcript_->isVisible();
    const int fromHeight = wasShown ? transcript_->height() : 0;
    const double fromOpacity = fade ? fade->opacity() : (wasShown ? 1.0 : 0.0);
    transcript_->setMaxHeight(kTranscriptMaxHeight);
    const int toHeight = transcriptShown ? transcript_->heightForWidth(kWidth - 2 * kHorizontalPadding) : 0;
    const double toOpacity = transcriptShown ? 1.0 : 0.0;
    const bool moves = wasShown || transcriptShown;
    if (moves) {
        if (!fade) {
            fade = new QGraphicsOpacityEffect;
            transcript_->setGraphicsEffect(fade);
        }
        fade->setOpacity(fromOpacity);
        transcript_->setMaxHeight(fromHeight);
        transcript_->show();
    }

    auto* spring = new ui::SpringAnimation(ui::SpringEasing(kChatSpringResponse, kChatSpringDamping), this);
    spring->setStartValue(0.0);
    spring->setEndValue(1.0);
    const QString symbol = chatButton_->symbol();
    QObject::connect(spring, &QVariantAnimation::valueChanged, this,
                     [this, symbol, fromColour, toColour, moves, fromHeight, toHeight, fromOpacity, toOpacity,
                      fade](const QVariant& value) {
                         const double progress = value.toDouble();
                         chatButton_->setSymbol(symbol.toStdString(), mixColour(fromColour, toColour, progress));
                         if (!moves) return;
                         const double height = fromHeight + (toHeight - fromHeight) * progress;
                         transcript_->setMaxHeight(std::max(0, static_cast<int>(std::lround(height))));
                         fade->setOpacity(fromOpacity + (toOpacity - fromOpacity) * progress);
                     });
    QObject::connect(spring, &QAbstractAnimation::finished, this, [this] { settleChatMode(); });
    chatMotion_ = spring;
    ui::Animations::start(spring);
}

// Ends the chat button's spring where it was going: the colour and the
// transcript of the model's present state, at full height.
void FloatingWindowView::settleChatMode() {
    if (!chatMotion_) return;
    QVariantAnimation* motion = std::exchange(chatMotion_, nullptr);
    motion->disconnect(this);
    motion->stop();
    transcript_->setGraphicsEffect(nullptr);
    transcript_->setMaxHeight(kTranscriptMaxHeight);
    showChatMode();
    showTranscript();
}

void FloatingWindowView::showChatMode() {
    const bool chat = model_->isChatMode();
    chatButton_->setSymbol(chat ? kChatSymbolFilled : kChatSymbol, chatColour(chat));
    chatButton_->setToolTip(QString::fromLatin1(chat ? kExitChatMode : kEnterChatMode));
}

void FloatingWindowView::showRecording() {
    const bool recording = model_->isRecording();
    micButton_->setSymbolVisible(!recording);
    micButton_->setToolTip(QString::fromLatin1(recording ? kStopRecording : kStartVoiceInput));
    if (recording) waveform_->setLevel(true, model_->audioLevel());
    if (waveform_->isVisible() != recording) waveformOverlay_->setShown(recording);
}

void FloatingWindowView::showLoading() {
    const bool loading = model_->isLoading();
    sendButton_->setEnabled(!loading);
    sendButton_->setSymbolVisible(!loading);
    spinnerOverlay_->setShown(loading);
}

void FloatingWindowView::showModel() { modelButton_->setModel(model_->selectedModel()); }

void FloatingWindowView::showPicker() {
    if (model_->isModelPickerVisible()) {
        if (!picker()->isVisible()) picker_->open(model_->pickerRows(), *modelButton_);
    } else if (picker_ && picker_->isVisible()) {
        picker_->dismissQuietly();
    }
}

void FloatingWindowView::showFocus() {
    if (model_->isFocused() && !prompt_->hasFocus()) {
        // The picker's popup would keep the keyboard otherwise.
        if (window() && !window()->isActiveWindow() && window()->isVisible())
            desktop::FloatingPanel::activateWindowOf(window());
        prompt_->setFocus(Qt::OtherFocusReason);
    }
}

void FloatingWindowView::showAppearance() {
    const PanelModel::Appearance target = model_->appearance();
    const PanelModel::AppearanceAnimation kind = model_->appearanceAnimation();
    if (!effect_) {
        effect_ = new PanelAppearanceEffect;
        setGraphicsEffect(effect_);
    }
    const PanelModel::Appearance from{effect_->opacity(), effect_->scale(), effect_->blurRadius()};
    // A new appearance replaces the motion under way, from where it stands.
    for (QVariantAnimation* running : findChildren<QVariantAnimation*>(QStringLiteral("appearance"),
                                                                       Qt::FindDirectChildrenOnly))
        running->stop();
    runningAnimations_ = 0;

    if (kind == PanelModel::AppearanceAnimation::none) {
        effect_->setAppearance(target.opacity, target.scale, target.blurRadius);
        finishAppearance();
        return;
    }
    const auto track = [this](QVariantAnimation* animation, std::function<void(double)> apply) {
        animation->setObjectName(QStringLiteral("appearance"));
        animation->setStartValue(0.0);
        animation->setEndValue(1.0);
        QObject::connect(animation, &QVariantAnimation::valueChanged, this,
                         [apply = std::move(apply)](const QVariant& value) { apply(value.toDouble()); });
        QObject::connect(animation, &QAbstractAnimation::finished, this, [this] {
            if (--runningAnimations_ <= 0) finishAppearance();
        });
        ++runningAnimations_;
    };
    if (kind == PanelModel::AppearanceAnimation::in) {
        // Opacity and scale on the spring, blur on its own ease-out.
        auto* spring = new ui::SpringAnimation(ui::SpringEasing(0.4, 0.8), this);
        track(spring, [this, from, target](double p) {
            const PanelModel::Appearance now = mix(from, target, p);
            if (effect_) effect_->setAppearance(now.opacity, now.scale, effect_->blurRadius());
        });
        auto* blur = new QVariantAnimation(this);
        blur->setDuration(ui::Animations::durationMs(0.3));
        blur->setEasingCurve(ui::Animations::easeOut());
        track(blur, [this, from, target](double p) {
            if (effect_)
                effect_->setAppearance(effect_->opacity(), effect_->scale(),
                                       from.blurRadius + (target.blurRadius - from.blurRadius) * p);
        });
        ui::Animations::start(spring);
        ui::Animations::start(blur);
        return;
    }
    auto* fade = new QVariantAnimation(this);
    fade->setDuration(ui::Animations::durationMs(0.2));
    fade->setEasingCurve(ui::Animations::easeIn());
    track(fade, [this, from, target](double p) {
        const PanelModel::Appearance now = mix(from, target, p);
        if (effect_) effect_->setAppearance(now.opacity, now.scale, now.blurRadius);
    });
    ui::Animations::start(fade);
}

// At rest the panel is drawn directly: an effect would redraw the whole
// (blurred) panel on every frame of the rotating border.
void FloatingWindowView::finishAppearance() {
    runningAnimations_ = 0;
    if (!effect_ || model_->appearance() != PanelModel::kShown) return;
    effect_->setAppearance(1.0, 1.0, 0.0);
    effect_ = nullptr;
    setGraphicsEffect(nullptr);
}

QSize FloatingWindowView::sizeHint() const {
    stack_->activate();
    const int height = stack_->hasHeightForWidth() ? stack_->totalHeightForWidth(kWidth) : stack_->totalSizeHint().height();
    return {kWidth, height};
}

bool FloatingWindowView::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    // The window around the view follows its height as content comes and goes.
    if (event->type() == QEvent::LayoutRequest) {
        updateGeometry();
        if (!parentWidget()) adjustSize();
    }
    return handled;
}

void FloatingWindowView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    ui::RoundedSurface::paint(painter, QRectF(rect()), kCornerRadius, ui::Palette::grey(kBackgroundGrey));
}

void FloatingWindowView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    border_->setGeometry(rect());
    border_->raise();
}

void FloatingWindowView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (appeared_) return;
    appeared_ = true;
    model_->handleAppear();
}

void FloatingWindowView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!appeared_) return;
    appeared_ = false;
    if (picker_) picker_->dismissQuietly();
    model_->handleDisappear();
}

bool FloatingWindowView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == prompt_) {
        if (event->type() == QEvent::FocusIn) model_->setFocused(true);
        // Focus that goes to the panel's own popup still counts as the
        // prompt's until the picker gives it back.
        if (event->type() == QEvent::FocusOut && !(picker_ && picker_->isVisible())) model_->setFocused(false);
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace panel
