#pragma once

namespace vantrell {

// Builds one visitor from several lambdas, for std::visit over a message variant.
template <typename... Ts>
struct Overloaded : Ts...
{
    using Ts::operator()...;
};
template <typename... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

} // namespace vantrell
