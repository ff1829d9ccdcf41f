// Model file reading: block headers, text bodies (node records, type lines, alphabet and node-label
// lines), binary bodies (little-endian words and single-precision bit patterns), the first block of
// a named file, and recognising model files by name and by content.
//
// Sections: lines | headers | node records | text bodies | binary bodies | blocks |
//           first block of a file | model files
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "alphabet/alphabet.h"
#include "constraints/constraints.h"
#include "init/init.h"
#include "models/models.h"
#include "util/util.h"

namespace qor {

// Set once any binary body has been read; never reset.
static int binary_body_read = 0;
// Set once the extra-characters warning of read_probs has been given.
static int extra_characters_warned = 0;

int last_model_read_binary() {
  return binary_body_read;
}

// ---- Lines ------------------------------------------------------------------------------------

// What get_line found besides the text it stored.
struct LineInfo {
  bool too_long;  // the line did not fit: the rest of it was consumed and dropped
  bool nul;       // the line held a NUL byte (stored as a blank)
};

// Reads one line, newline included, into buf of capacity cap (at most cap - 1 bytes and the
// terminating NUL). false at end of file when nothing was read. A line that does not fit is
// consumed to its end and flagged, never split into two lines.
static bool get_line(FILE *stream, char *buf, int cap, LineInfo *info) {
  info->too_long = false;
  info->nul = false;
  int n = 0, c;
  bool any = false;
  while ((c = getc(stream)) != EOF) {
    any = true;
    if (c == '\0') {
      info->nul = true;
      c = ' ';
    }
    if (n < cap - 1)
      buf[n++] = static_cast<char>(c);
    else
      info->too_long = true;
    if (c == '\n') break;
  }
  buf[n] = '\0';
  return any;
}

// Reads and counts one line of a block body; fatal for a line that does not fit or holds a NUL byte.
static bool body_line(FILE *stream, const char *source, int *line_number, char *buf, int cap) {
  LineInfo info;
  if (!get_line(stream, buf, cap, &info)) return false;
  ++*line_number;
  if (info.too_long)
    error("%s(%d): line longer than %d characters in model definition", source, *line_number, cap - 1);
  if (info.nul) error("%s(%d): NUL byte in model definition", source, *line_number);
  return true;
}

static bool is_blank_line(const char *line) {
  for (const char *p = line; *p != '\0'; p++)
    if (!isspace(static_cast<unsigned char>(*p))) return false;
  return true;
}

// Reads lines until a non-blank one; fatal "Incomplete model" at end of file.
static void next_nonblank_body_line(FILE *stream, const char *source, int *line_number, char *buf) {
  do {
    if (!body_line(stream, source, line_number, buf, MODEL_LINE_BUFFER))
      error("%s(%d): Incomplete model -- no ENDMODEL\n", source, *line_number);
  } while (is_blank_line(buf));
}

// "%s(%d)": the location prefix handed to the alphabet and label readers.
static std::string location(const char *source, int line_number) {
  std::string s = source != nullptr ? source : "";
  s += "(" + std::to_string(line_number) + ")";
  return s;
}

// ---- Headers ----------------------------------------------------------------------------------

// 1 when the line begins with one of the four block-header prefixes (case-sensitive).
static bool is_header_line(const char *line) {
  return strncmp(line, "MODEL", 5) == 0 || strncmp(line, "REGULARIZE", 10) == 0 ||
         strncmp(line, "FREQUENCIES", 11) == 0 || strncmp(line, "NULLMODEL", 9) == 0;
}

// Searches for a header line. With count set every line read advances *line_number, so that it
// then holds the header's own line number; source (may be null) names the stream when the header
// line does not fit into buf.
static bool search_header(FILE *stream, int *line_number, char *buf, int size, bool count,
                          const char *source) {
  LineInfo info;
  while (get_line(stream, buf, size, &info)) {
    if (count) ++*line_number;
    if (!is_header_line(buf)) continue;
    if (info.too_long)
      error("%s(%d): model header line longer than %d characters", source != nullptr ? source : "model file",
            *line_number, size - 1);
    return true;
  }
  return false;
}

int read_to_next_model(FILE *stream, int *line_number, char *line, int size) {
  int ignored = line_number != nullptr ? *line_number : 0;
  return search_header(stream, &ignored, line, size, false, nullptr) ? 1 : 0;
}

// Splits a header into its kind word (the first word, cut at its first ':') and its free text
// (after the first word, blanks, a run of '-', blanks; without the final line end). Each output
// receives at most strlen(header) + 1 bytes.
static void split_header(const char *header, char *kind, char *text) {
  const char *p = header;
  while (*p != '\0' && *p != ' ' && *p != '\t' && *p != '\n' && *p != '\r') p++;
  if (kind != nullptr) {
    size_t n = 0;
    while (header + n < p && header[n] != ':') n++;
    memcpy(kind, header, n);
    kind[n] = '\0';
  }
  if (text != nullptr) {
    while (*p == ' ' || *p == '\t') p++;
    while (*p == '-') p++;
    while (*p == ' ' || *p == '\t') p++;
    size_t n = strlen(p);
    if (n > 0 && p[n - 1] == '\n') n--;
    if (n > 0 && p[n - 1] == '\r') n--;
    memcpy(text, p, n);
    text[n] = '\0';
  }
}

// ---- Node records -----------------------------------------------------------------------------

// Length of the decimal real at p (sign, digits, optional fraction, optional exponent); 0 when
// there is none.
static int decimal_real_length(const char *p) {
  const char *s = p;
  if (*s == '+' || *s == '-') s++;
  int digits = 0;
  while (isdigit(static_cast<unsigned char>(*s))) s++, digits++;
  if (*s == '.') {
    s++;
    while (isdigit(static_cast<unsigned char>(*s))) s++, digits++;
  }
  if (digits == 0) return 0;
  if (*s == 'e' || *s == 'E') {
    const char *e = s + 1;
    if (*e == '+' || *e == '-') e++;
    if (isdigit(static_cast<unsigned char>(*e))) {
      while (isdigit(static_cast<unsigned char>(*e))) e++;
      s = e;
    }
  }
  return static_cast<int>(s - p);
}

// True where a number or node number may end: white space, a '%' comment, the end of the line.
static bool ends_word(char c) {
  return c == '\0' || c == '%' || isspace(static_cast<unsigned char>(c));
}

static const char *skip_space(const char *p) {
  while (isspace(static_cast<unsigned char>(*p))) p++;
  return p;
}

// read_probs
//   Reads one node record whose first line is in line: an identifier (a word beginning with a
//   letter, or a node number), an optional type word (its first letter, upper-cased, becomes the
//   type), then 2 * flength + 9 numbers in block order, continuing over further lines; '%' ends a
//   line's numbers. The numbered node's number goes to *number and a lettered record's identifier
//   (the line's first character, upper-cased) to *letter (0 for a numbered record); either may be null.
// Returns 1 when the numbers ran short at a line that begins with a letter (the start of the next
//   record, or ENDMODEL): that line is left in line, counted, for the caller. Otherwise 0.
// Warnings: too few numbers (node keeps what was read); characters after the last number (once per
//   process). Fatal: no node number; a node number above MAX_MODEL_NODES; a number that is not a
//   decimal real or not finite in single precision.
int read_probs(FILE *stream, const char *source, int *line_number, char *line, Node **holder, int *number,
               char *letter) {
  if (*holder == nullptr) *holder = alloc_node();
  Node *node = *holder;
  const char *p = skip_space(line);
  char id_letter = 0;
  long id_number = 0;
  if (isalpha(static_cast<unsigned char>(*p))) {
    id_letter = static_cast<char>(toupper(static_cast<unsigned char>(line[0])));
    while (*p != '\0' && !isspace(static_cast<unsigned char>(*p))) p++;
  } else {
    const char *s = p;
    if (*s == '+' || *s == '-') s++;
    const char *digits = s;
    while (isdigit(static_cast<unsigned char>(*s))) s++;
    if (s == digits || !ends_word(*s)) error("%s(%d):  Node number expected\n", source, *line_number);
    errno = 0;
    id_number = strtol(p, nullptr, 10);
    if (errno == ERANGE || id_number > MAX_MODEL_NODES)
      error("%s(%d): node number %.*s exceeds the limit of %d\n", source, *line_number,
            static_cast<int>(s - p), p, MAX_MODEL_NODES);
    if (id_number < -MAX_MODEL_NODES) id_number = -1;
    p = s;
  }
  if (number != nullptr) *number = static_cast<int>(id_number);
  if (letter != nullptr) *letter = id_letter;
  p = skip_space(p);

  if (isalpha(static_cast<unsigned char>(*p))) {
    char type = static_cast<char>(toupper(static_cast<unsigned char>(*p)));
    if (node->type != 0)
      fprintf(stderr, "%s(%d):  Node type set twice.  Using %c\n", source, *line_number, type);
    node->type = type;
    while (*p != '\0' && !isspace(static_cast<unsigned char>(*p))) p++;
    p = skip_space(p);
  }

  const int needed = node->block_length;
  int filled = 0, pending = 0;
  int numbers_line = *line_number;  // the last line that numbers of this record came from
  while (filled < needed) {
    if (*p == '\0' || *p == '%') {
      if (!body_line(stream, source, line_number, line, MODEL_LINE_BUFFER)) {
        line[0] = '\0';
        p = line;
        break;
      }
      if (isalpha(static_cast<unsigned char>(line[0]))) {
        pending = 1;
        break;
      }
      p = skip_space(line);
      continue;
    }
    int len = decimal_real_length(p);
    if (len == 0 || !ends_word(p[len])) {
      int shown = 0;
      while (!ends_word(p[shown]) && shown < 40) shown++;
      error("%s(%d): invalid number \"%.*s\" in a regularizer or model node", source, *line_number,
            shown > 0 ? shown : 1, p);
    }
    float value = strtof(p, nullptr);
    if (!std::isfinite(value))
      error("%s(%d): number %.*s is not a finite single-precision value in a regularizer or model node",
            source, *line_number, len, p);
    node->block[filled++] = value;
    numbers_line = *line_number;
    p = skip_space(p + len);
  }

  if (filled < needed) {
    fprintf(stderr, "%s(%d): Too few entries in a regularizer or model node\n", source, numbers_line);
    fprintf(stderr, "\t check alphabet (was %d should be %d for alphabet %s)\n", filled, needed,
            alphabet != nullptr ? alphabet->name : "");
  } else if (*p != '\0' && *p != '%' && !extra_characters_warned) {
    extra_characters_warned = 1;
    fprintf(stderr, "%s(%d): Extra characters (%s) in regularizer or model node ignored ---\n", source,
            *line_number, line);
    fprintf(stderr, "   check alphabet (there should be %d numbers for alphabet %s", node->block_length,
            alphabet != nullptr ? alphabet->name : "");
    fprintf(stderr, ").\n   Further warnings of this type suppressed.\n");
    if (id_letter != 0)
      fprintf(stderr, "Node name %c\n", id_letter);
    else
      fprintf(stderr, "Node number %d\n", static_cast<int>(id_number));
  }
  return pending;
}

// ---- Text bodies ------------------------------------------------------------------------------

// Ends the program for a negatively numbered node.
[[noreturn]] static void negative_node_abort() {
  fprintf(stderr, "QOR no longer supports negatively-numbered nodes in models\n");
  fprintf(stderr, "Convert the model first with the model-conversion program of an earlier QOR release,\n");
  fprintf(stderr, "for example:   convertmodel new_model -i old_model.mod\n");
  error("Aborting");
}

// The growable array of numbered nodes of a text body.
struct NodeArray {
  std::vector<Node *> nodes;
  int max_node = -1;

  // Makes room for node n: capacity + max(n, 500), and always past n.
  void reserve_for(int n) {
    if (n < static_cast<int>(nodes.size())) return;
    size_t grown = nodes.size() + static_cast<size_t>(n > 500 ? n : 500);
    if (grown < static_cast<size_t>(n) + 1) grown = static_cast<size_t>(n) + 1;
    nodes.resize(grown, nullptr);
  }
  void raise_max(int n) {
    if (n > max_node) max_node = n;
  }
};

// A 'TYPE n c' line: sets the type of node n (creating it) to c, upper-cased when a lower-case letter.
static void read_type_line(const char *source, int line_number, const char *line, NodeArray *array) {
  const char *p = skip_space(line);
  while (*p != '\0' && !isspace(static_cast<unsigned char>(*p))) p++;
  p = skip_space(p);
  const char *s = p;
  if (*s == '+' || *s == '-') s++;
  const char *digits = s;
  while (isdigit(static_cast<unsigned char>(*s))) s++;
  if (s == digits) error("%s(%d):  Node number expected\n", source, line_number);
  errno = 0;
  long n = strtol(p, nullptr, 10);
  if (n < 0) negative_node_abort();
  if (errno == ERANGE || n > MAX_MODEL_NODES)
    error("%s(%d): node number %.*s exceeds the limit of %d\n", source, line_number, static_cast<int>(s - p),
          p, MAX_MODEL_NODES);
  p = skip_space(s);
  if (*p == '\0') error("%s(%d): TYPE line without a node type\n", source, line_number);
  char c = *p;
  int k = static_cast<int>(n);
  array->reserve_for(k);
  array->raise_max(k);
  Node *&node = array->nodes[k];
  if (node == nullptr) node = alloc_node();
  if (node->type != 0)
    fprintf(stderr, "Warning: %s(%d):  Node %d has two types: %c and %c.\n", source, line_number, k,
            node->type, c);
  node->type =
      islower(static_cast<unsigned char>(c)) ? static_cast<char>(toupper(static_cast<unsigned char>(c))) : c;
}

// Reads a text body whose first line is in buf, through its ENDMODEL line.
static RModel *read_text_body(FILE *stream, const char *source, int *line_number, char *buf, int track) {
  RModel *rm = alloc_rmodel(nullptr);
  NodeArray array;
  Node *end_node = nullptr;
  LabelMap *labels = nullptr;
  const Alphabet *node_alphabet = nullptr;  // the alphabet the first node was sized by

  for (;;) {
    if (strncmp(buf, "ENDMODEL", 8) == 0) break;
    if (is_header_line(buf)) error("%s(%d): Incomplete model -- no ENDMODEL\n", source, *line_number);
    int pending = 0;
    unsigned char first = static_cast<unsigned char>(buf[0]);
    if (first == '\0' || first == '\n' || first == '%' || first == ';') {
      // comment
    } else {
      Node **target = nullptr;
      switch (toupper(first)) {
        case 'A':
          process_alphabet(buf, track, location(source, *line_number).c_str());
          if (node_alphabet != nullptr && alphabet != node_alphabet)
            error("%s(%d): the alphabet line must come before the first node record", source, *line_number);
          break;
        case 'N':
          labels = parse_model_node_labels(labels, source, buf);
          break;
        case 'T':
          read_type_line(source, *line_number, buf, &array);
          break;
        case 'B':
          array.reserve_for(0);
          array.raise_max(0);
          target = &array.nodes[0];
          break;
        case 'E':
          target = &end_node;
          break;
        case 'G':
          target = &rm->generic;
          break;
        case 'L':
          target = &rm->lettcount;
          break;
        case 'F':
          target = &rm->freqave;
          break;
        default: {
          int record_line = *line_number;
          Node *fresh = nullptr;
          int n = 0;
          char letter = 0;
          pending = read_probs(stream, source, line_number, buf, &fresh, &n, &letter);
          if (letter != 0) {
            fprintf(stderr, "%s(%d): Invalid node identifier %c; node ignored\n", source, record_line,
                    letter);
            free_node(fresh);
            break;
          }
          if (n < 0) negative_node_abort();
          array.reserve_for(n);
          array.raise_max(n);
          Node *&slot = array.nodes[n];
          if (slot != nullptr) {
            if (slot->type != 0) fresh->type = slot->type;
            free_node(slot);
          }
          slot = fresh;
          if (fresh->block_length > 9 && fresh->match[0] < -0.00001f) fresh->type = 'F';
          break;
        }
      }
      if (target != nullptr) {
        pending = read_probs(stream, source, line_number, buf, target, nullptr, nullptr);
      }
      if (node_alphabet == nullptr && (array.max_node >= 0 || end_node != nullptr || rm->generic != nullptr ||
                                       rm->lettcount != nullptr || rm->freqave != nullptr))
        node_alphabet = alphabet;
    }
    if (!pending) next_nonblank_body_line(stream, source, line_number, buf);
  }

  check_alphabet(nullptr);
  rm->length = array.max_node;
  rm->neg_count = 0;
  alloc_rmodel(rm);
  for (int k = 0; k <= rm->length; k++) rm->slots[k] = array.nodes[k];
  rm->end_slots[0] = end_node;
  rm->begin = rm->length >= 0 ? rm->slots[0] : nullptr;
  rm->end = end_node;
  if (labels != nullptr) {
    label_rmodel_from_map(labels, rm, source);
    free_label_map(labels);
  }
  return rm;
}

// ---- Binary bodies ----------------------------------------------------------------------------

// The stream of a binary image and what its messages name.
struct BinaryImage {
  FILE *stream;
  const char *source;
  int line;  // line of the alphabet line that the image follows
};

[[noreturn]] static void image_ends_early(const BinaryImage &img) {
  error("%s(%d): binary model image ends early", img.source, img.line);
}

// One 32-bit word, least significant byte first.
static uint32_t read_word_bits(const BinaryImage &img) {
  unsigned char b[4];
  if (fread(b, 1, 4, img.stream) != 4) image_ends_early(img);
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
         static_cast<uint32_t>(b[3]) << 24;
}

static int32_t read_word(const BinaryImage &img) {
  uint32_t bits = read_word_bits(img);
  int32_t value;
  memcpy(&value, &bits, sizeof value);
  return value;
}

// One IEEE-754 single-precision bit pattern; fatal when it is not a finite number.
static float read_real(const BinaryImage &img) {
  uint32_t bits = read_word_bits(img);
  float value;
  memcpy(&value, &bits, sizeof value);
  if (!std::isfinite(value))
    error("%s(%d): binary model image holds a value that is not finite (bits 0x%08x)", img.source, img.line,
          static_cast<unsigned>(bits));
  return value;
}

// A shared-table word and, unless it is -1, its flength values; returns whether the table exists.
static bool read_table(const BinaryImage &img, std::vector<float> *table, int flength) {
  if (read_word(img) == -1) return false;
  table->resize(static_cast<size_t>(flength));
  for (int i = 0; i < flength; i++) (*table)[static_cast<size_t>(i)] = read_real(img);
  return true;
}

// One node image; null for an absent node. fim_table / ins_table (null when absent) replace the
// insert values of FIM / other nodes.
static Node *read_node_image(const BinaryImage &img, const std::vector<float> *fim_table,
                             const std::vector<float> *ins_table) {
  if (read_word(img) == 0) return nullptr;
  Node *node = alloc_node();
  if (read_word(img) != 0) {
    node->env = alloc_NodeEnv();
    node->env->acc = read_word(img);
    node->env->env = read_word(img);
    node->env->code = read_word(img);
  }
  int c = getc(img.stream);
  if (c == EOF) {
    free_node(node);
    image_ends_early(img);
  }
  node->type = static_cast<char>(c);
  const int flength = (node->block_length - 9) / 2;
  for (int i = 0; i < 9 + flength; i++) node->block[i] = read_real(img);
  const std::vector<float> *shared = node->type == 'F' ? fim_table : ins_table;
  for (int i = 0; i < flength; i++)
    node->insert[i] = shared != nullptr ? (*shared)[static_cast<size_t>(i)] : read_real(img);
  return node;
}

[[noreturn]] static void malformed_image(const BinaryImage &img, const char *what) {
  error("%s(%d): malformed binary model image: %s", img.source, img.line, what);
}

// Reads the word after the image and the rest of its line; it must be ENDMODEL.
static void read_image_end(const BinaryImage &img, int *line_number) {
  int c;
  while ((c = getc(img.stream)) != EOF && isspace(c))
    if (c == '\n') ++*line_number;
  char word[16];
  size_t n = 0;
  bool fits = true;
  while (c != EOF && !isspace(c)) {
    if (n < sizeof word - 1)
      word[n++] = static_cast<char>(c);
    else
      fits = false;
    c = getc(img.stream);
  }
  word[n] = '\0';
  while (c != EOF && c != '\n') c = getc(img.stream);
  if (c == '\n') ++*line_number;
  if (n == 0) image_ends_early(img);
  if (!fits || strcmp(word, "ENDMODEL") != 0) malformed_image(img, "not followed by ENDMODEL");
}

// binary_r_rmodel: reads the preamble (node-label lines, the alphabet line) and the binary image.
static RModel *binary_r_rmodel(FILE *stream, const char *source, int *line_number, int track) {
  std::vector<char> buf(MODEL_BINARY_PREAMBLE);
  LabelMap *labels = nullptr;
  for (;;) {
    if (!body_line(stream, source, line_number, buf.data(), MODEL_BINARY_PREAMBLE))
      error("unexpected EOF on %s", source);
    char first = buf[0];
    if (first == 'N' || first == 'n') labels = parse_model_node_labels(labels, source, buf.data());
    if (first == 'A' || first == 'a') break;
  }
  process_alphabet(buf.data(), track, location(source, *line_number).c_str());
  check_alphabet(nullptr);
  const int flength = alphabet->flength;
  BinaryImage img{stream, source, *line_number};

  int32_t slot_count = read_word(img);
  int32_t length = read_word(img);
  int32_t neg_count = read_word(img);
  if (length < -1 || neg_count < 0 || length > MAX_MODEL_NODES || neg_count > MAX_MODEL_NODES - length)
    malformed_image(img, "impossible model length or extra-slot count");
  if (slot_count > 0 && slot_count != length + neg_count + 2)
    malformed_image(img, "slot count does not fit the length");
  if (slot_count <= 0 && (length > 0 || neg_count > 0))
    malformed_image(img, "no slots for a model with nodes");

  RModel *rm = alloc_rmodel(nullptr);
  rm->length = length;
  rm->neg_count = neg_count;
  if (slot_count > 0) alloc_rmodel(rm);
  std::vector<float> fim_table, ins_table;
  bool has_fim = read_table(img, &fim_table, flength);
  bool has_ins = read_table(img, &ins_table, flength);
  const std::vector<float> *fim = has_fim ? &fim_table : nullptr;
  const std::vector<float> *ins = has_ins ? &ins_table : nullptr;
  rm->generic = read_node_image(img, nullptr, nullptr);
  rm->lettcount = read_node_image(img, nullptr, nullptr);
  rm->freqave = read_node_image(img, nullptr, nullptr);
  for (int k = 0; k <= length + neg_count + 1; k++) {
    Node *node = read_node_image(img, fim, ins);
    if (rm->slots != nullptr) {
      rm->slots[k] = node;
    } else if (node != nullptr) {
      free_node(node);
      malformed_image(img, "a node image in a model without slots");
    }
  }
  read_image_end(img, line_number);

  if (rm->slots != nullptr) {
    rm->begin = length >= 0 ? rm->slots[0] : nullptr;
    rm->end = rm->end_slots[0];
  }
  if (rm->end != nullptr)
    for (int i = 0; i < flength; i++) rm->end->insert[i] = 0.0f;
  if (labels != nullptr) {
    label_rmodel_from_map(labels, rm, source);
    free_label_map(labels);
  }
  return rm;
}

// ---- Blocks -----------------------------------------------------------------------------------

// read_rmodel
//   Reads one model block from stream. header is its header line (already read by the caller);
//   when null or empty the next header is searched for (counting the lines passed). The kind word
//   and the free text of the header go to kind and text when given. The body is binary when its
//   first non-blank line begins with "BINARY", else text. The stream is left after ENDMODEL.
// Returns a new bundle; never null.
// Fatal: no header found; end of file inside the block; every fatal condition of the body readers.
RModel *read_rmodel(FILE *stream, const char *source, int *line_number, const char *header, char *kind,
                    char *text, int track) {
  std::vector<char> buf(MODEL_LINE_BUFFER);
  std::string found;
  if (header == nullptr || header[0] == '\0') {
    if (!search_header(stream, line_number, buf.data(), MODEL_LINE_BUFFER, true, source))
      error("%s(%d):  No model found in file\n", source, *line_number);
    found = buf.data();
    header = found.c_str();
  }
  split_header(header, kind, text);
  next_nonblank_body_line(stream, source, line_number, buf.data());
  if (strncmp(buf.data(), "BINARY", 6) == 0) {
    binary_body_read = 1;
    return binary_r_rmodel(stream, source, line_number, track);
  }
  return read_text_body(stream, source, line_number, buf.data(), track);
}

void skip_model(FILE *stream, const char *source, int *line_number) {
  std::vector<char> buf(MODEL_LINE_BUFFER);
  LineInfo info;
  while (get_line(stream, buf.data(), MODEL_LINE_BUFFER, &info)) {
    ++*line_number;
    if (strncmp(buf.data(), "ENDMODEL", 8) == 0) return;
  }
  fprintf(stderr, "%s: %s not found before end of file in model definition.\n", source, "ENDMODEL");
}

// ---- First block of a file --------------------------------------------------------------------

// fread_first_rmodel
//   Reads the first model block of an open stream into *holder, replacing (with a message) a
//   bundle already held there. Lines are counted from the start of the stream.
// Returns 1 when a block was read, -1 when the stream holds none, 0 for a null stream.
// Fatal: no block with flags bit 1 ("No model found in the %s file %s\n"); the reader's errors.
int fread_first_rmodel(FILE *stream, const char *filename, const char *description, int track,
                       RModel **holder, int flags) {
  if (stream == nullptr) return 0;
  int line_number = 0;
  std::vector<char> header(MODEL_LINE_BUFFER);
  if (!search_header(stream, &line_number, header.data(), MODEL_LINE_BUFFER, true, filename)) {
    if (flags & 1) error("No model found in the %s file %s\n", description, filename);
    if (!(flags & 8))
      fprintf(stderr, "Warning:  File or model not found in the %s file %s\n", description, filename);
    return -1;
  }
  RModel *rm = read_rmodel(stream, filename, &line_number, header.data(), nullptr, nullptr, track);
  if (*holder != nullptr) {
    fprintf(stderr, "%s(%d):  Replacing %s with %s", filename, line_number, description, header.data());
    free_rmodel(holder);
  } else if (verbout != nullptr) {
    fprintf(verbout, "%s(%d):  Reading %s from %s", filename, line_number, description, header.data());
  }
  *holder = rm;
  return 1;
}

// Search path of model files: the name as given, then the directory named by PRIOR_PATH.
static const char model_path_env[] = "PRIOR_PATH";
static const char model_path_default[] = "/usr/local/lib/qor";

int read_first_rmodel(const char *filename, const char *description, int track, RModel **holder, int flags) {
  if (filename == nullptr || filename[0] == '\0') return 0;
  FILE *stream =
      open_read_env(filename, model_path_env, model_path_default, nullptr, nullptr, flags | OPEN_SEEKABLE);
  if (stream == nullptr) return 0;
  int result = fread_first_rmodel(stream, filename, description, track, holder, flags);
  close_read(stream);
  return result;
}

// ---- Model files ------------------------------------------------------------------------------

int is_model_file(const char *filename) {
  if (filename == nullptr || filename[0] == '\0') return 0;
  FILE *stream = open_read_env(filename, model_path_env, model_path_default, nullptr, nullptr,
                               OPEN_REQUIRED | OPEN_SEEKABLE);
  if (stream == nullptr) return 0;
  std::vector<char> buf(MODEL_LINE_BUFFER);
  LineInfo info;
  bool found = false;
  while (!found && get_line(stream, buf.data(), MODEL_LINE_BUFFER, &info)) found = is_header_line(buf.data());
  close_read(stream);
  return found ? 1 : 0;
}

int is_modelfilename(const char *filename) {
  if (filename == nullptr) return 0;
  size_t n = strlen(filename);
  for (const char *suffix : {".mod", ".mod.Z", ".mod.gz"}) {
    size_t k = strlen(suffix);
    if (n >= k && strcmp(filename + n - k, suffix) == 0) return 1;
  }
  return 0;
}

}  // namespace qor
