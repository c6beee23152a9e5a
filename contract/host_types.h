// Built-in data type identifiers of the simulation host.
#ifndef ORVANE_CONTRACT_HOST_TYPES_H
#define ORVANE_CONTRACT_HOST_TYPES_H

enum BuiltInDTypeId : int {
    SS_DOUBLE = 0,
    SS_SINGLE = 1,
    SS_INT8 = 2,
    SS_UINT8 = 3,
    SS_INT16 = 4,
    SS_UINT16 = 5,
    SS_INT32 = 6,
    SS_UINT32 = 7,
    SS_BOOLEAN = 8,
    SS_INTEGER = 10,  // the host's native signed 32-bit integer
};

#endif  // ORVANE_CONTRACT_HOST_TYPES_H
