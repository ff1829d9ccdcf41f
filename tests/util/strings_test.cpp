// Name comparison, string hashing and name lists.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "util/util.h"

namespace {

using qor::capscomp;

TEST(Capscomp, IgnoresCaseAndSeparators) {
  struct Case {
    const char *a, *b;
    int expected;
  } cases[] = {
      {"maxMem", "max_mem", 0},
      {"-dump_parameters", "dumpparameters", 0},
      {"Insert_Method-Train", "insertmethodtrain", 0},
      {"abc", "abd", -1},
      {"abd", "abc", 1},
      {"abc-", "abc", 1},  // a separator is not skipped once the other string is exhausted
      {"abc", "abc_", -1},
      {"", "", 0},
      {"a", "", 1},
      {"", "a", -1},
      {"--a", "A", 0},
      {"SW", "sw_score", -1},
  };
  for (const auto &c : cases) EXPECT_EQ(capscomp(c.a, c.b), c.expected) << c.a << " vs " << c.b;
}

TEST(HashString, NineFoldSumOfSignedBytes) {
  EXPECT_EQ(qor::hash_string(""), 0);
  EXPECT_EQ(qor::hash_string("ab"), 971);
  EXPECT_EQ(qor::hash_string("\xff"), -1);  // bytes above 127 count as negative
  EXPECT_EQ(qor::hash_string("a\x80"), 9 * 97 - 128);
  // Wrap-around: 9^k growth overflows 32 bits without trapping and stays deterministic.
  std::string longname(40, 'z');
  uint32_t h = 0;
  for (char c : longname) h = 9u * h + static_cast<uint32_t>(c);
  EXPECT_EQ(qor::hash_string(longname.c_str()), static_cast<int32_t>(h));
}

std::vector<std::string> names_of(const char *text) {
  qor::NameList *list = qor::parse_name_list(text);
  std::vector<std::string> names;
  for (int i = 0; i < list->count; i++) names.push_back(list->names[i]);
  EXPECT_EQ(list->names[list->count], nullptr);
  free(list);
  return names;
}

TEST(ParseNameList, SplitsAtWhiteSpaceAndCommas) {
  using V = std::vector<std::string>;
  EXPECT_EQ(names_of("a.mod, b.mod,,c.mod"), (V{"a.mod", "b.mod", "c.mod"}));
  EXPECT_EQ(names_of(" a.mod b.mod c.mod "), (V{"a.mod", "b.mod", "c.mod"}));
  EXPECT_EQ(names_of("x"), (V{"x"}));
  EXPECT_EQ(names_of("\ta\r\nb\f\vc"), (V{"a", "b", "c"}));
  EXPECT_EQ(names_of(",,"), V{});
  EXPECT_EQ(names_of(""), V{});
  EXPECT_EQ(names_of(nullptr), V{});
}

}  // namespace
