#include "install/install_state.h"

std::atomic<std::int32_t> g_bInstalling{0};
