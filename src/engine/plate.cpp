#include "engine/plate.hpp"

#include "engine/checked.hpp"

namespace aph {

std::optional<double> singlePlateArea(double width, double length) {
  return guarded([&] { return (Real(width) * length).value(); });
}

std::optional<float> halfHeatTransferArea(double platePairs, double singlePlateArea) {
  return guarded([&] { return toSingle(Real(platePairs) * singlePlateArea).value(); });
}

std::optional<float> heatTransferArea(float halfArea) {
  return guarded([&] { return toSingle(Real(2) * halfArea).value(); });
}

namespace {
// 2bs / (b + s) in mm, the extent b converted from m to mm.
Real slotDiameter(double extent, double gap) {
  return (Real(extent) * 2 * 1000 * gap) / (Real(extent) * 1000 + gap);
}
}  // namespace

std::optional<double> slotEquivalentDiameter(double extent, double gap) {
  return guarded([&] { return slotDiameter(extent, gap).value(); });
}

std::optional<float> slotEquivalentDiameterSingle(double extent, double gap) {
  return guarded([&] { return toSingle(slotDiameter(extent, gap)).value(); });
}

std::optional<double> flowCrossSection(double platePairs, double width, double gap) {
  return guarded([&] { return (Real(platePairs) * width * gap * 0.001).value(); });
}

std::optional<double> channelVelocity(double volumeFlow, double crossSection) {
  return guarded([&] { return (Real(volumeFlow) / crossSection).value(); });
}

std::optional<double> reynoldsNumber(double density, double velocity, double equivalentDiameter,
                                     double dynamicViscosity) {
  return guarded([&] {
    return (Real(density) * (Real(velocity) * (Real(equivalentDiameter) * 0.001)) /
            dynamicViscosity / 1e-6)
        .value();
  });
}

std::optional<double> nusseltNumber(double factor, double reynolds, double prandtl,
                                    double prandtlExponent) {
  return guarded([&] {
    return (Real(factor) * kNusseltCoefficient * power(reynolds, kNusseltReynoldsExponent) *
            power(prandtl, prandtlExponent))
        .value();
  });
}

std::optional<double> filmCoefficient(double nusselt, double conductivity,
                                      double equivalentDiameter) {
  return guarded(
      [&] { return (Real(nusselt) * conductivity / (Real(equivalentDiameter) * 0.001)).value(); });
}

std::optional<double> frictionFactor(double factor, double reynolds) {
  return guarded([&] { return (Real(factor) * 0.9109 * power(reynolds, -0.3314)).value(); });
}

std::optional<double> pressureDrop(double friction, double pathLength, double equivalentDiameter,
                                   double density, double velocity) {
  return guarded([&] {
    return (Real(friction) * (Real(pathLength) / (Real(equivalentDiameter) * 0.001)) * density *
            power(velocity, 2) / 2)
        .value();
  });
}

bool pressureDropOverLimit(double pressureDrop) {
  return pressureDrop > kPressureDropLimit;
}

}  // namespace aph
