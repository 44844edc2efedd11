// Letting one process at a time past a named mutex.
#pragma once

#include "system/win_resource.h"

enum class InstanceClaim { Acquired, HeldElsewhere };

// HeldElsewhere when a mutex of this name exists already: found by opening it, or reported by
// its creation (another process created it between the two calls), so two processes started at
// the same instant never both get past. Otherwise the mutex is created, owned by the calling
// thread, into `held`, which the caller keeps for as long as it runs. A mutex that cannot be
// created at all gives Acquired with `held` empty: the caller runs without the guard.
InstanceClaim ClaimSingleInstance(const char* name, UniqueHandle& held);
