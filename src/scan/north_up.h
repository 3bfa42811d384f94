#pragma once
// The north-up rotation of the conversion, for the scan's own files (pixel_conversion.h uses
// names that <windows.h> defines as macros, so scan_image.h does not include it).
#include "scan/pixel_conversion.h"
#include "scan/scan_image.h"

namespace sk720 {

// The rotation the inputs ask for (inactive unless a usable compass and north up).
Rotation northUpRotation(const ScanInputs& inputs);

// True when every value of the map was converted with rotation rot.
inline bool valuesConvertedWith(const ScanImage& image, const Rotation& rot) {
  return image.valuesUniform && image.valuesRotated == rot.active &&
         (!rot.active || image.valuesRotationAdd == rot.add);
}

}  // namespace sk720
