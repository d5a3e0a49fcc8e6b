// Constants the surround processor's files share.
#pragma once

namespace ambiora::detail {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSpeedOfSound = 343.0;  // m/s

}  // namespace ambiora::detail
