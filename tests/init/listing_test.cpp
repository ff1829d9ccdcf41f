// The parameter listing: list parameters and their wrapping, and the lines of the rows that are
// set, commented or marked as comments.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "init/init.h"

namespace {

using namespace qor;

OptionEntry *row_named(const char *name) {
  for (OptionEntry *row = read_vars; row->type != VAR_END; row++)
    if (strcmp(row->name, name) == 0) return row;
  return nullptr;
}

// Runs a writer on a memory stream and returns the text.
template <typename F>
std::string written_by(F write) {
  char *text = nullptr;
  size_t size = 0;
  FILE *out = open_memstream(&text, &size);
  write(out);
  fclose(out);
  std::string result(text, size);
  free(text);
  return result;
}

TEST(ListStrings, WrapsBeyondSeventyColumnsOrOnePerLine) {
  std::string a(37, 'a'), b(30, 'b'), c(1, 'c');
  char *values[] = {&a[0], &b[0], &c[0]};
  // "db" + " " + 37 letters reaches column 40; 40 + 30 does not exceed 70, so b joins the line;
  // then 71 + 1 does.
  EXPECT_EQ(written_by([&](FILE *out) { list_strings(out, values, 3, "db", ""); }),
            "db " + a + " " + b + "\ndb c\n");
  EXPECT_EQ(written_by([&](FILE *out) { list_strings(out, values, -3, "i", "%"); }),
            "%i " + a + "\n%i " + b + "\n%i c\n");
  EXPECT_EQ(written_by([&](FILE *out) { list_strings(out, values, 0, "constraints", "% "); }),
            "% constraints\n");
  std::string longer(80, 'z');
  char *one[] = {&longer[0]};
  EXPECT_EQ(written_by([&](FILE *out) { list_strings(out, one, 1, "id", ""); }), "id " + longer + "\n");
}

class Listing : public testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override { reset(); }
  static void reset() {
    initialize_variables();
    for (OptionEntry *row = read_vars; row->type != VAR_END; row++) row->changed = 0;
  }
  static void set(const char *name, int changed = 1) { row_named(name)->changed = changed; }
};

TEST_F(Listing, WritesOnlyTheSetRowsInTableOrder) {
  maxmem = 5000;
  set("maxmem");
  set("Nmodels");  // becomes a comment whenever it is set
  seed = 77;
  set("randseed", 2);
  free(model_filename);
  model_filename = strdup("m.mod");
  set("model_file");
  set("query");  // set, yet without a value: an empty value
  add_to_string_list(row_named("db"), "a.seq");
  add_to_string_list(row_named("db"), "b.seq");
  set("db");
  set("dblistcount");  // count rows are never written
  add_to_string_list(row_named("insert"), "p.par");
  set("insert");
  add_to_string_list(row_named("constraints"), "c.cst");
  set("constraints");
  set("pptrim");
  EXPECT_EQ(written_by([](FILE *out) { print_init(out, 0, 0, 0); }),
            "% randseed 77\n"
            "% Nmodels 3\n"
            "model_file m.mod\n"
            "%insert p.par\n"
            "db a.seq\n"
            "db b.seq\n"
            "query \n"
            "% constraints c.cst\n"
            "maxmem 5000\n"
            "pptrim 0.000000\n");
  EXPECT_EQ(row_named("Nmodels")->changed, 2);
  EXPECT_EQ(row_named("randseed")->changed, 2);
}

TEST_F(Listing, CommentedListingPrefixesEveryLine) {
  set("maxmem");
  set("alphabet");
  add_to_string_list(row_named("id"), "seq1");
  set("id");
  add_to_string_list(row_named("i"), "q.par");
  set("i");
  EXPECT_EQ(written_by([](FILE *out) { print_init(out, 0, 1, 0); }),
            "%i q.par\n"
            "% alphabet \n"
            "% id seq1\n"
            "% maxmem 20000000\n");
}

TEST_F(Listing, ModelRowsAreNotListed) {
  set("MODEL");
  set("REGULARIZER");
  EXPECT_EQ(written_by([](FILE *out) { print_init(out, 0, 0, 0); }), "");
}

}  // namespace
