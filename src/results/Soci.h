#pragma once
// SOCI without its Boost helpers: Debian's build announces Boost in its
// configuration header but does not pull in the Boost headers. The helpers are
// header-only conversions this code does not use.
#include <soci/soci-config.h>
#undef SOCI_HAVE_BOOST
#undef SOCI_HAVE_BOOST_DATE_TIME
#include <soci/soci.h>
