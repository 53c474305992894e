#include "key/key_exception.h"

#include <easylogging++.h>

#include <exception>

void throw_exp_print_line(const KeyException& exp, const char* file, int line) {
  LOG(INFO) << "Key Exception (" << exp.what() << ") occurs at " << file << ":" << line;
  exp.raise();
  std::terminate();  // unreachable: every raise throws
}
