// AES-128 decryption (FIPS-197), table-driven equivalent inverse cipher.
#pragma once

#include <cstdint>

struct AesContext {
  uint32_t encryptKeys[64];  // key expansion, words 0..43 used
  uint32_t decryptKeys[64];  // equivalent-inverse-cipher round keys, in use order
  int rounds;
};

// Process-wide tables, generated once on the first key set-up.
struct AesTables {
  uint8_t sbox[256];
  uint8_t inverseSbox[256];
  uint32_t roundConstants[10];
  uint32_t rt[4][256];  // inverse round tables
  uint32_t kt[4][256];  // InvMixColumns of S-box outputs, for the decryption keys
};

void AesGenerateTables();
// The tables, generating them first when they are still pending.
const AesTables& AesGetTables();
// Number of times the tables have been generated in this process.
int AesTableGenerations();

int AesSetKey(AesContext* context, const unsigned char key[16]);
// Decrypts one 16-byte block; `input` and `output` may be the same buffer.
void AesDecryptBlock(const AesContext* context, const unsigned char input[16], unsigned char output[16]);
