#include "app/PanelViewFactory.h"

#include "panel/FloatingWindowView.h"
#include "panel/PanelModel.h"
#include "panel/PlatformRequestExecutor.h"
#include "platform/Executor.h"
#include "platform/Pasteboard.h"

desktop::FloatingWindowManager::ViewFactory makePanelViewFactory(desktop::FloatingWindowManager& manager,
                                                                 std::shared_ptr<platform::Executor> executor,
                                                                 std::shared_ptr<platform::Pasteboard> pasteboard,
                                                                 core::AIServiceEndpoints endpoints) {
    auto requests = std::make_shared<panel::PlatformRequestExecutor>(std::move(executor));
    // The manager owns the factory, so it outlives every call of it.
    return [&manager, requests, pasteboard,
            endpoints = std::move(endpoints)](desktop::PanelViewContext context) -> std::unique_ptr<QWidget> {
        const std::uint64_t generation = context.generation;
        panel::PanelModel::Services services;
        services.executor = requests;
        services.makeAIService = [transport = requests->transport(), endpoints](core::RequestSettings copy) {
            return std::make_unique<core::AIService>(std::move(copy), transport, endpoints);
        };
        auto options = panel::PanelModel::optionsFor(
            context, [&manager, generation] { return manager.currentGeneration() == generation; });
        auto model = std::make_unique<panel::PanelModel>(context.settings, context.history, std::move(options),
                                                         std::move(services));
        return std::make_unique<panel::FloatingWindowView>(std::move(model), pasteboard);
    };
}
