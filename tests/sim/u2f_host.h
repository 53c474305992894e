#pragma once

// The host's side of U2F HID, written out again for the tests, so that they check the
// simulated key's framing against an independent reading of the protocol.
#include <cstdint>
#include <vector>

namespace host {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint32_t broadcast = 0xFFFFFFFF;

inline Bytes cid_bytes(std::uint32_t cid) {
  return {static_cast<std::uint8_t>(cid >> 24), static_cast<std::uint8_t>(cid >> 16),
          static_cast<std::uint8_t>(cid >> 8), static_cast<std::uint8_t>(cid)};
}

inline std::uint32_t cid_of(const Bytes& report, std::size_t at = 0) {
  return (std::uint32_t{report[at]} << 24) | (std::uint32_t{report[at + 1]} << 16) |
         (std::uint32_t{report[at + 2]} << 8) | report[at + 3];
}

// The output reports (64 bytes, no report id) that carry one request.
inline std::vector<Bytes> frame(std::uint32_t cid, std::uint8_t cmd, const Bytes& payload) {
  std::vector<Bytes> reports;
  Bytes first = cid_bytes(cid);
  first.push_back(cmd);
  first.push_back(static_cast<std::uint8_t>(payload.size() >> 8));
  first.push_back(static_cast<std::uint8_t>(payload.size() & 0xFF));
  std::size_t at = 0;
  while (first.size() < 64 && at < payload.size()) first.push_back(payload[at++]);
  first.resize(64, 0);
  reports.push_back(first);
  for (std::uint8_t seq = 0; at < payload.size(); ++seq) {
    Bytes next = cid_bytes(cid);
    next.push_back(seq);
    while (next.size() < 64 && at < payload.size()) next.push_back(payload[at++]);
    next.resize(64, 0);
    reports.push_back(next);
  }
  return reports;
}

struct Message {
  std::uint32_t cid = 0;
  std::uint8_t cmd = 0;
  Bytes payload;
  bool complete = false;
};

// Reassembles one answer from input reports, checking the channel and every sequence number.
inline Message collect(const std::vector<Bytes>& reports) {
  Message m;
  if (reports.empty() || reports[0].size() < 7) return m;
  m.cid = cid_of(reports[0]);
  m.cmd = reports[0][4];
  const std::size_t total = (std::size_t{reports[0][5]} << 8) | reports[0][6];
  for (std::size_t i = 7; i < reports[0].size() && m.payload.size() < total; ++i) m.payload.push_back(reports[0][i]);
  for (std::size_t r = 1; r < reports.size(); ++r) {
    if (reports[r].size() < 5 || cid_of(reports[r]) != m.cid || reports[r][4] != r - 1) return m;
    for (std::size_t i = 5; i < reports[r].size() && m.payload.size() < total; ++i) m.payload.push_back(reports[r][i]);
  }
  m.complete = m.payload.size() == total;
  return m;
}

inline Bytes select_apdu() {
  return {0x00, 0xA4, 0x04, 0x00, 0x09, 0xD1, 0x56, 0x00, 0x01, 0x32, 0x83, 0x26, 0x01, 0x01};
}

}  // namespace host
