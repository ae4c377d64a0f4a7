#pragma once

#include <string>
#include <vector>

namespace windows {

// One question of the help window and its answer, shown verbatim.
struct FAQItem {
    std::string id;  // fresh for each item built
    std::string question;
    std::string answer;

    // The help window's questions, in the order they are shown.
    static std::vector<FAQItem> all();
};

}  // namespace windows
