#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace mining {

// What kind of failure an error is, which decides the exit status of a program (see
// exitStatus in cli/run_classifier.cpp): the command line asks for something that cannot be
// done (a bad option, a column that is not there, an output that would replace an input), the
// data cannot be read or learnt from, or a file cannot be written.
enum class ErrorKind { Usage, Data, Io };

// The outcome of an operation that can fail: either a value or a one-line error message with
// its kind. Errors are values in this library; nothing throws across a module border.
template <class T>
class Result {
public:
    Result(T value) : state_(std::move(value)) {}

    // Returns a failed result carrying `message` (one line, no trailing period needed).
    static Result failure(std::string message, ErrorKind kind = ErrorKind::Data) {
        return Result(Failure{std::move(message), kind});
    }

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Requires ok().
    T& value() { return std::get<0>(state_); }
    const T& value() const { return std::get<0>(state_); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }

    // Requires !ok(). Returns the message.
    const std::string& error() const { return std::get<1>(state_).message; }
    // Requires !ok(). Returns the kind of failure.
    ErrorKind kind() const { return std::get<1>(state_).kind; }

    // Requires !ok(). Returns the failure as a result of another type, its message and kind kept.
    template <class U>
    Result<U> failureAs() const {
        return Result<U>::failure(error(), kind());
    }

private:
    struct Failure {
        std::string message;
        ErrorKind kind;
    };
    explicit Result(Failure failure) : state_(std::move(failure)) {}
    std::variant<T, Failure> state_;
};

// The outcome of an operation that returns nothing but can fail.
class Status {
public:
    Status() = default;
    static Status failure(std::string message, ErrorKind kind = ErrorKind::Data) {
        return Status(std::move(message), kind);
    }

    bool ok() const { return !message_; }
    explicit operator bool() const { return ok(); }

    // Requires !ok().
    const std::string& error() const { return *message_; }
    ErrorKind kind() const { return kind_; }

private:
    Status(std::string message, ErrorKind kind) : message_(std::move(message)), kind_(kind) {}
    std::optional<std::string> message_;
    ErrorKind kind_ = ErrorKind::Data;
};

}  // namespace mining
