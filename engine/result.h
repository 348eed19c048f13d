#pragma once

#include <QString>
#include <utility>
#include <variant>

// What a function that can refuse gives back: its value, or why it could not (by default one
// sentence for the operator or the log). Objects that keep a state use Qt's own way instead: a
// bool, and errorString() for the reason.
template <typename T = std::monostate, typename Error = QString> class Result {
public:
    Result() requires std::is_same_v<T, std::monostate> : held_(std::in_place_index<0>) {}
    Result(T value) : held_(std::in_place_index<0>, std::move(value)) {}
    static Result failure(Error error) { return Result(Failed{}, std::move(error)); }

    bool ok() const { return held_.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T &value() const { return std::get<0>(held_); }
    T &value() { return std::get<0>(held_); }
    const T *operator->() const { return &value(); }
    const T &operator*() const { return value(); }
    // Empty (default-made) when it succeeded.
    Error error() const { return ok() ? Error() : std::get<1>(held_); }

private:
    struct Failed {};
    Result(Failed, Error error) : held_(std::in_place_index<1>, std::move(error)) {}
    std::variant<T, Error> held_;
};
