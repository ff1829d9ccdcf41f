// HSSP alignments: recognising HSSP files, reading the aligned homologues of the protein of known
// structure, and writing the protein's structure template (<run>.tplate).
#ifndef QOR_HSSP_HSSP_H
#define QOR_HSSP_HSSP_H

#include <cstdint>
#include <cstdio>

namespace qor {

// Lines of an HSSP file are read in pieces of at most HSSP_LINE_BUFFER-1 characters.
constexpr int HSSP_LINE_BUFFER = 10000;

// 1 when the file's first four characters are "HSSP", else 0 (also for a null or empty name or a
// file that cannot be opened, which is not reported).
int isHSSP(const char *filename);

// Reads the HSSP alignment from stream: sets *nalign (as soon as the NALIGN line is read) and
// returns the NALIGN aligned texts (each SEQLENGTH characters with room for SEQLENGTH+2; the array
// and the texts are the caller's, released with free()). With a positive template_flag also writes
// the template run_name + ".tplate". A file without an alignment block (when NALIGN > 0 or a
// template is wanted), one that ends inside its blocks or whose column header lacks a column is
// fatal.
char **read_HSSP(FILE *stream, int32_t *nalign, int template_flag, const char *run_name);

// As read_HSSP, naming filename (may be null) in its messages.
char **read_HSSP_named(FILE *stream, int32_t *nalign, int template_flag, const char *run_name,
                       const char *filename);

// Writes the template file run_name + ".tplate": the header lines (with the current UTC time) and
// one line per residue (letter, structure character, accessibility). Fatal when it cannot be
// opened or written.
void PrintTemplate(const char *run_name, const char *residues, const char *structure,
                   const int32_t *accessibility, int32_t length);

}  // namespace qor

#endif
