#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace vantrell {

// The error half of a Result: a text fit to show the player.
struct Error
{
    std::string message;
};

// A value or the reason there is none. Used wherever an operation can fail, so that
// failures travel as values rather than exceptions.
template <typename T>
class [[nodiscard]] Result
{
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Error error) : m_state(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return std::get<T>(m_state); }
    T&& value() && { return std::get<T>(std::move(m_state)); }
    const T& operator*() const& { return value(); }
    const T* operator->() const { return &value(); }
    const std::string& error() const { return std::get<Error>(m_state).message; }

private:
    std::variant<T, Error> m_state;
};

template <>
class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Error error) : m_error(std::move(error.message)) {}

    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }
    const std::string& error() const { return *m_error; }

private:
    std::optional<std::string> m_error;
};

} // namespace vantrell
