// The alphabet table: the 34 built-in alphabets, the user-defined slots, the per-track alphabets,
// table lookup by id and the translation tables.
//
// Sections: built-in data; globals; translation tables; lookup.
#include <cstdio>

#include "alphabet/alphabet.h"
#include "util/util.h"

namespace qor {

// ---- Built-in data ----------------------------------------------------------------------------

// clang-format off
// The names and letters of the built-in records point at string literals: the record type holds
// them as owned (writable) text because user-defined slots own theirs, but no code writes or
// releases the text of a built-in record.
#define BUILTIN_TEXT(s) const_cast<char *>(s)

// Into Delete from D, M, I; into Match from D, M, I; into Insert from D, M, I. Shared by every
// built-in alphabet and copied into user-defined ones.
#define TRANSITION_REGULARIZER \
  {1.886984f, 0.254944f, 0.376488f, 1.819972f, 15.52134f, 3.764209f, 0.225758f, 0.265967f, 4.006562f}

// The match and insert regularizers of a built-in alphabet are equal: the first flength entries
// are given, the rest are 0.
#define REGULARIZER(...) {__VA_ARGS__}, {__VA_ARGS__}

// CODON: index 16*b1 + 4*b2 + b3 with the base indices A 0, G 1, C 2, T 3.
#define CODON_REGULARIZER \
  0.024f, 0.0322f, 0.0192f, 0.0167f, 0.0117f, 0.0117f, 0.0194f, 0.0121f, 0.0149f, 0.0062f, 0.0191f, 0.013f,\
  0.0073f, 0.0222f, 0.0211f, 0.0158f, 0.0289f, 0.04f, 0.0255f, 0.022f, 0.0164f, 0.0165f, 0.0226f, 0.0108f,\
  0.016f, 0.0075f, 0.0283f, 0.0186f, 0.0071f, 0.0286f, 0.0146f, 0.011f, 0.012f, 0.0344f, 0.015f, 0.0107f,\
  0.0062f, 0.0116f, 0.0107f, 0.0046f, 0.0168f, 0.007f, 0.02f, 0.0174f, 0.007f, 0.0401f, 0.0197f, 0.013f,\
  0.0007f, 0.0006f, 0.0154f, 0.0121f, 0.0012f, 0.0131f, 0.0126f, 0.0103f, 0.012f, 0.0045f, 0.0176f, 0.0149f,\
  0.0074f, 0.0128f, 0.0204f, 0.0172f

// Fields: internal_id, name, comment, length, wild_length, flength, fwild_length, letters, convert,
// transition_regularizer, match_regularizer and insert_regularizer, translate (built by
// init_alphabets), digit_table, num_digits.
#define FREE_SLOT \
  {ALPHABET_DEF_ID, nullptr, nullptr, 0, 0, 0, 0, nullptr, nullptr, {}, {}, {}, {}, nullptr, 0}

Alphabet alphabet_table[NUM_BUILTIN_ALPHABETS + NUM_ALPHABET_DEF_SLOTS + 1] = {
    {1, BUILTIN_TEXT("DNA"), "DNA with R=Purine G/A and Y=Pyrimidine C/T",
     4, 7, 4, 7, BUILTIN_TEXT("AGCTRYN"), "XN,UT", TRANSITION_REGULARIZER,
     REGULARIZER(0.25f, 0.25f, 0.25f, 0.25f), {}, nullptr, 0},
    {34, BUILTIN_TEXT("CODON"), "DNA codons in AAA G..C..TTT order",
     4, 5, 64, 125, BUILTIN_TEXT("AGCTN"), "XN,UT", TRANSITION_REGULARIZER,
     REGULARIZER(CODON_REGULARIZER), {}, nullptr, 0},
    {2, BUILTIN_TEXT("RNA"), "RNA with R=Purine G/A and Y=Pyrimidine C/U",
     4, 7, 4, 7, BUILTIN_TEXT("AGCURYN"), "XN,TU", TRANSITION_REGULARIZER,
     REGULARIZER(0.25f, 0.25f, 0.25f, 0.25f), {}, nullptr, 0},
    {3, BUILTIN_TEXT("protein"), "Protein with B=N/D and Z=Q/E",
     20, 23, 20, 23, BUILTIN_TEXT("ACDEFGHIKLMNPQRSTVWYBZX"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.08713f, 0.03347f, 0.04687f, 0.04953f, 0.03977f, 0.08861f, 0.03362f, 0.03689f, 0.08048f,
                 0.08536f, 0.01475f, 0.04043f, 0.05068f, 0.03826f, 0.0409f, 0.06958f, 0.05854f, 0.06472f,
                 0.01049f, 0.02992f), {}, nullptr, 0},
    {4, BUILTIN_TEXT("DSSP"), "DSSP Secondary structure alphabet",
     8, 9, 8, 9, BUILTIN_TEXT("EHTSGBICX"), "LC", TRANSITION_REGULARIZER,
     REGULARIZER(0.104f, 0.159f, 0.058f, 0.047f, 0.019f, 0.006f, 0.0001f, 0.103f), {}, nullptr, 0},
    {5, BUILTIN_TEXT("EHL"), "Secondary structure alphabet",
     3, 4, 3, 4, BUILTIN_TEXT("EHCX"), "GH,LC,TC,SC,BC,IC", TRANSITION_REGULARIZER,
     REGULARIZER(0.104f, 0.178f, 0.2141f), {}, nullptr, 0},
    {6, BUILTIN_TEXT("EHL2"), "Secondary structure alphabet",
     3, 4, 3, 4, BUILTIN_TEXT("EHCX"), "GH,LC,TC,SC,BE,IH", TRANSITION_REGULARIZER,
     REGULARIZER(0.11f, 0.178f, 0.208f), {}, nullptr, 0},
    {7, BUILTIN_TEXT("EHTL"), "Secondary structure alphabet",
     4, 5, 4, 5, BUILTIN_TEXT("EHTCX"), "GH,LC,SC,BC,IC", TRANSITION_REGULARIZER,
     REGULARIZER(0.104f, 0.178f, 0.058f, 0.1561f), {}, nullptr, 0},
    {8, BUILTIN_TEXT("EHTL2"), "Secondary structure alphabet",
     4, 5, 4, 5, BUILTIN_TEXT("EHTCX"), "BE,GH,IH,LC,SC", TRANSITION_REGULARIZER,
     REGULARIZER(0.2284f, 0.3686f, 0.2184f, 0.1845f), {}, nullptr, 0},
    {9, BUILTIN_TEXT("EBHTL"), "Secondary structure alphabet",
     5, 6, 5, 6, BUILTIN_TEXT("EBHTCX"), "GH,IH,LC,SC", TRANSITION_REGULARIZER,
     REGULARIZER(0.2164f, 0.012f, 0.3686f, 0.2184f, 0.1845f), {}, nullptr, 0},
    {10, BUILTIN_TEXT("EBGHSTL"), "Secondary structure alphabet",
     7, 8, 7, 8, BUILTIN_TEXT("EBGHSTCX"), "IH,LC", TRANSITION_REGULARIZER,
     REGULARIZER(0.215f, 0.012f, 0.039f, 0.328f, 0.088f, 0.115f, 0.203f), {}, nullptr, 0},
    {11, BUILTIN_TEXT("EBGHTL"), "Secondary structure alphabet",
     6, 7, 6, 7, BUILTIN_TEXT("EBGHTCX"), "IH,LC,SC", TRANSITION_REGULARIZER,
     REGULARIZER(0.2164f, 0.012f, 0.0362f, 0.3325f, 0.2184f, 0.1845f), {}, nullptr, 0},
    {18, BUILTIN_TEXT("STRIDE"), "Full STRIDE Secondary structure alphabet",
     7, 8, 7, 8, BUILTIN_TEXT("EBGHITCX"), "LC,SC", TRANSITION_REGULARIZER,
     REGULARIZER(0.2164f, 0.012f, 0.0362f, 0.3323f, 0.0002f, 0.2184f, 0.1845f), {}, nullptr, 0},
    {12, BUILTIN_TEXT("PB"), "Protein blocks alphabet",
     16, 17, 16, 17, BUILTIN_TEXT("ABCDEFGHIJKLMNOPX"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.03831f, 0.04491f, 0.08461f, 0.1883f, 0.02189f, 0.06679f, 0.01209f, 0.02192f, 0.01547f,
                 0.008809f, 0.05426f, 0.05314f, 0.3122f, 0.01855f, 0.02516f, 0.03363f), {}, nullptr, 0},
    {13, BUILTIN_TEXT("STR"), "Strand alphabet",
     13, 14, 13, 14, BUILTIN_TEXT("ABCEGHIMPQSTZX"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.0466f, 0.01202f, 0.2024f, 0.01061f, 0.0388f, 0.3279f, 0.0001637f, 0.01118f, 0.01883f,
                 0.02912f, 0.08816f, 0.1149f, 0.09935f), {}, nullptr, 0},
    {14, BUILTIN_TEXT("ANG"), "Quellan angle alphabet without C (cis)",
     10, 11, 10, 11, BUILTIN_TEXT("EPGHLYDNTSX"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.1768f, 0.1729f, 0.08183f, 0.4252f, 0.0225f, 0.0372f, 0.02178f, 0.02616f, 0.02317f,
                 0.01257f), {}, nullptr, 0},
    {17, BUILTIN_TEXT("BYS"), "Quellan angle alphabet including C (cis)",
     11, 12, 11, 12, BUILTIN_TEXT("CDEGHLNPSTYX"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.0023f, 0.0218f, 0.1761f, 0.0818f, 0.424f, 0.0226f, 0.0263f, 0.1716f, 0.0128f, 0.0233f,
                 0.0375f), {}, nullptr, 0},
    {15, BUILTIN_TEXT("TCO"), "Cosine dihedral alphabet",
     4, 5, 4, 5, BUILTIN_TEXT("EFGHX"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.2902f, 0.1566f, 0.1111f, 0.4421f), {}, nullptr, 0},
    {16, BUILTIN_TEXT("ALPHA"), "C-alpha dihedral alphabet",
     11, 12, 11, 12, BUILTIN_TEXT("ABCDEFGHISTX"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.08371f, 0.1143f, 0.05346f, 0.02514f, 0.1516f, 0.01864f, 0.03456f, 0.3321f, 0.07941f,
                 0.07248f, 0.03453f), {}, nullptr, 0},
    {19, BUILTIN_TEXT("STR2"), "STR2 alphabet",
     13, 14, 13, 14, BUILTIN_TEXT("ABCEGHMPQSTYZX"), "IH,LC", TRANSITION_REGULARIZER,
     REGULARIZER(0.0466f, 0.01202f, 0.2024f, 0.01061f, 0.0388f, 0.328f, 0.01118f, 0.01883f, 0.02912f,
                 0.08816f, 0.1149f, 0.0399f, 0.05945f), {}, nullptr, 0},
    {20, BUILTIN_TEXT("CB_BURIAL_12_7"), "CB_BURIAL_12_7 alphabet",
     7, 8, 7, 8, BUILTIN_TEXT("ABCDEFG"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.09847f, 0.1427f, 0.1683f, 0.1614f, 0.1726f, 0.1646f, 0.09192f), {}, nullptr, 0},
    {21, BUILTIN_TEXT("CB_BURIAL_14_7"), "CB_BURIAL_14_7 alphabet",
     7, 8, 7, 8, BUILTIN_TEXT("ABCDEFG"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.1187f, 0.153f, 0.1476f, 0.1603f, 0.1538f, 0.1574f, 0.1093f), {}, nullptr, 0},
    {22, BUILTIN_TEXT("CB_BURIAL_16_7"), "CB_BURIAL_14_7 alphabet",
     7, 8, 7, 8, BUILTIN_TEXT("ABCDEFG"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.1275f, 0.1499f, 0.1479f, 0.1553f, 0.1516f, 0.1538f, 0.1139f), {}, nullptr, 0},
    {23, BUILTIN_TEXT("BURIAL_8_7"), "BURIAL_8_7 alphabet",
     7, 8, 7, 8, BUILTIN_TEXT("ABCDEFG"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.1238f, 0.1752f, 0.1471f, 0.1458f, 0.1435f, 0.1473f, 0.1172f), {}, nullptr, 0},
    {24, BUILTIN_TEXT("BURIAL_9_7"), "BURIAL_9_7 alphabet",
     7, 8, 7, 8, BUILTIN_TEXT("ABCDEFG"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.1506f, 0.1675f, 0.1393f, 0.1385f, 0.1366f, 0.1321f, 0.1354f), {}, nullptr, 0},
    {25, BUILTIN_TEXT("BURIAL_10_7"), "BURIAL_10_7 alphabet",
     7, 8, 7, 8, BUILTIN_TEXT("ABCDEFG"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.1456f, 0.1619f, 0.1419f, 0.1395f, 0.1404f, 0.135f, 0.1357f), {}, nullptr, 0},
    {26, BUILTIN_TEXT("CA_BURIAL_12_7"), "CA_BURIAL_12_7 alphabet",
     7, 8, 7, 8, BUILTIN_TEXT("ABCDEFG"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.1168f, 0.1594f, 0.149f, 0.1785f, 0.1746f, 0.1772f, 0.04449f), {}, nullptr, 0},
    {27, BUILTIN_TEXT("CA_BURIAL_14_7"), "CA_BURIAL_14_7 alphabet",
     7, 8, 7, 8, BUILTIN_TEXT("ABCDEFG"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.1173f, 0.1323f, 0.1578f, 0.1524f, 0.1656f, 0.1546f, 0.1199f), {}, nullptr, 0},
    {28, BUILTIN_TEXT("ABSSA7"), "ABSSA7 alphabet",
     7, 8, 7, 8, BUILTIN_TEXT("BCDHGFE"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.1407f, 0.137f, 0.1612f, 0.1488f, 0.1419f, 0.1452f, 0.1252f), {}, nullptr, 0},
    {29, BUILTIN_TEXT("RELSA2"), "RELSA2 alphabet",
     2, 3, 2, 3, BUILTIN_TEXT("BE"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.4477f, 0.5523f), {}, nullptr, 0},
    {30, BUILTIN_TEXT("RELSA3"), "RELSA3 alphabet",
     3, 4, 3, 4, BUILTIN_TEXT("BIE"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.357f, 0.298f, 0.345f), {}, nullptr, 0},
    {31, BUILTIN_TEXT("RELSA7"), "RELSA7 alphabet",
     7, 8, 7, 8, BUILTIN_TEXT("ABCDEFG"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.1416f, 0.1519f, 0.1424f, 0.1406f, 0.1513f, 0.1423f, 0.13f), {}, nullptr, 0},
    {32, BUILTIN_TEXT("RELSA10"), "RELSA10 alphabet",
     10, 11, 10, 11, BUILTIN_TEXT("ABCDEFGHIJ"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.1768f, 0.09512f, 0.08502f, 0.09076f, 0.09783f, 0.1094f, 0.1172f, 0.1103f, 0.07739f,
                 0.04011f), {}, nullptr, 0},
    {33, BUILTIN_TEXT("NEAR-BACKBONE-11"), "Near Backbone 11 alphabet",
     11, 12, 11, 12, BUILTIN_TEXT("ABCDEFGHIJK"), nullptr, TRANSITION_REGULARIZER,
     REGULARIZER(0.0933f, 0.0738f, 0.0766f, 0.1089f, 0.0918f, 0.0869f, 0.1229f, 0.0937f, 0.0988f, 0.0855f,
                 0.0679f), {}, nullptr, 0},
    // User-defined slots, filled in order by alphabet definitions.
    FREE_SLOT, FREE_SLOT, FREE_SLOT, FREE_SLOT, FREE_SLOT, FREE_SLOT,
    // Terminator.
    {0, nullptr, nullptr, 0, 0, 0, 0, nullptr, nullptr, {}, {}, {}, {}, nullptr, 0},
};

#undef FREE_SLOT
#undef CODON_REGULARIZER
#undef REGULARIZER
#undef TRANSITION_REGULARIZER
#undef BUILTIN_TEXT
// clang-format on

// ---- Globals ----------------------------------------------------------------------------------

Alphabet *alphabets[MAX_TRACKS] = {};
int num_alphabets = 0;
Alphabet *alphabet = nullptr;

// ---- Translation tables -----------------------------------------------------------------------

// set_trans_table: every byte reads as the default wildcard (wild_length - 1) unless a letter or a
// conversion pair names it. Letters map themselves and their lower-case form to their index (a
// later duplicate wins); a pair XY makes X and its lower-case form read as Y does. A malformed
// conversion string is reported on standard error and ends the conversions; it is not fatal.
void set_trans_table(Alphabet *a) {
  int wild = a->wild_length > 0 ? a->wild_length - 1 : 0;
  for (int c = 0; c < 256; c++) a->translate[c] = static_cast<unsigned char>(wild);
  if (a->letters != nullptr) {
    for (int i = 0; a->letters[i] != '\0'; i++) {
      int c = static_cast<unsigned char>(a->letters[i]);
      a->translate[c] = static_cast<unsigned char>(i);
      if (c + 32 < 256) a->translate[c + 32] = static_cast<unsigned char>(i);
    }
  }
  if (a->convert == nullptr) return;
  const unsigned char *p = reinterpret_cast<const unsigned char *>(a->convert);
  while (p[0] != '\0' && p[1] != '\0') {
    unsigned char to = a->translate[p[1]];
    a->translate[p[0]] = to;
    if (p[0] + 32 < 256) a->translate[p[0] + 32] = to;
    if (p[2] == '\0') return;
    if (p[2] != ',') {
      fprintf(stderr, "Alphabet %s has a bad conversion string\n", a->name != nullptr ? a->name : "");
      return;
    }
    p += 3;
  }
}

static bool builtin_tables_built = false;

// init_alphabets: builds translate for every built-in record. Running it again is harmless: the
// letters and conversions of the built-in records never change.
void init_alphabets() {
  for (int i = 0; i < NUM_BUILTIN_ALPHABETS; i++) set_trans_table(&alphabet_table[i]);
  builtin_tables_built = true;
}

void ensure_alphabets_initialized() {
  if (!builtin_tables_built) init_alphabets();
}

// ---- Lookup -----------------------------------------------------------------------------------

// alphabet_id_to_info: the first named record with this id (built-in or user-defined); fatal when
// there is none.
Alphabet *alphabet_id_to_info(int internal_id) {
  for (Alphabet *a = alphabet_table; a->name != nullptr; a++)
    if (a->internal_id == internal_id) return a;
  error("alphabet_id_to_info: unknown alphabet id %d", internal_id);
}

}  // namespace qor
