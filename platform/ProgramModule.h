#pragma once

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

// A shared library of the program's own that is loaded at its first use (the
// network transport, the speech back-ends): what it pulls in costs memory
// and start-up time that a program waiting in the tray does not need.
//
// Its file is opened when the program starts and the descriptor is kept;
// the first use loads the library through that descriptor. An upgrade or a
// rebuild that replaces the file meanwhile thus cannot load the new build's
// module into the old program: the descriptor still reaches the file it
// started with. Opening maps nothing, so it costs next to nothing.
//
// Code runs with all the user's rights, so a module is taken only from a
// folder that no one but the user and root can change: the file, its folder
// and every folder and symbolic link above them owned by the user or root
// and writable by no one else, through its mode or its POSIX access list (a
// folder with the sticky bit, such as /tmp, may lie on the way). A prefix
// that other users can write, or a build folder that has gone and that
// someone else made again, is refused with an error that says why.
class ProgramModule {
public:
    // A module file in `directory`, by default the program's modules' folder.
    explicit ProgramModule(std::string fileName, std::filesystem::path directory = {});
    ~ProgramModule();
    ProgramModule(const ProgramModule&) = delete;
    ProgramModule& operator=(const ProgramModule&) = delete;

    // The program's modules, each opened once per process.
    static ProgramModule& http();
    static ProgramModule& speech();
    // Opens every module file now; a missing one fails only at its first use.
    static void openAll();

    // Where the modules are looked for first: the folder set with
    // setDirectory, else the executable's folder joined with the path that
    // the build gives from its program folder to its module folder, the same
    // in the build tree and in an installed prefix.
    static std::filesystem::path directory();
    // Every folder looked in, in order: after the one above, for a program
    // whose executable lies in this build's tree (canonical paths compared),
    // the folder where the build put the modules.
    static std::vector<std::filesystem::path> searchedDirectories();
    // For programs that keep the modules elsewhere: their folder, the only
    // one looked in from then on. Call it before the first open.
    static void setDirectory(std::filesystem::path directory);

    const std::string& fileName() const { return fileName_; }

    // Opens the file, once; later calls do nothing.
    void open();
    // The module's exported `symbol`, the module loaded (once, never
    // unloaded: what it made runs its code until exit). Throws an Error that
    // names what went wrong when it cannot. Thread-safe.
    void* symbol(const char* name);

private:
    void openLocked();

    const std::string fileName_;
    std::mutex mutex_;
    std::filesystem::path directory_;
    std::filesystem::path path_;
    int descriptor_ = -1;
    std::string openProblem_;
    void* handle_ = nullptr;
};

}  // namespace platform
