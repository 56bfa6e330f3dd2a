#include "update/publisher_key.h"

#include <algorithm>

namespace hanamizu {
namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The fixed DER around a P-256 key's numbers: "id-ecPublicKey, prime256v1" and the lengths that
// 32-byte numbers give.
const std::string kAlgorithm(
    "\x30\x13\x06\x07\x2A\x86\x48\xCE\x3D\x02\x01\x06\x08\x2A\x86\x48\xCE\x3D\x03\x01\x07", 21);
const std::string kCurve("\x06\x08\x2A\x86\x48\xCE\x3D\x03\x01\x07", 10);
const std::string kPublicPrefix =
    std::string("\x30\x59", 2) + kAlgorithm + std::string("\x03\x42\x00\x04", 4);
const std::string kPkcs8Prefix = std::string("\x30\x81\x87\x02\x01\x00", 6) + kAlgorithm +
                                 std::string("\x04\x6D\x30\x6B\x02\x01\x01\x04\x20", 9);
const std::string kSec1Prefix("\x30\x77\x02\x01\x01\x04\x20", 7);
const std::string kSec1Curve = std::string("\xA0\x0A", 2) + kCurve;
const std::string kPublicInPrivate("\xA1\x44\x03\x42\x00\x04", 6);

std::string Base64(std::string_view bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t group = 0;
    for (size_t k = 0; k < 3; ++k)
      group = group << 8 | (i + k < bytes.size() ? static_cast<uint8_t>(bytes[i + k]) : 0);
    for (size_t k = 0; k < 4; ++k)
      text += k <= bytes.size() - i ? kBase64[group >> (18 - 6 * k) & 63] : '=';
  }
  return text;
}

std::optional<std::string> FromBase64(std::string_view text) {
  std::string bytes;
  uint32_t group = 0;
  int bits = 0;
  for (const char c : text) {
    if (c == '=' || c == '\r' || c == '\n' || c == ' ') continue;
    const char* at = std::find(kBase64, kBase64 + 64, c);
    if (at == kBase64 + 64) return std::nullopt;
    group = group << 6 | static_cast<uint32_t>(at - kBase64), bits += 6;
    if (bits >= 8) bits -= 8, bytes += static_cast<char>(group >> bits & 0xFF);
  }
  return bytes;
}

// The DER inside the first "-----BEGIN <label>-----" block.
std::optional<std::string> PemBody(std::string_view pem, const std::string& label) {
  const std::string begin = "-----BEGIN " + label + "-----", end = "-----END " + label + "-----";
  const size_t start = pem.find(begin);
  if (start == std::string_view::npos) return std::nullopt;
  const size_t stop = pem.find(end, start);
  if (stop == std::string_view::npos) return std::nullopt;
  return FromBase64(pem.substr(start + begin.size(), stop - start - begin.size()));
}

std::string Pem(const std::string& label, const std::string& der) {
  const std::string text = Base64(der);
  std::string pem = "-----BEGIN " + label + "-----\n";
  for (size_t i = 0; i < text.size(); i += 64) pem += text.substr(i, 64) + "\n";
  return pem + "-----END " + label + "-----\n";
}

template <size_t N>
std::array<uint8_t, N> Bytes(std::string_view der) {
  std::array<uint8_t, N> bytes{};
  std::copy_n(der.begin(), N, bytes.begin());
  return bytes;
}

std::string Text(const auto& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

std::optional<P256PublicKey> ReadPublicKeyPem(std::string_view pem) {
  const std::optional<std::string> der = PemBody(pem, "PUBLIC KEY");
  if (!der || der->size() != kPublicPrefix.size() + 64 || !der->starts_with(kPublicPrefix))
    return std::nullopt;
  return Bytes<64>(std::string_view(*der).substr(kPublicPrefix.size()));
}

std::optional<P256PrivateKey> ReadPrivateKeyPem(std::string_view pem) {
  // PKCS #8 wraps the SEC 1 structure without its curve, which the wrapper names instead.
  std::optional<std::string> der = PemBody(pem, "PRIVATE KEY");
  std::string_view rest;
  if (der && der->size() == kPkcs8Prefix.size() + 32 + kPublicInPrivate.size() + 64 &&
      der->starts_with(kPkcs8Prefix)) {
    rest = std::string_view(*der).substr(kPkcs8Prefix.size());
  } else if ((der = PemBody(pem, "EC PRIVATE KEY")) &&
             der->size() ==
                 kSec1Prefix.size() + 32 + kSec1Curve.size() + kPublicInPrivate.size() + 64 &&
             der->starts_with(kSec1Prefix) &&
             der->substr(kSec1Prefix.size() + 32, kSec1Curve.size()) == kSec1Curve) {
    rest = std::string_view(*der).substr(kSec1Prefix.size());
  } else {
    return std::nullopt;
  }
  P256PrivateKey key;
  key.d = Bytes<32>(rest);
  rest.remove_prefix(32);
  if (rest.starts_with(kSec1Curve)) rest.remove_prefix(kSec1Curve.size());
  if (!rest.starts_with(kPublicInPrivate)) return std::nullopt;
  key.public_key = Bytes<64>(rest.substr(kPublicInPrivate.size()));
  return key;
}

std::string PublicKeyDer(const P256PublicKey& key) {
  return kPublicPrefix + Text(key);
}

std::string PrivateKeyDer(const P256PrivateKey& key) {
  return kPkcs8Prefix + Text(key.d) + kPublicInPrivate + Text(key.public_key);
}

std::string PublicKeyPem(const P256PublicKey& key) {
  return Pem("PUBLIC KEY", PublicKeyDer(key));
}

std::string PrivateKeyPem(const P256PrivateKey& key) {
  return Pem("PRIVATE KEY", PrivateKeyDer(key));
}

}  // namespace hanamizu
