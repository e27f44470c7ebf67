// The runoff model's reader of one edge record (Edge::TopographicData) on
// a stream of bytes: the first byte chooses the version of the edge
// connection file (2 to 5 and a few others); the records that follow are
// read until one ends the reading.
#include <cstdio>
#include <memory>
#include <vector>

#include "edge.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fz::setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int type = data[0] % 7;
  std::FILE* fp = fmemopen(const_cast<std::uint8_t*>(data + 1), size - 1, "rb");
  if (!fp) return 0;
  std::vector<std::unique_ptr<Edge>> edges;
  fz::run([&] {
    for (int k = 0; k < 1024; ++k) {
      edges.push_back(std::make_unique<Edge>());
      edges.back()->TopographicData(fp, type);
    }
  });
  std::fclose(fp);
  return 0;
}
