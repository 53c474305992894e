#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// What a failure was, for a window to word in its user's language; what() stays the English
// message for logs and scripts. `other` is worded only by what().
enum class KeyFailure {
  other,
  no_credential,  // values: the serial number asked for, then those the key holds, comma-separated ("" for none)
  no_application,  // SELECT of the OTP application failed; values: its status word ("" for none)
};

// Any failure of the key layer. The model catches these at the edge of each key operation.
class KeyException : public std::runtime_error {
 public:
  explicit KeyException(const std::string& message) : std::runtime_error(message), message_(message) {}
  KeyException(KeyFailure kind, std::vector<std::string> values, const std::string& message)
      : std::runtime_error(message), message_(message), kind_(kind), values_(std::move(values)) {}
  ~KeyException() override = default;

  const char* what() const noexcept override { return message_.c_str(); }
  KeyFailure kind() const { return kind_; }
  const std::vector<std::string>& values() const { return values_; }
  // Throws a copy of this object with its own dynamic class.
  [[noreturn]] virtual void raise() const { throw *this; }

 private:
  std::string message_;
  KeyFailure kind_ = KeyFailure::other;
  std::vector<std::string> values_;
};

// Writing to or reading from the key failed: the key was removed, or its handle failed.
class KeyAccessException : public KeyException {
 public:
  using KeyException::KeyException;
  [[noreturn]] void raise() const override { throw *this; }
};

// The key answered "No such object", as it does while it waits for a press in press mode.
class KeyNoObjectException : public KeyException {
 public:
  using KeyException::KeyException;
  [[noreturn]] void raise() const override { throw *this; }
};

// Logs "Key Exception (<what>) occurs at <file>:<line>", then throws exp with its own class.
[[noreturn]] void throw_exp_print_line(const KeyException& exp, const char* file, int line);

// Every throw site of the key layer goes through here, so the log shows where a failure arose.
#define THROW_KEY_EXCEPTION(exp) throw_exp_print_line((exp), __FILE__, __LINE__)
