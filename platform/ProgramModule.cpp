#include "platform/ProgramModule.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "platform/Error.h"

#if !defined(QUILLARY_MODULE_DIR_FROM_PROGRAM) || !defined(QUILLARY_BUILD_TOP_DIR) || !defined(QUILLARY_BUILD_MODULE_DIR)
#error "the build gives the path from the program's folder to its modules' folder, and its own folders"
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
    const auto folders = searchedDirectories();
    return folders.empty() ? std::filesystem::path() : folders.front();
}

std::vector<std::filesystem::path> ProgramModule::searchedDirectories() {
    {
        const std::lock_guard lock(directoryMutex());
        if (!chosenDirectory().empty()) return {chosenDirectory()};
    }
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    std::vector<std::filesystem::path> folders{
        (executable.parent_path() / QUILLARY_MODULE_DIR_FROM_PROGRAM).lexically_normal()};
    // Any program built in this build tree (a tool, a test, a program that
    // uses the libraries alone) finds the modules where the build put them.
    std::error_code buildError;
    const auto program = std::filesystem::canonical(executable, error);
    const auto buildTop = std::filesystem::canonical(QUILLARY_BUILD_TOP_DIR, buildError);
    if (!error && !buildError) {
        const auto inside = program.lexically_relative(buildTop);
        if (!inside.empty() && *inside.begin() != "..") folders.emplace_back(QUILLARY_BUILD_MODULE_DIR);
    }
    return folders;
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
    const auto folders = directory_.empty() ? searchedDirectories() : std::vector{directory_};
    if (folders.empty()) {
        openProblem_ = "the program's own folder is unknown, so " + fileName_ +
                       " cannot be found (platform::ProgramModule::setDirectory names its folder)";
        return;
    }
    for (const auto& folder : folders) {
        path_ = folder / fileName_;
        descriptor_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor_ >= 0) {
            openProblem_.clear();  // an earlier folder's miss is no problem now
            return;
        }
        if (openProblem_.empty()) openProblem_ = path_.string() + ": " + std::strerror(errno);
    }
    path_ = folders.front() / fileName_;
    if (directory_.empty()) {
        std::string searched;
        for (const auto& folder : folders) searched += (searched.empty() ? "" : " and ") + folder.string();
        openProblem_ += " (the modules were looked for in " + searched +
                        "; platform::ProgramModule::setDirectory names another folder)";
    }
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
