// SPDX-License-Identifier: Apache-2.0
#include "platform/file_identity.h"

#include <sys/stat.h>
#include <sys/types.h>

#include "platform/windows_api.h"

namespace {

FileKind KindOf(unsigned mode) {
  if ((mode & S_IFMT) == S_IFREG) {
    return FileKind::Regular;
  }
  return (mode & S_IFMT) == S_IFDIR ? FileKind::Folder : FileKind::Other;
}

}  // namespace

#if defined(_WIN32)

namespace {

bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION& info) {
  // No access rights are needed to read a file's identity; directories need
  // the backup-semantics flag to be opened at all.
  HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  const bool ok = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  return ok;
}

}  // namespace

bool SameFile(const char* path, const char* other) {
  BY_HANDLE_FILE_INFORMATION a{};
  BY_HANDLE_FILE_INFORMATION b{};
  return FileIdentity(path, a) && FileIdentity(other, b) &&
         a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

int DescribeFile(const char* path, FileFacts& facts) {
  struct _stat64 status {};
  if (_stat64(path, &status) != 0) {
    return -1;
  }
  facts = {KindOf(static_cast<unsigned>(status.st_mode)), static_cast<std::uint64_t>(status.st_size)};
  return 0;
}

#else

bool SameFile(const char* path, const char* other) {
  struct stat a {};
  struct stat b {};
  return stat(path, &a) == 0 && stat(other, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int DescribeFile(const char* path, FileFacts& facts) {
  struct stat status {};
  if (stat(path, &status) != 0) {
    return -1;
  }
  facts = {KindOf(status.st_mode), static_cast<std::uint64_t>(status.st_size)};
  return 0;
}

#endif
