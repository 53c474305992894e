#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace keysim {

using Bytes = std::vector<std::uint8_t>;

enum class Hash : std::uint8_t { sha1 = 1, sha256 = 2 };

// RFC 4648 base32 as in otpauth URIs: case-insensitive, '=' padding and blanks allowed.
// Returns nothing when the text holds any other character.
std::optional<Bytes> base32_decode(const std::string& text);

// RFC 4226 dynamic truncation (31 bits) of the HMAC of the 8-byte big-endian counter.
std::uint32_t truncated_hmac(const Bytes& secret, Hash hash, std::uint64_t counter);

}  // namespace keysim
