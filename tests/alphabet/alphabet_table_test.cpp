// The built-in alphabet table: every field of every record, the free slots and the terminator,
// the translation tables with their conversion pairs, and lookup by id.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "alphabet/alphabet.h"
#include "alphabet/alphabet_test_support.h"

namespace {

using alphatest::stderr_of;

struct BuiltinRow {
  int id;
  const char *name;
  const char *letters;
  int length, wild_length, flength, fwild_length;
  const char *convert;
  const char *comment;
  double regularizer_sum;  // sum of the flength match weights
  float first, last;       // first and last of those weights
};

// In table order.
const BuiltinRow kBuiltins[] = {
    {1, "DNA", "AGCTRYN", 4, 7, 4, 7, "XN,UT", "DNA with R=Purine G/A and Y=Pyrimidine C/T", 1.000000, 0.25f,
     0.25f},
    {34, "CODON", "AGCTN", 4, 5, 64, 125, "XN,UT", "DNA codons in AAA G..C..TTT order", 1.000000, 0.024f,
     0.0172f},
    {2, "RNA", "AGCURYN", 4, 7, 4, 7, "XN,TU", "RNA with R=Purine G/A and Y=Pyrimidine C/U", 1.000000, 0.25f,
     0.25f},
    {3, "protein", "ACDEFGHIKLMNPQRSTVWYBZX", 20, 23, 20, 23, nullptr, "Protein with B=N/D and Z=Q/E",
     1.000000, 0.08713f, 0.02992f},
    {4, "DSSP", "EHTSGBICX", 8, 9, 8, 9, "LC", "DSSP Secondary structure alphabet", 0.496100, 0.104f, 0.103f},
    {5, "EHL", "EHCX", 3, 4, 3, 4, "GH,LC,TC,SC,BC,IC", "Secondary structure alphabet", 0.496100, 0.104f,
     0.2141f},
    {6, "EHL2", "EHCX", 3, 4, 3, 4, "GH,LC,TC,SC,BE,IH", "Secondary structure alphabet", 0.496000, 0.11f,
     0.208f},
    {7, "EHTL", "EHTCX", 4, 5, 4, 5, "GH,LC,SC,BC,IC", "Secondary structure alphabet", 0.496100, 0.104f,
     0.1561f},
    {8, "EHTL2", "EHTCX", 4, 5, 4, 5, "BE,GH,IH,LC,SC", "Secondary structure alphabet", 0.999900, 0.2284f,
     0.1845f},
    {9, "EBHTL", "EBHTCX", 5, 6, 5, 6, "GH,IH,LC,SC", "Secondary structure alphabet", 0.999900, 0.2164f,
     0.1845f},
    {10, "EBGHSTL", "EBGHSTCX", 7, 8, 7, 8, "IH,LC", "Secondary structure alphabet", 1.000000, 0.215f,
     0.203f},
    {11, "EBGHTL", "EBGHTCX", 6, 7, 6, 7, "IH,LC,SC", "Secondary structure alphabet", 1.000000, 0.2164f,
     0.1845f},
    {18, "STRIDE", "EBGHITCX", 7, 8, 7, 8, "LC,SC", "Full STRIDE Secondary structure alphabet", 1.000000,
     0.2164f, 0.1845f},
    {12, "PB", "ABCDEFGHIJKLMNOPX", 16, 17, 16, 17, nullptr, "Protein blocks alphabet", 1.000039, 0.03831f,
     0.03363f},
    {13, "STR", "ABCEGHIMPQSTZX", 13, 14, 13, 14, nullptr, "Strand alphabet", 1.000034, 0.0466f, 0.09935f},
    {14, "ANG", "EPGHLYDNTSX", 10, 11, 10, 11, nullptr, "Quellan angle alphabet without C (cis)", 1.000110,
     0.1768f, 0.01257f},
    {17, "BYS", "CDEGHLNPSTYX", 11, 12, 11, 12, nullptr, "Quellan angle alphabet including C (cis)", 1.000100,
     0.0023f, 0.0375f},
    {15, "TCO", "EFGHX", 4, 5, 4, 5, nullptr, "Cosine dihedral alphabet", 1.000000, 0.2902f, 0.4421f},
    {16, "ALPHA", "ABCDEFGHISTX", 11, 12, 11, 12, nullptr, "C-alpha dihedral alphabet", 0.999930, 0.08371f,
     0.03453f},
    {19, "STR2", "ABCEGHMPQSTYZX", 13, 14, 13, 14, "IH,LC", "STR2 alphabet", 0.999970, 0.0466f, 0.05945f},
    {20, "CB_BURIAL_12_7", "ABCDEFG", 7, 8, 7, 8, nullptr, "CB_BURIAL_12_7 alphabet", 0.999990, 0.09847f,
     0.09192f},
    {21, "CB_BURIAL_14_7", "ABCDEFG", 7, 8, 7, 8, nullptr, "CB_BURIAL_14_7 alphabet", 1.000100, 0.1187f,
     0.1093f},
    {22, "CB_BURIAL_16_7", "ABCDEFG", 7, 8, 7, 8, nullptr, "CB_BURIAL_14_7 alphabet", 0.999900, 0.1275f,
     0.1139f},
    {23, "BURIAL_8_7", "ABCDEFG", 7, 8, 7, 8, nullptr, "BURIAL_8_7 alphabet", 0.999900, 0.1238f, 0.1172f},
    {24, "BURIAL_9_7", "ABCDEFG", 7, 8, 7, 8, nullptr, "BURIAL_9_7 alphabet", 1.000000, 0.1506f, 0.1354f},
    {25, "BURIAL_10_7", "ABCDEFG", 7, 8, 7, 8, nullptr, "BURIAL_10_7 alphabet", 1.000000, 0.1456f, 0.1357f},
    {26, "CA_BURIAL_12_7", "ABCDEFG", 7, 8, 7, 8, nullptr, "CA_BURIAL_12_7 alphabet", 0.999990, 0.1168f,
     0.04449f},
    {27, "CA_BURIAL_14_7", "ABCDEFG", 7, 8, 7, 8, nullptr, "CA_BURIAL_14_7 alphabet", 0.999900, 0.1173f,
     0.1199f},
    {28, "ABSSA7", "BCDHGFE", 7, 8, 7, 8, nullptr, "ABSSA7 alphabet", 1.000000, 0.1407f, 0.1252f},
    {29, "RELSA2", "BE", 2, 3, 2, 3, nullptr, "RELSA2 alphabet", 1.000000, 0.4477f, 0.5523f},
    {30, "RELSA3", "BIE", 3, 4, 3, 4, nullptr, "RELSA3 alphabet", 1.000000, 0.357f, 0.345f},
    {31, "RELSA7", "ABCDEFG", 7, 8, 7, 8, nullptr, "RELSA7 alphabet", 1.000100, 0.1416f, 0.13f},
    {32, "RELSA10", "ABCDEFGHIJ", 10, 11, 10, 11, nullptr, "RELSA10 alphabet", 0.999930, 0.1768f, 0.04011f},
    {33, "NEAR-BACKBONE-11", "ABCDEFGHIJK", 11, 12, 11, 12, nullptr, "Near Backbone 11 alphabet", 1.000100,
     0.0933f, 0.0679f},

};

const float kTransition[9] = {1.886984f, 0.254944f, 0.376488f, 1.819972f, 15.52134f,
                              3.764209f, 0.225758f, 0.265967f, 4.006562f};

TEST(BuiltinTable, EveryRecordHasItsFieldsInTableOrder) {
  ASSERT_EQ(sizeof kBuiltins / sizeof kBuiltins[0], static_cast<size_t>(qor::NUM_BUILTIN_ALPHABETS));
  for (int i = 0; i < qor::NUM_BUILTIN_ALPHABETS; i++) {
    const BuiltinRow &want = kBuiltins[i];
    const qor::Alphabet &a = qor::alphabet_table[i];
    SCOPED_TRACE(want.name);
    EXPECT_EQ(a.internal_id, want.id);
    EXPECT_STREQ(a.name, want.name);
    EXPECT_STREQ(a.letters, want.letters);
    EXPECT_STREQ(a.comment, want.comment);
    EXPECT_STREQ(a.convert, want.convert);
    EXPECT_EQ(a.length, want.length);
    EXPECT_EQ(a.wild_length, want.wild_length);
    EXPECT_EQ(a.flength, want.flength);
    EXPECT_EQ(a.fwild_length, want.fwild_length);
    EXPECT_LE(a.fwild_length, qor::MAX_ALPHA_LENGTH);
    EXPECT_EQ(a.digit_table, nullptr);
    EXPECT_EQ(a.num_digits, 0);
    for (int k = 0; k < 9; k++) EXPECT_EQ(a.transition_regularizer[k], kTransition[k]) << k;
    double sum = 0;
    for (int k = 0; k < a.flength; k++) sum += a.match_regularizer[k];
    EXPECT_NEAR(sum, want.regularizer_sum, 2e-6);
    EXPECT_EQ(a.match_regularizer[0], want.first);
    EXPECT_EQ(a.match_regularizer[a.flength - 1], want.last);
    for (int k = 0; k < qor::MAX_ALPHA_LENGTH; k++) {
      EXPECT_EQ(a.insert_regularizer[k], a.match_regularizer[k]) << k;
      if (k >= a.flength) {
        EXPECT_EQ(a.match_regularizer[k], 0.0f) << k;
      } else {
        EXPECT_GT(a.match_regularizer[k], 0.0f) << k;
      }
    }
  }
}

TEST(BuiltinTable, CodonWeightsAreIndexedByTheirThreeBases) {
  const qor::Alphabet &codon = qor::alphabet_table[1];
  ASSERT_EQ(codon.internal_id, qor::CODON_ID);
  // index 16*b1 + 4*b2 + b3 with A 0, G 1, C 2, T 3
  struct {
    const char *codon;
    float weight;
  } cases[] = {{"AAA", 0.024f}, {"AAG", 0.0322f}, {"AGA", 0.0117f}, {"GAA", 0.0289f}, {"GCA", 0.016f},
               {"CTA", 0.007f}, {"TAA", 0.0007f}, {"TGA", 0.0012f}, {"TTG", 0.0128f}, {"TTT", 0.0172f}};
  for (const auto &c : cases) {
    int index = 0;
    for (int k = 0; k < 3; k++) index = 4 * index + static_cast<int>(strchr("AGCT", c.codon[k]) - "AGCT");
    EXPECT_EQ(codon.match_regularizer[index], c.weight) << c.codon;
  }
}

TEST(BuiltinTable, FreeSlotsThenTerminator) {
  for (int i = qor::NUM_BUILTIN_ALPHABETS; i < qor::NUM_BUILTIN_ALPHABETS + qor::NUM_ALPHABET_DEF_SLOTS;
       i++) {
    EXPECT_EQ(qor::alphabet_table[i].internal_id, qor::ALPHABET_DEF_ID) << i;
    EXPECT_EQ(qor::alphabet_table[i].name, nullptr) << i;
  }
  const qor::Alphabet &end = qor::alphabet_table[qor::NUM_BUILTIN_ALPHABETS + qor::NUM_ALPHABET_DEF_SLOTS];
  EXPECT_EQ(end.internal_id, 0);
  EXPECT_EQ(end.name, nullptr);
}

// The translate table written out from the letters and pairs of a row: every byte the wildcard,
// each letter (and its lower case) its index, then each pair XY makes X and x read as Y.
std::vector<int> reference_translate(const BuiltinRow &row) {
  std::vector<int> t(256, row.wild_length - 1);
  for (int i = 0; row.letters[i] != '\0'; i++) {
    t[static_cast<unsigned char>(row.letters[i])] = i;
    t[static_cast<unsigned char>(row.letters[i]) + 32] = i;
  }
  if (row.convert != nullptr) {
    std::string conv = row.convert;
    for (size_t p = 0; p + 1 < conv.size(); p += 3) {
      int to = t[static_cast<unsigned char>(conv[p + 1])];
      t[static_cast<unsigned char>(conv[p])] = to;
      t[static_cast<unsigned char>(conv[p]) + 32] = to;
    }
  }
  return t;
}

TEST(BuiltinTranslate, EveryByteOfEveryAlphabet) {
  qor::init_alphabets();
  for (int i = 0; i < qor::NUM_BUILTIN_ALPHABETS; i++) {
    const BuiltinRow &row = kBuiltins[i];
    std::vector<int> want = reference_translate(row);
    for (int c = 0; c < 256; c++)
      EXPECT_EQ(qor::alphabet_table[i].translate[c], want[c]) << row.name << " byte " << c;
  }
}

TEST(BuiltinTranslate, ConversionPairsReadAsTheirTargets) {
  qor::init_alphabets();
  struct Case {
    const char *name;
    const char *input;
    const char *as;  // the letter each input character reads as
  } cases[] = {
      {"DNA", "XxUuNn", "NNTTNN"}, {"CODON", "XxUu", "NNTT"},         {"RNA", "XxTt", "NNUU"},
      {"DSSP", "Ll", "CC"},        {"EHL", "GgLTSBIlb", "HHCCCCCCC"}, {"EHL2", "GLTSBIib", "HCCCEHHE"},
      {"EHTL", "GLSBI", "HCCCC"},  {"EHTL2", "BGILS", "EHHCC"},       {"EBHTL", "GILS", "HHCC"},
      {"EBGHSTL", "IiLl", "HHCC"}, {"EBGHTL", "ILS", "HCC"},          {"STRIDE", "LSls", "CCCC"},
      {"STR2", "IiLl", "HHCC"},
  };
  for (const Case &c : cases) {
    const qor::Alphabet *a = nullptr;
    for (int i = 0; i < qor::NUM_BUILTIN_ALPHABETS; i++)
      if (strcmp(qor::alphabet_table[i].name, c.name) == 0) a = &qor::alphabet_table[i];
    ASSERT_NE(a, nullptr) << c.name;
    for (size_t k = 0; c.input[k] != '\0'; k++) {
      int want = static_cast<int>(strchr(a->letters, c.as[k]) - a->letters);
      EXPECT_EQ(a->translate[static_cast<unsigned char>(c.input[k])], want) << c.name << " " << c.input[k];
    }
  }
}

TEST(BuiltinTranslate, UnknownAndHighBytesReadAsTheWildcard) {
  qor::init_alphabets();
  const qor::Alphabet &dna = qor::alphabet_table[0];
  for (unsigned char c :
       {static_cast<unsigned char>('#'), static_cast<unsigned char>('*'), static_cast<unsigned char>('J'),
        static_cast<unsigned char>(0), static_cast<unsigned char>(0x80), static_cast<unsigned char>(0xC8),
        static_cast<unsigned char>(0xFF)})
    EXPECT_EQ(dna.translate[c], 6) << static_cast<int>(c);
  // An alphabet whose letters stop before the wildcard index: only the wildcard is unnamed.
  const qor::Alphabet &relsa2 = qor::alphabet_table[29];
  ASSERT_STREQ(relsa2.name, "RELSA2");
  EXPECT_EQ(relsa2.translate['B'], 0);
  EXPECT_EQ(relsa2.translate['e'], 1);
  EXPECT_EQ(relsa2.translate['X'], 2);
}

TEST(SetTransTable, ConversionStrings) {
  struct Case {
    const char *convert;
    const char *message;   // on standard error
    int x_index, u_index;  // what X and U read as afterwards (N 4, T 3, the wildcard 5)
  } cases[] = {
      {"XN,UT", "", 4, 3},
      {"XN,", "", 4, 5},   // a trailing comma ends the list
      {"XN,U", "", 4, 5},  // an unpaired last character is ignored
      {"XN;UT", "Alphabet test has a bad conversion string\n", 4, 5},
      {"XNUT", "Alphabet test has a bad conversion string\n", 4, 5},
      {"", "", 5, 5},
  };
  for (const Case &c : cases) {
    qor::Alphabet a{};
    a.name = const_cast<char *>("test");
    a.letters = const_cast<char *>("ACGTN");  // the wildcard (index 5) has no letter
    a.length = 5;
    a.wild_length = 6;
    a.convert = c.convert;
    std::string err = stderr_of([&] { qor::set_trans_table(&a); });
    EXPECT_EQ(err, c.message) << c.convert;
    EXPECT_EQ(a.translate['X'], c.x_index) << c.convert;
    EXPECT_EQ(a.translate['x'], c.x_index) << c.convert;
    EXPECT_EQ(a.translate['U'], c.u_index) << c.convert;
    EXPECT_EQ(a.translate['g'], 2) << c.convert;
  }
}

TEST(SetTransTable, LaterDuplicateLetterWins) {
  qor::Alphabet a{};
  a.name = const_cast<char *>("dup");
  a.letters = const_cast<char *>("ABAC");
  a.length = 3;
  a.wild_length = 4;
  qor::set_trans_table(&a);
  EXPECT_EQ(a.translate['A'], 2);
  EXPECT_EQ(a.translate['a'], 2);
  EXPECT_EQ(a.translate['B'], 1);
  EXPECT_EQ(a.translate['Z'], 3);
}

TEST(AlphabetIdToInfo, FindsBuiltinsAndRejectsUnknownIds) {
  EXPECT_STREQ(qor::alphabet_id_to_info(1)->name, "DNA");
  EXPECT_STREQ(qor::alphabet_id_to_info(qor::CODON_ID)->name, "CODON");
  EXPECT_STREQ(qor::alphabet_id_to_info(18)->name, "STRIDE");
  EXPECT_EXIT(qor::alphabet_id_to_info(99), testing::ExitedWithCode(1),
              testing::Eq(std::string("Error: alphabet_id_to_info: unknown alphabet id 99\n")));
  // The free slots carry id 35 but no name, so no record answers it yet.
  EXPECT_EXIT(qor::alphabet_id_to_info(qor::ALPHABET_DEF_ID), testing::ExitedWithCode(1),
              testing::Eq(std::string("Error: alphabet_id_to_info: unknown alphabet id 35\n")));
}

}  // namespace
