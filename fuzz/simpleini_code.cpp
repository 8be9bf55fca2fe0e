// The ini library's code compiled into the fuzz targets. The packaged header
// keeps the member definitions behind SI_IMPLEMENTATION, so every caller
// otherwise runs the shared library's copy: no coverage feedback from the
// parser, no sanitizer checks inside it, and the allocator's stack unwinding
// through frames without frame pointers gives a new "unique" stack per
// allocation, which grows the sanitizer's stack depot without end (config_fuzz
// slowed from ~3 300/s to ~1 400/s in twelve minutes, its RSS towards 1 GB).
// Definitions in the executable take precedence over the shared library's.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

template class CSimpleIniTempl<char, SI_GenericNoCase<char>, SI_ConvertA<char>>;
