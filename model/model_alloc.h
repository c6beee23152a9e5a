// The one place where the model allocates (its block-signal record and the
// holder of it, in mdlStart). Deliverables use plain calloc and free; test
// builds can make an allocation fail to exercise the failure path.
#ifndef ORVANE_MODEL_MODEL_ALLOC_H
#define ORVANE_MODEL_MODEL_ALLOC_H

#include <cstddef>

void* modelCalloc(std::size_t count, std::size_t size);
void modelFree(void* p);

#ifdef ORVANE_ALLOC_FAULTS
// Makes the allocation with this 0-based number (counted from now) fail;
// a negative number makes none fail.
void setModelAllocFailure(int failingCall);
#endif

#endif  // ORVANE_MODEL_MODEL_ALLOC_H
