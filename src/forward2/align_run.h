// The alignment run of a sequence table: setting up the DP engine for the longest sequence and
// aligning every sequence of the table in turn, with the end-FIM delete step taken back.
//
// Sections: set-up | alignment of a table
#ifndef QOR_FORWARD2_ALIGN_RUN_H
#define QOR_FORWARD2_ALIGN_RUN_H

#include "init/init.h"
#include "models/models.h"
#include "sequence/sequence.h"

namespace qor {

// ---- Set-up -----------------------------------------------------------------------------------

// Records the nine settings of an alignment run and sets the DP engine up for sequences of at most
// maxlen residues (traceback storage, no output file). A style other than 1, 4 and 5 becomes 1.
void setup_alignment(Model **models, const float *coefficients, int ntracks, int maxlen, int sw,
                     double jump_in_prob, double jump_out_prob, int style, int pseq_method);

// ---- Alignment of a table ---------------------------------------------------------------------

// Aligns every sequence of table (alignment string and score stored in the sequence); with
// score_info also stores each null-model score and returns their mean, else returns 0. Unless
// keep_fim_delete is set, the delete step through an appended end FIM is taken back. An empty table
// gives a warning and 0.
double align_sequences(Model **models, const float *coefficients, int ntracks, SequenceTable *table,
                       const ScoreParams *score_info, int sw, int style, int pseq_method, double jump_in_prob,
                       double jump_out_prob, int track, int keep_fim_delete);

}  // namespace qor

#endif
