// libFuzzer target for the text readers: parameter files (and the kernel, grid and array
// parameters built from them), component files, kernel files, grid files and 3D kernel files.
// The first byte of an input picks the reader, the rest is the file. The library's fatal
// handler throws here, so a refused file ends one input and the fuzzer goes on; what the
// fuzzer looks for is anything else: a crash, a sanitizer report, a hang, an allocation beyond
// the library's table limit.
//
// Build and run with scripts/fuzz.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "arrays/array3d.h"
#include "arrays/charray.h"
#include "config/parameter.h"
#include "kernel/kernel.h"
#include "kernel/kernelwf.h"
#include "numeric/fatal.h"

namespace {

struct Refused : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Throw(const std::string& message) { throw Refused(message); }

// A private directory holding the grids the readers are built with.
struct Scratch {
  std::string dir;
  Scratch() {
    dir = std::filesystem::temp_directory_path() / ("femtokit_fuzz_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir + "/data");
    Write(dir + "/kpars.dat",
          "int NQMAX 1\ndouble DELQ 4\nint NRMAX 3\ndouble DELR 0.5\nint KLMAX 0\n");
    Write(dir + "/kwfpars.dat",
          "int NQMAX 1\ndouble DELQ 4\nint NRMAX 2\nint NCTHETA 2\ndouble DELR 0.5\n");
    std::freopen("/dev/null", "w", stdout);  // the readers' printouts
    femtokit::SetFatalHandler(Throw);
  }
  static void Write(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  static void Write(const std::string& path, const std::string& text) {
    Write(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }
};

void ReadInput(const Scratch& s, uint8_t which, const uint8_t* data, size_t size) {
  const std::string data_dir = s.dir + "/data";
  switch (which % 6) {
    case 0: {  // a parameter file as such
      Scratch::Write(s.dir + "/pars.dat", data, size);
      parameter_map pars;
      parameter::ReadParsFromFile(pars, s.dir + "/pars.dat");
      break;
    }
    case 1: {  // kernel parameters: sizes and spacings
      Scratch::Write(s.dir + "/pars.dat", data, size);
      CKernel kernel((s.dir + "/pars.dat").c_str());
      break;
    }
    case 2: {  // grid and array parameters
      Scratch::Write(s.dir + "/pars.dat", data, size);
      C3DArray grid((s.dir + "/pars.dat").c_str());
      CCHArray array((s.dir + "/pars.dat").c_str());
      break;
    }
    case 3: {  // a kernel file
      Scratch::Write(data_dir + "/ell0_q0002.00.tmp", data, size);
      CKernel kernel((s.dir + "/kpars.dat").c_str());
      kernel.Read(data_dir.c_str());
      break;
    }
    case 4: {  // a component file and a 3D kernel file
      Scratch::Write(data_dir + "/lx0_ly0_lz0.tmp", data, size);
      CCHArray array(0, 3, 0.5);
      array.ReadAX(data_dir.c_str());
      Scratch::Write(data_dir + "/q0002.00.tmp", data, size);
      CKernelWF kernelwf((s.dir + "/kwfpars.dat").c_str());
      kernelwf.Read(data_dir.c_str());
      break;
    }
    default: {  // a grid file (one column of a 1 x 1 x 2 grid)
      Scratch::Write(data_dir + "/3Darraypars.dat", "int NXYZMAX 1\nint NZMAX 2\n");
      Scratch::Write(data_dir + "/ix0_iy0.tmp", data, size);
      C3DArray grid(1, 1.0, 1, 1.0, 2, 1.0, true, true, true);
      grid.ReadArray(data_dir.c_str());
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Scratch scratch;
  if (size == 0) return 0;
  try {
    ReadInput(scratch, data[0], data + 1, size - 1);
  } catch (const Refused&) {
    // A refused file: the sound outcome for most inputs.
  }
  return 0;
}
