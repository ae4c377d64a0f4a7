// The shared client through the real module, in a program that does not link
// libcurl itself.

#include "platform/HttpTransportModule.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "testsupport/LoopbackServer.h"

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
    const auto client = platform::HttpClient::shared();
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
    EXPECT_TRUE(mapped(platform::HttpTransportModule::kFileName));

    const auto response = client->send(get(server.url("/hello")));
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "hi");
    EXPECT_EQ(response.header("x-served"), "yes");
    EXPECT_EQ(platform::HttpClient::shared(), client);
}

TEST(HttpTransportModule, IsLookedForBesideTheExecutableFirst) {
    const auto paths = platform::HttpTransportModule::candidates();
    ASSERT_FALSE(paths.empty());
    EXPECT_EQ(paths.front().filename(), platform::HttpTransportModule::kFileName);
    EXPECT_EQ(paths.front().parent_path(), std::filesystem::read_symlink("/proc/self/exe").parent_path());
}

}  // namespace
