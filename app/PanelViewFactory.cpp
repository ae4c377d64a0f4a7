#include "app/PanelViewFactory.h"

#include "core/Analytics.h"
#include "desktop/SpeechRecognizer.h"
#include "panel/FloatingWindowView.h"
#include "panel/LinuxVoiceAuthorization.h"
#include "panel/PanelModel.h"
#include "panel/PlatformRequestExecutor.h"
#include "panel/RecognizerSpeechInput.h"
#include "panel/TextReplacerSelection.h"
#include "platform/Executor.h"
#include "platform/Pasteboard.h"
#include "platform/SpeechModule.h"

desktop::FloatingWindowManager::ViewFactory makePanelViewFactory(desktop::FloatingWindowManager& manager,
                                                                 PanelServices services) {
    auto requests = std::make_shared<panel::PlatformRequestExecutor>(services.executor, services.loop);
    auto selection = std::make_shared<panel::TextReplacerSelection>();
    auto voice = std::make_shared<panel::LinuxVoiceAuthorization>(services.settingsLink);
    // The manager owns the factory, so it outlives every call of it.
    return [&manager, requests, selection, voice,
            services = std::move(services)](desktop::PanelViewContext context) -> std::unique_ptr<QWidget> {
        const std::uint64_t generation = context.generation;
        panel::PanelModel::Services panelServices;
        panelServices.mainLoop = services.loop;
        panelServices.executor = requests;
        panelServices.selection = selection;
        panelServices.voiceAuthorization = voice;
        panelServices.makeSpeechInput = [loop = services.loop, defaults = services.defaults] {
            return std::make_unique<panel::RecognizerSpeechInput>(
                std::make_unique<desktop::SpeechRecognizer>(desktop::SpeechRecognizer::Services{
                    platform::SpeechModule::deferredAudioInput(), platform::SpeechModule::deferredRecognizer(), loop,
                    nullptr, defaults, nullptr}));
        };
        panelServices.makeAIService = [transport = requests->transport(),
                                       endpoints = services.endpoints](core::RequestSettings copy) {
            return std::make_unique<core::AIService>(std::move(copy), transport, endpoints);
        };
        panelServices.defaults = services.defaults;
        panelServices.analytics = &core::Analytics::shared();
        panelServices.telemetry = services.telemetry;
        auto options = panel::PanelModel::optionsFor(
            context, [&manager, generation] { return manager.currentGeneration() == generation; });
        auto model = std::make_unique<panel::PanelModel>(context.settings, context.history, std::move(options),
                                                         std::move(panelServices));
        return std::make_unique<panel::FloatingWindowView>(std::move(model), services.pasteboard);
    };
}
