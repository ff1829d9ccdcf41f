// Sequence files: what the files of this area share and no other area sees.
#ifndef QOR_SEQFILE_SEQFILE_INTERNAL_H
#define QOR_SEQFILE_SEQFILE_INTERNAL_H

#include "seqfile/seqfile.h"

namespace qor {

// 1 for the formats whose entries are read by number from the start of the file (MSF, Olsen,
// PAUP and both Phylip forms); their files are opened rewindable.
int seqfile_numbered_format(int format);
// The number of lines skipped before the first entry of an open file of a numbered format (the
// Phylip reader skips them again each time it rewinds); 0 for any other file.
int seqfile_skip_lines(const OpenSeqFile *file);
// Reads track `track` of the next entry into seq as read_sequence_track does; *length (may be null)
// gets the length of the track's text or values (-1 for a "-" track or a model track).
int read_track_entry(OpenSeqFile *file, Sequence *seq, int track, int *length);

}  // namespace qor

#endif
