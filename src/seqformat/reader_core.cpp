// The reader's core: the state of one read call, line reading with the push-back slot, growing the
// sequence text, the entry loop, and the entry points readSeq and readSeqFp with their dispatch.
//
// Sections: state | lines | sequence and id | entry loop | dispatch | entry points
#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "seqformat/reader_state.h"
#include "util/util.h"

namespace qor {

// ---- State ------------------------------------------------------------------------------------

void rs_init(ReadSeqState *st, int16_t choice, const char *fname, FILE *f, char *seqid) {
  memset(st, 0, sizeof *st);
  st->choice = choice;
  st->fname = fname;
  st->f = f;
  st->seqid = seqid;
  if (seqid != nullptr) seqid[0] = '\0';
  st->maxseq = READSEQ_SEQ_START;
  st->seq = static_cast<char *>(mem_alloc(st->maxseq));
  st->s = static_cast<char *>(mem_alloc(READSEQ_LINE_BUFFER));
  st->unget = static_cast<char *>(mem_alloc(READSEQ_LINE_BUFFER));
  st->isseqchar = is_seq_char;
}

void rs_release(ReadSeqState *st, bool keep_seq) {
  if (!keep_seq) free(st->seq);
  st->seq = nullptr;
  free(st->s);
  free(st->unget);
  st->s = st->unget = nullptr;
}

// ---- Lines ------------------------------------------------------------------------------------

void rs_getline(ReadSeqState *st) {
  if (st->has_unget) {
    memcpy(st->s, st->unget, READSEQ_LINE_BUFFER);
    st->continued = st->unget_continued;
    st->length = static_cast<int32_t>(strlen(st->s));
    st->has_unget = 0;
    return;
  }
  st->s[0] = '\0';
  st->length = 0;
  if (st->eof || st->f == nullptr) {
    st->eof = 1;
    st->continued = 0;
    return;
  }
  st->continued = st->more_of_line;
  st->more_of_line = 0;
  const int limit = READSEQ_LINE_BUFFER - 1;
  int n = 0, c = 0;
  bool line_ended = false;
  for (;;) {
    c = getc(st->f);
    if (c == EOF) {
      line_ended = true;
      break;
    }
    if (c == '\n') {
      line_ended = true;
      break;
    }
    if (c == '\0') continue;
    st->s[n++] = static_cast<char>(c);
    if (n == limit) {
      int next = getc(st->f);
      if (next == '\n' || next == EOF) {
        line_ended = true;
        c = next;
      } else {
        ungetc(next, st->f);
        st->more_of_line = 1;
      }
      break;
    }
  }
  if (c == EOF && n == 0) {
    st->eof = 1;
    st->continued = 0;
    st->s[0] = '\0';
    return;
  }
  if (line_ended && n > 0 && st->s[n - 1] == '\r') n--;
  st->s[n] = '\0';
  st->length = n;
  st->lines_read++;
}

void rs_ungetline(ReadSeqState *st) {
  memcpy(st->unget, st->s, static_cast<size_t>(st->length) + 1);
  st->unget_continued = st->continued;
  st->has_unget = 1;
}

bool rs_rewind(ReadSeqState *st) {
  if (st->f == nullptr || fseek(st->f, 0L, SEEK_SET) != 0) return false;
  clearerr(st->f);
  st->has_unget = 0;
  st->eof = 0;
  st->more_of_line = 0;
  st->continued = 0;
  st->filestart = 1;
  return true;
}

bool rs_begins(const ReadSeqState *st, const char *prefix) {
  return !st->continued && strncmp(st->s, prefix, strlen(prefix)) == 0;
}

bool rs_blank(const char *text) {
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p != '\0'; p++)
    if (*p > ' ' && *p != 127) return false;
  return true;
}

void rs_skipto(ReadSeqState *st, bool (*pred)(const ReadSeqState *st)) {
  while (!st->eof && !pred(st)) rs_getline(st);
}

// ---- Sequence and id --------------------------------------------------------------------------

int is_seq_char(int c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c != '\0' && strchr("_.-*?", c) != nullptr);
}

int is_any_char(int c) {
  return c > ' ' && c < 127;
}

void rs_addchar(ReadSeqState *st, char c) {
  if (st->err == READSEQ_OUT_OF_MEMORY) return;
  if (st->seqlen + 1 >= st->maxseq) {
    if (st->maxseq > INT_MAX - READSEQ_SEQ_STEP - 16) {
      st->err = READSEQ_OUT_OF_MEMORY;  // the text cannot grow further: truncated, and said so
      return;
    }
    st->maxseq += READSEQ_SEQ_STEP;
    st->seq = static_cast<char *>(mem_realloc(st->seq, st->maxseq));
  }
  st->seq[st->seqlen++] = c;
  st->seq[st->seqlen] = '\0';
}

void rs_addseq(ReadSeqState *st, const char *text) {
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p != '\0'; p++)
    if (st->isseqchar(*p)) rs_addchar(st, static_cast<char>(*p));
}

int32_t rs_countseq(const ReadSeqState *st, const char *text) {
  int32_t n = 0;
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p != '\0'; p++)
    if (st->isseqchar(*p)) n++;
  return n;
}

void rs_setid_n(ReadSeqState *st, const char *text, size_t n) {
  if (st->seqid == nullptr) return;
  size_t len = strnlen(text, n);
  if (len > static_cast<size_t>(READSEQ_ID_BUFFER - 1)) len = READSEQ_ID_BUFFER - 1;
  memcpy(st->seqid, text, len);
  st->seqid[len] = '\0';
}

void rs_setid(ReadSeqState *st, const char *text) {
  rs_setid_n(st, text, READSEQ_ID_BUFFER);
}

void rs_skip_rest_of_line(ReadSeqState *st) {
  if (!st->more_of_line || st->has_unget) return;
  rs_warn(st, "an id line is longer than %d characters; it is cut there.\n", READSEQ_LINE_BUFFER - 1);
  while (st->more_of_line && !st->eof) rs_getline(st);
}

void rs_take_id(ReadSeqState *st, const char *text) {
  rs_setid(st, text);
  rs_skip_rest_of_line(st);
}

void rs_warn(const ReadSeqState *st, const char *format, ...) {
  if (st->fname != nullptr)
    fprintf(stderr, "ReadSeq (file %s): Warning: ", st->fname);
  else
    fprintf(stderr, "ReadSeq: Warning: ");
  va_list args;
  va_start(args, format);
  vfprintf(stderr, format, args);
  va_end(args);
}

// ---- Entry loop -------------------------------------------------------------------------------

void rs_readloop(ReadSeqState *st, bool addfirst, EndTest endtest) {
  st->nseq++;
  st->started = 1;
  bool collect = st->nseq == st->choice;
  st->addit = collect;
  if (collect) {
    st->seqlen = 0;
    st->seq[0] = '\0';
  }
  bool addend = false, ungetend = false;
  st->done = 0;
  if (addfirst && !st->eof) {
    // The current line is the entry's first; it may already end it (an entry without sequence).
    st->done = endtest(st, &addend, &ungetend);
    if (!st->done || addend) {
      if (collect) rs_addseq(st, st->s);
    }
  }
  while (!st->done) {
    rs_getline(st);
    if (st->eof) break;
    addend = ungetend = false;
    st->done = endtest(st, &addend, &ungetend);
    if (collect && st->done && !addend) break;
    if (collect) rs_addseq(st, st->s);
  }
  if (collect) st->allDone = 1;
  if (st->done && ungetend && !st->eof) rs_ungetline(st);
}

// ---- Dispatch ---------------------------------------------------------------------------------

static bool readable_format(int16_t format) {
  return format >= 1 && format <= 18 && format != SEQFMT_ASN1 && format != SEQFMT_PRETTY;
}

static bool rewinding_format(int16_t format) {
  return format == SEQFMT_MSF || format == SEQFMT_OLSEN || format == SEQFMT_PAUP;
}

static bool phylip_format(int16_t format) {
  return format == SEQFMT_PHYLIP || format == SEQFMT_PHYLIP_SEQUENTIAL;
}

// Skips the given lines, then reads to the first non-empty line and dispatches by format.
static void read_seq_main(ReadSeqState *st, int32_t skiplines, int16_t format) {
  if (!readable_format(format)) {
    st->err = READSEQ_UNKNOWN_FORMAT;
    return;
  }
  if (rewinding_format(format)) {
    if (format == SEQFMT_MSF) read_msf(st);
    if (format == SEQFMT_OLSEN) read_olsen(st);
    if (format == SEQFMT_PAUP) read_paup(st);
    return;
  }
  // A Phylip entry after the first is read again from the start of the stream (its header and the
  // layout are needed); the first entry is read from where the caller left the stream.
  if (phylip_format(format) && st->choice != 1) rs_rewind(st);
  for (int32_t i = 0; i < skiplines && !st->eof; i++) rs_getline(st);
  do {
    rs_getline(st);
  } while (!st->eof && rs_blank(st->s));
  if (st->eof) {
    st->err = READSEQ_NO_DATA;
    return;
  }
  switch (format) {
    case SEQFMT_IG:
      read_ig(st);
      break;
    case SEQFMT_GENBANK:
      read_genbank(st);
      break;
    case SEQFMT_NBRF:
      read_nbrf(st);
      break;
    case SEQFMT_EMBL:
      read_embl(st);
      break;
    case SEQFMT_GCG:
      read_gcg(st);
      break;
    case SEQFMT_STRIDER:
      read_strider(st);
      break;
    case SEQFMT_FITCH:
      read_fitch(st);
      break;
    case SEQFMT_PEARSON:
      read_pearson(st);
      break;
    case SEQFMT_ZUKER:
      read_zuker(st);
      break;
    case SEQFMT_PHYLIP_SEQUENTIAL:
      read_phylip_sequential(st);
      break;
    case SEQFMT_PHYLIP:
      read_phylip_interleaved(st);
      break;
    case SEQFMT_PLAIN:
      read_plain(st);
      break;
    case SEQFMT_PIR:
      read_pir(st);
      break;
    default:
      st->err = READSEQ_UNKNOWN_FORMAT;
      break;
  }
}

// Fills the results and gives back the text (null on an error other than truncation).
static char *finish(ReadSeqState *st, int32_t *seqlen, int16_t *nseq, int16_t *error) {
  if (st->err == 0 && st->choice != -1 && !st->allDone)
    st->err = st->started ? READSEQ_ITEM_NOT_FOUND : READSEQ_NO_DATA;
  if (nseq != nullptr) *nseq = st->nseq;
  if (error != nullptr) *error = st->err;
  bool keep = (st->err == 0 || st->err == READSEQ_OUT_OF_MEMORY) && st->choice != -1;
  char *text = keep ? st->seq : nullptr;
  if (text != nullptr) text[st->seqlen] = '\0';
  if (seqlen != nullptr) *seqlen = keep ? st->seqlen : 0;
  rs_release(st, keep);
  return text;
}

static int16_t normal_choice(int16_t whichEntry) {
  return whichEntry <= 0 && whichEntry != -1 ? 1 : whichEntry;
}

// ---- Entry points -----------------------------------------------------------------------------

char *readSeq(int16_t whichEntry, const char *filename, int32_t skiplines, int16_t format, int32_t *seqlen,
              int16_t *nseq, int16_t *error, char *seqid) {
  ReadSeqState st;
  rs_init(&st, normal_choice(whichEntry), filename, nullptr, seqid);
  if (!readable_format(format)) {
    st.err = READSEQ_UNKNOWN_FORMAT;
    return finish(&st, seqlen, nseq, error);
  }
  int flags = rewinding_format(format) || phylip_format(format) ? OPEN_SEEKABLE : 0;
  st.f = filename != nullptr && filename[0] != '\0' ? do_open_read(filename, flags) : nullptr;
  if (st.f == nullptr) {
    st.err = READSEQ_FILE_NOT_FOUND;
    return finish(&st, seqlen, nseq, error);
  }
  st.filestart = 1;
  read_seq_main(&st, skiplines, format);
  close_read(st.f);
  st.f = nullptr;
  return finish(&st, seqlen, nseq, error);
}

char *readSeqFp(int16_t whichEntry, FILE *stream, int32_t skiplines, int16_t format, int32_t *seqlen,
                int16_t *nseq, int16_t *error, char *seqid, char *linebuf) {
  ReadSeqState st;
  rs_init(&st, normal_choice(whichEntry), nullptr, stream, seqid);
  if (stream == nullptr) {
    st.err = READSEQ_FILE_NOT_FOUND;
    return finish(&st, seqlen, nseq, error);
  }
  if (linebuf != nullptr && linebuf[0] != '\0') {
    size_t n = strnlen(linebuf, READSEQ_LINE_BUFFER - 1);
    memcpy(st.unget, linebuf, n);
    st.unget[n] = '\0';
    st.has_unget = 1;
  }
  if (linebuf != nullptr) linebuf[0] = '\0';
  read_seq_main(&st, skiplines, format);
  if (st.has_unget && st.more_of_line) {
    // The line left for the next call (a header line) goes on beyond the buffer: the next call
    // could not tell, so its rest is passed over now.
    rs_warn(&st, "an id line is longer than %d characters; it is cut there.\n", READSEQ_LINE_BUFFER - 1);
    int c;
    while ((c = getc(stream)) != EOF && c != '\n') {
    }
  }
  if (linebuf != nullptr && st.has_unget) memcpy(linebuf, st.unget, strlen(st.unget) + 1);
  return finish(&st, seqlen, nseq, error);
}

}  // namespace qor
