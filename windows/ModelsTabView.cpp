#include "windows/ModelsTabView.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "ui/Palette.h"
#include "ui/PlainLabel.h"
#include "windows/ModelCatalogEditor.h"
#include "windows/SettingsPanel.h"
#include "windows/SteppedSliderRow.h"

namespace windows {

namespace {

constexpr const char* kIntroduction =
    "Choose which models appear and use in your Quillary window. Your last used model will automatically be saved "
    "and stored for next use.\n\nYou can add any models you'd like to use from the OpenAI, Anthropic or Google Gemini "
    "family.\n\nOllama models are also supported provided that you have pulled the required model onto your "
    "machine.\n\nEnsure that for each family of model - you have provided the correct API key in the API Keys tab.";

constexpr const char* kTemperatureDescription =
    "Controls the randomness of the model's output. Lower values make the output more focused and deterministic, "
    "while higher values make it more creative and varied. Affects OpenAI, Claude, and Ollama models.";
constexpr const char* kMaxTokensDescription =
    "Sets the maximum length of the model's response in tokens. One token is roughly 4 characters of English text. "
    "Affects OpenAI, Claude, and Ollama models.";
constexpr const char* kSystemMessageDescription =
    "Add custom instructions to the system message. This will be appended to the default system message and helps "
    "guide the model's behavior. Affects all models.";

ui::PlainLabel* wrappedLabel(const char* text, ui::TextStyle style, ui::Colour colour) {
    auto* label = new ui::PlainLabel(QString::fromUtf8(text), style, ui::Palette::color(colour));
    label->setWordWrap(true);
    return label;
}

QVBoxLayout* stack(QWidget* owner, int spacing) {
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

// Title, description that wraps to its full height, and the control.
QWidget* parameterGroup(const char* title, const char* description, QLayout* control) {
    auto* group = new QWidget;
    auto* layout = stack(group, 8);
    layout->addWidget(wrappedLabel(title, ui::TextStyle::Body, ui::Colour::White));
    layout->addWidget(wrappedLabel(description, ui::TextStyle::Caption, ui::Colour::Grey));
    layout->addLayout(control);
    return group;
}

}  // namespace

ModelsTabView::ModelsTabView(core::Settings& settings, QWidget* parent)
    : SettingsTabPage(parent), settings_(settings), model_(settings) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // This tab alone lies on the window's own background.
    setBackground(ui::Colour::Surface12);

    auto* introduction = new QWidget;
    auto* introductionColumn = stack(introduction, 16);
    introductionColumn->addWidget(wrappedLabel("Quillary Models", ui::TextStyle::Headline, ui::Colour::White));
    introductionColumn->addWidget(wrappedLabel(kIntroduction, ui::TextStyle::Subheadline, ui::Colour::Grey));
    addPanel(introduction);
    addPanel(new SettingsPanel(makeConfigurationPanel()));
    catalogue_ = new ModelCatalogEditor(settings);
    addPanel(new SettingsPanel(catalogue_));

    refreshTemperature();
    refreshMaxTokens();
    refreshSystemMessage();
    token_ = settings_.subscribe([this](core::Settings::Property property) {
        switch (property) {
        case core::Settings::Property::Temperature: refreshTemperature(); break;
        case core::Settings::Property::MaxTokens: refreshMaxTokens(); break;
        case core::Settings::Property::CustomSystemMessage: refreshSystemMessage(); break;
        case core::Settings::Property::ModelGroups: catalogue_->refresh(); break;
        default: break;
        }
    });
}

ModelsTabView::~ModelsTabView() { settings_.unsubscribe(token_); }

QWidget* ModelsTabView::makeConfigurationPanel() {
    auto* content = new QWidget;
    auto* layout = stack(content, 16);
    layout->addWidget(wrappedLabel("Model Configuration", ui::TextStyle::Headline, ui::Colour::White));

    SteppedSliderRow temperature(ModelsTabModel::kTemperatureSteps, temperatureLabelWidth);
    slider_ = temperature.slider;
    slider_->setObjectName(QStringLiteral("temperatureSlider"));
    // Tracking stays on: every step handed over during a drag is stored.
    connect(slider_, &QSlider::valueChanged, this, [this](int step) { model_.setTemperatureStep(step); });
    temperatureLabel_ = temperature.value;
    auto* sliderRow = temperature.layout;
    layout->addWidget(parameterGroup("Temperature", kTemperatureDescription, sliderRow));

    maxTokensField_ = new QLineEdit;
    maxTokensField_->setObjectName(QStringLiteral("maxTokensField"));
    maxTokensField_->setFrame(false);
    maxTokensField_->setPlaceholderText(QStringLiteral("Max Tokens"));
    // The number is handed over when editing ends (Return, or the focus
    // leaving), so the digits typed on the way to "4096" are never stored.
    connect(maxTokensField_, &QLineEdit::editingFinished, this, [this] { commitMaxTokens(); });
    auto* maxTokensBox = SettingsPanel::fieldBox(maxTokensField_);
    maxTokensBox->setFixedWidth(maxTokensWidth);
    auto* maxTokensRow = new QHBoxLayout;
    maxTokensRow->addWidget(maxTokensBox, 0, Qt::AlignVCenter);
    maxTokensRow->addStretch(1);
    layout->addWidget(parameterGroup("Maximum Tokens", kMaxTokensDescription, maxTokensRow));

    messageEditor_ = new QPlainTextEdit;
    messageEditor_->setObjectName(QStringLiteral("systemMessageEditor"));
    messageEditor_->setFont(ui::TextStyles::system(12));
    messageEditor_->setFrameShape(QFrame::NoFrame);
    messageEditor_->setFixedHeight(systemMessageHeight);
    messageEditor_->viewport()->setAutoFillBackground(false);
    connect(messageEditor_, &QPlainTextEdit::textChanged, this,
            [this] { model_.setCustomSystemMessage(messageEditor_->toPlainText().toStdString()); });
    auto* messageRow = new QVBoxLayout;
    messageRow->addWidget(SettingsPanel::fieldBox(messageEditor_));
    layout->addWidget(parameterGroup("System Message", kSystemMessageDescription, messageRow));
    return content;
}

void ModelsTabView::refreshTemperature() {
    const int step = model_.temperatureStep();
    if (slider_->value() != step) {
        const QSignalBlocker blocker(slider_);
        slider_->setValue(step);
    }
    const QString text = model_.temperatureText();
    if (temperatureLabel_->text() != text) temperatureLabel_->setText(text);
}

void ModelsTabView::refreshMaxTokens() {
    const auto shown = ModelsTabModel::readMaxTokens(maxTokensField_->text().toStdString());
    if (shown && *shown == model_.maxTokens()) return;
    showStoredMaxTokens();
}

void ModelsTabView::showStoredMaxTokens() {
    const QString text = model_.maxTokensText();
    if (maxTokensField_->text() == text) return;
    const QSignalBlocker blocker(maxTokensField_);
    maxTokensField_->setText(text);
}

void ModelsTabView::commitMaxTokens() {
    model_.setMaxTokensText(maxTokensField_->text().toStdString());
    // Text that did not read as a number gives way to the stored value.
    showStoredMaxTokens();
    maxTokensField_->setModified(false);
}

void ModelsTabView::hideEvent(QHideEvent* event) {
    // Closing the window or leaving the tab keeps a number still being typed.
    if (maxTokensField_->isModified()) commitMaxTokens();
    SettingsTabPage::hideEvent(event);
}

void ModelsTabView::refreshSystemMessage() {
    const QString message = QString::fromStdString(model_.customSystemMessage());
    if (messageEditor_->toPlainText() == message) return;
    const QSignalBlocker blocker(messageEditor_);
    messageEditor_->setPlainText(message);
}

}  // namespace windows
