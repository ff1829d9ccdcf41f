// Loading the models of a run: the track checks, the exclusivity of the model sources, per-track
// files with their coefficients and lengths, the model parameter, and the query-sequence model.
#include <gtest/gtest.h>

#include "prepare_test_support.h"

using namespace qor;
using preptest::exact;
using preptest::in_child;
using preptest::setup;
using preptest::TempDir;

static const char *const TRACK_MESSAGE =
    "Track models require matching numbers of alphabet definitions\n"
    "  track model filenames, and track coefficients.  Instead, there\n"
    "  are %d models (-trackmod), %d coefficients (-trackcoeff), and\n"
    "  %d alphabets (-a).  Use comma-separated lists with these options.\n";

static std::string track_message(int models, int coefficients, int alphabets) {
  char buf[400];
  snprintf(buf, sizeof buf, TRACK_MESSAGE, models, coefficients, alphabets);
  return buf;
}

// Parameters, alphabets for `tracks` tracks (protein, then EHL), no progress stream.
static void setup_tracks(int tracks) {
  setup("protein");
  if (tracks > 1) init_alphabet_by_name("EHL", 1, "test");
  verbout = nullptr;
}

// Writes a model of length L for track t (its alphabet current while the text is made).
static std::string write_track_model(const TempDir &dir, const std::string &name, int L, int t) {
  Alphabet *saved = alphabet;
  alphabet = alphabets[t];
  std::string file = dir.write(name, preptest::model_text(L));
  alphabet = saved;
  return file;
}

TEST(TrackModels, TrackCountsMustMatchTheAlphabets) {
  struct Case {
    int alphabets;
    const char *trackmod, *trackcoeff;
    int require_all;
    int models, coefficients;
  } cases[] = {
      {1, "a.mod,b.mod", nullptr, 1, 2, 0},  // more models than alphabets
      {1, "a.mod,b.mod", nullptr, 0, 2, 0},  // even when not every track needs one
      {2, "a.mod", "1,1", 0, 1, 2},          // coefficients do not match the models
      {2, "a.mod", nullptr, 1, 1, 0},        // every track needs a model
  };
  for (const Case &c : cases) {
    std::string expected = track_message(c.models, c.coefficients, c.alphabets);
    EXPECT_EXIT(
        {
          setup_tracks(c.alphabets);
          Model **models = nullptr;
          float *coefficients = nullptr;
          read_and_process_track_models(nullptr, nullptr, &models, &coefficients, c.trackmod, c.trackcoeff, 1,
                                        2, &Score, stdout, c.require_all, 1);
        },
        testing::ExitedWithCode(1), exact(expected + "Error: Tracks must correspond to alphabets.\n\n"));
    in_child([c, expected] {
      setup_tracks(c.alphabets);
      Model **models = nullptr;
      float *coefficients = nullptr;
      int n = -1;
      std::string err = preptest::stderr_of([&] {
        n = read_and_process_track_models(nullptr, nullptr, &models, &coefficients, c.trackmod, c.trackcoeff,
                                          1, 2, &Score, stdout, c.require_all, 0);
      });
      EXPECT_EQ(n, 0);
      EXPECT_EQ(err, expected);
      free_track_models(&models, &coefficients, 0);
    });
  }
}

TEST(TrackModels, OnlyOneModelSource) {
  TempDir dir;  // made by the parent, which removes it
  EXPECT_EXIT(
      {
        setup_tracks(1);
        std::string file = write_track_model(dir, "a.mod", 3, 0);
        RModel *base = nullptr;
        read_first_rmodel(file.c_str(), "initial model", 0, &base, 1);
        Score.query = strdup("query.fa");
        Model **models = nullptr;
        float *coefficients = nullptr;
        read_and_process_track_models(&base, nullptr, &models, &coefficients, nullptr, nullptr, 1, 2, &Score,
                                      stdout, 1, 1);
      },
      testing::ExitedWithCode(1),
      exact("Error: Only one of -modelfile (or -i models), -query sequences,\nand -trackmod may be "
            "specified.\n\n"));
}

TEST(TrackModels, CoefficientsAndTheirMessages) {
  in_child([] {
    setup_tracks(2);
    TempDir dir;
    std::string a = write_track_model(dir, "a.mod", 5, 0), b = write_track_model(dir, "b.mod", 5, 1);
    std::string trackmod = a + "," + b;
    Model **models = nullptr;
    float *coefficients = nullptr;
    int n = -1;
    std::string log, err = preptest::stderr_of([&] {
                       log = preptest::output_of([&](FILE *out) {
                         n = read_and_process_track_models(nullptr, nullptr, &models, &coefficients,
                                                           trackmod.c_str(), "1,-2", 1, 2, &Score, out, 1, 1);
                       });
                     });
    ASSERT_EQ(n, 2);
    EXPECT_EQ(err, "Track 1 coef < 0 (-2.000).  Resetting to 1.0.\n");
    EXPECT_EQ(log,
              "% Subsequence-submodel (local) (SW = 2)\n"
              "% Simple scores adjusted by +1.5*ln(seq len) (adjust_score = 2)\n"
              "% Track 0 FIMs added (geometric mean of match probabilities (6))\n"
              "% Track 0 Coeff 1.000 File " +
                  a +
                  "\n"
                  "% Track 1 FIMs added (geometric mean of match probabilities (6))\n"
                  "% Track 1 coef < 0 (-2.000).  Resetting to 1.0.\n"
                  "% Track 1 Coeff 1.000 File " +
                  b + "\n");
    EXPECT_EQ(coefficients[0], 1.0f);
    EXPECT_EQ(coefficients[1], 1.0f);
    EXPECT_EQ(models[0]->length, 6);
    EXPECT_EQ(models[1]->length, 6);
    EXPECT_EQ(models[1]->nodes[1]->block_length, 2 * 3 + 9) << "track 1's model is in track 1's alphabet";
    EXPECT_EQ(alphabet, alphabets[0]) << "track 0's alphabet is current again";
    free_track_models(&models, &coefficients, n);
    EXPECT_EQ(models, nullptr);
    EXPECT_EQ(coefficients, nullptr);
  });
}

TEST(TrackModels, BadCoefficientIsFatal) {
  TempDir dir;  // made by the parent, which removes it
  EXPECT_EXIT(
      {
        setup_tracks(1);
        std::string a = write_track_model(dir, "a.mod", 5, 0);
        Model **models = nullptr;
        float *coefficients = nullptr;
        read_and_process_track_models(nullptr, nullptr, &models, &coefficients, a.c_str(), "0.5x", 1, 2,
                                      &Score, fopen("/dev/null", "w"), 1, 1);
      },
      testing::ExitedWithCode(1), "Error: Track 0 coefficient \"0.5x\" \\(-trackcoeff\\) is not a number\n");
}

TEST(TrackModels, TrackModelsOfDifferentLengths) {
  const char *expected = "Track model 0 has length 120, while TM 1 has length 121\n";
  TempDir dir;  // made by the parent, which removes it
  EXPECT_EXIT(
      {
        setup_tracks(2);
        std::string trackmod =
            write_track_model(dir, "a.mod", 119, 0) + "," + write_track_model(dir, "b.mod", 120, 1);
        Model **models = nullptr;
        float *coefficients = nullptr;
        read_and_process_track_models(nullptr, nullptr, &models, &coefficients, trackmod.c_str(), nullptr, 1,
                                      2, &Score, fopen("/dev/null", "w"), 1, 1);
      },
      testing::ExitedWithCode(1),
      exact(std::string(expected) + "Error: All track models must have same length.\n"));
  in_child([expected] {
    setup_tracks(2);
    TempDir dir;
    std::string trackmod =
        write_track_model(dir, "a.mod", 119, 0) + "," + write_track_model(dir, "b.mod", 120, 1);
    Model **models = nullptr;
    float *coefficients = nullptr;
    int n = -1;
    std::string err = preptest::stderr_of([&] {
      preptest::output_of([&](FILE *out) {
        n = read_and_process_track_models(nullptr, nullptr, &models, &coefficients, trackmod.c_str(), nullptr,
                                          1, 2, &Score, out, 1, 0);
      });
    });
    EXPECT_EQ(n, 0);
    EXPECT_EQ(err, expected);
    EXPECT_EQ(models[0], nullptr) << "the models loaded so far are released";
    EXPECT_EQ(models[1], nullptr);
    free_track_models(&models, &coefficients, n);
  });
}

TEST(TrackModels, EntryWithoutAModel) {
  // A file that cannot be opened yields no model even when failures are not fatal: refused.
  TempDir dir;  // made by the parent, which removes it
  EXPECT_EXIT(
      {
        setup_tracks(1);
        std::string missing = dir.path + "/missing.mod";
        Model **models = nullptr;
        float *coefficients = nullptr;
        read_and_process_track_models(nullptr, nullptr, &models, &coefficients, missing.c_str(), nullptr, 1,
                                      2, &Score, stdout, 1, 0);
      },
      testing::ExitedWithCode(1),
      "Error: Track 0 model file [^ ]*/missing.mod gave no model \\(-trackmod\\)\n");
  // A file without a model block ends the load quietly apart from the reader's warning.
  in_child([] {
    setup_tracks(1);
    TempDir dir;
    std::string empty = dir.write("empty.mod", "no model here\n");
    Model **models = nullptr;
    float *coefficients = nullptr;
    int n = -1;
    std::string err = preptest::stderr_of([&] {
      n = read_and_process_track_models(nullptr, nullptr, &models, &coefficients, empty.c_str(), nullptr, 1,
                                        2, &Score, stdout, 1, 0);
    });
    EXPECT_EQ(n, 0);
    EXPECT_EQ(err, "Warning:  File or model not found in the track 0 model file " + empty + "\n");
    free_track_models(&models, &coefficients, n);
  });
}

TEST(TrackModels, NoSourceIsFatalWhenFailuresAre) {
  EXPECT_EXIT(
      {
        setup_tracks(1);
        Model **models = nullptr;
        float *coefficients = nullptr;
        read_and_process_track_models(nullptr, nullptr, &models, &coefficients, nullptr, nullptr, 1, 2,
                                      &Score, stdout, 1, 1);
      },
      testing::ExitedWithCode(1), "^Error: No model given");
}

TEST(TrackModels, ModelParameterSource) {
  in_child([] {
    setup_tracks(1);
    TempDir dir;
    std::string file = write_track_model(dir, "a.mod", 7, 0);
    RModel *base = nullptr;
    ASSERT_EQ(read_first_rmodel(file.c_str(), "initial model", 0, &base, 1), 1);
    Model **models = nullptr;
    float *coefficients = nullptr;
    int n = -1;
    std::string log = preptest::output_of([&](FILE *out) {
      n = read_and_process_track_models(&base, "a.mod", &models, &coefficients, "", "", 1, 0, &Score, out, 1,
                                        1);
    });
    EXPECT_EQ(n, 1);
    EXPECT_EQ(base, nullptr) << "the model parameter is consumed";
    EXPECT_EQ(log, "% Sequence-model (global) (SW = 0)\n% Single Track Model:  a.mod\n");
    EXPECT_EQ(models[0]->length, 7) << "no FIMs added in global mode";
    EXPECT_EQ(Score.model_length, 7);
    EXPECT_EQ(Score.adjust_score, 0);
    free_track_models(&models, &coefficients, n);
  });
}

// ---- The query-sequence model -----------------------------------------------------------------

TEST(QueryModel, FirstSequenceOfTheQueryFile) {
  in_child([] {
    setup_tracks(1);
    keepannotations = 1;
    TempDir dir;
    std::string matrix_file = std::string(QOR_TEST_DATA) + "/../../data/matrix/aa/blosum62";
    FILE *src = fopen(matrix_file.c_str(), "r");
    ASSERT_NE(src, nullptr) << matrix_file;
    std::string text;
    for (int c; (c = getc(src)) != EOF;) text += static_cast<char>(c);
    fclose(src);
    std::string installed = dir.write("lib/matrix/aa/blosum62", text);
    setenv("BLASTMAT", (dir.path + "/lib").c_str(), 1);
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    std::string query = dir.write("q.fa", ">q1 first query\nACDW\nKLV\n>q2\nMMMM\n");
    free(Score.query);
    Score.query = strdup(query.c_str());
    mark_var_changed(&Score.NLLnull);
    double nll = Score.NLLnull, md = Score.mdNLLnull;

    Model **models = nullptr;
    float *coefficients = nullptr;
    int n = -1;
    clear_fims_added();
    std::string log = preptest::output_of([&](FILE *out) {
      n = read_and_process_track_models(nullptr, nullptr, &models, &coefficients, nullptr, nullptr, 1, 2,
                                        &Score, out, 1, 1);
    });
    ASSERT_EQ(n, 1);
    char annotation[80];
    snprintf(annotation, sizeof annotation, "%50s", "first query");
    EXPECT_EQ(log, std::string("% Smith & Waterman Query Sequence:  q1\n% Query Annotation:  ") + annotation +
                       "\n% Cost matrix:  " + installed + "\n% Gap cost 12    Continue cost 1\n");
    Model *m = models[0];
    EXPECT_EQ(m->is_seqmodel, 1);
    EXPECT_EQ(m->length, 0);
    EXPECT_EQ(m->nodes[0], nullptr);
    EXPECT_EQ(m->fim_node, nullptr);
    EXPECT_EQ(m->weights, nullptr);
    ASSERT_NE(m->query, nullptr);
    EXPECT_EQ(m->query->length, 7);
    EXPECT_EQ(m->query->tracks[0].letters[3], alphabet->translate['W']);
    EXPECT_EQ(m->matrix[alphabet->translate['W']][alphabet->translate['W']], 11);
    EXPECT_EQ(m->gap_cost, 12);
    EXPECT_EQ(m->continue_cost, 1);
    EXPECT_EQ(fims_added(), 1);
    EXPECT_EQ(Score.is_query_model, 1);
    EXPECT_EQ(Score.model_length, 7);
    EXPECT_EQ(Score.NLLnull, -nll) << "set by the user: negated";
    EXPECT_EQ(Score.mdNLLnull, md) << "not set by the user: kept";
    free_track_models(&models, &coefficients, n);
  });
}

TEST(QueryModel, EmptyQueryFileIsFatal) {
  TempDir dir;  // made by the parent, which removes it
  EXPECT_EXIT(
      {
        setup_tracks(1);
        std::string query = dir.write("empty.fa", "");
        Score.query = strdup(query.c_str());
        sw_model(&Score, stdout);
      },
      testing::ExitedWithCode(1), "Error: Query sequence not found in file [^ ]*/empty.fa\n");
}
