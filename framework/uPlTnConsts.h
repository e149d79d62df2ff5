// Constants shared by both engines.
#pragma once

#include <array>
#include <cstdint>

extern const std::array<uint8_t, 256> kBuiltinLocalToHost;
extern const std::array<uint8_t, 256> kBuiltinHostToLocal;
