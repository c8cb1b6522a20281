#ifndef FEMTOKIT_KERNEL_S2CF_H
#define FEMTOKIT_KERNEL_S2CF_H

// Source to correlation function: integrates a source over a kernel.
//
// Cartesian-harmonic arrays (this group's angular members): the transform is
// diagonal in the component,
//
//   CF_(lx,ly,lz)(q_iq) = sum_ir 4 pi r_ir^2 dr K_L(q_iq, r_ir) S_(lx,ly,lz)(r_ir),
//   L = lx + ly + lz,
//
// with r_ir = (ir + 0.5) dr the source's bin centres (fm, dr its RADSTEP),
// q_iq = (iq + 0.5) dq the correlation function's (MeV/c) and K_L the angular
// kernel (CKernel). The (0,0,0) component of CF holds C(q) - 1.
//
// Checks made by both forms, in this order (kL = kernel LMAX):
//  1. kL above the LMAX of CF or of S: "FATAL: Kernel LMAX=%d larger than either
//     S LMAX=%d or CF LMAX=%d", exit status 1;
//  2. kL below CF's LMAX: a warning block with both arrays' parameters and
//     "For kernel, LMAX=%d"; components of CF above kL stay zero;
//  3. identical-particle kernel with a CF that keeps odd components (not all of
//     XSYM, YSYM, ZSYM): "FATAL: kernel has no odd L components, but CF wants
//     them" / "Make sure CF array has XSYM=YSYM=ZSYM='true'", exit status 1.
// When the grids match (same dr and dq within 1e-5, S NRADIAL = kernel nrmax,
// CF NRADIAL = kernel nqmax) the kernel table is read directly; otherwise each
// kernel value is interpolated in q and r (0 beyond the kernel's range).
//
// Arrays and kernels belong to the caller; nothing is kept between calls.

class CCHArray;
class CKernel;
class C3DArray;
class CKernelWF;

namespace S2CF {

// Zeroes CF and fills every independent component (lx = 0, and lx = 1 when CF
// has no XSYM; ly, lz by CF's steps) up to the kernel's LMAX. Components with
// lx >= 2 stay zero (they follow by tracelessness).
void s2c(CCHArray* S, CKernel* kernel, CCHArray* CF);

// The same checks; zeroes and fills component (lx, ly, lz) of CF only, other
// components are left as they are. The component must be stored in CF (fatal
// otherwise); a rank above the kernel's LMAX has no kernel table and stays zero.
void s2c(int lx, int ly, int lz, CCHArray* S, CKernel* kernel, CCHArray* CF);

// ---- Three-dimensional grid transforms (C3DArray, CKernelWF) ----
// Body in kernel/s2cf_grid.cc.
//
// Zeroes CF and fills every cell with the source-weighted |psi|^2,
//
//   CF(q) = int d^3r S(r) |psi(q, r)|^2
//         ~ sum over source cells c, sum over the mirror images m of c
//               DELX DELY DELZ S(c) kernel->GetPsiSquared(|q|, |r_m|, q.r_m / (|q| |r_m|)),
//
// q at the correlation grid's cell centres (MeV/c), r at the source grid's
// (fm). CF holds C(q) itself, not C - 1: far from q = 0 it tends to the
// integral of S (lambda). On a symmetric axis only one half-space is stored;
// the images of a stored cell are its reflections in the symmetric planes
// (1, 2, 4 or 8 of them), each with the plain cell volume -- so a constant
// kernel gives the volume doubled per symmetric axis, and the reflected
// directions, which see other angles to q, are integrated correctly.
// Both grids must have the same symmetries: otherwise prints "S2CF::s2c : source
// grid has XYZSYM=(%d,%d,%d) but correlation-function grid has XYZSYM=(%d,%d,%d)"
// and ends the process with status 1 (the grids do not test their indices).
// Prints "beginning big loop in s2c", "nsxyz=(%d,%d,%d), nxyzmax=(%d,%d,%d),
// nqxyzmax=(%d,%d,%d)" and, at the end, "ending big loop in s2c".
// Cost: (source cells with S != 0) x (correlation cells) x images lookups, each
// a handful of table reads (with all three symmetries the images r and -r share
// one lookup in the kernel folded to its even part in cos theta: 4, not 8).
void s2c(C3DArray* S, CKernelWF* kernel, C3DArray* CF);

}  // namespace S2CF

#endif  // FEMTOKIT_KERNEL_S2CF_H
