// Models: node, environment, cost-table, model and model-bundle records with their allocation,
// copying and release; the model file reader (text and binary bodies) and the model file writer.
//
// Sections: records | allocation and release | shared insert tables | reading | writing
#ifndef QOR_MODELS_MODELS_H
#define QOR_MODELS_MODELS_H

#include <cstdint>
#include <cstdio>

#include "alphabet/alphabet.h"
#include "sequence/sequence.h"

namespace qor {

// ---- Records ----------------------------------------------------------------------------------

// Structural environment of a node; a fresh record holds -1, -1, 0.
struct NodeEnv {
  int32_t acc;   // accessibility class
  int32_t env;   // environment class
  int32_t code;  // combined environment code
};

// One model node. The five tables are views into block, laid out in file order: into D_k from
// D, M, I of node k-1; into M_k from D, M, I of node k-1; into I_k from D, M, I of node k; then
// flength match and flength insert emissions (flength of the alphabet current at allocation).
struct Node {
  char type;             // 0 ordinary, 'F' FIM, '$' FIM-to-be, 'C', 'D', 'E' codon nodes
  float *block;          // 2 * flength + 9 numbers, owned
  int32_t block_length;  // 2 * flength + 9
  float *djump;          // block + 0
  float *mjump;          // block + 3
  float *ijump;          // block + 6
  float *match;          // block + 9
  float *insert;         // block + 9 + flength
  NodeEnv *env;          // owned, or null
  int32_t label;         // node label, -1 when unlabeled
};

// Integer cost tables of one node (thousandths of a nat), views into block as in Node but with
// fwild_length emission entries.
struct ModWeight {
  int32_t *block;        // 2 * fwild_length + 9 costs, owned
  int32_t block_length;  // 2 * fwild_length + 9
  int32_t *djump;
  int32_t *mjump;
  int32_t *ijump;
  int32_t *match;
  int32_t *insert;
};

// A prepared model: nodes 0 (begin) to length + 1 (end) and the side tables of preparation.
struct Model {
  int32_t length;         // L
  int32_t is_seqmodel;    // 1 for a query-sequence model
  Node *generic;          // owned or null
  Node *lettcount;        // owned or null
  Node *freqave;          // owned or null
  Node **nodes;           // L + 2 owned node pointers
  Node *fim_node;         // owned or null: the FIM insert distribution in effect
  int32_t fim_method;     // method that filled fim_node; FIM_METHOD_NONE when none did
  ModWeight *fim_weight;  // owned or null
  ModWeight **weights;    // null, or L + 2 owned cost tables
  int32_t **matrix;       // owned substitution matrix (fwild_length + 1 rows) or null
  int32_t gap_cost;       // query-sequence models: gap opening cost
  int32_t continue_cost;  // query-sequence models: gap extension cost
  Sequence *query;        // owned query sequence or null
};

// fim_method of a model whose fim_node nobody filled.
constexpr int32_t FIM_METHOD_NONE = 9;

// A model as read from a file: optional nodes indexed by their node numbers.
struct RModel {
  int32_t length;      // highest node number that appeared (-1 if none)
  int32_t neg_count;   // extra slots after the end slot (0 for every file read)
  int32_t slot_count;  // length + neg_count + 2
  Node *generic;       // owned or null
  Node *lettcount;     // owned or null
  Node *freqave;       // owned or null
  Node *begin;         // alias of slots[0], not owned
  Node *end;           // alias of the end slot, not owned
  Node **slots;        // slot_count owned node pointers, each possibly null
  Node **end_slots;    // slots + length + 1: the end node, then the extra slots
};

// ---- Allocation, copying and release ----------------------------------------------------------

// Ensures an alphabet is selected, then returns a node sized by it: type 0, numbers 0, no
// environment, label -1.
Node *alloc_node();
// Releases the node's environment, its block and the node; null does nothing.
void free_node(Node *node);
// Copies type, label and all numbers from src into dst (as many as both blocks hold); copies the
// environment fields only when both nodes have one.
void copy_node(const Node *src, Node *dst);
// A new node holding a copy of node (without its environment); null gives null.
Node *dup_node(const Node *node);
// A fresh environment record: -1, -1, 0.
NodeEnv *alloc_NodeEnv();
// Copies the three fields when both records exist.
void copy_node_env(const NodeEnv *src, NodeEnv *dst);
// Releases an environment record; null does nothing.
void free_NodeEnv(NodeEnv *env);
// The node's environment code, 0 when it has no environment.
int32_t GetEnvCode(const Node *node);

// A cost-table record sized by the current alphabet, all costs 0.
ModWeight *alloc_mod_weight_entry();
// Releases a cost-table record; null does nothing.
void free_mod_weight_entry(ModWeight *weight);
// Gives the model length + 2 fresh cost tables and a fresh fim_weight.
void alloc_mod_weight(Model *model);
// Releases the model's cost tables and fim_weight and nulls both fields.
void free_mod_weight(Model *model);

// A model of length |n| with |n| + 2 node entries, fresh nodes when n > 0 and null otherwise;
// fim_method FIM_METHOD_NONE, everything else 0 or null.
Model *alloc_model(int32_t n);
// Sets every number of nodes 0..L+1 to x and every node's type to 0.
void init_model(Model *model, float x);
// Releases the nodes, the special nodes, fim_node, the cost tables, the matrix and the query,
// then the record; null does nothing.
void free_model(Model *model);

// With null: a new bundle with every field 0 or null. With a bundle whose length and neg_count
// are set: allocates its slot_count empty slots, sets end_slots; returns that bundle.
RModel *alloc_rmodel(RModel *rmodel);
// Releases every slot's node, the special nodes, the slots and the record; nulls *holder.
void free_rmodel(RModel **holder);

// ---- Shared insert tables ---------------------------------------------------------------------

// 1 when the two nodes' insert tables agree exactly in all flength entries, else 0.
int node_ins_is_same(const Node *a, const Node *b);
// Over nodes[0..n] (skipping index skip and null entries): *fim_index is the index of the first
// FIM when every FIM shares its insert table (-1 when they do not, or there is no FIM);
// *other_index likewise for the non-FIM nodes.
void check_node_array(Node *const *nodes, int n, int skip, int *fim_index, int *other_index);

// ---- Reading ----------------------------------------------------------------------------------

constexpr int MODEL_LINE_BUFFER = 100000;    // capacity of a text line of a model block
constexpr int MODEL_BINARY_PREAMBLE = 2000;  // capacity of a line before a binary image
// Largest node number (and node label) a model file may use; bounds every allocation sized by
// numbers read from a file.
constexpr int32_t MAX_MODEL_NODES = 1000000;

// Reads one model block from stream (source names it in messages, *line_number counts its lines).
// header is the block's header line; when null or empty the block is searched for first. kind and
// text, when given, receive the header's kind word and free text; each must hold as many bytes as
// the header line (MODEL_LINE_BUFFER when the header is searched for). Never returns null.
RModel *read_rmodel(FILE *stream, const char *source, int *line_number, const char *header, char *kind,
                    char *text, int track);
// Reads lines into line (capacity size) until one begins with a block header; 1 when found (left
// in line), 0 at end of file. *line_number is not advanced.
int read_to_next_model(FILE *stream, int *line_number, char *line, int size);
// Reads and counts lines through the next line beginning with "ENDMODEL"; at end of file writes a
// message and returns.
void skip_model(FILE *stream, const char *source, int *line_number);
// Reads the first block of stream into *holder (replacing a bundle held there). 1 read, -1 no
// block (fatal with flags bit 1; silent with flags bit 8), 0 for a null stream.
int fread_first_rmodel(FILE *stream, const char *filename, const char *description, int track,
                       RModel **holder, int flags);
// Opens filename along PRIOR_PATH and reads its first block into *holder: 1 read, -1 no block,
// 0 for a null or empty name or a file that cannot be opened.
int read_first_rmodel(const char *filename, const char *description, int track, RModel **holder, int flags);
// 1 when the file (found along PRIOR_PATH) holds a block header line; a null or empty name gives 0.
int is_model_file(const char *filename);
// 1 when filename ends in ".mod", ".mod.Z" or ".mod.gz".
int is_modelfilename(const char *filename);
// 1 once a binary body has been read in this process.
int last_model_read_binary();
// Reads one node record from line (capacity MODEL_LINE_BUFFER) into *holder (created when null),
// continuing over further lines of stream as needed; the record's node number goes to *number and
// a lettered record's identifier letter to *letter (0 for a numbered one); both may be null.
// Returns 1 when line then holds a line that was read but not consumed (the record ended early at
// a line starting with a letter), else 0.
int read_probs(FILE *stream, const char *source, int *line_number, char *line, Node **holder,
               int *number = nullptr, char *letter = nullptr);

// ---- Writing ----------------------------------------------------------------------------------

// Writes rmodel as a block "kind -- text" in text (binary 0) or binary (binary 1) form; format
// (null: " %8.6f ") prints each number of a text body. A null rmodel or another flag writes nothing.
void nice_print_rmodel(FILE *out, const RModel *rmodel, const char *kind, const char *text,
                       const char *format, int binary);
// Writes rmodel as a binary block.
void binary_nice_p_rmodel(FILE *out, const RModel *rmodel, const char *kind, const char *text);
// Writes one text node record, headed by name or (name null) by number.
void print_node(FILE *out, const Node *node, const char *name, int number, const char *format);
// Writes the alphabet line of the current alphabet.
void write_alphabet(FILE *out);
// Writes one binary node image; the insert values are left out when the node's shared table
// (fim_index for a FIM, ins_index otherwise) is not -1. A null node is the word 0.
void binary_p_node(FILE *out, const Node *node, int fim_index, int ins_index);
// Writes the environment part of a binary node image.
void binary_p_nodenv(FILE *out, const Node *node);
// Writes a shared-table index word and, unless it is -1, the insert values of slots[index].
void binary_write_table(Node *const *slots, int index, FILE *out);
// Writes the 32-bit value at word (an integer or a float bit pattern), least significant byte first.
void binary_p_word(const void *word, FILE *out);

}  // namespace qor

#endif
