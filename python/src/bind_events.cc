// Transport-model event files (source/eventreader.h) read event by event into numpy arrays,
// and the species table (source/species.h).

#include <memory>
#include <string>
#include <vector>

#include "bind_common.h"
#include "source/eventreader.h"
#include "source/species.h"

namespace femtokit_python {
namespace {

struct EventFile {
  std::string path;
  std::unique_ptr<femtokit::CEventReader> reader;
};

// The next event as (codes, momenta (E, px, py, pz) GeV, masses GeV, points (t, x, y, z) fm),
// or None at the end of the file.
py::object NextEvent(EventFile& f) {
  std::vector<femtokit::EventParticle> particles;
  bool more = false;
  {
    WithoutGIL unlocked;
    more = f.reader->NextEvent(&particles);
  }
  if (!more) return py::none();
  const py::ssize_t n = static_cast<py::ssize_t>(particles.size());
  py::array_t<int> codes(n);
  py::array_t<double> p({n, py::ssize_t{4}}), mass(n), x({n, py::ssize_t{4}});
  auto pv = p.mutable_unchecked<2>();
  auto xv = x.mutable_unchecked<2>();
  for (py::ssize_t i = 0; i < n; ++i) {
    const femtokit::EventParticle& e = particles[i];
    codes.mutable_at(i) = e.code;
    mass.mutable_at(i) = e.mass;
    pv(i, 0) = e.E, pv(i, 1) = e.px, pv(i, 2) = e.py, pv(i, 3) = e.pz;
    xv(i, 0) = e.t, xv(i, 1) = e.x, xv(i, 2) = e.y, xv(i, 3) = e.z;
  }
  return py::make_tuple(codes, p, mass, x);
}

py::object Species(int code) {
  femtokit::SpeciesInfo info;
  if (!femtokit::FindSpecies(code, &info)) return py::none();
  return py::make_tuple(info.code, info.mass, info.charge, std::string(info.name));
}

}  // namespace

void BindEvents(py::module_& m) {
  py::class_<EventFile>(m, "EventFile", "Compiled event-file reader (see femtokit.EventFile).")
      .def(py::init([](const std::string& path, const std::string& format) {
             auto f = std::make_unique<EventFile>();
             f->path = path;
             WithoutGIL unlocked;
             f->reader = femtokit::OpenEventFile(path, format);
             return f;
           }),
           py::arg("path"), py::arg("format") = "auto")
      .def_readonly("path", &EventFile::path)
      .def_property_readonly("format", [](const EventFile& f) { return std::string(f.reader->Name()); })
      .def_property_readonly("events_read", [](const EventFile& f) { return f.reader->EventsRead(); })
      .def("_next", &NextEvent);
  m.def("event_formats", [] { return std::string(femtokit::EventFormatNames()); },
        "Layout names accepted besides 'auto', blank-separated.");
  m.def("detect_event_format", &femtokit::DetectEventFormat, py::arg("path"),
        "The layout of an event file by its first lines.");
  m.def("_species", &Species, py::arg("code"));
  m.def("_species_list", &femtokit::KnownSpeciesList);
}

}  // namespace femtokit_python
