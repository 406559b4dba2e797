/* Stand-in libmat: the plug-in links it (as MATLAB's mex command does) but
 * calls nothing in it. */
typedef struct MATFile_tag MATFile;
MATFile *matOpen(const char *filename, const char *mode);
MATFile *matOpen(const char *filename, const char *mode) { (void)filename; (void)mode; return 0; }
