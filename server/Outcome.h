// The result of a step that can fail with a message for the user: either a
// value or a failure whose message goes back to the client as an error reply.
#pragma once

#include <optional>
#include <string>
#include <utility>

// Why a request failed: a short ASCII tag for the server log and the
// Shift-JIS message that the client shows in its message box.
struct Failure {
    std::string tag;
    std::string message;
};

template <typename T>
class Outcome {
public:
    Outcome(T value) : value_(std::move(value)) {}
    Outcome(Failure failure) : failure_(std::move(failure)) {}

    bool Ok() const { return value_.has_value(); }
    const T& Value() const { return *value_; }
    T& Value() { return *value_; }
    const Failure& Error() const { return failure_; }

private:
    std::optional<T> value_;
    Failure failure_;
};

inline Failure MakeFailure(std::string tag, std::string message) {
    return Failure{std::move(tag), std::move(message)};
}
