// The decoder's platform hooks on the host: table blocks from malloc, window
// writes appended to a memory sink (the "file" is a std::vector<uint8_t>).
// Failures can be injected, and live blocks are counted, so tests can prove
// that every path releases what it allocated.
#include <cstdlib>

#include "host_hooks.h"
#include "inflate_state.h"

namespace {

int allocationsUntilFailure;   // 0: never fail
int writesUntilFailure;
long liveBlocks;
long allocations;
std::vector<uint32_t> writeSizes;

// Counts down an injected failure; true when this call is the one to fail.
bool injectedFailure(int& countdown)
{
    return countdown > 0 && --countdown == 0;
}

} // namespace

void failTableAllocation(int nth)
{
    allocationsUntilFailure = nth;
}

long liveTableBlocks()
{
    return liveBlocks;
}

long tableAllocations()
{
    return allocations;
}

void failOutputWrite(int nth)
{
    writesUntilFailure = nth;
}

const std::vector<uint32_t>& outputWriteSizes()
{
    return writeSizes;
}

void clearOutputWriteSizes()
{
    writeSizes.clear();
}

void* allocTableBlock(uint32_t bytes)
{
    if (injectedFailure(allocationsUntilFailure))
        return nullptr;
    void* block = std::malloc(bytes);
    if (block) {
        liveBlocks++;
        allocations++;
    }
    return block;
}

void freeTableBlock(void* block)
{
    if (block)
        liveBlocks--;
    std::free(block);
}

int writeOutput(void* file, const uint8_t* bytes, uint32_t count)
{
    if (injectedFailure(writesUntilFailure))
        return 1;
    writeSizes.push_back(count);
    auto* sink = static_cast<std::vector<uint8_t>*>(file);
    sink->insert(sink->end(), bytes, bytes + count);
    return 0;
}
