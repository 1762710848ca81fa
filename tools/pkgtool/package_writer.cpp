#include "package_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "package/md5.h"
#include "package/package_archive.h"
#include "package/path_util.h"
#include "source_tree.h"

namespace {

struct ForwardTables {
  uint32_t ft[4][256];
  ForwardTables() {
    const AesTables& t = AesGetTables();
    for (int x = 0; x < 256; ++x) {
      uint8_t s = t.sbox[x];
      uint8_t s2 = (uint8_t)((s << 1) ^ ((s & 0x80) ? 0x1b : 0));
      uint8_t s3 = (uint8_t)(s2 ^ s);
      uint32_t word = ((uint32_t)s2 << 24) | ((uint32_t)s << 16) | ((uint32_t)s << 8) | s3;
      for (int n = 0; n < 4; ++n) ft[n][x] = n == 0 ? word : ((word >> (8 * n)) | (word << (32 - 8 * n)));
    }
  }
};

const ForwardTables& Forward() {
  static const ForwardTables tables;
  return tables;
}

inline uint32_t Load32(const unsigned char* p) {
  return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

inline void Store32(unsigned char* p, uint32_t v) {
  p[0] = (unsigned char)(v >> 24);
  p[1] = (unsigned char)(v >> 16);
  p[2] = (unsigned char)(v >> 8);
  p[3] = (unsigned char)v;
}

void PutLittleEndian32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back((char)((v >> (8 * i)) & 0xff));
}

void PutLittleEndian32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = (unsigned char)((v >> (8 * i)) & 0xff);
}

void SetKeyFromPassword(AesContext* context, const char* password) {
  unsigned char key[16];
  DerivePackageKey(reinterpret_cast<const unsigned char*>(password), strlen(password), key);
  AesSetKey(context, key);
}

// One directory entry of 268 bytes.
void PutEntry(unsigned char* field, const std::string& name, uint32_t offset, uint32_t size) {
  memset(field, 0, kPackageEntrySize);
  memcpy(field, name.data(), std::min<size_t>(name.size(), kPackageNameSize - 1));
  PutLittleEndian32(field + kPackageNameSize, offset);
  PutLittleEndian32(field + kPackageNameSize + 4, size);
}

}  // namespace

void AesEncryptBlock(const AesContext* context, const unsigned char input[16], unsigned char output[16]) {
  const ForwardTables& f = Forward();
  const uint8_t* S = AesGetTables().sbox;
  const uint32_t* k = context->encryptKeys;
  uint32_t s[4], t[4];
  for (int i = 0; i < 4; ++i) s[i] = Load32(input + 4 * i) ^ k[i];
  for (int round = 1; round < 10; ++round) {
    for (int c = 0; c < 4; ++c) {
      t[c] = f.ft[0][s[c] >> 24] ^ f.ft[1][(s[(c + 1) & 3] >> 16) & 0xff] ^ f.ft[2][(s[(c + 2) & 3] >> 8) & 0xff] ^
             f.ft[3][s[(c + 3) & 3] & 0xff] ^ k[4 * round + c];
    }
    memcpy(s, t, sizeof s);
  }
  for (int c = 0; c < 4; ++c) {
    uint32_t w = ((uint32_t)S[s[c] >> 24] << 24) | ((uint32_t)S[(s[(c + 1) & 3] >> 16) & 0xff] << 16) |
                 ((uint32_t)S[(s[(c + 2) & 3] >> 8) & 0xff] << 8) | S[s[(c + 3) & 3] & 0xff];
    Store32(output + 4 * c, w ^ k[40 + c]);
  }
}

PackageEncryptor::PackageEncryptor(FILE* out, const char* password) : out_(out) {
  SetKeyFromPassword(&context_, password);
}

bool PackageEncryptor::WriteHeader(uint32_t directoryLength, uint32_t secondWord) {
  unsigned char header[kPackageHeaderSize];
  PutLittleEndian32(header, directoryLength);
  PutLittleEndian32(header + 4, secondWord);
  return fwrite(header, 1, sizeof header, out_) == sizeof header;
}

bool PackageEncryptor::WritePlaintext(const void* data, size_t length) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  pending_.insert(pending_.end(), bytes, bytes + length);
  plaintextBytes_ += length;
  return pending_.size() < (1u << 20) || Flush(false);
}

bool PackageEncryptor::Flush(bool final) {
  if (final) pending_.resize((pending_.size() + 15) / 16 * 16, 0);
  size_t whole = pending_.size() / 16 * 16;
  for (size_t offset = 0; offset < whole; offset += 16) {
    AesEncryptBlock(&context_, &pending_[offset], &pending_[offset]);
  }
  bool ok = fwrite(pending_.data(), 1, whole, out_) == whole;
  pending_.erase(pending_.begin(), pending_.begin() + (std::ptrdiff_t)whole);
  return ok;
}

bool PackageEncryptor::Finish() { return Flush(true) && fflush(out_) == 0; }

std::string EncryptPackage(uint32_t directoryLength, uint32_t secondWord, const std::string& plaintext,
                           const char* password) {
  AesContext context;
  SetKeyFromPassword(&context, password);
  std::string out;
  PutLittleEndian32(&out, directoryLength);
  PutLittleEndian32(&out, secondWord);
  std::string padded = plaintext;
  padded.resize((padded.size() + 15) / 16 * 16, '\0');
  for (size_t offset = 0; offset < padded.size(); offset += 16) {
    unsigned char block[16];
    AesEncryptBlock(&context, reinterpret_cast<const unsigned char*>(&padded[offset]), block);
    out.append(reinterpret_cast<const char*>(block), 16);
  }
  return out;
}

std::string BuildPackagePlaintext(const std::vector<PackageInput>& files, uint32_t* directoryLength) {
  const uint32_t count = (uint32_t)files.size();
  const uint32_t headerBytes = 4 + kPackageEntrySize * count;
  std::string out;
  PutLittleEndian32(&out, count);
  uint32_t offset = headerBytes;
  for (const PackageInput& file : files) {
    unsigned char field[kPackageEntrySize];
    PutEntry(field, file.name, offset, (uint32_t)file.contents.size());
    out.append(reinterpret_cast<const char*>(field), sizeof field);
    offset += (uint32_t)file.contents.size();
  }
  for (const PackageInput& file : files) out += file.contents;
  if (directoryLength) *directoryLength = headerBytes;
  return out;
}

std::string BuildPackage(const std::vector<PackageInput>& files, uint32_t secondWord) {
  uint32_t directoryLength = 0;
  std::string plaintext = BuildPackagePlaintext(files, &directoryLength);
  return EncryptPackage(directoryLength, secondWord, plaintext, kPackagePassword);
}

bool CreatePackageFromDirectory(const std::string& sourceDir, const std::string& archivePath,
                                const CreateOptions& options, std::string* error, uint32_t* fileCount) {
  std::string top = options.topName.empty() ? SourceTreeBaseName(sourceDir) : options.topName;
  if (top.empty() || top.find_first_of("\\/") != std::string::npos) {
    *error = "the top name must be one non-empty path component: \"" + top + "\"";
    return false;
  }

  FILE* out = fopen(archivePath.c_str(), "wb");
  if (!out) {
    *error = "cannot create " + archivePath + ": " + strerror(errno);
    return false;
  }
  struct Closer {
    FILE* f;
    ~Closer() {
      if (f) fclose(f);
    }
  } closer{out};

  std::vector<SourceFile> files;
  if (!ListSourceTree(sourceDir, archivePath, &files, error)) return false;
  if (files.empty()) {
    *error = "no files below " + sourceDir;
    return false;
  }
  if (files.size() > (0x7fffffffu - 4) / kPackageEntrySize) {
    *error = "too many files";
    return false;
  }

  std::vector<std::string> names;
  std::set<std::string> folded;
  uint64_t total = 4 + (uint64_t)kPackageEntrySize * files.size();
  const uint32_t directoryLength = (uint32_t)total;
  for (const SourceFile& file : files) {
    std::string name = top + "\\" + file.relativeName;
    if (options.convertNamesToGbk && !ConvertNameToGbk(&name, error)) return false;
    if (name.size() >= kPackageNameSize) {
      *error = "name longer than 259 bytes: " + file.relativeName;
      return false;
    }
    if (!IsSafePackageTail(TailFromFirstBackslash(name))) {
      *error = "name the installer would refuse to write: " + file.relativeName;
      return false;
    }
    if (!folded.insert(FoldPackageName(name)).second) {
      *error = "names differ only in letter case, the installer would write one file: " + file.relativeName;
      return false;
    }
    names.push_back(name);
    total += file.size;
  }
  // The archive length must fit in 32 bits: header plus the plaintext padded to whole blocks.
  if (kPackageHeaderSize + (total + 15) / 16 * 16 > 0xffffffffu) {
    *error = "the files are too large for one archive (4 GiB - 1 in all)";
    return false;
  }

  PackageEncryptor encryptor(out, kPackagePassword);
  bool ok = encryptor.WriteHeader(directoryLength, options.secondWord);
  unsigned char count[4];
  PutLittleEndian32(count, (uint32_t)files.size());
  ok = ok && encryptor.WritePlaintext(count, sizeof count);
  uint32_t offset = directoryLength;
  for (size_t i = 0; ok && i < files.size(); ++i) {
    unsigned char field[kPackageEntrySize];
    PutEntry(field, names[i], offset, (uint32_t)files[i].size);
    ok = encryptor.WritePlaintext(field, sizeof field);
    offset += (uint32_t)files[i].size;
  }
  std::vector<unsigned char> chunk(1u << 20);
  for (size_t i = 0; ok && i < files.size(); ++i) {
    FILE* in = fopen(files[i].path.c_str(), "rb");
    if (!in) {
      *error = "cannot read " + files[i].path + ": " + strerror(errno);
      return false;
    }
    uint64_t copied = 0;
    size_t n;
    while (ok && (n = fread(chunk.data(), 1, chunk.size(), in)) > 0) {
      copied += n;
      ok = copied <= files[i].size && encryptor.WritePlaintext(chunk.data(), n);
    }
    bool readError = ferror(in) != 0;
    fclose(in);
    if (readError || copied != files[i].size) {
      *error = "file changed or unreadable while archiving: " + files[i].path;
      return false;
    }
  }
  ok = ok && encryptor.Finish();
  if (!ok) {
    *error = "cannot write " + archivePath + ": " + strerror(errno);
    return false;
  }
  closer.f = nullptr;
  if (fclose(out) != 0) {
    *error = "cannot write " + archivePath + ": " + strerror(errno);
    return false;
  }
  if (fileCount) *fileCount = (uint32_t)files.size();
  return true;
}
