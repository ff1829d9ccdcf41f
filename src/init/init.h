// Parameter system: the parameter table read_vars and its variables, parameter files, the command
// line, the default-parameter file, the parameter listing and the program frame.
#ifndef QOR_INIT_INIT_H
#define QOR_INIT_INIT_H

#include <cstdint>
#include <cstdio>

namespace qor {

struct RModel;  // a model bundle as read from a file (models area)

// ---- Table types ------------------------------------------------------------------------------
enum VarType : int32_t {
  VAR_INT = 0,
  VAR_DOUBLE = 1,
  VAR_STRING = 2,
  VAR_SEQFILE = 3,
  VAR_PRIORFILE = 4,
  VAR_INSERT = 5,
  VAR_INSERT_DNA = 6,
  VAR_INSERT_RNA = 7,
  VAR_INSERT_PROTEIN = 8,
  VAR_ALPHABET = 9,
  VAR_MODEL = 10,
  VAR_STRING_LIST = 11,
  VAR_FILE_LIST = 12,
  VAR_END = 13,
};

struct OptionEntry {
  int32_t type;
  const char *name;
  void *var;
  int32_t changed;
};

constexpr int MAX_LIST_VALUES = 100;      // values a list parameter holds
constexpr int INIT_LINE_BUFFER = 100000;  // parameter-file line buffer

// Model-kind bits.
constexpr int WANT_MODEL = 1;
constexpr int WANT_REGULARIZER = 2;
constexpr int WANT_FREQUENCIES = 4;
constexpr int WANT_NULLMODEL = 8;
constexpr int WANT_ANY_MODEL = 0x40;

// Entry modes.
constexpr int MODE_KEEP = 0;
constexpr int MODE_WARN = 1;
constexpr int MODE_SILENT = 2;

extern OptionEntry read_vars[];  // 245 named rows and the VAR_END terminator
extern FILE *verbout;            // progress stream: stderr, or null when verbose is 0

// ---- Parameter records ------------------------------------------------------------------------
struct ScoreParams {
  double NLLnull;
  double mdNLLnull;
  double NLLcomplex;
  double mdNLLcomplex;
  double Emax;
  double mdEmax;
  int32_t select_seq;
  int32_t select_md;
  int32_t select_score;
  int32_t select_align;
  int32_t select_mdalign;
  int32_t sort;
  int32_t subtract_null;
  double simple_threshold;
  double calibrate_threshold;
  double viterbi_threshold;
  int32_t FIM_method_score;
  int32_t Insert_method_score;
  int32_t adjust_score;
  int32_t adpstyle;
  double Motifcutoff;
  int32_t alignshort;
  int32_t dbsize;
  char *matrix;
  double swlambda;
  double lambda;
  double tau;
  char *query;
  int32_t gap;
  int32_t continue_;  // parameter "continue"
  int32_t unnamed[8];
  int32_t model_length;
  int32_t fim_method_used;
  int32_t insert_method_used;
  int32_t is_query_model;
  int32_t unnamed_last;
};
extern ScoreParams Score;

struct ConstrParams {
  char **constraints;
  int32_t constraints_count;
  char *constraints_out;
  int32_t constraints_from_align;
  char *align_constraints_out;
};
extern ConstrParams Constr;

struct AWeightParams {
  int32_t aweight_method;
  double aweight_bits;
  double aweight_exponent;
};
extern AWeightParams AWeight;

struct OmburiParams {
  int32_t use_omburi;
  char *omburi_remote_db_dir;
  int32_t omburi_retry_cnt;
  int32_t omburi_retry_time;
  int32_t omburi_fallback;
  int32_t omburi_min_model_len;
  int32_t omburi_use_simulator;
  int32_t omburi_num_extra_pe;
  int32_t omburi_dual_mapping;
};
extern OmburiParams Omburi;

// ---- Parameter variables other areas read ------------------------------------------------------
// (every row of read_vars has its variable; those below are the ones the programs act on)
extern RModel *base_model, *base_regularizer, *base_frequencies, *users_null;
extern int32_t trainseed, seed, initNmodels;
extern double seq_models;
extern char *alignfile, *prior_filename, *protein_prior, *nucleotide_prior, *modlibfilename;
extern char *model_filename, *regularizer_filename, *nullmodel_filename;
extern char **insert_filename;
extern int32_t insert_listcount;
extern char *alphabetname, *alphabet_def;
extern char **alphbackfile;
extern int32_t alphbackfilecount;
extern int32_t keepannotations, sequence_warning, auto_add_fims, dump_parameters, verbose;
extern char **dblist, **dbguide, **idlist, **notidlist;
extern int32_t dblistcount, dbguidelistcount, idlistcount, notidlistcount;
extern char *NLLfilename, *NLLfilename2;
extern double fimstrength, fimtrans, mainline_cutoff, cutmatch, cutinsert;
extern int32_t SW_score;
extern double jump_in_prob, jump_out_prob;
extern int32_t NscoreSeq, plotnegate, binary_output, a2mdots;
extern int32_t maxmem, maxposdecodemem, max_seq_length;
extern char *trackmodcoeff, *trackmodfilenames;
extern int32_t probseqmethod;
extern double ppscale, pptrim;

// ---- The remaining parameter variables (accepted, stored and listed; no program acts on them) -----
// A row named after a C++ keyword has a trailing underscore: `template` -> template_.
extern char *train, *train2, *test, *test2, *synchfile, *template_, *trans_priors;
extern char *genprot_prior, *genehl2_prior, *genebghtl_prior, *sequence_weights, *alignment_weights;
extern char *family_base_file, *predict_seq, *md_map, *md_unselected_seqs, *trackprior, *firstsequence;
extern char *logo_color_file, *logo_under_color, *logo_captionf_color, *logo_font, *logo_title;
extern char *logo_title_font, *logo_under_file, *logo_sections, *logo_captions, *logo_captionf;
extern char *logo_savings, *logo_savings_output;
extern char **insert_file_protein, **insert_file_dna, **insert_file_rna, **fisher_feature;
extern int32_t pinsert_listcount, dinsert_listcount, rinsert_listcount, fisher_feature_count;
extern double transweight, gs_mean_log_len, gs_sd_log_len, weight_length, weight_final, weightmix_final;
extern double i_weight, mix_weights, offset, stopcriterion, anneal_length, weightmix_length, anneal_noise;
extern double initial_noise, surgery_noise_scale, retrain_noise_scale, prior_weight, synchweight;
extern double del_jump_conf, match_jump_conf, insert_jump_conf, matchconf, insconf, fracinsert;
extern double cdel2prob, cdel1prob, plotmax, plotmin, plotleft, plotright, plotline, percent_id;
extern double score_threshold, null_score_weight_scale, logo_sig_height, logo_scale;
extern int32_t internal_weight, print_all_weights, weight_norm, sample_train, modlib_absolute, reglength;
extern int32_t rerun, print_frequencies, Nseq, Ntrain, reestimates, nsurgery, randomize, print_surg_models;
extern int32_t print_all_models, many_files, align_fim, train_reset_inserts, minmodlen, maxmodlen;
extern int32_t modellength, model_abort_length, maxinserts, SWtrain, viterbi, FIM_method_train;
extern int32_t Insert_method_train, calibrate, histbins, plotps, plotcolumn, rdb, segments, segment_number;
extern int32_t segment_size, standard, dump_match_probs, debug_print, write_dist, fraglen, numpermatch;
extern int32_t logo_bw, logo_bars_per_line, logo_start_num, logo_auto_size, logo_captionf_ignoreCL;
extern int32_t logo_captionf_numseq, logo_rel_entropy, help;

constexpr int NUM_PARAMETER_ROWS = 245;  // named rows of read_vars (the terminator not counted)
constexpr int MAX_INSERT_DEPTH = 32;     // parameter files nested through inserts, at most

// ---- Parameter table (defaults) ---------------------------------------------------------------
// Assigns every default, including the parameter records; does not touch the changed flags.
void initialize_variables();
// The changed flag of the first row whose variable is var (internal error when none).
int var_changed(void *var);
// Sets the changed flag of the first row whose variable is var to 1.
void mark_var_changed(void *var);
// The first sequence file named by a sequence-file or file-list row, in table order; null if none.
char *find_seq_file();

// ---- Parameter files, command line, program frame ---------------------------------------------
constexpr int RUN_NAME_BUFFER = 2000;  // size of the run-name buffer a program passes to the frame
// Size of the defaults-note buffer a program passes to the frame; a note that would not fit is fatal.
constexpr int DEFAULTS_NOTE_BUFFER = RUN_NAME_BUFFER + 1100;
// Runs the program frame; copies the run name into run_name; returns run_name when the program may go on.
char *basic_command_line(char **argv, int argc, char *run_name, char *defaults_note, int model_kinds,
                         int required, const char *banner, void (*usage)());
// Applies option words as "-name value" pairs; 1 when all applied, 0 after a message.
int process_args(int nwords, char **words, int model_kinds);
// Reads a parameter file in the given entry mode; a null or empty name does nothing.
void read_init(const char *filename, int mode, int model_kinds);
// Applies one parameter entry (line is modified); file is null for the command line.
void process_init_entry(FILE *file, char *line, int mode, const char *source, int *line_number,
                        int model_kinds);
// Appends a copy of value to the list of the given row.
void add_to_string_list(OptionEntry *row, const char *value);
// Reads the one default-parameter file and the models named by parameters; sets the seeds.
void read_default_inits(int build_regularizer, char *defaults_note, int model_kinds);
// A new bundle holding one node built from the alphabet of track.
// (Until the model records join the parameter system it settles the alphabet and returns null.)
RModel *make_base_regularizer(int track);
// Writes the parameter listing to name + ".params" (null name: "default").
void dump_params(const char *banner, const char *name);
// Writes the listing lines of the rows (all rows, or those set).
void print_init(FILE *out, int all, int commented, int binary);
// Writes a list parameter, one or several values per line.
void list_strings(FILE *out, char **list, int count, const char *name, const char *prefix);

}  // namespace qor

#endif
