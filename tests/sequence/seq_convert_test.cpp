// Letter conversion: translation of the track texts into letter indices, the track-length check
// and the echo of converted sequences.
#include <string>
#include <vector>

#include "init/init.h"
#include "seqtest.h"

namespace {

using namespace qor;
using seqtest::copy_text;

// An unconverted sequence with the given texts on tracks 0, 1, ... (null: an empty track).
Sequence *text_seq(const char *id, const std::vector<const char *> &texts) {
  Sequence *s = alloc_sequence(0, static_cast<int>(texts.size()));
  s->id = copy_text(id);
  for (size_t t = 0; t < texts.size(); t++) {
    if (texts[t] == nullptr) continue;
    s->tracks[t].letters = reinterpret_cast<unsigned char *>(copy_text(texts[t]));
    if (s->length == 0) s->length = static_cast<int>(strlen(texts[t]));
  }
  return s;
}

std::vector<int> letters_of(const Sequence *s, int track) {
  return std::vector<int>(s->tracks[track].letters, s->tracks[track].letters + s->length);
}

TEST(ConvertSeq, TranslatesCaseConversionsAndWildcards) {
  struct Case {
    int track;
    const char *text;
    std::vector<int> letters;
  } cases[] = {
      // DNA letters AGCTRYN: lower case folds, U reads as T, X as N, digits and unknowns as N.
      {seqtest::DNA_TRACK, "acgu", {0, 2, 1, 3}},
      {seqtest::DNA_TRACK, "AC-G.T", {0, 2, 1, 3}},
      {seqtest::DNA_TRACK, "xX9?r", {6, 6, 6, 6, 4}},
      // EHL: G reads as H; L, T, S, B, I as C; the wildcard X.
      {seqtest::EHL_TRACK, "EHGLTSBIQ", {0, 1, 1, 2, 2, 2, 2, 2, 3}},
      {seqtest::PROTEIN_TRACK, "mkv*", {10, 8, 17, 22}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<const char *> texts(static_cast<size_t>(c.track) + 1, nullptr);
    texts[static_cast<size_t>(c.track)] = c.text;
    Sequence *s = text_seq("s", texts);
    convertseq(s);
    EXPECT_EQ(s->converted, 1);
    EXPECT_EQ(s->length, static_cast<int>(c.letters.size()));
    EXPECT_EQ(letters_of(s, c.track), c.letters);
    free_sequence(s);
  }
}

TEST(ConvertSeq, ManyDroppedGapsShrinkTheArray) {
  std::string text = std::string(700, '-') + "ACGT" + std::string(300, '.') + "T";
  Sequence *s = text_seq("gappy", {text.c_str()});
  convertseq(s);
  EXPECT_EQ(s->length, 5);
  EXPECT_EQ(letters_of(s, 0), (std::vector<int>{0, 2, 1, 3, 3}));
  free_sequence(s);
}

TEST(ConvertSeq, RaisesTrackCountAndLeavesEmptyTracks) {
  Sequence *s = text_seq("s", {nullptr});
  s->tracks[seqtest::EHL_TRACK].letters = reinterpret_cast<unsigned char *>(copy_text("EHC"));
  convert_seq_track(s, seqtest::EHL_TRACK);
  EXPECT_EQ(s->num_tracks, seqtest::EHL_TRACK + 1);
  EXPECT_EQ(s->length, 3);
  free_sequence(s);

  Sequence *two = text_seq("s", {"ACGT", nullptr, nullptr, nullptr, nullptr, "EHCC"});
  convertseq(two);  // the empty tracks between are skipped
  EXPECT_EQ(letters_of(two, 5), (std::vector<int>{0, 1, 2, 2}));
  convertseq(two);  // a converted sequence is left alone
  EXPECT_EQ(letters_of(two, 0), (std::vector<int>{0, 2, 1, 3}));
  free_sequence(two);
  convertseq(nullptr);
}

TEST(ConvertSeq, TracksOfDifferentLengthsAreFatal) {
  std::string hundred(100, 'A');
  std::string ninety_nine(99, 'E');
  EXPECT_EXIT(
      {
        Sequence *s =
            text_seq("pair", {hundred.c_str(), nullptr, nullptr, nullptr, nullptr, ninety_nine.c_str()});
        convertseq(s);
      },
      testing::ExitedWithCode(1),
      "^Error: ID pair, track 5: length \\(99\\) does not match previous track \\(100\\)\n$");
  // Gaps do not count: 100 letters with gaps against 100 letters is fine.
  std::string gapped = hundred + "--..";
  std::string ehl(100, 'E');
  Sequence *ok = text_seq("ok", {gapped.c_str(), nullptr, nullptr, nullptr, nullptr, ehl.c_str()});
  convertseq(ok);
  EXPECT_EQ(ok->length, 100);
  free_sequence(ok);
}

TEST(ConvertSeq, EchoesConvertedSequenceWhenAsked) {
  int saved = sequence_warning;
  sequence_warning = -2;
  Sequence *s = text_seq("echo", {"acgtn-u"});
  s->annotation = copy_text("a note");
  std::string out = seqtest::capture(stdout, [&] { convertseq(s); });
  sequence_warning = saved;
  EXPECT_EQ(out, ">echo a note\nACGTNT\n");
  free_sequence(s);

  Sequence *quiet = text_seq("quiet", {"ACGT"});
  EXPECT_EQ(seqtest::capture(stdout, [&] { convertseq(quiet); }), "");
  free_sequence(quiet);
}

}  // namespace
