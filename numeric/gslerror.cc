#include "numeric/gslerror.h"

#include <gsl/gsl_errno.h>

namespace femtokit {

void PrepareGSL() {
  // A function-local static: initialised exactly once, also when first reached from several
  // threads at the same time.
  static const bool prepared = [] {
    gsl_error_handler_t* host = gsl_set_error_handler_off();
    if (host != nullptr) gsl_set_error_handler(host);  // the host's own handler stays
    return true;
  }();
  (void)prepared;
}

}  // namespace femtokit
