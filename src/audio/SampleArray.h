#pragma once

#include <cstddef>
#include <memory>

// Sample arrays of a whole recording are hundreds of megabytes. Where the kernel offers it they
// are mapped as anonymous memory backed by huge pages, so that touching them the first time costs
// one fault per two megabytes instead of one per page; elsewhere they come from new[].

namespace velmora {

// An array of count doubles, uninitialised; throws std::bad_alloc (or std::bad_array_new_length)
// when the memory cannot be had.
std::shared_ptr<double[]> allocateSamples(std::size_t count);

}  // namespace velmora
