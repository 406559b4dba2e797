/* Annotation-file slice of the WFDB library interface (10.5 series).
 *
 * Our own implementation: reads and writes MIT-format annotation files
 * byte-compatible with the real library.  Programs written against this
 * header also build against an installed libwfdb. */
#ifndef WFDB_WFDB_H
#define WFDB_WFDB_H

#ifdef __cplusplus
extern "C" {
#endif

/* Sample numbers.  64 bits: records of more than 2^31 samples exist. */
typedef long WFDB_Time;
typedef unsigned int WFDB_Annotator;

/* Values of WFDB_Anninfo.stat. */
#define WFDB_READ 0
#define WFDB_WRITE 1
#define WFDB_AHA_READ 2
#define WFDB_AHA_WRITE 3

typedef struct {
    char *name; /* annotator name: the file is <record>.<name> */
    int stat;   /* WFDB_READ or WFDB_WRITE */
} WFDB_Anninfo;

typedef struct {
    WFDB_Time time;     /* sample number */
    char anntyp;        /* annotation code, 1..ACMAX */
    signed char subtyp;
    unsigned char chan;
    signed char num;
    unsigned char *aux; /* counted string: count byte, bytes; or NULL */
} WFDB_Annotation;

/* Opens nann annotators of record.  Unless record begins with "+", every
 * annotator opened before is closed first.  Answers 0, -3 (an input won't
 * open), -4 (an output won't open) or -5 (bad stat). */
int annopen(const char *record, WFDB_Anninfo *aiarray, unsigned int nann);

/* 0: next annotation placed in *annot; -1: end of file; -2: no such
 * annotator; -3: the data ends inside an annotation; -4: corrupt data.
 * annot->aux points into storage of the library, valid until the next
 * getann on that annotator. */
int getann(WFDB_Annotator an, WFDB_Annotation *annot);

/* 0: appended; -1: write error (the output file will not be kept);
 * -2: no such annotator. */
int putann(WFDB_Annotator an, WFDB_Annotation *annot);

/* Mnemonic <-> code.  strann answers 0 for a text that names no code. */
int strann(const char *s);
char *annstr(int code);
char *anndesc(int code);

/* Path of the file <record>.<type> found on the WFDB path (with type NULL,
 * of the file named record), or NULL when there is none.  The answer lives
 * in storage of the library, valid until the next call. */
char *wfdbfile(const char *type, const char *record);

/* Closes every annotator; output files are completed and renamed into
 * place.  Modification labels read from input files are forgotten. */
void wfdbquit(void);
void wfdbquiet(void);
void wfdbverbose(void);

/* printf-like report on standard error, silent after wfdbquiet(). */
void wfdb_error(const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;
/* Nonzero: a failed allocation is to be fatal for the caller. */
int wfdb_me_fatal(void);

/* Not in the real library.  Output files are written to a temporary file
 * beside the target and renamed into place when closed; a write error
 * (also one that shows only while closing: disk full, size limit) removes
 * the temporary file and leaves any old file of that name untouched.
 * Answers -1 when an output annotator closed since the last call failed
 * that way, 0 otherwise; each call starts the count afresh.
 * WFDB_HAVE_WRITE_STATUS tells callers that it exists. */
#define WFDB_HAVE_WRITE_STATUS 1
int wfdb_write_status(void);

#ifdef __cplusplus
}
#endif

#include <wfdb/ecgcodes.h>

#endif
