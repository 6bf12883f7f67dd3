#include "tests/reliability/bad_input_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace varnholt::testing {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

sample::School SmallSchool() {
  sample::School s;
  for (int n = 1; n <= 5; ++n) s.learners.push_back(MakeLearner(n));
  s.learners[4].class_id = 102;
  for (int n = 1; n <= 3; ++n) s.parents.push_back(MakeParent(n));
  for (int n = 1; n <= 5; ++n) {
    sample::ParentLink link;
    link.child_id = n;
    link.learner_id = 10000 + n;
    link.parent_id = (n - 1) % 3 + 1;
    s.links.push_back(link);
  }
  s.classes = {MakeClass(101, "Gr 1A", "T01"), MakeClass(102, "Gr 2B", "T02")};
  return s;
}

std::string BadInputTest::ExpectRefused(const std::vector<std::string>& names, bool unchanged,
                                        void (Commands::*handler)()) {
  const bool folder = std::filesystem::is_directory(target_);
  const auto before = folder ? TargetBytes() : decltype(TargetBytes()){};
  form_.messages.clear();
  const std::string error = Click(handler);
  EXPECT_FALSE(error.empty()) << "the command finished";
  for (const std::string& name : names) EXPECT_TRUE(Contains(error, name)) << error << "\nshould name: " << name;
  for (const std::string& message : form_.messages) EXPECT_NE(message, "Finished");
  if (unchanged && folder) {
    EXPECT_TRUE(TargetBytes() == before) << "the target changed";
  }
  return error;
}

void BadInputTest::ExpectSameAgain(const std::string& error, void (Commands::*handler)()) {
  EXPECT_EQ(Click(handler), error);
}


PressResult RunPress(const std::filesystem::path& source, const std::filesystem::path& target,
                     const std::filesystem::path& scratch, const std::vector<std::string>& captions,
                     const std::function<bool()>& in_child) {
  namespace fs = std::filesystem;
  fs::create_directories(scratch / "c");
  fs::create_directories(scratch / "cwd");
  const std::string out = (scratch / "press-out.txt").string();
  std::vector<std::string> args = {VARNHOLT_PRESS, "--source", source.string(), "--target", target.string(),
                                   "--drive-c", (scratch / "c").string()};
  args.insert(args.end(), captions.begin(), captions.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string cwd = (scratch / "cwd").string();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(126);
    const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int null = open("/dev/null", O_WRONLY);
    if (fd < 0 || null < 0) _exit(126);
    dup2(fd, 1);
    dup2(null, 2);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (in_child && !in_child()) _exit(125);
    execv(argv[0], argv.data());
    _exit(127);
  }
  PressResult result;
  int status = 0;
  waitpid(pid, &status, 0);
  result.exited = WIFEXITED(status);
  result.exit_code = result.exited ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  std::ifstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("box: ", 0) == 0) result.boxes.push_back(line.substr(5));
  }
  return result;
}

}  // namespace varnholt::testing
