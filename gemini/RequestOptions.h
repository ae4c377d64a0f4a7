#pragma once

#include <string>

namespace gemini {

// Applied to every HTTP request of a model.
struct RequestOptions {
    // The longest an exchange may stay idle (connecting or waiting for more
    // data) before it fails with a time-out, in seconds.
    double timeout = 300;
    // The first path segment of every URL.
    std::string apiVersion = "v1beta";
};

}  // namespace gemini
