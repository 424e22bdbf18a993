#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace vantrell::launch {

// Telling a Windows program from a native one by its content, not its name: a Windows
// build is a PE image (a DOS header starting "MZ" whose 32-bit little-endian field at 0x3C
// points at the signature "PE\0\0"), whatever it is called and whether or not it carries
// an execute bit.

// How many leading bytes peHeaderOffset needs.
inline constexpr std::size_t kDosHeaderSize = 0x40;

// Where the DOS header says the PE signature is; none when the bytes are not a DOS header
// (too short, or no "MZ").
std::optional<std::uint32_t> peHeaderOffset(std::span<const unsigned char> head);

// Whether the bytes read at that offset are the PE signature; fewer than four bytes (a file
// that ends first) are not.
bool isPeSignature(std::span<const unsigned char> signature);

} // namespace vantrell::launch
