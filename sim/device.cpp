#include "sim/device.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace keysim {

using namespace u2fhid;

namespace {

std::uint32_t read_cid(const Bytes& r) {
  return (std::uint32_t{r[0]} << 24) | (std::uint32_t{r[1]} << 16) | (std::uint32_t{r[2]} << 8) | r[3];
}

void put_cid(Bytes& r, std::uint32_t cid) {
  r[0] = static_cast<std::uint8_t>(cid >> 24);
  r[1] = static_cast<std::uint8_t>(cid >> 16);
  r[2] = static_cast<std::uint8_t>(cid >> 8);
  r[3] = static_cast<std::uint8_t>(cid);
}

bool parse_number(const std::string& text, unsigned long max, int base, unsigned long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtoul(text.c_str(), &end, base);
  return *end == '\0' && value <= max;
}

}  // namespace

const char* Faults::names_help() {
  return "bad-nonce, short-init, truncate, silent, status SW (4 hex digits), select-status SW, bad-length [VALUE], "
         "foreign-report, remove, out-of-sequence, keepalive N [STATUS], error CODE [LENGTH], "
         "init-error CODE [LENGTH], stale N, answer HEX, latency MS, endless-keepalive, empty-continuation";
}

bool Faults::arm(const std::string& name, const std::string& argument, std::string& error) {
  unsigned long value = 0;
  const bool takes_argument = name == "status" || name == "select-status" || name == "bad-length" || name == "latency" || name == "keepalive" ||
                              name == "error" || name == "init-error" || name == "stale" || name == "answer";
  // Faults of two arguments take them as one, separated by a blank.
  const auto blank = argument.find(' ');
  const std::string first = argument.substr(0, blank);
  const std::string second = blank == std::string::npos ? "" : argument.substr(blank + 1);
  unsigned long extra = 0;
  if (!takes_argument && !argument.empty()) {
    error = "fault " + name + " takes no argument";
    return false;
  }
  if (name == "bad-nonce") {
    bad_nonce = true;
  } else if (name == "short-init") {
    short_init = true;
  } else if (name == "truncate") {
    truncate = true;
  } else if (name == "silent") {
    silent = true;
  } else if (name == "endless-keepalive") {
    endless_keepalive = true;
  } else if (name == "empty-continuation") {
    empty_continuation = true;
  } else if (name == "foreign-report") {
    foreign_report = true;
  } else if (name == "remove") {
    remove = true;
  } else if (name == "answer") {
    Bytes data;
    for (std::size_t i = 0; i + 1 < argument.size() && parse_number(argument.substr(i, 2), 0xFF, 16, value); i += 2)
      data.push_back(static_cast<std::uint8_t>(value));
    if (argument.empty() || data.size() * 2 != argument.size() || data.size() > 200) {
      error = "fault answer needs data bytes in hex, 1 to 200 of them";
      return false;
    }
    answer = std::move(data);
  } else if (name == "out-of-sequence") {
    out_of_sequence = true;
  } else if (name == "keepalive") {
    if (!parse_number(first, 1000, 10, value) || (!second.empty() && !parse_number(second, 0xFF, 0, extra))) {
      error = "fault keepalive needs a count, 0 to 1000, and may take a status byte";
      return false;
    }
    keepalives = value;
    keepalive_status = second.empty() ? 1 : static_cast<std::uint8_t>(extra);
  } else if (name == "error" || name == "init-error") {
    extra = 64;
    if (!parse_number(first, 0xFF, 16, value) || (!second.empty() && !parse_number(second, 64, 10, extra)) ||
        extra < 5) {
      error = "fault " + name + " needs an error code (hex) and may take a report length, 5 to 64";
      return false;
    }
    (name == "error" ? this->error : init_error) = static_cast<std::uint8_t>(value);
    error_length = extra;
  } else if (name == "stale") {
    if (!parse_number(first, 1000, 10, value)) {
      error = "fault stale needs a count, 0 to 1000";
      return false;
    }
    stale = value;
  } else if (name == "status" || name == "select-status") {
    if (argument.size() != 4 || !parse_number(argument, 0xFFFF, 16, value)) {
      error = "fault " + name + " needs a status word of 4 hex digits, for example 6984";
      return false;
    }
    (name == "status" ? status : select_status) = static_cast<std::uint16_t>(value);
  } else if (name == "bad-length") {
    if (argument.empty()) {
      value = 0x01;
    } else if (!parse_number(argument, 0xFFFF, 0, value)) {
      error = "fault bad-length takes a length, 0 to 65535";
      return false;
    }
    bad_length = static_cast<std::uint16_t>(value);
  } else if (name == "latency") {
    if (!parse_number(argument, 60000, 10, value)) {
      error = "fault latency needs milliseconds, 0 to 60000";
      return false;
    }
    latency = std::chrono::milliseconds(value);
  } else {
    error = "unknown fault: " + name + " (known: " + names_help() + ")";
    return false;
  }
  return true;
}

U2fDevice::U2fDevice(std::shared_ptr<Applet> applet, std::shared_ptr<Faults> faults, Clock clock)
    : applet_(std::move(applet)), faults_(std::move(faults)), clock_(std::move(clock)), random_(std::random_device{}()) {}

void U2fDevice::reset() {
  channels_.clear();
  selected_.clear();
  pending_.reset();
  stream_.reset();
}

bool U2fDevice::allocated(std::uint32_t cid) const {
  return std::find(channels_.begin(), channels_.end(), cid) != channels_.end();
}

std::uint32_t U2fDevice::allocate() {
  std::uint32_t cid = 0;
  do {
    cid = static_cast<std::uint32_t>(random_());
  } while (cid == 0 || cid == broadcast || allocated(cid));
  channels_.push_back(cid);
  if (channels_.size() > max_channels) {
    selected_.erase(channels_.front());
    channels_.pop_front();
  }
  return cid;
}

std::vector<Bytes> U2fDevice::frame(std::uint32_t cid, std::uint8_t cmd, const Bytes& payload) {
  std::vector<Bytes> reports;
  Bytes first(report_size, 0);
  put_cid(first, cid);
  first[4] = cmd;
  first[5] = static_cast<std::uint8_t>(payload.size() >> 8);
  first[6] = static_cast<std::uint8_t>(payload.size());
  std::size_t sent = std::min(payload.size(), init_payload);
  std::copy_n(payload.begin(), sent, first.begin() + init_header);
  reports.push_back(std::move(first));
  for (std::uint8_t seq = 0; sent < payload.size(); ++seq) {
    Bytes next(report_size, 0);
    put_cid(next, cid);
    next[4] = seq;
    const std::size_t part = std::min(payload.size() - sent, cont_payload);
    std::copy_n(payload.begin() + static_cast<long>(sent), part, next.begin() + cont_header);
    sent += part;
    reports.push_back(std::move(next));
  }
  return reports;
}

DeviceOutput U2fDevice::error(std::uint32_t cid, std::uint8_t code) { return {frame(cid, cmd_error, {code}), false}; }

DeviceOutput U2fDevice::handle(const Bytes& raw) {
  Bytes report(raw.begin(), raw.begin() + static_cast<long>(std::min(raw.size(), report_size)));
  report.resize(report_size, 0);
  const std::uint32_t cid = read_cid(report);

  if (report[4] & 0x80) {
    const std::uint8_t cmd = report[4];
    stream_.reset();
    if (pending_) {
      if (pending_->cid != cid) return error(cid, err_channel_busy);
      pending_.reset();
      if (cmd != cmd_init) return error(cid, err_invalid_seq);
    }
    if (cid == 0) return error(cid, err_invalid_cid);
    const std::size_t total = (std::size_t{report[5]} << 8) | report[6];
    if (total > max_message) return error(cid, err_invalid_len);
    Bytes payload(report.begin() + init_header, report.begin() + static_cast<long>(init_header + std::min(total, init_payload)));
    if (total <= init_payload) return dispatch(cid, cmd, payload);
    pending_ = Pending{cid, cmd, total, std::move(payload), 0, clock_() + message_timeout};
    return {};
  }

  // A continuation packet nobody waits for is ignored, as the protocol asks.
  if (!pending_ || pending_->cid != cid) return {};
  if (report[4] != pending_->next_seq) {
    pending_.reset();
    return error(cid, err_invalid_seq);
  }
  const std::size_t part = std::min(pending_->total - pending_->payload.size(), cont_payload);
  pending_->payload.insert(pending_->payload.end(), report.begin() + cont_header,
                           report.begin() + static_cast<long>(cont_header + part));
  ++pending_->next_seq;
  if (pending_->payload.size() < pending_->total) return {};
  Pending done = std::move(*pending_);
  pending_.reset();
  return dispatch(done.cid, done.cmd, done.payload);
}

DeviceOutput U2fDevice::tick() {
  if (stream_ && clock_() >= stream_->due) {
    stream_->due = clock_() + std::chrono::milliseconds(1);
    Bytes report = stream_->keepalive ? frame(stream_->cid, cmd_keepalive, {1}).front() : Bytes(cont_header, 0);
    if (!stream_->keepalive) {
      put_cid(report, stream_->cid);
      report[4] = stream_->next_seq++;
    }
    return {{std::move(report)}, false};
  }
  if (!pending_ || clock_() < pending_->deadline) return {};
  const std::uint32_t cid = pending_->cid;
  pending_.reset();
  return error(cid, err_msg_timeout);
}

std::optional<std::chrono::steady_clock::time_point> U2fDevice::next_deadline() const {
  if (stream_) return stream_->due;
  if (!pending_) return std::nullopt;
  return pending_->deadline;
}

DeviceOutput U2fDevice::dispatch(std::uint32_t cid, std::uint8_t cmd, const Bytes& payload) {
  Faults& f = *faults_;
  if (f.silent) {
    f.silent = false;
    return {};
  }
  if (f.remove) {
    f.remove = false;
    reset();
    return {{}, true};
  }
  Bytes foreign;
  if (f.foreign_report) {
    f.foreign_report = false;
    std::uint32_t other = 0;
    do {
      other = static_cast<std::uint32_t>(random_());
    } while (other == cid || other == 0 || other == broadcast);
    foreign = frame(other, cmd_msg, status_only(sw::success)).front();
  }

  DeviceOutput out;
  switch (cmd) {
    case cmd_init:
      out = init(cid, payload);
      break;
    case cmd_ping:
      out = {frame(cid, cmd_ping, payload), false};
      break;
    case cmd_msg:
      out = msg(cid, payload);
      break;
    default:
      out = error(cid, err_invalid_cmd);
  }
  if (!foreign.empty()) out.reports.insert(out.reports.begin(), std::move(foreign));
  return out;
}

DeviceOutput U2fDevice::init(std::uint32_t cid, const Bytes& nonce) {
  if (nonce.size() != 8) return error(cid, err_invalid_len);
  Faults& f = *faults_;
  if (f.init_error) {
    DeviceOutput out = error(cid, *f.init_error);
    out.reports.front().resize(f.error_length);
    f.init_error.reset();
    return out;
  }
  std::uint32_t channel = cid;
  if (cid == broadcast) {
    channel = allocate();
  } else if (!allocated(cid)) {
    return error(cid, err_invalid_cid);
  } else {
    selected_[cid] = false;  // a resynchronised channel starts afresh
  }
  Bytes payload = nonce;
  payload.insert(payload.end(), {static_cast<std::uint8_t>(channel >> 24), static_cast<std::uint8_t>(channel >> 16),
                                 static_cast<std::uint8_t>(channel >> 8), static_cast<std::uint8_t>(channel),
                                 protocol_version, 1, 0, 0, 0x01 /* wink */});
  if (f.bad_nonce) {
    f.bad_nonce = false;
    payload[0] ^= 0xFF;
  }
  std::vector<Bytes> reports = frame(cid, cmd_init, payload);
  if (f.short_init) {
    f.short_init = false;
    reports.front().resize(16);
  }
  return {std::move(reports), false};
}

DeviceOutput U2fDevice::msg(std::uint32_t cid, const Bytes& apdu) {
  if (cid == broadcast || !allocated(cid)) return error(cid, err_invalid_cid);
  const bool is_select = apdu.size() >= 2 && apdu[0] == 0x00 && apdu[1] == 0xA4;
  Faults& f = *faults_;
  Bytes response;
  if (is_select && f.select_status) {
    response = status_only(*f.select_status);
    f.select_status.reset();
  } else if (!is_select && f.status) {
    response = status_only(*f.status);
    f.status.reset();
  } else if (!is_select && f.answer) {
    response = *f.answer;
    response.insert(response.end(), {0x90, 0x00});
    f.answer.reset();
  } else {
    response = applet_->process(apdu, selected_[cid]);
  }
  std::vector<Bytes> reports = frame(cid, cmd_msg, response);
  if (!is_select && f.error) {
    reports = frame(cid, cmd_error, {*f.error});
    reports.front().resize(f.error_length);
    f.error.reset();
  }
  if (!is_select && f.bad_length) {
    if (*f.bad_length > 0xFF) reports.front()[5] = static_cast<std::uint8_t>(*f.bad_length >> 8);
    reports.front()[6] = static_cast<std::uint8_t>(*f.bad_length);
    f.bad_length.reset();
  }
  if (f.truncate && reports.size() > 1) {
    f.truncate = false;
    reports.resize(1);
  }
  if (f.out_of_sequence && reports.size() > 1) {
    f.out_of_sequence = false;
    reports[1][4] = 1;
  }
  if (!is_select && (f.endless_keepalive || f.empty_continuation)) {
    stream_ = Stream{cid, f.endless_keepalive, 0, clock_()};
    DeviceOutput out{{}, false};
    if (f.empty_continuation) {
      out.reports.push_back(frame(cid, cmd_msg, Bytes(max_message, 0)).front());
      out.reports.front().resize(init_header);
    }
    f.endless_keepalive = f.empty_continuation = false;
    return out;
  }
  DeviceOutput out{{}, false};
  if (!is_select && f.keepalives) {
    // A FIDO2 key's "still working" or "waiting for a touch", 100 ms apart.
    for (std::size_t k = 0; k < f.keepalives; ++k) out.reports.push_back(frame(cid, cmd_keepalive, {f.keepalive_status}).front());
    out.paced = f.keepalives;
    out.pace = std::chrono::milliseconds(100);
    f.keepalives = 0;
  }
  out.reports.insert(out.reports.end(), reports.begin(), reports.end());
  return out;
}

std::vector<Bytes> U2fDevice::stale_reports(std::size_t count) {
  std::vector<Bytes> reports;
  for (std::size_t k = 0; k < count; ++k) {
    Bytes payload(17, 0);
    for (std::size_t i = 0; i < 12; ++i) payload[i] = static_cast<std::uint8_t>(random_());
    payload[12] = protocol_version;
    reports.push_back(frame(broadcast, cmd_init, payload).front());
  }
  return reports;
}

}  // namespace keysim
