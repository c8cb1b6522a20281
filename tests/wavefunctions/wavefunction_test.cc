// Wave-function base: q grids and their fatal paths, interpolation in q, wave
// set-up, pair kinematics, the short-range closed form, the effective-range
// expansion and the C(q) estimate.

#include "wavefunctions/wavefunction.h"

#include <gsl/gsl_sf_bessel.h>
#include <gsl/gsl_sf_coulomb.h>

#include <cmath>
#include <complex>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/test_util.h"
#include "numeric/misc.h"
#include "wavefunctions/partwave.h"
#include "wavefunctions/planewave.h"

namespace {

using femtokit_test::kRoundoff;
using femtokit_test::ScratchDir;
using femtokit_test::WriteTextFile;
using cd = std::complex<double>;
constexpr double kHbarc = 197.3269602;

// |psi|^2 at grid point iq is iq^2 + offset, whatever r and ctheta; counts calls.
class GridProbe : public CWaveFunction {
 public:
  double CalcPsiSquared(int iq, double /*r*/, double /*ctheta*/) override {
    calls++;
    return double(iq) * iq + offset;
  }
  double offset = 0.0;
  int calls = 0;
};

// A probe from parameter-file text; the printout is swallowed unless a death
// test needs the fatal message (quiet = false).
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

// Parameter-file lines end at 100 characters, too few for a scratch path.
class InDir {
 public:
  explicit InDir(const std::filesystem::path& dir) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~InDir() { std::filesystem::current_path(old_); }

 private:
  std::filesystem::path old_;
};

TEST(WaveFunctionTest, InterpolationInQOnBothGridKinds) {
  ScratchDir dir;
  InDir in(dir.path());
  // Uniform grid (delq 5, nqmax 15, f = iq^2): bin k = floor(q/5) pairs points k-1 and k, so
  // q = 3 and 9 use points 0, 1 (wlow 0.9, -0.3), 12 points 1, 2, 73 points 13, 14; from 75 on
  // the pair is uncorrelated.
  auto uni = MakeProbe(dir, "");
  const double uq[] = {3.0, 9.0, 12.0, 73.0, 75.0, 1e12};
  const double uf[] = {0.1, 1.3, 0.1 * 1 + 0.9 * 4, -0.1 * 169 + 1.1 * 196, 1.0, 1.0};
  for (int i = 0; i < 6; i++) EXPECT_CLOSE(uni->GetPsiSquared(uq[i], 2.0, 0.1), uf[i], kRoundoff);
  // On a grid point only that point is evaluated.
  uni->calls = 0;
  EXPECT_EQ(uni->GetPsiSquared(7.5, 2.0, 0.1) + uni->GetPsiSquared(2.5 + 1e-6, 2.0, 0.1), 1.0);
  EXPECT_EQ(uni->calls, 2);
  // Grid from a file (f = 1, 2, 5, 10): at or below the first point that point; less than half a
  // spacing above the last point extrapolated from the last two.
  WriteTextFile(dir / "q.dat", "4\n10 20\n40\t80\n");
  auto file = MakeProbe(dir, "double DELQ -1\nstring QARRAYFILENAME q.dat\n");
  ASSERT_EQ(file->GetNQMAX(), 4);
  EXPECT_LT(file->GetDELQ(), 0.0);
  file->offset = 1.0;
  const double fq[] = {3.0, 10.0 + 1e-6, 30.0, 40.0, 85.0, 100.0};
  const double ff[] = {1.0, 1.0, 0.5 * 2 + 0.5 * 5, 5.0, -0.125 * 5 + 1.125 * 10, 1.0};
  for (int i = 0; i < 6; i++) EXPECT_CLOSE(file->GetPsiSquared(fq[i], 2.0, 0.0), ff[i], kRoundoff);
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

TEST(WaveFunctionDeathTest, BadGridsAreFatal) {
  ScratchDir dir;
  InDir in(dir.path());
  const std::string pars = "double DELQ -1\nstring QARRAYFILENAME q.dat\n";
  EXPECT_FATAL(MakeProbe(dir, pars, false), "cannot open q-array file q.dat\n");
  const char* cases[][2] = {
      {"many\n", "q-array file q.dat: cannot read the point count\n"},
      {"3\n1.0 2.0\n", "q-array file q.dat announces 3 q values but holds only 2\n"},
      {"1\n5.0\n", "q-array file q.dat: a q grid needs at least two points"},
      {"3\n1.0 3.0 3.0\n", "q values must increase strictly, point 2 \\(3\\) follows 3\n"},
      {"2\n0 3.0\n", "q values must be positive, the first is 0\n"}};
  for (const auto& c : cases) {
    WriteTextFile(dir / "q.dat", c[0]);
    EXPECT_FATAL(MakeProbe(dir, pars, false), c[1]);
  }
  EXPECT_FATAL(MakeProbe(dir, "int NQMAX 0\n", false),
               "a uniform q grid needs NQMAX >= 1 and DELQ > 0 \\(NQMAX=0, DELQ=5\\)");
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

TEST(WaveFunctionTest, InitWavesSetsEtaAndCreatesPartialWavesPerNeededEll) {
  ScratchDir dir;
  auto wf = MakeProbe(dir, "int NQMAX 3\ndouble DELQ 10\n");
  SetUpWaves(*wf, 1, wf->MPROTON, wf->MKAON, 2, {0, 2, 2});
  for (int iq = 0; iq < 3; iq++) {
    const double q = wf->GetQ(iq), e1 = std::hypot(wf->m1, q), e2 = std::hypot(wf->m2, q);
    EXPECT_CLOSE(wf->eta[iq], e1 * e2 / (e1 + e2) / (137.036 * q), 1e-12);
    EXPECT_EQ(wf->planewave[iq]->eta, wf->eta[iq]);
    EXPECT_TRUE(wf->partwave[0][iq] && !wf->partwave[1][iq]);  // no channel with ell = 1
    ASSERT_NE(wf->partwave[2][iq], nullptr);
    EXPECT_EQ(wf->partwave[2][iq]->ell, 2);
  }
  // Setting up again replaces everything without leaking (checked under ASan).
  SetUpWaves(*wf, -1, wf->MPI, wf->MPI, 1, {1});
  EXPECT_LT(wf->eta[0], 0.0);
  EXPECT_EQ(wf->partwave[0][0], nullptr);
  EXPECT_FATAL(SetUpWaves(*wf, 0, 939.0, 939.0, 1, {0, 2}),
               "CWaveFunction::InitWaves: channel 1 has ell=2 outside 0..ellmax=1\n");
}

// The partial waves InitWaves builds fill their table points on first use: from two threads at
// once, in opposite orders, every radius (below the first point, on and between points, across
// the 30 fm end of the table) gives exactly the full table's value.
TEST(WaveFunctionTest, OnDemandPartialWavesEqualTheFullTableFromTwoThreads) {
  const std::vector<double> radii = {-0.3,   0.001,  0.005,   0.37, 0.3749, 2.5,
                                     17.123, 29.994, 29.9999, 30.0, 41.7};
  for (const int q1q2 : {1, -1, 0}) {
    for (const int ell : {0, 1, 2}) {
      const double q = 37.0, eta = 0.4 * q1q2;
      CPartWave full(eta, q1q2, q, ell, 1.0);
      CPartWave lazy(eta, q1q2, q, ell, 1.0, CPartWave::OnDemand{});
      EXPECT_EQ(lazy.sigma, full.sigma);
      std::vector<cd> forward(radii.size()), backward(radii.size());
      std::thread other([&] {
        for (size_t i = radii.size(); i-- > 0;) backward[i] = lazy.GetPhiOutgoing(radii[i]);
      });
      for (size_t i = 0; i < radii.size(); i++) forward[i] = lazy.GetPhiOutgoing(radii[i]);
      other.join();
      for (size_t i = 0; i < radii.size(); i++) {
        SCOPED_TRACE("q1q2=" + std::to_string(q1q2) + " ell=" + std::to_string(ell) +
                     " r=" + std::to_string(radii[i]));
        EXPECT_EQ(forward[i], full.GetPhiOutgoing(radii[i]));
        EXPECT_EQ(backward[i], forward[i]);
      }
    }
  }
}

// Beyond its 1F1 table the plane wave takes hyper's asymptotic form written out on the imaginary
// axis: equal to the general form (complex powers and divisions) to rounding, for attraction and
// repulsion, just past a table that ends at the switch x = 10 and far beyond.
TEST(WaveFunctionTest, PlaneWaveBeyondItsTableIsTheGeneralAsymptoticForm) {
  struct Case {
    double eta, q, r, c;
  };
  const Case cases[] = {{0.3, 80.0, 40.0, 0.2},   {-0.3, 80.0, 61.0, -0.35},
                        {1.4, 20.0, 98.6, 0.9},   {-1.1, 40.0, 90.0, -0.3},
                        {0.05, 250.0, 33.0, 0.0}, {0.8, 40.0, 49.37, 0.0},
                        {0.02, 600.0, 95.0, 0.5}};
  for (const Case& k : cases) {
    CPlaneWave pw(k.eta, k.eta > 0 ? 1 : -1, k.q);
    const double x = k.q * k.r * (1.0 + k.c) / kHbarc;
    ASSERT_GE(x, 10.0);
    ASSERT_GT(x / 0.01 - 0.5, pw.nrmax) << "inside the table";
    const cd general = pw.hyper(cd(0.0, -k.eta), 1.0, cd(0.0, x));
    double phase = -k.q * k.r * k.c / kHbarc;
    phase -= 2.0 * M_PI * std::floor(phase / (2.0 * M_PI));
    const cd expected = std::conj(Misc::ceiphi(phase) * pw.coulombnorm * general);
    const cd got = pw.planewave(k.r, k.c);
    const double scale = 1e-13 * std::abs(expected);
    EXPECT_CLOSE_ABS(got.real(), expected.real(), 0.0, scale) << "eta=" << k.eta << " x=" << x;
    EXPECT_CLOSE_ABS(got.imag(), expected.imag(), 0.0, scale) << "eta=" << k.eta << " x=" << x;
  }
}

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

TEST(WaveFunctionTest, PairFrameQuantitiesAreBoostInvariantAndDegenerateCasesSafe) {
  const double k[3] = {30.0, -40.0, 0.0}, d[3] = {1.0, 2.0, 2.0};
  const double gamma = 3.0, v = std::sqrt(1 - 1 / 9.0);
  const double u[4] = {gamma, gamma * v * 0.6, 0.0, gamma * v * 0.8};
  Pair p = MakePair(k, d, u);
  double q, r, ct, q2, r2, ct2;
  CWaveFunction::getqrctheta(p.pa, p.xa, p.pb, p.xb, &q, &r, &ct);
  EXPECT_CLOSE(q, 50.0, 1e-10);
  EXPECT_CLOSE(r, 3.0, 1e-10);
  EXPECT_CLOSE(ct, (30.0 - 80.0) / 150.0, 1e-10);
  // Exchanging the particles reverses both vectors and keeps the angle.
  CWaveFunction::getqrctheta(p.pb, p.xb, p.pa, p.xa, &q2, &r2, &ct2);
  EXPECT_CLOSE(ct2, ct, 1e-10);
  // The four-vector form feeds these into GetPsiSquared(q, r, ctheta).
  ScratchDir dir;
  auto wf = MakeProbe(dir, "");
  EXPECT_CLOSE(wf->GetPsiSquared(p.pa, p.xa, p.pb, p.xb), wf->GetPsiSquared(q, r, ct), kRoundoff);
  // r = 0: no direction, ctheta = 1.
  for (int a = 0; a < 4; a++) p.xa[a] = p.xb[a];
  CWaveFunction::getqrctheta(p.pa, p.xa, p.pb, p.xb, &q, &r, &ct);
  EXPECT_TRUE(r == 0.0 && ct == 1.0);
  // Parallel vectors: rounding must not make |ctheta| exceed 1 or be fatal.
  for (double s : {1.0, -1.0}) {
    const double ds[3] = {s * 1.2, s * -1.6, 0};
    p = MakePair(k, ds, u);
    CWaveFunction::getqrctheta(p.pa, p.xa, p.pb, p.xb, &q, &r, &ct);
    EXPECT_CLOSE(ct, s, 1e-12);
    EXPECT_LE(std::fabs(ct), 1.0);
  }
  // A space-like pair momentum is unphysical.
  const double pa[4] = {1, 3, 0, 0}, pb[4] = {1, 0, 0, 0}, x[4] = {0, 1, 0, 0}, y[4] = {0, 0, 0, 0};
  EXPECT_FATAL(CWaveFunction::getqrctheta(pa, x, pb, y, &q, &r, &ct), "Disaster, r\\^2=");
}

TEST(WaveFunctionTest, GetIWIsTheRadialIntegralOfTheWave) {
  CWaveFunction wf;
  const double x0 = 45.0 * 1.7 / kHbarc;  // free s wave closed form
  EXPECT_CLOSE(wf.GetIW(0, 1.7, 45.0, 0, 0.0, -1.1), -(x0 - std::sin(2 * x0 - 2.2) / 2) / 45.0,
               1e-12);
  // d GetIW / d epsilon = -|Phi_ell|^2 / (2 HBARC), Phi = e^{2i delta} H + conj(H) with
  // H = x h_ell (free) or F - i G (Coulomb) from GSL, for every ell, with and without Coulomb;
  // the Coulomb branch joins the free one as eta vanishes.
  const double q = 40.0, delta = 0.4, h = 1e-4;
  for (int ell = 0; ell <= 2; ell++) {
    EXPECT_CLOSE(wf.GetIW(ell, 1.1, 60.0, 1, 1e-7, 0.3), wf.GetIW(ell, 1.1, 60.0, 0, 0.0, 0.3),
                 1e-5);
    for (int q1q2 : {0, 1, -1}) {
      const double eta = 0.3 * q1q2;
      for (double eps : {0.6, 3.0}) {
        const double x = q * eps / kHbarc;
        cd H = x * cd(gsl_sf_bessel_jl(ell, x), gsl_sf_bessel_yl(ell, x));
        if (q1q2 != 0) {
          double fc[4], gc[4], fe, ge;
          gsl_sf_coulomb_wave_FG_array(0, ell, eta, x, fc, gc, &fe, &ge);
          H = cd(fc[ell], -gc[ell]);
        }
        const cd phi = std::polar(1.0, 2 * delta) * H + std::conj(H);
        const double deriv = (wf.GetIW(ell, eps + h, q, q1q2, eta, delta) -
                              wf.GetIW(ell, eps - h, q, q1q2, eta, delta)) /
                             (2 * h);
        EXPECT_CLOSE(deriv, -std::norm(phi) / (2 * kHbarc), 1e-6)
            << "ell=" << ell << " q1q2=" << q1q2 << " eps=" << eps;
      }
    }
  }
}

TEST(WaveFunctionTest, EffectiveRangeExpansion) {
  ScratchDir dir;
  auto wf = MakeProbe(dir, "int NQMAX 1\n");
  wf->nchannels = 1;
  wf->ellmax = 0;
  wf->InitArrays();
  const double a = 7.8, reff = 2.7;
  auto delta_at = [&](double q, double* ddeltadq) {  // through the one grid point
    wf->qarray[0] = q;
    wf->EffectiveRange(0, a, reff);
    *ddeltadq = wf->ddeltadq[0][0];
    return wf->delta[0][0];
  };
  // ddeltadq is the derivative of delta; at low q delta -> -a q / HBARC.
  double dd, unused;
  for (double q : {2.5, 97.5}) {
    const double h = 2e-5 * q, d = (delta_at(q + h, &unused) - delta_at(q - h, &unused)) / (2 * h);
    delta_at(q, &dd);
    EXPECT_CLOSE(d, dd, 1e-6) << "q=" << q;
  }
  EXPECT_CLOSE(delta_at(0.005, &unused), -a * 0.005 / kHbarc, 1e-6);
}

}  // namespace
