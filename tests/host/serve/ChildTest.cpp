// The session folders and the check that keeps downloads inside them.
#include "host/serve/Child.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace acqserve {
namespace {

TEST(Child, DownloadsMustBeFilesInsideTheSessionFolder) {
  std::string run, error;
  ASSERT_TRUE(Child_MakeRunFolder(run, error)) << error;
  std::string folder;
  ASSERT_TRUE(Child_MakeSessionFolder(run, 1, folder, error)) << error;
  const std::string inside = folder + "/report.pdf";
  FILE* f = fopen(inside.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fclose(f);
  ASSERT_EQ(symlink("/etc/passwd", (folder + "/link").c_str()), 0);
  ASSERT_EQ(mkdir((run + "/session-10").c_str(), 0700), 0);   // a neighbour whose name starts alike
  f = fopen((run + "/session-10/x").c_str(), "w");
  fclose(f);
  EXPECT_EQ(Child_FileInside(inside, folder), inside);
  EXPECT_EQ(Child_FileInside(folder + "/../session-1/report.pdf", folder), inside);
  for (const std::string& path : {folder + "/link", folder + "/missing", folder, std::string("/etc/passwd"),
                                  run + "/session-10/x", folder + "0/x", std::string()})
    EXPECT_EQ(Child_FileInside(path, folder), "") << path;
  Child_RemoveTree(run);
  EXPECT_NE(access("/etc/passwd", F_OK), -1) << "a link is removed, never what it points to";
  EXPECT_EQ(access(run.c_str(), F_OK), -1);
}

TEST(Child, EndTexts) {
  EXPECT_EQ(Child_EndText(W_EXITCODE(2, 0)), "exit status 2");
  EXPECT_EQ(Child_EndText(W_EXITCODE(0, 9)), "signal 9");
}

}  // namespace
}  // namespace acqserve
