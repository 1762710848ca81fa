// Building package archives: the publisher's side of the format the installer
// reads. Encrypts with AES-128 in ECB use under the key derived from the
// archive password.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "package/aes.h"

// Encrypts one block with the encryption round keys of `context`.
void AesEncryptBlock(const AesContext* context, const unsigned char input[16], unsigned char output[16]);

// Writes an archive to a stdio stream piece by piece: header, then the
// plaintext in any number of pieces, zero-padded to whole blocks at Finish.
class PackageEncryptor {
 public:
  PackageEncryptor(FILE* out, const char* password);
  bool WriteHeader(uint32_t directoryLength, uint32_t secondWord);
  bool WritePlaintext(const void* data, size_t length);
  bool Finish();
  uint64_t plaintextBytes() const { return plaintextBytes_; }

 private:
  bool Flush(bool final);
  FILE* out_;
  AesContext context_;
  std::vector<unsigned char> pending_;
  uint64_t plaintextBytes_ = 0;
};

// An archive held in memory: the header words and the plaintext, encrypted.
std::string EncryptPackage(uint32_t directoryLength, uint32_t secondWord, const std::string& plaintext,
                           const char* password);

struct PackageInput {
  std::string name;  // stored name, top\relative\path
  std::string contents;
};

// The plaintext of an archive holding `files` in the given order: the entry
// count, the directory, then the contents back to back. `directoryLength`
// receives 4 + 268 * N.
std::string BuildPackagePlaintext(const std::vector<PackageInput>& files, uint32_t* directoryLength);

// A whole archive of `files` with the installer's password.
std::string BuildPackage(const std::vector<PackageInput>& files, uint32_t secondWord = 0);

struct CreateOptions {
  std::string topName;       // first name component; the source folder's name when empty
  uint32_t secondWord = 0;
  bool convertNamesToGbk = true;  // POSIX only: file names are UTF-8 on disk
};

// Archives every regular file below `sourceDir` into `archivePath`, streaming
// the contents. False with a message in `error` on any problem.
bool CreatePackageFromDirectory(const std::string& sourceDir, const std::string& archivePath,
                                const CreateOptions& options, std::string* error, uint32_t* fileCount = nullptr);
