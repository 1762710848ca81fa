#include "aes.h"

namespace {

AesTables g_tables;
bool g_tablesPending = true;
bool g_keyTablesPending = true;
int g_generations = 0;

inline uint8_t XTime(uint8_t v) { return (uint8_t)((v << 1) ^ ((v & 0x80) ? 0x1b : 0x00)); }
inline uint8_t RotateByteLeft(uint8_t v, int n) { return (uint8_t)((v << n) | (v >> (8 - n))); }
inline uint32_t RotateRight(uint32_t v, int n) { return (v >> n) | (v << (32 - n)); }

inline uint32_t LoadBigEndian(const unsigned char* p) {
  return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | (uint32_t)p[3];
}

inline void StoreBigEndian(unsigned char* p, uint32_t v) {
  p[0] = (unsigned char)(v >> 24);
  p[1] = (unsigned char)(v >> 16);
  p[2] = (unsigned char)(v >> 8);
  p[3] = (unsigned char)v;
}

void GenerateKeyTables() {
  AesTables& t = g_tables;
  for (int x = 0; x < 256; ++x) {
    for (int n = 0; n < 4; ++n) t.kt[n][x] = t.rt[n][t.sbox[x]];
  }
}

}  // namespace

void AesGenerateTables() {
  AesTables& t = g_tables;
  uint8_t pow[256], log[256] = {0};
  uint8_t v = 1;
  for (int i = 0; i < 256; ++i) {
    pow[i] = v;
    log[v] = (uint8_t)i;
    v = (uint8_t)(v ^ XTime(v));
  }

  v = 1;
  for (int i = 0; i < 10; ++i) {
    t.roundConstants[i] = (uint32_t)v << 24;
    v = XTime(v);
  }

  t.sbox[0] = 0x63;
  t.inverseSbox[0x63] = 0;
  for (int x = 1; x < 256; ++x) {
    uint8_t inverse = pow[255 - log[x]];
    uint8_t s = (uint8_t)(inverse ^ RotateByteLeft(inverse, 1) ^ RotateByteLeft(inverse, 2) ^
                          RotateByteLeft(inverse, 3) ^ RotateByteLeft(inverse, 4) ^ 0x63);
    t.sbox[x] = s;
    t.inverseSbox[s] = (uint8_t)x;
  }

  auto multiply = [&](uint8_t c, uint8_t y) -> uint32_t {
    return y == 0 ? 0u : (uint32_t)pow[(log[c] + log[y]) % 255];
  };
  for (int x = 0; x < 256; ++x) {
    uint8_t y = t.inverseSbox[x];
    uint32_t word = (multiply(0x0e, y) << 24) | (multiply(0x09, y) << 16) | (multiply(0x0d, y) << 8) |
                    multiply(0x0b, y);
    t.rt[0][x] = word;
    t.rt[1][x] = RotateRight(word, 8);
    t.rt[2][x] = RotateRight(word, 16);
    t.rt[3][x] = RotateRight(word, 24);
  }
  ++g_generations;
}

const AesTables& AesGetTables() {
  if (g_tablesPending) {
    AesGenerateTables();
    g_tablesPending = false;
  }
  return g_tables;
}

int AesTableGenerations() { return g_generations; }

int AesSetKey(AesContext* context, const unsigned char key[16]) {
  const AesTables& t = AesGetTables();
  context->rounds = 10;

  uint32_t* ek = context->encryptKeys;
  for (int i = 0; i < 4; ++i) ek[i] = LoadBigEndian(key + 4 * i);
  for (int i = 4; i < 44; ++i) {
    uint32_t temp = ek[i - 1];
    if (i % 4 == 0) {
      temp = ((uint32_t)t.sbox[(temp >> 16) & 0xff] << 24) | ((uint32_t)t.sbox[(temp >> 8) & 0xff] << 16) |
             ((uint32_t)t.sbox[temp & 0xff] << 8) | (uint32_t)t.sbox[temp >> 24];
      temp ^= t.roundConstants[i / 4 - 1];
    }
    ek[i] = ek[i - 4] ^ temp;
  }

  if (g_keyTablesPending) {
    GenerateKeyTables();
    g_keyTablesPending = false;
  }

  uint32_t* dk = context->decryptKeys;
  for (int i = 0; i < 4; ++i) dk[i] = ek[40 + i];
  for (int r = 1; r < 10; ++r) {
    for (int i = 0; i < 4; ++i) {
      uint32_t w = ek[4 * (10 - r) + i];
      dk[4 * r + i] = t.kt[0][w >> 24] ^ t.kt[1][(w >> 16) & 0xff] ^ t.kt[2][(w >> 8) & 0xff] ^ t.kt[3][w & 0xff];
    }
  }
  for (int i = 0; i < 4; ++i) dk[40 + i] = ek[i];
  return 0;
}

#define AES_INVERSE_ROUND(o0, o1, o2, o3, i0, i1, i2, i3, k)                                              \
  o0 = RT0[i0 >> 24] ^ RT1[(i3 >> 16) & 0xff] ^ RT2[(i2 >> 8) & 0xff] ^ RT3[i1 & 0xff] ^ (k)[0];     \
  o1 = RT0[i1 >> 24] ^ RT1[(i0 >> 16) & 0xff] ^ RT2[(i3 >> 8) & 0xff] ^ RT3[i2 & 0xff] ^ (k)[1];     \
  o2 = RT0[i2 >> 24] ^ RT1[(i1 >> 16) & 0xff] ^ RT2[(i0 >> 8) & 0xff] ^ RT3[i3 & 0xff] ^ (k)[2];     \
  o3 = RT0[i3 >> 24] ^ RT1[(i2 >> 16) & 0xff] ^ RT2[(i1 >> 8) & 0xff] ^ RT3[i0 & 0xff] ^ (k)[3]

#define AES_FINAL_WORD(i0, i1, i2, i3, k)                                                                  \
  ((((uint32_t)IS[i0 >> 24]) << 24) ^ (((uint32_t)IS[(i1 >> 16) & 0xff]) << 16) ^                        \
   (((uint32_t)IS[(i2 >> 8) & 0xff]) << 8) ^ ((uint32_t)IS[i3 & 0xff]) ^ (k))

void AesDecryptBlock(const AesContext* context, const unsigned char input[16], unsigned char output[16]) {
  const uint32_t* RT0 = g_tables.rt[0];
  const uint32_t* RT1 = g_tables.rt[1];
  const uint32_t* RT2 = g_tables.rt[2];
  const uint32_t* RT3 = g_tables.rt[3];
  const uint8_t* IS = g_tables.inverseSbox;
  const uint32_t* k = context->decryptKeys;

  uint32_t s0 = LoadBigEndian(input) ^ k[0];
  uint32_t s1 = LoadBigEndian(input + 4) ^ k[1];
  uint32_t s2 = LoadBigEndian(input + 8) ^ k[2];
  uint32_t s3 = LoadBigEndian(input + 12) ^ k[3];
  uint32_t t0, t1, t2, t3;

  AES_INVERSE_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, k + 4);
  AES_INVERSE_ROUND(s0, s1, s2, s3, t0, t1, t2, t3, k + 8);
  AES_INVERSE_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, k + 12);
  AES_INVERSE_ROUND(s0, s1, s2, s3, t0, t1, t2, t3, k + 16);
  AES_INVERSE_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, k + 20);
  AES_INVERSE_ROUND(s0, s1, s2, s3, t0, t1, t2, t3, k + 24);
  AES_INVERSE_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, k + 28);
  AES_INVERSE_ROUND(s0, s1, s2, s3, t0, t1, t2, t3, k + 32);
  AES_INVERSE_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, k + 36);

  StoreBigEndian(output, AES_FINAL_WORD(t0, t3, t2, t1, k[40]));
  StoreBigEndian(output + 4, AES_FINAL_WORD(t1, t0, t3, t2, k[41]));
  StoreBigEndian(output + 8, AES_FINAL_WORD(t2, t1, t0, t3, k[42]));
  StoreBigEndian(output + 12, AES_FINAL_WORD(t3, t2, t1, t0, k[43]));
}
