// Fuzz target: the multistatus reader on arbitrary bytes, within small limits so that the bounds
// are reached. A document it accepts must keep within them: no more responses than allowed, no
// response without an href, no text longer than allowed. A breach aborts, so libFuzzer keeps the
// input as a crash.

#include "sync/Multistatus.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    calsync::MultistatusLimits limits;
    limits.maxBytes = 64 * 1024;
    limits.maxResponses = 20;
    limits.maxDepth = 12;
    limits.maxText = 256;
    const auto result = calsync::parseMultistatus(bytes, limits);
    if (!result.ok()) {
        if (result.failure().kind != calsync::Failure::Kind::Server || result.failure().message.isEmpty()) {
            std::fprintf(stderr, "fuzz_multistatus: a refusal without its kind or sentence\n");
            std::abort();
        }
        return 0;
    }
    const auto& responses = result.value().responses;
    if (static_cast<int>(responses.size()) > limits.maxResponses) {
        std::fprintf(stderr, "fuzz_multistatus: %zu responses\n", responses.size());
        std::abort();
    }
    for (const calsync::DavResponse& response : responses) {
        if (response.href.isEmpty() || response.href.size() > limits.maxText ||
            response.etag.size() > limits.maxText || response.displayName.size() > limits.maxText ||
            response.calendarData.size() > limits.maxBytes) {
            std::fprintf(stderr, "fuzz_multistatus: a response beyond the limits\n");
            std::abort();
        }
    }
    return 0;
}
