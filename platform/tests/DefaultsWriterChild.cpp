// A process that changes settings in a loop until it is killed, for the test
// that kills a writer in the middle of its writes.
//
//   defaults_writer_child FILE
//
// Round i sets "counter" to i, "history" to writerChildHistory(i) (large
// enough to live in its own file) and "mirror" to i, in that order, carrying
// on from the counter it finds. After every third round it flushes and prints
// "flushed I", so the test knows which rounds are surely on disk.
#include <cstdio>

#include "platform/linux/JsonFileUserDefaults.h"
#include "platform/tests/WriterChildHistory.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    platform::JsonFileUserDefaults defaults(argv[1]);
    for (std::int64_t round = defaults.integer("counter") + 1;; ++round) {
        defaults.setData("history", writerChildHistory(round));
        defaults.setInteger("counter", round);
        defaults.setInteger("mirror", round);
        if (round % 10 == 0 && defaults.flush()) {
            std::printf("flushed %lld\n", static_cast<long long>(round));
            std::fflush(stdout);
        }
    }
}
