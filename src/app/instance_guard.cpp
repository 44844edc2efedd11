#include "app/instance_guard.h"

InstanceClaim ClaimSingleInstance(const char* name, UniqueHandle& held) {
    UniqueHandle existing(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name));
    if (existing) return InstanceClaim::HeldElsewhere;
    UniqueHandle created(CreateMutexA(nullptr, TRUE, name));
    if (created && GetLastError() == ERROR_ALREADY_EXISTS) return InstanceClaim::HeldElsewhere;
    held = std::move(created);
    return InstanceClaim::Acquired;
}
