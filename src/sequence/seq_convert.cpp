// Letter conversion: the characters of a sequence's tracks become letter indices of the tracks'
// alphabets, with the track-length check and the optional echo of converted sequences.
#include <cstdio>
#include <cstring>

#include "init/init.h"
#include "sequence/sequence.h"
#include "util/util.h"

namespace qor {

// convert_seq_track: turns the text on `track` into letter indices of alphabets[track], in place.
//   length becomes the text length less the dropped '-' and '.'; num_tracks is raised to track+1;
//   every other character goes through the alphabet's translate table (case, conversion pairs,
//   unknown characters to the wildcard). More than 500 dropped characters shrink the letter
//   array. With sequence_warning -2 the sequence is echoed on standard output. A track without
//   text is left alone. Fatal: a track out of range or without an alphabet with letters.
void convert_seq_track(Sequence *seq, int track) {
  if (seq == nullptr) return;
  if (track < 0 || track >= MAX_TRACKS) error("convert_seq_track: track %d out of range", track);
  const Alphabet *a = alphabets[track];
  if (a == nullptr || a->letters == nullptr)
    error("convert_seq_track: track %d of %s has no letter alphabet", track,
          seq->id != nullptr ? seq->id : "");
  unsigned char *s = seq->tracks[track].letters;
  if (s == nullptr) return;
  size_t text_length = strlen(reinterpret_cast<char *>(s));
  if (text_length > 0x7ffffff0u) error("convert_seq_track: sequence %s too long", seq->id ? seq->id : "");
  if (seq->num_tracks < track + 1) seq->num_tracks = track + 1;
  const unsigned char *translate = a->translate;
  size_t out = 0;
  for (size_t i = 0; i < text_length; i++) {
    unsigned char c = s[i];
    if (c == '-' || c == '.') continue;
    s[out++] = translate[c];
  }
  size_t dropped = text_length - out;
  s[out] = 0;
  seq->length = static_cast<int32_t>(out);
  if (dropped > 500) {
    seq->tracks[track].letters = static_cast<unsigned char *>(mem_realloc(s, seq->length + 2));
    seq->tracks[track].letters[seq->length + 1] = 0;
  }
  if (sequence_warning == -2) pretty_print_sequence(stdout, seq);
}

// convertseq: converts every track below num_tracks that holds text of a letter alphabet (tracks
//   without letters, numeric tracks and probability tracks are left as they are) and sets
//   converted to 1. After each track holding letters its length must equal that of the earlier
//   ones. A sequence already converted is left alone (its letters are indices, not text).
//   Fatal: "ID %s, track %d: length (%d) does not match previous track (%d)".
void convertseq(Sequence *seq) {
  if (seq == nullptr || seq->converted) return;
  int known = -1;
  int tracks = seq->num_tracks;
  for (int t = 0; t < tracks && t < MAX_TRACKS; t++) {
    const SequenceTrack &tr = seq->tracks[t];
    if (tr.letters == nullptr) continue;
    const Alphabet *a = alphabets[t];
    if (a != nullptr && a->letters != nullptr && tr.probs == nullptr) convert_seq_track(seq, t);
    if (known >= 0 && seq->length != known)
      error("ID %s, track %d: length (%d) does not match previous track (%d)",
            seq->id != nullptr ? seq->id : "", t, seq->length, known);
    known = seq->length;
  }
  seq->converted = 1;
}

}  // namespace qor
