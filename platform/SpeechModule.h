#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

#include "platform/AudioInput.h"
#include "platform/Logger.h"
#include "platform/SpeechRecognitionEngine.h"

namespace platform {

// The microphone and the speech recogniser on PulseAudio and PocketSphinx
// live in a module of their own (libquillary_speech.so, see ProgramModule)
// that the first recording loads: those libraries and the dozen under them
// are megabytes that a program whose user never dictates should not map.
class SpeechBackends {
public:
    // A new microphone input on the user's sound server.
    virtual std::unique_ptr<AudioInput> makeAudioInput() = 0;
    // The process-wide recogniser, made by the first call; null (with a log
    // line) when no model is installed.
    virtual std::shared_ptr<SpeechRecognitionEngine> sharedRecognizer() = 0;
    // Drops the process-wide recogniser, so that its thread is joined now
    // (once no recording holds it) rather than after `main` returned.
    virtual void releaseSharedRecognizer() = 0;
    // Where the module's log lines go: the program's own sink.
    virtual void setLogSink(std::shared_ptr<LogSink> sink) = 0;
    // Where the module counts the threads it starts: the program's count.
    virtual void setThreadCount(std::atomic<std::size_t>& count) = 0;

protected:
    ~SpeechBackends() = default;
};

class SpeechModule {
public:
    static constexpr const char* kEntryPoint = "quillary_speech_backends";

    // Loads the module (once per process; it is never unloaded). Throws an
    // Error naming what went wrong when it cannot.
    static SpeechBackends& backends();
    // Releases the shared recogniser if the module was loaded; does not load
    // it otherwise.
    static void releaseSharedRecognizer();

    // What the program records with and recognises with, each loading the
    // module at its first use: when a recording starts.
    static std::unique_ptr<AudioInput> deferredAudioInput();
    static std::shared_ptr<SpeechRecognitionEngine> deferredRecognizer();
};

}  // namespace platform

// The module's entry point: its one set of back-ends, alive until exit.
extern "C" platform::SpeechBackends* quillary_speech_backends();
