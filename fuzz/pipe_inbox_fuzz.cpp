// Feeds arbitrary bytes, in pieces of arbitrary sizes, to the receiving side of a pipe end, between
// takes of strings into buffers of arbitrary sizes and of single bytes. Every answer must be the one a
// plain copy of the received bytes gives, and nothing may be written past a caller's buffer (the
// buffers are allocated at their exact size, so AddressSanitizer sees every byte beyond).
//
// Input: a stream of steps; each step's first byte chooses what happens and how much (see below).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "PipeInbox.h"

namespace {

void expect(bool condition, const char* what) {
    if (condition)
        return;
    std::fprintf(stderr, "pipe_inbox_fuzz: %s\n", what);
    std::abort();
}

// The plain model: what the wire brought and nobody took, cut at the limit.
struct Model {
    std::string bytes;
    std::size_t limit;

    std::size_t append(const std::string& piece) {
        const std::size_t kept = std::min(piece.size(), limit - bytes.size());
        bytes.append(piece, 0, kept);
        return kept;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    // Small limits reach the full inbox often; a few large ones keep the usual case in view.
    const std::size_t limit =
        in.ConsumeBool() ? in.ConsumeIntegralInRange<std::size_t>(0, 64) : std::size_t(1) << 20;
    qx::detail::PipeInbox inbox(limit);
    Model model{{}, limit};
    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 5)) {
            case 0: {  // bytes arrive
                const std::string piece = in.ConsumeRandomLengthString(256);
                expect(inbox.append(piece.data(), piece.size()) == model.append(piece),
                       "kept another number of bytes");
                break;
            }
            case 1: {  // a string is read into a buffer of some size
                const std::size_t bufferSize = in.ConsumeIntegralInRange<std::size_t>(0, 40);
                auto buffer = std::make_unique<char[]>(bufferSize);
                const std::size_t nul = model.bytes.find('\0');
                const bool taken = inbox.takeString(buffer.get(), bufferSize);
                expect(taken == (bufferSize > 0 && nul != std::string::npos), "took a string or not wrongly");
                if (!taken)
                    break;
                const std::string expected = model.bytes.substr(0, std::min(nul, bufferSize - 1));
                expect(std::string(buffer.get(), expected.size()) == expected, "took other bytes");
                expect(buffer[expected.size()] == '\0', "the string taken is not ended");
                model.bytes.erase(0, nul + 1);
                break;
            }
            case 2: {  // one byte is read
                char ch = 'x';
                const bool taken = inbox.takeChar(ch);
                expect(taken == !model.bytes.empty(), "took a byte or not wrongly");
                if (taken) {
                    expect(ch == model.bytes.front(), "took another byte");
                    model.bytes.erase(0, 1);
                }
                break;
            }
            case 3: {
                const char ch =
                    in.ConsumeBool() ? '\0' : static_cast<char>(in.ConsumeIntegral<std::uint8_t>());
                expect(inbox.contains(ch) == (model.bytes.find(ch) != std::string::npos),
                       "contains is wrong");
                break;
            }
            case 4:
                expect(inbox.stuck() ==
                           (model.bytes.size() == limit && model.bytes.find('\0') == std::string::npos),
                       "stuck is wrong");
                expect(inbox.hasString() == (model.bytes.find('\0') != std::string::npos),
                       "hasString is wrong");
                break;
            case 5:
                if (in.ConsumeIntegralInRange(0, 7) == 0) {
                    inbox.clear();
                    model.bytes.clear();
                }
                break;
        }
        expect(inbox.size() == model.bytes.size(), "holds another number of bytes");
        expect(inbox.room() == limit - model.bytes.size(), "has other room");
    }
    return 0;
}
