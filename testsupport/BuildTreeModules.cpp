// Test and benchmark programs live elsewhere in the build tree than the
// program, so the path from the program's folder to its modules does not
// lead from theirs: they are told the folder the build put the modules in.

#include "platform/ProgramModule.h"

namespace {

const bool chosen = [] {
    platform::ProgramModule::setDirectory(QUILLARY_BUILD_MODULE_DIR);
    return true;
}();

}  // namespace
