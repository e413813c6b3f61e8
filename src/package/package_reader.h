// Finding, verifying and reading the package appended to a stub: its
// digest, its script, and the head and index of its file tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "package/package_format.h"
#include "package/pe_signature.h"
#include "platform/input_file.h"

struct Sha1Context;

// The script bytes (UTF-8, no NUL appended), owned; freed with free().
struct SetupScript {
  SetupScript() = default;
  ~SetupScript();
  SetupScript(SetupScript&& other) noexcept;
  SetupScript& operator=(SetupScript&& other) noexcept;
  SetupScript(const SetupScript&) = delete;
  SetupScript& operator=(const SetupScript&) = delete;

  uint8_t* bytes = nullptr;
  uint32_t length = 0;
};

struct PackageInfo {
  std::u16string stubPath;
  SetupScript script;
  // Absolute offset of the file tree. 64-bit so that a package using the
  // format's full 32-bit script length still has a correct position.
  uint64_t treeOffset = 0;
  // TreeMethod of the tree: TREE_METHOD_RECORD makes the stub an uninstaller.
  uint8_t treeMethod = TREE_METHOD_PER_FILE;
};

enum PackageStatus : int {
  PACKAGE_NONE = 0,        // the file is a bare stub (exactly STUB_SIZE bytes)
  PACKAGE_VERIFIED = 1,    // digest matches; info filled in
  PACKAGE_CORRUPTED = 2,   // digest mismatch, too short, a script length past the end, or
                           // a script inflating past its ceiling
  PACKAGE_UNREADABLE = 3,  // the file cannot be opened or read, or memory ran out
};

// Reads the package of the stub at `stubPath`. On PACKAGE_VERIFIED, `info`
// holds the path, the script (inflated when stored compressed) and the tree
// offset; otherwise `info` is left as it was.
PackageStatus ReadPackage(const char16_t* stubPath, PackageInfo* info);

// The same over an open file; `info->stubPath` is not touched. A caller that
// already holds the digest's state after the salt and this file's stub (as
// they are hashed: a signature's fields cleared) passes it as `afterStub`,
// and only the package is hashed: a fuzzer's fixed stub costs 310 KB of
// hashing per read otherwise.
PackageStatus ReadPackageFrom(InputFile& file, PackageInfo* info,
                              const Sha1Context* afterStub = nullptr);

// Computes the package digest of `file` the way ReadPackage checks it.
// Returns false when the file is too short to hold a stub and a digest, or
// cannot be read. `stored` receives the digest stored in the file.
bool ComputePackageDigest(InputFile& file, uint8_t computed[20], uint8_t stored[20]);

// The certificate table that signing appended to the setup program in
// `file`, when the digest leaves it out (package_format.h). False when the
// file is unsigned, or its table does not meet the rule and so counts as
// package bytes.
bool FindPackageSignature(InputFile& file, CertificateTable* table);

// True unless the tree at `treeOffset` names a data method this reader does
// not know, or a solid area whose head cannot be read or makes no sense. A
// tree section cut short before its flag is left to the walk.
bool IsReadableTreeMethod(InputFile& file, uint64_t treeOffset);

// The index of a tree section, read and inflated, with where its data lies.
struct PackageTree {
  PackageTree() = default;
  ~PackageTree();
  PackageTree(const PackageTree&) = delete;
  PackageTree& operator=(const PackageTree&) = delete;

  uint8_t* index = nullptr;  // owned, freed with free()
  size_t indexLength = 0;    // inflated length when compressed
  bool indexCompressed = false;
  uint8_t method = TREE_METHOD_PER_FILE;  // TreeMethod, or an unknown value
  uint32_t storedIndexLength = 0;         // as declared in the section
  uint32_t dataAreaLength = 0;            // as declared; not trusted
  uint64_t dataBase = 0;                  // absolute file offset of the data area
  // The section is missing or cut short, or its index failed to inflate or
  // passed its ceiling (InflateCeiling).
  bool damaged = false;
};

// Reads the tree section at `treeOffset`. An index length past the end of
// the file is cut to the bytes present, and an index that fails to inflate is
// what it inflated to (up to its ceiling); both mark the tree damaged. False
// only when memory runs out.
bool OpenPackageTree(InputFile& file, uint64_t treeOffset, PackageTree* tree);
