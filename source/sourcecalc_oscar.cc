#include "source/sourcecalc_oscar.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "arrays/charray.h"
#include "numeric/fatal.h"
#include "source/pairseparationsum.h"
#include "numeric/output.h"

namespace {

// Particle codes and masses (MeV) the event-file source knows; the proton is taken as 938.28 MeV
// in the source models.
constexpr int kPionCode = 211;
constexpr int kProtonCode = 2212;
constexpr double kPionMass = 139.58;
constexpr double kProtonMass = 938.28;

// Common time (fm/c) of the particle's longitudinal frame to which every point is moved.
constexpr double kCommonTime = 12.0;
// The header is read into 80-character buffers: a header line holds at most 79 characters.
constexpr int kHeaderLineBuffer = 80;
constexpr int kHeaderLines = 5;
// Lines skipped after the last record of an event.
constexpr int kTrailerLines = 3;

// Mass of a known particle code, 0 for an unknown one.
double MassOfCode(int code) {
  const int c = std::abs(code);
  if (c == kPionCode) return kPionMass;
  if (c == kProtonCode) return kProtonMass;
  return 0.0;
}

// Buffered reader of whitespace-separated tokens and lines of an event file. Reads in large
// blocks; a token is any run of non-blank characters.
class EventFileReader {
 public:
  explicit EventFileReader(FILE* f) : f_(f), buf_(1 << 16) {}

  // The next character without consuming it; EOF at the end of the file.
  int Peek() {
    if (pos_ == len_ && !Refill()) return EOF;
    return static_cast<unsigned char>(buf_[pos_]);
  }
  int Get() {
    const int c = Peek();
    if (c != EOF) ++pos_;
    return c;
  }

  // Reads one line without its newline into `line`. False at the end of the file (nothing
  // read).
  bool ReadLine(std::string& line) {
    line.clear();
    int c = Get();
    if (c == EOF) return false;
    while (c != EOF && c != '\n') {
      line.push_back(static_cast<char>(c));
      c = Get();
    }
    return true;
  }

  // Consumes the rest of the current line including its newline.
  void SkipLine() {
    int c;
    do c = Get();
    while (c != EOF && c != '\n');
  }

  // True when nothing but blanks remains (the blanks are consumed).
  bool AtEnd() {
    int c = Peek();
    while (c != EOF && std::isspace(c)) {
      ++pos_;
      c = Peek();
    }
    return c == EOF;
  }

  // The next token into tok_; false at the end of the file.
  bool NextToken() {
    if (AtEnd()) return false;
    tok_.clear();
    int c = Peek();
    while (c != EOF && !std::isspace(c)) {
      tok_.push_back(static_cast<char>(c));
      ++pos_;
      c = Peek();
    }
    return true;
  }

  // The next token as a whole int; false when absent or not an integer.
  bool ReadInt(int& value) {
    if (!NextToken()) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(tok_.c_str(), &end, 10);
    if (end == tok_.c_str() || *end != '\0' || errno != 0 || v < -2147483647L - 1 ||
        v > 2147483647L)
      return false;
    value = static_cast<int>(v);
    return true;
  }

  // The next token as a whole finite real; a Fortran exponent letter D or d is read as E (some
  // transport codes write 1.0D+00).
  bool ReadDouble(double& value) {
    if (!NextToken()) return false;
    for (char& c : tok_)
      if (c == 'D' || c == 'd') c = 'E';
    char* end = nullptr;
    const double v = std::strtod(tok_.c_str(), &end);
    if (end == tok_.c_str() || *end != '\0' || !std::isfinite(v)) return false;
    value = v;
    return true;
  }

 private:
  bool Refill() {
    len_ = std::fread(buf_.data(), 1, buf_.size(), f_);
    pos_ = 0;
    return len_ > 0;
  }

  FILE* f_;
  std::vector<char> buf_;
  size_t pos_ = 0, len_ = 0;
  std::string tok_;
};

}  // namespace

// ------------------------------------------------------------------------- CSourceCalc_OSCAR

CSourceCalc_OSCAR::CSourceCalc_OSCAR() { InitSPars(); }

void CSourceCalc_OSCAR::InitSPars() {
  parameter::set(spars, "Pt", 600);
  parameter::set(spars, "DELPT", 20);
  parameter::set(spars, "PHIMIN_DEG", 0);
  parameter::set(spars, "PHIMAX_DEG", 360.0);
  parameter::set(spars, "YMIN", -3.0);
  parameter::set(spars, "YMAX", 3.0);
  parameter::set(spars, "IDa", kPionCode);
  parameter::set(spars, "IDb", kPionCode);
  parameter::set(spars, "Ma", kPionMass);
  parameter::set(spars, "Mb", kPionMass);
  parameter::set(spars, "AEQUALB", 0);
  parameter::set(spars, "NMAX", 20000);
  parameter::set(spars, "OSCARfilename", "UNDEFINED");
  parameter::set(spars, "NEVENTSMAX", 10000);
}

void CSourceCalc_OSCAR::SetSPars(double Pt, double DELPT, double PHIMIN_DEG, double PHIMAX_DEG,
                                 double YMIN, double YMAX) {
  parameter::set(spars, "Pt", Pt);
  parameter::set(spars, "DELPT", DELPT);
  parameter::set(spars, "PHIMIN_DEG", PHIMIN_DEG);
  parameter::set(spars, "PHIMAX_DEG", PHIMAX_DEG);
  parameter::set(spars, "YMIN", YMIN);
  parameter::set(spars, "YMAX", YMAX);
}

void CSourceCalc_OSCAR::SetIDs(int IDa, int IDb) {
  parameter::set(spars, "IDa", IDa);
  parameter::set(spars, "IDb", IDb);
  const double Ma = MassOfCode(IDa);
  if (Ma == 0.0) femtokit::Fatal("%d for IDa not recognized\n", IDa);
  parameter::set(spars, "Ma", Ma);
  const double Mb = MassOfCode(IDb);
  if (Mb == 0.0) femtokit::Fatal("%d for IDb not recognized\n", IDb);
  parameter::set(spars, "Mb", Mb);
  if (IDa == IDb) parameter::set(spars, "AEQUALB", 1);
}

void CSourceCalc_OSCAR::ReadR(double** ra, double** rb, int& na, int& nb) {
  na = nb = 0;
  const double Pt = parameter::getD(spars, "Pt", 600);
  const double DELPT = parameter::getD(spars, "DELPT", 20);
  const double phimin = parameter::getD(spars, "PHIMIN_DEG", 0.0) * 2.0 * M_PI / 360.0;
  const double phimax = parameter::getD(spars, "PHIMAX_DEG", 360.0) * 2.0 * M_PI / 360.0;
  const double YMIN = parameter::getD(spars, "YMIN", -3.0);
  const double YMAX = parameter::getD(spars, "YMAX", 3.0);
  const int IDa = parameter::getI(spars, "IDa", kPionCode);
  const int IDb = parameter::getI(spars, "IDb", kPionCode);
  const double Ma = parameter::getD(spars, "Ma", kPionMass);
  const double Mb = parameter::getD(spars, "Mb", kPionMass);
  const bool AEQUALB = parameter::getB(spars, "AEQUALB", false);
  const int NMAX = parameter::getI(spars, "NMAX", 10000);
  const int NEVENTSMAX = parameter::getI(spars, "NEVENTSMAX", 100);
  const std::string filename = parameter::getS(spars, "OSCARfilename", "UNDEFINED");

  // The pair momentum is shared in proportion to the masses, so that both particles move with
  // the pair velocity v = Pt/(Ea + Eb).
  const double pa = Pt * Ma / (Ma + Mb);
  const double pb = Pt * Mb / (Ma + Mb);
  const double v = Pt / (sqrt(Ma * Ma + pa * pa) + sqrt(Mb * Mb + pb * pb));
  const double gammav = v / sqrt(1.0 - v * v);
  const double gamma = sqrt(1.0 + gammav * gammav);
  femtokit::Progress("Pt=%g, gammav=%g, gamma=%g\n", Pt, gammav, gamma);

  femtokit::Progress("Opening %s\n", filename.c_str());
  FILE* f = fopen(filename.c_str(), "r");
  if (f == nullptr) femtokit::Fatal("Cannot open OSCAR file %s\n", filename.c_str());
  EventFileReader in(f);

  std::string line;
  for (int i = 0; i < kHeaderLines; ++i) {
    if (!in.ReadLine(line))
      femtokit::Fatal("OSCAR file %s: file ends in header line %d\n", filename.c_str(), i + 1);
    if (line.size() >= static_cast<size_t>(kHeaderLineBuffer))
      femtokit::Fatal("OSCAR file %s: header line %d has 80 or more characters\n", filename.c_str(),
                      i + 1);
    femtokit::Progress("dummy line=%s\n", line.c_str());
  }

  int nevents = 0;
  // The first event is always attempted; a file that ends right after its header (blanks only)
  // simply has no events.
  while (!in.AtEnd()) {
    ++nevents;
    int nparts = 0, unused = 0;
    if (!in.ReadInt(nparts) || !in.ReadInt(unused) || nparts < 0)
      femtokit::Fatal("OSCAR file %s, event %d: event header is missing or does not parse\n",
                      filename.c_str(), nevents);
    for (int ipart = 0; ipart < nparts; ++ipart) {
      int index, code, unused3;
      double px, py, pz, E, m, x, y, z, t;
      const bool ok = in.ReadInt(index) && in.ReadInt(code) && in.ReadInt(unused3) &&
                      in.ReadDouble(px) && in.ReadDouble(py) && in.ReadDouble(pz) &&
                      in.ReadDouble(E) && in.ReadDouble(m) && in.ReadDouble(x) &&
                      in.ReadDouble(y) && in.ReadDouble(z) && in.ReadDouble(t);
      if (!ok)
        femtokit::Fatal(
            "OSCAR file %s, event %d: particle record %d of %d is missing or does not parse\n",
            filename.c_str(), nevents, ipart + 1, nparts);
      if (code != IDa && code != IDb) continue;
      px *= 1000.0;  // GeV -> MeV
      py *= 1000.0;
      pz *= 1000.0;
      E *= 1000.0;
      const double pt = sqrt(px * px + py * py);
      const double pcentre = (code == IDa) ? pa : pb;
      if (!(fabs(pt - pcentre) < DELPT)) continue;
      double phi = atan2(px, py);
      if (phi < 0.0) phi += 2.0 * M_PI;
      if (!(phi > phimin && phi < phimax)) continue;
      const double rap = atanh(pz / E);
      if (!(rap > YMIN && rap < YMAX)) continue;
      // A particle without transverse momentum has no out direction (only reachable with a pt
      // window reaching down to 0): it is not kept.
      if (!(pt > 0.0)) continue;

      const double mass = (code == IDa) ? Ma : Mb;
      const double mt = sqrt(pt * pt + mass * mass);
      double rout = (px * x + py * y) / pt;
      const double rside = (px * y - py * x) / pt;
      // Longitudinal boost to the particle's own rapidity frame.
      const double ch = cosh(rap), sh = sinh(rap);
      const double zprime = ch * z - sh * t;
      const double tprime = ch * t - sh * z;
      // Free streaming along the transverse velocity pt/mT to the common time.
      rout -= (pt / mt) * (tprime - kCommonTime);

      double* point;
      if (code == IDa || AEQUALB) {
        if (na >= NMAX - 1) femtokit::Fatal("Too many type-a particles, increase NMAX\n");
        point = ra[na++];
      } else {
        if (nb >= NMAX - 1) femtokit::Fatal("Too many type-b particles, increase NMAX\n");
        point = rb[nb++];
      }
      // Boost along out with the pair velocity.
      point[0] = kCommonTime * gamma - gammav * rout;
      point[1] = gamma * rout - kCommonTime * gammav;
      point[2] = rside;
      point[3] = zprime;
    }
    in.SkipLine();
    for (int i = 0; i < kTrailerLines && in.Peek() != EOF; ++i) in.SkipLine();
    if (nevents >= NEVENTSMAX) break;
  }
  fclose(f);
  if (AEQUALB) nb = na;
  femtokit::Progress("OSCAR file read: %d events, na=%d, nb=%d\n", nevents, na, nb);
}

void CSourceCalc_OSCAR::CalcS(CCHArray* A) {
  const int NMAX = parameter::getI(spars, "NMAX", 20000);
  femtokit::Progress("delr=%g, nrmax=%d\n", A->GetRADSTEP(), A->GetNRADIAL());
  const int IDa = parameter::getI(spars, "IDa", kPionCode);
  const int IDb = parameter::getI(spars, "IDb", kPionCode);
  if (IDa == IDb) parameter::set(spars, "AEQUALB", 1);
  // With AEQUALB every kept particle is in list a (ReadR), so a and b are one species whatever
  // the codes.
  const bool identical = parameter::getB(spars, "AEQUALB", false);

  // Each list holds NMAX points (t, x, y, z) in one block.
  const int capacity = NMAX > 0 ? NMAX : 0;
  std::vector<double> blocka(4 * static_cast<size_t>(capacity)), blockb;
  std::vector<double*> ra(capacity), rb_own;
  for (int i = 0; i < capacity; ++i) ra[i] = &blocka[4 * static_cast<size_t>(i)];
  double** rb = ra.data();
  if (!identical) {
    blockb.resize(4 * static_cast<size_t>(capacity));
    rb_own.resize(capacity);
    for (int i = 0; i < capacity; ++i) rb_own[i] = &blockb[4 * static_cast<size_t>(i)];
    rb = rb_own.data();
  }
  A->ZeroArray();
  int na = 0, nb = 0;
  ReadR(ra.data(), rb, na, nb);

  const double npairs = identical ? 0.5 * na * (na - 1.0) : double(na) * double(nb);
  if (!(npairs > 0.0)) {
    femtokit::Warn("CSourceCalc_OSCAR: no pairs (na=%d, nb=%d), source left zero\n", na, nb);
    return;
  }

  // Coordinates as separate x, y, z arrays for the pair loop.
  auto split = [](double** r, int n, std::vector<double>& x, std::vector<double>& y,
                  std::vector<double>& z) {
    x.resize(n);
    y.resize(n);
    z.resize(n);
    for (int i = 0; i < n; ++i) {
      x[i] = r[i][1];
      y[i] = r[i][2];
      z[i] = r[i][3];
    }
  };
  std::vector<double> xa, ya, za, xb, yb, zb;
  split(ra.data(), na, xa, ya, za);
  if (!identical) split(rb, nb, xb, yb, zb);

  CPairSeparationSum sum(A);
  const int progressstep = na / 10;
  for (int ia = 0; ia < na; ++ia) {
    if (identical)
      sum.AddPairs(xa[ia], ya[ia], za[ia], xa.data(), ya.data(), za.data(), ia);
    else
      sum.AddPairs(xa[ia], ya[ia], za[ia], xb.data(), yb.data(), zb.data(), nb);
    const int k = ia + 1;
    if (progressstep > 0 && k % progressstep == 0)
      femtokit::Progress("finished %g percent\n", 100.0 * k / (10.0 * progressstep));
  }
  sum.Store(A);

  const double norm = 1.0 / npairs;
  const double xbar = norm * sum.sumx, ybar = norm * sum.sumy, zbar = norm * sum.sumz;
  femtokit::Progress("xbar=%g, ybar=%g, zbar=%g\n", xbar, ybar, zbar);
  // The variance is never negative; max() keeps rounding from turning 0 into NaN.
  const double Rout = sqrt(fmax(0.0, 0.5 * (norm * sum.sumxx - xbar * xbar)));
  const double Rside = sqrt(fmax(0.0, 0.5 * (norm * sum.sumyy - ybar * ybar)));
  const double Rlong = sqrt(fmax(0.0, 0.5 * (norm * sum.sumzz - zbar * zbar)));
  femtokit::Progress("Effective radii: Rout=%g, Rside=%g, Rlong=%g\n", Rout, Rside, Rlong);

  const double dr = A->GetRADSTEP();
  for (int ir = 0; ir < A->GetNRADIAL(); ++ir) {
    const double shell = (4.0 * M_PI / 3.0) * dr * dr * dr *
                         (double(ir + 1) * (ir + 1) * (ir + 1) - double(ir) * ir * ir);
    A->ScaleArray(norm / shell, ir);
  }
}
