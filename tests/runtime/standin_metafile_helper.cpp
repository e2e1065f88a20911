// A stand-in for the metafile helper, for the tests of the show's side: it speaks the
// protocol, and the first bytes of each file it is sent choose how it misbehaves.
//   CRASH aborts, HANG never answers, SLOW stops halfway through the pixels, HUGE and
//   WRONGSIZE announce pixels that are not the picture asked for, MORE and FEWER announce
//   the picture asked for and send (and count) a row more or a row fewer of pixels than
//   it holds, JUNK answers noise,
//   LONGREASON announces a megabyte of refusal, BYE answers and then exits.
// Anything else: a size of 10 x 20, or the picture asked for in one colour (0xFF336699).
// With --silent it never greets.

#include "MetafileProtocol.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

using namespace rt::metafile;

namespace {

bool readAll(void* to, std::size_t n) {
    auto* p = static_cast<char*>(to);
    while (n > 0) {
        const ssize_t r = ::read(HelperSocket, p, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        n -= std::size_t(r);
    }
    return true;
}

void writeAll(const void* from, std::size_t n) {
    const auto* p = static_cast<const char*>(from);
    while (n > 0) {
        const ssize_t w = ::write(HelperSocket, p, n);
        if (w <= 0) std::exit(0);
        p += w;
        n -= std::size_t(w);
    }
}

void answer(Status status, int width, int height, std::uint32_t length) {
    Answer a;
    a.status = status;
    a.width = width;
    a.height = height;
    a.length = length;
    writeAll(&a, sizeof a);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--silent") == 0) {
        for (;;)
            ::pause();
    }
    answer(Status::Ready, 0, 0, 0);
    for (;;) {
        Request r;
        if (!readAll(&r, sizeof r)) return 0;
        std::string file(r.length, '\0');
        if (!readAll(file.data(), r.length)) return 0;
        const auto is = [&](const char* word) { return file.rfind(word, 0) == 0; };
        const std::uint32_t pixels = std::uint32_t(r.width) * std::uint32_t(r.height) * 4;
        if (is("CRASH")) std::abort();
        if (is("HANG")) {
            for (;;)
                ::pause();
        }
        if (is("JUNK")) {
            const char noise[] = "\x13\x37 not an answer at all, just noise on the line \xFF\xFE";
            writeAll(noise, sizeof noise);
            continue;
        }
        if (is("LONGREASON")) {
            answer(Status::Refused, 0, 0, 1u << 20);
            continue;
        }
        if (r.op == Op::Size) {
            answer(Status::Size, 10, 20, 0);
            continue;
        }
        if (is("HUGE")) {
            answer(Status::Image, r.width, r.height, pixels + (1u << 30));
            continue;
        }
        if (is("WRONGSIZE")) {
            answer(Status::Image, r.width + 1, r.height,
                   std::uint32_t(r.width + 1) * std::uint32_t(r.height) * 4);
            continue;
        }
        const std::vector<std::uint32_t> image(pixels / 4 + std::uint32_t(r.width), 0xFF336699u);
        if (is("MORE") || is("FEWER")) {
            const std::uint32_t row = std::uint32_t(r.width) * 4;
            const std::uint32_t sent = is("MORE") ? pixels + row : pixels - row;
            answer(Status::Image, r.width, r.height, sent);
            writeAll(image.data(), sent);
            continue;
        }
        if (is("SLOW")) {
            answer(Status::Image, r.width, r.height, pixels);
            writeAll(image.data(), pixels / 2);
            for (;;)
                ::pause();
        }
        answer(Status::Image, r.width, r.height, pixels);
        writeAll(image.data(), pixels);
        if (is("BYE")) return 0;
    }
}
