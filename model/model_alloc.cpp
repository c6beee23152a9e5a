#include "model/model_alloc.h"

#include <cstdlib>

#ifdef ORVANE_ALLOC_FAULTS
namespace {
int gFailingCall = -1;
}

void setModelAllocFailure(int failingCall) { gFailingCall = failingCall; }

void* modelCalloc(std::size_t count, std::size_t size) {
    if (gFailingCall == 0) {
        gFailingCall = -1;
        return nullptr;
    }
    if (gFailingCall > 0) --gFailingCall;
    return std::calloc(count, size);
}
#else
void* modelCalloc(std::size_t count, std::size_t size) { return std::calloc(count, size); }
#endif

void modelFree(void* p) { std::free(p); }
