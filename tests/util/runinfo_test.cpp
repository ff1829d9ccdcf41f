// Run information: CPU-time layout, the banner block and the statistics-file header.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "util/util.h"

namespace {

TEST(CpuTime, HoursMinutesSecondsLayout) {
  char buf[48];
  qor::format_cpu_time(buf, 3725, 61);
  EXPECT_STREQ(buf, "user   1: 2: 5    system   0: 1: 1");
  qor::format_cpu_time(buf, 0, 0);
  EXPECT_STREQ(buf, "user   0: 0: 0    system   0: 0: 0");
  EXPECT_TRUE(std::regex_match(qor::cpu_time(), std::regex("user +[0-9]+: ?[0-9]+: ?[0-9]+    system +[0-9]+: ?[0-9]+: ?[0-9]+")));
}

TEST(GetTime, RuntimeLayoutWithoutNewline) {
  EXPECT_TRUE(std::regex_match(qor::get_time(), std::regex("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] "
                                                           "[0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}")));
}

std::vector<std::string> lines(const std::string &text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string l;
  while (std::getline(in, l)) out.push_back(l);
  return out;
}

TEST(Statfile, HeaderBannerAndTimingLines) {
  char tmpl[] = "/tmp/qorstat.XXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::string base = dir + "/x";
  FILE *f = qor::prepare_statfile(base.c_str(), "QOR: test v3.5", ".params");
  qor::stat_print_time(f);
  fclose(f);
  std::ifstream in(base + ".params");
  std::stringstream s;
  s << in.rdbuf();
  auto l = lines(s.str());
  ASSERT_EQ(l.size(), 14u + 3u + 3u);
  EXPECT_EQ(l[0], "%  QOR: test v3.5");
  EXPECT_EQ(l[2], "%");
  EXPECT_EQ(l[5], "%");
  EXPECT_EQ(l[13], "% " + std::string(69, '-'));
  for (int i = 0; i < 14; i++) EXPECT_EQ(l[i][0], '%');
  EXPECT_EQ(l[14], "%  " + base + "   Host: " + qor::get_host_name() + "    " + l[14].substr(l[14].size() - 24));
  // The user name is left-aligned in a field as wide as the base name, so "Dir:" stands under "Host:"
  // (or further right when the user name is longer).
  std::string user = qor::get_user_name();
  std::string field = user.size() < base.size() ? user + std::string(base.size() - user.size(), ' ') : user;
  char cwd[1024];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(l[15], "%  " + field + "   Dir:  " + cwd);
  EXPECT_EQ(l[16], "% " + std::string(69, '-'));
  EXPECT_EQ(l[17], "%");
  EXPECT_TRUE(std::regex_match(l[18], std::regex("%  Total CPU time:  user .*    system .*")));
  EXPECT_EQ(l[19].rfind("%  Finished at:  ", 0), 0u);
  std::string cmd = "rm -rf '" + dir + "'";
  ASSERT_EQ(system(cmd.c_str()), 0);
}

}  // namespace
