// An include up a layer, planted for the layer check to catch.
#include "job/conversion_job.h"
