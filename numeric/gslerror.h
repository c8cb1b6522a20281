#ifndef FEMTOKIT_NUMERIC_GSLERROR_H
#define FEMTOKIT_NUMERIC_GSLERROR_H

// The boundary to the GNU Scientific Library's error handling.
//
// GSL's default handler aborts the process on any error (an underflowing
// Coulomb function, a singular matrix). The library reads GSL results and
// checks them itself where it matters (status codes, finiteness), so GSL must
// not abort. PrepareGSL is the one place that arranges this: every library
// function that calls GSL calls it first. Its first call switches GSL's
// default handler off; a handler that the host program installed before is
// left as it is (the host decides for its own process). Later calls cost one
// guard check. Nothing happens at static initialisation, so merely linking
// the library changes nothing in the host process.

namespace femtokit {

void PrepareGSL();

}  // namespace femtokit

#endif  // FEMTOKIT_NUMERIC_GSLERROR_H
