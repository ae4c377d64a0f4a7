#include "Telemetry/Gzip.h"

#include <zlib.h>

#include <limits>
#include <utility>

namespace telemetry {
namespace {

// Window bits 15 plus 16: a gzip wrapper instead of the zlib one.
constexpr int kGzipWindowBits = 31;
constexpr int kMemoryLevel = 8;

// Owns an initialised deflate stream.
class DeflateStream {
public:
    DeflateStream() {
        const int rc = deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, kMemoryLevel,
                                    Z_DEFAULT_STRATEGY);
        if (rc != Z_OK) throw GzipError(rc, "cannot start gzip compression");
    }
    DeflateStream(const DeflateStream&) = delete;
    DeflateStream& operator=(const DeflateStream&) = delete;
    ~DeflateStream() { deflateEnd(&stream_); }
    z_stream* get() { return &stream_; }

private:
    z_stream stream_{};
};

}  // namespace

GzipError::GzipError(int zlibCode, std::string description) : Error("Telemetry.gzip", zlibCode, std::move(description)) {}

std::string gzipCompress(std::string_view bytes) {
    DeflateStream deflate;
    z_stream* z = deflate.get();
    if (bytes.size() > std::numeric_limits<uInt>::max()) throw GzipError(Z_BUF_ERROR, "body too large to compress");
    z->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z->avail_in = static_cast<uInt>(bytes.size());

    std::string out;
    out.resize(deflateBound(z, static_cast<uLong>(bytes.size())) + 32);
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        if (z->total_out == out.size()) out.resize(out.size() * 2);
        z->next_out = reinterpret_cast<Bytef*>(out.data() + z->total_out);
        z->avail_out = static_cast<uInt>(out.size() - z->total_out);
        rc = ::deflate(z, Z_FINISH);
        // Z_BUF_ERROR only means "no room left", which the next round makes.
        const bool noRoom = rc == Z_BUF_ERROR && z->avail_out == 0;
        if (rc != Z_OK && rc != Z_STREAM_END && !noRoom) throw GzipError(rc, "gzip compression failed");
    }
    out.resize(z->total_out);
    return out;
}

}  // namespace telemetry
