// Which Windows release the installer runs on, as a small class value.
#pragma once

#include <cstdint>

// 0 not recognised (Windows 7 and later among them, or the query failed); 1 Vista/Server 2008;
// 2 Server 2003/XP x64; 3 XP; 4 2000; 5 NT 4.0 and earlier; 6 Me; 7 98; 8 95.
int ClassifyOsVersion(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor);

// The class of the running system; queries it again on every call.
int GetOsVersionClass();
