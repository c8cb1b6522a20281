#include "arrays/ylmarray.h"

#include <cstdio>

CYlmArray::CYlmArray(int LMAX_in, int NRADIAL_in) : NRADIAL(NRADIAL_in), LMAX(LMAX_in) {
  ylm = new std::complex<double> **[LMAX + 1];
  for (int l = 0; l <= LMAX; l++) {
    ylm[l] = new std::complex<double> *[l + 1];
    for (int m = 0; m <= l; m++) ylm[l][m] = new std::complex<double>[NRADIAL]();
  }
}

CYlmArray::~CYlmArray() {
  for (int l = 0; l <= LMAX; l++) {
    for (int m = 0; m <= l; m++) delete[] ylm[l][m];
    delete[] ylm[l];
  }
  delete[] ylm;
}

void CYlmArray::ZeroArray() {
  for (int l = 0; l <= LMAX; l++)
    for (int m = 0; m <= l; m++)
      for (int ir = 0; ir < NRADIAL; ir++) ylm[l][m][ir] = 0.0;
}

void CYlmArray::ZeroArray(int ir) {
  for (int l = 0; l <= LMAX; l++)
    for (int m = 0; m <= l; m++) ylm[l][m][ir] = 0.0;
}

void CYlmArray::ScaleArray(double f) {
  for (int l = 0; l <= LMAX; l++)
    for (int m = 0; m <= l; m++)
      for (int ir = 0; ir < NRADIAL; ir++) ylm[l][m][ir] *= f;
}

void CYlmArray::ScaleArray(double f, int ir) {
  for (int l = 0; l <= LMAX; l++)
    for (int m = 0; m <= l; m++) ylm[l][m][ir] *= f;
}

void CYlmArray::PrintArrayFixedIR(int ir) const {
  printf("\n______________________________________\n");
  printf(" L \\ M :");
  for (int m = 0; m <= LMAX; m++) printf("         %2d             ", m);
  printf("\n");
  for (int l = 0; l <= LMAX; l++) {
    printf(" %3d : ", l);
    for (int m = 0; m <= l; m++)
      printf("(%10.3e,%10.3e) ", ylm[l][m][ir].real(), ylm[l][m][ir].imag());
    printf("\n");
  }
  printf("_________________________________________\n");
}
