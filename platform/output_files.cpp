// SPDX-License-Identifier: Apache-2.0
#include "platform/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#if !defined(_WIN32)
#include <sys/xattr.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string_view>

#include "platform/os_random.h"
#include "platform/windows_api.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// The longest name of one folder entry that the file systems take.
constexpr std::size_t kNameMax = 255;
// Six random characters, as mkstemp has.
constexpr std::string_view kStagedSuffix = ".XXXXXX";
constexpr int kNameAttempts = 100;

// Restores errno on leaving the scope: clean-up after a failure must not
// replace the failure's reason.
struct KeepErrno {
  int saved = errno;
  KeepErrno() = default;
  KeepErrno(const KeepErrno&) = delete;
  KeepErrno& operator=(const KeepErrno&) = delete;
  ~KeepErrno() { errno = saved; }
};

bool Put(LandingPath& out, std::string_view first, std::string_view second = {}) {
  if (first.size() + second.size() + 1 > out.size()) {
    errno = ENAMETOOLONG;
    return false;
  }
  first.copy(out.data(), first.size());
  second.copy(out.data() + first.size(), second.size());
  out[first.size() + second.size()] = '\0';
  return true;
}

// Where the last component of `path` begins.
std::size_t NameStart(std::string_view path) {
#if defined(_WIN32)
  const std::size_t slash = path.find_last_of("/\\");
#else
  const std::size_t slash = path.rfind('/');
#endif
  return slash == std::string_view::npos ? 0 : slash + 1;
}

// A fresh name ".<name>.XXXXXX" beside `target`, the X random. A long name
// is cut so that the whole fits in one folder entry: any name the system
// takes gets a staged name.
bool StagedName(const LandingPath& target, LandingPath& staged) {
  const std::string_view path(target.data());
  const std::size_t stem = NameStart(path);
  const std::string_view name =
      path.substr(stem, std::min(path.size() - stem, kNameMax - 1 - kStagedSuffix.size()));
  if (name.empty()) {
    errno = EISDIR;
    return false;
  }
  LandingPath folderAndDot{};
  if (!Put(folderAndDot, path.substr(0, stem), ".") || !Put(staged, folderAndDot.data(), name) ||
      !Put(folderAndDot, staged.data(), kStagedSuffix)) {
    return false;
  }
  std::array<std::uint8_t, kStagedSuffix.size() - 1> random{};
  if (OsRandomBytes(random) != 0) {
    return false;
  }
  const std::size_t end = std::string_view(folderAndDot.data()).size();
  for (std::size_t i = 0; i < random.size(); ++i) {
    folderAndDot[end - random.size() + i] = "0123456789abcdefghijklmnopqrstuv"[random[i] % 32U];
  }
  staged = folderAndDot;
  return true;
}

void Clear(LandingPath& path) {
  path[0] = '\0';
}

// Removes the staged file, if it has a name, keeping errno.
void RemoveStaged(OutputStage& stage) {
  if (stage.staged[0] != '\0') {
    const KeepErrno keep;
    static_cast<void>(std::remove(stage.staged.data()));
    Clear(stage.staged);
  }
}

// Opens the stream over the staged file's descriptor `fd` when it is
// `ready`; otherwise, or when that fails, closes it and removes the file.
int AttachStream(OutputStage& stage, int fd, bool ready) {
#if defined(_WIN32)
  stage.stream = ready ? _fdopen(fd, "wb") : nullptr;
#else
  stage.stream = ready ? fdopen(fd, "wb") : nullptr;
#endif
  if (stage.stream != nullptr) {
    return 0;
  }
  const KeepErrno keep;
#if defined(_WIN32)
  _close(fd);
#else
  close(fd);
#endif
  RemoveStaged(stage);
  return -1;
}

}  // namespace

void DiscardOutputStage(OutputStage& stage) {
  const KeepErrno keep;
  if (stage.stream != nullptr) {
    std::fclose(stage.stream);
    stage.stream = nullptr;
  }
  RemoveStaged(stage);
}

#if defined(_WIN32)

namespace {

int OpenNamedStage(OutputStage& stage) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    if (!StagedName(stage.target, stage.staged)) {
      return -1;
    }
    const int fd =
        _open(stage.staged.data(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      return fd;
    }
    if (errno != EEXIST) {
      break;
    }
  }
  Clear(stage.staged);
  return -1;
}

}  // namespace

int OpenOutputStage(const char* path, OutputLanding wanted, OutputStage& stage) {
  stage = OutputStage{nullptr, wanted, {}, {}};
  if (!Put(stage.target, path)) {
    return -1;
  }
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (wanted == OutputLanding::NewPrivateFile) {
      errno = EEXIST;
      return -1;
    }
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
      errno = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EISDIR : EACCES;
      return -1;
    }
  }
  const int fd = OpenNamedStage(stage);
  return fd < 0 ? -1 : AttachStream(stage, fd, true);
}

int CommitOutputStage(OutputStage& stage) {
  std::FILE* stream = stage.stream;
  stage.stream = nullptr;
  if (std::fflush(stream) != 0 || _commit(_fileno(stream)) != 0) {
    stage.stream = stream;
    DiscardOutputStage(stage);
    return -1;
  }
  const DWORD replace = stage.landing == OutputLanding::AtomicReplace ? MOVEFILE_REPLACE_EXISTING : 0;
  const bool closed = std::fclose(stream) == 0;
  if (!closed ||
      MoveFileExA(stage.staged.data(), stage.target.data(), MOVEFILE_WRITE_THROUGH | replace) == 0) {
    errno = closed ? EACCES : errno;
    RemoveStaged(stage);
    return -1;
  }
  Clear(stage.staged);
  return 0;
}

#else

namespace {

// The kernel's own limit on links followed in one lookup (ELOOP).
constexpr int kMaxLinkHops = 40;

// A link on the process file system (/proc/self/fd/N, where /dev/stdout and
// /dev/fd/N lead) names an open file, not a place in a folder.
bool OnProcessFileSystem(const struct stat& link) {
  struct stat process {};
  return stat("/proc/self", &process) == 0 && process.st_dev == link.st_dev;
}

enum class Resolved : std::uint8_t { File, ProcessLink };

// Follows the symbolic links that `path` ends in, to the name of the file
// itself, which need not exist yet: a dangling link names the file to make.
// Returns 0 or -1 with errno.
int ResolveLinks(const char* path, LandingPath& target, Resolved& resolved) {
  resolved = Resolved::File;
  if (!Put(target, path)) {
    return -1;
  }
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    struct stat status {};
    if (lstat(target.data(), &status) != 0) {
      return errno == ENOENT ? 0 : -1;
    }
    if (!S_ISLNK(status.st_mode)) {
      return 0;
    }
    if (OnProcessFileSystem(status)) {
      resolved = Resolved::ProcessLink;
      return 0;
    }
    LandingPath link{};
    const ssize_t length = readlink(target.data(), link.data(), link.size() - 1);
    if (length <= 0 || static_cast<std::size_t>(length) >= link.size() - 1) {
      errno = length < 0 ? errno : ENAMETOOLONG;
      return -1;
    }
    const std::string_view linked(link.data(), static_cast<std::size_t>(length));
    const std::string_view current(target.data());
    LandingPath next{};
    if (!Put(next, linked.front() == '/' ? std::string_view() : current.substr(0, NameStart(current)),
             linked)) {
      return -1;
    }
    target = next;
  }
  errno = ELOOP;
  return -1;
}

// The folder that holds `path`, as a name open() takes.
bool FolderOf(const LandingPath& path, LandingPath& folder) {
  const std::string_view name(path.data());
  const std::size_t stem = NameStart(name);
  return Put(folder, stem == 0 ? std::string_view(".") : name.substr(0, stem));
}

// Whether we may put a new file in place of `target` (which exists, as
// `status` says) in its folder: the folder is writable, and where it is
// sticky (/tmp) the file or the folder is ours.
bool MayRenameOver(const LandingPath& target, const struct stat& status) {
  LandingPath folder{};
  struct stat folderStatus {};
  if (!FolderOf(target, folder) || stat(folder.data(), &folderStatus) != 0 ||
      access(folder.data(), W_OK | X_OK) != 0) {
    return false;
  }
  const uid_t self = geteuid();
  return (folderStatus.st_mode & S_ISVTX) == 0 || self == 0 || status.st_uid == self ||
         folderStatus.st_uid == self;
}

// Whether `target` is mounted on its name, as a container mounts one file
// from outside: no file can take its place (EBUSY), it can only be written.
bool MountedOnItsName(const LandingPath& target) {
  struct statx facts {};
  return statx(AT_FDCWD, target.data(), 0, STATX_BASIC_STATS, &facts) == 0 &&
         (facts.stx_attributes_mask & facts.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
}

// The file the output is written to until it is complete: unnamed where the
// file system can make one, else new under a fresh name beside the target,
// made with `createMode` as open() makes a file (the umask, or the folder's
// default ACL, applied).
int OpenStagedFile(OutputStage& stage, mode_t createMode) {
  Clear(stage.staged);
  LandingPath folder{};
  if (!FolderOf(stage.target, folder)) {
    return -1;
  }
  const int unnamed = open(folder.data(), O_TMPFILE | O_WRONLY | O_CLOEXEC, createMode);
  // EISDIR: a kernel that predates O_TMPFILE; EOPNOTSUPP: a file system without it.
  if (unnamed >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
    return unnamed;
  }
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    if (!StagedName(stage.target, stage.staged)) {
      break;
    }
    const int fd =
        open(stage.staged.data(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, createMode);
    if (fd >= 0 || errno != EEXIST) {
      if (fd < 0) {
        Clear(stage.staged);
      }
      return fd;
    }
  }
  Clear(stage.staged);
  return -1;
}

// Gives the unnamed file `fd` the name `name`, which must not exist yet:
// through /proc, or where /proc is not mounted with AT_EMPTY_PATH (which
// needs CAP_DAC_READ_SEARCH).
int LinkUnnamed(int fd, const char* name) {
  if (fd < 0) {
    errno = EBADF;
    return -1;
  }
  std::array<char, 64> procName{};
  static_cast<void>(std::snprintf(procName.data(), procName.size(), "/proc/self/fd/%d", fd));
  if (linkat(AT_FDCWD, procName.data(), AT_FDCWD, name, AT_SYMLINK_FOLLOW) == 0) {
    return 0;
  }
  return errno == ENOENT ? linkat(fd, "", AT_FDCWD, name, AT_EMPTY_PATH) : -1;
}

// Puts the complete staged file in place of `target`, or under it when
// `replace` is false and the name is free. Returns 0 or -1 with errno.
int Publish(OutputStage& stage, int fd, bool replace) {
  const char* target = stage.target.data();
  if (stage.staged[0] != '\0') {
    // link() refuses an existing name, a dangling link included.
    const int published =
        replace ? std::rename(stage.staged.data(), target) : link(stage.staged.data(), target);
    if (published != 0 || !replace) {
      RemoveStaged(stage);
    }
    Clear(stage.staged);
    return published;
  }
  if (!replace) {
    return LinkUnnamed(fd, target);
  }
  // An unnamed file cannot replace a name: it gets a fresh name for the
  // instant before the rename.
  LandingPath named{};
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    if (!StagedName(stage.target, named)) {
      return -1;
    }
    if (LinkUnnamed(fd, named.data()) == 0) {
      if (std::rename(named.data(), target) == 0) {
        return 0;
      }
      const KeepErrno keep;
      static_cast<void>(unlink(named.data()));
      return -1;
    }
    if (errno != EEXIST) {
      return -1;
    }
  }
  return -1;
}

// The new name itself is made durable with its folder.
void SyncFolder(const LandingPath& target) {
  LandingPath folder{};
  if (!FolderOf(target, folder)) {
    return;
  }
  const int dir = open(folder.data(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    static_cast<void>(fsync(dir));
    close(dir);
  }
}

// The POSIX access ACL, kept as the system stores it; the room is that of
// some 500 entries.
constexpr char kAccessAcl[] = "system.posix_acl_access";
constexpr std::size_t kAccessAclSize = 4096;

// Gives the file `fd` who may use the file it replaces (`status`, at
// `target`): its owner and group where we may (root may; anyone may choose
// among their own groups, so the group is kept where the owner cannot be);
// then its mode, which a change of owner would clear of its set-id bits;
// then its ACL, without which the mode's group bits (the ACL's mask) would
// be given to the group. Returns whether nothing failed but for want of
// permission.
bool KeepAccess(int fd, const LandingPath& target, const struct stat& status) {
  const bool owned =
      fchown(fd, status.st_uid, status.st_gid) == 0 ||
      (errno == EPERM && (fchown(fd, static_cast<uid_t>(-1), status.st_gid) == 0 || errno == EPERM));
  if (!owned || fchmod(fd, static_cast<mode_t>(status.st_mode & 07777)) != 0) {
    return false;
  }
  std::array<char, kAccessAclSize> acl{};
  const ssize_t size = getxattr(target.data(), kAccessAcl, acl.data(), acl.size());
  if (size < 0) {
    return errno == ENODATA || errno == ENOTSUP;
  }
  return fsetxattr(fd, kAccessAcl, acl.data(), static_cast<std::size_t>(size), 0) == 0;
}

int OpenInPlace(const char* path, OutputStage& stage) {
  stage.landing = OutputLanding::InPlace;
  Clear(stage.staged);
  stage.stream = std::fopen(path, "wb+");
  return stage.stream != nullptr ? 0 : -1;
}

}  // namespace

int OpenOutputStage(const char* path, OutputLanding wanted, OutputStage& stage) {
  stage = OutputStage{nullptr, wanted, {}, {}};
  struct stat status {};
  bool exists = false;
  if (wanted == OutputLanding::NewPrivateFile) {
    // Never follows a link: any file of that name, a dangling link too, may
    // be the only copy of another key.
    if (!Put(stage.target, path)) {
      return -1;
    }
    if (lstat(path, &status) == 0) {
      errno = EEXIST;
      return -1;
    }
    if (errno != ENOENT) {
      return -1;
    }
  } else {
    exists = stat(path, &status) == 0;
    if (!exists && errno != ENOENT) {
      return -1;
    }
    if (exists && S_ISDIR(status.st_mode)) {
      errno = EISDIR;
      return -1;
    }
    // A file with other hard links is the same file under those names too:
    // a new file in its place would leave them the earlier data.
    if (exists && (!S_ISREG(status.st_mode) || status.st_nlink > 1)) {
      return OpenInPlace(path, stage);
    }
    Resolved resolved = Resolved::File;
    if (ResolveLinks(path, stage.target, resolved) != 0) {
      return -1;
    }
    if (resolved == Resolved::ProcessLink) {
      return OpenInPlace(path, stage);
    }
    // A file we may not write is not ours to replace, as "wb+" would fail.
    if (exists && access(stage.target.data(), W_OK) != 0) {
      return -1;
    }
    if (exists && (!MayRenameOver(stage.target, status) || MountedOnItsName(stage.target))) {
      return OpenInPlace(path, stage);
    }
  }
  // A file new to the name is made as a plain create makes it: its mode is
  // what the umask, or the folder's default ACL where it has one, allows.
  // Any other is made for its owner alone until it has its final mode.
  const bool plainCreate = wanted == OutputLanding::AtomicReplace && !exists;
  const int fd = OpenStagedFile(stage, plainCreate ? static_cast<mode_t>(0666) : (S_IRUSR | S_IWUSR));
  if (fd < 0) {
    return exists && (errno == EACCES || errno == EPERM) ? OpenInPlace(path, stage) : -1;
  }
  // The owner first, then the mode, which a change of owner would clear of
  // its set-id bits.
  return AttachStream(
      stage, fd,
      plainCreate || (exists ? KeepAccess(fd, stage.target, status) : fchmod(fd, S_IRUSR | S_IWUSR) == 0));
}

int CommitOutputStage(OutputStage& stage) {
  std::FILE* stream = stage.stream;
  stage.stream = nullptr;
  const int fd = fileno(stream);
  if (stage.landing == OutputLanding::InPlace) {
    // A device or a FIFO has nothing to put on a disk (EINVAL).
    const bool synced = std::fflush(stream) == 0 && (fsync(fd) == 0 || errno == EINVAL);
    KeepErrno keep;
    const bool closed = std::fclose(stream) == 0;
    if (synced && !closed) {
      keep.saved = errno;
    }
    return synced && closed ? 0 : -1;
  }
  if (std::fflush(stream) != 0 || fsync(fd) != 0) {
    stage.stream = stream;
    DiscardOutputStage(stage);
    return -1;
  }
  const bool replace = stage.landing == OutputLanding::AtomicReplace;
  int result = 0;
  if (stage.staged[0] != '\0') {
    // A named file is closed before it takes the name, so that no error of
    // the close goes unseen.
    if (std::fclose(stream) != 0) {
      RemoveStaged(stage);
      return -1;
    }
    result = Publish(stage, -1, replace);
  } else {
    result = Publish(stage, fd, replace);
    KeepErrno keep;
    if (std::fclose(stream) != 0 && result == 0) {
      keep.saved = errno;
      result = -1;
    }
  }
  if (result == 0) {
    SyncFolder(stage.target);
  }
  return result;
}

#endif
