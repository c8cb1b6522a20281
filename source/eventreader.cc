#include "source/eventreader.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "numeric/fatal.h"
#include "numeric/output.h"

namespace femtokit {
namespace {

constexpr char kFormatNames[] = "legacy OSC1997A OSC1999A OSCAR2013 OSCAR2013Extended SMASHbinary";
constexpr char kFormatList[] =
    "legacy (five header lines, \"n unused\" event lines, 12-field records), OSC1997A "
    "(UrQMD file 19, EPOS), OSC1999A (UrQMD file 20, SMASH), OSCAR2013 and OSCAR2013Extended "
    "particle lists (SMASH), SMASHbinary (SMASH binary format version 10)";

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

FilePtr OpenOrDie(const std::string& filename) {
  FILE* f = std::fopen(filename.c_str(), "rb");
  if (f == nullptr) Fatal("Cannot open OSCAR file %s\n", filename.c_str());
  return FilePtr(f);
}

std::string Format(const char* format, va_list args) {
  char buf[512];
  std::vsnprintf(buf, sizeof buf, format, args);
  return buf;
}

// ------------------------------------------------------------------ numbers and fields

// A whole field as an int (an optional leading '+').
bool ParseInt(std::string_view s, int* value) {
  if (!s.empty() && s[0] == '+') s.remove_prefix(1);
  const auto r = std::from_chars(s.data(), s.data() + s.size(), *value);
  return !s.empty() && r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// A whole field as a finite double. Fortran writes D for the exponent letter and may lead with
// '+'; a field cut short ("-3.79e-") or with trailing characters is not a number.
bool ParseDouble(std::string_view s, double* value) {
  if (!s.empty() && s[0] == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  auto r = std::from_chars(s.data(), s.data() + s.size(), *value);
  if (r.ec == std::errc() && r.ptr != s.data() + s.size() && (*r.ptr == 'D' || *r.ptr == 'd') &&
      s.size() < 64) {
    char copy[64];
    std::memcpy(copy, s.data(), s.size());
    copy[r.ptr - s.data()] = 'E';
    r = std::from_chars(copy, copy + s.size(), *value);
    r.ptr = s.data() + (r.ptr - copy);
  }
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(*value);
}

// The blank-separated fields of `line` (views into it).
void SplitFields(std::string_view line, std::vector<std::string_view>* fields) {
  fields->clear();
  size_t i = 0;
  const size_t n = line.size();
  while (true) {
    while (i < n && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i == n) return;
    const size_t start = i;
    while (i < n && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    fields->emplace_back(line.data() + start, i - start);
  }
}

bool IsBlank(std::string_view line) {
  for (char c : line)
    if (!std::isspace(static_cast<unsigned char>(c))) return false;
  return true;
}

// Buffered lines of a text file, numbered from 1; a trailing '\r' is dropped.
class TextInput {
 public:
  explicit TextInput(FILE* f) : f_(f), buf_(1 << 20) {}

  // The next line without its newline; false at the end of the file.
  bool ReadLine(std::string* line) {
    line->clear();
    complete_ = false;
    while (true) {
      if (pos_ == len_ && !Refill()) {
        if (line->empty() && !started_) return false;
        break;
      }
      started_ = true;
      const char* begin = buf_.data() + pos_;
      const void* nl = std::memchr(begin, '\n', len_ - pos_);
      if (nl != nullptr) {
        const size_t k = static_cast<const char*>(nl) - begin;
        line->append(begin, k);
        pos_ += k + 1;
        complete_ = true;
        break;
      }
      line->append(begin, len_ - pos_);
      pos_ = len_;
    }
    started_ = false;
    ++lineno_;
    if (!line->empty() && line->back() == '\r') line->pop_back();
    return true;
  }
  long LineNumber() const { return lineno_; }
  // The last line read ended with a newline (a text file cut in the middle of a line does not).
  bool Complete() const { return complete_; }

 private:
  bool Refill() {
    len_ = std::fread(buf_.data(), 1, buf_.size(), f_);
    pos_ = 0;
    return len_ > 0;
  }
  FILE* f_;
  std::vector<char> buf_;
  size_t pos_ = 0, len_ = 0;
  long lineno_ = 0;
  bool complete_ = false, started_ = false;
};

// ------------------------------------------------------------------ common reader machinery

// A reader with its file, its position for messages and the particle checks.
class ReaderBase : public CEventReader {
 protected:
  ReaderBase(const std::string& filename, const char* name)
      : filename_(filename), name_(name), file_(OpenOrDie(filename)) {}
  const char* Name() const override { return name_; }

  // Where the reader stands, for messages: "line 12" or "byte 4096".
  virtual std::string Position() const = 0;

  [[noreturn]] __attribute__((format(printf, 2, 3))) void Fail(const char* format, ...) const {
    va_list args;
    va_start(args, format);
    const std::string what = Format(format, args);
    va_end(args);
    Fatal("event file %s (%s), %s, event %d: %s\n", filename_.c_str(), name_, Position().c_str(),
          events_ + 1, what.c_str());
  }

  // A particle whose values no transport model writes is a sign of a corrupt file.
  void Check(const EventParticle& p) const {
    const double point[4] = {p.t, p.x, p.y, p.z};
    const double momentum[5] = {p.E, p.px, p.py, p.pz, p.mass};
    for (double v : point)
      if (!(std::fabs(v) <= kEventMaxCoordinate))
        Fail("particle point (t, x, y, z) = (%g, %g, %g, %g) fm is beyond %g fm", p.t, p.x, p.y,
             p.z, kEventMaxCoordinate);
    for (double v : momentum)
      if (!(std::fabs(v) <= kEventMaxMomentum))
        Fail("particle momentum (E, px, py, pz, m) = (%g, %g, %g, %g, %g) GeV is beyond %g GeV",
             p.E, p.px, p.py, p.pz, p.mass, kEventMaxMomentum);
  }

  std::string filename_;
  const char* name_;
  FilePtr file_;
};

// A reader of a line-oriented text layout.
class TextReader : public ReaderBase {
 protected:
  TextReader(const std::string& filename, const char* name)
      : ReaderBase(filename, name), in_(file_.get()) {}
  std::string Position() const override { return "line " + std::to_string(in_.LineNumber()); }

  // The next line into line_ and its fields into fields_; false at the end of the file.
  bool Next() {
    if (!in_.ReadLine(&line_)) return false;
    SplitFields(line_, &fields_);
    return true;
  }
  // The next line, which must exist: `what` names what was expected.
  void NextRequired(const char* what) {
    if (!Next()) Fail("the file ends where %s was expected (truncated file)", what);
  }
  // The fields of a particle line, which must number `n` and end with a newline.
  void ExpectParticleFields(size_t n, int index, int count) {
    if (fields_.size() != n)
      Fail("particle line %d of %d has %zu fields, the layout has %zu", index, count,
           fields_.size(), n);
    if (!in_.Complete()) Fail("particle line %d of %d is cut at the end of the file", index, count);
  }
  int IntField(size_t i, const char* name) {
    int v = 0;
    if (!ParseInt(fields_[i], &v))
      Fail("field %zu (%s) \"%.*s\" is not an integer", i + 1, name,
           static_cast<int>(fields_[i].size()), fields_[i].data());
    return v;
  }
  double RealField(size_t i, const char* name) {
    double v = 0.0;
    if (!ParseDouble(fields_[i], &v))
      Fail("field %zu (%s) \"%.*s\" is not a finite number", i + 1, name,
           static_cast<int>(fields_[i].size()), fields_[i].data());
    return v;
  }
  // Reads `count` particle lines "... code ... px py pz E m x y z t" with the columns given.
  struct Columns {
    size_t nfields, code, px, py, pz, E, m, x, y, z, t;
  };
  void ReadParticles(const Columns& c, int count, std::vector<EventParticle>* out) {
    for (int i = 1; i <= count; ++i) {
      if (!Next())
        Fail("the file ends after %d of %d particle lines (truncated block)", i - 1, count);
      ExpectParticleFields(c.nfields, i, count);
      if (out == nullptr) continue;
      EventParticle p;
      p.code = IntField(c.code, "code");
      p.px = RealField(c.px, "px");
      p.py = RealField(c.py, "py");
      p.pz = RealField(c.pz, "pz");
      p.E = RealField(c.E, "E");
      p.mass = RealField(c.m, "mass");
      p.x = RealField(c.x, "x");
      p.y = RealField(c.y, "y");
      p.z = RealField(c.z, "z");
      p.t = RealField(c.t, "t");
      Check(p);
      out->push_back(p);
    }
  }

  TextInput in_;
  std::string line_;
  std::vector<std::string_view> fields_;
};

// ------------------------------------------------------------------ legacy layout

// The layout femtokit has always read:
//   five header lines, each shorter than 80 characters (printed, otherwise not used);
//   per event two integers, the number n of records and an unused one; n records of three
//   integers (unused, code, unused) and nine reals px py pz E m x y z t, read as a stream of
//   blank-separated tokens (a record may span lines); then the rest of the last record's line
//   and up to three further lines, skipped. Fortran D exponents read as E. The last line may
//   lack its newline.
class LegacyReader : public ReaderBase {
 public:
  explicit LegacyReader(const std::string& filename) : ReaderBase(filename, "legacy"), buf_(1 << 16) {
    std::string line;
    for (int i = 0; i < kHeaderLines; ++i) {
      if (!ReadLine(line))
        Fatal("OSCAR file %s: file ends in header line %d\n", filename_.c_str(), i + 1);
      if (line.size() >= static_cast<size_t>(kHeaderLineBuffer))
        Fatal("OSCAR file %s: header line %d has 80 or more characters\n", filename_.c_str(),
              i + 1);
      Progress("dummy line=%s\n", line.c_str());
    }
  }

  bool NextEvent(std::vector<EventParticle>* particles) override {
    particles->clear();
    // A file that ends right after an event (blanks only) has no further events.
    if (AtEnd()) return false;
    const int ievent = events_ + 1;
    int nparts = 0, unused = 0;
    if (!ReadInt(nparts) || !ReadInt(unused) || nparts < 0)
      Fatal("OSCAR file %s, line %ld, event %d: event header is missing or does not parse\n",
            filename_.c_str(), line_, ievent);
    for (int ipart = 0; ipart < nparts; ++ipart) {
      EventParticle p;
      int index, unused3;
      const bool ok = ReadInt(index) && ReadInt(p.code) && ReadInt(unused3) && ReadDouble(p.px) &&
                      ReadDouble(p.py) && ReadDouble(p.pz) && ReadDouble(p.E) &&
                      ReadDouble(p.mass) && ReadDouble(p.x) && ReadDouble(p.y) &&
                      ReadDouble(p.z) && ReadDouble(p.t);
      if (!ok)
        Fatal(
            "OSCAR file %s, line %ld, event %d: particle record %d of %d is missing or does not "
            "parse\n",
            filename_.c_str(), line_, ievent, ipart + 1, nparts);
      Check(p);
      particles->push_back(p);
    }
    SkipLine();
    for (int i = 0; i < kTrailerLines && Peek() != EOF; ++i) SkipLine();
    ++events_;
    return true;
  }

 protected:
  std::string Position() const override { return "line " + std::to_string(line_); }

 private:
  static constexpr int kHeaderLineBuffer = 80;  // header lines were read into 80-char buffers
  static constexpr int kHeaderLines = 5;
  static constexpr int kTrailerLines = 3;

  int Peek() {
    if (pos_ == len_ && !Refill()) return EOF;
    return static_cast<unsigned char>(buf_[pos_]);
  }
  int Get() {
    const int c = Peek();
    if (c != EOF) {
      ++pos_;
      if (c == '\n') ++line_;
    }
    return c;
  }
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
  void SkipLine() {
    int c;
    do c = Get();
    while (c != EOF && c != '\n');
  }
  bool AtEnd() {
    int c = Peek();
    while (c != EOF && std::isspace(c)) {
      Get();
      c = Peek();
    }
    return c == EOF;
  }
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
  bool ReadInt(int& value) { return NextToken() && ParseInt(tok_, &value); }
  bool ReadDouble(double& value) { return NextToken() && ParseDouble(tok_, &value); }
  bool Refill() {
    len_ = std::fread(buf_.data(), 1, buf_.size(), file_.get());
    pos_ = 0;
    return len_ > 0;
  }

  std::vector<char> buf_;
  size_t pos_ = 0, len_ = 0;
  long line_ = 1;  // of the next character
  std::string tok_;
};

// ------------------------------------------------------------------ OSC1997A

// UrQMD file 19 and EPOS:
//   OSC1997A
//   final_id_p_x
//   <model line>
// then per event a line "<event> <N> <b, fm> <phi, rad>" and N lines of 11 fields
//   <index> <PDG code> <px> <py> <pz> <E> <m> <x> <y> <z> <t>
// No end-of-event marker: the next event line or the end of the file ends the event. Blank lines
// between events are skipped.
class OSC1997AReader : public TextReader {
 public:
  explicit OSC1997AReader(const std::string& filename) : TextReader(filename, "OSC1997A") {
    NextRequired("the title line OSC1997A");
    if (fields_.empty() || fields_[0] != "OSC1997A") Fail("line 1 is not \"OSC1997A\"");
    NextRequired("the line final_id_p_x");
    if (fields_.empty() || fields_[0] != "final_id_p_x")
      Fail("line 2 is not \"final_id_p_x\" (only final-state lists can be read)");
    NextRequired("the model line");
  }

  bool NextEvent(std::vector<EventParticle>* particles) override {
    particles->clear();
    do
      if (!Next()) return false;
    while (fields_.empty());
    if (fields_.size() != 4)
      Fail("an event line \"event npart b phi\" has 4 fields, this one %zu", fields_.size());
    const int n = IntField(1, "npart");
    RealField(2, "b");
    RealField(3, "phi");
    if (n < 0) Fail("negative particle count %d", n);
    ReadParticles({11, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, n, particles);
    ++events_;
    return true;
  }
};

// ------------------------------------------------------------------ OSC1999A

// UrQMD file 20 and SMASH "Oscar1999": header lines starting with '#', the first naming
// OSC1999A, the second "final_id_p_x" ("full_event_history" is refused: not a final-state list).
// Blocks: "<nin> <nout> <event> [<ensemble>]" followed by nin + nout lines of 12 fields
//   <id> <PDG code> 0 <px> <py> <pz> <E> <m> <x> <y> <z> <t>
// Each event has an initial block "0 N ..." (skipped), a final block "N 0 ..." (its final state)
// and ends with "0 0 <event> [<ensemble>] <b>". '#' lines between blocks are skipped.
class OSC1999AReader : public TextReader {
 public:
  explicit OSC1999AReader(const std::string& filename) : TextReader(filename, "OSC1999A") {
    NextRequired("the header line # OSC1999A");
    if (line_.find("OSC1999A") == std::string::npos || line_[0] != '#')
      Fail("line 1 does not name OSC1999A");
    NextRequired("the header line # final_id_p_x");
    if (line_.find("final_id_p_x") == std::string::npos)
      Fail("line 2 is not \"# final_id_p_x\" (only final-state lists can be read)");
  }

  bool NextEvent(std::vector<EventParticle>* particles) override {
    particles->clear();
    bool open = false;
    const Columns columns{12, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    while (true) {
      if (!Next()) {
        if (open) Fail("the file ends before the event's end line \"0 0 event b\" (truncated)");
        return false;
      }
      if (fields_.empty() || line_[0] == '#') continue;
      open = true;
      if (fields_.size() < 3 || fields_.size() > 5)
        Fail("a block line \"nin nout event [ensemble]\" has 3 to 5 fields, this one %zu",
             fields_.size());
      const int nin = IntField(0, "nin"), nout = IntField(1, "nout");
      IntField(2, "event");
      if (nin < 0 || nout < 0) Fail("negative particle count in block line (%d, %d)", nin, nout);
      if (nin == 0 && nout == 0) break;
      // Only the final block (nin > 0, nout = 0) is the final state; a later one replaces it.
      const bool final_state = nin > 0 && nout == 0;
      if (final_state) particles->clear();
      ReadParticles(columns, nin + nout, final_state ? particles : nullptr);
    }
    ++events_;
    return true;
  }
};

// ------------------------------------------------------------------ OSCAR2013

// SMASH ASCII particle lists:
//   #!OSCAR2013 particle_lists t x y z mass p0 px py pz pdg ID charge
//   # Units: fm fm fm fm GeV GeV GeV GeV GeV none none e
//   # <model and version>
// (the first line names the columns; they are located by name). Extended variant: first word
// "#!OSCAR2013Extended" and ten more columns. Blocks:
//   # event <n> [ensemble <m>] in <N>     N particle lines, skipped
//   # event <n> [ensemble <m>] out <N>    N particle lines; the last such block is the final state
//   # event <n> [ensemble <m>] end 0 impact <b> ...
// Other '#' lines are comments.
class OSCAR2013Reader : public TextReader {
 public:
  OSCAR2013Reader(const std::string& filename, bool extended)
      : TextReader(filename, extended ? "OSCAR2013Extended" : "OSCAR2013") {
    NextRequired("the header line #!OSCAR2013");
    const char* magic = extended ? "#!OSCAR2013Extended" : "#!OSCAR2013";
    if (fields_.size() < 2 || fields_[0] != magic)
      Fail("line 1 does not begin with \"%s\"", magic);
    if (fields_[1] != "particle_lists")
      Fail("\"%.*s\" is not a particle list (only particle_lists can be read)",
           static_cast<int>(fields_[1].size()), fields_[1].data());
    const char* names[10] = {"pdg", "px", "py", "pz", "p0", "mass", "x", "y", "z", "t"};
    size_t* slots[10] = {&columns_.code, &columns_.px, &columns_.py, &columns_.pz, &columns_.E,
                         &columns_.m,    &columns_.x,  &columns_.y,  &columns_.z,  &columns_.t};
    columns_.nfields = fields_.size() - 2;
    for (int k = 0; k < 10; ++k) {
      size_t i = 2;
      while (i < fields_.size() && fields_[i] != names[k]) ++i;
      if (i == fields_.size()) Fail("the header names no column \"%s\"", names[k]);
      *slots[k] = i - 2;
    }
  }

  bool NextEvent(std::vector<EventParticle>* particles) override {
    particles->clear();
    bool open = false;
    while (true) {
      if (!Next()) {
        if (open) Fail("the file ends before the event's \"end\" line (truncated)");
        return false;
      }
      if (fields_.empty()) continue;
      if (line_[0] != '#') Fail("a particle line outside a block (a count disagrees with the lines)");
      // "# event n [ensemble m] kind ..."
      if (fields_.size() < 4 || fields_[1] != "event") continue;
      size_t k = 3;
      if (fields_[3] == "ensemble") k = 5;
      if (fields_.size() <= k) Fail("block line \"%s\" is incomplete", line_.c_str());
      const std::string_view kind = fields_[k];
      open = true;
      if (kind == "end") break;
      if (kind != "in" && kind != "out") Fail("unknown block \"%.*s\"", (int)kind.size(), kind.data());
      if (fields_.size() != k + 2)
        Fail("block line \"%s\" should end with the particle count", line_.c_str());
      const int n = IntField(k + 1, "particle count");
      if (n < 0) Fail("negative particle count %d", n);
      const bool final_candidate = kind == "out";
      if (final_candidate) particles->clear();
      ReadParticles(columns_, n, final_candidate ? particles : nullptr);
    }
    ++events_;
    return true;
  }

 private:
  Columns columns_{};
};

// ------------------------------------------------------------------ SMASH binary

// SMASH binary particle output, format version 10, little-endian, packed:
//   header: "SMSH", uint16 version (10), uint16 variant (0 OSCAR2013 quantities, 1 Extended),
//           uint32 L, L bytes of version text;
//   'p': int32 event, int32 ensemble, uint32 N, N particle records;
//   'i': uint32 nin, uint32 nout, double density, double xsec, double partial xsec,
//        uint32 process type, nin + nout particle records (skipped);
//   'f': int32 event, int32 ensemble, double b, uint8 empty (end of event).
// Particle record, variant 0: doubles t x y z mass p0 px py pz, int32 pdg, ID, charge (84 bytes);
// variant 1 appends int32 ncoll, double form_time, double xsecfac, int32 proc_id_origin,
// int32 proc_type_origin, double time_last_coll, int32 pdg_mother1, pdg_mother2, baryon_number,
// strangeness (136 bytes). The last 'p' block before an 'f' block is the event's final state.
class SMASHBinaryReader : public ReaderBase {
 public:
  explicit SMASHBinaryReader(const std::string& filename)
      : ReaderBase(filename, "SMASHbinary"), buf_(1 << 20) {
    char magic[4];
    Bytes(magic, 4, "the header");
    if (std::memcmp(magic, "SMSH", 4) != 0) Fail("the file does not begin with \"SMSH\"");
    const unsigned version = U16("the format version"), variant = U16("the variant");
    if (version != 10)
      Fail("format version %u is not understood (only version 10 is)", version);
    if (variant > 1)
      Fail("variant %u is not understood (0 OSCAR2013 and 1 Extended are; 2, custom quantities, "
           "is not self-describing)",
           variant);
    record_ = variant == 0 ? 84 : 136;
    const uint32_t length = U32("the version text length");
    for (uint32_t i = 0; i < length; ++i) Bytes(magic, 1, "the version text");
  }

  bool NextEvent(std::vector<EventParticle>* particles) override {
    particles->clear();
    bool open = false;
    while (true) {
      char kind;
      if (!TryByte(&kind)) {
        if (open) Fail("the file ends before the event's 'f' block (truncated)");
        return false;
      }
      open = true;
      if (kind == 'f') {
        U32("the event number");
        U32("the ensemble number");
        F64("the impact parameter");
        char empty;
        Bytes(&empty, 1, "the empty flag");
        break;
      }
      if (kind == 'p') {
        U32("the event number");
        U32("the ensemble number");
        const uint32_t n = U32("the particle count");
        particles->clear();
        for (uint32_t i = 0; i < n; ++i) particles->push_back(Particle(i + 1, n));
      } else if (kind == 'i') {
        const uint32_t nin = U32("nin"), nout = U32("nout");
        for (int k = 0; k < 3; ++k) F64("the interaction data");
        U32("the process type");
        for (uint64_t i = 0; i < uint64_t(nin) + nout; ++i) Skip(record_, "a particle record");
      } else {
        Fail("unknown block type byte 0x%02x", static_cast<unsigned char>(kind));
      }
    }
    ++events_;
    return true;
  }

 protected:
  std::string Position() const override { return "byte " + std::to_string(offset_); }

 private:
  EventParticle Particle(uint32_t index, uint32_t count) {
    unsigned char r[136];
    char what[80];
    std::snprintf(what, sizeof what, "particle record %u of %u", index, count);
    Bytes(reinterpret_cast<char*>(r), record_, what);
    double d[9];
    for (int k = 0; k < 9; ++k) d[k] = DoubleAt(r + 8 * k);
    EventParticle p;
    p.t = d[0], p.x = d[1], p.y = d[2], p.z = d[3], p.mass = d[4];
    p.E = d[5], p.px = d[6], p.py = d[7], p.pz = d[8];
    p.code = static_cast<int32_t>(U32At(r + 72));
    for (double v : d)
      if (!std::isfinite(v)) Fail("%s has a non-finite value", what);
    Check(p);
    return p;
  }

  static uint32_t U32At(const unsigned char* b) {
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  }
  static double DoubleAt(const unsigned char* b) {
    const uint64_t bits = uint64_t(U32At(b)) | uint64_t(U32At(b + 4)) << 32;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }

  bool TryByte(char* c) {
    if (pos_ == len_ && !Refill()) return false;
    *c = buf_[pos_++];
    ++offset_;
    return true;
  }
  void Bytes(char* out, size_t n, const char* what) {
    for (size_t i = 0; i < n; ++i) {
      if (pos_ == len_ && !Refill()) Fail("the file ends inside %s (truncated)", what);
      out[i] = buf_[pos_++];
      ++offset_;
    }
  }
  void Skip(size_t n, const char* what) {
    char sink[136];
    while (n > 0) {
      const size_t k = n < sizeof sink ? n : sizeof sink;
      Bytes(sink, k, what);
      n -= k;
    }
  }
  uint32_t U32(const char* what) {
    unsigned char b[4];
    Bytes(reinterpret_cast<char*>(b), 4, what);
    return U32At(b);
  }
  unsigned U16(const char* what) {
    unsigned char b[2];
    Bytes(reinterpret_cast<char*>(b), 2, what);
    return unsigned(b[0]) | unsigned(b[1]) << 8;
  }
  double F64(const char* what) {
    unsigned char b[8];
    Bytes(reinterpret_cast<char*>(b), 8, what);
    return DoubleAt(b);
  }
  bool Refill() {
    len_ = std::fread(buf_.data(), 1, buf_.size(), file_.get());
    pos_ = 0;
    return len_ > 0;
  }

  std::vector<char> buf_;
  size_t pos_ = 0, len_ = 0;
  long offset_ = 0;
  size_t record_ = 84;
};

// ------------------------------------------------------------------ detection

// "int int real real": an OSC1997A event line.
bool IsOSC1997AEventLine(const std::string& line) {
  std::vector<std::string_view> f;
  SplitFields(line, &f);
  int i;
  double d;
  return f.size() == 4 && ParseInt(f[0], &i) && ParseInt(f[1], &i) && ParseDouble(f[2], &d) &&
         ParseDouble(f[3], &d);
}

// A line beginning with two integers: a legacy event header.
bool IsLegacyEventLine(const std::string& line) {
  std::vector<std::string_view> f;
  SplitFields(line, &f);
  int i;
  return f.size() >= 2 && ParseInt(f[0], &i) && ParseInt(f[1], &i);
}

}  // namespace

const char* EventFormatNames() { return kFormatNames; }

std::string DetectEventFormat(const std::string& filename) {
  FilePtr file = OpenOrDie(filename);
  char magic[4] = {0, 0, 0, 0};
  const size_t got = std::fread(magic, 1, 4, file.get());
  if (got == 4 && std::memcmp(magic, "SMSH", 4) == 0) return "SMASHbinary";
  std::rewind(file.get());
  TextInput in(file.get());
  std::vector<std::string> lines;
  std::string line;
  // The first five lines and the first non-blank one after them.
  while (in.ReadLine(&line)) {
    if (lines.size() >= 5 && IsBlank(line)) continue;
    lines.push_back(line);
    if (lines.size() == 6) break;
  }
  const std::string first = lines.empty() ? std::string() : lines[0];
  if (first.rfind("#!OSCAR2013Extended", 0) == 0) return "OSCAR2013Extended";
  if (first.rfind("#!OSCAR2013", 0) == 0) return "OSCAR2013";
  if (!first.empty() && first[0] == '#' && first.find("OSC1999A") != std::string::npos)
    return "OSC1999A";
  if (first.rfind("OSC1997A", 0) == 0 && lines.size() >= 4 && IsOSC1997AEventLine(lines[3]))
    return "OSC1997A";
  if (first.rfind("OSC1997A", 0) == 0 || lines.size() < 6 || IsLegacyEventLine(lines[5]))
    return "legacy";
  Fatal(
      "event file %s is in none of the layouts understood: %s (the key EVENTFORMAT selects one "
      "of: %s)\n",
      filename.c_str(), kFormatList, kFormatNames);
}

std::unique_ptr<CEventReader> OpenEventFile(const std::string& filename,
                                            const std::string& format) {
  const std::string name = format == "auto" ? DetectEventFormat(filename) : format;
  if (name == "legacy") return std::make_unique<LegacyReader>(filename);
  if (name == "OSC1997A") return std::make_unique<OSC1997AReader>(filename);
  if (name == "OSC1999A") return std::make_unique<OSC1999AReader>(filename);
  if (name == "OSCAR2013") return std::make_unique<OSCAR2013Reader>(filename, false);
  if (name == "OSCAR2013Extended") return std::make_unique<OSCAR2013Reader>(filename, true);
  if (name == "SMASHbinary") return std::make_unique<SMASHBinaryReader>(filename);
  Fatal("event file format \"%s\" is not known; the formats are auto %s\n", format.c_str(),
        kFormatNames);
}

}  // namespace femtokit
