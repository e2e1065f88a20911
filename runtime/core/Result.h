#pragma once
// Errors travel up from the runtime as values. An error carries the classic
// run-time error number (53 file not found, 76 path not found, ...) so that a
// handler can show it, and a short English description for diagnostics.

#include <QString>

#include <cassert>
#include <optional>
#include <utility>

namespace rt {

// The run-time error numbers the program's handlers may see.
namespace err {
inline constexpr int BadCall = 5;            // invalid procedure call or argument
inline constexpr int BadFileName = 52;       // bad file name or number
inline constexpr int FileNotFound = 53;      // file not found
inline constexpr int DeviceUnavailable = 68; // drive letter unknown or its volume is gone
inline constexpr int PermissionDenied = 70;
inline constexpr int DiskNotReady = 71;
inline constexpr int PathFileAccess = 75; // path/file access error
inline constexpr int PathNotFound = 76;
inline constexpr int InvalidPicture = 481;
} // namespace err

// An error is a value the caller must look at: one passed over is passed over on purpose,
// with (void) and the reason beside it.
struct [[nodiscard]] Error {
    int number = 0; // 0 means success
    QString description;

    [[nodiscard]] bool failed() const { return number != 0; }
    static Error none() { return {}; }
};

// A file refused as a picture (481): not one of the formats, cut short, corrupt, too large.
[[nodiscard]] inline Error refusedPicture(const QString& why) {
    return Error{err::InvalidPicture, why};
}

// The end of a program that asked an error for its value: a fault of the caller's, never
// of the input, so it stops the program in every build, naming the error.
[[noreturn]] void valueOfAnError(const Error& error);

// A value or an error; never both. `value()` may only be called when `ok()`: called on an
// error, it stops the program (valueOfAnError), whatever the build.
template <class T> class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {} // NOLINT: implicit by design
    Result(Error error) : error_(std::move(error)) { assert(error_.failed()); }

    [[nodiscard]] bool ok() const { return value_.has_value(); }
    [[nodiscard]] const T& value() const& {
        if (!ok()) valueOfAnError(error_);
        return *value_;
    }
    [[nodiscard]] T&& value() && {
        if (!ok()) valueOfAnError(error_);
        return std::move(*value_);
    }
    [[nodiscard]] const Error& error() const { return error_; }
    [[nodiscard]] T valueOr(T fallback) const { return ok() ? *value_ : std::move(fallback); }

private:
    std::optional<T> value_;
    Error error_;
};

} // namespace rt
