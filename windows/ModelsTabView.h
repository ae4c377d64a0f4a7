#pragma once

// The Models tab: the introduction, the "Model Configuration" panel
// (temperature slider, maximum-tokens field, system-message editor) and the
// "Available Models" panel. The controls follow the settings while the tab
// lives, also when a value is changed elsewhere; a value is pushed into a
// control only when it differs, with the control's signals blocked, so
// nothing echoes back and no cursor jumps.

#include "core/ObserverList.h"
#include "windows/ModelsTabModel.h"
#include "windows/SettingsTabPage.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSlider;

namespace windows {

class ModelCatalogEditor;

class ModelsTabView : public SettingsTabPage {
public:
    explicit ModelsTabView(core::Settings& settings, QWidget* parent = nullptr);
    ~ModelsTabView() override;

    QSlider* temperatureSlider() const { return slider_; }
    QLabel* temperatureLabel() const { return temperatureLabel_; }
    QLineEdit* maxTokensField() const { return maxTokensField_; }
    QPlainTextEdit* systemMessageEditor() const { return messageEditor_; }
    ModelCatalogEditor* catalogue() const { return catalogue_; }

    static constexpr int temperatureLabelWidth = 40;
    static constexpr int maxTokensWidth = 100;  // field, inset and background
    static constexpr int systemMessageHeight = 100;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* makeConfigurationPanel();
    void refreshTemperature();
    // Leaves the field alone while its text reads as the stored number, so
    // "02000" typed by the user is not rewritten under the cursor.
    void refreshMaxTokens();
    void showStoredMaxTokens();
    void commitMaxTokens();
    void refreshSystemMessage();


    core::Settings& settings_;
    ModelsTabModel model_;
    QSlider* slider_ = nullptr;
    QLabel* temperatureLabel_ = nullptr;
    QLineEdit* maxTokensField_ = nullptr;
    QPlainTextEdit* messageEditor_ = nullptr;
    ModelCatalogEditor* catalogue_ = nullptr;
    core::ObserverToken token_{};
};

}  // namespace windows
