// The parameter table read_vars: every parameter variable, its row, its default, and lookups by
// variable address.
//
// Sections: parameter variables; the table; defaults; lookups by address; the sequence-file search.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "init/init.h"
#include "util/util.h"

namespace qor {

// ---- Parameter variables ----------------------------------------------------------------------
// Zero-initialised here; initialize_variables assigns the defaults at the start of every run.

ScoreParams Score;
ConstrParams Constr;
AWeightParams AWeight;
OmburiParams Omburi;

RModel *base_model, *base_regularizer, *base_frequencies, *users_null;
int32_t trainseed, seed, initNmodels;
double seq_models;
char *alignfile, *prior_filename, *protein_prior, *nucleotide_prior, *modlibfilename;
char *model_filename, *regularizer_filename, *nullmodel_filename;
char **insert_filename;
int32_t insert_listcount;
char *alphabetname, *alphabet_def;
char **alphbackfile;
int32_t alphbackfilecount;
int32_t keepannotations, sequence_warning, auto_add_fims, dump_parameters, verbose;
char **dblist, **dbguide, **idlist, **notidlist;
int32_t dblistcount, dbguidelistcount, idlistcount, notidlistcount;
char *NLLfilename, *NLLfilename2;
double fimstrength, fimtrans, mainline_cutoff, cutmatch, cutinsert;
int32_t SW_score;
double jump_in_prob, jump_out_prob;
int32_t NscoreSeq, plotnegate, binary_output, a2mdots;
int32_t maxmem, maxposdecodemem, max_seq_length;
char *trackmodcoeff, *trackmodfilenames;
int32_t probseqmethod;
double ppscale, pptrim;

char *train, *train2, *test, *test2, *synchfile, *template_, *trans_priors;
char *genprot_prior, *genehl2_prior, *genebghtl_prior, *sequence_weights, *alignment_weights;
char *family_base_file, *predict_seq, *md_map, *md_unselected_seqs, *trackprior, *firstsequence;
char *logo_color_file, *logo_under_color, *logo_captionf_color, *logo_font, *logo_title;
char *logo_title_font, *logo_under_file, *logo_sections, *logo_captions, *logo_captionf;
char *logo_savings, *logo_savings_output;
char **insert_file_protein, **insert_file_dna, **insert_file_rna, **fisher_feature;
int32_t pinsert_listcount, dinsert_listcount, rinsert_listcount, fisher_feature_count;
double transweight, gs_mean_log_len, gs_sd_log_len, weight_length, weight_final, weightmix_final;
double i_weight, mix_weights, offset, stopcriterion, anneal_length, weightmix_length, anneal_noise;
double initial_noise, surgery_noise_scale, retrain_noise_scale, prior_weight, synchweight;
double del_jump_conf, match_jump_conf, insert_jump_conf, matchconf, insconf, fracinsert;
double cdel2prob, cdel1prob, plotmax, plotmin, plotleft, plotright, plotline, percent_id;
double score_threshold, null_score_weight_scale, logo_sig_height, logo_scale;
int32_t internal_weight, print_all_weights, weight_norm, sample_train, modlib_absolute, reglength;
int32_t rerun, print_frequencies, Nseq, Ntrain, reestimates, nsurgery, randomize, print_surg_models;
int32_t print_all_models, many_files, align_fim, train_reset_inserts, minmodlen, maxmodlen;
int32_t modellength, model_abort_length, maxinserts, SWtrain, viterbi, FIM_method_train;
int32_t Insert_method_train, calibrate, histbins, plotps, plotcolumn, rdb, segments, segment_number;
int32_t segment_size, standard, dump_match_probs, debug_print, write_dist, fraglen, numpermatch;
int32_t logo_bw, logo_bars_per_line, logo_start_num, logo_auto_size, logo_captionf_ignoreCL;
int32_t logo_captionf_numseq, logo_rel_entropy, help;

// ---- The table --------------------------------------------------------------------------------
// Order is behaviour: names are matched from the first row on, the listing follows this order, and
// lookups by address take the first row holding the address. Each list row is followed by the
// VAR_INT row of its count.

OptionEntry read_vars[] = {
    {VAR_MODEL, "MODEL", &base_model, 0},
    {VAR_MODEL, "REGULARIZER", &base_regularizer, 0},
    {VAR_MODEL, "FREQUENCIES", &base_frequencies, 0},
    {VAR_MODEL, "NULLMODEL", &users_null, 0},
    {VAR_INT, "trainseed", &trainseed, 0},
    {VAR_INT, "randseed", &seed, 0},
    {VAR_INT, "Nmodels", &initNmodels, 0},
    {VAR_SEQFILE, "train", &train, 0},
    {VAR_SEQFILE, "train2", &train2, 0},
    {VAR_SEQFILE, "test", &test, 0},
    {VAR_SEQFILE, "test2", &test2, 0},
    {VAR_SEQFILE, "alignfile", &alignfile, 0},
    {VAR_SEQFILE, "synchfile", &synchfile, 0},
    {VAR_SEQFILE, "syncfile", &synchfile, 0},
    {VAR_SEQFILE, "template", &template_, 0},
    {VAR_PRIORFILE, "trans_priors", &trans_priors, 0},
    {VAR_DOUBLE, "transweight", &transweight, 0},
    {VAR_DOUBLE, "sequence_models", &seq_models, 0},
    {VAR_PRIORFILE, "prior_library", &prior_filename, 0},
    {VAR_STRING, "protein_prior", &protein_prior, 0},
    {VAR_STRING, "genprot_prior", &genprot_prior, 0},
    {VAR_STRING, "genehl2_prior", &genehl2_prior, 0},
    {VAR_STRING, "genebghtl_prior", &genebghtl_prior, 0},
    {VAR_DOUBLE, "gs_mean_log_len", &gs_mean_log_len, 0},
    {VAR_DOUBLE, "gs_sd_log_len", &gs_sd_log_len, 0},
    {VAR_STRING, "nucleotide_prior", &nucleotide_prior, 0},
    {VAR_STRING, "sequence_weights", &sequence_weights, 0},
    {VAR_STRING, "alignment_weights", &alignment_weights, 0},
    {VAR_DOUBLE, "weight_length", &weight_length, 0},
    {VAR_DOUBLE, "weight_final", &weight_final, 0},
    {VAR_DOUBLE, "weightmix_final", &weightmix_final, 0},
    {VAR_INT, "internal_weight", &internal_weight, 0},
    {VAR_INT, "print_all_weights", &print_all_weights, 0},
    {VAR_DOUBLE, "i_weight", &i_weight, 0},
    {VAR_DOUBLE, "mix_weights", &mix_weights, 0},
    {VAR_DOUBLE, "offset", &offset, 0},
    {VAR_INT, "weight_norm", &weight_norm, 0},
    {VAR_INT, "sample_train", &sample_train, 0},
    {VAR_INT, "modlib_absolute", &modlib_absolute, 0},
    {VAR_STRING, "model_library", &modlibfilename, 0},
    {VAR_STRING, "modlib", &modlibfilename, 0},
    {VAR_STRING, "model_file", &model_filename, 0},
    {VAR_STRING, "regularizer_file", &regularizer_filename, 0},
    {VAR_STRING, "nullmodel_file", &nullmodel_filename, 0},
    {VAR_STRING, "family_base_file", &family_base_file, 0},
    {VAR_INSERT, "insert", &insert_filename, 0},
    {VAR_INT, "insert_listcount", &insert_listcount, 0},
    {VAR_INSERT, "i", &insert_filename, 0},
    {VAR_INT, "insert_listcount", &insert_listcount, 0},
    {VAR_ALPHABET, "alphabet", &alphabetname, 0},
    {VAR_ALPHABET, "a", &alphabetname, 0},
    {VAR_ALPHABET, "alphabet_def", &alphabet_def, 0},
    {VAR_FILE_LIST, "alphbackfile", &alphbackfile, 0},
    {VAR_INT, "alphbackfilecount", &alphbackfilecount, 0},
    {VAR_INSERT_PROTEIN, "insert_file_protein", &insert_file_protein, 0},
    {VAR_INT, "pinsert_listcount", &pinsert_listcount, 0},
    {VAR_INSERT_DNA, "insert_file_dna", &insert_file_dna, 0},
    {VAR_INT, "dinsert_listcount", &dinsert_listcount, 0},
    {VAR_INSERT_RNA, "insert_file_rna", &insert_file_rna, 0},
    {VAR_INT, "rinsert_listcount", &rinsert_listcount, 0},
    {VAR_INT, "reglength", &reglength, 0},
    {VAR_INT, "rerun", &rerun, 0},
    {VAR_INT, "print_frequencies", &print_frequencies, 0},
    {VAR_INT, "Nseq", &Nseq, 0},
    {VAR_INT, "Ntrain", &Ntrain, 0},
    {VAR_INT, "reestimates", &reestimates, 0},
    {VAR_DOUBLE, "stopcriterion", &stopcriterion, 0},
    {VAR_INT, "nsurgery", &nsurgery, 0},
    {VAR_INT, "randomize", &randomize, 0},
    {VAR_DOUBLE, "anneal_length", &anneal_length, 0},
    {VAR_DOUBLE, "weightmix_length", &weightmix_length, 0},
    {VAR_DOUBLE, "anneal_noise", &anneal_noise, 0},
    {VAR_DOUBLE, "initial_noise", &initial_noise, 0},
    {VAR_DOUBLE, "surgery_noise_scale", &surgery_noise_scale, 0},
    {VAR_DOUBLE, "retrain_noise_scale", &retrain_noise_scale, 0},
    {VAR_DOUBLE, "prior_weight", &prior_weight, 0},
    {VAR_INT, "print_surg_models", &print_surg_models, 0},
    {VAR_INT, "print_all_models", &print_all_models, 0},
    {VAR_INT, "many_files", &many_files, 0},
    {VAR_INT, "keepannotations", &keepannotations, 0},
    {VAR_INT, "sequence_warning", &sequence_warning, 0},
    {VAR_INT, "auto_fim", &auto_add_fims, 0},
    {VAR_INT, "align_fim", &align_fim, 0},
    {VAR_INT, "train_reset_inserts", &train_reset_inserts, 0},
    {VAR_INT, "dump_parameters", &dump_parameters, 0},
    {VAR_INT, "verbose", &verbose, 0},
    {VAR_FILE_LIST, "db", &dblist, 0},
    {VAR_INT, "dblistcount", &dblistcount, 0},
    {VAR_FILE_LIST, "dbguide", &dbguide, 0},
    {VAR_INT, "dbguidelistcount", &dbguidelistcount, 0},
    {VAR_STRING_LIST, "id", &idlist, 0},
    {VAR_INT, "idlistcount", &idlistcount, 0},
    {VAR_STRING_LIST, "not_id", &notidlist, 0},
    {VAR_INT, "notidlistcount", &notidlistcount, 0},
    {VAR_DOUBLE, "synchweight", &synchweight, 0},
    {VAR_DOUBLE, "syncweight", &synchweight, 0},
    {VAR_STRING, "NLLfile", &NLLfilename, 0},
    {VAR_STRING, "NLLfile2", &NLLfilename2, 0},
    {VAR_STRING, "NLLfile1", &NLLfilename, 0},
    {VAR_STRING, "distfile", &NLLfilename, 0},
    {VAR_STRING, "distfile2", &NLLfilename2, 0},
    {VAR_INT, "minmodlen", &minmodlen, 0},
    {VAR_INT, "maxmodlen", &maxmodlen, 0},
    {VAR_INT, "modellength", &modellength, 0},
    {VAR_INT, "model_abort_length", &model_abort_length, 0},
    {VAR_DOUBLE, "del_jump_conf", &del_jump_conf, 0},
    {VAR_DOUBLE, "match_jump_conf", &match_jump_conf, 0},
    {VAR_DOUBLE, "insert_jump_conf", &insert_jump_conf, 0},
    {VAR_DOUBLE, "ins_jump_conf", &insert_jump_conf, 0},
    {VAR_DOUBLE, "matchconf", &matchconf, 0},
    {VAR_DOUBLE, "insconf", &insconf, 0},
    {VAR_DOUBLE, "fimstrength", &fimstrength, 0},
    {VAR_DOUBLE, "fimtrans", &fimtrans, 0},
    {VAR_INT, "maxinserts", &maxinserts, 0},
    {VAR_DOUBLE, "mainline_cutoff", &mainline_cutoff, 0},
    {VAR_DOUBLE, "cutmatch", &cutmatch, 0},
    {VAR_DOUBLE, "cutinsert", &cutinsert, 0},
    {VAR_DOUBLE, "fracinsert", &fracinsert, 0},
    {VAR_DOUBLE, "cdel2prob", &cdel2prob, 0},
    {VAR_DOUBLE, "cdel1prob", &cdel1prob, 0},
    {VAR_INT, "SWtrain", &SWtrain, 0},
    {VAR_INT, "SW", &SW_score, 0},
    {VAR_INT, "SW_score", &SW_score, 0},
    {VAR_DOUBLE, "jump_in_prob", &jump_in_prob, 0},
    {VAR_DOUBLE, "jump_out_prob", &jump_out_prob, 0},
    {VAR_INT, "viterbi", &viterbi, 0},
    {VAR_INT, "dpstyle", &viterbi, 0},
    {VAR_INT, "NscoreSeq", &NscoreSeq, 0},
    {VAR_INT, "FIM_method_train", &FIM_method_train, 0},
    {VAR_INT, "Insert_method_train", &Insert_method_train, 0},
    {VAR_INT, "calibrate", &calibrate, 0},
    {VAR_DOUBLE, "NLLnull", &Score.NLLnull, 0},
    {VAR_DOUBLE, "mdNLLnull", &Score.mdNLLnull, 0},
    {VAR_DOUBLE, "mdNULLminusNULL", &Score.mdNLLnull, 0},
    {VAR_DOUBLE, "NLLcomplex", &Score.NLLcomplex, 0},
    {VAR_DOUBLE, "mdNLLcomplex", &Score.mdNLLcomplex, 0},
    {VAR_DOUBLE, "Emax", &Score.Emax, 0},
    {VAR_DOUBLE, "mdEmax", &Score.mdEmax, 0},
    {VAR_INT, "select_seq", &Score.select_seq, 0},
    {VAR_INT, "select_md", &Score.select_md, 0},
    {VAR_INT, "select_score", &Score.select_score, 0},
    {VAR_INT, "select_align", &Score.select_align, 0},
    {VAR_INT, "select_mdalign", &Score.select_mdalign, 0},
    {VAR_INT, "sort", &Score.sort, 0},
    {VAR_INT, "sort_scores", &Score.sort, 0},
    {VAR_INT, "subtract_null", &Score.subtract_null, 0},
    {VAR_DOUBLE, "simple_threshold", &Score.simple_threshold, 0},
    {VAR_DOUBLE, "calibrate_threshold", &Score.calibrate_threshold, 0},
    {VAR_DOUBLE, "viterbi_threshold", &Score.viterbi_threshold, 0},
    {VAR_INT, "FIM_method_score", &Score.FIM_method_score, 0},
    {VAR_INT, "Insert_method_score", &Score.Insert_method_score, 0},
    {VAR_INT, "adjust_score", &Score.adjust_score, 0},
    {VAR_INT, "adpstyle", &Score.adpstyle, 0},
    {VAR_DOUBLE, "Motifcutoff", &Score.Motifcutoff, 0},
    {VAR_INT, "alignshort", &Score.alignshort, 0},
    {VAR_INT, "dbsize", &Score.dbsize, 0},
    {VAR_INT, "multdomainshort", &Score.alignshort, 0},
    {VAR_STRING, "matrix", &Score.matrix, 0},
    {VAR_DOUBLE, "swlambda", &Score.swlambda, 0},
    {VAR_DOUBLE, "lambda", &Score.lambda, 0},
    {VAR_DOUBLE, "tau", &Score.tau, 0},
    {VAR_STRING, "query", &Score.query, 0},
    {VAR_INT, "gap", &Score.gap, 0},
    {VAR_INT, "continue", &Score.continue_, 0},
    {VAR_INT, "histbins", &histbins, 0},
    {VAR_DOUBLE, "plotmax", &plotmax, 0},
    {VAR_DOUBLE, "plotmin", &plotmin, 0},
    {VAR_DOUBLE, "plotleft", &plotleft, 0},
    {VAR_DOUBLE, "plotright", &plotright, 0},
    {VAR_INT, "plotps", &plotps, 0},
    {VAR_INT, "plotcolumn", &plotcolumn, 0},
    {VAR_INT, "plotnegate", &plotnegate, 0},
    {VAR_DOUBLE, "plotline", &plotline, 0},
    {VAR_INT, "binary_output", &binary_output, 0},
    {VAR_INT, "rdb", &rdb, 0},
    {VAR_INT, "segments", &segments, 0},
    {VAR_INT, "segment_number", &segment_number, 0},
    {VAR_INT, "segment_size", &segment_size, 0},
    {VAR_INT, "a2mdots", &a2mdots, 0},
    {VAR_INT, "aweight_method", &AWeight.aweight_method, 0},
    {VAR_DOUBLE, "aweight_bits", &AWeight.aweight_bits, 0},
    {VAR_DOUBLE, "aweight_exponent", &AWeight.aweight_exponent, 0},
    {VAR_DOUBLE, "percent_id", &percent_id, 0},
    {VAR_STRING_LIST, "constraints", &Constr.constraints, 0},
    {VAR_INT, "constraints_count", &Constr.constraints_count, 0},
    {VAR_STRING, "constraints_out", &Constr.constraints_out, 0},
    {VAR_INT, "constraints_from_align", &Constr.constraints_from_align, 0},
    {VAR_STRING, "align_constraints_out", &Constr.align_constraints_out, 0},
    {VAR_DOUBLE, "score_threshold", &score_threshold, 0},
    {VAR_STRING, "predict_seq", &predict_seq, 0},
    {VAR_INT, "maxmem", &maxmem, 0},
    {VAR_INT, "maxposdecodemem", &maxposdecodemem, 0},
    {VAR_INT, "use_omburi", &Omburi.use_omburi, 0},
    {VAR_STRING, "omburi_remote_db_dir", &Omburi.omburi_remote_db_dir, 0},
    {VAR_INT, "omburi_retry_cnt", &Omburi.omburi_retry_cnt, 0},
    {VAR_INT, "omburi_retry_time", &Omburi.omburi_retry_time, 0},
    {VAR_INT, "omburi_fallback", &Omburi.omburi_fallback, 0},
    {VAR_INT, "omburi_min_model_len", &Omburi.omburi_min_model_len, 0},
    {VAR_INT, "omburi_use_simulator", &Omburi.omburi_use_simulator, 0},
    {VAR_INT, "omburi_num_extra_pe", &Omburi.omburi_num_extra_pe, 0},
    {VAR_INT, "omburi_dual_mapping", &Omburi.omburi_dual_mapping, 0},
    {VAR_INT, "max_seq_length", &max_seq_length, 0},
    {VAR_INT, "standard", &standard, 0},
    {VAR_INT, "dump_match_probs", &dump_match_probs, 0},
    {VAR_STRING, "md_map", &md_map, 0},
    {VAR_STRING, "md_unselected_seqs", &md_unselected_seqs, 0},
    {VAR_INT, "debug_print", &debug_print, 0},
    {VAR_STRING, "trackcoeff", &trackmodcoeff, 0},
    {VAR_STRING, "trackmod", &trackmodfilenames, 0},
    {VAR_STRING, "trackprior", &trackprior, 0},
    {VAR_INT, "probseqmethod", &probseqmethod, 0},
    {VAR_STRING_LIST, "fisher_feature", &fisher_feature, 0},
    {VAR_INT, "fisher_feature_count", &fisher_feature_count, 0},
    {VAR_DOUBLE, "null_score_weight_scale", &null_score_weight_scale, 0},
    {VAR_INT, "write_dist", &write_dist, 0},
    {VAR_INT, "fraglen", &fraglen, 0},
    {VAR_INT, "numpermatch", &numpermatch, 0},
    {VAR_STRING, "firstsequence", &firstsequence, 0},
    {VAR_DOUBLE, "ppscale", &ppscale, 0},
    {VAR_DOUBLE, "pptrim", &pptrim, 0},
    {VAR_STRING, "logo_color_file", &logo_color_file, 0},
    {VAR_STRING, "logo_colors_file", &logo_color_file, 0},
    {VAR_STRING, "logo_under_color", &logo_under_color, 0},
    {VAR_STRING, "logo_under_colors", &logo_under_color, 0},
    {VAR_STRING, "logo_captionf_color", &logo_captionf_color, 0},
    {VAR_STRING, "logo_captionf_colors", &logo_captionf_color, 0},
    {VAR_INT, "logo_bw", &logo_bw, 0},
    {VAR_INT, "logo_bars_per_line", &logo_bars_per_line, 0},
    {VAR_INT, "logo_start_num", &logo_start_num, 0},
    {VAR_STRING, "logo_font", &logo_font, 0},
    {VAR_DOUBLE, "logo_sig_height", &logo_sig_height, 0},
    {VAR_STRING, "logo_title", &logo_title, 0},
    {VAR_STRING, "logo_title_font", &logo_title_font, 0},
    {VAR_DOUBLE, "logo_scale", &logo_scale, 0},
    {VAR_INT, "logo_auto_size", &logo_auto_size, 0},
    {VAR_STRING, "logo_under_file", &logo_under_file, 0},
    {VAR_STRING, "logo_sections", &logo_sections, 0},
    {VAR_STRING, "logo_captions", &logo_captions, 0},
    {VAR_STRING, "logo_captionf", &logo_captionf, 0},
    {VAR_INT, "logo_captionf_ignoreCL", &logo_captionf_ignoreCL, 0},
    {VAR_INT, "logo_captionf_numseq", &logo_captionf_numseq, 0},
    {VAR_STRING, "logo_savings", &logo_savings, 0},
    {VAR_INT, "logo_rel_entropy", &logo_rel_entropy, 0},
    {VAR_INT, "help", &help, 0},
    {VAR_STRING, "logo_savings_output", &logo_savings_output, 0},
    {VAR_END, nullptr, nullptr, 0},
};

static_assert(sizeof read_vars / sizeof read_vars[0] == NUM_PARAMETER_ROWS + 1,
              "read_vars holds 245 named rows and the terminator");

// ---- Defaults ---------------------------------------------------------------------------------

// A fresh owned copy of a default text.
static char *owned_copy(const char *text) {
  size_t n = strlen(text);
  char *copy = static_cast<char *>(mem_alloc(static_cast<int>(n + 1)));
  memcpy(copy, text, n + 1);
  return copy;
}

// Releases an owned string variable and sets it to the given default (null, or a fresh copy).
static void reset_string(char **var, const char *value) {
  free(*var);
  *var = value != nullptr ? owned_copy(value) : nullptr;
}

// Releases every value of a list variable and empties it (null array, count 0).
static void reset_list(char ***list, int32_t *count) {
  if (*list != nullptr) {
    for (int k = 0; k < MAX_LIST_VALUES; k++) free((*list)[k]);
    free(*list);
  }
  *list = nullptr;
  *count = 0;
}

// The defaults of the rows no program of this system acts on.
static void initialize_inert_variables() {
  reset_string(&train, nullptr);
  reset_string(&train2, nullptr);
  reset_string(&test, nullptr);
  reset_string(&test2, nullptr);
  reset_string(&synchfile, nullptr);
  reset_string(&template_, nullptr);
  reset_string(&trans_priors, nullptr);
  reset_string(&genprot_prior, nullptr);
  reset_string(&genehl2_prior, nullptr);
  reset_string(&genebghtl_prior, nullptr);
  reset_string(&sequence_weights, nullptr);
  reset_string(&alignment_weights, nullptr);
  reset_string(&family_base_file, nullptr);
  reset_string(&predict_seq, nullptr);
  reset_string(&md_map, nullptr);
  reset_string(&md_unselected_seqs, nullptr);
  reset_string(&trackprior, nullptr);
  reset_string(&firstsequence, nullptr);
  reset_string(&logo_color_file, nullptr);
  reset_string(&logo_under_color, nullptr);
  reset_string(&logo_captionf_color, nullptr);
  reset_string(&logo_font, "Courier");
  reset_string(&logo_title, nullptr);
  reset_string(&logo_title_font, "Times-Roman");
  reset_string(&logo_under_file, nullptr);
  reset_string(&logo_sections, nullptr);
  reset_string(&logo_captions, nullptr);
  reset_string(&logo_captionf, nullptr);
  reset_string(&logo_savings, nullptr);
  reset_string(&logo_savings_output, nullptr);
  reset_list(&insert_file_protein, &pinsert_listcount);
  reset_list(&insert_file_dna, &dinsert_listcount);
  reset_list(&insert_file_rna, &rinsert_listcount);
  reset_list(&fisher_feature, &fisher_feature_count);

  transweight = 1.0;
  gs_mean_log_len = 5.4151;
  gs_sd_log_len = 1.03632564;
  weight_length = 0.0;
  weight_final = 1.0;
  weightmix_final = 0.0;
  i_weight = 0.1;
  mix_weights = 0.0;
  offset = -15.0;
  stopcriterion = 0.1;
  anneal_length = 0.8;
  weightmix_length = 0.8;
  anneal_noise = 5.0;
  initial_noise = -1.0;
  surgery_noise_scale = 0.1;
  retrain_noise_scale = 0.1;
  prior_weight = 1.0;
  synchweight = 1.0;
  del_jump_conf = 1.0;
  match_jump_conf = 1.0;
  insert_jump_conf = 1.0;
  matchconf = 1.0;
  insconf = 10000.0;
  fracinsert = 1.0;
  cdel2prob = 0.05;
  cdel1prob = 0.05;
  plotmax = 0.0;
  plotmin = 0.0;
  plotleft = 0.0;
  plotright = 0.0;
  plotline = 0.0;
  percent_id = 1.0;
  score_threshold = 0.0;
  null_score_weight_scale = 10.0;
  logo_sig_height = 1.0;
  logo_scale = 20.0;

  internal_weight = 1;
  print_all_weights = 0;
  weight_norm = 1;
  sample_train = 0;
  modlib_absolute = 0;
  reglength = -1;
  rerun = -1;
  print_frequencies = 0;
  Nseq = 10000;
  Ntrain = 0;
  reestimates = 40;
  nsurgery = 3;
  randomize = 5;
  print_surg_models = 0;
  print_all_models = 0;
  many_files = 0;
  align_fim = 0;
  train_reset_inserts = 6;
  minmodlen = 0;
  maxmodlen = 0;
  modellength = -1;
  model_abort_length = 10000;
  maxinserts = 100;
  SWtrain = 2;
  viterbi = 0;
  FIM_method_train = -1;
  Insert_method_train = -1;
  calibrate = 0;
  histbins = 10;
  plotps = 1;
  plotcolumn = 3;
  rdb = 0;
  segments = 1;
  segment_number = 1;
  segment_size = 1000;
  standard = 1;
  dump_match_probs = 0;
  debug_print = 0;
  write_dist = 0;
  fraglen = 10;
  numpermatch = 5;
  logo_bw = 0;
  logo_bars_per_line = 0;
  logo_start_num = 1;
  logo_auto_size = 0;
  logo_captionf_ignoreCL = 1;
  logo_captionf_numseq = 1;
  logo_rel_entropy = 1;
  help = 0;
}

static void initialize_score() {
  Score.NLLnull = -10.0;
  Score.mdNLLnull = -10.0;
  Score.NLLcomplex = -10.0;
  Score.mdNLLcomplex = -10.0;
  Score.Emax = 0.01;
  Score.mdEmax = 0.01;
  Score.select_seq = 0;
  Score.select_md = 4;
  Score.select_score = 8;
  Score.select_align = 0;
  Score.select_mdalign = 0;
  Score.sort = 4;
  Score.subtract_null = 4;
  Score.simple_threshold = 10000.0;
  Score.calibrate_threshold = 0.0;
  Score.viterbi_threshold = 1000000.0;
  Score.FIM_method_score = -6;
  Score.Insert_method_score = 0;
  Score.adjust_score = 2;
  Score.adpstyle = 1;
  Score.Motifcutoff = 0.5;
  Score.alignshort = -1;
  Score.dbsize = 0;
  reset_string(&Score.matrix, "blosum62");
  Score.swlambda = 0.34657;
  Score.lambda = 1.0;
  Score.tau = 1.0;
  reset_string(&Score.query, nullptr);
  Score.gap = 12;
  Score.continue_ = 1;
  for (int32_t &u : Score.unnamed) u = 0;
  Score.model_length = -1;
  Score.fim_method_used = 0;
  Score.insert_method_used = 0;
  Score.is_query_model = 0;
  Score.unnamed_last = 0;
}

// Every default of the table. Owned strings and lists left by an earlier call are released; model
// bundles cannot be held before the model reader is joined, so their pointers are simply cleared.
void initialize_variables() {
  base_model = nullptr;
  base_regularizer = nullptr;
  base_frequencies = nullptr;
  users_null = nullptr;

  trainseed = -1;
  seed = -1;
  initNmodels = 3;
  seq_models = 0.0;
  reset_string(&alignfile, nullptr);
  reset_string(&prior_filename, nullptr);
  reset_string(&protein_prior, nullptr);
  reset_string(&nucleotide_prior, nullptr);
  reset_string(&modlibfilename, nullptr);
  reset_string(&model_filename, nullptr);
  reset_string(&regularizer_filename, nullptr);
  reset_string(&nullmodel_filename, nullptr);
  reset_list(&insert_filename, &insert_listcount);
  reset_string(&alphabetname, nullptr);
  reset_string(&alphabet_def, nullptr);
  reset_list(&alphbackfile, &alphbackfilecount);
  keepannotations = 1;
  sequence_warning = 0;
  auto_add_fims = 1;
  dump_parameters = 0;
  verbose = 0;
  reset_list(&dblist, &dblistcount);
  reset_list(&dbguide, &dbguidelistcount);
  reset_list(&idlist, &idlistcount);
  reset_list(&notidlist, &notidlistcount);
  reset_string(&NLLfilename, nullptr);
  reset_string(&NLLfilename2, nullptr);
  fimstrength = 1.0;
  fimtrans = 1.0;
  mainline_cutoff = 0.5;
  cutmatch = 0.5;
  cutinsert = 0.5;
  SW_score = 2;
  jump_in_prob = 1.0;
  jump_out_prob = 1.0;
  NscoreSeq = 1000000;
  plotnegate = 0;
  binary_output = 0;
  a2mdots = 1;
  maxmem = 20000000;
  maxposdecodemem = 100000000;
  max_seq_length = 2500;
  reset_string(&trackmodcoeff, nullptr);
  reset_string(&trackmodfilenames, nullptr);
  probseqmethod = 0;
  ppscale = 1.0;
  pptrim = 0.0;

  initialize_score();

  reset_list(&Constr.constraints, &Constr.constraints_count);
  reset_string(&Constr.constraints_out, nullptr);
  Constr.constraints_from_align = 0;
  reset_string(&Constr.align_constraints_out, nullptr);

  AWeight.aweight_method = 1;
  AWeight.aweight_bits = 0.5;
  AWeight.aweight_exponent = 0.5;

  Omburi.use_omburi = 0;
  reset_string(&Omburi.omburi_remote_db_dir, nullptr);
  Omburi.omburi_retry_cnt = 0;
  Omburi.omburi_retry_time = 0;
  Omburi.omburi_fallback = 1;
  Omburi.omburi_min_model_len = 0;
  Omburi.omburi_use_simulator = 0;
  Omburi.omburi_num_extra_pe = 0;
  Omburi.omburi_dual_mapping = -1;

  initialize_inert_variables();
}

// ---- Lookups by address -----------------------------------------------------------------------

// The first row whose variable is var, or null.
static OptionEntry *first_row_of(const void *var) {
  for (OptionEntry *row = read_vars; row->type != VAR_END; row++)
    if (row->var == var) return row;
  return nullptr;
}

// An internal error: the message on standard error and an abnormal end (no input can cause it).
[[noreturn]] static void internal_error(const char *message) {
  fflush(stdout);
  fputs(message, stderr);
  abort();
}

int var_changed(void *var) {
  OptionEntry *row = first_row_of(var);
  if (row == nullptr) internal_error("Error: init:var_changed given unfound variable address.\n");
  return row->changed;
}

void mark_var_changed(void *var) {
  OptionEntry *row = first_row_of(var);
  if (row == nullptr) internal_error("Error: init:mark_var_changed given unfound variable address.\n");
  row->changed = 1;
}

// ---- The sequence-file search -----------------------------------------------------------------

char *find_seq_file() {
  for (OptionEntry *row = read_vars; row->type != VAR_END; row++) {
    if (row->type == VAR_SEQFILE) {
      char *name = *static_cast<char **>(row->var);
      if (name != nullptr && name[0] != '\0') return name;
    } else if (row->type == VAR_FILE_LIST) {
      char **list = *static_cast<char ***>(row->var);
      int32_t count = *static_cast<int32_t *>(row[1].var);
      if (count > 0 && list != nullptr) return list[0];
    }
  }
  return nullptr;
}

}  // namespace qor
