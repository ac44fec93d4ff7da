// The output path: only a regular file or a new name is written. Folders, devices, FIFOs and
// sockets are refused (the command exits with 2) and stay as they are; symbolic links are
// followed; temporary names stay within the name limit; a new file gets the mode the umask
// leaves.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "mdb_writer.h"
#include "program_environment.h"
#include "round_trip.h"
#include "tests/support/temp_folder.h"

namespace {

using mkmdb::ColumnType;
using mkmdb::TableSpec;
using testsupport::TempFolder;

const TableSpec kBrands{"avion", {{"marque", ColumnType::Text, 20}}, {{"Airbus"}, {"Boeing"}}};

// Makes a node at `path`; returns an empty string or why it could not be made.
using NodeMaker = std::function<std::string(const std::string& path)>;

std::string Failed(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

struct NodeCase {
  std::string title;
  NodeMaker make;
  std::string kind;  // how the refusal names it
};

std::ostream& operator<<(std::ostream& out, const NodeCase& c) { return out << c.title; }

std::string MakeSocket(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  const std::string problem = bound ? "" : Failed("bind");
  close(fd);
  return problem;
}

std::vector<NodeCase> Nodes() {
  return {
      {"Folder", [](const std::string& p) { return mkdir(p.c_str(), 0755) ? Failed("mkdir") : ""; },
       "a folder"},
      {"Fifo", [](const std::string& p) { return mkfifo(p.c_str(), 0644) ? Failed("mkfifo") : ""; },
       "a FIFO"},
      {"Socket", MakeSocket, "a socket"},
      // A node of the null device, as a user would make one with mknod.
      {"CharacterDevice",
       [](const std::string& p) {
         return mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)) ? Failed("mknod") : "";
       },
       "a character device"},
      {"LinkToAFifo",
       [](const std::string& p) {
         const std::string fifo = p + ".fifo";
         if (mkfifo(fifo.c_str(), 0644) != 0) return Failed("mkfifo");
         return symlink("out.mdb.fifo", p.c_str()) ? Failed("symlink") : "";
       },
       "a FIFO"},
      {"LinkLoop",
       [](const std::string& p) {
         if (symlink("out.mdb.loop", p.c_str()) != 0) return Failed("symlink");
         return symlink("out.mdb", (p + ".loop").c_str()) ? Failed("symlink") : "";
       },
       "symbolic links"},
  };
}

// What identifies an entry: its type and its inode.
std::pair<mode_t, ino_t> Identity(const std::string& path) {
  struct stat entry {};
  if (lstat(path.c_str(), &entry) != 0) return {0, 0};
  return {entry.st_mode & S_IFMT, entry.st_ino};
}

class NotARegularFile : public testing::TestWithParam<NodeCase> {
 protected:
  std::string Out() const { return folder_.Path("out.mdb"); }
  TempFolder folder_;
};

TEST_P(NotARegularFile, IsRefusedAndLeftAsItIs) {
  const std::string problem = GetParam().make(Out());
  if (!problem.empty()) GTEST_SKIP() << "cannot make the node here (" << problem << ")";
  const auto entries = folder_.Entries();
  const auto identity = Identity(Out());

  try {
    mkmdb::WriteDatabase(Out(), {kBrands});
    ADD_FAILURE() << "the library wrote over " << GetParam().title;
  } catch (const mkmdb::DestinationError& e) {
    EXPECT_NE(std::string(e.what()).find(GetParam().kind), std::string::npos) << e.what();
  }
  const auto run = mkmdb_test::RunProgram({MKMDB_PATH, Out(), "--table", "avion", "--column",
                                           "marque:text(20)", "--generate", "3"});
  EXPECT_EQ(run.exitCode, 2) << run.err;
  EXPECT_NE(run.err.find(GetParam().kind), std::string::npos) << run.err;

  EXPECT_EQ(Identity(Out()), identity);
  EXPECT_EQ(folder_.Entries(), entries);
}

INSTANTIATE_TEST_SUITE_P(Destinations, NotARegularFile, testing::ValuesIn(Nodes()),
                         [](const auto& info) { return info.param.title; });

std::vector<std::string> EntriesOf(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(OutputLinks, AreFollowedToTheFileTheyNameAndStay) {
  TempFolder folder;
  // links/out.mdb -> ../chain.mdb -> data/real.mdb, each target relative to its link's folder.
  ASSERT_EQ(mkdir(folder.Path("links").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(folder.Path("data").c_str(), 0755), 0);
  ASSERT_EQ(symlink("../chain.mdb", folder.Path("links/out.mdb").c_str()), 0);
  ASSERT_EQ(symlink("data/real.mdb", folder.Path("chain.mdb").c_str()), 0);
  const std::string real = folder.Path("data/real.mdb");
  const std::string link = folder.Path("links/out.mdb");

  // A link to nothing yet creates the file it names; a second write replaces that file.
  for (const char* round : {"new", "replaced"}) {
    mkmdb::WriteDatabase(link, {kBrands});
    EXPECT_EQ(mkmdb_test::CompareAll(real, {kBrands}), "") << round;
    EXPECT_EQ(Identity(link).first, static_cast<mode_t>(S_IFLNK)) << round;
    EXPECT_EQ(Identity(folder.Path("chain.mdb")).first, static_cast<mode_t>(S_IFLNK)) << round;
    char target[64] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "../chain.mdb") << round;
  }
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"chain.mdb", "data", "links"}));
  EXPECT_EQ(EntriesOf(folder.Path("data")), std::vector<std::string>{"real.mdb"});
  EXPECT_EQ(EntriesOf(folder.Path("links")), std::vector<std::string>{"out.mdb"});
}

// The temporary file is ".<name>.XXXXXX"; for names near the limit of 255 bytes its name is
// shortened rather than refused.
class LongOutputNames : public testing::TestWithParam<std::string> {};

TEST_P(LongOutputNames, AreWritten) {
  TempFolder folder;
  const std::string path = folder.Path(GetParam());
  mkmdb::WriteDatabase(path, {kBrands});
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{GetParam()});
  EXPECT_EQ(mkmdb_test::CompareAll(path, {kBrands}), "");
}

std::string AccentedName(std::size_t bytes) {
  std::string name;
  while (name.size() + 2 <= bytes - 4) name += "é";
  while (name.size() < bytes - 4) name += "x";
  return name + ".mdb";
}

INSTANTIATE_TEST_SUITE_P(
    Names, LongOutputNames,
    testing::Values(std::string(244, 'n') + ".mdb", std::string(247, 'n') + ".mdb",
                    std::string(251, 'n') + ".mdb", AccentedName(255), AccentedName(254)),
    [](const auto& info) {
      return std::to_string(info.param.size()) + "Bytes" +
             (info.param[0] == 'n' ? "Ascii" : "Accented");
    });

TEST(NewOutputFiles, GetTheModeTheUmaskLeaves) {
  TempFolder folder;
  const mode_t previous = umask(027);
  mkmdb::WriteDatabase(folder.Path("out.mdb"), {kBrands});
  umask(previous);
  struct stat info {};
  ASSERT_EQ(stat(folder.Path("out.mdb").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

}  // namespace
