#pragma once

#include <QString>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

// Request bodies, packages, responses, status words and serial numbers all travel in one of these.
using ByteBuffer = std::vector<std::uint8_t>;

// Configures the logger "default" from the easylogging++ file at conf_path and points its
// log file at <application data>/Orvalin Direzoda/Umbrata/Umbrata.log. Never fails: a missing
// configuration leaves the library's defaults, a missing data folder leaves the file name alone.
void setup_log(std::string conf_path);

// The bytes as UTF-8 text: how serial numbers are shown.
QString text_of(const ByteBuffer& bytes);
// The UTF-8 bytes of text: a serial number as the key takes it.
ByteBuffer bytes_of(const QString& text);

// Each byte as two lower-case hex digits followed by one blank ("01 ab 00 ").
std::ostringstream hex_dump(const ByteBuffer& bytes);
// The same for count bytes from data; a count below 1 renders nothing.
std::ostringstream hex_dump(const std::uint8_t* data, int count);
