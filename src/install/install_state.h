// The process-wide installing flag: 1 from just before the install worker starts until the worker
// has unpacked and registered; while it is set the dialog ignores its cancel command.
#pragma once

#include <atomic>
#include <cstdint>

extern std::atomic<std::int32_t> g_bInstalling;
