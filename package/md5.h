// MD5 message digest (RFC 1321) and the archive key derived from it.
#pragma once

#include <cstddef>
#include <cstdint>

class MD5_CTX {
 public:
  MD5_CTX();
  virtual ~MD5_CTX();

  void MD5Update(const unsigned char* input, size_t length);
  // Writes the 16-byte digest, then resets the object for a new message.
  void MD5Final(unsigned char digest[16]);

 private:
  void MD5Init();
  void MD5Transform(const unsigned char block[64]);

  uint32_t state[4];
  uint32_t count[2];  // bit count modulo 2^64, low word first
  unsigned char buffer[64];
  unsigned char padding[64];
};

// The 16-byte AES key of package archives: the MD5 digest of `password`
// with zero bytes replaced by their position and every third byte XOR 0x11.
void DerivePackageKey(const unsigned char* password, size_t length, unsigned char key[16]);
