// Model file writing: model blocks in text form (node records, type lines) and in binary form
// (little-endian words, single-precision bit patterns, insert tables shared by many nodes stored
// once), the alphabet line, and the node-label lines through the label writer.
//
// Sections: words | alphabet line | text blocks | binary blocks
#include <cerrno>
#include <cstring>

#include "alphabet/alphabet.h"
#include "constraints/constraints.h"
#include "models/models.h"
#include "util/util.h"

namespace qor {

static const char default_number_format[] = " %8.6f ";

// Number of match (or insert) values of a node: the flength it was allocated with.
static int node_flength(const Node *node) {
  return (node->block_length - 9) / 2;
}

// ---- Words ------------------------------------------------------------------------------------

void binary_p_word(const void *word, FILE *out) {
  uint32_t bits;
  memcpy(&bits, word, sizeof bits);
  unsigned char b[4] = {
      static_cast<unsigned char>(bits & 0xff), static_cast<unsigned char>((bits >> 8) & 0xff),
      static_cast<unsigned char>((bits >> 16) & 0xff), static_cast<unsigned char>(bits >> 24)};
  fwrite(b, 1, 4, out);
}

static void put_int(int32_t value, FILE *out) {
  binary_p_word(&value, out);
}

static void put_real(float value, FILE *out) {
  binary_p_word(&value, out);
}

// ---- Alphabet line ----------------------------------------------------------------------------

void write_alphabet(FILE *out) {
  if (alphabet == nullptr) return;
  if (alphabet->internal_id == ALPHABET_DEF_ID) {
    if (alphabet->letters != nullptr)
      fprintf(out, "alphabet_def %s %s\n", alphabet->name, alphabet->letters);
    else
      fprintf(out, "alphabet_def %s %d\n", alphabet->name, alphabet->fwild_length);
  } else {
    fprintf(out, "alphabet %s\n", alphabet->name);
  }
}

// ---- Text blocks ------------------------------------------------------------------------------

// Writes n values with format, a newline after every per_line-th and after a short last line.
static void print_values(FILE *out, const float *values, int n, int per_line, const char *format) {
  if (n <= 0 || per_line <= 0) return;
  for (int i = 0; i < n; i++) {
    fprintf(out, format, static_cast<double>(values[i]));
    if ((i + 1) % per_line == 0) fputc('\n', out);
  }
  if (n % per_line != 0) fputc('\n', out);
}

void print_node(FILE *out, const Node *node, const char *name, int number, const char *format) {
  if (node == nullptr) return;
  if (format == nullptr) format = default_number_format;
  if (name != nullptr)
    fprintf(out, "%s\n", name);
  else
    fprintf(out, "%4d\n", number);
  if (node->env != nullptr)
    fprintf(out, "%% %4d   acc: %d env: %d code: %d <-|\n", number, node->env->acc, node->env->env,
            node->env->code);
  print_values(out, node->block, 9, 3, format);
  const int flength = node_flength(node);
  const int per_line = flength < 5 ? flength : 5;
  print_values(out, node->match, flength, per_line, format);
  print_values(out, node->insert, flength, per_line, format);
}

// Writes a text block.
static void text_nice_p_rmodel(FILE *out, const RModel *rm, const char *kind, const char *text,
                               const char *format) {
  fprintf(out, "%s --  %s\n", kind, text);
  write_rmodel_node_labels(rm, out);
  write_alphabet(out);
  if (rm->generic != nullptr) print_node(out, rm->generic, "GENERIC", 0, format);
  if (rm->lettcount != nullptr) print_node(out, rm->lettcount, "LETTCOUNT", 0, format);
  if (rm->freqave != nullptr) print_node(out, rm->freqave, "FREQAVE", 0, format);
  if (rm->slots != nullptr) {
    for (int k = 0; k <= rm->length; k++) {
      const Node *node = rm->slots[k];
      if (node == nullptr) continue;
      if (node->type != 0) fprintf(out, "TYPE %d %c\n", k, node->type);
      print_node(out, node, k == 0 ? "Begin" : nullptr, k, format);
    }
    for (int i = rm->neg_count; i >= 0; i--) {
      const Node *node = rm->end_slots[i];
      if (node == nullptr) continue;
      if (i == 0) {
        print_node(out, node, "End", 0, format);
      } else {
        if (node->type != 0) fprintf(out, "TYPE %d %c\n", -i, node->type);
        print_node(out, node, nullptr, -i, format);
      }
    }
  }
  fprintf(out, "\n%s\n", "ENDMODEL");
}

// nice_print_rmodel
//   Writes rmodel as one model block headed by kind and text: binary 0 gives the text form (numbers
//   with format, " %8.6f " when null), binary 1 the binary form; other flags and a null rmodel
//   write nothing.
// Fatal: the output stream reports a write error.
void nice_print_rmodel(FILE *out, const RModel *rmodel, const char *kind, const char *text,
                       const char *format, int binary) {
  if (rmodel == nullptr) return;
  if (binary == 0)
    text_nice_p_rmodel(out, rmodel, kind, text, format);
  else if (binary == 1)
    binary_nice_p_rmodel(out, rmodel, kind, text);
  else
    return;
  if (fflush(out) != 0 || ferror(out)) error("Could not write the model %s: %s", kind, strerror(errno));
}

// ---- Binary blocks ----------------------------------------------------------------------------

void binary_p_nodenv(FILE *out, const Node *node) {
  if (node->env == nullptr) {
    put_int(0, out);
    return;
  }
  put_int(1, out);
  put_int(node->env->acc, out);
  put_int(node->env->env, out);
  put_int(node->env->code, out);
}

void binary_p_node(FILE *out, const Node *node, int fim_index, int ins_index) {
  if (node == nullptr) {
    put_int(0, out);
    return;
  }
  put_int(1, out);
  binary_p_nodenv(out, node);
  fputc(static_cast<unsigned char>(node->type), out);
  const int flength = node_flength(node);
  for (int i = 0; i < 9 + flength; i++) put_real(node->block[i], out);
  bool shared = node->type == 'F' ? fim_index != -1 : ins_index != -1;
  if (!shared)
    for (int i = 0; i < flength; i++) put_real(node->insert[i], out);
}

void binary_write_table(Node *const *slots, int index, FILE *out) {
  put_int(index, out);
  if (index == -1) return;
  const Node *node = slots[index];
  for (int i = 0; i < node_flength(node); i++) put_real(node->insert[i], out);
}

void binary_nice_p_rmodel(FILE *out, const RModel *rmodel, const char *kind, const char *text) {
  fprintf(out, "%s -- %s\n", kind, text);
  fprintf(out, "BINARY\n");
  write_rmodel_node_labels(rmodel, out);
  write_alphabet(out);
  put_int(rmodel->slot_count, out);
  put_int(rmodel->length, out);
  put_int(rmodel->neg_count, out);
  int fim_index = -1, ins_index = -1;
  if (rmodel->slots != nullptr) check_node_array(rmodel->slots, rmodel->length, -1, &fim_index, &ins_index);
  binary_write_table(rmodel->slots, fim_index, out);
  binary_write_table(rmodel->slots, ins_index, out);
  binary_p_node(out, rmodel->generic, -1, -1);
  binary_p_node(out, rmodel->lettcount, -1, -1);
  binary_p_node(out, rmodel->freqave, -1, -1);
  for (int k = 0; k <= rmodel->length; k++)
    binary_p_node(out, rmodel->slots != nullptr ? rmodel->slots[k] : nullptr, fim_index, ins_index);
  for (int i = 0; i <= rmodel->neg_count; i++)
    binary_p_node(out, rmodel->slots != nullptr ? rmodel->end_slots[i] : nullptr, fim_index, ins_index);
  fprintf(out, "\n%s\n", "ENDMODEL");
}

}  // namespace qor
