// Fits of analysis models: closure and pulls over pseudo-experiments with every part of
// the model switched on, shared parameters across data sets, the fit framework's
// minimisers with their errors converted to one sigma, and plainly reported failures.

#include <cmath>
#include <memory>
#include <random>

#include "analysis/fit.h"
#include "analysis_test_util.h"
#include "common/test_util.h"

namespace {

using namespace femtokit::analysis;
using femtokit_test::AnalyticGenuine;
using femtokit_test::Centres;
using femtokit_test::GaussianMatrix;

const ParameterValues kTruth = {{"R", 1.4},         {"lambdaG", 1.0}, {"lambdaX", 0.0},
                                {"lambda_gen", 0.6}, {"lambda_feed", 0.25}, {"lambda_misid", 0.15},
                                {"N", 0.98},        {"b1", 2e-4}};

// Identical-boson kernel, Gaussian source, resolution, a decay and a flat residual, a
// linear baseline: 50 bins of 4 MeV/c. The kernel is made once for all tests.
std::shared_ptr<Model> FullModel() {
  static std::shared_ptr<KernelTable> kernel = [] {
    std::shared_ptr<KernelTable> k;
    CAPTURE_STDOUT(k = KernelTable::PureHBT(GridFor(Centres(60, 4.0), 15.0, 0.25)));
    return k;
  }();
  auto model = std::make_shared<Model>(std::make_shared<KernelSourceCorrelation>(kernel, "gx1d"));
  model->SetResolution(GaussianMatrix(Centres(50, 4.0), Centres(60, 4.0), 5.0));
  CurveTable parent{"parent", {0.0, 400.0}, {1.6, 1.0}};
  model->AddResidual(Residual{"feed", Residual::Kind::kDecay, parent,
                              GaussianMatrix(Centres(60, 4.0), Centres(80, 4.0), 15.0)});
  model->AddResidual(Residual{"misid", Residual::Kind::kFlat, {}, {}});
  model->SetBaseline(Baseline{1, std::nullopt});
  return model;
}

MeasuredData PseudoData(const Model& model, double error, std::mt19937* random) {
  MeasuredData d;
  d.origin = "pseudo-data";
  d.k = Centres(50, 4.0);
  d.k_low = d.k_high = d.k;
  std::normal_distribution<double> gauss(0.0, 1.0);
  for (double c : model.Evaluate(d.k, kTruth)) {
    d.value.push_back(c + (random ? error * gauss(*random) : 0.0));
    d.error.push_back(error);
  }
  return d;
}

void SetFreeParameters(Analysis& a) {
  a.SetParameter({"R", 2.0, 0.3, 5.0, false});
  a.SetParameter({"lambdaG", 1.0, 0.0, 1.0, true});
  a.SetParameter({"lambdaX", 0.0, 0.0, 1.0, true});
  a.SetParameter({"lambda_gen", 0.8, 0.0, 1.0, false});
  a.SetParameter({"lambda_feed", 0.25, 0.0, 1.0, true});
  a.SetParameter({"lambda_misid", 0.15, 0.0, 1.0, true});
  a.SetParameter({"N", 1.0, 0.5, 1.5, false});
  a.SetParameter({"b1", 0.0, -0.01, 0.01, false});
}

// 50 pseudo-experiments: every fit converges, and the pulls of R and lambda_gen have
// mean 0 +- 0.3 and width 1 +- 0.25.
TEST(AnalysisFit, ClosureAndPulls) {
  const std::shared_ptr<Model> model = FullModel();
  std::mt19937 random(12345);
  std::vector<double> pulls_r, pulls_l;
  for (int e = 0; e < 50; ++e) {
    Analysis a;
    a.AddDataSet({"pp", PseudoData(*model, 0.01, &random), model});
    SetFreeParameters(a);
    const FitResult r = a.Fit();
    ASSERT_TRUE(r.converged) << "experiment " << e << ": " << r.status;
    EXPECT_EQ(r.ndf, 46);
    pulls_r.push_back((r.value("R") - kTruth.at("R")) / r.error("R"));
    pulls_l.push_back((r.value("lambda_gen") - kTruth.at("lambda_gen")) / r.error("lambda_gen"));
  }
  for (const auto* pulls : {&pulls_r, &pulls_l}) {
    double mean = 0.0, var = 0.0;
    for (double p : *pulls) mean += p / pulls->size();
    for (double p : *pulls) var += (p - mean) * (p - mean) / (pulls->size() - 1);
    EXPECT_NEAR(mean, 0.0, 0.3);
    EXPECT_NEAR(std::sqrt(var), 1.0, 0.25);
  }
}

// Without noise the fit returns the truth, with chi^2 ~ 0 and a p-value of 1.
TEST(AnalysisFit, NoiselessDataGiveTruth) {
  const std::shared_ptr<Model> model = FullModel();
  Analysis a;
  a.AddDataSet({"pp", PseudoData(*model, 0.01, nullptr), model});
  SetFreeParameters(a);
  const FitResult r = a.Fit();
  ASSERT_TRUE(r.converged) << r.status;
  for (const char* name : {"R", "lambda_gen", "N", "b1"})
    EXPECT_CLOSE_ABS(r.value(name), kTruth.at(name), 1e-5, 1e-9) << name;
  EXPECT_LT(r.chi2, 1e-8);
  EXPECT_CLOSE(r.p_value, 1.0, 1e-9);
}

// Two data sets share "w" and keep their own amplitudes through renaming; chi^2 is the
// sum over the sets, and the errors follow from chi^2 + 1 (a one-parameter check: the
// amplitude of a set with k-independent C - 1 has error sigma / sqrt(n)).
TEST(AnalysisFit, SharedAndPerSetParameters) {
  std::vector<DataSet> sets;
  for (const char* name : {"first", "second"}) {
    auto model = std::make_shared<Model>(std::make_shared<AnalyticGenuine>());
    model->Rename("a", std::string("a_") + name);
    MeasuredData d;
    d.origin = name;
    d.k = Centres(20, 5.0);
    d.k_low = d.k_high = d.k;
    const double amplitude = name[0] == 'f' ? 0.5 : 0.9;
    for (const double c : model->Evaluate(d.k, {{"a_" + std::string(name), amplitude}, {"w", 40.0}})) {
      d.value.push_back(c);
      d.error.push_back(0.02);
    }
    sets.push_back({name, d, model});
  }
  Analysis a;
  for (const DataSet& s : sets) a.AddDataSet(s);
  a.SetParameter({"a_first", 0.3, 0.0, 2.0, false});
  a.SetParameter({"a_second", 0.3, 0.0, 2.0, false});
  a.SetParameter({"w", 30.0, 5.0, 100.0, false});
  a.SetParameter({"N", 1.0, 0.5, 1.5, true});
  const FitResult r = a.Fit();
  ASSERT_TRUE(r.converged) << r.status;
  EXPECT_EQ(r.nbins, 40);
  EXPECT_EQ(r.ndf, 37);
  EXPECT_CLOSE(r.value("a_first"), 0.5, 1e-6);
  EXPECT_CLOSE(r.value("a_second"), 0.9, 1e-6);
  EXPECT_CLOSE(r.value("w"), 40.0, 1e-6);

  // chi^2 of the whole is the sum of the sets' chi^2.
  ParameterValues p = r.Values();
  p["w"] = 35.0;
  double sum = 0.0;
  for (const DataSet& s : sets) {
    Analysis one;
    one.AddDataSet(s);
    sum += one.ChiSquare(p);
  }
  EXPECT_CLOSE(a.ChiSquare(p), sum, 1e-12);

  // A flat C - 1 = a (w huge) over n bins of error sigma: error of a is sigma / sqrt(n).
  Analysis flat;
  auto model = std::make_shared<Model>(std::make_shared<AnalyticGenuine>());
  MeasuredData d = sets[0].data;
  for (double& v : d.value) v = 1.3;
  flat.AddDataSet({"flat", d, model});
  flat.SetParameter({"a", 0.1, 0.0, 1.0, false});
  flat.SetParameter({"w", 1e9, 1.0, 1e10, true});
  flat.SetParameter({"N", 1.0, 0.5, 1.5, true});
  const FitResult f = flat.Fit();
  ASSERT_TRUE(f.converged) << f.status;
  EXPECT_CLOSE(f.error("a"), 0.02 / std::sqrt(20.0), 1e-4);
}

// The fit framework's Newton, run on the same problem, lands at the same minimum; its
// error matrix (the inverse chi^2 curvature) converted by sqrt(2) matches the one-sigma
// errors.
TEST(AnalysisFit, NewtonErrorsConvertedToOneSigma) {
  const std::shared_ptr<Model> model = FullModel();
  std::mt19937 random(7);
  Analysis a;
  a.AddDataSet({"pp", PseudoData(*model, 0.01, &random), model});
  SetFreeParameters(a);
  const FitResult reference = a.Fit();
  // Newton takes at most two iterations: start it within a fifth of an error.
  for (const char* name : {"R", "lambda_gen", "N", "b1"}) {
    const double start = reference.value(name) + 0.2 * reference.error(name);
    a.SetParameter({name, start, name[0] == 'R' ? 0.3 : name[0] == 'b' ? -0.01 : 0.0,
                    name[0] == 'R' ? 5.0 : name[0] == 'b' ? 0.01 : name[0] == 'N' ? 1.5 : 1.0,
                    false});
  }
  FitOptions newton;
  newton.minimizer = "newton";
  newton.max_iterations = 10;
  FitResult r;
  CAPTURE_STDOUT(r = a.Fit(newton));
  ASSERT_TRUE(r.converged) << r.status;
  ASSERT_FALSE(r.minimizer_errors.empty());
  EXPECT_NE(r.error_note.find("sqrt(2)"), std::string::npos);
  for (const char* name : {"R", "lambda_gen"}) {
    const std::size_t i = std::find(r.names.begin(), r.names.end(), name) - r.names.begin();
    EXPECT_CLOSE(r.values[i], reference.value(name), 0.1 * reference.error(name) / r.values[i]);
    EXPECT_CLOSE(r.minimizer_errors[i], reference.error(name), 0.1) << name;
    EXPECT_CLOSE(r.errors[i], reference.error(name), 0.02) << name;
  }
}

// A fit stopped by its iteration limit far from the minimum says so.
TEST(AnalysisFit, NonConvergenceIsReported) {
  const std::shared_ptr<Model> model = FullModel();
  Analysis a;
  a.AddDataSet({"pp", PseudoData(*model, 0.01, nullptr), model});
  SetFreeParameters(a);
  a.SetParameter({"R", 4.5, 0.3, 5.0, false});
  FitOptions options;
  options.max_iterations = 1;
  const FitResult r = a.Fit(options);
  EXPECT_FALSE(r.converged);
  EXPECT_NE(r.status.find("maximum number of iterations"), std::string::npos) << r.status;
}

}  // namespace
