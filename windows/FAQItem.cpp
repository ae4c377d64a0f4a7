#include "windows/FAQItem.h"

#include <QUuid>

namespace windows {

namespace {

FAQItem make(std::string question, std::string answer) {
    return {QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString(), std::move(question), std::move(answer)};
}

}  // namespace

std::vector<FAQItem> FAQItem::all() {
    return {
        make("Nothing is happening when I press the shortcut",
             "Ensure no other application running is using the same shortcut. The default shortcut is Super + Shift + "
             "Space, and for instant voice mode it's Super + Shift + V."),
        make("I have feedback",
             "Tell us what works and what doesn't where you got Quillary: we'd love to hear from you!"),
        make("I didn't give Voice permissions - how do I do it now?",
             "1. Open your desktop's Sound settings\n"
             "2. Check that your microphone is the input device and is not muted\n"
             "3. Close other applications that may be using the microphone\n"
             "4. Speech is recognised on your computer: no speech permission or internet connection is needed"),
        make("How do I change the keyboard shortcuts?",
             "Open Quillary's settings (click the tray icon > Preferences...) and go to the Shortcuts tab."),
        make("Can I use Quillary offline?",
             "Yes! If you have Ollama installed, you can use local models completely offline. Just make sure Ollama is "
             "running and select an Ollama model from the model picker."),
        make("How do I view my conversation history?",
             "Open Quillary's settings and go to the History tab. You'll find all your previous interactions there."),
        make("How do I set up API keys?",
             "Open Quillary's settings and go to the API Keys tab. You can enter your OpenAI, Anthropic, or Google API "
             "keys there."),
    };
}

}  // namespace windows
