// Alphabet selection and definition: installing alphabets on tracks, selecting built-in alphabets
// by name, defining letter and numeric alphabets, alphabet parameter lines, and the guess of an
// alphabet from a sequence file.
//
// Sections: helpers; installing; selecting by name; defining; parameter lines; ensuring an alphabet.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "alphabet/alphabet.h"
#include "init/init.h"
#include "seqfile/seqfile.h"
#include "util/util.h"

namespace qor {

// ---- Helpers ----------------------------------------------------------------------------------

static char *copy_text(const char *s) {
  size_t n = strlen(s);
  if (n > 0x7ffffff0u) error("out of memory allocating %zu bytes", n + 1);
  char *copy = static_cast<char *>(mem_alloc(static_cast<int>(n + 1)));
  memcpy(copy, s, n + 1);
  return copy;
}

static const char *text_or_empty(const char *s) {
  return s != nullptr ? s : "";
}

static void check_track(int track, const char *where) {
  if (track < 0 || track >= MAX_TRACKS)
    error("%s: track %d is out of range; tracks are numbered 0 to %d", text_or_empty(where), track,
          MAX_TRACKS - 1);
}

// The first named record whose name equals name (case and '-'/'_' ignored), or null.
static Alphabet *find_alphabet_by_name(const char *name) {
  for (Alphabet *a = alphabet_table; a->name != nullptr; a++)
    if (capscomp(a->name, name) == 0) return a;
  return nullptr;
}

// ---- Installing -------------------------------------------------------------------------------

// set_alphabet
//   Installs a on track. A track that already holds an alphabet of the same name (exact
//   comparison) is left as it is. Track 0's alphabet is also the current alphabet, and its name is
//   copied into the parameter variable alphabetname unless the user set that parameter.
// Fatal: the track holds an alphabet of another name; a track outside 0..MAX_TRACKS-1.
void set_alphabet(Alphabet *a, int track) {
  check_track(track, "set_alphabet");
  Alphabet *old = alphabets[track];
  if (old != nullptr) {
    if (strcmp(old->name, a->name) == 0) return;
    error("alphabet is %s, trying to set it to %s.", old->name, a->name);
  }
  alphabets[track] = a;
  num_alphabets++;
  if (track == 0) {
    alphabet = a;
    if (!var_changed(&alphabetname)) {
      free(alphabetname);
      alphabetname = copy_text(a->name);
    }
  }
}

// ---- Selecting by name ------------------------------------------------------------------------

// init_alphabet_by_name
//   Selects the built-in alphabet called name (first match in table order, case and '-'/'_'
//   ignored) for track.
// Fatal: an unknown name or the name of a user-defined alphabet (the legal names are listed and
//   the program exits with status 1); an alphabet longer than MAX_ALPHA_LENGTH; the track holds
//   another alphabet.
void init_alphabet_by_name(const char *name, int track, const char *where) {
  ensure_alphabets_initialized();
  where = text_or_empty(where);
  Alphabet *found = find_alphabet_by_name(name);
  if (found == nullptr || found->internal_id == ALPHABET_DEF_ID) {
    // One fatal message through error (so that every fatal path ends the same way): the line
    // naming the alphabet, then the legal names.
    std::string legal;
    for (Alphabet *a = alphabet_table; a->internal_id != 0; a++)
      if (a->name != nullptr) legal += std::string("  ") + a->name;
    error("%s: Unrecognized alphabet %s\nLegal alphabets are: %s", where, name, legal.c_str());
  }
  if (found->fwild_length > MAX_ALPHA_LENGTH)
    error("%s: Length of alphabet %s exceeds MAX_ALPHA_LENGTH", where, name);
  set_alphabet(found, track);
}

// ---- Defining ---------------------------------------------------------------------------------

// find_empty_def: the index of the first free user-defined slot; fatal when all are taken.
int find_empty_def(const char *where) {
  for (int i = 0; alphabet_table[i].internal_id != 0; i++)
    if (alphabet_table[i].internal_id == ALPHABET_DEF_ID && alphabet_table[i].name == nullptr) return i;
  error("%s: to many alphabet_def alphabets specified", text_or_empty(where));
}

// Letters of two definitions agree when they are equal after upper-casing the new one (the
// stored letters are upper case).
static bool same_letters(const char *stored, const char *spec) {
  if (stored == nullptr) return false;
  size_t i = 0;
  for (; stored[i] != '\0' && spec[i] != '\0'; i++) {
    char c = spec[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (stored[i] != c) return false;
  }
  return stored[i] == spec[i];
}

// init_alphabet_by_def
//   Defines the alphabet name from spec in a free slot and installs it on track. A spec starting
//   with a digit is numeric: its leading digits give the number n of values, written as decimal
//   numbers in sequences (digit_table holds the digits of 0..n, least significant first, num_digits
//   per value). Any other spec is the letter string. The last letter (value) is the wildcard; the
//   regularizers are uniform (1/flength) and the transition regularizer is the protein one's.
//   A track that already holds an alphabet of that name and definition is left as it is.
// Fatal: the track holds another alphabet or another definition; more than 255 numeric values;
//   more than MAX_ALPHA_LENGTH letters or values (the regularizer arrays hold no more); no free
//   slot; fewer than three letters; a letter outside A-Z, a-z.
void init_alphabet_by_def(const char *name, const char *spec, int track, const char *where) {
  ensure_alphabets_initialized();
  where = text_or_empty(where);
  spec = text_or_empty(spec);
  check_track(track, where);
  const bool numeric = spec[0] >= '0' && spec[0] <= '9';
  int n = 0;
  if (numeric) {
    // The value of the leading digits, held at INT_MAX when larger.
    long long value = 0;
    for (int i = 0; spec[i] >= '0' && spec[i] <= '9'; i++) {
      value = value * 10 + (spec[i] - '0');
      if (value > INT_MAX) value = INT_MAX;
    }
    n = static_cast<int>(value);
  } else {
    size_t len = strlen(spec);
    n = len > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(len);
  }

  Alphabet *old = alphabets[track];
  if (old != nullptr) {
    if (strcmp(old->name, name) != 0)
      error("%s: alphabet is %s, tried to set it to %s.", where, old->name, name);
    if (numeric) {
      if (old->wild_length == n) return;
      error("%s: numeric alphabet is %s, is defined as %d tried to set it to %d.", where, name,
            old->wild_length, n);
    }
    if (same_letters(old->letters, spec)) return;
    error("%s: alphabet is %s, is defined as \"%s\" tried to set it to \"%s\".", where, name,
          text_or_empty(old->letters), spec);
  }

  if (numeric && n > 255)
    error("%s: numeric alphabet %s is defined with %d characters; only 255 characters are permitted", where,
          name, n);
  if (n > MAX_ALPHA_LENGTH)
    error("%s: alphabet %s is defined with %d characters; at most %d (MAX_ALPHA_LENGTH) are permitted", where,
          name, n, MAX_ALPHA_LENGTH);

  Alphabet *a = &alphabet_table[find_empty_def(where)];
  a->name = copy_text(name);
  a->letters = numeric ? nullptr : copy_text(spec);
  a->digit_table = nullptr;
  a->num_digits = 0;
  a->wild_length = n;
  a->length = n - 1;
  a->flength = n - 1;
  a->fwild_length = n;
  if (n <= 2) error("%s: minimum defined alphabet is two letters plus a wild character", where);

  if (!numeric) {
    for (char *p = a->letters; *p != '\0'; p++) {
      char c = *p;
      if (c >= 'a' && c <= 'z')
        *p = static_cast<char>(c - 'a' + 'A');
      else if (!(c >= 'A' && c <= 'Z'))
        error("%s: alphabet can only contain alphabetic characters, got \"%s\"", where, spec);
    }
  } else {
    // powers[j] = 10^j for the digits needed to write n - 1.
    int powers[10] = {1};
    int digits = 1;
    for (long long v = 10; n > v; v *= 10) powers[digits++] = static_cast<int>(v);
    a->num_digits = digits;
    a->digit_table = static_cast<unsigned char *>(mem_alloc((n + 1) * digits));
    for (int x = 0; x <= n; x++)
      for (int j = 0; j < digits; j++)
        a->digit_table[x * digits + j] = static_cast<unsigned char>((x / powers[j]) % 10);
  }

  const Alphabet *protein = alphabet_id_to_info(3);
  for (int i = 0; i < 9; i++) a->transition_regularizer[i] = protein->transition_regularizer[i];
  const float uniform = 1.0f / static_cast<float>(a->flength);
  for (int i = 0; i < MAX_ALPHA_LENGTH; i++) {
    a->match_regularizer[i] = i < a->flength ? uniform : 0.0f;
    a->insert_regularizer[i] = a->match_regularizer[i];
  }
  set_trans_table(a);
  set_alphabet(a, track);
}

// ---- Parameter lines --------------------------------------------------------------------------

// process_alphabet
//   Handles a whole "alphabet name..." or "alphabet_def name spec..." entry (keyword included;
//   words split at white space and commas). The alphabets go to consecutive tracks from track, or
//   from track 0 when track is negative. For alphabet_def a spec "-" selects the built-in of that
//   name, and the parameter variable alphabet_def becomes the words after the keyword joined by
//   single blanks.
// Returns the alphabet of track (which also becomes the current alphabet) when track is
//   non-negative, else null.
// Fatal: no names, an odd alphabet_def list, more than one alphabet for a given track, more
//   alphabets than tracks, and every failure of selecting or defining them.
Alphabet *process_alphabet(const char *line, int track, const char *where) {
  where = text_or_empty(where);
  NameList *words = parse_name_list(line);
  const int count = words->count;
  const bool is_def = count > 0 && capscomp(words->names[0], "alphabet_def") == 0;
  if (is_def) {
    if (count < 3 || count % 2 == 0) {
      free(words);
      error("%s: alphabet_def must have a list of pairs of alphabet name and letters", where);
    }
  } else if (count < 2) {
    free(words);
    error("%s: alphabet must have a list of one or more alphabet names", where);
  }
  const int num = is_def ? (count - 1) / 2 : count - 1;
  if (track >= 0 && num != 1) {
    free(words);
    error("%s: bug: number of tracks must be one", where);
  }
  const int first = track >= 0 ? track : 0;
  if (first + num > MAX_TRACKS) {
    free(words);
    error("%s: %d alphabets given from track %d, but at most %d tracks are supported", where, num, first,
          MAX_TRACKS);
  }

  for (int k = 0; k < num; k++) {
    if (!is_def) {
      init_alphabet_by_name(words->names[1 + k], first + k, where);
      continue;
    }
    const char *name = words->names[1 + 2 * k];
    const char *spec = words->names[2 + 2 * k];
    if (strcmp(spec, "-") == 0)
      init_alphabet_by_name(name, first + k, where);
    else
      init_alphabet_by_def(name, spec, first + k, where);
  }

  if (is_def) {
    std::string joined;
    for (int i = 1; i < count; i++) {
      if (i > 1) joined += ' ';
      joined += words->names[i];
    }
    free(alphabet_def);
    alphabet_def = copy_text(joined.c_str());
  }
  free(words);

  if (track < 0) return nullptr;
  alphabet = alphabets[track];
  return alphabet;
}

// ---- Ensuring an alphabet ---------------------------------------------------------------------

// check_alphabet
//   Makes sure a current alphabet exists: when none is, the sequence type of seqfile (or, when
//   seqfile is null, of the first sequence file named by a parameter) chooses DNA (DNA or nucleic
//   type), RNA or protein for track 0.
// Fatal: no file to guess from; a file whose type cannot be guessed; the detection's own failures.
void check_alphabet(const char *seqfile) {
  if (alphabet != nullptr) return;
  const char *file = seqfile != nullptr ? seqfile : find_seq_file();
  if (file == nullptr) error("No sequence file found to set alphabet.");
  int format = 0;
  int type = SEQTYPE_UNKNOWN;
  seqfile_format_type(file, &format, &type, nullptr);
  const char *name = nullptr;
  if (type == SEQTYPE_DNA || type == SEQTYPE_NUCLEIC)
    name = "DNA";
  else if (type == SEQTYPE_RNA)
    name = "RNA";
  else if (type == SEQTYPE_PROTEIN)
    name = "protein";
  else
    error("No alphabet specified and file %s no help.", file);
  ensure_alphabets_initialized();
  set_alphabet(find_alphabet_by_name(name), 0);
}

}  // namespace qor
