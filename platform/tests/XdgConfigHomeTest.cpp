#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/Error.h"
#include "platform/linux/XdgConfigHome.h"

namespace {

// Unsets an environment variable for one test and puts it back after.
class UnsetVariable {
public:
    explicit UnsetVariable(const char* name) : name_(name) {
        if (const char* value = std::getenv(name)) saved_ = value;
        ::unsetenv(name);
    }
    ~UnsetVariable() {
        if (saved_) ::setenv(name_, saved_->c_str(), 1);
    }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

TEST(XdgConfigHome, WithoutHomeTheFoldersComeFromThePasswordDatabaseNeverTheSharedTemporaryFolder) {
    const UnsetVariable home("HOME"), config("XDG_CONFIG_HOME"), data("XDG_DATA_HOME");
    const passwd* entry = ::getpwuid(::getuid());
    if (entry && entry->pw_dir && *entry->pw_dir == '/') {
        EXPECT_EQ(platform::xdgConfigHome(), std::filesystem::path(entry->pw_dir) / ".config");
        EXPECT_EQ(platform::xdgDataHome(), std::filesystem::path(entry->pw_dir) / ".local" / "share");
    } else {
        EXPECT_THROW(platform::xdgConfigHome(), platform::Error);
    }

    EXPECT_EQ(platform::userHome(nullptr, "/home/someone"), "/home/someone");
    EXPECT_EQ(platform::userHome("relative", "/home/someone"), "/home/someone");
    try {
        platform::userHome(nullptr, nullptr);
        FAIL() << "a home folder without HOME or a password database entry";
    } catch (const platform::Error& error) {
        EXPECT_NE(std::string(error.what()).find("HOME is not set"), std::string::npos) << error.what();
    }
}

}  // namespace
