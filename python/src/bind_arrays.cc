// Arrays: the Cartesian-harmonic array (CHArray), the Cartesian grid (Grid3D)
// and the conversions between them and to spherical harmonics.
//
// Every ndarray handed out is a copy: the arrays may rebuild their storage
// (reading a directory with other parameters), so a view could dangle.

#include <cmath>
#include <complex>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "arrays/array3d.h"
#include "arrays/arraycalc.h"
#include "arrays/charray.h"
#include "arrays/chcalc.h"
#include "arrays/ylmarray.h"
#include "bind_common.h"

namespace femtokit_python {
namespace {

void CheckCHShape(int lmax, int nradial, double radstep) {
  if (lmax < 0 || lmax > CCHCalc::LMAXFACT)
    throw py::value_error("lmax must be in 0 ... " + std::to_string(CCHCalc::LMAXFACT));
  if (nradial < 1) throw py::value_error("nradial must be at least 1");
  if (!(radstep > 0.0)) throw py::value_error("radstep must be positive");
}

void CheckStored(const CCHArray& a, int lx, int ly, int lz) {
  if (!a.IsStored(lx, ly, lz, 0))
    throw py::value_error("component (" + std::to_string(lx) + "," + std::to_string(ly) + "," +
                          std::to_string(lz) + ") is not stored in this array (LMAX " +
                          std::to_string(a.GetLMAX()) + ", symmetries)");
}

std::vector<std::tuple<int, int, int>> Components(const CCHArray& a) {
  std::vector<std::tuple<int, int, int>> out;
  for (int lx = 0; lx <= a.GetLMAX(); lx += a.dlx)
    for (int ly = 0; lx + ly <= a.GetLMAX(); ly += a.dly)
      for (int lz = 0; lx + ly + lz <= a.GetLMAX(); lz += a.dlz) out.emplace_back(lx, ly, lz);
  return out;
}

std::unique_ptr<CCHArray> CopyCH(const CCHArray& a) {
  auto b = std::make_unique<CCHArray>(a.GetLMAX(), a.GetNRADIAL(), a.GetRADSTEP(), a.XSYM, a.YSYM,
                                      a.ZSYM);
  ArrayCalc::CopyArray(const_cast<CCHArray*>(&a), b.get());
  return b;
}

py::array_t<double> GetComponent(const CCHArray& a, int lx, int ly, int lz) {
  CheckStored(a, lx, ly, lz);
  py::array_t<double> out(a.GetNRADIAL());
  auto v = out.mutable_unchecked<1>();
  for (int ir = 0; ir < a.GetNRADIAL(); ir++) v(ir) = a.A[lx][ly][lz][ir];
  return out;
}

void SetComponent(CCHArray& a, int lx, int ly, int lz, const DoubleArray& values) {
  CheckStored(a, lx, ly, lz);
  if (values.ndim() != 1 || values.shape(0) != a.GetNRADIAL())
    throw py::value_error("values must be a 1-D array of nradial = " +
                          std::to_string(a.GetNRADIAL()) + " numbers");
  auto v = values.unchecked<1>();
  for (int ir = 0; ir < a.GetNRADIAL(); ir++) a.A[lx][ly][lz][ir] = v(ir);
}

// F(ir, e) for every bin at the unit vector of (ex, ey, ez).
py::array_t<double> EvaluateDirection(const CCHArray& a, double ex, double ey, double ez) {
  const double norm = std::sqrt(ex * ex + ey * ey + ez * ez);
  if (!(norm > 0.0)) throw py::value_error("direction must be a non-zero vector");
  py::array_t<double> out(a.GetNRADIAL());
  auto v = out.mutable_unchecked<1>();
  for (int ir = 0; ir < a.GetNRADIAL(); ir++) v(ir) = a.AExpand(ex / norm, ey / norm, ez / norm, ir);
  return out;
}

// F at points (x, y, z), same-length 1-D arrays (the Python layer broadcasts).
py::array_t<double> EvaluatePoints(const CCHArray& a, const DoubleArray& x, const DoubleArray& y,
                                   const DoubleArray& z) {
  const py::ssize_t n = x.size();
  if (y.size() != n || z.size() != n) throw py::value_error("x, y, z must have equal sizes");
  py::array_t<double> out(n);
  const double* px = x.data();
  const double* py_ = y.data();
  const double* pz = z.data();
  double* po = out.mutable_data();
  {
    WithoutGIL unlocked;
    for (py::ssize_t i = 0; i < n; i++) po[i] = a.AExpand(px[i], py_[i], pz[i]);
  }
  return out;
}

py::array_t<std::complex<double>> ToYlm(const CCHArray& a, int lmax) {
  if (lmax < 0) lmax = a.GetLMAX();
  CYlmArray y(lmax, a.GetNRADIAL());
  for (int ir = 0; ir < a.GetNRADIAL(); ir++)
    ArrayCalc::CalcYlmExpArrayFromAExpArray(const_cast<CCHArray*>(&a), ir, &y, ir);
  py::array_t<std::complex<double>> out({lmax + 1, lmax + 1, a.GetNRADIAL()});
  auto v = out.mutable_unchecked<3>();
  for (int l = 0; l <= lmax; l++)
    for (int m = 0; m <= lmax; m++)
      for (int ir = 0; ir < a.GetNRADIAL(); ir++) v(l, m, ir) = m <= l ? y.ylm[l][m][ir] : 0.0;
  return out;
}

std::unique_ptr<CCHArray> FromYlm(const py::array_t<std::complex<double>, py::array::c_style |
                                                                              py::array::forcecast>& c,
                                  int lmax, double radstep, bool xsym, bool ysym, bool zsym) {
  if (c.ndim() != 3 || c.shape(0) < 1 || c.shape(1) != c.shape(0))
    throw py::value_error("coefficients must have shape (l, m, nradial) with equal l and m extents");
  const int ylmax = static_cast<int>(c.shape(0)) - 1;
  const int nradial = static_cast<int>(c.shape(2));
  CheckCHShape(lmax, nradial, radstep);
  CYlmArray y(ylmax, nradial);
  auto v = c.unchecked<3>();
  for (int l = 0; l <= ylmax; l++)
    for (int m = 0; m <= l; m++)
      for (int ir = 0; ir < nradial; ir++) y.ylm[l][m][ir] = v(l, m, ir);
  auto a = std::make_unique<CCHArray>(lmax, nradial, radstep, xsym, ysym, zsym);
  for (int ir = 0; ir < nradial; ir++) ArrayCalc::CalcAExpArrayFromYlmExpArray(&y, ir, a.get(), ir);
  return a;
}

void CheckGridShape(int nx, double dx, int ny, double dy, int nz, double dz) {
  if (nx < 1 || ny < 1 || nz < 1) throw py::value_error("grid cell counts must be at least 1");
  if (!(dx > 0.0) || !(dy > 0.0) || !(dz > 0.0))
    throw py::value_error("grid cell widths must be positive");
}

// Grid values as an ndarray (nsx, nx, nsy, ny, nsz, nz): sign index 0 for the
// non-negative half, 1 for the negative one (absent on a symmetric axis: extent 1).
py::array_t<double> GridValues(const C3DArray& g) {
  const int nsx = g.XSYM ? 1 : 2, nsy = g.YSYM ? 1 : 2, nsz = g.ZSYM ? 1 : 2;
  py::array_t<double> out({nsx, g.NXMAX, nsy, g.NYMAX, nsz, g.NZMAX});
  auto v = out.mutable_unchecked<6>();
  for (int a = 0; a < nsx; a++)
    for (int ix = 0; ix < g.NXMAX; ix++)
      for (int b = 0; b < nsy; b++)
        for (int iy = 0; iy < g.NYMAX; iy++)
          for (int c = 0; c < nsz; c++)
            for (int iz = 0; iz < g.NZMAX; iz++) v(a, ix, b, iy, c, iz) = g.F[a][ix][b][iy][c][iz];
  return out;
}

void SetGridValues(C3DArray& g, const DoubleArray& values) {
  const int nsx = g.XSYM ? 1 : 2, nsy = g.YSYM ? 1 : 2, nsz = g.ZSYM ? 1 : 2;
  const std::vector<py::ssize_t> shape = {nsx, g.NXMAX, nsy, g.NYMAX, nsz, g.NZMAX};
  if (values.ndim() != 6 || std::vector<py::ssize_t>(values.shape(), values.shape() + 6) != shape)
    throw py::value_error("values must have the shape of Grid3D.values");
  auto v = values.unchecked<6>();
  for (int a = 0; a < nsx; a++)
    for (int ix = 0; ix < g.NXMAX; ix++)
      for (int b = 0; b < nsy; b++)
        for (int iy = 0; iy < g.NYMAX; iy++)
          for (int c = 0; c < nsz; c++)
            for (int iz = 0; iz < g.NZMAX; iz++) g.F[a][ix][b][iy][c][iz] = v(a, ix, b, iy, c, iz);
}

}  // namespace

void BindArrays(py::module_& m) {
  py::class_<CCHArray>(m, "CHArray", R"doc(
Cartesian-harmonic array: a function of a three-vector, per radial bin an
expansion F(ir, e) = sum_l [L!/(lx! ly! lz!)] A_l(ir) ex^lx ey^ly ez^lz with
traceless A_l, L = lx + ly + lz <= lmax. Bin ir covers [ir*radstep,
(ir+1)*radstep) and stands for its centre. Sources S(r) (r in fm, fm^-3) and
correlation functions (q in MeV/c; component (0,0,0) holds C(q) - 1) are CHArrays.
With xsym (ysym, zsym) odd lx (ly, lz) vanish and are not stored.

CHArray(lmax, nradial, radstep, xsym=False, ysym=False, zsym=False)
)doc")
      .def(py::init([](int lmax, int nradial, double radstep, bool xsym, bool ysym, bool zsym) {
             CheckCHShape(lmax, nradial, radstep);
             return std::make_unique<CCHArray>(lmax, nradial, radstep, xsym, ysym, zsym);
           }),
           py::arg("lmax"), py::arg("nradial"), py::arg("radstep"), py::arg("xsym") = false,
           py::arg("ysym") = false, py::arg("zsym") = false)
      .def_static(
          "_from_parameter_file",
          [](const std::string& path) { return std::make_unique<CCHArray>(path.c_str()); },
          py::arg("path"), "Array from a parameter file (LMAX, NRADIAL, RADSTEP, XSYM, ...).")
      .def_property_readonly("lmax", &CCHArray::GetLMAX, "Highest rank L.")
      .def_property_readonly("nradial", &CCHArray::GetNRADIAL, "Number of radial bins.")
      .def_property_readonly("radstep", &CCHArray::GetRADSTEP, "Bin width (fm or MeV/c).")
      .def_property_readonly("xsym", &CCHArray::GetXSYM, "Even under x -> -x.")
      .def_property_readonly("ysym", &CCHArray::GetYSYM, "Even under y -> -y.")
      .def_property_readonly("zsym", &CCHArray::GetZSYM, "Even under z -> -z.")
      .def_property_readonly(
          "r",
          [](const CCHArray& a) {
            py::array_t<double> out(a.GetNRADIAL());
            auto v = out.mutable_unchecked<1>();
            for (int ir = 0; ir < a.GetNRADIAL(); ir++) v(ir) = (ir + 0.5) * a.GetRADSTEP();
            return out;
          },
          "Bin centres (ir + 0.5) * radstep as an ndarray.")
      .def("components", &Components, "Stored (lx, ly, lz) triples in storage order.")
      .def("is_stored",
           [](const CCHArray& a, int lx, int ly, int lz) { return a.IsStored(lx, ly, lz, 0); },
           py::arg("lx"), py::arg("ly"), py::arg("lz"), "Whether component (lx, ly, lz) is stored.")
      .def("component", &GetComponent, py::arg("lx") = 0, py::arg("ly") = 0, py::arg("lz") = 0,
           "Component (lx, ly, lz) over the radial bins, as a new ndarray (a copy).")
      .def("set_component", &SetComponent, py::arg("lx"), py::arg("ly"), py::arg("lz"),
           py::arg("values"), "Writes component (lx, ly, lz) from nradial values.")
      .def("fill_remainder", py::overload_cast<>(&CCHArray::FillRemainderX),
           "Derives the lx >= 2 components from lx in {0, 1} by tracelessness.")
      .def("zero", py::overload_cast<>(&CCHArray::ZeroArray), "Sets every value to 0.")
      .def("scale", py::overload_cast<double>(&CCHArray::ScaleArray), py::arg("factor"),
           "Multiplies every value by factor.")
      .def("copy", &CopyCH, "An independent copy.")
      .def("evaluate", &EvaluateDirection, py::arg("ex"), py::arg("ey"), py::arg("ez"),
           "F(ir, e) in every bin for the direction e = (ex, ey, ez) (normalised here).")
      .def("_evaluate_points", &EvaluatePoints, py::arg("x"), py::arg("y"), py::arg("z"))
      .def(
          "to_ylm", &ToYlm, py::arg("lmax") = -1,
          "Spherical-harmonic coefficients Y(l, m, ir), m >= 0, as a complex ndarray (l, m, ir); "
          "F(e) = sqrt(4 pi) sum Y(l,m) conj(Y_lm(e)), Y(0,0) the angular average.")
      .def_static("from_ylm", &FromYlm, py::arg("coefficients"), py::arg("lmax"),
                  py::arg("radstep"), py::arg("xsym") = false, py::arg("ysym") = false,
                  py::arg("zsym") = false,
                  "CHArray from Y(l, m, ir) coefficients (inverse of to_ylm for real functions).")
      .def(
          "to_grid",
          [](CCHArray& a, int nx, double dx, int ny, double dy, int nz, double dz) {
            CheckGridShape(nx, dx, ny, dy, nz, dz);
            auto g = std::make_unique<C3DArray>(nx, dx, ny, dy, nz, dz, a.XSYM, a.YSYM, a.ZSYM);
            ArrayCalc::Calc3DArrayFromAExpArray(&a, g.get());
            return g;
          },
          py::arg("nx"), py::arg("dx"), py::arg("ny"), py::arg("dy"), py::arg("nz"), py::arg("dz"),
          "The array evaluated at the cell centres of a new Grid3D with its symmetries.")
      .def_static(
          "from_grid",
          [](C3DArray& g, int lmax, int nradial, double radstep) {
            CheckCHShape(lmax, nradial, radstep);
            auto a = std::make_unique<CCHArray>(lmax, nradial, radstep, g.XSYM, g.YSYM, g.ZSYM);
            ArrayCalc::CalcAExpArrayFrom3DArray(&g, a.get());
            return a;
          },
          py::arg("grid"), py::arg("lmax"), py::arg("nradial"), py::arg("radstep"),
          "Angular projection of a Grid3D onto a new CHArray with the grid's symmetries.")
      .def("_write", [](CCHArray& a, const std::string& dir, bool all) {
        all ? a.WriteAllA(dir.c_str()) : a.WriteAX(dir.c_str());
      })
      .def("_read", [](CCHArray& a, const std::string& dir, bool all) {
        all ? a.ReadAllA(dir.c_str()) : a.ReadAX(dir.c_str());
      });

  py::class_<C3DArray>(m, "Grid3D", R"doc(
Function of a three-vector on a Cartesian grid folded per axis into a sign half
and cell index: cell ix covers ix*dx <= |x| < (ix+1)*dx, centre (ix+0.5)*dx.
With xsym only the non-negative half is stored. Units those of the caller.

Grid3D(nx, dx, ny, dy, nz, dz, xsym=False, ysym=False, zsym=False)
)doc")
      .def(py::init([](int nx, double dx, int ny, double dy, int nz, double dz, bool xsym,
                       bool ysym, bool zsym) {
             CheckGridShape(nx, dx, ny, dy, nz, dz);
             return std::make_unique<C3DArray>(nx, dx, ny, dy, nz, dz, xsym, ysym, zsym);
           }),
           py::arg("nx"), py::arg("dx"), py::arg("ny"), py::arg("dy"), py::arg("nz"),
           py::arg("dz"), py::arg("xsym") = false, py::arg("ysym") = false,
           py::arg("zsym") = false)
      .def_property_readonly("shape", [](const C3DArray& g) {
        return py::make_tuple(g.NXMAX, g.NYMAX, g.NZMAX);
      }, "Cell counts (nx, ny, nz) per half axis.")
      .def_property_readonly("spacing", [](const C3DArray& g) {
        return py::make_tuple(g.DELX, g.DELY, g.DELZ);
      }, "Cell widths (dx, dy, dz).")
      .def_property_readonly("symmetries", [](const C3DArray& g) {
        return py::make_tuple(g.XSYM, g.YSYM, g.ZSYM);
      }, "(xsym, ysym, zsym).")
      .def_property("values", &GridValues, &SetGridValues,
                    "Values as an ndarray (nsx, nx, nsy, ny, nsz, nz), a copy; sign index 0 is the "
                    "non-negative half, 1 the negative (extent 1 on a symmetric axis).")
      .def(
          "_evaluate_points",
          [](const C3DArray& g, const DoubleArray& x, const DoubleArray& y, const DoubleArray& z) {
            const py::ssize_t n = x.size();
            if (y.size() != n || z.size() != n)
              throw py::value_error("x, y, z must have equal sizes");
            py::array_t<double> out(n);
            double* po = out.mutable_data();
            for (py::ssize_t i = 0; i < n; i++)
              po[i] = g.GetElement_Interpolate(x.data()[i], y.data()[i], z.data()[i]);
            return out;
          })
      .def("zero", &C3DArray::ZeroArray, "Sets every cell to 0.")
      .def("_write", [](const C3DArray& g, const std::string& dir) { g.WriteArray(dir.c_str()); })
      .def("_read", [](C3DArray& g, const std::string& dir) { g.ReadArray(dir.c_str()); });
}

}  // namespace femtokit_python
