// The calculation state the main window keeps between runs. It starts empty (every quantity 0)
// and is never reset: each run overwrites what its stages compute.
#pragma once

namespace aph {

struct StreamState {
  double meanTemperature = 0;     // ℃, written by the property procedures only
  double density = 0;             // kg/m3
  double specificHeat = 0;        // kJ/(kg·K)
  double conductivity = 0;        // W/(m·K)
  double dynamicViscosity = 0;    // 10^-6 Pa·s
  double kinematicViscosity = 0;  // 10^-6 m2/s
  double prandtl = 0;
  double volumeFlow = 0;    // m3/s
  double crossSection = 0;  // m2
  double velocity = 0;      // m/s
  double reynolds = 0;
  double nusselt = 0;
  double filmCoefficient = 0;  // W/(m2·K)
  double pressureDrop = 0;     // Pa
};

struct CalculationState {
  StreamState flueGas;                // side 1
  StreamState air;                    // side 2
  double actualCoefficient = 0;       // K_act, W/(m2·K)
  float theoreticalCoefficient = 0;   // K_theo, W/(m2·K)
  double counterflowDifference = 0;   // ΔTcf, ℃
  double crossflowDifference = 0;     // ΔTxf, ℃
  float meanDifference = 0;           // ΔTm of the selected arrangement, ℃
  bool meanDifferenceStored = false;  // anything stored in ΔTm since start-up
  double flueGasPasses = 0;           // nf of the last accepted multi-pass selection
  float airPasses = 0;                // na
  float multiPassDifference = 0;      // the ΔTm that selection stored and showed, ℃
  bool multiPassStored = false;       // any multi-pass selection accepted since start-up
};

}  // namespace aph
