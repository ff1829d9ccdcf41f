// The parameter table: its rows in order, their types, aliases and count rows, the defaults, the
// lookups by variable address and the sequence-file search.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "init/init.h"

namespace {

using namespace qor;

// The 245 parameter names in table order, as the parameter system documents them.
const char *const kNames[] = {
    "MODEL",
    "REGULARIZER",
    "FREQUENCIES",
    "NULLMODEL",
    "trainseed",
    "randseed",
    "Nmodels",
    "train",
    "train2",
    "test",
    "test2",
    "alignfile",
    "synchfile",
    "syncfile",
    "template",
    "trans_priors",
    "transweight",
    "sequence_models",
    "prior_library",
    "protein_prior",
    "genprot_prior",
    "genehl2_prior",
    "genebghtl_prior",
    "gs_mean_log_len",
    "gs_sd_log_len",
    "nucleotide_prior",
    "sequence_weights",
    "alignment_weights",
    "weight_length",
    "weight_final",
    "weightmix_final",
    "internal_weight",
    "print_all_weights",
    "i_weight",
    "mix_weights",
    "offset",
    "weight_norm",
    "sample_train",
    "modlib_absolute",
    "model_library",
    "modlib",
    "model_file",
    "regularizer_file",
    "nullmodel_file",
    "family_base_file",
    "insert",
    "insert_listcount",
    "i",
    "insert_listcount",
    "alphabet",
    "a",
    "alphabet_def",
    "alphbackfile",
    "alphbackfilecount",
    "insert_file_protein",
    "pinsert_listcount",
    "insert_file_dna",
    "dinsert_listcount",
    "insert_file_rna",
    "rinsert_listcount",
    "reglength",
    "rerun",
    "print_frequencies",
    "Nseq",
    "Ntrain",
    "reestimates",
    "stopcriterion",
    "nsurgery",
    "randomize",
    "anneal_length",
    "weightmix_length",
    "anneal_noise",
    "initial_noise",
    "surgery_noise_scale",
    "retrain_noise_scale",
    "prior_weight",
    "print_surg_models",
    "print_all_models",
    "many_files",
    "keepannotations",
    "sequence_warning",
    "auto_fim",
    "align_fim",
    "train_reset_inserts",
    "dump_parameters",
    "verbose",
    "db",
    "dblistcount",
    "dbguide",
    "dbguidelistcount",
    "id",
    "idlistcount",
    "not_id",
    "notidlistcount",
    "synchweight",
    "syncweight",
    "NLLfile",
    "NLLfile2",
    "NLLfile1",
    "distfile",
    "distfile2",
    "minmodlen",
    "maxmodlen",
    "modellength",
    "model_abort_length",
    "del_jump_conf",
    "match_jump_conf",
    "insert_jump_conf",
    "ins_jump_conf",
    "matchconf",
    "insconf",
    "fimstrength",
    "fimtrans",
    "maxinserts",
    "mainline_cutoff",
    "cutmatch",
    "cutinsert",
    "fracinsert",
    "cdel2prob",
    "cdel1prob",
    "SWtrain",
    "SW",
    "SW_score",
    "jump_in_prob",
    "jump_out_prob",
    "viterbi",
    "dpstyle",
    "NscoreSeq",
    "FIM_method_train",
    "Insert_method_train",
    "calibrate",
    "NLLnull",
    "mdNLLnull",
    "mdNULLminusNULL",
    "NLLcomplex",
    "mdNLLcomplex",
    "Emax",
    "mdEmax",
    "select_seq",
    "select_md",
    "select_score",
    "select_align",
    "select_mdalign",
    "sort",
    "sort_scores",
    "subtract_null",
    "simple_threshold",
    "calibrate_threshold",
    "viterbi_threshold",
    "FIM_method_score",
    "Insert_method_score",
    "adjust_score",
    "adpstyle",
    "Motifcutoff",
    "alignshort",
    "dbsize",
    "multdomainshort",
    "matrix",
    "swlambda",
    "lambda",
    "tau",
    "query",
    "gap",
    "continue",
    "histbins",
    "plotmax",
    "plotmin",
    "plotleft",
    "plotright",
    "plotps",
    "plotcolumn",
    "plotnegate",
    "plotline",
    "binary_output",
    "rdb",
    "segments",
    "segment_number",
    "segment_size",
    "a2mdots",
    "aweight_method",
    "aweight_bits",
    "aweight_exponent",
    "percent_id",
    "constraints",
    "constraints_count",
    "constraints_out",
    "constraints_from_align",
    "align_constraints_out",
    "score_threshold",
    "predict_seq",
    "maxmem",
    "maxposdecodemem",
    "use_omburi",
    "omburi_remote_db_dir",
    "omburi_retry_cnt",
    "omburi_retry_time",
    "omburi_fallback",
    "omburi_min_model_len",
    "omburi_use_simulator",
    "omburi_num_extra_pe",
    "omburi_dual_mapping",
    "max_seq_length",
    "standard",
    "dump_match_probs",
    "md_map",
    "md_unselected_seqs",
    "debug_print",
    "trackcoeff",
    "trackmod",
    "trackprior",
    "probseqmethod",
    "fisher_feature",
    "fisher_feature_count",
    "null_score_weight_scale",
    "write_dist",
    "fraglen",
    "numpermatch",
    "firstsequence",
    "ppscale",
    "pptrim",
    "logo_color_file",
    "logo_colors_file",
    "logo_under_color",
    "logo_under_colors",
    "logo_captionf_color",
    "logo_captionf_colors",
    "logo_bw",
    "logo_bars_per_line",
    "logo_start_num",
    "logo_font",
    "logo_sig_height",
    "logo_title",
    "logo_title_font",
    "logo_scale",
    "logo_auto_size",
    "logo_under_file",
    "logo_sections",
    "logo_captions",
    "logo_captionf",
    "logo_captionf_ignoreCL",
    "logo_captionf_numseq",
    "logo_savings",
    "logo_rel_entropy",
    "help",
    "logo_savings_output",
};

std::set<std::string> set_of(std::initializer_list<const char *> names) {
  return std::set<std::string>(names.begin(), names.end());
}

OptionEntry *row_named(const char *name) {
  for (OptionEntry *row = read_vars; row->type != VAR_END; row++)
    if (strcmp(row->name, name) == 0) return row;
  return nullptr;
}

bool is_list(int type) {
  return (type >= VAR_INSERT && type <= VAR_INSERT_PROTEIN) || type == VAR_STRING_LIST ||
         type == VAR_FILE_LIST;
}

// Every test starts from the defaults with every changed flag cleared.
class ParameterTable : public testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override { reset(); }
  static void reset() {
    initialize_variables();
    for (OptionEntry *row = read_vars; row->type != VAR_END; row++) row->changed = 0;
  }
};

TEST_F(ParameterTable, HoldsTheNamedRowsInOrderAndTheTerminator) {
  ASSERT_EQ(sizeof kNames / sizeof kNames[0], 245u);
  int n = 0;
  while (read_vars[n].type != VAR_END) {
    ASSERT_LT(n, 245) << "more named rows than documented";
    ASSERT_NE(read_vars[n].name, nullptr) << "row " << n;
    EXPECT_STREQ(read_vars[n].name, kNames[n]) << "row " << n;
    n++;
  }
  EXPECT_EQ(n, 245);
  EXPECT_EQ(read_vars[n].name, nullptr);
  EXPECT_EQ(read_vars[n].var, nullptr);
}

TEST_F(ParameterTable, EveryRowHasItsDocumentedType) {
  const std::map<int, std::set<std::string>> typed = {
      {VAR_MODEL, set_of({"MODEL", "REGULARIZER", "FREQUENCIES", "NULLMODEL"})},
      {VAR_SEQFILE,
       set_of({"train", "train2", "test", "test2", "alignfile", "synchfile", "syncfile", "template"})},
      {VAR_PRIORFILE, set_of({"trans_priors", "prior_library"})},
      {VAR_INSERT, set_of({"insert", "i"})},
      {VAR_INSERT_PROTEIN, set_of({"insert_file_protein"})},
      {VAR_INSERT_DNA, set_of({"insert_file_dna"})},
      {VAR_INSERT_RNA, set_of({"insert_file_rna"})},
      {VAR_ALPHABET, set_of({"alphabet", "a", "alphabet_def"})},
      {VAR_STRING_LIST, set_of({"id", "not_id", "constraints", "fisher_feature"})},
      {VAR_FILE_LIST, set_of({"alphbackfile", "db", "dbguide"})},
      {VAR_STRING, set_of({"protein_prior",
                           "nucleotide_prior",
                           "model_library",
                           "modlib",
                           "model_file",
                           "regularizer_file",
                           "nullmodel_file",
                           "NLLfile",
                           "NLLfile1",
                           "distfile",
                           "NLLfile2",
                           "distfile2",
                           "constraints_out",
                           "trackcoeff",
                           "trackmod",
                           "matrix",
                           "query",
                           "genprot_prior",
                           "genehl2_prior",
                           "genebghtl_prior",
                           "sequence_weights",
                           "alignment_weights",
                           "family_base_file",
                           "align_constraints_out",
                           "predict_seq",
                           "omburi_remote_db_dir",
                           "md_map",
                           "md_unselected_seqs",
                           "trackprior",
                           "firstsequence",
                           "logo_color_file",
                           "logo_colors_file",
                           "logo_under_color",
                           "logo_under_colors",
                           "logo_captionf_color",
                           "logo_captionf_colors",
                           "logo_font",
                           "logo_title",
                           "logo_title_font",
                           "logo_under_file",
                           "logo_sections",
                           "logo_captions",
                           "logo_captionf",
                           "logo_savings",
                           "logo_savings_output"})},
      {VAR_DOUBLE, set_of({"sequence_models",
                           "fimstrength",
                           "fimtrans",
                           "mainline_cutoff",
                           "cutmatch",
                           "cutinsert",
                           "jump_in_prob",
                           "jump_out_prob",
                           "ppscale",
                           "pptrim",
                           "NLLnull",
                           "mdNLLnull",
                           "mdNULLminusNULL",
                           "NLLcomplex",
                           "mdNLLcomplex",
                           "Emax",
                           "mdEmax",
                           "simple_threshold",
                           "calibrate_threshold",
                           "viterbi_threshold",
                           "Motifcutoff",
                           "swlambda",
                           "lambda",
                           "tau",
                           "transweight",
                           "gs_mean_log_len",
                           "gs_sd_log_len",
                           "weight_length",
                           "weight_final",
                           "weightmix_final",
                           "i_weight",
                           "mix_weights",
                           "offset",
                           "stopcriterion",
                           "anneal_length",
                           "weightmix_length",
                           "anneal_noise",
                           "initial_noise",
                           "surgery_noise_scale",
                           "retrain_noise_scale",
                           "prior_weight",
                           "synchweight",
                           "syncweight",
                           "del_jump_conf",
                           "match_jump_conf",
                           "insert_jump_conf",
                           "ins_jump_conf",
                           "matchconf",
                           "insconf",
                           "fracinsert",
                           "cdel2prob",
                           "cdel1prob",
                           "plotmax",
                           "plotmin",
                           "plotleft",
                           "plotright",
                           "plotline",
                           "aweight_bits",
                           "aweight_exponent",
                           "percent_id",
                           "score_threshold",
                           "null_score_weight_scale",
                           "logo_sig_height",
                           "logo_scale"})},
  };
  for (OptionEntry *row = read_vars; row->type != VAR_END; row++) {
    int expected = VAR_INT;  // every row not named above, the count rows included
    for (const auto &group : typed)
      if (group.second.count(row->name)) expected = group.first;
    EXPECT_EQ(row->type, expected) << row->name;
  }
}

TEST_F(ParameterTable, EachListRowIsFollowedByItsCountRow) {
  const std::map<std::string, std::string> count_of = {
      {"insert", "insert_listcount"},
      {"i", "insert_listcount"},
      {"alphbackfile", "alphbackfilecount"},
      {"insert_file_protein", "pinsert_listcount"},
      {"insert_file_dna", "dinsert_listcount"},
      {"insert_file_rna", "rinsert_listcount"},
      {"db", "dblistcount"},
      {"dbguide", "dbguidelistcount"},
      {"id", "idlistcount"},
      {"not_id", "notidlistcount"},
      {"constraints", "constraints_count"},
      {"fisher_feature", "fisher_feature_count"},
  };
  int lists = 0;
  for (OptionEntry *row = read_vars; row->type != VAR_END; row++) {
    if (!is_list(row->type)) continue;
    lists++;
    ASSERT_TRUE(count_of.count(row->name)) << row->name;
    EXPECT_STREQ(row[1].name, count_of.at(row->name).c_str());
    EXPECT_EQ(row[1].type, VAR_INT) << row->name;
  }
  EXPECT_EQ(lists, 12);
  // Both insert rows count into one variable; the programs read these counts directly.
  EXPECT_EQ(row_named("insert")[1].var, &insert_listcount);
  EXPECT_EQ(row_named("i")[1].var, &insert_listcount);
  EXPECT_EQ(row_named("db")[1].var, &dblistcount);
  EXPECT_EQ(row_named("constraints")[1].var, &Constr.constraints_count);
}

TEST_F(ParameterTable, AliasesShareOneVariableAndOnlyThey) {
  const std::set<std::set<std::string>> aliases = {
      set_of({"synchfile", "syncfile"}),
      set_of({"model_library", "modlib"}),
      set_of({"insert", "i"}),
      set_of({"alphabet", "a"}),
      set_of({"synchweight", "syncweight"}),
      set_of({"NLLfile", "NLLfile1", "distfile"}),
      set_of({"NLLfile2", "distfile2"}),
      set_of({"insert_jump_conf", "ins_jump_conf"}),
      set_of({"SW", "SW_score"}),
      set_of({"viterbi", "dpstyle"}),
      set_of({"mdNLLnull", "mdNULLminusNULL"}),
      set_of({"sort", "sort_scores"}),
      set_of({"alignshort", "multdomainshort"}),
      set_of({"logo_color_file", "logo_colors_file"}),
      set_of({"logo_under_color", "logo_under_colors"}),
      set_of({"logo_captionf_color", "logo_captionf_colors"}),
  };
  std::map<void *, std::set<std::string>> by_var;
  for (OptionEntry *row = read_vars; row->type != VAR_END; row++) {
    ASSERT_NE(row->var, nullptr) << row->name;
    by_var[row->var].insert(row->name);
  }
  for (const auto &entry : by_var) {
    if (entry.second.size() > 1) {
      EXPECT_TRUE(aliases.count(entry.second)) << "unexpected sharing by " << *entry.second.begin();
    }
  }
  std::set<std::set<std::string>> seen;
  for (const auto &entry : by_var) seen.insert(entry.second);
  for (const auto &set : aliases)
    EXPECT_TRUE(seen.count(set)) << "alias set of " << *set.begin() << " missing";
  // The documented variables of the rows the programs act on.
  EXPECT_EQ(row_named("randseed")->var, &seed);
  EXPECT_EQ(row_named("Nmodels")->var, &initNmodels);
  EXPECT_EQ(row_named("auto_fim")->var, &auto_add_fims);
  EXPECT_EQ(row_named("trackmod")->var, &trackmodfilenames);
  EXPECT_EQ(row_named("continue")->var, &Score.continue_);
  EXPECT_EQ(row_named("MODEL")->var, &base_model);
  EXPECT_EQ(row_named("NULLMODEL")->var, &users_null);
}

// Rows whose default is not zero, 0.0 or none; every other row must hold zero, none or an empty list.
struct Default {
  const char *name;
  double value;      // numeric rows
  const char *text;  // string rows
};

TEST_F(ParameterTable, DefaultsAreAssigned) {
  const Default defaults[] = {
      {"trainseed", -1, nullptr},
      {"randseed", -1, nullptr},
      {"Nmodels", 3, nullptr},
      {"internal_weight", 1, nullptr},
      {"weight_norm", 1, nullptr},
      {"reglength", -1, nullptr},
      {"rerun", -1, nullptr},
      {"Nseq", 10000, nullptr},
      {"reestimates", 40, nullptr},
      {"nsurgery", 3, nullptr},
      {"randomize", 5, nullptr},
      {"keepannotations", 1, nullptr},
      {"auto_fim", 1, nullptr},
      {"train_reset_inserts", 6, nullptr},
      {"modellength", -1, nullptr},
      {"model_abort_length", 10000, nullptr},
      {"maxinserts", 100, nullptr},
      {"SWtrain", 2, nullptr},
      {"SW", 2, nullptr},
      {"SW_score", 2, nullptr},
      {"NscoreSeq", 1000000, nullptr},
      {"FIM_method_train", -1, nullptr},
      {"Insert_method_train", -1, nullptr},
      {"select_md", 4, nullptr},
      {"select_score", 8, nullptr},
      {"sort", 4, nullptr},
      {"sort_scores", 4, nullptr},
      {"subtract_null", 4, nullptr},
      {"FIM_method_score", -6, nullptr},
      {"adjust_score", 2, nullptr},
      {"adpstyle", 1, nullptr},
      {"alignshort", -1, nullptr},
      {"multdomainshort", -1, nullptr},
      {"gap", 12, nullptr},
      {"continue", 1, nullptr},
      {"histbins", 10, nullptr},
      {"plotps", 1, nullptr},
      {"plotcolumn", 3, nullptr},
      {"segments", 1, nullptr},
      {"segment_number", 1, nullptr},
      {"segment_size", 1000, nullptr},
      {"a2mdots", 1, nullptr},
      {"aweight_method", 1, nullptr},
      {"maxmem", 20000000, nullptr},
      {"maxposdecodemem", 100000000, nullptr},
      {"omburi_fallback", 1, nullptr},
      {"omburi_dual_mapping", -1, nullptr},
      {"max_seq_length", 2500, nullptr},
      {"standard", 1, nullptr},
      {"fraglen", 10, nullptr},
      {"numpermatch", 5, nullptr},
      {"logo_start_num", 1, nullptr},
      {"logo_captionf_ignoreCL", 1, nullptr},
      {"logo_captionf_numseq", 1, nullptr},
      {"logo_rel_entropy", 1, nullptr},
      {"transweight", 1.0, nullptr},
      {"gs_mean_log_len", 5.4151, nullptr},
      {"gs_sd_log_len", 1.03632564, nullptr},
      {"weight_final", 1.0, nullptr},
      {"i_weight", 0.1, nullptr},
      {"offset", -15.0, nullptr},
      {"stopcriterion", 0.1, nullptr},
      {"anneal_length", 0.8, nullptr},
      {"weightmix_length", 0.8, nullptr},
      {"anneal_noise", 5.0, nullptr},
      {"initial_noise", -1.0, nullptr},
      {"surgery_noise_scale", 0.1, nullptr},
      {"retrain_noise_scale", 0.1, nullptr},
      {"prior_weight", 1.0, nullptr},
      {"synchweight", 1.0, nullptr},
      {"syncweight", 1.0, nullptr},
      {"del_jump_conf", 1.0, nullptr},
      {"match_jump_conf", 1.0, nullptr},
      {"insert_jump_conf", 1.0, nullptr},
      {"ins_jump_conf", 1.0, nullptr},
      {"matchconf", 1.0, nullptr},
      {"insconf", 10000.0, nullptr},
      {"fimstrength", 1.0, nullptr},
      {"fimtrans", 1.0, nullptr},
      {"mainline_cutoff", 0.5, nullptr},
      {"cutmatch", 0.5, nullptr},
      {"cutinsert", 0.5, nullptr},
      {"fracinsert", 1.0, nullptr},
      {"cdel2prob", 0.05, nullptr},
      {"cdel1prob", 0.05, nullptr},
      {"jump_in_prob", 1.0, nullptr},
      {"jump_out_prob", 1.0, nullptr},
      {"NLLnull", -10.0, nullptr},
      {"mdNLLnull", -10.0, nullptr},
      {"mdNULLminusNULL", -10.0, nullptr},
      {"NLLcomplex", -10.0, nullptr},
      {"mdNLLcomplex", -10.0, nullptr},
      {"Emax", 0.01, nullptr},
      {"mdEmax", 0.01, nullptr},
      {"simple_threshold", 10000.0, nullptr},
      {"viterbi_threshold", 1000000.0, nullptr},
      {"Motifcutoff", 0.5, nullptr},
      {"swlambda", 0.34657, nullptr},
      {"lambda", 1.0, nullptr},
      {"tau", 1.0, nullptr},
      {"aweight_bits", 0.5, nullptr},
      {"aweight_exponent", 0.5, nullptr},
      {"percent_id", 1.0, nullptr},
      {"null_score_weight_scale", 10.0, nullptr},
      {"ppscale", 1.0, nullptr},
      {"logo_sig_height", 1.0, nullptr},
      {"logo_scale", 20.0, nullptr},
      {"matrix", 0, "blosum62"},
      {"logo_font", 0, "Courier"},
      {"logo_title_font", 0, "Times-Roman"},
  };
  std::map<std::string, const Default *> by_name;
  for (const auto &d : defaults) {
    ASSERT_NE(row_named(d.name), nullptr) << d.name;
    by_name[d.name] = &d;
  }
  for (OptionEntry *row = read_vars; row->type != VAR_END; row++) {
    const Default *d = by_name.count(row->name) ? by_name[row->name] : nullptr;
    EXPECT_EQ(row->changed, 0) << row->name;
    switch (row->type) {
      case VAR_INT:
        EXPECT_EQ(*static_cast<int32_t *>(row->var), d ? static_cast<int32_t>(d->value) : 0) << row->name;
        break;
      case VAR_DOUBLE:
        EXPECT_EQ(*static_cast<double *>(row->var), d ? d->value : 0.0) << row->name;
        break;
      case VAR_MODEL:
        EXPECT_EQ(*static_cast<RModel **>(row->var), nullptr) << row->name;
        break;
      default:
        if (is_list(row->type)) {
          EXPECT_EQ(*static_cast<char ***>(row->var), nullptr) << row->name;
          EXPECT_EQ(*static_cast<int32_t *>(row[1].var), 0) << row->name;
        } else if (d != nullptr) {
          EXPECT_STREQ(*static_cast<char **>(row->var), d->text) << row->name;
        } else {
          EXPECT_EQ(*static_cast<char **>(row->var), nullptr) << row->name;
        }
    }
  }
  // The fields of Score without a row.
  for (int32_t u : Score.unnamed) EXPECT_EQ(u, 0);
  EXPECT_EQ(Score.model_length, -1);
  EXPECT_EQ(Score.fim_method_used, 0);
  EXPECT_EQ(Score.insert_method_used, 0);
  EXPECT_EQ(Score.is_query_model, 0);
  EXPECT_EQ(Score.unnamed_last, 0);
}

TEST_F(ParameterTable, ReassigningDefaultsReleasesValuesAndKeepsChangedFlags) {
  // Text defaults are owned copies: releasing one and assigning again must be sound.
  free(Score.matrix);
  Score.matrix = nullptr;
  maxmem = 5;
  add_to_string_list(row_named("db"), "a.seq");
  add_to_string_list(row_named("db"), "b.seq");
  Score.query = static_cast<char *>(malloc(4));
  strcpy(Score.query, "q.f");
  row_named("maxmem")->changed = 1;
  initialize_variables();
  EXPECT_STREQ(Score.matrix, "blosum62");
  EXPECT_EQ(Score.query, nullptr);
  EXPECT_EQ(maxmem, 20000000);
  EXPECT_EQ(dblist, nullptr);
  EXPECT_EQ(dblistcount, 0);
  EXPECT_EQ(row_named("maxmem")->changed, 1);
}

TEST_F(ParameterTable, LookupByAddressUsesTheFirstRowOfAnAliasSet) {
  // Setting SW_score changes the value read through SW, but the flag reported is the SW row's.
  row_named("SW_score")->changed = 1;
  SW_score = 1;
  EXPECT_EQ(*static_cast<int32_t *>(row_named("SW")->var), 1);
  EXPECT_EQ(var_changed(&SW_score), 0);
  mark_var_changed(&SW_score);
  EXPECT_EQ(row_named("SW")->changed, 1);
  EXPECT_EQ(var_changed(&SW_score), 1);

  mark_var_changed(&NLLfilename);
  EXPECT_EQ(row_named("NLLfile")->changed, 1);
  EXPECT_EQ(row_named("NLLfile1")->changed, 0);
  EXPECT_EQ(row_named("distfile")->changed, 0);

  row_named("randseed")->changed = 2;
  EXPECT_EQ(var_changed(&seed), 2);
  mark_var_changed(&seed);
  EXPECT_EQ(var_changed(&seed), 1);
}

TEST(ParameterTableDeathTest, UnknownAddressIsAnInternalError) {
  static int32_t not_a_parameter;
  EXPECT_DEATH(var_changed(&not_a_parameter), "^Error: init:var_changed given unfound variable address\\.\n");
  EXPECT_DEATH(mark_var_changed(&not_a_parameter),
               "^Error: init:mark_var_changed given unfound variable address\\.\n");
}

TEST_F(ParameterTable, FindSeqFileTakesTheFirstQualifyingRowInTableOrder) {
  EXPECT_EQ(find_seq_file(), nullptr);

  add_to_string_list(row_named("db"), "first.seq");
  add_to_string_list(row_named("db"), "second.seq");
  EXPECT_STREQ(find_seq_file(), "first.seq");

  // An empty sequence-file name is skipped; a set one before the lists wins.
  train = static_cast<char *>(calloc(1, 1));
  EXPECT_STREQ(find_seq_file(), "first.seq");
  template_ = strdup("tpl.a2m");
  EXPECT_STREQ(find_seq_file(), "tpl.a2m");
  alignfile = strdup("align.hssp");
  EXPECT_STREQ(find_seq_file(), "align.hssp");
  test2 = strdup("t2.seq");
  EXPECT_STREQ(find_seq_file(), "t2.seq");

  // Among the file lists, alphbackfile comes before db; dbguide after it.
  initialize_variables();
  add_to_string_list(row_named("dbguide"), "guide.seq");
  EXPECT_STREQ(find_seq_file(), "guide.seq");
  add_to_string_list(row_named("db"), "db.seq");
  EXPECT_STREQ(find_seq_file(), "db.seq");
  add_to_string_list(row_named("alphbackfile"), "back.txt");
  EXPECT_STREQ(find_seq_file(), "back.txt");
  // Neither string lists nor prior files qualify.
  initialize_variables();
  add_to_string_list(row_named("id"), "seq1");
  trans_priors = strdup("p.lib");
  EXPECT_EQ(find_seq_file(), nullptr);
}

}  // namespace
