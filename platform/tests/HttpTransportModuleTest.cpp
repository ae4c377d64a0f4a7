// The shared client through the real module, in a program that does not link
// libcurl itself.

#include "platform/HttpTransportModule.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/ProgramModule.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/TempHome.h"

namespace {

bool mapped(const std::string& library) {
    std::ifstream maps("/proc/self/maps");
    std::stringstream text;
    text << maps.rdbuf();
    return text.str().find(library) != std::string::npos;
}

platform::HttpRequest get(const std::string& url) {
    platform::HttpRequest request;
    request.url = url;
    return request;
}

TEST(HttpTransportModule, TheSharedClientLoadsTheNetworkLibraryAtItsFirstRequestAndFailsAsTheTransportDoes) {
    testsupport::LoopbackServer server;
    server.reply("GET", "/hello", {200, {{"X-Served", "yes"}}, "hi"});
    const auto client = platform::HttpTransportModule::deferredClient();
    ASSERT_FALSE(mapped("libcurl")) << "the network library was loaded before any request";

    // A failure thrown inside the module is the platform's URLError, with its code.
    try {
        client->send(get(server.refusedUrl()));
        FAIL() << "a refused connection was reported as an answer";
    } catch (const platform::URLError& error) {
        EXPECT_EQ(error.urlCode(), platform::URLError::CannotConnectToHost);
        EXPECT_STREQ(error.what(), "Could not connect to the server.");
    }
    EXPECT_TRUE(mapped("libcurl"));
    EXPECT_TRUE(mapped("libquillary_http.so"));

    const auto response = client->send(get(server.url("/hello")));
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "hi");
    EXPECT_EQ(response.header("x-served"), "yes");
}

TEST(ProgramModule, LoadsTheFileItOpenedAtStartEvenWhenAnUpgradeReplacedItSince) {
    namespace fs = std::filesystem;
    const fs::path folder = testsupport::freshDirectory("modules");
    const std::string name = "libquillary_http.so";
    fs::copy_file(platform::ProgramModule::directory() / name, folder / name);
    platform::ProgramModule module(name, folder);
    module.open();
    // An upgrade writes the new file beside the old one and renames it over.
    std::ofstream(folder / "new") << "another build";
    fs::rename(folder / "new", folder / name);
    EXPECT_NE(module.symbol(platform::HttpTransportModule::kEntryPoint), nullptr);

    platform::ProgramModule missing("libquillary_none.so", folder);
    missing.open();
    try {
        missing.symbol(platform::HttpTransportModule::kEntryPoint);
        FAIL() << "a missing module was loaded";
    } catch (const platform::Error& error) {
        EXPECT_EQ(error.description(), (folder / "libquillary_none.so").string() + ": No such file or directory");
    }
}

}  // namespace
