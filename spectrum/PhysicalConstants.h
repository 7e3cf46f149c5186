#pragma once
// Physical constants shared by the spectrum code and its users.

namespace PhysicalConstants {

// hc in eV·Å: the photon wavelength in Å is hcEvAngstrom / E with E in eV.
constexpr double hcEvAngstrom = 12398.424360387684;

// Photon wavelength in Å of a photon of energy E (eV).
inline double wavelength(double energyEV) {
    return hcEvAngstrom / energyEV;
}

} // namespace PhysicalConstants
