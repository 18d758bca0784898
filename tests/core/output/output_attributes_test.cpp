#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <string>

#include "output/output_file.h"
#include "support/test_files.h"

namespace tessaglyph {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

constexpr const char* kAcl = "system.posix_acl_access";

// An access ACL as the kernel stores it: version 2, then (tag, permissions,
// id) entries in tag order; 65534 may read.
std::string ReaderAcl() {
  std::string acl;
  const auto put = [&acl](std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) acl.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  };
  put(2, 4);
  for (const auto& [tag, permissions, id] : {std::tuple{0x01u, 6u, ~0u}, {0x02u, 4u, 65534u}, {0x04u, 4u, ~0u},
                                             {0x10u, 4u, ~0u}, {0x20u, 0u, ~0u}}) {
    put(tag, 2);
    put(permissions, 2);
    put(id, 4);
  }
  return acl;
}

std::string Attribute(const std::string& path, const char* name) {
  char value[256];
  const ssize_t size = ::getxattr(path.c_str(), name, value, sizeof value);
  return size < 0 ? "(none)" : std::string(value, static_cast<std::size_t>(size));
}

// Renamed into place or copied into a hard-linked file, the new text keeps
// the ACL and the user.* attributes of the file it replaces.
TEST(OutputAttributesTest, AReplacedFileKeepsItsAclAndUserAttributes) {
  for (const bool hardLinked : {false, true}) {
    SCOPED_TRACE(hardLinked ? "copied in place" : "renamed into place");
    TempFolder folder;
    const std::string target = folder / "photo.txt";
    WriteFile(target, "earlier text");
    const std::string acl = ReaderAcl();
    if (::setxattr(target.c_str(), "user.origin", "camera", 6, 0) != 0 ||
        ::setxattr(target.c_str(), kAcl, acl.data(), acl.size(), 0) != 0) {
      GTEST_SKIP() << "this file system keeps no user attributes or ACLs: " << std::strerror(errno);
    }
    const std::string aclBefore = Attribute(target, kAcl);
    ASSERT_TRUE(!hardLinked || ::link(target.c_str(), (folder / "other-name.txt").c_str()) == 0);

    std::string error;
    auto out = OutputFile::Create(target, {}, error);
    ASSERT_TRUE(out) << error;
    ASSERT_TRUE(out->Write("new text") && out->Commit(error)) << error;
    EXPECT_EQ(ReadFile(target), "new text");
    EXPECT_EQ(Attribute(target, "user.origin"), "camera");
    EXPECT_EQ(Attribute(target, kAcl), aclBefore);
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
  }
}

}  // namespace
}  // namespace tessaglyph
