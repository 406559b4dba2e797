// What annlist takes from a record's header file (RECORD.hea): the record
// line's clock, which turns sample numbers into times.
#ifndef ANNLIST_RECORD_HEADER_H
#define ANNLIST_RECORD_HEADER_H

#include <cstddef>
#include <string>

struct RecordHeader {
    double sampfreq = 250;     // samples per second per signal
    double counterfreq = 0;    // counter ticks per second; 0 when none is given
    double basecounter = 0;    // counter value at sample 0
    bool has_basetime = false; // whether the record line gives a time of day
    long long basetime_ms = 0; // time of day at sample 0, in milliseconds
    bool has_basedate = false;
    int day = 0, month = 0, year = 0;
};

// Parses the text of a header file.  Answers "" and fills *h, or says
// what is wrong (and *h is left as it was).
std::string parse_record_header(const char *data, size_t size, RecordHeader *h);

// Reads the header file at path (only its first kMaxHeaderRead bytes are
// looked at) and parses it.
const size_t kMaxHeaderRead = 64 * 1024;
std::string read_record_header(const char *path, RecordHeader *h);

#endif
