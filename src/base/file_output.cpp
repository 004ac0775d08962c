#include "base/file_output.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "base/printable_text.h"
#include "base/temporary_registry.h"

namespace q3d {
namespace {

constexpr int kMaxLinkHops = 40;

std::string ErrnoText(int error) { return std::strerror(error); }

std::string ParentFolder(const std::string& path) {
  const std::string parent = std::filesystem::path(path).parent_path().string();
  return parent.empty() ? "." : parent;
}

// Follows symbolic links at the destination to the file that really receives the bytes;
// a link to a file not yet there resolves to that file's name.
Result<std::string> RealTarget(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::string link(PATH_MAX, '\0');
    const ssize_t length = ::readlink(current.c_str(), link.data(), link.size());
    if (length < 0)
      return Status::Fail("Cannot follow the link " + QuotedText(path) + ": " + ErrnoText(errno) +
                          ".");
    link.resize(static_cast<size_t>(length));
    current = !link.empty() && link[0] == '/' ? link : ParentFolder(current) + "/" + link;
  }
  return Status::Fail("Cannot follow the link " + QuotedText(path) + ": too many levels of links.");
}

mode_t ProcessUmask() {
  static const mode_t mask = [] {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return mask;
}

// ".name.tmp<pid>.XXXXXX" in the destination's folder, the name shortened so the
// temporary's name fits the file system's limit as the destination's does. The process
// number tells a later writer whether the temporary was abandoned.
constexpr size_t kTemporaryExtraBytes = 1 + 4 + 10 + 1 + 6;

std::string TemporaryPrefix(const std::string& target) {
  const std::string folder = ParentFolder(target);
  std::string name = std::filesystem::path(target).filename().string();
  long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  if (limit <= 0) limit = NAME_MAX;
  const size_t room = static_cast<size_t>(limit) > kTemporaryExtraBytes
                          ? static_cast<size_t>(limit) - kTemporaryExtraBytes
                          : 0;
  if (name.size() > room) name.resize(room);
  return "." + name + ".tmp";
}

std::string TemporaryTemplate(const std::string& target) {
  return ParentFolder(target) + "/" + TemporaryPrefix(target) + std::to_string(::getpid()) +
         ".XXXXXX";
}

// The writer's process number when `name` is one of the temporaries for the prefix.
std::optional<pid_t> TemporaryWriter(const std::string& name, const std::string& prefix) {
  if (name.size() <= prefix.size() + 7 || name.compare(0, prefix.size(), prefix) != 0)
    return std::nullopt;
  const std::string_view rest(name.data() + prefix.size(), name.size() - prefix.size() - 7);
  if (name[name.size() - 7] != '.' || rest.empty() || rest.size() > 10 ||
      rest.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  return static_cast<pid_t>(std::stoll(std::string(rest)));
}

// Copies the complete, synced temporary into the file's own inode, so that every hard
// link to it sees the new content. Space is reserved first where the file system allows, so
// a full disk is found before the old content is touched. Returns the errno of a failure
// and whether the target was changed by then.
struct CopyOutcome {
  int error = 0;
  bool targetTouched = false;
};
CopyOutcome CopyIntoInode(int from, int to, off_t size) {
  struct stat st {};
  if (::fstat(to, &st) != 0) return {errno, false};
  if (size > st.st_size && ::fallocate(to, FALLOC_FL_KEEP_SIZE, 0, size) != 0 &&
      errno != EOPNOTSUPP && errno != ENOSYS)
    return {errno, false};
  std::vector<char> buffer(1 << 16);
  for (off_t at = 0; at < size;) {
    const ssize_t n = ::pread(from, buffer.data(), buffer.size(), at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return {n < 0 ? errno : EIO, at > 0};
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::pwrite(to, buffer.data() + done, static_cast<size_t>(n - done), at);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return {w < 0 ? errno : EIO, true};
      done += w;
      at += w;
    }
  }
  if (::ftruncate(to, size) != 0 || ::fsync(to) != 0) return {errno, true};
  return {};
}

}  // namespace

Result<TemporaryFile> TemporaryFile::CreateFor(const std::string& destination) {
  if (destination.empty()) return Status::Fail("Cannot write a file without a name.");
  Result<std::string> target = RealTarget(destination);
  if (!target) return target.GetStatus();
  const std::string shown = QuotedText(destination);
  struct stat existing {};
  const bool exists = ::stat(target->c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode))
    return Status::Fail("Cannot write " + shown + ": it is not a regular file.");
  // The owner's write bit as well: a privileged user passes the access check regardless.
  if (exists && ((existing.st_mode & S_IWUSR) == 0 || ::access(target->c_str(), W_OK) != 0))
    return Status::Fail("Cannot write " + shown + ": the file is read-only.");

  RemoveAbandonedTemporaries(destination);
  TemporaryFile file;
  file.destination_ = destination;
  file.target_ = *target;
  std::string name = TemporaryTemplate(*target);
  // mkostemp creates with O_CREAT | O_EXCL: a planted link or file at the name is refused.
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0)
    return Status::Fail("Cannot create a file beside " + shown + ": " + ErrnoText(errno) + ".");
  file.fd_ = fd;
  file.temporary_ = name;
  RegisterTemporary(file.temporary_);
  if (exists) {
    if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
      // Keeping the owner needs privileges we may not have; the group often works.
      if (::fchown(fd, existing.st_uid, existing.st_gid) != 0)
        (void)::fchown(fd, static_cast<uid_t>(-1), existing.st_gid);
    }
    (void)::fchmod(fd, existing.st_mode & 07777);
  } else {
    (void)::fchmod(fd, 0666 & ~ProcessUmask());
  }
  return file;
}

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept { *this = std::move(other); }

TemporaryFile& TemporaryFile::operator=(TemporaryFile&& other) noexcept {
  if (this != &other) {
    Discard();
    destination_ = std::move(other.destination_);
    target_ = std::move(other.target_);
    temporary_ = std::move(other.temporary_);
    fd_ = other.fd_;
    other.fd_ = -1;
    other.temporary_.clear();
  }
  return *this;
}

TemporaryFile::~TemporaryFile() { Discard(); }

void TemporaryFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    UnregisterTemporary(temporary_);
    temporary_.clear();
  }
}

Status TemporaryFile::Write(std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      return Status::Fail("Cannot write " + QuotedText(destination_) + ": " +
                          (n < 0 ? ErrnoText(errno) : std::string("the disk may be full")) + ".");
    done += static_cast<size_t>(n);
  }
  return Status::Ok();
}

Status TemporaryFile::Commit() {
  const std::string shown = QuotedText(destination_);
  if (::fsync(fd_) != 0)
    return Status::Fail("Cannot write " + shown + ": " + ErrnoText(errno) + ".");
  // Renaming over a file with several hard links would leave the others with the old
  // content: such a file receives the bytes in place instead.
  struct stat st {};
  if (::lstat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink > 1)
    return WriteThroughLinks();
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0) return Status::Fail("Cannot write " + shown + ": " + ErrnoText(errno) + ".");
  return ReplaceTarget();
}

Status TemporaryFile::ReplaceTarget() {
  if (::rename(temporary_.c_str(), target_.c_str()) != 0)
    return Status::Fail("Cannot replace " + QuotedText(destination_) + ": " + ErrnoText(errno) +
                        ".");
  UnregisterTemporary(temporary_);
  temporary_.clear();
  return Status::Ok();
}

Status TemporaryFile::WriteThroughLinks() {
  const std::string shown = QuotedText(destination_);
  struct stat st {};
  if (::fstat(fd_, &st) != 0)
    return Status::Fail("Cannot write " + shown + ": " + ErrnoText(errno) + ".");
  const int target =
      ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK);
  if (target < 0) return Status::Fail("Cannot write " + shown + ": " + ErrnoText(errno) + ".");
  // From here the temporary may be the only complete copy: an interruption leaves it.
  UnregisterTemporary(temporary_);
  const CopyOutcome copied = CopyIntoInode(fd_, target, st.st_size);
  ::close(target);
  if (copied.error == 0) {
    Discard();
    return Status::Ok();
  }
  const std::string why = ErrnoText(copied.error);
  if (!copied.targetTouched) {
    RegisterTemporary(temporary_);
    return Status::Fail("Cannot write " + shown + ": " + why + ".");
  }
  // The file is half written: the name the user gave gets the complete content at least.
  ::close(fd_);
  fd_ = -1;
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
    const std::string kept = QuotedText(temporary_);
    temporary_.clear();  // the one complete copy stays
    return Status::Fail("Cannot write " + shown + " (" + why + "); the complete content is in " +
                        kept + ".");
  }
  temporary_.clear();
  return Status::Fail("Cannot write " + shown + " through to its other hard links (" + why +
                      "): it was replaced, and its other names keep a damaged copy.");
}

void RemoveAbandonedTemporaries(const std::string& destination) {
  Result<std::string> target = RealTarget(destination);
  if (!target) return;
  const std::string folder = ParentFolder(*target);
  const std::string prefix = TemporaryPrefix(*target);
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const std::optional<pid_t> writer = TemporaryWriter(name, prefix);
    if (!writer || *writer == ::getpid()) continue;
    if (::kill(*writer, 0) != 0 && errno == ESRCH) ::unlink(it->path().c_str());
  }
}

Status WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes) {
  Result<TemporaryFile> file = TemporaryFile::CreateFor(path);
  if (!file) return file.GetStatus();
  if (Status written = file->Write(bytes); !written) return written;
  return file->Commit();
}

std::string WhyNotReadableFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return errno == ENOENT || errno == ENOTDIR ? "it does not exist" : ErrnoText(errno);
  if (S_ISDIR(st.st_mode)) return "it is a folder, not a file";
  if (!S_ISREG(st.st_mode)) return "it is not a regular file (a device, pipe or socket)";
  if (::access(path.c_str(), R_OK) != 0) return "it cannot be read: " + ErrnoText(errno);
  return {};
}

Status ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  const std::string shown = QuotedText(path);
  if (const std::string why = WhyNotReadableFile(path); !why.empty())
    return Status::Fail("Cannot open the file " + shown + ": " + why + ".");
  // Non-blocking: a pipe swapped in after the check must not hang the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return Status::Fail("Cannot open the file " + shown + ": " + ErrnoText(errno) + ".");
  struct stat st {};
  Status result = Status::Ok();
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    result = Status::Fail("Cannot open the file " + shown + ": it is not a regular file.");
  } else {
    try {
      bytes.resize(static_cast<size_t>(st.st_size));
      size_t done = 0;
      while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
      }
      if (done != bytes.size()) result = Status::Fail("Cannot read the file " + shown + ".");
    } catch (const std::bad_alloc&) {
      result = Status::Fail("Not enough memory to read the file " + shown + ".");
    }
  }
  ::close(fd);
  return result;
}

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

}  // namespace q3d
