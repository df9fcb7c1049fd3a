// Polynomials in z^-1 for filter design: entry k of the vector is the coefficient of z^-k.
//
// Plain growable arrays, with the four operations a bilinear design needs. Each accumulates in a
// fixed order, so the designed coefficients are the same on every build. They allocate, so they
// belong in a filter's set-up, never in its sample loop.
#pragma once

#include <cstddef>
#include <vector>

namespace DSP {

using Polynomial = std::vector<double>;

inline Polynomial scaled(const Polynomial& p, double factor) {
  Polynomial result(p);
  for (double& coefficient : result) coefficient *= factor;
  return result;
}

// The product, accumulated as a*b[0], then a*b[1] shifted by one, and so on.
inline Polynomial product(const Polynomial& a, const Polynomial& b) {
  if (a.empty() || b.empty()) return {};
  Polynomial result(a.size() + b.size() - 1, 0.0);
  for (std::size_t j = 0; j < b.size(); ++j) {
    for (std::size_t i = 0; i < a.size(); ++i) result[i + j] += a[i] * b[j];
  }
  return result;
}

// a += b; a grows to b's length when b is longer.
inline void add_to(Polynomial& a, const Polynomial& b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t k = 0; k < common; ++k) a[k] += b[k];
  for (std::size_t k = common; k < b.size(); ++k) a.push_back(b[k]);
}

// a -= b; a grows to b's length when b is longer, taking b's extra entries negated.
inline void subtract_from(Polynomial& a, const Polynomial& b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t k = 0; k < common; ++k) a[k] -= b[k];
  for (std::size_t k = common; k < b.size(); ++k) a.push_back(-b[k]);
}

}  // namespace DSP
