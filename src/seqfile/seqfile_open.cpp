// Sequence files and sources: opening one file in its detected format, opening a source of one
// file per track with the track and alphabet checks, the end-of-source check, and closing.
//
// Sections: numbered formats | one file | sources | end of a source
#include <cstdlib>
#include <cstring>
#include <vector>

#include "alphabet/alphabet.h"
#include "hssp/hssp.h"
#include "seqfile/seqfile.h"
#include "seqfile/seqfile_internal.h"
#include "seqformat/seqformat.h"
#include "util/util.h"

namespace qor {

static_assert(SEQFILE_LINE_BUFFER >= READSEQ_LINE_BUFFER,
              "the line buffer of an open file is the multi-format reader's push-back slot");

// ---- Numbered formats -------------------------------------------------------------------------

int seqfile_numbered_format(int format) {
  return format == SEQFMT_MSF || format == SEQFMT_OLSEN || format == SEQFMT_PAUP || format == SEQFMT_PHYLIP ||
         format == SEQFMT_PHYLIP_SEQUENTIAL;
}

// The lines before the first entry of the open files of numbered formats that have any; the
// Phylip reader rewinds to the start of the file for every entry after the first and must skip
// them again. Entries are added when such a file is opened and removed when it is closed.
struct SkippedLines {
  const OpenSeqFile *file;
  int lines;
};
static std::vector<SkippedLines> skipped_lines;

int seqfile_skip_lines(const OpenSeqFile *file) {
  for (const SkippedLines &s : skipped_lines)
    if (s.file == file) return s.lines;
  return 0;
}

static void forget_skip_lines(const OpenSeqFile *file) {
  for (size_t i = 0; i < skipped_lines.size(); i++)
    if (skipped_lines[i].file == file) {
      skipped_lines.erase(skipped_lines.begin() + static_cast<long>(i));
      return;
    }
}

// ---- One file ---------------------------------------------------------------------------------

static char *copy_text(const char *s) {
  size_t n = strlen(s);
  char *p = static_cast<char *>(mem_alloc(static_cast<int>(n) + 1));
  memcpy(p, s, n + 1);
  return p;
}

// Reads and drops `count` lines of stream through the line buffer (a line longer than the buffer
// is read in pieces).
static void skip_lines(OpenSeqFile *file, int count) {
  for (int i = 0; i < count; i++) {
    for (;;) {
      if (fgets(file->line_buffer, SEQFILE_LINE_BUFFER, file->stream) == nullptr) return;
      size_t n = strlen(file->line_buffer);
      if (n > 0 && file->line_buffer[n - 1] == '\n') break;
    }
  }
}

// open_sequence_file
//   Detects the format of the file (seqfile_format_type), opens it (rewindable for the formats
//   read by entry number) and keeps a copy of the name. An HSSP file is read whole into
//   hssp_seqs / hssp_count and its stream closed; any other file skips the lines before its first
//   entry. The line buffer starts empty.
// Returns the new open file. Fatal: no name; detection and opening failures; HSSP read errors.
OpenSeqFile *open_sequence_file(const char *filename) {
  if (filename == nullptr || filename[0] == '\0') error("open_sequence_file: no file name given");
  int format = SEQFORMAT_UNKNOWN;
  int skip = 0;
  seqfile_format_type(filename, &format, nullptr, &skip);

  OpenSeqFile *file = static_cast<OpenSeqFile *>(mem_alloc(static_cast<int>(sizeof(OpenSeqFile))));
  file->name = copy_text(filename);
  file->format = static_cast<int16_t>(format);
  const bool numbered = seqfile_numbered_format(format) != 0;
  file->stream = open_read(filename, OPEN_REQUIRED | (numbered ? OPEN_SEEKABLE : 0));
  if (format == SEQFORMAT_HSSP) {
    int32_t count = 0;
    file->hssp_seqs = read_HSSP_named(file->stream, &count, 0, nullptr, filename);
    file->hssp_count = file->hssp_seqs != nullptr ? count : 0;
    close_read(file->stream);
    file->stream = nullptr;
  } else if (skip > 0) {
    skip_lines(file, skip);
    if (numbered) skipped_lines.push_back({file, skip});
  }
  file->line_buffer[0] = '\0';
  return file;
}

// close_sequence_file: closes the stream (checking a decompressor's status), releases the name,
//   the HSSP texts not taken by sequences and the record. Null does nothing.
void close_sequence_file(OpenSeqFile *file) {
  if (file == nullptr) return;
  forget_skip_lines(file);
  if (file->stream != nullptr) close_read(file->stream);
  if (file->hssp_seqs != nullptr) {
    for (int i = 0; i < file->hssp_count; i++) free(file->hssp_seqs[i]);
    free(file->hssp_seqs);
  }
  free(file->name);
  free(file);
}

// ---- Sources ----------------------------------------------------------------------------------

// verify_tracks_with_alphabets
//   Makes sure track 0 has an alphabet (guessed from the one file named when none is set) and that
//   as many alphabets are set as the list names tracks.
// Fatal: the alphabet guess fails (several names, a file of unknown type); the counts differ
//   (after the "alphabets are specified" messages naming every file).
void verify_tracks_with_alphabets(const char *names) {
  check_alphabet(names);
  NameList *list = parse_name_list(names);
  if (list->count != num_alphabets) {
    fprintf(stderr, "Error: %d alphabets are specified, however %d sequence tracks\n", num_alphabets,
            list->count);
    fprintf(stderr, "are specified with the files:\n");
    for (int i = 0; i < list->count; i++) fprintf(stderr, "    %s\n", list->names[i]);
    free(list);
    error("The number of tracks is either specified on the command line or other sequence set.");
  }
  free(list);
}

// open_sequences
//   Opens the source named by a list of one file per track ("-" leaves that track empty).
// Returns the new source (num_files counts every name, "-" included).
// Fatal: no name; more than MAX_TRACKS names (after the messages naming every file); only "-"
//   names (such a source has no entries to end it); the checks of verify_tracks_with_alphabets;
//   opening failures.
OpenSeqTracks *open_sequences(const char *names) {
  NameList *list = parse_name_list(names);
  if (list->count == 0) {
    free(list);
    error("no sequence file named for a sequence source");
  }
  if (list->count > MAX_TRACKS) {
    fprintf(stderr, "Error: too many sequence tracks specified by the files:\n");
    for (int i = 0; i < list->count; i++) fprintf(stderr, "    %s\n", list->names[i]);
    free(list);
    error("maximum of %d tracks supported.", MAX_TRACKS);
  }
  bool any_file = false;
  for (int i = 0; i < list->count; i++)
    if (strcmp(list->names[i], "-") != 0) any_file = true;
  if (!any_file) {
    free(list);
    error("the sequence source %s names no file: every track is \"-\"", names);
  }
  verify_tracks_with_alphabets(names);

  OpenSeqTracks *tracks = static_cast<OpenSeqTracks *>(mem_alloc(static_cast<int>(sizeof(OpenSeqTracks))));
  tracks->num_files = list->count;
  for (int i = 0; i < list->count; i++)
    if (strcmp(list->names[i], "-") != 0) tracks->files[i] = open_sequence_file(list->names[i]);
  free(list);
  return tracks;
}

// ---- End of a source --------------------------------------------------------------------------

// check_sequences_eof
//   When at least one file of the source has reached its end, every other file that holds more
//   entries is reported with "Warning: sequence file %s longer than other tracks\n": a file that
//   has already read more entries than an ended one (the entry read in the round in which a later
//   track ended), or one from which one more entry can be read.
void check_sequences_eof(OpenSeqTracks *tracks) {
  if (tracks == nullptr) return;
  int ended_count = -1;  // the fewest entries of a file that has ended
  for (int t = 0; t < tracks->num_files; t++) {
    const OpenSeqFile *f = tracks->files[t];
    if (f != nullptr && f->at_end && (ended_count < 0 || f->seq_count < ended_count))
      ended_count = f->seq_count;
  }
  if (ended_count < 0) return;
  for (int t = 0; t < tracks->num_files; t++) {
    OpenSeqFile *f = tracks->files[t];
    if (f == nullptr || f->at_end) continue;
    bool longer = f->seq_count > ended_count;
    if (!longer) {
      Sequence *scratch = alloc_sequence(0, tracks->num_files);
      longer = read_track_entry(f, scratch, t, nullptr) != 0;
      free_sequence(scratch);
    }
    if (longer) fprintf(stderr, "Warning: sequence file %s longer than other tracks\n", f->name);
  }
}

// close_sequences: check_sequences_eof, then closes every file and releases the source. Null does
//   nothing.
void close_sequences(OpenSeqTracks *tracks) {
  if (tracks == nullptr) return;
  check_sequences_eof(tracks);
  for (int t = 0; t < MAX_TRACKS; t++) close_sequence_file(tracks->files[t]);
  free(tracks);
}

}  // namespace qor
