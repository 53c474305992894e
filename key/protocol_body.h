#pragma once

#include "key/toolkit.h"

#include <cstdint>
#include <optional>

// The five bytes that open every command APDU.
struct CommandHeader {
  std::uint8_t cla = 0;
  std::uint8_t ins = 0;
  std::uint8_t p1 = 0;
  std::uint8_t p2 = 0;
  std::uint8_t lc = 0;

  void append_to(ByteBuffer& out) const { out.insert(out.end(), {cla, ins, p1, p2, lc}); }
};

// One request of the key's application: a command header and, for most requests, tag-length-value
// items. Length bytes and Lc are 8-bit and wrap silently; the transport bounds the body's size.
class ProtocolBody {
 public:
  virtual ~ProtocolBody() = default;

  // Replaces out with the body's bytes.
  virtual void get_bytes(ByteBuffer& out);

  void setup_get_active();
  void setup_list_user_info();

 protected:
  CommandHeader header;
};

// Compute code: item 0x54 (the time-step counter), then item 0x51 (the credential's serial number).
class ProtocolBodyOfCalHcode : public ProtocolBody {
 public:
  void get_bytes(ByteBuffer& out) override;
  // The first value, when given, is copied; otherwise the first item keeps what it holds.
  virtual void setup(ByteBuffer second_value, const std::optional<ByteBuffer>& first_value = std::nullopt);

 private:
  static constexpr std::uint8_t first_tag = 0x54;
  static constexpr std::uint8_t second_tag = 0x51;
  std::uint8_t first_length = 0;
  ByteBuffer first;
  std::uint8_t second_length = 0;
  ByteBuffer second;
};

// Personalization: item 0x53 (three single bytes, then S), then item 0x51 (Q). It writes its own
// header, not the inherited one, and appends to the caller's buffer instead of replacing it.
class ProtocolBodyOfPersonlization : public ProtocolBody {
 public:
  void get_bytes(ByteBuffer& out) override;
  virtual void setup(std::uint8_t first, std::uint8_t second, std::uint8_t third, ByteBuffer s_value,
                     ByteBuffer q_value);

 private:
  CommandHeader own_header;
  static constexpr std::uint8_t s_tag = 0x53;
  // Counts S plus 2, although three single bytes precede S: the key expects it so.
  std::uint8_t s_length = 0;
  std::uint8_t s_first = 0;
  std::uint8_t s_second = 0;
  std::uint8_t s_third = 0;
  ByteBuffer s;
  static constexpr std::uint8_t q_tag = 0x51;
  std::uint8_t q_length = 0;
  ByteBuffer q;
};

// Set activate: item 0x51 with the serial number of the credential to make active.
class ProtocolBodyOfSetActivate : public ProtocolBody {
 public:
  void get_bytes(ByteBuffer& out) override;
  void setup(const ByteBuffer& serial);

 private:
  static constexpr std::uint8_t tag = 0x51;
  std::uint8_t length = 0;
  ByteBuffer value;
};

class ProtocolBodyOfSwitchPressModeOn : public ProtocolBody {
 public:
  void get_bytes(ByteBuffer& out) override;
};

class ProtocolBodyOfSwitchPressModeOff : public ProtocolBody {
 public:
  void get_bytes(ByteBuffer& out) override;
};
