#include "source/oscargen.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "numeric/constants.h"
#include "numeric/random.h"
#include "source/species.h"

using femtokit::constants::kPi;

namespace OSCARGen {

using femtokit::EventParticle;

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

std::vector<EventParticle> GenerateEvent(const std::vector<Species>& species,
                                         const Geometry& geometry, CRandom* random) {
  // Drawn first and only when asked for, so that files without it keep their random sequence.
  const double shift = geometry.eventshift > 0.0 ? geometry.eventshift * random->gauss() : 0.0;
  std::vector<EventParticle> particles;
  for (const Species& s : species) {
    for (int i = 0; i < s.count; ++i) {
      double p[4];
      if (s.T > 0.0) {
        // Thermal momenta; a particle at exactly pt = 0 has no out direction, so it is redrawn.
        do random->generate_boltzmann(s.mass, s.T, p);
        while (p[1] == 0.0 && p[2] == 0.0);
      } else {
        const double pt = s.ptcentre + s.ptwidth * (2.0 * random->ran() - 1.0);
        const double phi = 2.0 * kPi * random->ran();
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
      EventParticle e;
      e.code = s.code;
      e.E = p[0] / 1000.0, e.px = p[1] / 1000.0, e.py = p[2] / 1000.0, e.pz = p[3] / 1000.0;
      e.mass = s.mass / 1000.0;
      e.t = r[0], e.x = r[1], e.y = r[2], e.z = r[3] + shift;
      particles.push_back(e);
    }
  }
  return particles;
}

void WriteEvent(FILE* f, int ievent, const std::vector<Species>& species, const Geometry& geometry,
                CRandom* random) {
  const std::vector<EventParticle> particles = GenerateEvent(species, geometry, random);
  fprintf(f, "%zu %d\n", particles.size(), ievent);
  int index = 0;
  for (const EventParticle& e : particles)
    fprintf(f, "%d %d 0 %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g\n", ++index, e.code,
            e.px, e.py, e.pz, e.E, e.mass, e.x, e.y, e.z, e.t);
  for (int i = 0; i < 3; ++i) fprintf(f, "0 0\n");
}

bool WriteFile(const std::string& filename, int nevents, const std::vector<Species>& species,
               const Geometry& geometry, CRandom* random) {
  return WriteFormat(filename, "legacy", nevents, species, geometry, random);
}

namespace {

std::string Title(const Geometry& g) {
  return "Rout=" + std::to_string(g.Rout) + " Rside=" + std::to_string(g.Rside) +
         " Rlong=" + std::to_string(g.Rlong);
}

int Charge(int code) {
  femtokit::SpeciesInfo info;
  return femtokit::FindSpecies(code, &info) ? info.charge : 0;
}

// The particles at the origin: a state before the final one, which readers must pass over.
std::vector<EventParticle> AtOrigin(std::vector<EventParticle> particles) {
  for (EventParticle& e : particles) e.t = e.x = e.y = e.z = 0.0;
  return particles;
}

// One layout's writer: a header, then events.
class Writer {
 public:
  explicit Writer(FILE* f) : f_(f) {}
  virtual ~Writer() = default;
  virtual void Header(const std::string& title) = 0;
  virtual void Event(int ievent, const std::vector<EventParticle>& particles) = 0;

 protected:
  FILE* f_;
};

class LegacyWriter : public Writer {
 public:
  using Writer::Writer;
  void Header(const std::string& title) override { WriteHeader(f_, title); }
  void Event(int ievent, const std::vector<EventParticle>& particles) override {
    fprintf(f_, "%zu %d\n", particles.size(), ievent);
    int index = 0;
    for (const EventParticle& e : particles)
      fprintf(f_, "%d %d 0 %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g\n", ++index,
              e.code, e.px, e.py, e.pz, e.E, e.mass, e.x, e.y, e.z, e.t);
    for (int i = 0; i < 3; ++i) fprintf(f_, "0 0\n");
  }
};

class OSC1997AWriter : public Writer {
 public:
  using Writer::Writer;
  void Header(const std::string& title) override {
    fprintf(f_, "OSC1997A\nfinal_id_p_x\nfemtokit OSCARGen %s\n", title.c_str());
  }
  void Event(int ievent, const std::vector<EventParticle>& particles) override {
    fprintf(f_, "%d %zu 0.0 0.0\n", ievent, particles.size());
    int index = 0;
    for (const EventParticle& e : particles)
      fprintf(f_, "%d %d %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g\n", ++index,
              e.code, e.px, e.py, e.pz, e.E, e.mass, e.x, e.y, e.z, e.t);
  }
};

class OSC1999AWriter : public Writer {
 public:
  using Writer::Writer;
  void Header(const std::string& title) override {
    fprintf(f_, "# OSC1999A\n# final_id_p_x\n# femtokit OSCARGen %s\n", title.c_str());
  }
  void Event(int ievent, const std::vector<EventParticle>& particles) override {
    fprintf(f_, "0 %zu %d 0\n", particles.size(), ievent);
    Block(AtOrigin(particles));
    fprintf(f_, "%zu 0 %d 0\n", particles.size(), ievent);
    Block(particles);
    fprintf(f_, "0 0 %d 0 0.0\n", ievent);
  }

 private:
  void Block(const std::vector<EventParticle>& particles) {
    int index = 0;
    for (const EventParticle& e : particles)
      fprintf(f_, "%d %d 0 %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g\n", ++index,
              e.code, e.px, e.py, e.pz, e.E, e.mass, e.x, e.y, e.z, e.t);
  }
};

class OSCAR2013Writer : public Writer {
 public:
  OSCAR2013Writer(FILE* f, bool extended) : Writer(f), extended_(extended) {}
  void Header(const std::string& title) override {
    if (extended_)
      fprintf(f_,
              "#!OSCAR2013Extended particle_lists t x y z mass p0 px py pz pdg ID charge ncoll "
              "form_time xsecfac proc_id_origin proc_type_origin time_last_coll pdg_mother1 "
              "pdg_mother2 baryon_number strangeness\n"
              "# Units: fm fm fm fm GeV GeV GeV GeV GeV none none e none fm none none none fm "
              "none none none none\n");
    else
      fprintf(f_,
              "#!OSCAR2013 particle_lists t x y z mass p0 px py pz pdg ID charge\n"
              "# Units: fm fm fm fm GeV GeV GeV GeV GeV none none e\n");
    fprintf(f_, "# femtokit OSCARGen %s\n", title.c_str());
  }
  void Event(int ievent, const std::vector<EventParticle>& particles) override {
    const std::vector<EventParticle> before = AtOrigin(particles);
    fprintf(f_, "# event %d ensemble 0 in %zu\n", ievent, particles.size());
    Block(before);
    fprintf(f_, "# event %d ensemble 0 out %zu\n", ievent, particles.size());
    Block(before);
    fprintf(f_, "# event %d ensemble 0 out %zu\n", ievent, particles.size());
    Block(particles);
    fprintf(f_, "# event %d ensemble 0 end 0 impact   0.000 scattering_projectile_target yes\n",
            ievent);
  }

 private:
  void Block(const std::vector<EventParticle>& particles) {
    int id = 0;
    for (const EventParticle& e : particles) {
      fprintf(f_, "%.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g %d %d %d", e.t, e.x, e.y,
              e.z, e.mass, e.E, e.px, e.py, e.pz, e.code, id++, Charge(e.code));
      if (extended_) fprintf(f_, " 0 0 1 0 0 %.17g 0 0 0 0", e.t);
      fputc('\n', f_);
    }
  }
  bool extended_;
};

class SMASHBinaryWriter : public Writer {
 public:
  using Writer::Writer;
  void Header(const std::string& title) override {
    const std::string version = "femtokit OSCARGen " + title;
    fwrite("SMSH", 1, 4, f_);
    U16(10);
    U16(0);
    U32(static_cast<uint32_t>(version.size()));
    fwrite(version.data(), 1, version.size(), f_);
  }
  void Event(int ievent, const std::vector<EventParticle>& particles) override {
    Block(ievent, AtOrigin(particles));
    // An interaction of two particles at the origin.
    fputc('i', f_);
    U32(1);
    U32(1);
    for (int k = 0; k < 3; ++k) F64(0.0);
    U32(0);
    const std::vector<EventParticle> two(particles.begin(),
                                         particles.begin() + (particles.size() < 2 ? particles.size() : 2));
    if (two.size() == 2)
      for (const EventParticle& e : AtOrigin(two)) Record(e, 0);
    else {  // keep the counts honest for events of fewer than two particles
      EventParticle e;
      Record(e, 0);
      Record(e, 0);
    }
    Block(ievent, particles);
    fputc('f', f_);
    U32(static_cast<uint32_t>(ievent));
    U32(0);
    F64(0.0);
    fputc(0, f_);
  }

 private:
  void Block(int ievent, const std::vector<EventParticle>& particles) {
    fputc('p', f_);
    U32(static_cast<uint32_t>(ievent));
    U32(0);
    U32(static_cast<uint32_t>(particles.size()));
    int id = 0;
    for (const EventParticle& e : particles) Record(e, id++);
  }
  void Record(const EventParticle& e, int id) {
    for (double v : {e.t, e.x, e.y, e.z, e.mass, e.E, e.px, e.py, e.pz}) F64(v);
    U32(static_cast<uint32_t>(e.code));
    U32(static_cast<uint32_t>(id));
    U32(static_cast<uint32_t>(Charge(e.code)));
  }
  void U16(unsigned v) {
    const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
    fwrite(b, 1, 2, f_);
  }
  void U32(uint32_t v) {
    const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                static_cast<unsigned char>(v >> 16),
                                static_cast<unsigned char>(v >> 24)};
    fwrite(b, 1, 4, f_);
  }
  void F64(double v) {
    uint64_t bits;
    memcpy(&bits, &v, sizeof bits);
    U32(static_cast<uint32_t>(bits));
    U32(static_cast<uint32_t>(bits >> 32));
  }
};

std::unique_ptr<Writer> MakeWriter(const std::string& format, FILE* f) {
  if (format == "legacy") return std::make_unique<LegacyWriter>(f);
  if (format == "OSC1997A") return std::make_unique<OSC1997AWriter>(f);
  if (format == "OSC1999A") return std::make_unique<OSC1999AWriter>(f);
  if (format == "OSCAR2013") return std::make_unique<OSCAR2013Writer>(f, false);
  if (format == "OSCAR2013Extended") return std::make_unique<OSCAR2013Writer>(f, true);
  if (format == "SMASHbinary") return std::make_unique<SMASHBinaryWriter>(f);
  return nullptr;
}

}  // namespace

bool WriteFormat(const std::string& filename, const std::string& format, int nevents,
                 const std::vector<Species>& species, const Geometry& geometry, CRandom* random) {
  FILE* f = fopen(filename.c_str(), "wb");
  if (f == nullptr) return false;
  std::unique_ptr<Writer> writer = MakeWriter(format, f);
  if (writer == nullptr) {
    fclose(f);
    return false;
  }
  writer->Header(Title(geometry));
  for (int ievent = 1; ievent <= nevents; ++ievent)
    writer->Event(ievent, GenerateEvent(species, geometry, random));
  const bool ok = !ferror(f);
  return fclose(f) == 0 && ok;
}

}  // namespace OSCARGen
