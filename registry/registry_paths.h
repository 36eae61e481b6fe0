#pragma once

namespace instdll {

// Every registry path and value name the library touches.
inline constexpr char kProductKeyPath[] = "SOFTWARE\\Zk\\Zkv7\\7.5";
inline constexpr char kUninstallRootPath[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr char kComponentCounterPath[] = "SOFTWARE\\Zk\\Zkv7\\7.5\\Components";
inline constexpr char kTitlesPath[] = "Software\\Zk\\Zkv7\\7.5\\Titles";

inline constexpr char kFamilyPrefix[] = "Zk:";

inline constexpr char kDisplayNameValue[] = "DisplayName";
inline constexpr char kUninstallStringValue[] = "UninstallString";
inline constexpr char kFolderValue[] = "ZkFolder";
inline constexpr char kPathValue[] = "ZkPath";
inline constexpr char kRegMethodValue[] = "RegMethod";
// The counter is the Components key's default value.
inline constexpr char kComponentCounterValue[] = "";

}  // namespace instdll
