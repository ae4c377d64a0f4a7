#include "platform/ProgramModule.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "platform/Error.h"

#ifndef QUILLARY_MODULE_DIR_FROM_PROGRAM
#error "the build gives the path from the program's folder to its modules' folder"
#endif

namespace platform {
namespace {

std::mutex& directoryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::filesystem::path& chosenDirectory() {
    static std::filesystem::path directory;
    return directory;
}

}  // namespace

ProgramModule::ProgramModule(std::string fileName, std::filesystem::path directory)
    : fileName_(std::move(fileName)), directory_(std::move(directory)) {}

ProgramModule::~ProgramModule() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

ProgramModule& ProgramModule::http() {
    static ProgramModule module("libquillary_http.so");
    return module;
}

ProgramModule& ProgramModule::speech() {
    static ProgramModule module("libquillary_speech.so");
    return module;
}

void ProgramModule::openAll() {
    http().open();
    speech().open();
}

std::filesystem::path ProgramModule::directory() {
    {
        const std::lock_guard lock(directoryMutex());
        if (!chosenDirectory().empty()) return chosenDirectory();
    }
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return (executable.parent_path() / QUILLARY_MODULE_DIR_FROM_PROGRAM).lexically_normal();
}

void ProgramModule::setDirectory(std::filesystem::path directory) {
    const std::lock_guard lock(directoryMutex());
    chosenDirectory() = std::move(directory);
}

void ProgramModule::open() {
    const std::lock_guard lock(mutex_);
    openLocked();
}

void ProgramModule::openLocked() {
    if (descriptor_ >= 0 || !openProblem_.empty()) return;
    const auto folder = directory_.empty() ? directory() : directory_;
    if (folder.empty()) {
        openProblem_ = "the program's own folder is unknown, so " + fileName_ + " cannot be found";
        return;
    }
    path_ = folder / fileName_;
    descriptor_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor_ < 0) openProblem_ = path_.string() + ": " + std::strerror(errno);
}

void* ProgramModule::symbol(const char* name) {
    const std::lock_guard lock(mutex_);
    if (!handle_) {
        openLocked();
        if (descriptor_ < 0) throw Error("ProgramModule", 1, openProblem_);
        const std::string byDescriptor = "/proc/self/fd/" + std::to_string(descriptor_);
        handle_ = dlopen(byDescriptor.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) {
            const char* problem = dlerror();
            throw Error("ProgramModule", 2, path_.string() + ": " + (problem ? problem : "cannot be loaded"));
        }
    }
    void* found = dlsym(handle_, name);
    if (!found) throw Error("ProgramModule", 3, path_.string() + " has no " + name);
    return found;
}

}  // namespace platform
