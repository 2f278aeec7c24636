#pragma once
// The limits both ends check: the discount bands end at 20 systems and 150
// users, and every percentage lies between 0 and 100.

namespace Limits {

constexpr int MaxSystems = 20;
constexpr int MaxUsers = 150;
constexpr int MinPercent = 0;
constexpr int MaxPercent = 100;

inline bool isPercent(double v) { return v >= MinPercent && v <= MaxPercent; }

}  // namespace Limits
