// Times as the WFDB tools' listings print them, and as their -f and -t
// options take them.
#ifndef ANNLIST_TIME_TEXT_H
#define ANNLIST_TIME_TEXT_H

#include <string>

#include "record_header.h"

// The time column for sample t: the elapsed time ("m:ss.mmm", with hours
// when needed, right-aligned in 12 columns) or, when the header gives a
// base time, the time of day in brackets ("[hh:mm:ss.mmm]", and the date
// when the header gives one).
std::string time_column(long t, const RecordHeader &h);

// Parses "sNNN" (a sample number) or "[[hh:]mm:]ss[.sss]" (elapsed time,
// which needs h's sampling frequency; h is null when there is no header).
// Answers "" and sets *t, or says what is wrong.
std::string parse_time_arg(const char *text, const RecordHeader *h, long *t);

#endif
