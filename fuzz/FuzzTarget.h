// The entry every fuzz target defines. Built with libFuzzer (clang, -fsanitize=fuzzer) it is
// driven by coverage; built with ReplayMain.cpp it replays files, so that inputs a fuzzer once
// found run in the ordinary test suite under any compiler.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
