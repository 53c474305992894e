#include "sim/otp.h"
#include "tests/sim/sim_fixture.h"

#include <cstdio>
#include <memory>

namespace {

using host::Bytes;

const std::string rfc_secret_20 = "12345678901234567890";
const std::string rfc_secret_32 = "12345678901234567890123456789012";

class Codes : public SimKeyTest {
 protected:
  Codes() : SimKeyTest(vectors_state()) {}

  static keysim::AppletState vectors_state() {
    keysim::AppletState s;
    s.credentials.push_back(credential("SHA1", 2, keysim::Hash::sha1, rfc_secret_20, 8));
    s.credentials.push_back(credential("SHA256", 2, keysim::Hash::sha256, rfc_secret_32, 8));
    s.credentials.push_back(credential("HOTP", 1, keysim::Hash::sha1, rfc_secret_20, 6));
    s.active = "SHA1";
    return s;
  }

  // The key's answer to compute-code: two bytes of its own, digits, then the 4-byte value.
  std::pair<int, std::uint32_t> code(std::uint32_t cid, const std::string& serial, std::uint64_t counter) {
    Bytes c = {0x00, 0xA2, 0x01, 0x00, static_cast<std::uint8_t>(serial.size() + 12), 0x54, 0x08};
    for (int shift = 56; shift >= 0; shift -= 8) c.push_back(static_cast<std::uint8_t>(counter >> shift));
    c.push_back(0x51);
    c.push_back(static_cast<std::uint8_t>(serial.size()));
    c.insert(c.end(), serial.begin(), serial.end());
    const Bytes answer = apdu(cid, c);
    EXPECT_EQ(answer.size(), 9u);
    if (answer.size() != 9) return {-1, 0};
    EXPECT_EQ(Bytes(answer.end() - 2, answer.end()), (Bytes{0x90, 0x00}));
    const std::uint32_t value = (std::uint32_t{answer[3]} << 24) | (std::uint32_t{answer[4]} << 16) |
                                (std::uint32_t{answer[5]} << 8) | answer[6];
    return {answer[2], value};
  }
};

TEST(Otp, Base32AsInOtpauthUris) {
  EXPECT_EQ(keysim::base32_decode("GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"),
            Bytes(rfc_secret_20.begin(), rfc_secret_20.end()));
  EXPECT_EQ(keysim::base32_decode("mzxw6==="), (Bytes{'f', 'o', 'o'}));
  EXPECT_EQ(keysim::base32_decode("MZXW 6YQ="), (Bytes{'f', 'o', 'o', 'b'}));
  EXPECT_FALSE(keysim::base32_decode("MZXW1"));
  EXPECT_EQ(keysim::base32_decode(""), Bytes{});
}

TEST_F(Codes, Rfc4226AppendixDThroughTheKey) {
  const std::uint32_t truncated[] = {1284755224, 1094287082, 137359152, 1726969429, 1640338314,
                                     868254676,  1918287922, 82162583,  673399871,  645520489};
  const std::uint32_t cid = selected_channel();
  for (std::uint64_t counter = 0; counter < 10; ++counter) {
    const auto [digits, value] = code(cid, "SHA1", counter);
    EXPECT_EQ(digits, 8);
    EXPECT_EQ(value, truncated[counter]) << counter;
  }
  // A HOTP credential uses and advances its own counter, whatever the host sends.
  for (std::uint64_t counter = 0; counter < 10; ++counter) {
    const auto [digits, value] = code(cid, "HOTP", 12345);
    EXPECT_EQ(digits, 6);
    EXPECT_EQ(value, truncated[counter]) << counter;
  }
}

TEST_F(Codes, Rfc6238AppendixBThroughTheKey) {
  struct Vector {
    std::uint64_t time;
    std::uint32_t sha1, sha256;
  };
  const Vector vectors[] = {{59, 94287082, 46119246},         {1111111109, 7081804, 68084774},
                            {1111111111, 14050471, 67062674}, {1234567890, 89005924, 91819424},
                            {2000000000, 69279037, 90698825}, {20000000000, 65353130, 77737706}};
  const std::uint32_t cid = selected_channel();
  for (const Vector& v : vectors) {
    EXPECT_EQ(code(cid, "SHA1", v.time / 30).second % 100000000, v.sha1) << v.time;
    EXPECT_EQ(code(cid, "SHA256", v.time / 30).second % 100000000, v.sha256) << v.time;
  }
}

std::string run(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  std::string out;
  char buffer[128];
  while (pipe && std::fgets(buffer, sizeof buffer, pipe.get())) out += buffer;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

TEST_F(Codes, SampleKeyAgreesWithOathtool) {
  if (run("command -v oathtool").empty()) GTEST_SKIP() << "oathtool is not installed (scripts/install-deps installs it)";
  const std::uint32_t cid = selected_channel();
  for (std::uint64_t time : {0ull, 59ull, 1111111109ull, 1700000000ull, 1796083200ull, 4102444800ull}) {
    const auto [digits, value] = code(cid, "SHA1", time / 30);
    char shown[16];
    std::snprintf(shown, sizeof shown, "%06u", value % 1000000);
    EXPECT_EQ(run("oathtool --totp -b -d 6 --now @" + std::to_string(time) + " GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"),
              shown)
        << time;
    EXPECT_EQ(digits, 8);
  }
}

}  // namespace
