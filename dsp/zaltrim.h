// Zaltrim: the overdrive circuit, an input x driving a series resistor Rs and capacitor Cs into a
// node shunted to ground by two anti-parallel diodes; the output y is the diode voltage (volts).
//
// Loop equation d(x - y)/dt = Rs dI(y)/dt + I(y)/Cs with the diode pair's current
// I(v) = Is sign(v) (exp(|v| / Vt) - 1), discretised by the trapezoidal rule with step dt (seconds):
//   F(y) = ((x_prev - x) + B I(y_prev) - y_prev + y) / A + I(y) = 0,
//   A = Rs + dt / (2 Cs),  B = dt / (2 Cs) - Rs,
// and F'(y) = 1/A + Is exp(|y| / Vt) / Vt. Rs in ohms, Cs in farads, Is in amperes, Vt in volts.
// Trade-off: the implicit, bilinear step is stable and keeps the capacitor's DC blocking at any
// dt, at the price of solving F(y) = 0 for every sample; the terms that do not depend on y are
// gathered once per sample (loop_term) so each Newton step costs one exponential.
#pragma once

#include <cmath>

namespace DSP {

template <typename T>
class Zaltrim;

template <>
class Zaltrim<double> {
 public:
  struct DiodePair {
    double Is;  // saturation current, amperes
    double Vt;  // thermal voltage, volts

    // sign(v) is 0 for either zero and otherwise follows the sign bit, so a NaN gets +-1.
    static double sign(double v) {
      if (v == 0.0) return 0.0;
      return std::signbit(v) ? -1.0 : 1.0;
    }

    double current(double v) const { return Is * sign(v) * (std::exp(std::fabs(v) / Vt) - 1.0); }
  };

  struct Evaluation {
    double value;       // F
    double derivative;  // dF/dy
  };

  explicit Zaltrim(double sampling_period)
      : dt(sampling_period),
        Rs(10000.0),
        Cs(2.2e-08),
        A(dt * 22727272.72727273 + 10000.0),
        B(dt * 22727272.72727273 - 10000.0),
        diodes{1e-12, 0.026},
        inverse_A(1.0 / A),
        inverse_Vt(1.0 / diodes.Vt) {}

  // The part of F that is fixed within one sample: ((x_prev - x) + B * current(y_prev)) - y_prev.
  double loop_term(double x_prev, double x, double y_prev) const {
    return (x_prev - x) + B * diodes.current(y_prev) - y_prev;
  }

  // F and F' at the estimate y, given the sample's loop term.
  Evaluation evaluate(double term, double y) const {
    const double e = std::exp(std::fabs(y) * inverse_Vt);
    const double derivative = inverse_A + diodes.Is * e * inverse_Vt;
    const double value = (term + y) * inverse_A + DiodePair::sign(y) * diodes.Is * (e - 1.0);
    return {value, derivative};
  }

  Evaluation evaluate(double x_prev, double x, double y_prev, double y) const {
    return evaluate(loop_term(x_prev, x, y_prev), y);
  }

  double dt;  // seconds per (oversampled) sample
  double Rs;  // ohms
  double Cs;  // farads
  double A;   // Rs + dt / (2 Cs), with 1 / (2 Cs) to the nearest double
  double B;   // dt / (2 Cs) - Rs
  DiodePair diodes;

 private:
  // Divisions by A and Vt in F and F' are multiplications by these reciprocals.
  double inverse_A;
  double inverse_Vt;
};

}  // namespace DSP
