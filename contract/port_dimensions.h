// Port-width registration through the host's dimension functions.
#ifndef ORVANE_CONTRACT_PORT_DIMENSIONS_H
#define ORVANE_CONTRACT_PORT_DIMENSIONS_H

#include "contract/simstruc.h"

// Each fills a one-dimensional dimensions record of the given width and
// hands it to the host's registration function; succeeds with 1 without
// registering anything when the host has none.
int ssSetInputPortVectorDimension(SimStruct* S, int port, int width);
int ssSetOutputPortVectorDimension(SimStruct* S, int port, int width);

#endif  // ORVANE_CONTRACT_PORT_DIMENSIONS_H
