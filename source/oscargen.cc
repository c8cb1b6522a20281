#include "source/oscargen.h"

#include <cmath>

#include "numeric/random.h"

namespace OSCARGen {

void WriteHeader(FILE* f, const std::string& title) {
  fprintf(f, "OSC1997A\n");
  fprintf(f, "final_id_p_x\n");
  fprintf(f, "femtokit OSCARGen: Gaussian emission test events\n");
  fprintf(f, "%.70s\n", title.c_str());
  fprintf(f, "index code 0 px py pz E m (GeV) x y z t (fm)\n");
}

void WriteRecord(FILE* f, int index, int code, const double* p, double mass, const double* r) {
  // Seventeen digits: the reader recovers every value exactly.
  fprintf(f, "%d %d 0 %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g\n", index, code,
          p[1] / 1000.0, p[2] / 1000.0, p[3] / 1000.0, p[0] / 1000.0, mass / 1000.0, r[1], r[2],
          r[3], r[0]);
}

void EmissionPoint(const double* p, double out, double side, double longi, double time, double* r) {
  const double pt = std::sqrt(p[1] * p[1] + p[2] * p[2]);
  // Unit vectors: out = (px, py)/pt, side = (-py, px)/pt.
  r[1] = (p[1] * out - p[2] * side) / pt;
  r[2] = (p[2] * out + p[1] * side) / pt;
  const double rap = std::atanh(p[3] / p[0]);
  const double ch = std::cosh(rap), sh = std::sinh(rap);
  r[3] = ch * longi + sh * time;
  r[0] = ch * time + sh * longi;
}

void WriteEvent(FILE* f, int ievent, const std::vector<Species>& species, const Geometry& geometry,
                CRandom* random) {
  int n = 0;
  for (const Species& s : species) n += s.count > 0 ? s.count : 0;
  fprintf(f, "%d %d\n", n, ievent);
  int index = 0;
  for (const Species& s : species) {
    for (int i = 0; i < s.count; ++i) {
      double p[4];
      if (s.T > 0.0) {
        // Thermal momenta; a particle at exactly pt = 0 has no out direction, so it is redrawn.
        do random->generate_boltzmann(s.mass, s.T, p);
        while (p[1] == 0.0 && p[2] == 0.0);
      } else {
        const double pt = s.ptcentre + s.ptwidth * (2.0 * random->ran() - 1.0);
        const double phi = 2.0 * M_PI * random->ran();
        const double rap = s.ymax * (2.0 * random->ran() - 1.0);
        const double mt = std::sqrt(pt * pt + s.mass * s.mass);
        p[0] = mt * std::cosh(rap);
        p[1] = pt * std::cos(phi);
        p[2] = pt * std::sin(phi);
        p[3] = mt * std::sinh(rap);
      }
      const double out = geometry.Rout * random->gauss();
      const double side = geometry.Rside * random->gauss();
      const double longi = geometry.Rlong * random->gauss();
      const double time = geometry.tau + geometry.sigmatau * random->gauss();
      double r[4];
      EmissionPoint(p, out, side, longi, time, r);
      WriteRecord(f, ++index, s.code, p, s.mass, r);
    }
  }
  for (int i = 0; i < 3; ++i) fprintf(f, "0 0\n");
}

bool WriteFile(const std::string& filename, int nevents, const std::vector<Species>& species,
               const Geometry& geometry, CRandom* random) {
  FILE* f = fopen(filename.c_str(), "w");
  if (f == nullptr) return false;
  WriteHeader(f, "Rout=" + std::to_string(geometry.Rout) + " Rside=" +
                     std::to_string(geometry.Rside) + " Rlong=" + std::to_string(geometry.Rlong));
  for (int ievent = 1; ievent <= nevents; ++ievent)
    WriteEvent(f, ievent, species, geometry, random);
  const bool ok = !ferror(f);
  return fclose(f) == 0 && ok;
}

}  // namespace OSCARGen
