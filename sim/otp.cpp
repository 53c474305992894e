#include "sim/otp.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cctype>

namespace keysim {

std::optional<Bytes> base32_decode(const std::string& text) {
  static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
  Bytes out;
  std::uint32_t buffer = 0;
  int bits = 0;
  for (char c : text) {
    if (c == '=' || c == ' ' || c == '-') continue;
    const auto pos = alphabet.find(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    if (pos == std::string::npos) return std::nullopt;
    buffer = (buffer << 5) | static_cast<std::uint32_t>(pos);
    bits += 5;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<std::uint8_t>(buffer >> bits));
    }
  }
  return out;
}

std::uint32_t truncated_hmac(const Bytes& secret, Hash hash, std::uint64_t counter) {
  std::uint8_t message[8];
  for (int i = 7; i >= 0; --i, counter >>= 8) message[i] = static_cast<std::uint8_t>(counter);
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int mac_length = 0;
  const EVP_MD* md = hash == Hash::sha256 ? EVP_sha256() : EVP_sha1();
  HMAC(md, secret.data(), static_cast<int>(secret.size()), message, sizeof message, mac, &mac_length);
  const unsigned offset = mac[mac_length - 1] & 0x0F;
  return (static_cast<std::uint32_t>(mac[offset] & 0x7F) << 24) | (static_cast<std::uint32_t>(mac[offset + 1]) << 16) |
         (static_cast<std::uint32_t>(mac[offset + 2]) << 8) | mac[offset + 3];
}

}  // namespace keysim
