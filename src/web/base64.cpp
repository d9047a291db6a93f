#include "web/base64.h"

Text Base64Encode(const Bytes& data) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  Text encoded;
  encoded.reserve((data.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < data.size(); i += 3) {
    const unsigned group = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
    encoded += kAlphabet[(group >> 18) & 63];
    encoded += kAlphabet[(group >> 12) & 63];
    encoded += kAlphabet[(group >> 6) & 63];
    encoded += kAlphabet[group & 63];
  }
  const std::size_t left = data.size() - i;
  if (left == 0)
    return encoded;
  const unsigned group = (data[i] << 16) | (left == 2 ? data[i + 1] << 8 : 0);
  encoded += kAlphabet[(group >> 18) & 63];
  encoded += kAlphabet[(group >> 12) & 63];
  encoded += left == 2 ? kAlphabet[(group >> 6) & 63] : '=';
  encoded += '=';
  return encoded;
}
