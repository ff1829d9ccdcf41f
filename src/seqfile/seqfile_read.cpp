// Reading sequences from open sources: one track of the next entry from a file of any format
// (FASTA, numeric FASTA, HSSP entries, the further formats, model files as model sequences), whole
// entries across the tracks of a source, and a database source paired with a guide source.
//
// Sections: ids | entries of the further formats | model sequences | one track | entries |
// databases and guides
#include <cstdlib>
#include <cstring>
#include <vector>

#include "alphabet/alphabet.h"
#include "init/init.h"
#include "models/models.h"
#include "seqfile/seqfile.h"
#include "seqfile/seqfile_internal.h"
#include "seqformat/seqformat.h"
#include "util/util.h"

namespace qor {

// ---- Ids --------------------------------------------------------------------------------------

static const char *base_name(const char *name) {
  const char *slash = strrchr(name, '/');
  return slash != nullptr ? slash + 1 : name;
}

static char *copy_text(const char *s, size_t n) {
  char *p = static_cast<char *>(mem_alloc(static_cast<int>(n) + 1));
  memcpy(p, s, n);
  p[n] = '\0';
  return p;
}

// generate_seq_id: the file name without its directory, "#" and the file's seq_count, as a new
//   text ("%s#%d").
char *generate_seq_id(const OpenSeqFile *file) {
  const char *base = base_name(file != nullptr && file->name != nullptr ? file->name : "");
  size_t size = strlen(base) + 16;
  char *id = static_cast<char *>(mem_alloc(static_cast<int>(size)));
  snprintf(id, size, "%s#%d", base, file != nullptr ? file->seq_count : 0);
  return id;
}

// ---- Entries of the further formats -----------------------------------------------------------

static bool is_id_end(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',' || c == '\0';
}

// next_readseq_string
//   Reads the next entry of a file in one of the further formats with readSeqFp. Files of the
//   numbered formats (MSF, Olsen, PAUP, Phylip) are read by entry number, which is kept per file:
//   the entry after the seq_count entries already read. The id is the first word of the entry's id
//   line (words end at blanks, tabs, line ends and commas); the annotation is the rest of the line
//   after the blanks, tabs and commas that follow it, or null when nothing follows. An entry with
//   an empty id line gets the id of generate_seq_id.
// Returns the new text, or null at the end: the reader's "no more data" (or no text) silently,
//   any other error code after the reader's message (readSeqErr).
// Fatal: a missing file or stream; more entries in a numbered file than an entry number can reach.
char *next_readseq_string(OpenSeqFile *file, char **id, char **annotation) {
  if (id != nullptr) *id = nullptr;
  if (annotation != nullptr) *annotation = nullptr;
  if (file == nullptr || file->stream == nullptr) error("Bad openseqfile passed to next_readseq_string");
  int which = 1;
  int skip = 0;
  if (seqfile_numbered_format(file->format)) {
    if (file->seq_count >= 32767)
      error("%s: more than %d entries in a file of format %s cannot be read", file->name, 32766,
            SeqFormatString(file->format));
    which = file->seq_count + 1;
    bool phylip = file->format == SEQFMT_PHYLIP || file->format == SEQFMT_PHYLIP_SEQUENTIAL;
    if (phylip && which > 1) skip = seqfile_skip_lines(file);
  }
  std::vector<char> idline(READSEQ_ID_BUFFER);
  int32_t length = 0;
  int16_t nseq = 0;
  int16_t err = 0;
  char *text = readSeqFp(static_cast<int16_t>(which), file->stream, skip, file->format, &length, &nseq, &err,
                         idline.data(), file->line_buffer);
  if (err == READSEQ_NO_DATA || text == nullptr) {
    if (err != READSEQ_NO_DATA) readSeqErr(err, file->name);
    free(text);
    return nullptr;
  }
  if (readSeqErr(err, file->name)) {
    free(text);
    return nullptr;
  }
  idline.back() = '\0';
  const char *line = idline.data();
  size_t word = 0;
  while (!is_id_end(line[word])) word++;
  if (id != nullptr) *id = word > 0 ? copy_text(line, word) : generate_seq_id(file);
  if (annotation != nullptr) {
    const char *rest = line + word;
    while (*rest == ' ' || *rest == '\t' || *rest == ',') rest++;
    size_t n = strcspn(rest, "\r\n");
    if (n > 0) *annotation = copy_text(rest, n);
  }
  return text;
}

// ---- Model sequences --------------------------------------------------------------------------

// next_model_string_track
//   Reads the next model of a model file as track `track` of seq, with the current alphabet set to
//   the track's alphabet for the duration. An empty seq takes the model's length L; the track gets
//   L rows of match-state emission probabilities (node i gives row i-1; a node the file does not
//   give is taken from its GENERIC node) and as letters the index of each row's largest value (the
//   first one on ties). Without an id the sequence takes the file name without directory; with
//   keepannotations and no annotation, the full file name as annotation. Tracks that held no
//   letters before keep none (resizing an empty sequence makes arrays for every track).
// Returns 1 when a model was read, 0 when the file holds no further model.
// Fatal: a length other than that of the earlier tracks ("Non-matching track sequences."); a node
//   that is neither in the file nor given by a GENERIC node; the model reader's errors.
int next_model_string_track(OpenSeqFile *file, Sequence *seq, int track) {
  if (file == nullptr || file->stream == nullptr) error("Bad openseqfile passed to next_model_string_track");
  if (seq == nullptr) error("next_model_string_track with null sequence");
  if (track < 0 || track >= MAX_TRACKS || alphabets[track] == nullptr)
    error("%s: no alphabet for sequence track %d", file->name, track);
  Alphabet *saved = alphabet;
  alphabet = alphabets[track];
  RModel *model = nullptr;
  if (fread_first_rmodel(file->stream, file->name, "model sequence", track, &model, 10) != 1) {
    free_rmodel(&model);
    alphabet = saved;
    return 0;
  }
  int length = model->length > 0 ? model->length : 0;
  if (seq->length == 0) {
    bool had_letters[MAX_TRACKS];
    for (int t = 0; t < MAX_TRACKS; t++) had_letters[t] = seq->tracks[t].letters != nullptr;
    if (seq->num_tracks < track + 1) seq->num_tracks = track + 1;
    realloc_sequence(seq, length);
    for (int t = 0; t < MAX_TRACKS; t++)
      if (t != track && !had_letters[t]) {
        free(seq->tracks[t].letters);
        seq->tracks[t].letters = nullptr;
      }
  } else if (seq->length != length) {
    fprintf(stderr, "In file %s, model has length %d but earlier\n", file->name, length);
    fprintf(stderr, "sequence track has length %d.\n", seq->length);
    error("Non-matching track sequences.");
  }
  if (seq->tracks[track].letters == nullptr)
    seq->tracks[track].letters = static_cast<unsigned char *>(mem_alloc(length + 2));
  if (seq->id == nullptr) {
    const char *base = base_name(file->name);
    seq->id = copy_text(base, strlen(base));
    if (keepannotations != 0 && seq->annotation == nullptr)
      seq->annotation = copy_text(file->name, strlen(file->name));
  }
  float **rows = alloc_prob_seq_track(seq, track);
  const int flength = alphabets[track]->flength;
  unsigned char *letters = seq->tracks[track].letters;
  for (int i = 1; i <= length && rows != nullptr; i++) {
    const Node *node = i < model->slot_count ? model->slots[i] : nullptr;
    if (node == nullptr) node = model->generic;
    if (node == nullptr)
      error("In file %s, model sequence %s: node %d is missing and there is no GENERIC node", file->name,
            seq->id, i);
    int best = 0;
    for (int k = 0; k < flength; k++) {
      rows[i - 1][k] = node->match[k];
      if (node->match[k] > node->match[best]) best = k;
    }
    letters[i - 1] = static_cast<unsigned char>(best);
  }
  letters[length] = 0;
  free_rmodel(&model);
  alphabet = saved;
  return 1;
}

// ---- One track --------------------------------------------------------------------------------

// read_track_entry: read_sequence_track, also giving the length of the track's text or values.
int read_track_entry(OpenSeqFile *file, Sequence *seq, int track, int *length) {
  if (length != nullptr) *length = -1;
  if (file == nullptr) return 1;
  if (seq == nullptr) error("read_sequence_track with null sequence");
  if (track < 0 || track >= MAX_TRACKS) error("read_sequence_track: track %d out of range", track);
  if (file->at_end) return 0;
  if (file->format == SEQFORMAT_MODEL) {
    if (!next_model_string_track(file, seq, track)) {
      file->at_end = 1;
      return 0;
    }
    file->seq_count++;
    if (seq->num_tracks < track + 1) seq->num_tracks = track + 1;
    return 1;
  }
  Alphabet *a = alphabets[track];
  if (a == nullptr) error("%s: no alphabet for sequence track %d", file->name, track);
  const bool want_annotation = keepannotations != 0 && seq->annotation == nullptr;
  char *id = nullptr;
  char *annotation = nullptr;
  char **annotation_out = want_annotation ? &annotation : nullptr;
  unsigned char *text = nullptr;
  int text_length = 0;
  if (a->letters == nullptr) {
    // A numeric track: its values are those of the track's own alphabet.
    if (file->stream == nullptr)
      error("%s: the entries of this file cannot be read as numbers (track %d)", file->name, track);
    Alphabet *saved = alphabet;
    alphabet = a;
    text = next_fasta_numstring(file, &id, annotation_out, &text_length);
    alphabet = saved;
  } else if (file->format == SEQFORMAT_HSSP) {
    if (file->seq_count < file->hssp_count) {
      char *s = file->hssp_seqs[file->seq_count];
      file->hssp_seqs[file->seq_count] = nullptr;
      text = reinterpret_cast<unsigned char *>(s != nullptr ? s : copy_text("", 0));
      text_length = static_cast<int>(strlen(reinterpret_cast<char *>(text)));
      id = generate_seq_id(file);
      file->seq_count++;
    }
  } else if (file->format == SEQFORMAT_PEARSON) {
    char *s = next_fasta_string(file, &id, annotation_out);
    text = reinterpret_cast<unsigned char *>(s);
    if (s != nullptr) text_length = static_cast<int>(strlen(s));
  } else {
    char *s = next_readseq_string(file, &id, annotation_out);
    text = reinterpret_cast<unsigned char *>(s);
    if (s != nullptr) {
      text_length = static_cast<int>(strlen(s));
      file->seq_count++;
    }
  }
  if (text == nullptr) {
    file->at_end = 1;
    free(id);
    free(annotation);
    return 0;
  }
  if (seq->id != nullptr) {
    if (strcmp(id, seq->id) != 0)
      error("Sequence id %s from %s does not match id of main sequence (%s)", id, file->name, seq->id);
    free(id);
  } else {
    seq->id = id;
    seq->length = text_length;
  }
  free(seq->tracks[track].letters);
  seq->tracks[track].letters = text;
  if (annotation != nullptr) {
    if (seq->annotation == nullptr)
      seq->annotation = annotation;
    else
      free(annotation);
  }
  if (seq->num_tracks < track + 1) seq->num_tracks = track + 1;
  if (length != nullptr) *length = text_length;
  return 1;
}

// read_sequence_track
//   Reads track `track` of the next entry of file into seq: a null file (a "-" track) leaves the
//   track without letters; a model file gives a model sequence; any other file gives the entry's
//   text (values for a numeric alphabet), id and annotation. The first track read sets the id and
//   the length; a later track's id must equal it. The annotation is kept with keepannotations when
//   seq has none yet. Every entry is counted once in the file's seq_count.
// Returns 1 when read (or the track is "-"), 0 when the file has no further entry (at_end is set).
// Fatal: "Sequence id %s from %s does not match id of main sequence (%s)"; the readers' errors.
int read_sequence_track(OpenSeqFile *file, Sequence *seq, int track) {
  return read_track_entry(file, seq, track, nullptr);
}

// ---- Entries ----------------------------------------------------------------------------------

// read_sequence
//   Reads the next entry of every track of the source, in track order, into a new sequence of as
//   many tracks as the source has names. With convert the letters are converted (convertseq) and
//   every numeric track must have the length of the others.
// Returns the sequence, or null when a track has no further entry (the partial entry is released
//   and the remaining tracks are not read).
// Fatal: a null source; track lengths that differ; the errors of read_sequence_track.
Sequence *read_sequence(OpenSeqTracks *tracks, int convert) {
  if (tracks == nullptr) error("read_sequence with no open sequence source");
  Sequence *seq = alloc_sequence(0, tracks->num_files);
  int lengths[MAX_TRACKS];
  for (int t = 0; t < tracks->num_files; t++) {
    if (!read_track_entry(tracks->files[t], seq, t, &lengths[t])) {
      free_sequence(seq);
      return nullptr;
    }
  }
  if (convert) {
    convertseq(seq);
    for (int t = 0; t < tracks->num_files; t++) {
      const Alphabet *a = alphabets[t];
      if (lengths[t] >= 0 && a != nullptr && a->letters == nullptr && lengths[t] != seq->length)
        error("ID %s, track %d: length (%d) does not match previous track (%d)", seq->id, t, lengths[t],
              seq->length);
    }
  }
  return seq;
}

// ---- Databases and guides ---------------------------------------------------------------------

static bool guide_warned = false;  // the "database is not a model" warning is printed once per run

// read_sequences
//   Reads up to max entries of the source dbname into table, in order. With a guide source each
//   database entry is paired with the guide's next entry: a model sequence (track 0 has
//   probabilities) takes the guide's track-0 letters when the lengths are equal, else keeps its
//   own after a warning; for any other database entry the guide is ignored with a warning printed
//   once per run. Both sources are closed at the end (with their end-of-source checks).
// Returns the number of entries added. Fatal: a null table; the errors of opening and reading.
int read_sequences(const char *dbname, const char *guidename, int max, SequenceTable *table, int convert) {
  if (table == nullptr) error("read_sequences with null sequence table");
  OpenSeqTracks *db = open_sequences(dbname);
  OpenSeqTracks *guide = guidename != nullptr && guidename[0] != '\0' ? open_sequences(guidename) : nullptr;
  int added = 0;
  while (added < max) {
    Sequence *seq = read_sequence(db, convert);
    if (seq == nullptr) break;
    Sequence *g = guide != nullptr ? read_sequence(guide, convert) : nullptr;
    if (g != nullptr) {
      if (seq->tracks[0].probs != nullptr) {
        if (seq->length == g->length) {
          if (g->tracks[0].letters != nullptr) {
            free(seq->tracks[0].letters);
            seq->tracks[0].letters = g->tracks[0].letters;
            g->tracks[0].letters = nullptr;
          }
        } else {
          fprintf(stderr, "Warning: Sequence model %s and guide sequence %s\n", seq->id, g->id);
          fprintf(stderr, "have different lengths (%d, %d).  Guide ignored.\n", seq->length, g->length);
        }
      } else if (!guide_warned) {
        guide_warned = true;
        fprintf(stderr, "Warning: Guide sequence provided but database is not\n");
        fprintf(stderr, "a model.  Ignoring guide file.  Further warnings surpressed.\n");
      }
      free_sequence(g);
    }
    add_seq_to_table(table, seq);
    added++;
  }
  close_sequences(db);
  close_sequences(guide);
  return added;
}

}  // namespace qor
