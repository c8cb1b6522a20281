#ifndef FEMTOKIT_FIT_CF2SFIT_INTERNAL_H
#define FEMTOKIT_FIT_CF2SFIT_INTERNAL_H

// The parameter-table setup shared by the model fits' constructors (not part
// of the public interface).

class CCF2SFit;

namespace ModelFit {

// One row of a model fit's parameter table: name, default start, error, bounds.
struct ParRow {
  const char* name;
  double xdefault;
  double error;
  double xmin;
  double xmax;
};

// The steps after Init of every model fit's construction: start values from
// the model's map (the row's default when the map lacks the name), bounds and
// errors from the rows (fit->npars of them), then StepMatrix_ii = error_i,
// ErrorMatrix_ii = error_i^2 and 0 off the diagonal.
void FillTable(CCF2SFit* fit, const ParRow* rows);

}  // namespace ModelFit

#endif  // FEMTOKIT_FIT_CF2SFIT_INTERNAL_H
