#ifndef FEMTOKIT_SOURCE_EVENTREADER_H
#define FEMTOKIT_SOURCE_EVENTREADER_H

// Readers of transport-model event files: one small reader per layout behind one interface that
// yields, event by event, the final-state particles (code, four-momentum, mass, space-time point).
// The pair code of the event-file source never depends on the layout.
//
// Layouts understood (units of every file: GeV, GeV/c, fm, fm/c; the layout of each is written
// out in the header comment of its reader in eventreader.cc):
//   legacy             five header lines; per event "n unused", n records of 12 fields
//                      "index code unused px py pz E m x y z t"
//   OSC1997A           UrQMD file 19 / EPOS: "OSC1997A", "final_id_p_x", a model line; per event
//                      "event npart b phi" and npart lines "i code px py pz E m x y z t"
//   OSC1999A           UrQMD file 20 / SMASH: '#' header; blocks "nin nout event [ensemble]" of
//                      lines "id code 0 px py pz E m x y z t"; the block "N 0 ..." is the final
//                      state; "0 0 event [ensemble] b" ends the event
//   OSCAR2013          SMASH ASCII particle lists, columns named by the "#!OSCAR2013" line;
//   OSCAR2013Extended  the same with ten more columns; the last "out" block before an event's
//                      "end" line is its final state
//   SMASHbinary        SMASH binary particle output, format version 10, variants OSCAR2013 (0)
//                      and Extended (1)
// Detection (format "auto") uses the first lines: "SMSH" bytes, "#!OSCAR2013[Extended]", a '#'
// line naming OSC1999A, "OSC1997A" followed by a 4-number event line on line 4; a first line
// "OSC1997A" with anything else on line 4, or any other five lines followed by a line beginning
// with two integers (or by nothing), is the legacy layout. Anything else is refused with a
// message listing the layouts.
//
// Robustness: every fault of a file (a truncated block or record, a count that disagrees with the
// lines, a non-numeric or non-finite field, a wrong column count, a number cut at the end of the
// file, a point beyond 1e8 fm or a momentum beyond 1e8 GeV/c) is fatal with a message naming the
// file, the event (counted from 1 in reading order) and the line (the byte offset for the
// binary layout). Files are streamed in blocks, never loaded whole.

#include <memory>
#include <string>
#include <vector>

namespace femtokit {

// One final-state particle as the file gives it: E, p in GeV, mass in GeV, point in fm, fm/c.
struct EventParticle {
  int code = 0;
  double E = 0.0, px = 0.0, py = 0.0, pz = 0.0;
  double mass = 0.0;
  double t = 0.0, x = 0.0, y = 0.0, z = 0.0;
};

class CEventReader {
 public:
  virtual ~CEventReader() = default;
  // The final state of the next event into `particles` (cleared first); false at the end of the
  // file (an event without particles is still an event: true with an empty list).
  virtual bool NextEvent(std::vector<EventParticle>* particles) = 0;
  // The layout's name, as listed above.
  virtual const char* Name() const = 0;
  // Events returned so far.
  int EventsRead() const { return events_; }

 protected:
  int events_ = 0;
};

// The names accepted by OpenEventFile besides "auto", blank-separated.
const char* EventFormatNames();

// The layout of `filename` by its first lines ("legacy", "OSC1997A", ...). Fatal when the file
// cannot be opened or is in no known layout (the message lists them).
std::string DetectEventFormat(const std::string& filename);

// A reader of `filename` in the layout `format` ("auto": detected). Fatal on an unknown format
// name, a file that cannot be opened ("Cannot open OSCAR file <name>") or a header that does not
// fit the layout. The legacy reader prints its five header lines as "dummy line=%s\n".
std::unique_ptr<CEventReader> OpenEventFile(const std::string& filename,
                                            const std::string& format = "auto");

// Largest |coordinate| (fm, fm/c) and |momentum component| (GeV) a reader accepts: beyond them a
// file is taken as corrupt.
inline constexpr double kEventMaxCoordinate = 1e8;
inline constexpr double kEventMaxMomentum = 1e8;

}  // namespace femtokit

#endif  // FEMTOKIT_SOURCE_EVENTREADER_H
