// Each setting of `acq serve`: the flag, else the workstation file's [Serve]
// section, else the default; and what the frame is started with.
#include "host/serve/Config.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace acqserve {
namespace {

namespace fs = std::filesystem;

// A workstation file of the test's own, named by ACQ_WORKSTATION while it lives.
class Workstation {
 public:
  explicit Workstation(const std::string& text) {
    std::string pattern = (fs::temp_directory_path() / "acq-serve-config-XXXXXX").string();
    dir_ = mkdtemp(pattern.data()) ? pattern : "";
    std::ofstream(dir_ + "/workstation.ini") << text;
    setenv("ACQ_WORKSTATION", (dir_ + "/workstation.ini").c_str(), 1);
    unsetenv("ACQ_SERVE_IDLE_SECONDS");
  }
  ~Workstation() {
    unsetenv("ACQ_WORKSTATION");
    unsetenv("ACQ_SERVE_IDLE_SECONDS");
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

 private:
  std::string dir_;
};

TEST(Config, FlagsThenWorkstationThenDefaults) {
  {
    Workstation ws("");
    ServeConfig c;
    std::string error;
    ASSERT_TRUE(Serve_LoadConfig(Options{}, c, error)) << error;
    EXPECT_EQ(c.listen, "127.0.0.1");
    EXPECT_EQ(c.port, 8080);
    EXPECT_EQ(c.idleSeconds, 1800);
    EXPECT_EQ(c.warnSeconds, 60);
    EXPECT_EQ(c.graceSeconds, 30);
    EXPECT_FALSE(c.Tls());
    EXPECT_EQ(c.location, "MAIN") << "the frame's own default, given to it";
    EXPECT_EQ(c.frameArgs, (std::vector<std::string>{"run", "--ui-fd", "3", "--location", "MAIN"}))
        << "without --db or --server the frame takes the workstation's server";
  }
  Workstation ws("[Serve]\nListen=0.0.0.0\nPort=9000\nIdleMinutes=5\nGraceSeconds=7\n"
                 "[ACQ]\nLocation=BRANCH\n");
  ServeConfig fromFile;
  std::string error;
  ASSERT_TRUE(Serve_LoadConfig(Options{}, fromFile, error)) << error;
  EXPECT_EQ(fromFile.listen, "0.0.0.0");
  EXPECT_EQ(fromFile.port, 9000);
  EXPECT_EQ(fromFile.idleSeconds, 300);
  EXPECT_EQ(fromFile.graceSeconds, 7);
  EXPECT_EQ(fromFile.location, "BRANCH");

  Options o;
  o.listen = "::1";
  o.port = 0;
  o.idleMinutes = 1;
  o.graceSeconds = 0;
  o.db = "sub/../lib.db";
  o.location = "EAST";
  o.trace = true;
  ServeConfig fromFlags;
  ASSERT_TRUE(Serve_LoadConfig(o, fromFlags, error)) << error;
  EXPECT_EQ(fromFlags.listen, "::1");
  EXPECT_EQ(fromFlags.port, 0);
  EXPECT_EQ(fromFlags.idleSeconds, 60);
  EXPECT_EQ(fromFlags.warnSeconds, 30) << "half of a short idle time";
  EXPECT_EQ(fromFlags.graceSeconds, 0);
  EXPECT_EQ(fromFlags.location, "EAST");
  const std::string db = (fs::current_path() / "lib.db").string();
  EXPECT_EQ(fromFlags.frameArgs, (std::vector<std::string>{"run", "--ui-fd", "3", "--db", db,
                                                           "--location", "EAST", "--trace"}));
  o.db = "postgresql://acq@db.example.org/library";
  ASSERT_TRUE(Serve_LoadConfig(o, fromFlags, error));
  EXPECT_EQ(fromFlags.frameArgs[4], o.db) << "a server's URI is passed as it is";
}

TEST(Config, UnusableValuesStopTheStart) {
  const char* files[] = {
      "[Serve]\nPort=http\n",
      "[Serve]\nPort=70000\n",
      "[Serve]\nIdleMinutes=0\n",
      "[Serve]\nGraceSeconds=-1\n",
      "[Serve]\nTlsCert=/x/cert.pem\n",   // a certificate without its key
  };
  for (const char* text : files) {
    Workstation ws(text);
    ServeConfig c;
    std::string error;
    EXPECT_FALSE(Serve_LoadConfig(Options{}, c, error)) << text;
    EXPECT_FALSE(error.empty());
  }
  Workstation ws("");
  setenv("ACQ_SERVE_IDLE_SECONDS", "10", 1);
  ServeConfig c;
  std::string error;
  ASSERT_TRUE(Serve_LoadConfig(Options{}, c, error));
  EXPECT_EQ(c.idleSeconds, 10);
  EXPECT_EQ(c.warnSeconds, 5);
  setenv("ACQ_SERVE_IDLE_SECONDS", "ten", 1);
  EXPECT_FALSE(Serve_LoadConfig(Options{}, c, error));
}

}  // namespace
}  // namespace acqserve
