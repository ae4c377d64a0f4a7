#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "platform/Logger.h"
#include "platform/linux/JsonFileUserDefaults.h"
#include "testsupport/LogCapture.h"
#include "testsupport/TempHome.h"
#include "testsupport/TestData.h"

using platform::Data;
using platform::JsonFileUserDefaults;
namespace fs = std::filesystem;

namespace {

using testsupport::readFile;

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Every file in `dir` whose name starts with `prefix`.
std::vector<fs::path> filesStartingWith(const fs::path& dir, const std::string& prefix) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind(prefix, 0) == 0) out.push_back(e.path());
    return out;
}

using CapturedLog = testsupport::LogCapture;

class JsonFileUserDefaultsTest : public ::testing::Test {
protected:
    fs::path dir = testsupport::freshDirectory("defaults");
    fs::path file = dir / "quillary" / "defaults.json";
};

}  // namespace

TEST_F(JsonFileUserDefaultsTest, KeepsEachKindDistinctAcrossReopening) {
    {
        JsonFileUserDefaults d(file);
        d.setBool("flag", false);
        d.setString("text", "false");
        d.setInteger("count", std::numeric_limits<std::int64_t>::max());
        d.setDouble("temperature", 0.7);
        d.setDouble("whole", 2.0);
        d.setData("json", "{\"a\": [1, \"\\u00e9\"]}\n");
        d.setData("binary", std::string("\x00\xff\x80 raw", 7));
        d.setString("gone", "soon");
        d.remove("gone");
    }
    JsonFileUserDefaults d(file);
    EXPECT_FALSE(d.contains("missing"));
    EXPECT_TRUE(d.contains("flag"));
    EXPECT_EQ(d.object("flag"), platform::DefaultsValue(false));
    EXPECT_EQ(d.string("flag"), std::nullopt);  // a Boolean is not a string
    EXPECT_EQ(d.string("text"), "false");
    EXPECT_FALSE(d.bool_("text"));
    EXPECT_EQ(d.integer("count"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(d.object("temperature"), platform::DefaultsValue(0.7));
    EXPECT_EQ(d.object("whole"), platform::DefaultsValue(2.0));  // still a double, not an integer
    EXPECT_EQ(d.data("json"), Data{"{\"a\": [1, \"\\u00e9\"]}\n"});
    EXPECT_EQ(d.data("binary"), Data{std::string("\x00\xff\x80 raw", 7)});
    EXPECT_EQ(d.string("json"), std::nullopt);  // data is not a string
    EXPECT_FALSE(d.contains("gone"));
    EXPECT_EQ(d.double_("missing"), 0.0);
    EXPECT_EQ(d.integer("missing"), 0);
}

TEST_F(JsonFileUserDefaultsTest, WritesAPrivateFileWhereTextDataStaysReadable) {
    JsonFileUserDefaults d(file);
    d.setData("history", "[{\"input\":\"Hello \xC3\xA9\\n\\\"quoted\\\"\",\"tab\":\"\t\x01\"}]");
    d.setData("icon", std::string("\x89PNG\xff", 5));

    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const std::string text = readFile(file);
    EXPECT_NE(text.find("Hello \xC3\xA9"), std::string::npos) << text;  // readable, not base64
    const auto parsed = nlohmann::json::parse(text);
    EXPECT_EQ(parsed["history"]["data"], "[{\"input\":\"Hello \xC3\xA9\\n\\\"quoted\\\"\",\"tab\":\"\t\x01\"}]");
    EXPECT_EQ(parsed["icon"]["base64"], "iVBOR/8=");
}

TEST_F(JsonFileUserDefaultsTest, ListsKeysByPrefix) {
    JsonFileUserDefaults d(file);
    d.setString("telemetry.distinctId", "x");
    d.setBool("telemetry.installed", true);
    d.setString("telemetryish", "no");
    d.setString("model", "gpt-4o");
    EXPECT_EQ(d.keys("telemetry."), (std::vector<std::string>{"telemetry.distinctId", "telemetry.installed"}));
    EXPECT_EQ(d.keys().size(), 4u);
    EXPECT_TRUE(d.keys("nothing").empty());
}

TEST_F(JsonFileUserDefaultsTest, ABrokenFileIsMovedAsideReportedAndNeverOverwritten) {
    const std::vector<std::string> broken = {
        "{\"model\": \"gpt-4o\", \"temperature\": 0.",  // truncated
        "[\"model\", \"gpt-4o\"]",                       // valid JSON of the wrong shape
        "",                                              // empty
        "\xff\xfe{garbage",                              // not even text
    };
    for (const auto& bytes : broken) {
        fs::remove_all(file.parent_path());
        fs::create_directories(file.parent_path());
        writeFile(file, bytes);
        CapturedLog log;
        JsonFileUserDefaults d(file);
        EXPECT_TRUE(d.keys().empty());
        EXPECT_EQ(d.double_("temperature"), 0.0);
        d.setString("model", "claude");  // works, and writes a fresh file
        EXPECT_EQ(JsonFileUserDefaults(file).string("model"), "claude");

        const auto aside = filesStartingWith(file.parent_path(), "defaults.json.corrupt-");
        ASSERT_EQ(aside.size(), 1u) << bytes;
        EXPECT_EQ(readFile(aside[0]), bytes);
        ASSERT_FALSE(log.messages().empty());
        EXPECT_NE(log.messages()[0].find(aside[0].string()), std::string::npos) << log.messages()[0];
    }
}

TEST_F(JsonFileUserDefaultsTest, KeepsEntriesOfUnknownShapeWhenRewriting) {
    fs::create_directories(file.parent_path());
    writeFile(file, R"({"model": "gpt-4o", "future": {"kind": [1, 2, {"x": null}]}, "nothing": null})");
    CapturedLog log;
    JsonFileUserDefaults d(file);
    EXPECT_EQ(d.string("model"), "gpt-4o");
    EXPECT_FALSE(d.contains("future"));
    d.setString("model", "claude");

    const auto parsed = nlohmann::json::parse(readFile(file));
    EXPECT_EQ(parsed["model"], "claude");
    EXPECT_EQ(parsed["future"], nlohmann::json::parse(R"({"kind": [1, 2, {"x": null}]})"));
    EXPECT_TRUE(parsed.contains("nothing"));
    EXPECT_FALSE(log.messages().empty());
}

TEST_F(JsonFileUserDefaultsTest, AnUnwritableFolderIsReportedAndValuesLiveInMemory) {
    // A regular file where the folder should be: no write can succeed, even
    // for a user who ignores permissions.
    const fs::path blocker = dir / "blocked";
    writeFile(blocker, "not a folder");
    CapturedLog log;
    JsonFileUserDefaults d(blocker / "defaults.json");
    d.setString("apiKey", "sk-123");
    d.setBool("flag", true);
    EXPECT_EQ(d.string("apiKey"), "sk-123");
    EXPECT_TRUE(d.bool_("flag"));
    ASSERT_FALSE(log.messages().empty());
    EXPECT_NE(log.messages()[0].find("Could not save settings"), std::string::npos) << log.messages()[0];
    EXPECT_EQ(readFile(blocker), "not a folder");
}

TEST_F(JsonFileUserDefaultsTest, ACrashBetweenWriteAndRenameLeavesTheStoreIntact) {
    {
        JsonFileUserDefaults d(file);
        d.setString("model", "gpt-4o");
        d.setDouble("temperature", 0.3);
    }
    // What a crash mid-save leaves behind: a half-written temporary file next
    // to the store, never renamed.
    writeFile(file.parent_path() / ("defaults.json." + std::to_string(::getpid()) + "-0.tmp"), "{\"model\": \"cla");
    writeFile(file.parent_path() / "defaults.json.99999-7.tmp", "");
    CapturedLog log;
    JsonFileUserDefaults d(file);
    EXPECT_EQ(d.string("model"), "gpt-4o");
    EXPECT_EQ(d.double_("temperature"), 0.3);
    EXPECT_TRUE(log.messages().empty());
    d.setString("model", "claude");
    EXPECT_EQ(JsonFileUserDefaults(file).string("model"), "claude");
    EXPECT_TRUE(filesStartingWith(file.parent_path(), "defaults.json.corrupt").empty());
}

TEST_F(JsonFileUserDefaultsTest, InvalidUtf8InKeysAndStringsIsReplacedNotThrown) {
    {
        JsonFileUserDefaults d(file);
        EXPECT_NO_THROW(d.setString("selection", "ab\xff\xfe" "cd\xC3"));
        EXPECT_NO_THROW(d.setString("key\xff", "v"));
        EXPECT_EQ(d.string("selection"), "ab\xff\xfe" "cd\xC3");  // memory keeps what was given
    }
    JsonFileUserDefaults d(file);
    EXPECT_EQ(d.string("selection"), "ab\xEF\xBF\xBD\xEF\xBF\xBD" "cd\xEF\xBF\xBD");
    EXPECT_EQ(d.string("key\xEF\xBF\xBD"), "v");
}

TEST_F(JsonFileUserDefaultsTest, ConcurrentWritersNeverLeaveAnUnreadableFile) {
    JsonFileUserDefaults first(file);
    JsonFileUserDefaults second(file);  // a second store on the same file
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([&, t] {
            auto& d = t % 2 ? first : second;
            for (int i = 0; i < 25; ++i) d.setString("key" + std::to_string(t), std::string(1000 + i, 'a' + t));
        });
    for (auto& w : writers) w.join();
    CapturedLog log;
    JsonFileUserDefaults reread(file);
    EXPECT_TRUE(log.messages().empty());
    EXPECT_FALSE(reread.keys().empty());
    for (const auto& e : fs::directory_iterator(file.parent_path()))
        EXPECT_FALSE(e.path().filename().string().ends_with(".tmp")) << e.path();
}

TEST_F(JsonFileUserDefaultsTest, StoresEveryByteSequenceExactlyWhereverEscapesFall) {
    // Escapes, control characters and multi-byte characters at every offset
    // around the store's sixteen-byte steps, and runs long enough to need
    // more room than plain text does.
    std::vector<std::string> values;
    const std::vector<std::string> specials = {"\"", "\\", "\n", "\x01", "\x1f", "\xC3\xA9", "\xE2\x80\x94",
                                               "\xF0\x9F\x98\x80", "\x7f", "/"};
    for (const auto& special : specials)
        for (std::size_t at = 0; at < 40; ++at) {
            std::string v(40, 'x');
            v.insert(at, special);
            values.push_back(v);
        }
    values.push_back(std::string(300, '"'));
    values.push_back(std::string(300, '\x02'));
    std::string all;
    for (int c = 1; c < 0x80; ++c) all.push_back(static_cast<char>(c));
    values.push_back(all + all + all);
    values.push_back("");
    {
        JsonFileUserDefaults d(file);
        for (std::size_t n = 0; n < values.size(); ++n) {
            d.setString("s" + std::to_string(n), values[n]);
            d.setData("d" + std::to_string(n), values[n]);
        }
    }
    const auto parsed = nlohmann::json::parse(readFile(file));  // strict: fails on any bad escape
    JsonFileUserDefaults d(file);
    for (std::size_t n = 0; n < values.size(); ++n) {
        EXPECT_EQ(d.string("s" + std::to_string(n)), values[n]) << n;
        EXPECT_EQ(d.data("d" + std::to_string(n)), Data{values[n]}) << n;
        EXPECT_EQ(parsed["d" + std::to_string(n)]["data"], values[n]) << n;
    }
    // A data value that turns out not to be UTF-8 after a long valid stretch.
    d.setData("late", std::string(100, 'a') + "\"\xff");
    EXPECT_EQ(JsonFileUserDefaults(file).data("late"), Data{std::string(100, 'a') + "\"\xff"});
    EXPECT_TRUE(nlohmann::json::parse(readFile(file))["late"].contains("base64"));
}

TEST_F(JsonFileUserDefaultsTest, DenseTextIsStoredAsNlohmannEscapesItAndBrokenCharactersAnywhereAreCaught) {
    // Accents, emoji and escapes packed into every block, a character across
    // each block edge, and a broken sequence at every offset of a long value.
    std::string dense;
    for (int n = 0; dense.size() < 200; ++n) dense += n % 3 ? "\xC3\xA9\"\xF0\x9F\x98\x80\n" : "a\\\xE2\x80\x94\x01";
    std::vector<std::string> broken;
    for (std::size_t at = 0; at < 48; ++at) {
        std::string v = dense.substr(0, 60);
        v.insert(at, at % 2 ? "\xC3" : "\xE2\x80");  // cut short: the next byte is no continuation
        broken.push_back(v);
    }
    {
        JsonFileUserDefaults d(file);
        d.setData("dense", dense);
        for (std::size_t n = 0; n < broken.size(); ++n) d.setData("b" + std::to_string(n), broken[n]);
    }
    const std::string stored = readFile(file);
    EXPECT_NE(stored.find("\"dense\": {\"data\": " + nlohmann::json(dense).dump() + "}"), std::string::npos);
    const auto parsed = nlohmann::json::parse(stored);
    JsonFileUserDefaults d(file);
    EXPECT_EQ(d.data("dense"), Data{dense});
    for (std::size_t n = 0; n < broken.size(); ++n) {
        EXPECT_TRUE(parsed["b" + std::to_string(n)].contains("base64")) << n;
        EXPECT_EQ(d.data("b" + std::to_string(n)), Data{broken[n]}) << n;
    }
}
