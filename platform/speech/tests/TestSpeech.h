#pragma once

#include <string>
#include <vector>

namespace speechtest {

// `text` spoken by flite's kal16 voice, as mono float samples at 16 kHz,
// with `silenceBefore` and `silenceAfter` seconds of silence around it
// (sox), padded with silence to whole 1024-frame buffers. Made at run time;
// empty, with a message, when flite or sox is missing.
std::vector<float> spokenSamples(const std::string& text, double silenceBefore, double silenceAfter);

// Silence, or white noise of the given amplitude, `seconds` long.
std::vector<float> silenceSamples(double seconds);
std::vector<float> noiseSamples(double seconds, float amplitude);

// The private PulseAudio's microphone (a FIFO the test script's server reads):
// its path, or empty (with a failure) when the tests run without it.
std::string microphonePath();

// Writes `samples` into the private microphone. The pipe source delivers
// them as fast as they are written, not in real time.
void speakIntoMicrophone(const std::vector<float>& samples);

}  // namespace speechtest
