#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace platform {

// Services are handed down by whoever builds an object (the program's app/,
// or a test with its fakes); nothing fills a missing one with a real backing
// of its own. A missing service is a mistake of the caller, reported where
// the object is built rather than at the first use, possibly on another
// thread:
//
//   : http_(platform::required(std::move(http), "OllamaService: HTTP client"))
template <class Pointer>
Pointer required(Pointer pointer, const char* what) {
    if (!pointer) throw std::logic_error(std::string(what) + " was not given");
    return pointer;
}

}  // namespace platform
