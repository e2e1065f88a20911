#pragma once
// The messages between the show and its metafile helper, over one stream socket: the show
// sends a request (header, then the file's bytes) and reads one answer (header, then the
// pixels, or the reason for a refusal). The helper greets with a `Ready` answer at start.
// Both sides live on the same machine: fields are in its byte order.

#include "MetafileDrawer.h"

#include <cstdint>

namespace rt::metafile {

inline constexpr std::uint32_t RequestMagic = 0x3146'4D51; // "QMF1"
inline constexpr std::uint32_t AnswerMagic = 0x3141'4D51;  // "QMA1"

enum class Op : std::uint32_t { Size = 1, Render = 2 };
using Kind = MetafileKind;
enum class Status : std::uint32_t { Image = 1, Size = 2, Refused = 3, Ready = 4 };

struct Request {
    std::uint32_t magic = RequestMagic;
    Op op = Op::Size;
    Kind kind = Kind::Wmf;
    std::int32_t width = 0, height = 0; // Render: the image wanted, in device pixels
    std::uint32_t length = 0;           // bytes of the file that follow
};

// Image: `width` x `height` premultiplied ARGB pixels follow, rows without padding.
// Size: the natural size in `width` and `height`, nothing follows. Refused: `length`
// bytes of UTF-8 reason follow. Ready: `width` is the Landlock ABI in force (0 none),
// `height` 1 when the system-call filter is in force.
struct Answer {
    std::uint32_t magic = AnswerMagic;
    Status status = Status::Refused;
    std::int32_t width = 0, height = 0;
    std::uint32_t length = 0;
};

// Bounds both sides keep.
inline constexpr std::uint32_t MaxFileBytes = 256u << 20;
inline constexpr std::uint32_t MaxReasonBytes = 1024;

// The socket's number in the helper.
inline constexpr int HelperSocket = 3;

} // namespace rt::metafile

namespace rt {

// Pictures larger than this many pixels a side are refused, whatever their header says:
// by the loader, whatever their format, and on both sides of the helper's socket.
inline constexpr int MaxSide = 32767;
// Nor is a metafile drawn into more pixels than this, whatever size is asked for.
inline constexpr std::int64_t MaxPixels = std::int64_t(1) << 26;

} // namespace rt
