#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "AppendRecordFormat.h"
#include "platform/AppendFile.h"
#include "support/Deadline.h"

// Result files survive kills: two processes append to one file at once and are killed with
// SIGKILL at random moments. No record reported written is lost; none is torn or interleaved
// (a write crossing a page of the file can stop half way when its process is killed: the next
// append removes such a fragment).
// TESMIRA_KILL_ROUNDS sets the rounds (two kills each; default 150, 500 for the full 1000).
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

struct Writer {
  pid_t pid = -1;
  int out = -1;
};

Writer Start(const std::string& path, int writer, uint64_t firstSeq) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeFds[1], 1);
    close(pipeFds[0]);
    close(pipeFds[1]);
    const std::string id = std::to_string(writer);
    const std::string seq = std::to_string(firstSeq);
    execl(APPEND_WRITER_PATH, APPEND_WRITER_PATH, path.c_str(), id.c_str(), seq.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFds[1]);
  return {pid, pipeFds[0]};
}

// The numbers the writer reported, once it is dead.
std::vector<uint64_t> Reported(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  close(fd);
  std::vector<uint64_t> seqs;
  std::istringstream in(text);
  std::string line;
  // A line cut by the kill was not reported in full: left out.
  while (std::getline(in, line)) {
    if (!in.eof()) seqs.push_back(std::stoull(line));
  }
  return seqs;
}

int Rounds() {
  const char* env = std::getenv("TESMIRA_KILL_ROUNDS");
  const int rounds = env ? std::atoi(env) : 0;
  return rounds > 0 ? rounds : 150;
}

TEST(AppendKill, RecordsSurviveSigkillOfTwoWriters) {
  const int rounds = Rounds();
  testsupport::Deadline deadline(std::chrono::milliseconds(60000 + rounds * 200));
  char pattern[] = "/tmp/tesmira-append-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  const std::string path = dir + "/calresult.txt";
  std::mt19937 random(12345);
  std::map<int, std::set<uint64_t>> reported;
  for (int round = 0; round < rounds; ++round) {
    Writer writers[2];
    for (int w = 0; w < 2; ++w) {
      writers[w] = Start(path, w, static_cast<uint64_t>(round) * 1000000);
      ASSERT_GT(writers[w].pid, 0);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(1000 + random() % 15000));
    const int first = static_cast<int>(random() % 2);
    kill(writers[first].pid, SIGKILL);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    kill(writers[1 - first].pid, SIGKILL);
    for (int w = 0; w < 2; ++w) {
      int status = 0;
      ASSERT_EQ(waitpid(writers[w].pid, &status, 0), writers[w].pid);
      // Killed, not ended on its own (a failed append would end it with 1).
      ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended with " << WEXITSTATUS(status);
      for (const uint64_t seq : Reported(writers[w].out)) reported[w].insert(seq);
    }
  }

  // The last writer may have died inside its write(); the next record (a station going on) cuts
  // that fragment off before it goes out.
  ASSERT_EQ(AppendRecord(path, appendtest::Record(0, static_cast<uint64_t>(rounds) * 1000000)), "");
  reported[0].insert(static_cast<uint64_t>(rounds) * 1000000);

  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  const std::string text = all.str();
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << "the last record is torn";
  std::map<int, std::set<uint64_t>> found;
  std::map<int, uint64_t> last;
  size_t records = 0;
  for (size_t begin = 0; begin < text.size();) {
    const size_t end = text.find("\r\n", begin);
    ASSERT_NE(end, std::string::npos) << "torn record at byte " << begin;
    const std::string line = text.substr(begin, end + 2 - begin);
    begin = end + 2;
    ++records;
    int writer = -1;
    unsigned long long seq = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "W%d %llu ", &writer, &seq), 2) << line;
    ASSERT_TRUE(writer == 0 || writer == 1) << line;
    ASSERT_EQ(line, appendtest::Record(writer, seq)) << "torn or interleaved record";
    EXPECT_TRUE(found[writer].insert(seq).second) << "record twice: " << line;
    // Each writer's records stay in the order written.
    if (last.count(writer)) {
      EXPECT_GT(seq, last[writer]) << line;
    }
    last[writer] = seq;
  }
  size_t lost = 0;
  size_t reportedCount = 0;
  for (const auto& [writer, seqs] : reported) {
    reportedCount += seqs.size();
    for (const uint64_t seq : seqs) lost += found[writer].count(seq) == 0;
  }
  EXPECT_EQ(lost, 0u);
  EXPECT_GT(reportedCount, static_cast<size_t>(rounds));  // the writers did get work done
  std::printf(
      "[ measured ] %d rounds, %d SIGKILLs, %zu records in the file, %zu reported, %zu lost\n",
      rounds, 2 * rounds, records, reportedCount, lost);
  fs::remove_all(dir);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

// What the file holds before an append, and what it holds after it.
TEST(AppendKill, ATornTailIsCutBeforeTheNextRecord) {
  const std::string foreign(70 * 1024, 'x');  // no line end within reach: not a fragment of ours
  const struct {
    std::string before, after;
  } cases[] = {
      {"", "R\r\n"},
      {"A\r\n", "A\r\nR\r\n"},
      {"A\r\nB torn", "A\r\nR\r\n"},
      {"A\r\nB torn\r", "A\r\nR\r\n"},
      {"only a fragment", "R\r\n"},
      {"A\n" + foreign, "A\n" + foreign + "\r\nR\r\n"},
  };
  char pattern[] = "/tmp/tesmira-torn-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string path = std::string(pattern) + "/Imeiresult.txt";
  for (const auto& c : cases) {
    fs::remove(path);
    if (!c.before.empty()) std::ofstream(path, std::ios::binary) << c.before;
    ASSERT_EQ(AppendRecord(path, "R\r\n"), "");
    EXPECT_EQ(ReadAll(path), c.after) << c.before.substr(0, 20);
  }
  // A file that grants writing only is still appended to (unchecked) when the station may not read
  // it.
  if (geteuid() != 0) {
    std::ofstream(path, std::ios::binary) << "A\r\n";
    ASSERT_EQ(chmod(path.c_str(), 0200), 0);
    EXPECT_EQ(AppendRecord(path, "R\r\n"), "");
    chmod(path.c_str(), 0644);
    EXPECT_EQ(ReadAll(path), "A\r\nR\r\n");
  }
  fs::remove_all(pattern);
}

// A full disk and a directory that cannot take the file are reported with the path and the
// reason, never taken for a record written.
TEST(AppendKill, FullDiskAndReadOnlyDirectoryAreReported) {
  std::string error = AppendRecord("/dev/full", "W0 1 x\r\n");
  EXPECT_NE(error.find("/dev/full"), std::string::npos) << error;
  EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;

  char pattern[] = "/tmp/tesmira-readonly-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string dir = pattern;
  ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
  // The superuser writes into any directory; sysfs refuses new files even to it.
  if (geteuid() == 0) dir = "/sys";
  const std::string path = dir + "/calresult.txt";
  error = AppendRecord(path, "W0 1 x\r\n");
  EXPECT_NE(error.find(path), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(path));
  chmod(pattern, 0755);
  fs::remove_all(pattern);
}

}  // namespace
