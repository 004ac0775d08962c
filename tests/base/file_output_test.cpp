#include "base/file_output.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "support/synthetic_images.h"

namespace q3d {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }
std::string Text(const fs::path& path) {
  const std::vector<uint8_t> b = test::ReadBytes(path);
  return {b.begin(), b.end()};
}
mode_t Mode(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0);
  return st.st_mode;
}
size_t Entries(const fs::path& dir) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(FileOutputTest, ReplacingKeepsModeAndWritesThroughASymlink) {
  test::TempDir dir;
  const fs::path project = dir.File("p.qvp"), link = dir.File("link.qvp");
  test::WriteBytes(project, Bytes("old"));
  ::chmod(project.c_str(), 0600);  // the project holds face photographs
  fs::create_symlink("p.qvp", link);
  ASSERT_TRUE(WriteFileAtomically(project.string(), Bytes("new")));
  EXPECT_EQ(Mode(project) & 07777, 0600u);
  ASSERT_TRUE(WriteFileAtomically(link.string(), Bytes("through the link")));
  EXPECT_TRUE(S_ISLNK(Mode(link)));
  EXPECT_EQ(Text(project), "through the link");
  EXPECT_EQ(Mode(project) & 07777, 0600u);
  EXPECT_EQ(Entries(dir.File("")), 2u);  // no temporary left
}

// Every name of a hard-linked file keeps sharing it; a copy that fails half way leaves the
// complete content at the name written to.
TEST(FileOutputTest, HardLinkedFileIsWrittenInPlace) {
  test::TempDir dir;
  const fs::path file = dir.File("p.qvp"), other = dir.File("other.qvp");
  test::WriteBytes(file, Bytes("the old, longer content"));
  fs::create_hard_link(file, other);
  ::chmod(file.c_str(), 0600);
  const std::string large(200000, 'x');
  ASSERT_TRUE(WriteFileAtomically(other.string(), Bytes(large)));
  EXPECT_TRUE(Text(file) == large);
  ASSERT_TRUE(WriteFileAtomically(file.string(), Bytes("new")));
  EXPECT_EQ(Text(other), "new");
  EXPECT_EQ(fs::hard_link_count(file), 2u);
  EXPECT_EQ(Mode(other) & 07777, 0600u);
  EXPECT_EQ(Entries(dir.File("")), 2u);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Result<TemporaryFile> temporary = TemporaryFile::CreateFor(file.string());
    if (!temporary || !temporary->Write(Bytes(large))) ::_exit(2);
    // The copy into the linked file stops at this size; the temporary is already complete.
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100000, 100000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const Status committed = temporary->Commit();
    ::_exit(!committed && committed.Reason().find("damaged copy") != std::string::npos ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(Text(file) == large);
  EXPECT_EQ(Entries(dir.File("")), 2u);
}

TEST(FileOutputTest, PlantedLinksAndReadOnlyTargetsReceiveNothing) {
  test::TempDir dir;
  const fs::path victim = dir.File("victim"), target = dir.File("m.glb");
  test::WriteBytes(victim, Bytes("precious"));
  // Links at the names temporaries had when they were predictable.
  for (const std::string suffix : {".tmp-", ".part-"})
    fs::create_symlink(victim, dir.File("m.glb" + suffix + std::to_string(::getpid())));
  fs::create_symlink(victim,
                     dir.File("m.glb" + std::string(".part-") + std::to_string(::getpid()) + "-0"));
  Result<TemporaryFile> temporary = TemporaryFile::CreateFor(target.string());
  ASSERT_TRUE(temporary);
  EXPECT_TRUE(S_ISREG(Mode(temporary->Path())));
  EXPECT_EQ(fs::path(temporary->Path()).parent_path(), target.parent_path());
  ASSERT_TRUE(temporary->Write(Bytes("model")));
  ASSERT_TRUE(temporary->Commit());
  EXPECT_EQ(Text(target), "model");
  EXPECT_EQ(Text(victim), "precious");

  ::chmod(target.c_str(), 0444);
  const Status refused = WriteFileAtomically(target.string(), Bytes("x"));
  EXPECT_NE(refused.Reason().find("read-only"), std::string::npos) << refused.Reason();
  EXPECT_EQ(Text(target), "model");
}

TEST(FileOutputTest, NamesUpToTheFileSystemLimitAreWritten) {
  test::TempDir dir;
  const fs::path longest = dir.File(std::string(NAME_MAX - 4, 'n') + ".qvp");
  ASSERT_TRUE(WriteFileAtomically(longest.string(), Bytes("long")));
  EXPECT_EQ(Text(longest), "long");
  EXPECT_EQ(Entries(dir.File("")), 1u);
}

TEST(FileOutputTest, TemporaryIsRemovedOnFailureAndOnTermination) {
  test::TempDir dir;
  const fs::path target = dir.File("p.qvp");
  {
    Result<TemporaryFile> abandoned = TemporaryFile::CreateFor(target.string());
    ASSERT_TRUE(abandoned);
  }
  EXPECT_EQ(Entries(dir.File("")), 0u);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Result<TemporaryFile> interrupted = TemporaryFile::CreateFor(target.string());
    (void)interrupted->Write(Bytes("half"));
    ::raise(SIGTERM);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_EQ(Entries(dir.File("")), 0u);
}

TEST(FileOutputTest, SameFileIsFoundThroughOtherNames) {
  test::TempDir dir;
  const fs::path a = dir.File("face1.png");
  test::WriteBytes(a, Bytes("pixels"));
  fs::create_hard_link(a, dir.File("hard.png"));
  fs::create_symlink(a, dir.File("soft.png"));
  EXPECT_TRUE(IsSameFile(a.string(), dir.File("hard.png").string()));
  EXPECT_TRUE(
      IsSameFile(dir.File("soft.png").string(), (dir.File("") / "." / "face1.png").string()));
  EXPECT_FALSE(IsSameFile(a.string(), dir.File("missing.png").string()));
}

}  // namespace
}  // namespace q3d
