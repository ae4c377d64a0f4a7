#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "platform/Logger.h"
#include "platform/linux/JsonFileUserDefaults.h"
#include "platform/tests/WriterChildHistory.h"
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

extern "C" char** environ;

// Starts `argv[0]` with its standard output on a pipe; returns its id and
// the pipe's reading end.
std::pair<pid_t, int> spawn(std::vector<std::string> args) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int failed = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (failed) throw std::runtime_error("cannot start " + args[0]);
    return {pid, out[0]};
}

// The id of a process that has ended: a child that exited and was waited for.
pid_t endedProcessId() {
    auto [pid, out] = spawn({"/bin/true"});
    ::close(out);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

std::vector<std::string> valueFilesIn(const fs::path& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".value") out.push_back(e.path().filename().string());
    return out;
}

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
    // A folder an earlier version made readable to all, and a link planted
    // at the name of the first temporary file, aimed at another file.
    fs::create_directories(file.parent_path());
    fs::permissions(file.parent_path(), fs::perms(0755));
    const auto above = fs::status(dir).permissions();
    const fs::path target = dir / "someone-elses";
    writeFile(target, "theirs");
    fs::create_symlink(target, file.parent_path() / ("defaults.json." + std::to_string(::getpid()) + "-0.tmp"));

    JsonFileUserDefaults d(file);
    d.setData("history", "[{\"input\":\"Hello \xC3\xA9\\n\\\"quoted\\\"\",\"tab\":\"\t\x01\"}]");
    d.setData("icon", std::string("\x89PNG\xff", 5));
    ASSERT_TRUE(d.flush());

    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(readFile(target), "theirs");
    EXPECT_EQ(fs::status(file.parent_path()).permissions(), fs::perms(0700));
    EXPECT_EQ(fs::status(dir).permissions(), above) << "the folder above is not ours to change";

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
        ASSERT_TRUE(d.flush());
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
    ASSERT_TRUE(d.flush());

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
    EXPECT_FALSE(d.flush());
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
    ASSERT_TRUE(d.flush());
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
    ASSERT_TRUE(first.flush());
    ASSERT_TRUE(second.flush());
    CapturedLog log;
    JsonFileUserDefaults reread(file);
    EXPECT_TRUE(log.messages().empty());
    EXPECT_FALSE(reread.keys().empty());
    for (const auto& e : fs::directory_iterator(file.parent_path()))
        EXPECT_FALSE(e.path().filename().string().ends_with(".tmp")) << e.path();
}

TEST_F(JsonFileUserDefaultsTest, StoresEveryByteSequenceExactlyWhereverEscapesFall) {
    // Escapes, control characters and multi-byte characters at every offset
    // of a short value, and long runs of them.
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
    ASSERT_TRUE(d.flush());
    EXPECT_EQ(JsonFileUserDefaults(file).data("late"), Data{std::string(100, 'a') + "\"\xff"});
    EXPECT_TRUE(nlohmann::json::parse(readFile(file))["late"].contains("base64"));
}

TEST_F(JsonFileUserDefaultsTest, DenseTextStaysTextAndBrokenCharactersAnywhereTurnDataIntoBase64) {
    // Accents, emoji and escapes packed together, and a broken sequence at
    // every offset of a long value.
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
    const auto parsed = nlohmann::json::parse(readFile(file));
    EXPECT_EQ(parsed["dense"]["data"], dense);
    JsonFileUserDefaults d(file);
    EXPECT_EQ(d.data("dense"), Data{dense});
    for (std::size_t n = 0; n < broken.size(); ++n) {
        EXPECT_TRUE(parsed["b" + std::to_string(n)].contains("base64")) << n;
        EXPECT_EQ(d.data("b" + std::to_string(n)), Data{broken[n]}) << n;
    }
}

TEST_F(JsonFileUserDefaultsTest, AFileNestedTooDeeplyIsSetAsideInsteadOfCrashing) {
    fs::create_directories(file.parent_path());
    // What once crashed every start: an entry 100,000 levels deep.
    const std::string deep =
        R"({"model": "gpt-4o", "future": )" + std::string(100000, '[') + std::string(100000, ']') + "}";
    writeFile(file, deep);
    {
        CapturedLog log;
        JsonFileUserDefaults d(file);
        EXPECT_TRUE(d.keys().empty());
        d.setString("model", "claude");
        ASSERT_TRUE(d.flush());
        EXPECT_TRUE(log.contains("is nested too deeply")) << log.messages().at(0);
        const auto aside = filesStartingWith(file.parent_path(), "defaults.json.corrupt-");
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(readFile(aside[0]), deep);
    }
    // A newer version's entry nested a little is kept and written back.
    const std::string nested = std::string(100, '[') + "1" + std::string(100, ']');
    writeFile(file, R"({"nested": )" + nested + "}");
    JsonFileUserDefaults d(file);
    d.setBool("flag", true);
    ASSERT_TRUE(d.flush());
    EXPECT_EQ(nlohmann::json::parse(readFile(file))["nested"], nlohmann::json::parse(nested));
}

TEST_F(JsonFileUserDefaultsTest, AnEntryOfUnknownShapeIsKeptAsideBeforeAChangeReplacesIt) {
    fs::create_directories(file.parent_path());
    writeFile(file, R"({"a": [1, 2], "a.corrupt": {"earlier": true}, "b": {"data": "x", "extra": 1},
                        "c": {"base64": "!!not base64!!"}, "d": {"dataFile": "../../elsewhere.value"},
                        "e": {"future": 1}})");
    CapturedLog log;
    JsonFileUserDefaults d(file);
    for (const char* key : {"a", "b", "c", "d"}) EXPECT_FALSE(d.contains(key)) << key;
    d.setString("a", "new");
    d.setData("b", "new");
    d.remove("c");
    d.setInteger("d", 1);
    d.setString("a", "newer");  // a value that was read replaces nothing worth keeping
    ASSERT_TRUE(d.flush());

    const auto parsed = nlohmann::json::parse(readFile(file));
    EXPECT_EQ(parsed["a"], "newer");
    EXPECT_EQ(parsed["a.corrupt"], nlohmann::json::parse(R"({"earlier": true})"));
    EXPECT_EQ(parsed["a.corrupt.2"], nlohmann::json::parse("[1, 2]"));
    EXPECT_FALSE(parsed.contains("a.corrupt.3"));
    EXPECT_EQ(parsed["b.corrupt"], nlohmann::json::parse(R"({"data": "x", "extra": 1})"));
    EXPECT_FALSE(parsed.contains("c"));
    EXPECT_EQ(parsed["c.corrupt"], nlohmann::json::parse(R"({"base64": "!!not base64!!"})"));
    EXPECT_EQ(parsed["d.corrupt"], nlohmann::json::parse(R"({"dataFile": "../../elsewhere.value"})"));
    EXPECT_EQ(parsed["e"], nlohmann::json::parse(R"({"future": 1})"));  // untouched, stays where it is
    EXPECT_TRUE(log.contains("kept under \"a.corrupt.2\"")) << ::testing::PrintToString(log.messages());
    EXPECT_EQ(JsonFileUserDefaults(file).string("a"), "newer");
}

TEST_F(JsonFileUserDefaultsTest, OpeningRemovesTheTemporaryCopiesOfProcessesThatEnded) {
    {
        JsonFileUserDefaults d(file);
        d.setString("model", "gpt-4o");
    }
    const auto folder = file.parent_path();
    const auto killed = folder / ("defaults.json." + std::to_string(endedProcessId()) + "-3.tmp");
    const auto ours = folder / ("defaults.json." + std::to_string(::getpid()) + "-999.tmp");
    const auto running = folder / "defaults.json.1-0.tmp";  // process 1 always runs
    const auto foreign = folder / "defaults.json.notes.tmp";
    for (const auto& path : {killed, ours, running, foreign}) writeFile(path, R"({"openai_api_key": "sk-secret")");

    JsonFileUserDefaults d(file);
    EXPECT_EQ(d.string("model"), "gpt-4o");
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_TRUE(fs::exists(ours));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_TRUE(fs::exists(foreign));
}

TEST_F(JsonFileUserDefaultsTest, LargeValuesLiveInFilesOfTheirOwnThatTheSettingsFileNames) {
    std::string history = "[{\"input\":\"caf\xC3\xA9 \\\"quoted\\\"\\n\"}," + std::string(70 * 1024, 'h') + "]";
    history += std::string("\x00\xff raw", 6);  // bytes, not text: stored as they are
    const std::string message(80 * 1024, 'm');
    JsonFileUserDefaults d(file);
    d.setData("quillary_history", history);
    d.setString("custom_system_message", message);
    d.setString("model", "gpt-4o");
    ASSERT_TRUE(d.flush());

    const auto folder = file.parent_path();
    auto parsed = nlohmann::json::parse(readFile(file));
    const std::string historyFile = parsed["quillary_history"]["dataFile"];
    const std::string messageFile = parsed["custom_system_message"]["stringFile"];
    EXPECT_EQ(readFile(folder / historyFile), history);
    EXPECT_EQ(readFile(folder / messageFile), message);
    EXPECT_LT(fs::file_size(file), 1000u);
    struct stat st {};
    ASSERT_EQ(::stat((folder / historyFile).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    {
        JsonFileUserDefaults reopened(file);
        EXPECT_EQ(reopened.data("quillary_history"), Data{history});
        EXPECT_EQ(reopened.string("custom_system_message"), message);
    }

    // Other changes leave the file alone; a new value gets a new name, and
    // the file nothing names any more is written over by the next value.
    d.setString("model", "claude");
    ASSERT_TRUE(d.flush());
    EXPECT_EQ(nlohmann::json::parse(readFile(file))["quillary_history"]["dataFile"], historyFile);
    std::vector<std::string> names{historyFile};
    for (const char* more : {"more", "and more", "."}) {
        d.setData("quillary_history", history + more);
        ASSERT_TRUE(d.flush());
        const std::string name = nlohmann::json::parse(readFile(file))["quillary_history"]["dataFile"];
        EXPECT_EQ(std::find(names.begin(), names.end(), name), names.end()) << name;
        names.push_back(name);
        EXPECT_EQ(readFile(folder / name), history + more);
        EXPECT_EQ(valueFilesIn(folder).size(), 3u);  // the two values, and one earlier history
    }

    // Small again, or gone: back in the settings file, and no file left.
    d.setData("quillary_history", "[]");
    d.remove("custom_system_message");
    ASSERT_TRUE(d.flush());
    parsed = nlohmann::json::parse(readFile(file));
    EXPECT_EQ(parsed["quillary_history"]["data"], "[]");
    EXPECT_TRUE(valueFilesIn(folder).empty());
}

TEST_F(JsonFileUserDefaultsTest, AHistoryInsideTheSettingsFileIsReadAndMovesToItsOwnFileAtTheNextWrite) {
    fs::create_directories(file.parent_path());
    std::string history = "[";
    for (int i = 0; history.size() < 200 * 1024; ++i)
        history += "{\"input\":\"prompt " + std::to_string(i) + " \\\"caf\xC3\xA9\\\"\\n\"},";
    history.back() = ']';
    const std::string earlier = nlohmann::json{{"quillary_history", {{"data", history}}}, {"model", "gpt-4o"}}.dump();
    writeFile(file, earlier);

    JsonFileUserDefaults d(file);
    EXPECT_EQ(d.data("quillary_history"), Data{history});
    EXPECT_TRUE(d.flush());
    EXPECT_EQ(readFile(file), earlier);  // reading alone writes nothing
    d.setString("model", "claude");
    ASSERT_TRUE(d.flush());
    const std::string name = nlohmann::json::parse(readFile(file))["quillary_history"]["dataFile"];
    EXPECT_EQ(readFile(file.parent_path() / name), history);
    EXPECT_EQ(JsonFileUserDefaults(file).data("quillary_history"), Data{history});
}

TEST_F(JsonFileUserDefaultsTest, ValueFilesNothingNamesAreRemovedUnlessAFileSetAsideNamesThem) {
    fs::create_directories(file.parent_path());
    const auto folder = file.parent_path();
    const auto ended = std::to_string(endedProcessId());
    const std::string orphan = "defaults.json.quillary_history." + ended + "-1.value";
    const std::string keptAside = "defaults.json.quillary_history." + ended + "-2.value";
    const std::string ours = "defaults.json.quillary_history." + std::to_string(::getpid()) + "-77.value";
    for (const auto& name : {orphan, keptAside, ours}) writeFile(folder / name, "[]");
    writeFile(folder / "defaults.json.corrupt-1700000000",
              R"({"quillary_history": {"dataFile": ")" + keptAside + R"("}, "cut off)");
    writeFile(file, R"({"model": "gpt-4o"})");

    JsonFileUserDefaults d(file);
    EXPECT_FALSE(fs::exists(folder / orphan));
    EXPECT_TRUE(fs::exists(folder / keptAside));
    EXPECT_TRUE(fs::exists(folder / ours));
}

TEST_F(JsonFileUserDefaultsTest, ChangesReachTheFileInOrderWhileReadersAreNeverHeldUp) {
    auto d = std::make_unique<JsonFileUserDefaults>(file);
    d->setInteger("n", 0);
    ASSERT_TRUE(d->flush());
    constexpr int kLast = 3000;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        // Every state the file goes through parses, and none goes back.
        std::int64_t seen = 0;
        while (!done) {
            const auto parsed = nlohmann::json::parse(readFile(file));
            const std::int64_t n = parsed.at("n");
            EXPECT_GE(n, seen);
            seen = n;
            EXPECT_GE(d->integer("n"), seen);
        }
    });
    for (int n = 1; n <= kLast; ++n) {
        d->setInteger("n", n);
        if (n % 500 == 0) d->setData("blob", std::string(100 * 1024, static_cast<char>('a' + n / 500)));
    }
    done = true;
    reader.join();
    d.reset();  // quitting writes what is pending
    JsonFileUserDefaults reopened(file);
    EXPECT_EQ(reopened.integer("n"), kLast);
    EXPECT_EQ(reopened.data("blob"), Data{std::string(100 * 1024, 'g')});
    EXPECT_EQ(valueFilesIn(file.parent_path()).size(), 1u);
}

TEST_F(JsonFileUserDefaultsTest, AFailingDiskIsReportedRetriedAndLosesNothing) {
    // The folder swapped for a regular file: no write can succeed, even for
    // a user who ignores permissions. Then the folder comes back.
    const auto folder = file.parent_path();
    JsonFileUserDefaults d(file);
    d.setString("model", "gpt-4o");
    ASSERT_TRUE(d.flush());
    fs::rename(folder, dir / "away");
    writeFile(folder, "not a folder");

    CapturedLog log;
    d.setString("model", "claude");
    d.setData("quillary_history", std::string(100 * 1024, 'h'));
    EXPECT_FALSE(d.flush());
    EXPECT_EQ(d.string("model"), "claude");
    ASSERT_EQ(log.errors().size(), 1u);
    EXPECT_NE(log.errors()[0].find("Could not save settings"), std::string::npos) << log.errors()[0];
    d.setBool("flag", true);  // still failing: tried again at the flush, reported once
    EXPECT_FALSE(d.flush());
    EXPECT_EQ(log.errors().size(), 1u);

    fs::remove(folder);
    fs::rename(dir / "away", folder);
    EXPECT_TRUE(d.flush());
    EXPECT_TRUE(log.contains("saved to " + file.string() + " again"));
    JsonFileUserDefaults reopened(file);
    EXPECT_EQ(reopened.string("model"), "claude");
    EXPECT_TRUE(reopened.bool_("flag"));
    EXPECT_EQ(reopened.data("quillary_history"), Data{std::string(100 * 1024, 'h')});
}

TEST_F(JsonFileUserDefaultsTest, AWriterKilledAtAnyMomentLeavesACompleteEarlierState) {
    const auto folder = file.parent_path();
    for (int kill = 0; kill < 20; ++kill) {
        auto [child, out] = spawn({QUILLARY_DEFAULTS_WRITER_CHILD, file.string()});
        // Once it has flushed, it writes without pause: kill it a little
        // later each time, so that the kills fall on every step of a write.
        std::string line;
        char c = 0;
        while (c != '\n') {
            ASSERT_EQ(::read(out, &c, 1), 1) << "the writer child ended early";
            line += c;
        }
        const std::int64_t flushed = std::stoll(line.substr(std::string_view("flushed ").size()));
        std::this_thread::sleep_for(std::chrono::microseconds(700 * kill));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ::close(out);

        // The settings file parses, names a value file that holds exactly
        // the history of a round, and that round fits the counters beside
        // it: the sets of one round go history, counter, mirror.
        const auto parsed = nlohmann::json::parse(readFile(file));
        const std::int64_t counter = parsed.at("counter"), mirror = parsed.at("mirror");
        const std::string name = parsed.at("history").at("dataFile");
        const std::string history = readFile(folder / name);
        const std::int64_t round = std::stoll(history.substr(std::string_view("round ").size()));
        EXPECT_EQ(history, writerChildHistory(round));
        EXPECT_GE(mirror, flushed);
        EXPECT_TRUE(mirror <= counter && counter <= round && round <= mirror + 1)
            << "history " << round << ", counter " << counter << ", mirror " << mirror;

        CapturedLog log;
        JsonFileUserDefaults reopened(file);
        EXPECT_TRUE(log.messages().empty()) << log.messages().at(0);
        EXPECT_EQ(reopened.integer("counter"), counter);
        EXPECT_EQ(reopened.data("history"), Data{history});
        // What the killed writer left half done is gone.
        EXPECT_EQ(valueFilesIn(folder), std::vector<std::string>{name});
        EXPECT_TRUE(filesStartingWith(folder, "defaults.json.corrupt").empty());
        for (const auto& e : fs::directory_iterator(folder))
            EXPECT_FALSE(e.path().filename().string().ends_with(".tmp")) << e.path();
    }
}
