#ifndef FEMTOKIT_NUMERIC_GSLERROR_H
#define FEMTOKIT_NUMERIC_GSLERROR_H

// The boundary to the GNU Scientific Library's error handling.
//
// GSL's default handler aborts the process on any error (an underflowing
// Coulomb function, a singular matrix). The library reads GSL results without
// status codes and checks them itself where it matters, so GSL must never
// abort: every source file that calls GSL includes this header, and the inline
// variable below switches GSL's handler off during static initialisation of
// that file, before main runs. Switching it off more than once is harmless.

#include <gsl/gsl_errno.h>

namespace femtokit {

inline bool TurnOffGSLErrorHandler() {
  gsl_set_error_handler_off();
  return true;
}

inline const bool kGSLErrorHandlerOff = TurnOffGSLErrorHandler();

}  // namespace femtokit

#endif  // FEMTOKIT_NUMERIC_GSLERROR_H
