#pragma once

#include <cstddef>
#include <cstdint>

/** libFuzzer's entry point: one input, any bytes. Returns 0. */
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
