#pragma once
// The loadable package Pkg_cot00300: the host loads it at run time, runs
// Initialize, calls IniProc to open the main screen, and runs Finalize before
// unloading it.

#define COT_EXPORT extern "C" __attribute__((visibility("default")))

struct PackageInfo {
    const char *name;
    const char *const *requiredPackages;  // host packages, in load order
    int requiresCount;
    const char *const *units;  // units contained
    int unitsCount;
};

COT_EXPORT const PackageInfo *GetPackageInfoTable();
COT_EXPORT void Initialize();
COT_EXPORT void Finalize();
COT_EXPORT void IniProc();

// Plain C signatures the host resolves by name.
using PackageProc = void (*)();
using PackageInfoProc = const PackageInfo *(*)();
