#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace mining {

// The outcome of an operation that can fail: either a value or a one-line error message.
// Errors are values in this library; nothing throws across a module border.
template <class T>
class Result {
public:
    Result(T value) : state_(std::move(value)) {}

    // Returns a failed result carrying `message` (one line, no trailing period needed).
    static Result failure(std::string message) { return Result(Failure{std::move(message)}); }

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

private:
    struct Failure {
        std::string message;
    };
    explicit Result(Failure failure) : state_(std::move(failure)) {}
    std::variant<T, Failure> state_;
};

// The outcome of an operation that returns nothing but can fail.
class Status {
public:
    Status() = default;
    static Status failure(std::string message) { return Status(std::move(message)); }

    bool ok() const { return !message_; }
    explicit operator bool() const { return ok(); }

    // Requires !ok().
    const std::string& error() const { return *message_; }

private:
    explicit Status(std::string message) : message_(std::move(message)) {}
    std::optional<std::string> message_;
};

}  // namespace mining
