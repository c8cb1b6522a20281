// Wave-function base: parameters and q grids (uniform and from a file, with
// every fatal path of the file), interpolation in q on both grid kinds, the
// sanity check, wave set-up and sharing, pair kinematics, the short-range
// closed form, the effective-range expansion and the C(q) estimate.

#include "wavefunctions/wavefunction.h"

#include <gsl/gsl_sf_bessel.h>
#include <gsl/gsl_sf_coulomb.h>

#include <cmath>
#include <complex>
#include <memory>
#include <string>

#include "common/test_util.h"
#include "numeric/misc.h"

namespace {

using femtokit_test::kRoundoff;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;
using cd = std::complex<double>;
constexpr double kPi = 3.141592653589793;
constexpr double kHbarc = 197.3269602;

// A pair whose |psi|^2 at grid point iq is iq^2 + offset, whatever r and
// ctheta; counts its calls.
class GridProbe : public CWaveFunction {
 public:
  double CalcPsiSquared(int iq, double /*r*/, double /*ctheta*/) override {
    calls++;
    return double(iq) * iq + offset;
  }
  double offset = 0.0;
  int calls = 0;
};

// Builds a probe from a parameter file with the given text; ParsInit's
// printout is swallowed (its exact form is tested separately) except in death
// tests, whose fatal message must reach the real standard output.
std::unique_ptr<GridProbe> MakeProbe(const ScratchDir& dir, const std::string& pars,
                                     bool quiet = true) {
  WriteTextFile(dir / "wf.par", pars);
  auto wf = std::make_unique<GridProbe>();
  const std::string file = dir / "wf.par";
  if (quiet) {
    CAPTURE_STDOUT(wf->ParsInit(file.c_str()));
  } else {
    wf->ParsInit(file.c_str());
  }
  return wf;
}

// Parameter-file lines end at 100 characters, too few for a scratch path:
// tests that name a q-array file work inside the scratch directory.
class InDir {
 public:
  explicit InDir(const std::filesystem::path& dir) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~InDir() { std::filesystem::current_path(old_); }

 private:
  std::filesystem::path old_;
};

TEST(WaveFunctionTest, DefaultParametersGiveTheUniformGridAndPrintout) {
  ScratchDir dir;
  WriteTextFile(dir / "wf.par", "# nothing changed\n");
  GridProbe wf;
  const std::string file = dir / "wf.par";
  const std::string out = CAPTURE_STDOUT(wf.ParsInit(file.c_str()));
  const std::string tail =
      "qarrayfilename set to no_qarray_file\n__ WFPARAMETERS __\ndelq set to 5\nnqmax set to 15\n"
      "epsilon set to 1\nSTRONG set to 1\nCOULOMB set to 1\n____________________\n";
  ASSERT_GE(out.size(), tail.size());
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
  EXPECT_NE(out.find("NRMAX"), std::string::npos);  // the whole map is printed first
  ASSERT_EQ(wf.GetNQMAX(), 15);
  EXPECT_EQ(wf.GetDELQ(), 5.0);
  EXPECT_EQ(wf.GetQ(0), 2.5);
  EXPECT_EQ(wf.GetQ(14), 72.5);
  EXPECT_EQ(wf.epsilon, 1.0);
  EXPECT_TRUE(wf.STRONG);
  EXPECT_TRUE(wf.COULOMB);
}

TEST(WaveFunctionTest, UniformGridInterpolationRule) {
  ScratchDir dir;
  auto wf = MakeProbe(dir, "");  // delq 5, nqmax 15: f(iq) = iq^2
  // q = 3: points 0 and 1 with wlow = 0.9.
  EXPECT_CLOSE(wf->GetPsiSquared(3.0, 2.0, 0.1), 0.1, kRoundoff);
  // q = 9 (upper half of bin 1): still points 0 and 1, wlow = -0.3.
  EXPECT_CLOSE(wf->GetPsiSquared(9.0, 2.0, 0.1), 1.3, kRoundoff);
  // q = 12 (lower half of bin 2): points 1 and 2, wlow = 0.1.
  EXPECT_CLOSE(wf->GetPsiSquared(12.0, 2.0, 0.1), 0.1 * 1 + 0.9 * 4, kRoundoff);
  // q = 73: points 13 and 14, wlow = -0.1.
  EXPECT_CLOSE(wf->GetPsiSquared(73.0, 2.0, 0.1), -0.1 * 169 + 1.1 * 196, kRoundoff);
  // At and beyond 75 the pair is uncorrelated.
  EXPECT_EQ(wf->GetPsiSquared(75.0, 2.0, 0.1), 1.0);
  EXPECT_EQ(wf->GetPsiSquared(1e12, 2.0, 0.1), 1.0);
  // On a grid point only that point is evaluated.
  wf->calls = 0;
  EXPECT_EQ(wf->GetPsiSquared(7.5, 2.0, 0.1), 1.0);
  EXPECT_EQ(wf->calls, 1);
  wf->calls = 0;
  EXPECT_EQ(wf->GetPsiSquared(2.5 + 1e-6, 2.0, 0.1), 0.0);
  EXPECT_EQ(wf->calls, 1);
}

TEST(WaveFunctionTest, FileGridInterpolationAndExtrapolation) {
  ScratchDir dir;
  InDir in(dir.path());
  WriteTextFile(dir / "q.dat", "4\n10 20\n40\t80\n");
  auto wf = MakeProbe(dir, "double DELQ -1\nstring QARRAYFILENAME q.dat\n");
  ASSERT_EQ(wf->GetNQMAX(), 4);
  EXPECT_LT(wf->GetDELQ(), 0.0);
  EXPECT_EQ(wf->GetQ(2), 40.0);
  wf->offset = 1.0;  // f = 1, 2, 5, 10
  // At or below the first point: that point, no interpolation.
  wf->calls = 0;
  EXPECT_EQ(wf->GetPsiSquared(3.0, 2.0, 0.0), 1.0);
  EXPECT_EQ(wf->GetPsiSquared(10.0 + 1e-6, 2.0, 0.0), 1.0);
  EXPECT_EQ(wf->calls, 2);
  EXPECT_CLOSE(wf->GetPsiSquared(30.0, 2.0, 0.0), 0.5 * 2 + 0.5 * 5, kRoundoff);
  EXPECT_EQ(wf->GetPsiSquared(40.0, 2.0, 0.0), 5.0);
  // Less than half a spacing above the last point: extrapolated from the last two.
  EXPECT_CLOSE(wf->GetPsiSquared(85.0, 2.0, 0.0), -0.125 * 5 + 1.125 * 10, kRoundoff);
  EXPECT_EQ(wf->GetPsiSquared(100.0, 2.0, 0.0), 1.0);
}

TEST(WaveFunctionDeathTest, NegativeInterpolatedPsiSquaredIsFatal) {
  ScratchDir dir;
  auto wf = MakeProbe(dir, "");
  wf->offset = -5.0;  // f = -5, -4, ...
  // Tolerated at r <= 1 fm and at q <= delq / 2.
  EXPECT_CLOSE(wf->GetPsiSquared(3.0, 1.0, 0.0), -4.9, kRoundoff);
  EXPECT_CLOSE(wf->GetPsiSquared(2.0, 3.0, 0.0), 1.1 * -5 - 0.1 * -4, kRoundoff);
  EXPECT_FATAL(wf->GetPsiSquared(3.0, 2.0, 0.0),
               "interpolate=-4.9, qscaled=3, qlow=2.5, qhigh=7.5, rscaled=2\n"
               "wlow=0.9, whigh=0.1\niqlow=0,  -5\niqhigh=1, -4\n");
}

TEST(WaveFunctionDeathTest, BadQArrayFilesAreFatal) {
  ScratchDir dir;
  InDir in(dir.path());
  const std::string q = dir / "q.dat";
  const std::string pars = "double DELQ -1\nstring QARRAYFILENAME q.dat\n";
  // Missing file, and a directory in its place.
  EXPECT_FATAL(MakeProbe(dir, pars, false), "cannot open q-array file q.dat\n");
  std::filesystem::create_directory(q);
  EXPECT_FATAL(MakeProbe(dir, pars, false), "cannot open q-array file q.dat\n");
  std::filesystem::remove(q);
  WriteTextFile(q, "many\n");
  EXPECT_FATAL(MakeProbe(dir, pars, false), "q-array file q.dat: cannot read the point count\n");
  WriteTextFile(q, "3\n1.0 2.0\n");
  EXPECT_FATAL(MakeProbe(dir, pars, false),
               "q-array file q.dat announces 3 q values but holds only 2\n");
  WriteTextFile(q, "3\n1.0 2.0 x 4.0\n");
  EXPECT_FATAL(MakeProbe(dir, pars, false), "announces 3 q values but holds only 2\n");
  WriteTextFile(q, "1\n5.0\n");
  EXPECT_FATAL(MakeProbe(dir, pars, false),
               "q-array file q.dat: a q grid needs at least two points");
  WriteTextFile(q, "3\n1.0 3.0 3.0\n");
  EXPECT_FATAL(MakeProbe(dir, pars, false),
               "q values must increase strictly, point 2 \\(3\\) follows 3\n");
  WriteTextFile(q, "2\n0 3.0\n");
  EXPECT_FATAL(MakeProbe(dir, pars, false), "q values must be positive, the first is 0\n");
}

TEST(WaveFunctionDeathTest, DegenerateUniformGridIsFatal) {
  ScratchDir dir;
  EXPECT_FATAL(MakeProbe(dir, "int NQMAX 0\n", false),
               "a uniform q grid needs NQMAX >= 1 and DELQ > 0 \\(NQMAX=0, DELQ=5\\)");
  EXPECT_FATAL(MakeProbe(dir, "double DELQ 0\n", false), "\\(NQMAX=15, DELQ=0\\)");
}

// Sets up masses, charges and channels as a pair class would.
void SetUpWaves(GridProbe& wf, int q1q2, double m1, double m2, int ellmax,
                std::initializer_list<int> ells) {
  wf.q1q2 = q1q2;
  wf.m1 = m1;
  wf.m2 = m2;
  wf.ellmax = ellmax;
  wf.nchannels = static_cast<int>(ells.size());
  wf.InitArrays();
  int c = 0;
  for (int ell : ells) wf.channelell[c++] = ell;
  wf.InitWaves();
}

TEST(WaveFunctionTest, InitWavesSetsEtaAndSharesPartialWaves) {
  ScratchDir dir;
  auto wf = MakeProbe(dir, "int NQMAX 3\ndouble DELQ 10\n");
  SetUpWaves(*wf, 1, wf->MPROTON, wf->MKAON, 2, {0, 2, 2});
  for (int iq = 0; iq < 3; iq++) {
    const double q = wf->GetQ(iq);
    const double e1 = std::hypot(wf->m1, q), e2 = std::hypot(wf->m2, q);
    EXPECT_CLOSE(wf->eta[iq], e1 * e2 / (e1 + e2) / (137.036 * q), 1e-12);
    EXPECT_EQ(wf->planewave[iq]->eta, wf->eta[iq]);
    EXPECT_EQ(wf->planewave[iq]->q, q);
    ASSERT_NE(wf->partwave[0][iq], nullptr);
    ASSERT_NE(wf->partwave[2][iq], nullptr);
    EXPECT_EQ(wf->partwave[1][iq], nullptr);  // no channel with ell = 1
    EXPECT_EQ(wf->partwave[2][iq]->ell, 2);
    EXPECT_EQ(wf->partwave[2][iq]->eta, wf->eta[iq]);
    EXPECT_EQ(wf->partwave[2][iq]->epsilon, wf->epsilon);
  }
  // Setting up again replaces everything without leaking (checked under ASan).
  SetUpWaves(*wf, -1, wf->MPI, wf->MPI, 1, {1});
  EXPECT_LT(wf->eta[0], 0.0);
  EXPECT_EQ(wf->partwave[0][0], nullptr);
}

TEST(WaveFunctionDeathTest, ChannelWithEllAboveEllmaxIsFatal) {
  ScratchDir dir;
  auto wf = MakeProbe(dir, "int NQMAX 2\n");
  EXPECT_FATAL(SetUpWaves(*wf, 0, 939.0, 939.0, 1, {0, 2}),
               "CWaveFunction::InitWaves: channel 1 has ell=2 outside 0..ellmax=1\n");
}

// ---------------------------------------------------------------------------
// Kinematics

// Pair rest frame: momenta +-k (masses m1, m2), separation d at times ta, tb;
// then both particles boosted with the four-velocity u.
struct Pair {
  double pa[4], pb[4], xa[4], xb[4];
};
Pair MakePair(const double k[3], const double d[3], const double u[4]) {
  const double m1 = 938.271, m2 = 493.677, k2 = k[0] * k[0] + k[1] * k[1] + k[2] * k[2];
  Pair p = {{std::sqrt(m1 * m1 + k2), k[0], k[1], k[2]},
            {std::sqrt(m2 * m2 + k2), -k[0], -k[1], -k[2]},
            {3.0, d[0], d[1], d[2]},
            {-1.5, 0.0, 0.0, 0.0}};
  for (double* v : {p.pa, p.pb, p.xa, p.xb}) Misc::lorentz(u, v, v);
  return p;
}

TEST(WaveFunctionTest, PairFrameQuantitiesAreBoostInvariant) {
  const double k[3] = {30.0, -40.0, 0.0}, d[3] = {1.0, 2.0, 2.0};
  const double gamma = 3.0, v = std::sqrt(1 - 1 / 9.0);
  const double u[4] = {gamma, gamma * v * 0.6, 0.0, gamma * v * 0.8};
  Pair p = MakePair(k, d, u);
  double q, r, ct;
  CWaveFunction::getqrctheta(p.pa, p.xa, p.pb, p.xb, &q, &r, &ct);
  EXPECT_CLOSE(q, 50.0, 1e-10);
  EXPECT_CLOSE(r, 3.0, 1e-10);
  EXPECT_CLOSE(ct, (30.0 - 80.0) / 150.0, 1e-10);
  // Exchanging the particles keeps q and r and flips neither sign of the angle
  // (both vectors reverse).
  double q2, r2, ct2;
  CWaveFunction::getqrctheta(p.pb, p.xb, p.pa, p.xa, &q2, &r2, &ct2);
  EXPECT_CLOSE(ct2, ct, 1e-10);
  // The four-vector form feeds these into GetPsiSquared(q, r, ctheta).
  ScratchDir dir;
  auto wf = MakeProbe(dir, "");
  EXPECT_CLOSE(wf->GetPsiSquared(p.pa, p.xa, p.pb, p.xb), wf->GetPsiSquared(q, r, ct), kRoundoff);
}

TEST(WaveFunctionTest, PairFrameDegenerateCases) {
  const double u[4] = {1.25, 0.0, 0.75, 0.0};
  const double zero[3] = {0, 0, 0}, k[3] = {10, 20, 0}, d[3] = {2, 4, 0};
  double q, r, ct;
  // q = 0 or r = 0: no direction, ctheta = 1.
  Pair p = MakePair(zero, d, u);
  CWaveFunction::getqrctheta(p.pa, p.xa, p.pb, p.xb, &q, &r, &ct);
  EXPECT_CLOSE_ABS(q, 0.0, 0, 1e-5);
  EXPECT_EQ(ct, 1.0);
  p = MakePair(k, zero, u);
  for (int a = 0; a < 4; a++) p.xa[a] = p.xb[a];
  CWaveFunction::getqrctheta(p.pa, p.xa, p.pb, p.xb, &q, &r, &ct);
  EXPECT_EQ(r, 0.0);
  EXPECT_EQ(ct, 1.0);
  // Parallel vectors: rounding must not make |ctheta| exceed 1 or be fatal.
  for (double s : {1.0, -1.0}) {
    const double ds[3] = {s * 1.3, s * 2.6, 0};
    p = MakePair(k, ds, u);
    CWaveFunction::getqrctheta(p.pa, p.xa, p.pb, p.xb, &q, &r, &ct);
    EXPECT_CLOSE(ct, s, 1e-12);
    EXPECT_LE(std::fabs(ct), 1.0);
  }
}

TEST(WaveFunctionDeathTest, SpaceLikePairMomentumIsADisaster) {
  const double pa[4] = {1, 3, 0, 0}, pb[4] = {1, 0, 0, 0}, x[4] = {0, 1, 0, 0}, y[4] = {0, 0, 0, 0};
  double q, r, ct;
  EXPECT_FATAL(CWaveFunction::getqrctheta(pa, x, pb, y, &q, &r, &ct), "Disaster, r\\^2=");
}

// ---------------------------------------------------------------------------
// Short-range closed form

// Reference Phi_ell = E H + conj(H) with H = x h_ell (free) or F - i G
// (Coulomb), straight from GSL.
cd ReferencePhi(int ell, double x, double eta, bool coulomb, double delta) {
  cd H;
  if (coulomb) {
    double fc[4], gc[4], fe, ge;
    gsl_sf_coulomb_wave_FG_array(0, ell, eta, x, fc, gc, &fe, &ge);
    H = cd(fc[ell], -gc[ell]);
  } else {
    H = x * cd(gsl_sf_bessel_jl(ell, x), gsl_sf_bessel_yl(ell, x));
  }
  return std::polar(1.0, 2 * delta) * H + std::conj(H);
}

TEST(WaveFunctionTest, GetIWFreeSWaveClosedForm) {
  CWaveFunction wf;
  for (double delta : {0.0, 0.4, -1.1}) {
    const double q = 45.0, eps = 1.7, x = q * eps / kHbarc;
    EXPECT_CLOSE(wf.GetIW(0, eps, q, 0, 0.0, delta), -(x - std::sin(2 * x + 2 * delta) / 2) / q,
                 1e-12);
  }
}

TEST(WaveFunctionTest, GetIWIsTheRadialIntegralOfTheWave) {
  // d GetIW / d epsilon = -|Phi_ell(q epsilon / HBARC)|^2 / (2 HBARC) for
  // every ell, with and without Coulomb.
  CWaveFunction wf;
  const double q = 40.0, delta = 0.4;
  for (int ell = 0; ell <= 2; ell++) {
    for (int q1q2 : {0, 1, -1}) {
      const double eta = 0.3 * q1q2;
      for (double eps : {0.6, 1.3, 3.0}) {
        SCOPED_TRACE(testing::Message() << "ell=" << ell << " q1q2=" << q1q2 << " eps=" << eps);
        const double h = 1e-4;
        const double deriv = (wf.GetIW(ell, eps + h, q, q1q2, eta, delta) -
                              wf.GetIW(ell, eps - h, q, q1q2, eta, delta)) /
                             (2 * h);
        const cd phi = ReferencePhi(ell, q * eps / kHbarc, eta, q1q2 != 0, delta);
        EXPECT_CLOSE(deriv, -std::norm(phi) / (2 * kHbarc), 1e-6);
      }
    }
  }
}

TEST(WaveFunctionTest, GetIWCoulombBranchJoinsTheFreeOneAsEtaVanishes) {
  CWaveFunction wf;
  for (int ell = 0; ell <= 2; ell++) {
    EXPECT_CLOSE(wf.GetIW(ell, 1.1, 60.0, 1, 1e-7, 0.3), wf.GetIW(ell, 1.1, 60.0, 0, 0.0, 0.3),
                 1e-5);
  }
}

TEST(WaveFunctionTest, EffectiveRangeExpansion) {
  ScratchDir dir;
  const double a = 7.8, reff = 2.7;
  auto setup = [&](const std::string& delq) {
    auto wf = MakeProbe(dir, "int NQMAX 20\ndouble DELQ " + delq + "\n");
    wf->nchannels = 1;
    wf->ellmax = 0;
    wf->InitArrays();
    wf->EffectiveRange(0, a, reff);
    return wf;
  };
  auto wf = setup("5");
  // ddeltadq is the derivative of delta: shift the grid by (iq + 0.5) * 1e-4.
  auto wfp = setup("5.0001"), wfm = setup("4.9999");
  for (int iq : {0, 7, 19}) {
    const double h = (iq + 0.5) * 1e-4;
    EXPECT_CLOSE((wfp->delta[0][iq] - wfm->delta[0][iq]) / (2 * h), wf->ddeltadq[0][iq], 1e-6);
  }
  // Low q: delta -> -a q / HBARC.
  auto low = setup("0.01");
  EXPECT_CLOSE(low->delta[0][0], -a * 0.005 / kHbarc, 1e-6);
}

TEST(WaveFunctionTest, PrintCdeltaWithoutChannelsIsFlat) {
  ScratchDir dir;
  auto wf = MakeProbe(dir, "int NQMAX 3\ndouble DELQ 4\n");
  wf->nchannels = 0;
  wf->InitArrays();
  EXPECT_EQ(CAPTURE_STDOUT(wf->PrintCdelta(3, 4, 5)),
            "! Qinv  C(Q)_estimated ~ ddelta/dq\n"
            "  2.00    1.0000  0\n  6.00    1.0000  0\n 10.00    1.0000  0\n"
            "_________________________________\n");
}

}  // namespace
